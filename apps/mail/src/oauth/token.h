#pragma once
// The token endpoint: exchanging an authorization code, refreshing tokens and
// reading the endpoint's answer. Public client: no secret is ever sent.

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "oauth/http.h"
#include "oauth/provider.h"
#include "state/account_settings.h"

namespace mail {

// Where token requests go and how long each may take. The program uses the
// provider's endpoint; tests pass a loopback server and its CA.
struct TokenEndpoint {
  std::string url;
  http::Routing routing;
  std::chrono::milliseconds timeout{20'000};
  static TokenEndpoint for_provider(OAuthProvider provider);
};

// The body of a rejected token answer as error texts show it: whole, except
// that the values of "access_token", "refresh_token" and "id_token" read
// "[redacted]", so a half-usable answer never puts a token on a status line.
[[nodiscard]] std::string redact_token_body(const std::string& body);

// None unless the body is JSON with a non-empty string "access_token".
// "obtained_at" is now. The HTTP status plays no part.
[[nodiscard]] std::optional<OAuthTokens> parse_token_response(std::string_view body);
[[nodiscard]] std::optional<OAuthTokens> parse_token_response(std::string_view body,
                                                              std::uint64_t now);

[[nodiscard]] std::expected<OAuthTokens, std::string> exchange_code(OAuthProvider provider,
                                                                    std::string_view client_id,
                                                                    std::string_view redirect_uri,
                                                                    std::string_view code,
                                                                    std::string_view verifier);
[[nodiscard]] std::expected<OAuthTokens, std::string> exchange_code(std::string_view client_id,
                                                                    std::string_view redirect_uri,
                                                                    std::string_view code,
                                                                    std::string_view verifier,
                                                                    const TokenEndpoint& endpoint);

// A refresh answer without a refresh token keeps the one that was sent.
[[nodiscard]] std::expected<OAuthTokens, std::string> refresh_tokens(
    OAuthProvider provider, std::string_view client_id, std::string_view refresh_token);
[[nodiscard]] std::expected<OAuthTokens, std::string> refresh_tokens(std::string_view client_id,
                                                                     std::string_view refresh_token,
                                                                     const TokenEndpoint& endpoint);

[[nodiscard]] std::uint64_t unix_now();

}  // namespace mail
