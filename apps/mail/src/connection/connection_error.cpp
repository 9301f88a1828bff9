#include "connection/connection_error.h"

#include <initializer_list>

#include "text_codec/ascii.h"

namespace mail {
namespace {

bool has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool any(std::string_view text, std::initializer_list<std::string_view> parts) {
  for (auto p : parts)
    if (has(text, p)) return true;
  return false;
}

}  // namespace

std::string describe_connection_error(std::string_view text) {
  const std::string lower = text_codec::to_lower(text);
  if (any(lower, {"535", "authenticationfailed", "authentication failed", "invalid credentials"}) ||
      (has(lower, "auth") && any(lower, {"fail", "reject", "denied", "invalid"})) ||
      has(lower, "login failed"))
    return "authentication failed — check the username and password";
  if (any(lower, {"certificate", "tls", "handshake", "self-signed", "ssl"}))
    return "TLS/certificate error — the server's certificate wasn't trusted";
  if (has(lower, "refused")) return "connection refused — check the host and port";
  if (any(lower, {"timed out", "timeout"}))
    return "connection timed out — the server didn't respond";
  if (any(lower,
          {"dns", "lookup", "resolve", "name or service not known", "not known", "no such host"}))
    return "host not found — check the server address";
  if (any(lower, {"unreachable", "network is unreachable"}))
    return "network unreachable — check your connection";
  return "connection failed: " + std::string(text);
}

std::string describe_connection_error(ConnectionErrorKind kind, std::string_view text) {
  switch (kind) {
    case ConnectionErrorKind::StartTlsNotOffered:
      return "the server doesn't offer STARTTLS — check the port and security settings";
    case ConnectionErrorKind::Unclassified:
      break;
  }
  return describe_connection_error(text);
}

}  // namespace mail
