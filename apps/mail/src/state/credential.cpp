#include "state/credential.h"

#include <mutex>

#include "accounts/secret_vault.h"

namespace mail {

namespace {
std::mutex refresher_mutex;
TokenRefresher registered_refresher;

TokenRefresher current_refresher() {
  std::lock_guard lock(refresher_mutex);
  return registered_refresher;
}
}  // namespace

void set_token_refresher(TokenRefresher refresher) {
  std::lock_guard lock(refresher_mutex);
  registered_refresher = std::move(refresher);
}

std::expected<Credential, std::string> resolve_credential(const AccountSettings& settings) {
  return resolve_credential(settings, CredentialOptions{});
}

std::expected<Credential, std::string> resolve_credential(const AccountSettings& settings,
                                                          const std::filesystem::path& vault_dir) {
  return resolve_credential(settings, CredentialOptions{vault_dir, {}, std::nullopt});
}

std::expected<Credential, std::string> resolve_credential(const AccountSettings& settings,
                                                          const CredentialOptions& options) {
  std::string login = login_name(settings);
  if (settings.auth == AuthKind::Password) {
    if (settings.password.empty()) return std::unexpected("no password set for this account");
    return Credential{Credential::Password{std::move(login), settings.password}};
  }

  // A vault instance of our own for this one resolution.
  auto vault = options.vault_dir ? accounts::SecretVault::open_in(*options.vault_dir)
                                 : accounts::SecretVault::open();
  auto secret = vault.get(settings.email);
  if (!secret) return std::unexpected("not signed in (no OAuth token in vault)");
  if (!secret->token) return std::unexpected("stored credential is not an OAuth token");
  auto tokens = oauth_tokens_from_json(*secret->token);
  if (!tokens) return std::unexpected("stored credential is not an OAuth token");

  const bool due = options.now ? tokens_due(*tokens, *options.now) : tokens_due(*tokens);
  if (!due) return Credential{Credential::OAuth{std::move(login), tokens->access_token}};

  TokenRefresher refresh = options.refresher ? options.refresher : current_refresher();
  // Without a refresher no provider can be picked for the domain.
  if (!refresh) return std::unexpected("cannot refresh: unknown OAuth provider");
  auto fresh = refresh(settings, *tokens);
  if (!fresh) return std::unexpected(fresh.error());

  vault.put(settings.email, accounts::Secret{"", oauth_tokens_to_json(*fresh)});
  std::expected<void, std::string> saved;
  try {
    saved = vault.try_save();
  } catch (const std::exception&) {
    saved = std::unexpected(std::string("the secret vault could not be written"));
  }
  if (!saved) {
    return std::unexpected("could not save refreshed sign-in credentials: " + saved.error());
  }
  return Credential{Credential::OAuth{std::move(login), fresh->access_token}};
}

}  // namespace mail
