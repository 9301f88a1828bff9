#include "verify/verify.h"

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <exception>

#include "connection/connection_error.h"
#include "engine/engine.h"
#include "engine/imap_ops.h"
#include "engine/live.h"
#include "smtp/session.h"
#include "submission/submission.h"
#include "text_codec/ascii.h"
#include "tls/client_context.h"
#include "tls/tls.h"
#include "validate/settings.h"

namespace mail {
namespace {

using Result = std::expected<void, std::string>;

using text_codec::trim;

// Runs `exchange` on a runtime made here, against the time limit and the
// cancel watcher; the first to finish decides. Dropping the runtime drops
// whatever the other branches still hold, the connection included.
template <typename MakeExchange>
VerifyOutcome race(MakeExchange make_exchange, const std::atomic<bool>& cancel,
                   const VerifyOptions& options) {
  std::optional<asio::io_context> io;
  try {
    io.emplace(1);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  std::optional<Result> outcome;
  auto finish = [&](Result r) {
    if (outcome) return;
    outcome = std::move(r);
    io->stop();
  };

  try {
    asio::co_spawn(*io, make_exchange(io->get_executor()), [&](std::exception_ptr e, Result r) {
      if (e) {
        try {
          std::rethrow_exception(e);
        } catch (const std::exception& ex) {
          return finish(std::unexpected(std::string(ex.what())));
        } catch (...) {
          return finish(std::unexpected(std::string("unexpected failure")));
        }
      }
      finish(std::move(r));
    });

    asio::steady_timer deadline(*io);
    deadline.expires_after(options.limit);
    deadline.async_wait([&](std::error_code ec) {
      if (!ec) finish(std::unexpected(std::string(verification_timed_out)));
    });

    asio::steady_timer watcher(*io);
    std::function<void(std::error_code)> watch = [&](std::error_code ec) {
      if (ec) return;
      if (cancel.load()) return finish(std::unexpected(std::string(verification_cancelled)));
      watcher.expires_after(options.cancel_poll);
      watcher.async_wait(watch);
    };
    watch({});

    if (!outcome) io->run();
  } catch (const std::exception& e) {
    if (!outcome) outcome = std::unexpected(std::string(e.what()));
  }
  io.reset();
  return outcome;
}

}  // namespace

VerifyOutcome verify_imap(const AccountSettings& settings, const std::atomic<bool>& cancel,
                          const VerifyOptions& options) {
  const std::string host(trim(settings.imap_host));
  if (host.empty()) return std::unexpected(std::string("no IMAP host"));
  auto credential = verification_credential(settings, options);
  if (!credential) return std::unexpected(credential.error());
  auto context = tls::make_client_context();
  if (!context) return std::unexpected(describe_connection_error(context.error()));

  EngineLimits limits;
  limits.connect = options.limit;
  limits.response = options.limit;
  auto exchange = [&](asio::any_io_executor ex) -> asio::awaitable<Result> {
    auto connector = make_tls_connector(ex, *context, limits);
    // NB: TLS from the first byte whatever the settings' IMAP TLS switch says.
    auto session = co_await connect_and_log_in(*connector, settings, *credential);
    if (!session) co_return std::unexpected(session.error());
    if (auto selected = co_await (*session)->select("INBOX"); !selected) {
      co_return std::unexpected(selected.error());
    }
    co_await (*session)->log_out();
    co_return Result{};
  };
  return race(exchange, cancel, options);
}

VerifyOutcome verify_smtp(const AccountSettings& settings, const std::atomic<bool>& cancel,
                          const VerifyOptions& options) {
  const SmtpEndpoint endpoint = smtp_endpoint(settings);
  if (endpoint.host.empty()) return std::unexpected(std::string("no SMTP host"));
  auto credential = verification_credential(settings, options);
  if (!credential) return std::unexpected(credential.error());

  if (auto name = tls::check_server_name(endpoint.host); !name) {
    return std::unexpected(describe_connection_error(name.error()));
  }
  auto context = tls::make_client_context();
  if (!context) return std::unexpected(describe_connection_error(context.error()));

  smtp::ClientOptions client = smtp_client_options(endpoint, *credential);
  client.noop = true;
  client.quit_must_succeed = true;

  smtp::SessionLimits limits;
  limits.connect = options.limit;
  limits.response = options.limit;
  auto exchange = [&](asio::any_io_executor) -> asio::awaitable<Result> {
    auto done = co_await smtp::converse(endpoint.host, endpoint.port, *context, client, limits);
    if (!done) co_return std::unexpected(describe_smtp_failure(done.error()));
    if (!done->noop_accepted)
      co_return std::unexpected(std::string("SMTP server did not accept the connection"));
    co_return Result{};
  };
  return race(exchange, cancel, options);
}

VerifyOutcome verify_account(const AccountSettings& settings, const std::atomic<bool>& cancel,
                             const VerifyOptions& options) {
  if (cancel.load()) return std::unexpected(std::string(verification_cancelled));
  if (auto problems = validate_settings(settings); !problems.empty()) {
    return std::unexpected(problems.front().second);
  }
  auto imap = verify_imap(settings, cancel, options);
  if (!imap) return std::nullopt;
  if (!*imap) return std::unexpected("IMAP login failed: " + imap->error());
  auto smtp = verify_smtp(settings, cancel, options);
  if (!smtp) return std::nullopt;
  if (!*smtp) return std::unexpected("SMTP handshake failed: " + smtp->error());
  return Result{};
}

}  // namespace mail
