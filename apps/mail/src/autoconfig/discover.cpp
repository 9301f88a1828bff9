#include "autoconfig/discover.h"

#include "autoconfig/autoconfig_document.h"
#include "autoconfig/dns_answer.h"
#include "oauth/form.h"

namespace mail {
namespace {

std::string email_for_query(std::string_view email) {
  std::string out;
  for (char c : email) {
    if (c == '@') {
      out += "%40";
    } else {
      out += c;
    }
  }
  return out;
}

bool ok_status(long status) {
  return status >= 200 && status <= 299;
}

}  // namespace

std::array<std::string, 3> autoconfig_urls(std::string_view domain, std::string_view email) {
  return autoconfig_urls(domain, email, DiscoveryEndpoints{});
}

std::array<std::string, 3> autoconfig_urls(std::string_view domain, std::string_view email,
                                           const DiscoveryEndpoints& endpoints) {
  const std::string d(domain);
  const std::string e = email_for_query(email);
  return {
      "https://autoconfig." + d + "/mail/config-v1.1.xml?emailaddress=" + e,
      "https://" + d + "/.well-known/autoconfig/mail/config-v1.1.xml?emailaddress=" + e,
      endpoints.ispdb_base + "/" + d,
  };
}

std::optional<ProviderSettings> discover(std::string_view email, const std::atomic<bool>& cancel) {
  return discover(email, cancel, DiscoveryEndpoints{});
}

std::optional<ProviderSettings> discover(std::string_view email, const std::atomic<bool>& cancel,
                                         const DiscoveryEndpoints& endpoints) {
  const auto at = email.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view domain = email.substr(at + 1);

  http::Options options;
  options.user_agent = std::string(discovery_user_agent);
  options.timeout = endpoints.request_timeout;
  options.cancel = &cancel;
  options.deadline = std::chrono::steady_clock::now() + endpoints.overall_timeout;
  options.follow_redirects = true;
  options.routing = endpoints.routing;

  const auto stopped = [&] {
    return cancel.load() || std::chrono::steady_clock::now() >= options.deadline;
  };

  for (const auto& url : autoconfig_urls(domain, email, endpoints)) {
    if (stopped()) return std::nullopt;
    auto response = http::get(url, options);
    if (!response || !ok_status(response->status)) continue;
    if (auto found = parse_autoconfig(response->body)) return found;
  }
  if (stopped()) return std::nullopt;
  if (auto known = known_provider(domain)) return known;

  http::Options dns = options;
  dns.follow_redirects = false;
  dns.headers = {"accept: application/dns-json"};
  // NB: the domain is form-encoded in the query so that a typed "&" or "#"
  // cannot change the request; ordinary domain names are unchanged.
  const std::string query = "?name=" + form_encode(domain) + "&type=MX";
  for (const auto& resolver : endpoints.doh) {
    if (stopped()) return std::nullopt;
    auto response = http::get(resolver + query, dns);
    if (!response || !ok_status(response->status)) continue;
    if (auto kind = provider_kind_for_mx_answer(response->body)) return provider_record(*kind);
  }
  return std::nullopt;
}

}  // namespace mail
