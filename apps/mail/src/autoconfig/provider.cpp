#include "autoconfig/provider.h"

#include <array>

#include "text_codec/ascii.h"

namespace mail {
namespace {

std::string_view first_label(std::string_view domain) {
  const auto dot = domain.find('.');
  return dot == std::string_view::npos ? domain : domain.substr(0, dot);
}

template <std::size_t N>
bool any_of(std::string_view value, const std::array<std::string_view, N>& options) {
  for (auto o : options) {
    if (value == o) return true;
  }
  return false;
}

ProviderSettings servers(std::string_view imap, std::uint16_t imap_port, std::string_view smtp,
                         std::uint16_t smtp_port, bool oauth) {
  ProviderSettings p;
  p.imap_host = std::string(imap);
  p.smtp_host = std::string(smtp);
  p.imap_port = imap_port;
  p.smtp_port = smtp_port;
  p.imap_tls = true;
  p.smtp_tls = true;
  p.oauth_capable = oauth;
  return p;
}

constexpr std::string_view office365_domain = "office365.com";

// Entries matched by first label after the five providers, in table order.
struct FurtherEntry {
  std::array<std::string_view, 3> labels;  // empty slots unused
  std::string_view whole_domain;           // empty: any domain with that label
  std::string_view imap;
  std::uint16_t imap_port;
  std::string_view smtp;
  std::uint16_t smtp_port;
};

constexpr std::array<FurtherEntry, 6> further_entries{{
    {{"gmx", "", ""}, "", "imap.gmx.net", 993, "mail.gmx.net", 587},
    {{"web", "", ""}, "web.de", "imap.web.de", 993, "smtp.web.de", 587},
    {{"mail", "", ""}, "mail.com", "imap.mail.com", 993, "smtp.mail.com", 587},
    {{"zoho", "", ""}, "", "imap.zoho.com", 993, "smtp.zoho.com", 465},
    {{"aol", "", ""}, "", "imap.aol.com", 993, "smtp.aol.com", 465},
    // The provider's local bridge carries both protocols.
    {{"proton", "protonmail", "pm"}, "", "127.0.0.1", 1143, "127.0.0.1", 1025},
}};

}  // namespace

std::string_view provider_kind_name(ProviderKind kind) {
  switch (kind) {
    case ProviderKind::Google:
      return "Google";
    case ProviderKind::Microsoft:
      return "Microsoft";
    case ProviderKind::Yahoo:
      return "Yahoo";
    case ProviderKind::Fastmail:
      return "Fastmail";
    case ProviderKind::ICloud:
      return "iCloud";
  }
  return "";
}

std::optional<ProviderKind> provider_kind_for_domain(std::string_view domain) {
  const std::string lower = text_codec::to_lower(domain);
  const std::string_view label = first_label(lower);
  using A2 = std::array<std::string_view, 2>;
  using A3 = std::array<std::string_view, 3>;
  using A4 = std::array<std::string_view, 4>;
  if (any_of(label, A2{"gmail", "googlemail"})) return ProviderKind::Google;
  if (any_of(label, A4{"outlook", "hotmail", "live", "msn"})) return ProviderKind::Microsoft;
  if (any_of(label, A3{"yahoo", "ymail", "rocketmail"})) return ProviderKind::Yahoo;
  if (label == "fastmail") return ProviderKind::Fastmail;
  if (any_of(label, A3{"icloud", "me", "mac"})) return ProviderKind::ICloud;
  if (lower == office365_domain) return ProviderKind::Microsoft;
  return std::nullopt;
}

std::optional<ProviderKind> provider_kind_for_mx(std::string_view host) {
  std::string lower = text_codec::to_lower(host);
  while (!lower.empty() && lower.back() == '.') lower.pop_back();
  struct Suffixes {
    ProviderKind kind;
    std::array<std::string_view, 3> tails;
  };
  static constexpr std::array<Suffixes, 5> table{{
      {ProviderKind::Google, {"google.com", "googlemail.com", "aspmx.l.google.com"}},
      {ProviderKind::Microsoft, {"outlook.com", "protection.outlook.com", "office365.com"}},
      {ProviderKind::Yahoo, {"yahoodns.net", "yahoo.com", ""}},
      {ProviderKind::Fastmail, {"messagingengine.com", "fastmail.com", ""}},
      {ProviderKind::ICloud, {"icloud.com", "me.com", "mail.me.com"}},
  }};
  for (const auto& row : table) {
    for (auto tail : row.tails) {
      if (!tail.empty() && lower.ends_with(tail)) return row.kind;
    }
  }
  return std::nullopt;
}

ProviderSettings provider_record(ProviderKind kind) {
  switch (kind) {
    case ProviderKind::Google:
      return servers("imap.gmail.com", 993, "smtp.gmail.com", 465, true);
    case ProviderKind::Microsoft:
      return servers("outlook.office365.com", 993, "smtp-mail.outlook.com", 587, true);
    case ProviderKind::Yahoo:
      return servers("imap.mail.yahoo.com", 993, "smtp.mail.yahoo.com", 465, false);
    case ProviderKind::Fastmail:
      return servers("imap.fastmail.com", 993, "smtp.fastmail.com", 465, false);
    case ProviderKind::ICloud:
      return servers("imap.mail.me.com", 993, "smtp.mail.me.com", 587, false);
  }
  return {};
}

std::optional<ProviderSettings> known_provider(std::string_view domain) {
  if (auto kind = provider_kind_for_domain(domain)) return provider_record(*kind);
  const std::string lower = text_codec::to_lower(domain);
  const std::string_view label = first_label(lower);
  for (const auto& e : further_entries) {
    bool label_matches = false;
    for (auto l : e.labels) label_matches = label_matches || (!l.empty() && l == label);
    if (!label_matches) continue;
    if (!e.whole_domain.empty() && lower != e.whole_domain) continue;
    return servers(e.imap, e.imap_port, e.smtp, e.smtp_port, false);
  }
  return std::nullopt;
}

}  // namespace mail
