#pragma once
// The mail engine: one background thread "mail-engine" that takes requests
// from an unbounded channel, carries each one out to the end on a backend,
// and answers on a second channel, always finishing with Completed.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/channel.h"
#include "engine/limits.h"
#include "engine/request.h"

namespace mail {

using ResultSender = Sender<EngineResult>;

// Runs one request to the end on the calling thread and sends zero or more
// results (never Completed; the worker adds it).
class Backend {
 public:
  virtual ~Backend() = default;
  virtual void handle(EngineRequest request, const ResultSender& results) = 0;
  [[nodiscard]] virtual bool is_live() const = 0;
  // Called from another thread when the engine shuts down: the request in
  // hand gives up its I/O promptly, and later ones fail at once.
  virtual void stop() {}
};

// The error of a request cut short, or not started, because the engine stops.
inline constexpr std::string_view shutting_down_text = "Mail is shutting down";

// Answers every request with a failure that explains why nothing was sent.
class OfflineBackend final : public Backend {
 public:
  void handle(EngineRequest request, const ResultSender& results) override;
  [[nodiscard]] bool is_live() const override { return false; }
};

// The live backend: an Asio runtime run by exactly two threads and the shared
// TLS client configuration. Fails when either cannot be built.
[[nodiscard]] std::expected<std::unique_ptr<Backend>, std::string> make_live_backend(
    EngineLimits limits = {});

// What the shell holds: the request sender, the result receiver and the
// worker thread. Dropping it stops the engine: no more requests are taken,
// the request in hand is cancelled and the worker thread is joined.
class EngineHandle {
 public:
  // A handle without a worker of its own (tests of the channels).
  EngineHandle(Sender<EngineRequest> requests, Receiver<EngineResult> results, bool live)
      : requests_(std::move(requests)), results_(std::move(results)), live_(live) {}
  EngineHandle(EngineHandle&& other) noexcept = default;
  EngineHandle& operator=(EngineHandle&& other) noexcept;
  ~EngineHandle() { stop(); }

  // Puts the request on the channel; false when the worker is gone (the
  // request is dropped and the shell shows "Mail worker is unavailable").
  bool submit(EngineRequest request) { return requests_.send(std::move(request)); }

  // Every result waiting now, without blocking.
  [[nodiscard]] std::vector<EngineResult> drain();

  // Blocks for the next result (for tools and tests); nothing when the worker is gone.
  [[nodiscard]] std::optional<EngineResult> wait() { return results_.recv(); }

  [[nodiscard]] bool is_live() const { return live_; }

  // Stops the engine as dropping the handle does; requests still queued are
  // answered (a live backend fails them at once) before the worker ends.
  // Results already sent can still be drained. Idempotent.
  void stop();

 private:
  friend EngineHandle start_with(std::unique_ptr<Backend> backend);

  Sender<EngineRequest> requests_;
  Receiver<EngineResult> results_;
  bool live_ = false;
  std::shared_ptr<Backend> backend_;
  std::thread worker_;
};

// Builds the live backend (the offline one, with a warning logged, when that
// fails) and spawns the worker. Throws std::runtime_error("spawn mail engine
// worker") only if the system refuses to create the thread.
[[nodiscard]] EngineHandle start(EngineLimits limits = {});

// Spawns the worker over a given backend (tests, the offline build).
[[nodiscard]] EngineHandle start_with(std::unique_ptr<Backend> backend);

// The worker loop itself: until the request channel closes, handle each
// request and send Completed. Never lets an error end it.
void run_worker(Receiver<EngineRequest> requests, ResultSender results, Backend& backend);

}  // namespace mail
