#include "state/account_settings.h"

#include <openssl/rand.h>

#include <chrono>
#include <cstdio>
#include <limits>

#include "text_codec/json_read.h"

namespace mail {
using nlohmann::json;
using nlohmann::ordered_json;

std::string_view auth_kind_name(AuthKind kind) {
  return kind == AuthKind::OAuth ? "OAuth" : "Password";
}

std::expected<AuthKind, std::string> parse_auth_kind(std::string_view text) {
  if (text == "Password") return AuthKind::Password;
  if (text == "OAuth") return AuthKind::OAuth;
  return std::unexpected("unknown variant `" + std::string(text) +
                         "`, expected `Password` or `OAuth`");
}

std::string account_label(const MailAccount& account) {
  if (!account.settings.display_name.empty()) return account.settings.display_name;
  if (!account.settings.email.empty()) return account.settings.email;
  return "New account";
}

namespace {
std::string random_uuid_v4() {
  unsigned char b[16];
  if (RAND_bytes(b, sizeof b) != 1) {
    // Fall back on the clock and address entropy rather than fail: the id
    // only has to be unique among this user's accounts.
    const auto t = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    for (int i = 0; i < 16; ++i) b[i] = static_cast<unsigned char>((t >> ((i % 8) * 8)) ^ (i * 37));
  }
  b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80);
  char out[37];
  std::snprintf(out, sizeof out,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return out;
}

bool is_blank(std::string_view s) {
  for (char c : s) {
    if (!(c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')) return false;
  }
  return true;
}
}  // namespace

MailAccount new_account(AccountSettings settings) {
  MailAccount account;
  account.id = settings.email.empty() ? "account-" + random_uuid_v4() : settings.email;
  account.settings = std::move(settings);
  return account;
}

ordered_json settings_document(const AccountSettings& s, bool collapsed) {
  ordered_json j = ordered_json::object();
  j["display_name"] = s.display_name;
  j["email"] = s.email;
  j["imap_host"] = s.imap_host;
  j["imap_port"] = s.imap_port;
  j["imap_tls"] = s.imap_tls;
  j["smtp_host"] = s.smtp_host;
  j["smtp_port"] = s.smtp_port;
  j["smtp_tls"] = s.smtp_tls;
  j["username"] = s.username;
  j["auth"] = std::string(auth_kind_name(s.auth));
  j["collapsed"] = collapsed;
  return j;
}

std::expected<StoredSettings, std::string> read_settings_document(const json& doc) {
  if (!doc.is_object())
    return std::unexpected(text_codec::json_read::invalid_type(doc, "struct AccountSettings"));
  StoredSettings out;
  AccountSettings& s = out.settings;
  auto text = [&](std::string_view key, std::string& field) -> std::expected<void, std::string> {
    auto v = text_codec::json_read::get_string(doc, key);
    if (!v) return std::unexpected(v.error());
    field = std::move(*v);
    return {};
  };
  auto port = [&](std::string_view key, std::uint16_t& field) -> std::expected<void, std::string> {
    auto v = text_codec::json_read::get_u16(doc, key);
    if (!v) return std::unexpected(v.error());
    field = *v;
    return {};
  };
  auto flag = [&](std::string_view key, bool& field) -> std::expected<void, std::string> {
    auto v = text_codec::json_read::get_bool(doc, key);
    if (!v) return std::unexpected(v.error());
    field = *v;
    return {};
  };
  std::expected<void, std::string> r;
  if (!(r = text("display_name", s.display_name))) return std::unexpected(r.error());
  if (!(r = text("email", s.email))) return std::unexpected(r.error());
  if (!(r = text("imap_host", s.imap_host))) return std::unexpected(r.error());
  if (!(r = port("imap_port", s.imap_port))) return std::unexpected(r.error());
  if (!(r = flag("imap_tls", s.imap_tls))) return std::unexpected(r.error());
  if (!(r = text("smtp_host", s.smtp_host))) return std::unexpected(r.error());
  if (!(r = port("smtp_port", s.smtp_port))) return std::unexpected(r.error());
  if (!(r = flag("smtp_tls", s.smtp_tls))) return std::unexpected(r.error());
  if (!(r = text("username", s.username))) return std::unexpected(r.error());
  s.password.clear();
  if (doc.contains("auth")) {
    auto name = text_codec::json_read::get_string(doc, "auth");
    if (!name) return std::unexpected(name.error());
    auto kind = parse_auth_kind(*name);
    if (!kind) return std::unexpected(kind.error());
    s.auth = *kind;
  } else {
    s.auth = AuthKind::Password;
  }
  if (doc.contains("collapsed")) {
    if (!(r = flag("collapsed", out.collapsed))) return std::unexpected(r.error());
  }
  return out;
}

std::expected<StoredSettings, std::string> read_settings_document_text(std::string_view text) {
  auto doc = text_codec::json_read::parse_strict(text);
  if (!doc) return std::unexpected(doc.error());
  return read_settings_document(*doc);
}

std::string oauth_tokens_to_json(const OAuthTokens& t) {
  ordered_json j = ordered_json::object();
  j["access_token"] = t.access_token;
  j["refresh_token"] = t.refresh_token;
  j["expires_in"] = t.expires_in;
  j["obtained_at"] = t.obtained_at;
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::expected<OAuthTokens, std::string> oauth_tokens_from_json(std::string_view text) {
  auto doc = text_codec::json_read::parse_strict(text);
  if (!doc) return std::unexpected(doc.error());
  if (!doc->is_object())
    return std::unexpected(text_codec::json_read::invalid_type(*doc, "struct OAuthTokens"));
  OAuthTokens t;
  auto access = text_codec::json_read::get_string(*doc, "access_token");
  if (!access) return std::unexpected(access.error());
  auto refresh = text_codec::json_read::get_string(*doc, "refresh_token");
  if (!refresh) return std::unexpected(refresh.error());
  auto expires = text_codec::json_read::get_u64(*doc, "expires_in");
  if (!expires) return std::unexpected(expires.error());
  auto obtained = text_codec::json_read::get_u64(*doc, "obtained_at");
  if (!obtained) return std::unexpected(obtained.error());
  t.access_token = std::move(*access);
  t.refresh_token = std::move(*refresh);
  t.expires_in = *expires;
  t.obtained_at = *obtained;
  return t;
}

namespace {
std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  const auto max = std::numeric_limits<std::uint64_t>::max();
  return a > max - b ? max : a + b;
}
}  // namespace

bool tokens_due(const OAuthTokens& tokens, std::uint64_t now) {
  if (tokens.expires_in == 0) return true;
  const std::uint64_t expiry = saturating_add(tokens.obtained_at, tokens.expires_in);
  // NB: an expiry beyond the 64-bit range is held at the largest value, so
  // such tokens are never due for any real clock reading.
  return saturating_add(now, 60) >= expiry;
}

bool tokens_due(const OAuthTokens& tokens) {
  const auto secs = std::chrono::duration_cast<std::chrono::seconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
  return tokens_due(tokens, secs < 0 ? 0 : static_cast<std::uint64_t>(secs));
}

const std::string& Credential::login() const {
  return std::visit([](const auto& c) -> const std::string& { return c.login; }, value);
}

std::string login_name(const AccountSettings& settings) {
  return is_blank(settings.username) ? settings.email : settings.username;
}

}  // namespace mail
