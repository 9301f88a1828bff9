#pragma once
// An in-memory Transport that plays a byte-exact transcript: "C" steps are
// what the client must write, "S" steps what the server answers. The server
// speaks only when every client byte before its step has been written, so a
// transcript also fixes the order of the exchange.

#include <asio/awaitable.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/transport.h"

namespace enginetest {

struct Step {
  char who;  // 'C' or 'S'
  std::string bytes;
};

// A line with CRLF appended.
inline Step C(std::string line) {
  return {'C', line + "\r\n"};
}
inline Step S(std::string line) {
  return {'S', line + "\r\n"};
}
// Bytes as they are.
inline Step Craw(std::string bytes) {
  return {'C', std::move(bytes)};
}
inline Step Sraw(std::string bytes) {
  return {'S', std::move(bytes)};
}

struct Transcript {
  std::vector<Step> steps;
  std::size_t step = 0;
  std::size_t offset = 0;            // within steps[step]
  std::string client_wrote;          // everything the client sent
  std::optional<std::string> fault;  // first deviation from the script
  int connects = 0;
  std::string host;
  std::uint16_t port = 0;

  // The client bytes the script expects, all of them.
  std::string expected_client() const {
    std::string out;
    for (const auto& s : steps)
      if (s.who == 'C') out += s.bytes;
    return out;
  }
  bool finished() const { return step == steps.size(); }
};

class MemoryTransport final : public mail::Transport {
 public:
  explicit MemoryTransport(std::shared_ptr<Transcript> t) : t_(std::move(t)) {}

  asio::awaitable<std::expected<std::size_t, std::string>> read_some(
      std::span<char> buffer) override {
    Transcript& t = *t_;
    if (t.finished()) co_return std::unexpected(std::string(mail::closed_by_server));
    Step& s = t.steps[t.step];
    if (s.who != 'S') {
      if (!t.fault)
        t.fault = "client waits for the server while the script expects it to send: " +
                  s.bytes.substr(t.offset);
      co_return std::unexpected(std::string("transcript: nothing to read"));
    }
    std::size_t n = std::min(buffer.size(), s.bytes.size() - t.offset);
    std::copy_n(s.bytes.data() + t.offset, n, buffer.data());
    advance(n);
    co_return n;
  }

  asio::awaitable<std::expected<void, std::string>> write_all(std::string_view bytes) override {
    Transcript& t = *t_;
    t.client_wrote.append(bytes);
    while (!bytes.empty()) {
      if (t.finished() || t.steps[t.step].who != 'C') {
        if (!t.fault) t.fault = "client sent unexpected bytes: " + std::string(bytes);
        co_return std::unexpected(std::string("transcript: unexpected client bytes"));
      }
      Step& s = t.steps[t.step];
      std::size_t n = std::min(bytes.size(), s.bytes.size() - t.offset);
      if (bytes.substr(0, n) != std::string_view(s.bytes).substr(t.offset, n)) {
        if (!t.fault)
          t.fault = "client sent " + std::string(bytes) + " but the script expects " +
                    s.bytes.substr(t.offset);
        co_return std::unexpected(std::string("transcript: client bytes differ"));
      }
      advance(n);
      bytes.remove_prefix(n);
    }
    co_return std::expected<void, std::string>{};
  }

 private:
  void advance(std::size_t n) {
    Transcript& t = *t_;
    t.offset += n;
    if (t.offset == t.steps[t.step].bytes.size()) {
      ++t.step;
      t.offset = 0;
    }
  }
  std::shared_ptr<Transcript> t_;
};

class MemoryConnector final : public mail::Connector {
 public:
  explicit MemoryConnector(std::shared_ptr<Transcript> t) : t_(std::move(t)) {}
  std::optional<mail::ConnectError> refuse;
  mail::SessionLimits limits;

  mail::SessionLimits session_limits() const override { return limits; }

  asio::awaitable<std::expected<std::unique_ptr<mail::Transport>, mail::ConnectError>> connect(
      const std::string& host, std::uint16_t port) override {
    ++t_->connects;
    t_->host = host;
    t_->port = port;
    if (refuse) co_return std::unexpected(*refuse);
    co_return std::unique_ptr<mail::Transport>(std::make_unique<MemoryTransport>(t_));
  }

 private:
  std::shared_ptr<Transcript> t_;
};

}  // namespace enginetest
