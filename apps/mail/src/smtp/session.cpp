#include "smtp/session.h"

#include <unistd.h>

#include <array>
#include <asio/connect.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/stream.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

#include "tls/client_context.h"

namespace mail::smtp {
namespace {

using namespace asio::experimental::awaitable_operators;
using tcp = asio::ip::tcp;
using TlsStream = asio::ssl::stream<tcp::socket>;
constexpr auto use_tuple = asio::experimental::as_tuple(asio::use_awaitable);

using Outcome = std::expected<Client::Done, Client::Failed>;

std::unexpected<Client::Failed> failed(std::string text) {
  return std::unexpected(Client::Failed{std::move(text)});
}

bool is_closed(const std::error_code& ec) {
  return ec == asio::error::eof || ec == asio::ssl::error::stream_truncated ||
         ec == asio::error::connection_reset;
}

}  // namespace

std::string default_helo_name() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0 || buf[0] == '\0') return "localhost";
  std::string name(buf);
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.';
    if (!ok) return "localhost";
  }
  return name;
}

asio::awaitable<Outcome> converse(std::string host, std::uint16_t port,
                                  std::shared_ptr<asio::ssl::context> tls, ClientOptions options,
                                  SessionLimits limits) {
  auto ex = co_await asio::this_coro::executor;
  asio::steady_timer timer(ex);

  timer.expires_after(limits.connect);
  tcp::resolver resolver(ex);
  auto resolved = co_await (resolver.async_resolve(host, std::to_string(port), use_tuple) ||
                            timer.async_wait(use_tuple));
  if (resolved.index() == 1) co_return failed(std::string(timed_out_text));
  auto [rec, endpoints] = std::get<0>(resolved);
  if (rec) co_return failed("failed to resolve " + host + ": " + rec.message());

  TlsStream stream(ex, *tls);
  auto connected = co_await (asio::async_connect(stream.lowest_layer(), endpoints, use_tuple) ||
                             timer.async_wait(use_tuple));
  if (connected.index() == 1) co_return failed(std::string(timed_out_text));
  if (auto ec = std::get<0>(std::get<0>(connected)); ec) co_return failed(ec.message());

  if (auto prepared = tls::prepare_client_stream(stream, host); !prepared) {
    co_return failed(prepared.error());
  }

  bool secure = false;
  auto handshake = [&]() -> asio::awaitable<std::expected<void, std::string>> {
    timer.expires_after(limits.response);
    auto shaken = co_await (stream.async_handshake(asio::ssl::stream_base::client, use_tuple) ||
                            timer.async_wait(use_tuple));
    if (shaken.index() == 1) co_return std::unexpected(std::string(timed_out_text));
    if (auto [ec] = std::get<0>(shaken); ec) {
      co_return std::unexpected("TLS handshake failed: " + ec.message());
    }
    secure = true;
    co_return std::expected<void, std::string>{};
  };

  if (options.tls == TlsMode::Implicit) {
    if (auto ok = co_await handshake(); !ok) co_return failed(ok.error());
  }

  Client client(std::move(options));
  std::array<char, 16384> buffer{};
  for (;;) {
    auto step = client.next();
    if (auto* w = std::get_if<Client::Write>(&step)) {
      timer.expires_after(limits.response);
      auto data = asio::buffer(w->bytes.data(), w->bytes.size());
      auto written = secure ? co_await (asio::async_write(stream, data, use_tuple) ||
                                        timer.async_wait(use_tuple))
                            : co_await (asio::async_write(stream.next_layer(), data, use_tuple) ||
                                        timer.async_wait(use_tuple));
      if (written.index() == 1) co_return failed(std::string(timed_out_text));
      if (auto ec = std::get<0>(std::get<0>(written)); ec) {
        if (is_closed(ec)) co_return failed("connection closed by the SMTP server");
        co_return failed(ec.message());
      }
    } else if (std::holds_alternative<Client::Read>(step)) {
      timer.expires_after(limits.response);
      auto data = asio::buffer(buffer.data(), buffer.size());
      auto got =
          secure ? co_await (stream.async_read_some(data, use_tuple) || timer.async_wait(use_tuple))
                 : co_await (stream.next_layer().async_read_some(data, use_tuple) ||
                             timer.async_wait(use_tuple));
      if (got.index() == 1) co_return failed(std::string(timed_out_text));
      auto [ec, n] = std::get<0>(got);
      if (n > 0) client.receive(std::string_view(buffer.data(), n));
      if (ec) {
        if (!is_closed(ec)) co_return failed(ec.message());
        client.closed();
      }
    } else if (std::holds_alternative<Client::StartTls>(step)) {
      if (auto ok = co_await handshake(); !ok) co_return failed(ok.error());
      client.tls_ready();
    } else if (auto* done = std::get_if<Client::Done>(&step)) {
      std::error_code ignored;
      stream.lowest_layer().close(ignored);
      co_return *done;
    } else {
      co_return std::unexpected(std::get<Client::Failed>(step));
    }
  }
}

}  // namespace mail::smtp
