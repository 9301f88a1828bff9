#include "oauth/redirect.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <thread>

namespace mail {
namespace {

TEST(ParseRedirect, ReadsCodeStateAndError) {
  struct Case {
    const char* target;
    RedirectParams expected;
  };
  const Case cases[] = {
      {"/oauth", {}},
      {"/oauth?", {}},
      {"/favicon.ico", {}},
      {"/oauth?code=4%2F0Ab&state=xyz", {"4/0Ab", "xyz", std::nullopt}},
      {"/oauth?state=s&code=a&code=b&scope=x", {"b", "s", std::nullopt}},
      {"/oauth?code=c&error=access_denied&state=s", {std::nullopt, "s", "access_denied"}},
      {"/?error=interaction+required", {std::nullopt, std::nullopt, "interaction required"}},
      {"?code=c?d", {"c?d", std::nullopt, std::nullopt}},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_redirect(c.target), c.expected) << c.target;
}

TEST(SignInPage, IsByteExact) {
  const std::string page =
      "<!doctype html><html><head><meta charset=utf-8><title>Zarn Mail</title></head>"
      "<body style=\"font-family:system-ui;padding:3rem;text-align:center\">Waiting for "
      "sign-in\xe2\x80\xa6"
      "</body></html>";
  EXPECT_EQ(sign_in_response(page_waiting),
            "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
}

// Sends one request to the listener and returns what came back.
std::string request(std::uint16_t port, const std::string& bytes) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return "connect failed";
  }
  // A listener that stopped serving leaves the connection in its backlog
  // unanswered; give up on it rather than hang the test.
  timeval tv{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (!bytes.empty()) (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  ::shutdown(fd, SHUT_WR);
  std::string answer;
  char buf[1024];
  ssize_t n;
  while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  return answer;
}

std::string get(const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

struct Waiting {
  LoopbackListener listener;
  std::future<std::expected<std::string, std::string>> result;
};

Waiting start_wait(std::string state, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  auto listener = LoopbackListener::open();
  if (!listener) throw std::runtime_error(listener.error());
  Waiting w{std::move(*listener), {}};
  w.result = std::async(std::launch::async, [&l = w.listener, state, limit] {
    return wait_for_redirect(l, state, limit);
  });
  return w;
}

TEST(WaitForRedirect, RequestsWithoutCodeGetTheWaitingPageAndTheWaitGoesOn) {
  auto w = start_wait("good-state");
  EXPECT_NE(w.listener.port(), 0);
  EXPECT_NE(request(w.listener.port(), get("/favicon.ico")).find(page_waiting), std::string::npos);
  EXPECT_NE(request(w.listener.port(), get("/oauth?scope=x")).find(page_waiting),
            std::string::npos);
  EXPECT_NE(request(w.listener.port(), "").find(page_waiting), std::string::npos)
      << "an empty request";
  EXPECT_NE(request(w.listener.port(), "\xff\xfe garbage").find(page_waiting), std::string::npos);
  EXPECT_EQ(w.result.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  const auto page = request(w.listener.port(), get("/oauth?code=the-code&state=good-state"));
  EXPECT_NE(page.find(page_signed_in), std::string::npos);
  EXPECT_EQ(w.result.get(), "the-code");
}

TEST(WaitForRedirect, CodeWithErrorIsDenied) {
  auto w = start_wait("s");
  const auto page = request(w.listener.port(), get("/oauth?code=c&state=s&error=access_denied"));
  EXPECT_NE(page.find(page_failed), std::string::npos);
  EXPECT_EQ(w.result.get(), std::unexpected(std::string("authorization denied: access_denied")));
}

TEST(WaitForRedirect, RedirectsWithoutTheExpectedStateAreAnsweredAndIgnored) {
  // Anything on the machine can reach the listener: none of these may end
  // the sign-in, with a code or with an error.
  auto w = start_wait("s");
  for (const char* target :
       {"/oauth?code=c", "/oauth?code=c&state=S", "/oauth?code=c&state=s+", "/oauth?code=c&state=",
        "/oauth?error=access_denied", "/oauth?error=access_denied&state=forged",
        "/oauth?code=c&error=access_denied&state=S", "/oauth?state=s&code=c&state=x"}) {
    const auto page = request(w.listener.port(), get(target));
    EXPECT_NE(page.find(page_state_mismatch), std::string::npos) << target;
    EXPECT_EQ(w.result.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout)
        << target << " ended the wait";
  }
  const auto page = request(w.listener.port(), get("/oauth?code=real&state=s"));
  EXPECT_NE(page.find(page_signed_in), std::string::npos);
  EXPECT_EQ(w.result.get(), "real");
}

TEST(WaitForRedirect, ForgedRequestsDoNotHideTheProvidersDenial) {
  auto w = start_wait("s");
  EXPECT_NE(request(w.listener.port(), get("/oauth?code=c&state=x")).find(page_state_mismatch),
            std::string::npos);
  const auto page = request(w.listener.port(), get("/oauth?error=access_denied&state=s"));
  EXPECT_NE(page.find(page_failed), std::string::npos);
  EXPECT_EQ(w.result.get(), std::unexpected(std::string("authorization denied: access_denied")));
}

TEST(WaitForRedirect, OnlyForgedRequestsEndAtTheTimeLimit) {
  auto w = start_wait("s", std::chrono::milliseconds(1500));
  EXPECT_NE(request(w.listener.port(), get("/oauth?error=x&state=y")).find(page_state_mismatch),
            std::string::npos);
  EXPECT_EQ(w.result.get(),
            std::unexpected(std::string("timed out waiting for the sign-in redirect")));
}

TEST(WaitForRedirect, GivesUpAtTheTimeLimit) {
  auto w = start_wait("s", std::chrono::milliseconds(150));
  EXPECT_EQ(w.result.get(),
            std::unexpected(std::string("timed out waiting for the sign-in redirect")));
}

TEST(WaitForRedirect, SilentClientDoesNotHoldTheWaitForever) {
  auto w = start_wait("s");
  // A client that connects and sends nothing is given up on after the read limit.
  const int idle = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(w.listener.port());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(idle, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  const auto page = request(w.listener.port(), get("/oauth?code=c&state=s"));
  EXPECT_NE(page.find(page_signed_in), std::string::npos);
  EXPECT_EQ(w.result.get(), "c");
  ::close(idle);
}

}  // namespace
}  // namespace mail
