#include "oauth/sign_in.h"

#include <thread>

#include "accounts/secret_vault.h"
#include "oauth/pkce.h"
#include "oauth/redirect.h"
#include "zarn_ui/link.h"

namespace mail {

std::expected<void, std::string> open_in_system_browser(const std::string& url) {
  return zarn_ui::link::try_os_open(url);
}

std::expected<OAuthTokens, std::string> browser_sign_in(OAuthProvider provider,
                                                        std::string_view client_id,
                                                        std::string_view login_hint,
                                                        std::chrono::milliseconds time_limit) {
  return browser_sign_in(provider, client_id, login_hint, time_limit, SignInEndpoints{});
}

std::expected<OAuthTokens, std::string> browser_sign_in(OAuthProvider provider,
                                                        std::string_view client_id,
                                                        std::string_view login_hint,
                                                        std::chrono::milliseconds time_limit,
                                                        const SignInEndpoints& endpoints) {
  auto listener = LoopbackListener::open();
  if (!listener) return std::unexpected(listener.error());
  const std::string redirect_uri = redirect_uri_for(listener->port());
  const PkcePair pkce = pkce_pair();
  const std::string state = oauth_state();

  OAuthEndpoints auth = OAuthEndpoints::for_provider(provider);
  if (endpoints.authorization) auth.authorization = *endpoints.authorization;
  const std::string url =
      authorization_url(provider, client_id, redirect_uri, pkce.challenge, state, login_hint, auth);
  // The listener is already open: a redirect that comes back at once waits in
  // its backlog.
  auto opened = endpoints.open_browser ? endpoints.open_browser(url) : open_in_system_browser(url);
  if (!opened) return std::unexpected("could not open sign-in browser: " + opened.error());

  auto code = wait_for_redirect(*listener, state, time_limit);
  if (!code) return std::unexpected(code.error());
  const TokenEndpoint token =
      endpoints.token ? *endpoints.token : TokenEndpoint::for_provider(provider);
  auto tokens = exchange_code(client_id, redirect_uri, *code, pkce.verifier, token);
  if (!tokens) return std::unexpected(tokens.error());
  tokens->obtained_at = unix_now();
  return tokens;
}

std::expected<void, std::string> sign_in_and_store(OAuthProvider provider, const std::string& email,
                                                   const std::string& login_hint,
                                                   const SignInEndpoints& endpoints,
                                                   std::optional<std::filesystem::path> vault_dir,
                                                   std::chrono::milliseconds time_limit) {
  const auto client_id = client_id_for(provider);
  if (!client_id)
    return std::unexpected("set " + std::string(client_id_variable(provider)) + " to sign in");
  auto tokens = browser_sign_in(provider, *client_id, login_hint, time_limit, endpoints);
  if (!tokens) return std::unexpected(tokens.error());
  auto vault =
      vault_dir ? accounts::SecretVault::open_in(*vault_dir) : accounts::SecretVault::open();
  vault.put(email, accounts::Secret{"", oauth_tokens_to_json(*tokens)});
  if (auto saved = vault.try_save(); !saved) {
    return std::unexpected("could not save sign-in credentials: " + saved.error());
  }
  return {};
}

std::expected<OAuthTokens, std::string> refresh_account_tokens(
    const AccountSettings& settings, const OAuthTokens& current,
    const std::optional<TokenEndpoint>& endpoint) {
  const auto provider = oauth_provider_for_domain(email_domain(settings.email));
  if (!provider) return std::unexpected(std::string("cannot refresh: unknown OAuth provider"));
  const auto client_id = client_id_for(*provider);
  if (!client_id) {
    return std::unexpected("set " + std::string(client_id_variable(*provider)) +
                           " to refresh the token");
  }
  if (current.refresh_token.empty()) {
    return std::unexpected(std::string("access token expired and no refresh token; sign in again"));
  }
  return refresh_tokens(*client_id, current.refresh_token,
                        endpoint ? *endpoint : TokenEndpoint::for_provider(*provider));
}

TokenRefresher token_refresher(std::optional<TokenEndpoint> endpoint) {
  return [endpoint = std::move(endpoint)](const AccountSettings& settings,
                                          const OAuthTokens& current) {
    return refresh_account_tokens(settings, current, endpoint);
  };
}

}  // namespace mail
