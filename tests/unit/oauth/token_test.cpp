#include "oauth/token.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <limits>

#include "oauth/sign_in.h"
#include "state/credential.h"

namespace mail {
namespace {

constexpr std::uint64_t u64max = std::numeric_limits<std::uint64_t>::max();

TEST(ParseTokenResponse, NeedsANonEmptyStringAccessToken) {
  for (const char* body :
       {"", "not json", "[]", "{}", R"({"access_token":""})", R"({"access_token":42})",
        R"({"access_token":null,"refresh_token":"r"})"}) {
    EXPECT_FALSE(parse_token_response(body, 100)) << body;
  }
}

TEST(ParseTokenResponse, ReadsTokensAndLifetimeAndStampsNow) {
  const auto t = parse_token_response(
      R"({"access_token":"at","refresh_token":"rt","expires_in":3599,"token_type":"Bearer","scope":"x"})",
      1000);
  ASSERT_TRUE(t);
  EXPECT_EQ(*t, (OAuthTokens{"at", "rt", 3599, 1000}));
}

TEST(ParseTokenResponse, UnusableExpiresInAndRefreshTokenReadAsEmpty) {
  struct Case {
    const char* extra;
    std::uint64_t expires;
  };
  const Case cases[] = {{"", 0},
                        {R"(,"expires_in":-5)", 0},
                        {R"(,"expires_in":1.5)", 0},
                        {R"(,"expires_in":"3600")", 0},
                        {R"(,"expires_in":18446744073709551615)", u64max},
                        {R"(,"expires_in":18446744073709551616)", 0},
                        {R"(,"refresh_token":7,"expires_in":0)", 0}};
  for (const auto& c : cases) {
    const auto t = parse_token_response(std::string(R"({"access_token":"a")") + c.extra + "}", 5);
    ASSERT_TRUE(t) << c.extra;
    EXPECT_EQ(t->expires_in, c.expires) << c.extra;
    EXPECT_EQ(t->refresh_token, "") << c.extra;
  }
}

TEST(TokensDue, NoLifetimeIsAlwaysDue) {
  EXPECT_TRUE(tokens_due(OAuthTokens{"a", "r", 0, 1'000}, 1'000));
  EXPECT_TRUE(tokens_due(OAuthTokens{"a", "r", 0, u64max}, 0));
}

TEST(TokensDue, DueOnceLessThanAMinuteIsLeft) {
  const OAuthTokens t{"a", "r", 3600, 10'000};
  EXPECT_FALSE(tokens_due(t, 10'000 + 3600 - 61));
  EXPECT_TRUE(tokens_due(t, 10'000 + 3600 - 60));
}

TEST(TokensDue, OverflowingExpiryIsNeverDue) {
  const OAuthTokens t{"a", "r", u64max - 5, 100};
  EXPECT_FALSE(tokens_due(t, u64max - 100));
  EXPECT_FALSE(tokens_due(t));
}

class RefreshPreconditions : public ::testing::Test {
 protected:
  void SetUp() override { ::unsetenv("ZARN_MAIL_GOOGLE_CLIENT_ID"); }
  void TearDown() override { ::unsetenv("ZARN_MAIL_GOOGLE_CLIENT_ID"); }
  // A token endpoint nobody listens on: reaching it would be a failure of the test.
  TokenEndpoint nowhere() {
    TokenEndpoint e;
    e.url = "https://127.0.0.1:1/token";
    return e;
  }
};

TEST_F(RefreshPreconditions, FailWithTheirOwnTextsBeforeAnyRequest) {
  AccountSettings s;
  s.auth = AuthKind::OAuth;
  s.email = "someone@example.org";
  const OAuthTokens current{"old", "refresh", 0, 0};
  EXPECT_EQ(refresh_account_tokens(s, current, nowhere()),
            std::unexpected(std::string("cannot refresh: unknown OAuth provider")));
  s.email = "someone@GMAIL.com";
  EXPECT_EQ(refresh_account_tokens(s, current, nowhere()),
            std::unexpected(std::string("set ZARN_MAIL_GOOGLE_CLIENT_ID to refresh the token")));
  ::setenv("ZARN_MAIL_GOOGLE_CLIENT_ID", "cid", 1);
  EXPECT_EQ(
      refresh_account_tokens(s, OAuthTokens{"old", "", 0, 0}, nowhere()),
      std::unexpected(std::string("access token expired and no refresh token; sign in again")));
  const auto transport = refresh_account_tokens(s, current, nowhere());
  ASSERT_FALSE(transport);
  EXPECT_FALSE(transport.error().empty());
}

TEST(BrowserSignIn, BrowserThatCannotOpenEndsTheSignIn) {
  SignInEndpoints endpoints;
  std::string opened;
  endpoints.open_browser = [&](const std::string& url) -> std::expected<void, std::string> {
    opened = url;
    return std::unexpected(std::string("no browser"));
  };
  const auto r = browser_sign_in(OAuthProvider::Microsoft, "cid", "a@outlook.com",
                                 std::chrono::seconds(5), endpoints);
  EXPECT_EQ(r, std::unexpected(std::string("could not open sign-in browser: no browser")));
  EXPECT_TRUE(opened.starts_with(
      "https://login.microsoftonline.com/common/oauth2/v2.0/authorize?client_id=cid&"));
  EXPECT_NE(opened.find("redirect_uri=http%3A%2F%2F127.0.0.1%3A"), std::string::npos);
}

TEST(BrowserSignIn, MissingDesktopOpenerIsReportedAsABrowserFailure) {
  const char* old_path = std::getenv("PATH");
  const std::string saved = old_path ? old_path : "";
  ::setenv("PATH", "/nonexistent-zarn-mail-test", 1);
  const auto r = browser_sign_in(OAuthProvider::Google, "cid", "", std::chrono::seconds(5));
  ::setenv("PATH", saved.c_str(), 1);
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().starts_with("could not open sign-in browser: xdg-open: ")) << r.error();
}

TEST(SignInAndStore, WithoutClientIdAsksForTheVariable) {
  ::unsetenv("ZARN_MAIL_MICROSOFT_CLIENT_ID");
  SignInEndpoints endpoints;
  bool opened = false;
  endpoints.open_browser = [&](const std::string&) -> std::expected<void, std::string> {
    opened = true;
    return {};
  };
  EXPECT_EQ(
      sign_in_and_store(OAuthProvider::Microsoft, "a@outlook.com", "a@outlook.com", endpoints),
      std::unexpected(std::string("set ZARN_MAIL_MICROSOFT_CLIENT_ID to sign in")));
  EXPECT_FALSE(opened);
}

}  // namespace
}  // namespace mail

TEST(TokenErrors, RejectedBodiesShowEverythingButTokens) {
  EXPECT_EQ(mail::redact_token_body(R"({"error": "invalid_grant"})"), R"({"error": "invalid_grant"})");
  EXPECT_EQ(mail::redact_token_body("not json at all"), "not json at all");
  const std::string shown =
      mail::redact_token_body(R"({"access_token":"","refresh_token":"r-secret","id_token":"i-secret"})");
  EXPECT_EQ(shown.find("secret"), std::string::npos);
  EXPECT_NE(shown.find("[redacted]"), std::string::npos);
  EXPECT_NE(shown.find("access_token"), std::string::npos);
}
