#include "oauth/token.h"

#include <chrono>
#include <nlohmann/json.hpp>

#include "oauth/form.h"

namespace mail {
namespace {

std::expected<std::string, std::string> post(const TokenEndpoint& endpoint,
                                             const FormPairs& pairs) {
  http::Options options;
  options.timeout = endpoint.timeout;
  options.routing = endpoint.routing;
  options.headers = {"Accept: application/json"};
  auto response = http::post_form(endpoint.url, form_body(pairs), options);
  if (!response) return std::unexpected(response.error());
  return std::move(response->body);
}

}  // namespace

std::string redact_token_body(const std::string& body) {
  auto doc = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_object()) return body;
  bool redacted = false;
  for (const char* key : {"access_token", "refresh_token", "id_token"}) {
    auto it = doc.find(key);
    if (it != doc.end() && it->is_string() && !it->get_ref<const std::string&>().empty()) {
      *it = "[redacted]";
      redacted = true;
    }
  }
  if (!redacted) return body;
  return doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::uint64_t unix_now() {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since).count();
  return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

TokenEndpoint TokenEndpoint::for_provider(OAuthProvider provider) {
  TokenEndpoint endpoint;
  endpoint.url = OAuthEndpoints::for_provider(provider).token;
  return endpoint;
}

std::optional<OAuthTokens> parse_token_response(std::string_view body) {
  return parse_token_response(body, unix_now());
}

std::optional<OAuthTokens> parse_token_response(std::string_view body, std::uint64_t now) {
  const auto json = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) return std::nullopt;
  const auto access = json.find("access_token");
  if (access == json.end() || !access->is_string() ||
      access->get_ref<const std::string&>().empty()) {
    return std::nullopt;
  }
  OAuthTokens tokens;
  tokens.access_token = access->get<std::string>();
  if (const auto refresh = json.find("refresh_token");
      refresh != json.end() && refresh->is_string()) {
    tokens.refresh_token = refresh->get<std::string>();
  }
  if (const auto expires = json.find("expires_in");
      expires != json.end() && expires->is_number_unsigned()) {
    tokens.expires_in = expires->get<std::uint64_t>();
  }
  tokens.obtained_at = now;
  return tokens;
}

std::expected<OAuthTokens, std::string> exchange_code(OAuthProvider provider,
                                                      std::string_view client_id,
                                                      std::string_view redirect_uri,
                                                      std::string_view code,
                                                      std::string_view verifier) {
  return exchange_code(client_id, redirect_uri, code, verifier,
                       TokenEndpoint::for_provider(provider));
}

std::expected<OAuthTokens, std::string> exchange_code(std::string_view client_id,
                                                      std::string_view redirect_uri,
                                                      std::string_view code,
                                                      std::string_view verifier,
                                                      const TokenEndpoint& endpoint) {
  auto body = post(endpoint, {{"grant_type", "authorization_code"},
                              {"client_id", std::string(client_id)},
                              {"redirect_uri", std::string(redirect_uri)},
                              {"code", std::string(code)},
                              {"code_verifier", std::string(verifier)}});
  if (!body) return std::unexpected(body.error());
  auto tokens = parse_token_response(*body);
  if (!tokens) return std::unexpected("token endpoint rejected exchange: " + redact_token_body(*body));
  return *tokens;
}

std::expected<OAuthTokens, std::string> refresh_tokens(OAuthProvider provider,
                                                       std::string_view client_id,
                                                       std::string_view refresh_token) {
  return refresh_tokens(client_id, refresh_token, TokenEndpoint::for_provider(provider));
}

std::expected<OAuthTokens, std::string> refresh_tokens(std::string_view client_id,
                                                       std::string_view refresh_token,
                                                       const TokenEndpoint& endpoint) {
  auto body = post(endpoint, {{"grant_type", "refresh_token"},
                              {"client_id", std::string(client_id)},
                              {"refresh_token", std::string(refresh_token)}});
  if (!body) return std::unexpected(body.error());
  auto tokens = parse_token_response(*body);
  if (!tokens) return std::unexpected("token refresh rejected: " + redact_token_body(*body));
  if (tokens->refresh_token.empty()) tokens->refresh_token = std::string(refresh_token);
  return *tokens;
}

}  // namespace mail
