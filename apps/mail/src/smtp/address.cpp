#include "smtp/address.h"

namespace mail::smtp {
namespace {

bool is_atext(unsigned char c) {
  if (c >= 0x80) return true;  // UTF-8 (RFC 6531)
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '\'':
    case '*':
    case '+':
    case '-':
    case '/':
    case '=':
    case '?':
    case '^':
    case '_':
    case '`':
    case '{':
    case '|':
    case '}':
    case '~':
      return true;
    default:
      return false;
  }
}

bool dot_atom(std::string_view s, bool (*allowed)(unsigned char)) {
  if (s.empty() || s.front() == '.' || s.back() == '.') return false;
  char prev = 0;
  for (char ch : s) {
    if (ch == '.') {
      if (prev == '.') return false;
    } else if (!allowed(static_cast<unsigned char>(ch))) {
      return false;
    }
    prev = ch;
  }
  return true;
}

bool quoted_local(std::string_view s) {
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
  for (std::size_t i = 1; i + 1 < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == '\\') {
      if (++i + 1 >= s.size()) return false;
      c = static_cast<unsigned char>(s[i]);
      if (c < 0x20 || c == 0x7f) return false;
      continue;
    }
    if (c == '"' || c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

bool is_label_char(unsigned char c) {
  return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '-';
}

bool valid_domain(std::string_view d) {
  if (d.size() >= 2 && d.front() == '[' && d.back() == ']') {
    for (char ch : d.substr(1, d.size() - 2)) {
      auto c = static_cast<unsigned char>(ch);
      if (c <= 0x20 || c == 0x7f || c == '[' || c == ']' || c == '\\') return false;
    }
    return d.size() > 2;
  }
  if (!dot_atom(d, is_label_char)) return false;
  std::size_t start = 0;
  while (start <= d.size()) {
    std::size_t dot = d.find('.', start);
    std::string_view label = d.substr(start, dot == std::string_view::npos ? d.npos : dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
      return false;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return true;
}

}  // namespace

std::expected<std::string, std::string> parse_plain_address(std::string_view text) {
  if (text.empty()) return std::unexpected(std::string("empty address"));
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f) return std::unexpected(std::string("control character in address"));
  }
  if (text.size() > 254) return std::unexpected(std::string("address too long"));
  const std::size_t at = text.rfind('@');
  if (at == std::string_view::npos) return std::unexpected(std::string("missing @ in address"));
  const std::string_view local = text.substr(0, at);
  const std::string_view domain = text.substr(at + 1);
  if (local.empty()) return std::unexpected(std::string("missing user before @"));
  if (domain.empty()) return std::unexpected(std::string("missing domain after @"));
  if (local.size() > 64) return std::unexpected(std::string("user part too long"));
  if (!dot_atom(local, is_atext) && !quoted_local(local)) {
    return std::unexpected(std::string("invalid user part \"") + std::string(local) + "\"");
  }
  if (!valid_domain(domain)) {
    return std::unexpected(std::string("invalid domain \"") + std::string(domain) + "\"");
  }
  return std::string(text);
}

}  // namespace mail::smtp
