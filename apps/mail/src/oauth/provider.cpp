#include "oauth/provider.h"

#include <array>
#include <cstdlib>

#include "oauth/form.h"
#include "text_codec/ascii.h"

namespace mail {
namespace {

using text_codec::to_lower;

constexpr std::array<std::string_view, 2> google_domains{"gmail.com", "googlemail.com"};
constexpr std::array<std::string_view, 5> microsoft_domains{"outlook.com", "hotmail.com",
                                                            "live.com", "office365.com", "msn.com"};

}  // namespace

std::string_view oauth_provider_name(OAuthProvider provider) {
  return provider == OAuthProvider::Google ? "Google" : "Microsoft";
}

std::optional<OAuthProvider> oauth_provider_from_byte(std::uint8_t value) {
  if (value == 0) return OAuthProvider::Google;
  if (value == 1) return OAuthProvider::Microsoft;
  return std::nullopt;
}

OAuthEndpoints OAuthEndpoints::for_provider(OAuthProvider provider) {
  if (provider == OAuthProvider::Google) {
    return {"https://accounts.google.com/o/oauth2/v2/auth", "https://oauth2.googleapis.com/token"};
  }
  return {"https://login.microsoftonline.com/common/oauth2/v2.0/authorize",
          "https://login.microsoftonline.com/common/oauth2/v2.0/token"};
}

std::string_view oauth_scope(OAuthProvider provider) {
  if (provider == OAuthProvider::Google) return "https://mail.google.com/";
  return "offline_access https://outlook.office.com/IMAP.AccessAsUser.All "
         "https://outlook.office.com/SMTP.Send";
}

std::string_view client_id_variable(OAuthProvider provider) {
  return provider == OAuthProvider::Google ? "ZARN_MAIL_GOOGLE_CLIENT_ID"
                                           : "ZARN_MAIL_MICROSOFT_CLIENT_ID";
}

std::optional<OAuthProvider> oauth_provider_for_domain(std::string_view domain) {
  const std::string d = to_lower(domain);
  for (auto g : google_domains) {
    if (d == g) return OAuthProvider::Google;
  }
  for (auto m : microsoft_domains) {
    if (d == m) return OAuthProvider::Microsoft;
  }
  return std::nullopt;
}

std::string_view email_domain(std::string_view email) {
  const auto at = email.find('@');
  return at == std::string_view::npos ? std::string_view{} : email.substr(at + 1);
}

std::optional<std::string> client_id_for(OAuthProvider provider) {
  const std::string name(client_id_variable(provider));
  const char* value = std::getenv(name.c_str());
  if (value == nullptr || *value == '\0') return std::nullopt;
  std::string id(value);
  if (utf8_lossy(id) != id) return std::nullopt;  // not valid Unicode
  return id;
}

std::string authorization_url(OAuthProvider provider, std::string_view client_id,
                              std::string_view redirect_uri, std::string_view challenge,
                              std::string_view state, std::string_view login_hint) {
  return authorization_url(provider, client_id, redirect_uri, challenge, state, login_hint,
                           OAuthEndpoints::for_provider(provider));
}

std::string authorization_url(OAuthProvider provider, std::string_view client_id,
                              std::string_view redirect_uri, std::string_view challenge,
                              std::string_view state, std::string_view login_hint,
                              const OAuthEndpoints& endpoints) {
  FormPairs pairs{
      {"client_id", std::string(client_id)},
      {"response_type", "code"},
      {"redirect_uri", std::string(redirect_uri)},
      {"scope", std::string(oauth_scope(provider))},
      {"code_challenge", std::string(challenge)},
      {"code_challenge_method", "S256"},
      {"state", std::string(state)},
  };
  if (provider == OAuthProvider::Google) {
    pairs.emplace_back("access_type", "offline");
    pairs.emplace_back("prompt", "consent");
  }
  if (!login_hint.empty()) pairs.emplace_back("login_hint", std::string(login_hint));
  return endpoints.authorization + "?" + form_body(pairs);
}

}  // namespace mail
