#pragma once
// The TLS client configuration shared by the engine's connections: OpenSSL
// through asio::ssl, TLS 1.2 and 1.3 only, peer verification against the
// trust of tls.h, host-name verification and SNI per stream.

#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>
#include <expected>
#include <memory>
#include <string>
#include <string_view>

namespace mail::tls {

// Builds a client context. Fails when OpenSSL refuses the configuration or
// when the extra CA file is named but unreadable or holds no certificate.
[[nodiscard]] std::expected<std::shared_ptr<asio::ssl::context>, std::string> make_client_context();

// Sets SNI and host-name verification for one connection to `host`, before
// its handshake. IP literals get address verification and no SNI.
[[nodiscard]] std::expected<void, std::string> prepare_client_stream(
    asio::ssl::stream<asio::ip::tcp::socket>& stream, const std::string& host);

}  // namespace mail::tls
