// The live backend: an Asio runtime with two threads drives the sockets and
// timers; the worker thread blocks on each request's coroutine.
#include "engine/live.h"

#include <algorithm>
#include <asio/bind_cancellation_slot.hpp>
#include <asio/co_spawn.hpp>
#include <asio/connect.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/stream.hpp>
#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/use_future.hpp>
#include <asio/write.hpp>
#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "engine/deadline.h"
#include "engine/imap_ops.h"
#include "engine/live_handlers.h"
#include "state/credential.h"
#include "tls/client_context.h"
#include "tls/tls.h"

namespace mail {
namespace {

using namespace asio::experimental::awaitable_operators;
using tcp = asio::ip::tcp;
using TlsStream = asio::ssl::stream<tcp::socket>;
constexpr auto use_tuple = asio::experimental::as_tuple(asio::use_awaitable);

std::string error_text(const std::error_code& ec) {
  if (ec == asio::error::eof || ec == asio::ssl::error::stream_truncated ||
      ec == asio::error::connection_reset)
    return std::string(closed_by_server);
  return ec.message();
}

using Deadline = std::shared_ptr<ProgressDeadline>;

// The earlier of a wait's own limit and the request's deadline.
ProgressDeadline::Clock::time_point wait_until(std::chrono::milliseconds limit,
                                               const ProgressDeadline& deadline) {
  return std::min(ProgressDeadline::Clock::now() + limit, deadline.expiry());
}

class TlsTransport final : public Transport {
 public:
  TlsTransport(std::unique_ptr<TlsStream> stream, EngineLimits limits, Deadline deadline)
      : stream_(std::move(stream)),
        timer_(stream_->get_executor()),
        limits_(limits),
        deadline_(std::move(deadline)) {}

  ~TlsTransport() override {
    std::error_code ignored;
    stream_->lowest_layer().close(ignored);
  }

  asio::awaitable<std::expected<std::size_t, std::string>> read_some(
      std::span<char> buffer) override {
    // NB: a server that sends a byte now and then must not hold the request
    // forever: besides the wait for each read, the request's deadline counts,
    // and it moves on only as fast as bytes arrive.
    timer_.expires_at(wait_until(limits_.response, *deadline_));
    auto result =
        co_await (stream_->async_read_some(asio::buffer(buffer.data(), buffer.size()), use_tuple) ||
                  timer_.async_wait(use_tuple));
    if (result.index() == 1) co_return std::unexpected(std::string(timed_out_text));
    auto [ec, n] = std::get<0>(result);
    if (ec) co_return std::unexpected(error_text(ec));
    deadline_->received(n);
    co_return n;
  }

  asio::awaitable<std::expected<void, std::string>> write_all(std::string_view bytes) override {
    timer_.expires_at(wait_until(limits_.response, *deadline_));
    auto result = co_await (
        asio::async_write(*stream_, asio::buffer(bytes.data(), bytes.size()), use_tuple) ||
        timer_.async_wait(use_tuple));
    if (result.index() == 1) co_return std::unexpected(std::string(timed_out_text));
    auto [ec, n] = std::get<0>(result);
    (void)n;
    if (ec) co_return std::unexpected(error_text(ec));
    co_return std::expected<void, std::string>{};
  }

 private:
  std::unique_ptr<TlsStream> stream_;
  asio::steady_timer timer_;
  EngineLimits limits_;
  Deadline deadline_;
};

class TlsConnector final : public Connector {
 public:
  TlsConnector(asio::any_io_executor executor, std::shared_ptr<asio::ssl::context> tls,
               EngineLimits limits)
      : executor_(std::move(executor)),
        tls_(std::move(tls)),
        limits_(limits),
        deadline_(std::make_shared<ProgressDeadline>(ProgressDeadline::Clock::now(), limits.request,
                                                     limits.min_rate)) {}

  [[nodiscard]] SessionLimits session_limits() const override { return limits_.session; }

