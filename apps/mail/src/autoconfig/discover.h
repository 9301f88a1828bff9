#pragma once
// The network lookup behind the setup sheet's autofill: autoconfiguration
// documents over HTTPS, then the built-in table, then MX records through
// DNS-over-HTTPS. Blocking; meant for a thread of its own.

#include <array>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "autoconfig/provider.h"
#include "oauth/http.h"

namespace mail {

// Where the lookup sends its requests. The defaults are the real services;
// tests pass their own loopback servers.
struct DiscoveryEndpoints {
  // ISP configuration database; "{base}/{domain}" is asked.
  std::string ispdb_base = "https://autoconfig.thunderbird.net/v1.1";
  // DNS-over-HTTPS resolvers, asked in this order.
  std::array<std::string, 2> doh = {"https://dns.google/resolve",
                                    "https://cloudflare-dns.com/dns-query"};
  http::Routing routing;
  std::chrono::milliseconds request_timeout{8'000};
  std::chrono::milliseconds overall_timeout{30'000};
};

inline constexpr std::string_view discovery_user_agent = "Zarn Mail";

// The three autoconfiguration URLs, in the order they are tried.
[[nodiscard]] std::array<std::string, 3> autoconfig_urls(std::string_view domain,
                                                         std::string_view email);
[[nodiscard]] std::array<std::string, 3> autoconfig_urls(std::string_view domain,
                                                         std::string_view email,
                                                         const DiscoveryEndpoints& endpoints);

// None when nothing was found, the 30 seconds passed or `cancel` was set (a
// set flag ends the lookup within about 50 ms).
[[nodiscard]] std::optional<ProviderSettings> discover(std::string_view email,
                                                       const std::atomic<bool>& cancel);
[[nodiscard]] std::optional<ProviderSettings> discover(std::string_view email,
                                                       const std::atomic<bool>& cancel,
                                                       const DiscoveryEndpoints& endpoints);

}  // namespace mail
