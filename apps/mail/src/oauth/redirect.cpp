#include "oauth/redirect.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "oauth/form.h"

namespace mail {
namespace {

std::string system_error(int err) {
  return std::strerror(err);
}

constexpr std::chrono::milliseconds poll_interval{50};
constexpr int read_timeout_seconds = 2;
constexpr std::size_t max_request_bytes = 4096;

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The second word of the first line.
std::string request_target(std::string_view request) {
  const auto eol = request.find_first_of("\r\n");
  std::string_view line = request.substr(0, eol);
  int word = 0;
  while (!line.empty()) {
    while (!line.empty() && is_space(line.front())) line.remove_prefix(1);
    if (line.empty()) break;
    std::size_t n = 0;
    while (n < line.size() && !is_space(line[n])) ++n;
    if (word == 1) return std::string(line.substr(0, n));
    ++word;
    line.remove_prefix(n);
  }
  return {};
}

class Connection {
 public:
  explicit Connection(int fd) : fd_(fd) {}
  ~Connection() {
    ::shutdown(fd_, SHUT_WR);
    ::close(fd_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::expected<LoopbackListener, std::string> LoopbackListener::open() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::unexpected("could not bind loopback: " + system_error(errno));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = 0;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
    const int err = errno;
    ::close(fd);
    return std::unexpected("could not bind loopback: " + system_error(err));
  }
  socklen_t len = sizeof addr;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    const int err = errno;
    ::close(fd);
    return std::unexpected("could not bind loopback: " + system_error(err));
  }
  return LoopbackListener(fd, ntohs(addr.sin_port));
}

LoopbackListener::LoopbackListener(LoopbackListener&& other) noexcept
    : fd_(other.fd_), port_(other.port_) {
  other.fd_ = -1;
}

LoopbackListener& LoopbackListener::operator=(LoopbackListener&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    port_ = other.port_;
    other.fd_ = -1;
  }
  return *this;
}

LoopbackListener::~LoopbackListener() {
  if (fd_ >= 0) ::close(fd_);
}

std::string redirect_uri_for(std::uint16_t port) {
  return "http://127.0.0.1:" + std::to_string(port) + "/oauth";
}

RedirectParams parse_redirect(std::string_view target) {
  RedirectParams params;
  const auto q = target.find('?');
  if (q == std::string_view::npos) return params;
  for (auto& [key, value] : parse_form_query(target.substr(q + 1))) {
    if (key == "code") {
      params.code = std::move(value);
    } else if (key == "state") {
      params.state = std::move(value);
    } else if (key == "error") {
      params.error = std::move(value);
    }
  }
  if (params.error) params.code.reset();
  return params;
}

std::string sign_in_response(std::string_view message) {
  std::string page =
      "<!doctype html><html><head><meta charset=utf-8><title>Zarn Mail</title></head>"
      "<body style=\"font-family:system-ui;padding:3rem;text-align:center\">";
  page += message;
  page += "</body></html>";
  std::string response =
      "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: ";
  response += std::to_string(page.size());
  response += "\r\nConnection: close\r\n\r\n";
  response += page;
  return response;
}

void sign_in_page(int fd, std::string_view message) {
  const std::string response = sign_in_response(message);
  std::size_t sent = 0;
  while (sent < response.size()) {
    const ssize_t n = ::send(fd, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

std::expected<std::string, std::string> wait_for_redirect(const LoopbackListener& listener,
                                                          std::string_view expected_state,
                                                          std::chrono::milliseconds time_limit) {
  const auto deadline = std::chrono::steady_clock::now() + time_limit;
  while (true) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::unexpected(std::string("timed out waiting for the sign-in redirect"));
    }
    const int flags = ::fcntl(listener.fd(), F_GETFL);
    if (flags < 0 || ::fcntl(listener.fd(), F_SETFL, flags | O_NONBLOCK) < 0) {
      return std::unexpected(system_error(errno));
    }
    const int fd = ::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      const int err = errno;
      if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR || err == ECONNABORTED) {
        std::this_thread::sleep_for(poll_interval);
        continue;
      }
      return std::unexpected(system_error(err));
    }
    Connection connection(fd);
    // Accepted sockets start blocking on Linux; the read gets its own limit.
    timeval tv{read_timeout_seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char buffer[max_request_bytes];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0) n = 0;
    const std::string request = utf8_lossy(std::string_view(buffer, static_cast<std::size_t>(n)));
    const RedirectParams params = parse_redirect(request_target(request));
    if (!params.code && !params.error) {
      sign_in_page(fd, page_waiting);
      continue;
    }
    // NB: anything on this machine can reach the listener. Only a redirect
    // that carries the state this sign-in made may end it, whether with a
    // code or with an error; any other is answered and the wait goes on for
    // the real one until the time limit.
    if (!params.state || *params.state != expected_state) {
      sign_in_page(fd, page_state_mismatch);
      continue;
    }
    if (params.error) {
      sign_in_page(fd, page_failed);
      return std::unexpected("authorization denied: " + *params.error);
    }
    sign_in_page(fd, page_signed_in);
    return *params.code;
  }
}

}  // namespace mail