  asio::awaitable<std::expected<std::unique_ptr<Transport>, ConnectError>> connect(
      const std::string& host, std::uint16_t port) override {
    using Stage = ConnectError::Stage;
    auto ex = co_await asio::this_coro::executor;
    asio::steady_timer timer(ex);
    timer.expires_at(wait_until(limits_.connect, *deadline_));
    const auto deadline = timer.expiry();

    tcp::resolver resolver(ex);
    auto resolved = co_await (resolver.async_resolve(host, std::to_string(port), use_tuple) ||
                              timer.async_wait(use_tuple));
    if (resolved.index() == 1)
      co_return std::unexpected(ConnectError{Stage::Tcp, std::string(timed_out_text)});
    auto [rec, endpoints] = std::get<0>(resolved);
    if (rec)  // NB: worded without the host, and without "fail", so that a text
      // like "Host not found (authoritative)" reads as a lookup problem.
      co_return std::unexpected(
          ConnectError{Stage::Tcp, "cannot resolve the host name: " + rec.message()});

    auto stream = std::make_unique<TlsStream>(ex, *tls_);
    timer.expires_at(deadline);
    auto connected = co_await (asio::async_connect(stream->lowest_layer(), endpoints, use_tuple) ||
                               timer.async_wait(use_tuple));
    if (connected.index() == 1)
      co_return std::unexpected(ConnectError{Stage::Tcp, std::string(timed_out_text)});
    if (auto ec = std::get<0>(std::get<0>(connected)); ec)
      co_return std::unexpected(ConnectError{Stage::Tcp, ec.message()});

    if (auto name = tls::check_server_name(host); !name)
      co_return std::unexpected(ConnectError{Stage::ServerName, name.error()});
    if (auto prepared = tls::prepare_client_stream(*stream, host); !prepared)
      co_return std::unexpected(ConnectError{Stage::Tls, prepared.error()});

    timer.expires_at(wait_until(limits_.response, *deadline_));
    auto shaken = co_await (stream->async_handshake(asio::ssl::stream_base::client, use_tuple) ||
                            timer.async_wait(use_tuple));
    if (shaken.index() == 1)
      co_return std::unexpected(ConnectError{Stage::Tls, std::string(timed_out_text)});
    if (auto [ec] = std::get<0>(shaken); ec) {
      std::string text = ec.message();
      if (ec.category() != asio::error::get_ssl_category() && text.find("TLS") == std::string::npos)
        text = "TLS handshake failed: " + error_text(ec);
      co_return std::unexpected(ConnectError{Stage::Tls, text});
    }
    co_return std::unique_ptr<Transport>(
        std::make_unique<TlsTransport>(std::move(stream), limits_, deadline_));
  }

 private:
  asio::any_io_executor executor_;
  std::shared_ptr<asio::ssl::context> tls_;
  EngineLimits limits_;
  Deadline deadline_;  // shared by every connection of this connector's request
};

class LiveBackend final : public Backend {
 public:
  LiveBackend(std::shared_ptr<asio::ssl::context> tls, EngineLimits limits)
      : tls_(std::move(tls)), limits_(limits), work_(asio::make_work_guard(io_)) {
    for (int i = 0; i < 2; ++i) threads_.emplace_back([this] { io_.run(); });
  }

  ~LiveBackend() override {
    work_.reset();
    io_.stop();
    for (auto& t : threads_) t.join();
  }

  [[nodiscard]] bool is_live() const override { return true; }

  void stop() override {
    std::lock_guard lock(stop_mutex_);
    stopping_ = true;
    if (cancel_current_) cancel_current_();
  }

  void handle(EngineRequest request, const ResultSender& results) override {
    const RequestId id = request.id();
    const RequestKind kind = request.kind();
    auto fail = [&](std::string message) {
      results.send(
          EngineResult::Failed{kind, id, std::string(live_operation(kind)), std::move(message)});
    };
    // NB: once the engine stops, what is still queued is answered at once.
    if (stopping_) return fail(std::string(shutting_down_text));
    if (auto* sign_in = std::get_if<EngineRequest::OAuthSignIn>(&request.value)) {
      live_oauth_sign_in(std::move(*sign_in), results);
      return;
    }
    const AccountSettings& account = std::visit(
        [](const auto& r) -> const AccountSettings& {
          if constexpr (requires { r.account; })
            return r.account;
          else
            std::abort();  // unreachable: OAuthSignIn was handled above
        },
        request.value);
    auto credential = resolve_credential(account);
    if (!credential) return fail(credential.error());

    std::visit(
        [&](auto& r) {
          using T = std::decay_t<decltype(r)>;
          if constexpr (std::is_same_v<T, EngineRequest::Connect>)
            connect(r, *credential, results, fail);
          else if constexpr (std::is_same_v<T, EngineRequest::Refresh>)
            refresh(r, *credential, results, fail);
          else if constexpr (std::is_same_v<T, EngineRequest::SyncFlags>)
            flags(r, *credential, fail);
          else if constexpr (std::is_same_v<T, EngineRequest::Move>)
            move(r, *credential, fail);
          else if constexpr (std::is_same_v<T, EngineRequest::Purge>)
            purge(r, *credential, fail);
          else if constexpr (std::is_same_v<T, EngineRequest::Send>)
            live_send(std::move(r), *credential, results);
        },
        request.value);
  }

