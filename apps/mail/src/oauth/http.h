#pragma once
// A small blocking HTTPS client over libcurl for discovery lookups and token
// requests. Every wait is bounded: a per-request time-out, an optional overall
// deadline and an optional cancel flag that is looked at every 50 ms, also
// while a request is connecting or transferring.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <expected>
#include <string>
#include <vector>

namespace mail::http {

// Where requests go and which certificates they trust. The program leaves it
// empty (public roots, real names); tests point names at loopback servers
// with "host:port:127.0.0.1:port" entries and trust their own CA.
struct Routing {
  std::vector<std::string> connect_to;  // CURLOPT_CONNECT_TO entries
  std::string extra_ca_pem;             // trusted in addition to the public roots
};

struct Options {
  std::string user_agent;
  std::chrono::milliseconds timeout{20'000};
  std::vector<std::string> headers;  // "name: value"
  const std::atomic<bool>* cancel = nullptr;
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  bool follow_redirects = false;
  std::size_t max_body = 1 << 20;
  Routing routing;
};

struct Response {
  long status = 0;
  std::string body;
};

inline constexpr std::string_view cancelled_error = "cancelled";

[[nodiscard]] std::expected<Response, std::string> get(const std::string& url,
                                                       const Options& options);
// POST with an "application/x-www-form-urlencoded" body.
[[nodiscard]] std::expected<Response, std::string> post_form(const std::string& url,
                                                             const std::string& body,
                                                             const Options& options);

}  // namespace mail::http
