#pragma once
// Turning stored settings and secrets into what a server connection signs in
// with. Runs on the engine's worker thread before every IMAP or SMTP connection.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "state/account_settings.h"

namespace mail {

// Obtains fresh tokens for an account whose access token is due. It picks the
// provider from the email's domain, reads the client id, refuses an empty
// refresh token and talks to the token endpoint, returning the error text of
// the step that failed. Registered once at start-up by the OAuth module.
using TokenRefresher = std::function<std::expected<OAuthTokens, std::string>(
    const AccountSettings& settings, const OAuthTokens& current)>;

// Process-wide refresher used by resolve_credential. Without one, a due
// token fails with "cannot refresh: unknown OAuth provider".
void set_token_refresher(TokenRefresher refresher);

struct CredentialOptions {
  std::optional<std::filesystem::path> vault_dir;  // none: the configuration root
  TokenRefresher refresher;                        // empty: the registered one
  std::optional<std::uint64_t> now;                // Unix seconds; none: the system clock
};

// Password accounts: the stored password, "no password set for this account"
// when empty. OAuth accounts: the vault's tokens under the email, refreshed
// and saved back when due.
[[nodiscard]] std::expected<Credential, std::string> resolve_credential(
    const AccountSettings& settings);
[[nodiscard]] std::expected<Credential, std::string> resolve_credential(
    const AccountSettings& settings, const std::filesystem::path& vault_dir);
[[nodiscard]] std::expected<Credential, std::string> resolve_credential(
    const AccountSettings& settings, const CredentialOptions& options);

}  // namespace mail
