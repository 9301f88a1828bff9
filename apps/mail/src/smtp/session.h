#pragma once
// Runs one SMTP conversation (client.h) over TCP with Asio: resolve,
// connect, TLS from the first byte or after STARTTLS, then the client's
// steps until it is done. Every wait is bounded.

#include <asio/awaitable.hpp>
#include <asio/ssl/context.hpp>
#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <string>

#include "smtp/client.h"

namespace mail::smtp {

struct SessionLimits {
  std::chrono::milliseconds connect{30'000};   // resolve + TCP connect
  std::chrono::milliseconds response{60'000};  // each read, write or TLS handshake
};

inline constexpr std::string_view timed_out_text = "timed out waiting for the SMTP server";

// The conversation's outcome, or the raw error text of whatever failed
// (system, TLS or SMTP) with its kind when the client knows it; callers word
// it for the user.
asio::awaitable<std::expected<Client::Done, Client::Failed>> converse(
    std::string host, std::uint16_t port, std::shared_ptr<asio::ssl::context> tls,
    ClientOptions options, SessionLimits limits = {});

// The name this client gives in EHLO: the machine's host name when it is a
// plain DNS name, else "localhost".
[[nodiscard]] std::string default_helo_name();

}  // namespace mail::smtp
