#include <pthread.h>

#include <stdexcept>
#include <thread>

#include "engine/engine.h"
#include "log/log.h"
#include "oauth/sign_in.h"
#include "state/credential.h"

namespace mail {

EngineHandle& EngineHandle::operator=(EngineHandle&& other) noexcept {
  if (this != &other) {
    stop();
    requests_ = std::move(other.requests_);
    results_ = std::move(other.results_);
    live_ = other.live_;
    backend_ = std::move(other.backend_);
    worker_ = std::move(other.worker_);
  }
  return *this;
}

void EngineHandle::stop() {
  requests_ = Sender<EngineRequest>();  // the worker's loop ends once the queue is empty
  if (backend_) backend_->stop();
  if (worker_.joinable()) worker_.join();
  backend_.reset();
}

std::vector<EngineResult> EngineHandle::drain() {
  std::vector<EngineResult> out;
  while (auto r = results_.try_recv()) out.push_back(std::move(*r));
  return out;
}

void run_worker(Receiver<EngineRequest> requests, ResultSender results, Backend& backend) {
  while (auto request = requests.recv()) {
    const RequestId id = request->id();
    const RequestKind kind = request->kind();
    try {
      backend.handle(std::move(*request), results);
    } catch (const std::exception& e) {
      // NB: a backend should turn every error into Failed itself; this is the
      // last line that keeps the worker alive and the request answered.
      results.send(EngineResult::Failed{kind, id, std::string(live_operation(kind)), e.what()});
    } catch (...) {
      results.send(EngineResult::Failed{kind, id, std::string(live_operation(kind)),
                                        "unexpected engine error"});
    }
    results.send(EngineResult::Completed{id, kind});  // ignored when the shell is gone
  }
}

EngineHandle start_with(std::unique_ptr<Backend> backend) {
  auto [request_tx, request_rx] = make_channel<EngineRequest>();
  auto [result_tx, result_rx] = make_channel<EngineResult>();
  EngineHandle handle(std::move(request_tx), std::move(result_rx), backend->is_live());
  handle.backend_ = std::move(backend);
  try {
    handle.worker_ = std::thread([rx = std::move(request_rx), tx = std::move(result_tx),
                                  backend = handle.backend_]() mutable {
      pthread_setname_np(pthread_self(), "mail-engine");
      run_worker(std::move(rx), std::move(tx), *backend);
    });
  } catch (const std::system_error& e) {
    zlog::error(zlog::engine, "mail: spawn mail engine worker", {{"error", e.what()}});
    throw std::runtime_error("spawn mail engine worker");
  }
  return handle;
}

EngineHandle start(EngineLimits limits) {
  auto live = make_live_backend(limits);
  if (!live) {
    zlog::warn(zlog::engine, "mail: live engine unavailable, using offline backend",
               {{"error", live.error()}});
    return start_with(std::make_unique<OfflineBackend>());
  }
  // Due OAuth tokens are refreshed at the providers' token endpoints.
  set_token_refresher(token_refresher());
  return start_with(std::move(*live));
}

}  // namespace mail
