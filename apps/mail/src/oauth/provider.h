#pragma once
// The two OAuth providers: which addresses sign in with them, their endpoints,
// scopes and the environment variable that holds the client identifier.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mail {

enum class OAuthProvider : std::uint8_t { Google = 0, Microsoft = 1 };

[[nodiscard]] std::string_view oauth_provider_name(
    OAuthProvider provider);  // "Google", "Microsoft"
[[nodiscard]] std::optional<OAuthProvider> oauth_provider_from_byte(std::uint8_t value);

// Where a provider's sign-in and token requests go. `for_provider` gives the
// real endpoints; tests substitute loopback servers.
struct OAuthEndpoints {
  std::string authorization;
  std::string token;
  static OAuthEndpoints for_provider(OAuthProvider provider);
};

[[nodiscard]] std::string_view oauth_scope(OAuthProvider provider);
[[nodiscard]] std::string_view client_id_variable(OAuthProvider provider);

// Whole-domain match, ASCII case-insensitive; subdomains do not match.
[[nodiscard]] std::optional<OAuthProvider> oauth_provider_for_domain(std::string_view domain);
// The domain after the first "@" (empty when there is none).
[[nodiscard]] std::string_view email_domain(std::string_view email);

// The provider's variable from the environment: missing or empty gives none;
// otherwise the value as set, untrimmed.
[[nodiscard]] std::optional<std::string> client_id_for(OAuthProvider provider);

[[nodiscard]] std::string authorization_url(OAuthProvider provider, std::string_view client_id,
                                            std::string_view redirect_uri,
                                            std::string_view challenge, std::string_view state,
                                            std::string_view login_hint);
[[nodiscard]] std::string authorization_url(OAuthProvider provider, std::string_view client_id,
                                            std::string_view redirect_uri,
                                            std::string_view challenge, std::string_view state,
                                            std::string_view login_hint,
                                            const OAuthEndpoints& endpoints);

}  // namespace mail
