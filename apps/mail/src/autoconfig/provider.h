#pragma once
// Well-known mail providers: the built-in table that turns an address's
// domain (or its MX exchanger) into IMAP and SMTP settings without asking
// the network.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mail {

// What a lookup found for an address.
struct ProviderSettings {
  std::string imap_host;
  std::string smtp_host;
  std::optional<std::string> name;  // only from an autoconfiguration document
  std::uint16_t imap_port = 0;
  std::uint16_t smtp_port = 0;
  bool imap_tls = false;
  bool smtp_tls = false;
  bool oauth_capable = false;

  bool operator==(const ProviderSettings&) const = default;
};

enum class ProviderKind { Google, Microsoft, Yahoo, Fastmail, ICloud };

std::string_view provider_kind_name(ProviderKind kind);

// Matches the first label of the domain ("gmail" in "gmail.co.uk"), and
// Microsoft's Office 365 domain as a whole.
[[nodiscard]] std::optional<ProviderKind> provider_kind_for_domain(std::string_view domain);

// Matches the tail of an MX exchanger name. NB: plain text suffixes with no
// label boundary, so "evilgoogle.com" counts as Google; the exchanger only
// picks server names of that provider, it grants nothing.
[[nodiscard]] std::optional<ProviderKind> provider_kind_for_mx(std::string_view host);

[[nodiscard]] ProviderSettings provider_record(ProviderKind kind);

// The built-in table: the five providers, then the further entries matched by
// the domain's first label.
[[nodiscard]] std::optional<ProviderSettings> known_provider(std::string_view domain);

}  // namespace mail
