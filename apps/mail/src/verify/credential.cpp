#include "accounts/secret_vault.h"
#include "verify/verify.h"

namespace mail {

std::expected<Credential, std::string> verification_credential(const AccountSettings& settings,
                                                               const VerifyOptions& options) {
  const std::string login = login_name(settings);
  if (settings.auth == AuthKind::Password) {
    if (settings.password.empty())
      return std::unexpected(std::string("enter a password to verify the account"));
    return Credential{Credential::Password{login, settings.password}};
  }
  const auto vault = options.vault_dir ? accounts::SecretVault::open_in(*options.vault_dir)
                                       : accounts::SecretVault::open();
  const auto secret = vault.get(settings.email);
  if (!secret) return std::unexpected(std::string("sign in first — no OAuth token stored yet"));
  if (!secret->token)
    return std::unexpected(std::string("stored credential is not an OAuth token"));
  auto tokens = oauth_tokens_from_json(*secret->token);
  if (!tokens) return std::unexpected(std::string("stored credential is not an OAuth token"));
  // NB: used as stored; an expired token fails at the server.
  if (tokens->access_token.empty())
    return std::unexpected(std::string("stored OAuth token is empty; sign in again"));
  return Credential{Credential::OAuth{login, tokens->access_token}};
}

}  // namespace mail
