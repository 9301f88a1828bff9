#include <arpa/inet.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tls/tls.h"

namespace mail::tls {
namespace generated {
extern const std::string_view web_roots[];
extern const std::size_t web_root_count;
}  // namespace generated

std::size_t web_root_count() {
  return generated::web_root_count;
}

std::string_view web_root(std::size_t index) {
  return index < generated::web_root_count ? generated::web_roots[index] : std::string_view{};
}

const std::string& web_roots_pem() {
  static const std::string blob = [] {
    std::string out;
    for (std::size_t i = 0; i < generated::web_root_count; ++i) out.append(generated::web_roots[i]);
    return out;
  }();
  return blob;
}

std::optional<std::string> extra_ca_file() {
  const char* value = std::getenv(extra_ca_env);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::expected<std::string, std::string> trusted_pem() {
  std::string out = web_roots_pem();
  if (auto path = extra_ca_file()) {
    std::ifstream in(*path, std::ios::binary);
    if (!in) return std::unexpected("cannot read " + std::string(extra_ca_env) + " file " + *path);
    std::ostringstream text;
    text << in.rdbuf();
    out.push_back('\n');
    out.append(text.str());
  }
  return out;
}

bool is_ip_literal(std::string_view host) {
  std::string h(host);
  unsigned char buf[16];
  return inet_pton(AF_INET, h.c_str(), buf) == 1 || inet_pton(AF_INET6, h.c_str(), buf) == 1;
}

std::expected<void, std::string> check_server_name(std::string_view host) {
  if (host.empty()) return std::unexpected("empty host name");
  if (is_ip_literal(host)) return {};
  std::string_view name = host;
  if (name.back() == '.') name.remove_suffix(1);
  if (name.empty() || name.size() > 253) return std::unexpected("invalid DNS name");
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('.', start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view label = name.substr(start, end - start);
    if (label.empty() || label.size() > 63) return std::unexpected("invalid DNS name");
    if (label.front() == '-' || label.back() == '-') return std::unexpected("invalid DNS name");
    for (char c : label) {
      const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
      if (!ok) return std::unexpected("invalid DNS name");
    }
    start = end + 1;
  }
  return {};
}

}  // namespace mail::tls
