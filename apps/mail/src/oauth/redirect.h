#pragma once
// The loopback end of the browser sign-in: a listener on 127.0.0.1 that
// waits for the provider's redirect "http://127.0.0.1:{port}/oauth?code=…",
// answers the browser with a small page and hands back the code.

#include <chrono>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace mail {

// A TCP listener on 127.0.0.1 with a port the system picked. Closed on
// destruction.
class LoopbackListener {
 public:
  [[nodiscard]] static std::expected<LoopbackListener, std::string> open();
  LoopbackListener(LoopbackListener&& other) noexcept;
  LoopbackListener& operator=(LoopbackListener&& other) noexcept;
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  ~LoopbackListener();

  [[nodiscard]] std::uint16_t port() const { return port_; }
  [[nodiscard]] int fd() const { return fd_; }

 private:
  LoopbackListener(int fd, std::uint16_t port) : fd_(fd), port_(port) {}
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

[[nodiscard]] std::string redirect_uri_for(std::uint16_t port);

struct RedirectParams {
  std::optional<std::string> code;
  std::optional<std::string> state;
  std::optional<std::string> error;
  bool operator==(const RedirectParams&) const = default;
};

// Reads the query of a request target. An error wins over a code: the result
// then carries no code.
[[nodiscard]] RedirectParams parse_redirect(std::string_view target);

// The complete HTTP response that carries `message` to the browser.
[[nodiscard]] std::string sign_in_response(std::string_view message);
// Writes that response to a connected socket; write errors are ignored.
void sign_in_page(int fd, std::string_view message);

inline constexpr std::string_view page_waiting = "Waiting for sign-in…";
inline constexpr std::string_view page_failed = "Sign-in failed. You can close this tab.";
inline constexpr std::string_view page_signed_in =
    "Signed in. You can close this tab and return to Mail.";
inline constexpr std::string_view page_state_mismatch =
    "Sign-in state mismatch. Please try again from Mail.";

// Serves one connection at a time until a request with the expected state
// carries a code or an error, or the time limit passes. Requests with another
// state, or none, get the state-mismatch page and are otherwise ignored.
// Returns the authorization code.
[[nodiscard]] std::expected<std::string, std::string> wait_for_redirect(
    const LoopbackListener& listener, std::string_view expected_state,
    std::chrono::milliseconds time_limit);

}  // namespace mail
