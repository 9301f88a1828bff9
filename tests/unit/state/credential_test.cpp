#include "state/credential.h"

#include <gtest/gtest.h>

#include <fstream>

#include "accounts/secret_vault.h"
#include "temp_dir.h"

using namespace mail;
using mail_test::TempDir;

namespace {

AccountSettings oauth_settings() {
  AccountSettings s;
  s.email = "ada@example.org";
  s.username = "  ";
  s.auth = AuthKind::OAuth;
  return s;
}

void store_secret(const std::filesystem::path& dir, const std::string& key, accounts::Secret s) {
  auto vault = accounts::SecretVault::open_in(dir);
  vault.put(key, std::move(s));
  ASSERT_TRUE(vault.try_save());
}

constexpr std::uint64_t now = 1'800'000'000;

}  // namespace

TEST(ResolveCredential, PasswordAccounts) {
  AccountSettings s;
  s.email = "ada@example.org";
  s.username = " ada ";
  s.password = "pw";
  auto c = resolve_credential(s);
  ASSERT_TRUE(c);
  EXPECT_EQ(*c, (Credential{Credential::Password{" ada ", "pw"}}));
  EXPECT_EQ(c->login(), " ada ");

  s.username = "";
  EXPECT_EQ(resolve_credential(s)->login(), "ada@example.org");
  s.password = "";
  auto missing = resolve_credential(s);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), "no password set for this account");
}

TEST(ResolveCredential, OAuthVaultContentsThatGiveNoToken) {
  TempDir dir;
  const auto s = oauth_settings();
  CredentialOptions opt{dir.path(), {}, now};
  EXPECT_EQ(resolve_credential(s, opt).error(), "not signed in (no OAuth token in vault)");

  store_secret(dir.path(), s.email, {"a password", std::nullopt});
  EXPECT_EQ(resolve_credential(s, opt).error(), "stored credential is not an OAuth token");

  store_secret(dir.path(), s.email, {"", std::string("not json")});
  EXPECT_EQ(resolve_credential(s, opt).error(), "stored credential is not an OAuth token");
}

TEST(ResolveCredential, OAuthTokenNotDueIsUsedAsStored) {
  TempDir dir;
  const auto s = oauth_settings();
  store_secret(dir.path(), s.email,
               {"", oauth_tokens_to_json({"access-1", "refresh-1", 3600, now})});
  bool refreshed = false;
  CredentialOptions opt{
      dir.path(),
      [&](const AccountSettings&, const OAuthTokens&) -> std::expected<OAuthTokens, std::string> {
        refreshed = true;
        return std::unexpected("not expected");
      },
      now + 100};
  auto c = resolve_credential(s, opt);
  ASSERT_TRUE(c) << c.error();
  EXPECT_EQ(*c, (Credential{Credential::OAuth{"ada@example.org", "access-1"}}));
  EXPECT_FALSE(refreshed);
}

TEST(ResolveCredential, DueTokenWithoutARefresherFailsWithTheProviderStep) {
  TempDir dir;
  const auto s = oauth_settings();
  store_secret(dir.path(), s.email, {"", oauth_tokens_to_json({"access-1", "refresh-1", 0, now})});
  auto c = resolve_credential(s, dir.path());
  ASSERT_FALSE(c);
  EXPECT_EQ(c.error(), "cannot refresh: unknown OAuth provider");
}

TEST(ResolveCredential, DueTokenIsRefreshedAndStored) {
  TempDir dir;
  const auto s = oauth_settings();
  const OAuthTokens old{"access-1", "refresh-1", 3600, now - 3590};  // 50 s left
  store_secret(dir.path(), s.email, {"", oauth_tokens_to_json(old)});
  OAuthTokens seen;
  CredentialOptions opt{dir.path(),
                        [&](const AccountSettings& settings,
                            const OAuthTokens& current) -> std::expected<OAuthTokens, std::string> {
                          EXPECT_EQ(settings.email, "ada@example.org");
                          seen = current;
                          return OAuthTokens{"access-2", "refresh-1", 3600, now};
                        },
                        now};
  auto c = resolve_credential(s, opt);
  ASSERT_TRUE(c) << c.error();
  EXPECT_EQ(*c, (Credential{Credential::OAuth{"ada@example.org", "access-2"}}));
  EXPECT_EQ(seen, old);
  auto stored = accounts::SecretVault::open_in(dir.path()).get(s.email);
  ASSERT_TRUE(stored && stored->token);
  EXPECT_EQ(stored->password, "");
  EXPECT_EQ(*oauth_tokens_from_json(*stored->token),
            (OAuthTokens{"access-2", "refresh-1", 3600, now}));
}

TEST(ResolveCredential, RefreshAndSaveFailuresAreReported) {
  TempDir dir;
  const auto s = oauth_settings();
  const OAuthTokens old{"access-1", "", 0, now};
  store_secret(dir.path(), s.email, {"", oauth_tokens_to_json(old)});
  CredentialOptions failing{
      dir.path(),
      [](const AccountSettings&, const OAuthTokens&) -> std::expected<OAuthTokens, std::string> {
        return std::unexpected("access token expired and no refresh token; sign in again");
      },
      now};
  EXPECT_EQ(resolve_credential(s, failing).error(),
            "access token expired and no refresh token; sign in again");

  // The registered refresher is used when the options carry none.
  set_token_refresher(
      [](const AccountSettings&, const OAuthTokens&) -> std::expected<OAuthTokens, std::string> {
        return OAuthTokens{"access-3", "r", 3600, now};
      });
  // The vault folder becomes unwritable after it was read.
  std::filesystem::remove_all(dir.path() / "secrets");
  std::filesystem::create_directories(dir.path() / "secrets");
  {
    auto vault = accounts::SecretVault::open_in(dir.path());
    vault.put(s.email, {"", oauth_tokens_to_json(old)});
    ASSERT_TRUE(vault.try_save());
  }
  std::filesystem::path lock = accounts::SecretVault::file_in(dir.path()).string() + ".lock";
  std::filesystem::remove(lock);
  std::filesystem::create_directories(lock);  // the lock file cannot be opened
  auto c = resolve_credential(s, CredentialOptions{dir.path(), {}, now});
  set_token_refresher({});
  ASSERT_FALSE(c);
  EXPECT_TRUE(c.error().starts_with("could not save refreshed sign-in credentials: ")) << c.error();
}
