// Verification steps that need no server: the credential, cancellation before
// the start, validation, and the checks that stop before connecting.
#include "verify/verify.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "accounts/secret_vault.h"

namespace fs = std::filesystem;
using namespace mail;

namespace {

AccountSettings settings() {
  AccountSettings s;
  s.email = "ann@example.org";
  s.imap_host = "127.0.0.1";
  s.smtp_host = "127.0.0.1";
  s.username = "ann";
  s.password = "pw";
  // Ports where nothing listens: a connection attempt would read as refused.
  s.imap_port = 1;
  s.smtp_port = 1;
  return s;
}

std::string text(const VerifyOutcome& o) {
  if (!o) return "<no result>";
  return *o ? "verified" : o->error();
}

struct Vault {
  fs::path dir = fs::temp_directory_path() / ("verify-unit-" + std::to_string(::getpid()));
  Vault() { fs::remove_all(dir); }
  ~Vault() { fs::remove_all(dir); }
  void put(const std::string& key, accounts::Secret s) {
    auto v = accounts::SecretVault::open_in(dir);
    v.put(key, std::move(s));
    ASSERT_TRUE(v.try_save());
  }
};

}  // namespace

TEST(VerificationCredential, PasswordAndStoredTokenCasesTable) {
  Vault vault;
  VerifyOptions options;
  options.vault_dir = vault.dir;

  AccountSettings pw = settings();
  auto c = verification_credential(pw, options);
  ASSERT_TRUE(c);
  EXPECT_EQ(*c, (Credential{Credential::Password{"ann", "pw"}}));
  pw.username = "   ";
  EXPECT_EQ(verification_credential(pw, options)->login(), "ann@example.org");
  pw.password.clear();
  EXPECT_EQ(verification_credential(pw, options).error(), "enter a password to verify the account");

  AccountSettings oauth = settings();
  oauth.auth = AuthKind::OAuth;
  oauth.password.clear();
  EXPECT_EQ(verification_credential(oauth, options).error(),
            "sign in first — no OAuth token stored yet");
  vault.put("ann@example.org", {"a password", std::nullopt});
  EXPECT_EQ(verification_credential(oauth, options).error(),
            "stored credential is not an OAuth token");
  vault.put("ann@example.org", {"", std::string("{\"not\":\"tokens\"}")});
  EXPECT_EQ(verification_credential(oauth, options).error(),
            "stored credential is not an OAuth token");
  vault.put("ann@example.org", {"", oauth_tokens_to_json({"", "r", 10, 1})});
  EXPECT_EQ(verification_credential(oauth, options).error(),
            "stored OAuth token is empty; sign in again");
  // An expired token is used as stored, never refreshed here.
  vault.put("ann@example.org", {"", oauth_tokens_to_json({"old-token", "r", 10, 1})});
  auto t = verification_credential(oauth, options);
  ASSERT_TRUE(t);
  EXPECT_EQ(*t, (Credential{Credential::OAuth{"ann", "old-token"}}));
}

TEST(VerifyAccount, StopsBeforeAnyConnectionWithTheRightText) {
  std::atomic<bool> cancel{false};
  AccountSettings no_at = settings();
  no_at.email = "ann.example.org";
  EXPECT_EQ(text(verify_account(no_at, cancel)), "Enter a valid email address");

  AccountSettings no_pw = settings();
  no_pw.password.clear();
  EXPECT_EQ(text(verify_account(no_pw, cancel)),
            "IMAP login failed: enter a password to verify the account");

  std::atomic<bool> cancelled{true};
  EXPECT_EQ(text(verify_account(settings(), cancelled)), "Account verification cancelled");
}

TEST(VerifyChecks, EmptyHostsAndRefusedConnectionsCarryTheirTexts) {
  std::atomic<bool> cancel{false};
  AccountSettings s = settings();
  s.imap_host = "  ";
  EXPECT_EQ(text(verify_imap(s, cancel)), "no IMAP host");
  s.smtp_host = "";
  EXPECT_EQ(text(verify_smtp(s, cancel)), "no SMTP host");
  EXPECT_EQ(text(verify_account(settings(), cancel)),
            "IMAP login failed: connection refused — check the host and port");
  EXPECT_EQ(text(verify_smtp(settings(), cancel)), "connection refused — check the host and port");
  AccountSettings bad = settings();
  bad.smtp_host = "bad host name";
  // Not usable as a TLS server name ("invalid DNS name").
  EXPECT_EQ(text(verify_smtp(bad, cancel)), "host not found — check the server address");
}
