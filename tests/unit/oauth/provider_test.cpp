#include "oauth/provider.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "oauth/form.h"

namespace mail {
namespace {

TEST(OAuthProviderForDomain, MatchesWholeDomainsOnly) {
  struct Case {
    const char* domain;
    std::optional<OAuthProvider> provider;
  };
  const Case cases[] = {
      {"gmail.com", OAuthProvider::Google},
      {"GMAIL.COM", OAuthProvider::Google},
      {"googlemail.com", OAuthProvider::Google},
      {"mail.gmail.com", std::nullopt},
      {"gmail.co.uk", std::nullopt},
      {"outlook.com", OAuthProvider::Microsoft},
      {"Hotmail.com", OAuthProvider::Microsoft},
      {"live.com", OAuthProvider::Microsoft},
      {"office365.com", OAuthProvider::Microsoft},
      {"msn.com", OAuthProvider::Microsoft},
      {"outlook.de", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(oauth_provider_for_domain(c.domain), c.provider) << c.domain;
  EXPECT_EQ(email_domain("a@b@gmail.com"), "b@gmail.com");
  EXPECT_EQ(email_domain("nobody"), "");
}

class ClientIdTest : public ::testing::Test {
 protected:
  void TearDown() override { ::unsetenv("ZARN_MAIL_MICROSOFT_CLIENT_ID"); }
};

TEST_F(ClientIdTest, EmptyOrMissingIsNoneAndSpacesStay) {
  ::unsetenv("ZARN_MAIL_MICROSOFT_CLIENT_ID");
  EXPECT_FALSE(client_id_for(OAuthProvider::Microsoft));
  ::setenv("ZARN_MAIL_MICROSOFT_CLIENT_ID", "", 1);
  EXPECT_FALSE(client_id_for(OAuthProvider::Microsoft));
  ::setenv("ZARN_MAIL_MICROSOFT_CLIENT_ID", " abc ", 1);
  EXPECT_EQ(client_id_for(OAuthProvider::Microsoft), " abc ");
  ::setenv("ZARN_MAIL_MICROSOFT_CLIENT_ID", "bad\xff", 1);
  EXPECT_FALSE(client_id_for(OAuthProvider::Microsoft)) << "not valid Unicode";
  EXPECT_EQ(client_id_variable(OAuthProvider::Google), "ZARN_MAIL_GOOGLE_CLIENT_ID");
}

TEST(AuthorizationUrl, GoogleCarriesEveryPairInOrder) {
  const auto url = authorization_url(OAuthProvider::Google, "cid.apps",
                                     "http://127.0.0.1:5555/oauth", "CHAL", "ST", "me+x@gmail.com");
  EXPECT_EQ(
      url,
      "https://accounts.google.com/o/oauth2/v2/auth?client_id=cid.apps&response_type=code"
      "&redirect_uri=http%3A%2F%2F127.0.0.1%3A5555%2Foauth&scope=https%3A%2F%2Fmail.google.com%2F"
      "&code_challenge=CHAL&code_challenge_method=S256&state=ST&access_type=offline&prompt=consent"
      "&login_hint=me%2Bx%40gmail.com");
}

TEST(AuthorizationUrl, MicrosoftHasNoOfflineOrPromptAndEmptyHintIsLeftOut) {
  const auto url =
      authorization_url(OAuthProvider::Microsoft, "cid", "http://127.0.0.1:1/oauth", "C", "S", "");
  EXPECT_TRUE(url.starts_with(
      "https://login.microsoftonline.com/common/oauth2/v2.0/authorize?client_id=cid&"));
  EXPECT_EQ(url.find("access_type"), std::string::npos);
  EXPECT_EQ(url.find("prompt"), std::string::npos);
  EXPECT_EQ(url.find("login_hint"), std::string::npos);
  const auto query = parse_form_query(url.substr(url.find('?') + 1));
  const FormPairs expected{
      {"client_id", "cid"},
      {"response_type", "code"},
      {"redirect_uri", "http://127.0.0.1:1/oauth"},
      {"scope",
       "offline_access https://outlook.office.com/IMAP.AccessAsUser.All "
       "https://outlook.office.com/SMTP.Send"},
      {"code_challenge", "C"},
      {"code_challenge_method", "S256"},
      {"state", "S"},
  };
  EXPECT_EQ(query, expected);
  EXPECT_NE(url.find("scope=offline_access+https%3A%2F%2F"), std::string::npos) << "space as +";
}

TEST(OAuthEndpointsTable, TokenEndpointsAreHttpsWithTheirPaths) {
  const auto g = OAuthEndpoints::for_provider(OAuthProvider::Google);
  const auto m = OAuthEndpoints::for_provider(OAuthProvider::Microsoft);
  EXPECT_TRUE(g.token.starts_with("https://") && g.token.ends_with("/token"));
  EXPECT_EQ(m.token, "https://login.microsoftonline.com/common/oauth2/v2.0/token");
}

}  // namespace
}  // namespace mail
