#include "validate/settings.h"

#include <string_view>

namespace mail {

namespace {
bool blank(std::string_view s) {
  for (char c : s) {
    if (!(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')) return false;
  }
  return true;
}
}  // namespace

std::vector<SettingsProblem> validate_settings(const AccountSettings& s) {
  std::vector<SettingsProblem> problems;
  if (s.email.find('@') == std::string::npos)
    problems.emplace_back("email", "Enter a valid email address");
  if (blank(s.imap_host)) problems.emplace_back("imap_host", "IMAP host is required");
  if (blank(s.smtp_host)) problems.emplace_back("smtp_host", "SMTP host is required");
  if (blank(s.username)) problems.emplace_back("username", "Username is required");
  if (s.imap_port == 0) problems.emplace_back("imap_port", "Port must be 1-65535");
  if (s.smtp_port == 0) problems.emplace_back("smtp_port", "Port must be 1-65535");
  return problems;
}

}  // namespace mail
