#pragma once
// The browser sign-in (authorization-code grant with PKCE over a loopback
// redirect), the engine's sign-in request around it, and the token refresh
// that credential resolution calls when an access token is due.

#include <chrono>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "oauth/provider.h"
#include "oauth/token.h"
#include "state/account_settings.h"
#include "state/credential.h"

namespace mail {

// Opens a URL in the user's browser; an error carries a text.
using BrowserOpener = std::function<std::expected<void, std::string>(const std::string& url)>;

// The desktop's URL opener ("xdg-open"), started detached.
[[nodiscard]] std::expected<void, std::string> open_in_system_browser(const std::string& url);

// Where a sign-in sends the user and its token request. Default: the
// provider's real endpoints and the system browser.
struct SignInEndpoints {
  std::optional<std::string> authorization;  // none: the provider's
  std::optional<TokenEndpoint> token;        // none: the provider's
  BrowserOpener open_browser;                // empty: open_in_system_browser
};

[[nodiscard]] std::expected<OAuthTokens, std::string> browser_sign_in(
    OAuthProvider provider, std::string_view client_id, std::string_view login_hint,
    std::chrono::milliseconds time_limit);
[[nodiscard]] std::expected<OAuthTokens, std::string> browser_sign_in(
    OAuthProvider provider, std::string_view client_id, std::string_view login_hint,
    std::chrono::milliseconds time_limit, const SignInEndpoints& endpoints);

inline constexpr std::chrono::seconds sign_in_time_limit{300};

// The engine's sign-in request: client id from the environment ("set {} to
// sign in"), the browser sign-in, then the tokens stored in the vault under
// the email and the vault saved. `vault_dir` none: the configuration root.
[[nodiscard]] std::expected<void, std::string> sign_in_and_store(
    OAuthProvider provider, const std::string& email, const std::string& login_hint,
    const SignInEndpoints& endpoints = {},
    std::optional<std::filesystem::path> vault_dir = std::nullopt,
    std::chrono::milliseconds time_limit = sign_in_time_limit);

// New tokens for an account whose access token is due: provider from the
// email's domain, client id from the environment, refresh token required.
// Storing them is the caller's.
[[nodiscard]] std::expected<OAuthTokens, std::string> refresh_account_tokens(
    const AccountSettings& settings, const OAuthTokens& current,
    const std::optional<TokenEndpoint>& endpoint = std::nullopt);

// A refresher for resolve_credential (register with set_token_refresher).
[[nodiscard]] TokenRefresher token_refresher(std::optional<TokenEndpoint> endpoint = std::nullopt);

}  // namespace mail
