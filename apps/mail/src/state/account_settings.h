#pragma once
// One mail account's settings, the account entry the shell holds, the OAuth
// token set kept in the secret vault, and the credential a server connection
// signs in with. Also the settings document stored in the account store.

#include <cstdint>
#include <expected>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <variant>

namespace mail {

// How an account signs in. Stored as the texts "Password" and "OAuth".
enum class AuthKind { Password, OAuth };

[[nodiscard]] std::string_view auth_kind_name(AuthKind kind);
// Case-sensitive; any other text is an error naming the two allowed values.
[[nodiscard]] std::expected<AuthKind, std::string> parse_auth_kind(std::string_view text);

struct AccountSettings {
  std::string display_name;
  std::string email;
  std::string imap_host;
  std::uint16_t imap_port = 993;
  bool imap_tls = true;
  std::string smtp_host;
  std::uint16_t smtp_port = 465;
  bool smtp_tls = true;
  std::string username;
  std::string password;  // in memory only; never part of the settings document
  AuthKind auth = AuthKind::Password;

  bool operator==(const AccountSettings&) const = default;
};

struct MailAccount {
  std::string id;  // store record id; key of a password account's vault secret
  AccountSettings settings;
  bool collapsed = false;  // folder list collapsed in the sidebar
  bool avatar = false;     // the store record's second flag, carried through
  bool operator==(const MailAccount&) const = default;
};

// Shown for an account: display name, else email, else "New account".
[[nodiscard]] std::string account_label(const MailAccount& account);

// A fresh entry: id = email as entered, or "account-<uuid v4>" when empty.
[[nodiscard]] MailAccount new_account(AccountSettings settings);

// ---- settings document -------------------------------------------------

// What a settings document holds: the settings (password empty) and the
// sidebar's collapsed flag.
struct StoredSettings {
  AccountSettings settings;
  bool collapsed = false;
  bool operator==(const StoredSettings&) const = default;
};

// The ten stored keys plus "collapsed". Never contains the password.
[[nodiscard]] nlohmann::ordered_json settings_document(const AccountSettings& settings,
                                                       bool collapsed);

// Reads an already parsed document. Missing "auth" reads as Password, missing
// "collapsed" as false, other keys are ignored; a missing required key or a
// value of the wrong type is an error.
[[nodiscard]] std::expected<StoredSettings, std::string> read_settings_document(
    const nlohmann::json& doc);

// Reads a document from its text; a repeated key is an error as well.
[[nodiscard]] std::expected<StoredSettings, std::string> read_settings_document_text(
    std::string_view text);

// ---- OAuth tokens ---------------------------------------------------------

struct OAuthTokens {
  std::string access_token;
  std::string refresh_token;      // may be empty
  std::uint64_t expires_in = 0;   // seconds; 0 when the token endpoint gave none
  std::uint64_t obtained_at = 0;  // Unix seconds
  bool operator==(const OAuthTokens&) const = default;
};

// Compact JSON, keys in the order access_token, refresh_token, expires_in, obtained_at.
[[nodiscard]] std::string oauth_tokens_to_json(const OAuthTokens& tokens);
[[nodiscard]] std::expected<OAuthTokens, std::string> oauth_tokens_from_json(std::string_view text);

// Due for refresh: no lifetime known, or less than a minute of it left.
// obtained_at + expires_in saturates at the largest 64-bit value.
[[nodiscard]] bool tokens_due(const OAuthTokens& tokens, std::uint64_t now_unix_seconds);
[[nodiscard]] bool tokens_due(const OAuthTokens& tokens);  // against the system clock

// ---- credential -------------------------------------------------------------

struct Credential {
  struct Password {
    std::string login;
    std::string password;
    bool operator==(const Password&) const = default;
  };
  struct OAuth {
    std::string login;
    std::string access_token;
    bool operator==(const OAuth&) const = default;
  };
  std::variant<Password, OAuth> value;

  [[nodiscard]] const std::string& login() const;
  bool operator==(const Credential&) const = default;
};

// The login name: the username when its trimmed form is not empty, else the
// email (untrimmed in both cases).
[[nodiscard]] std::string login_name(const AccountSettings& settings);

}  // namespace mail
