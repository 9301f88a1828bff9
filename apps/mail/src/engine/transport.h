#pragma once
// What an IMAP session runs over: a byte stream that can be read and written
// asynchronously. The live one is TLS over TCP with time limits; tests use an
// in-memory transcript.

#include <asio/awaitable.hpp>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/limits.h"

namespace mail {

class Transport {
 public:
  virtual ~Transport() = default;
  // Some bytes (at least one), or an error text; the end of the stream is an
  // error as well ("connection closed by the server").
  virtual asio::awaitable<std::expected<std::size_t, std::string>> read_some(
      std::span<char> buffer) = 0;
  virtual asio::awaitable<std::expected<void, std::string>> write_all(std::string_view bytes) = 0;
};

// Why opening a connection failed; connect_and_log_in turns it into the
// user's text.
struct ConnectError {
  enum class Stage { Tcp, ServerName, Tls };
  Stage stage = Stage::Tcp;
  std::string text;
};

// Opens a connection that speaks TLS from its first byte.
class Connector {
 public:
  virtual ~Connector() = default;
  virtual asio::awaitable<std::expected<std::unique_ptr<Transport>, ConnectError>> connect(
      const std::string& host, std::uint16_t port) = 0;
  // What a session over its connections may hold.
  [[nodiscard]] virtual SessionLimits session_limits() const { return {}; }
};

inline constexpr std::string_view closed_by_server = "connection closed by the server";

}  // namespace mail