 private:
  // Runs one coroutine on the runtime (on its own strand) and blocks the
  // calling thread until it has finished.
  // The request races a watcher that ends when stop() is called; whichever
  // ends first cancels the other, and a cancelled request's I/O ends at once.
  template <typename T, typename Make>
  std::expected<T, std::string> block_on(Make make) {
    auto strand = asio::make_strand(io_);
    auto stop_timer =
        std::make_shared<asio::steady_timer>(strand, asio::steady_timer::time_point::max());
    {
      std::lock_guard lock(stop_mutex_);
      if (stopping_) return std::unexpected(std::string(shutting_down_text));
      cancel_current_ = [strand, stop_timer] {
        asio::post(strand, [stop_timer] { stop_timer->cancel(); });
      };
    }
    struct Forget {
      LiveBackend& self;
      ~Forget() {
        std::lock_guard lock(self.stop_mutex_);
        self.cancel_current_ = nullptr;
      }
    } forget{*this};

    auto connector = make_tls_connector(strand, tls_, limits_);
    auto watch = [this, stop_timer]() -> asio::awaitable<void> {
      // On the strand, as is stop()'s cancel: either the flag is seen here or
      // the wait below is pending when the cancel runs.
      if (stopping_) co_return;
      co_await stop_timer->async_wait(use_tuple);
    };
    auto request = [&]() -> asio::awaitable<std::expected<T, std::string>> {
      auto outcome = co_await (make(*connector) || watch());
      if (outcome.index() == 1) co_return std::unexpected(std::string(shutting_down_text));
      co_return std::move(std::get<0>(outcome));
    };
    try {
      auto future = asio::co_spawn(strand, request(), asio::use_future);
      return future.get();
    } catch (const std::exception& e) {
      return std::unexpected(std::string(e.what()));
    }
  }

  template <typename Fail>
  void connect(EngineRequest::Connect& r, const Credential& c, const ResultSender& results,
               Fail& fail) {
    auto names = block_on<std::vector<std::string>>(
        [&](Connector& connector) { return list_folders(connector, r.account, c); });
    if (!names) return fail(names.error());
    results.send(EngineResult::Connected{r.id, r.account.email});
    results.send(EngineResult::FoldersListed{r.id, r.account.email, std::move(*names)});
  }

  template <typename Fail>
  void refresh(EngineRequest::Refresh& r, const Credential& c, const ResultSender& results,
               Fail& fail) {
    const std::int64_t now = current_minute();
    auto records = block_on<std::vector<MessageRecord>>(
        [&](Connector& connector) { return fetch_folder(connector, r.account, c, r.folder, now); });
    if (!records) return fail(records.error());
    results.send(EngineResult::Refreshed{r.folder, r.id, r.account.email, std::move(*records)});
  }

  template <typename Fail>
  void flags(EngineRequest::SyncFlags& r, const Credential& c, Fail& fail) {
    auto done = block_on<void>(
        [&](Connector& connector) { return sync_flags(connector, r.account, c, r.message); });
    if (!done) fail(done.error());
  }

  template <typename Fail>
  void move(EngineRequest::Move& r, const Credential& c, Fail& fail) {
    auto done = block_on<void>([&](Connector& connector) {
      return move_message(connector, r.account, c, r.message, r.target);
    });
    if (!done) fail(done.error());
  }

  template <typename Fail>
  void purge(EngineRequest::Purge& r, const Credential& c, Fail& fail) {
    auto done = block_on<void>(
        [&](Connector& connector) { return purge_message(connector, r.account, c, r.message); });
    if (!done) fail(done.error());
  }

  std::shared_ptr<asio::ssl::context> tls_;
  EngineLimits limits_;
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> work_;
  std::vector<std::thread> threads_;
  std::mutex stop_mutex_;
  std::atomic<bool> stopping_{false};
  std::function<void()> cancel_current_;  // of the request in hand; under stop_mutex_
};

}  // namespace

std::unique_ptr<Connector> make_tls_connector(asio::any_io_executor executor,
                                              std::shared_ptr<asio::ssl::context> tls,
                                              EngineLimits limits) {
  return std::make_unique<TlsConnector>(std::move(executor), std::move(tls), limits);
}

std::expected<std::unique_ptr<Backend>, std::string> make_live_backend(EngineLimits limits) {
  auto tls = tls::make_client_context();
  if (!tls) return std::unexpected(tls.error());
  try {
    return std::unique_ptr<Backend>(std::make_unique<LiveBackend>(std::move(*tls), limits));
  } catch (const std::exception& e) {
    return std::unexpected(std::string("cannot start the mail runtime: ") + e.what());
  }
}

}  // namespace mail
