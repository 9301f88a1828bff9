#include "autoconfig/apply.h"

#include "text_codec/ascii.h"

namespace mail {
namespace {

bool blank(std::string_view s) {
  for (char c : s) {
    if (!(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')) return false;
  }
  return true;
}

}  // namespace

void apply_provider(AccountSettings& settings, const ProviderSettings& provider) {
  settings.imap_host = provider.imap_host;
  settings.imap_port = provider.imap_port;
  settings.imap_tls = provider.imap_tls;
  settings.smtp_host = provider.smtp_host;
  settings.smtp_port = provider.smtp_port;
  settings.smtp_tls = provider.smtp_tls;
  if (provider.oauth_capable) settings.auth = AuthKind::OAuth;
  if (blank(settings.display_name) && provider.name) settings.display_name = *provider.name;
}

void guess_servers(AccountSettings& settings) {
  const auto at = settings.email.find('@');
  if (at == std::string::npos) return;
  const std::string local = settings.email.substr(0, at);
  const std::string domain = text_codec::to_lower(std::string_view(settings.email).substr(at + 1));
  if (settings.username.empty()) settings.username = settings.email;
  if (settings.display_name.empty()) settings.display_name = local;
  settings.imap_host = "imap." + domain;
  settings.smtp_host = "smtp." + domain;
  settings.imap_port = 993;
  settings.smtp_port = 465;
  settings.imap_tls = true;
  settings.smtp_tls = true;
}

}  // namespace mail
