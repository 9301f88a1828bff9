// Browser sign-in, code exchange and refresh against a loopback provider.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "../../servers/https_fixture.h"
#include "accounts/secret_vault.h"
#include "browser.h"
#include "oauth/form.h"
#include "oauth/sign_in.h"
#include "state/credential.h"

namespace mail {
namespace {

using nlohmann::json;
using testsupport::BrowserStandIn;
using testsupport::HttpsServer;
using testsupport::TempDir;

TokenEndpoint token_endpoint(const HttpsServer& server) {
  TokenEndpoint e;
  e.url = server.url("/token");
  e.routing.extra_ca_pem = server.ca_pem();
  return e;
}

json provider(json tokens, bool approve = true) {
  return json{{"oauth", {{"approve", approve}, {"tokens", std::move(tokens)}}}};
}

std::map<std::string, std::string> form_of(const std::string& body) {
  std::map<std::string, std::string> m;
  for (auto& [k, v] : parse_form_query(body)) m[k] = v;
  return m;
}

// What the loopback listener answers to a GET of `target`, as another
// program on this machine would see it (empty when nothing answers).
std::string loopback_get(std::uint16_t port, const std::string& target) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval tv{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  std::string answer;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buf[1024];
    ssize_t n;
    while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
      answer.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return answer;
}

// The listener's port, from the redirect_uri of an authorization URL.
std::uint16_t redirect_port(const std::string& url) {
  for (auto& [key, value] : parse_form_query(url.substr(url.find('?') + 1))) {
    if (key == "redirect_uri") {
      const auto colon = value.rfind(':');
      return static_cast<std::uint16_t>(std::stoi(value.substr(colon + 1)));
    }
  }
  return 0;
}

class SignInTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("ZARN_MAIL_GOOGLE_CLIENT_ID", "test-client.apps", 1); }
  void TearDown() override { ::unsetenv("ZARN_MAIL_GOOGLE_CLIENT_ID"); }
  TempDir dir;
};

TEST_F(SignInTest, BrowserSignInExchangesTheCodeWithPkce) {
  HttpsServer server(provider(
      json::array({{{"access_token", "A1"}, {"refresh_token", "R1"}, {"expires_in", 3600}}})));
  BrowserStandIn browser(server.ca_file(), dir.path() / "pages.txt");
  SignInEndpoints endpoints;
  endpoints.authorization = server.url("/authorize");
  endpoints.token = token_endpoint(server);
  endpoints.open_browser = [&](const std::string& url) { return browser.open(url); };

  const auto before = unix_now();
  const auto tokens = browser_sign_in(OAuthProvider::Google, "test-client.apps", "me@gmail.com",
                                      std::chrono::seconds(30), endpoints);
  browser.wait();
  ASSERT_TRUE(tokens) << tokens.error();
  EXPECT_EQ(tokens->access_token, "A1");
  EXPECT_EQ(tokens->refresh_token, "R1");
  EXPECT_EQ(tokens->expires_in, 3600u);
  EXPECT_GE(tokens->obtained_at, before);

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  const auto auth = form_of(requests[0]["query"]);
  EXPECT_EQ(auth.at("login_hint"), "me@gmail.com");
  EXPECT_EQ(auth.at("access_type"), "offline");
  EXPECT_TRUE(auth.at("redirect_uri").starts_with("http://127.0.0.1:"));
  // The token request: these pairs in this order, and no secret.
  const std::string body = requests[1]["body"];
  const auto pairs = parse_form_query(body);
  ASSERT_EQ(pairs.size(), 5u);
  EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"grant_type", "authorization_code"}));
  EXPECT_EQ(pairs[1].first, "client_id");
  EXPECT_EQ(pairs[2],
            (std::pair<std::string, std::string>{"redirect_uri", auth.at("redirect_uri")}));
  EXPECT_EQ(pairs[3].first, "code");
  EXPECT_EQ(pairs[4].first, "code_verifier");
  EXPECT_EQ(requests[1]["headers"]["content-type"], "application/x-www-form-urlencoded");

  const auto pages = testsupport::read_file(dir.path() / "pages.txt");
  EXPECT_NE(pages.find("Waiting for sign-in\xe2\x80\xa6"), std::string::npos) << "the icon request";
  EXPECT_NE(pages.find("Signed in. You can close this tab and return to Mail."), std::string::npos);
}

TEST_F(SignInTest, DeniedConsentEndsWithTheProvidersError) {
  HttpsServer server(provider(json::array(), /*approve=*/false));
  BrowserStandIn browser(server.ca_file(), dir.path() / "pages.txt", false);
  SignInEndpoints endpoints;
  endpoints.authorization = server.url("/authorize");
  endpoints.token = token_endpoint(server);
  endpoints.open_browser = [&](const std::string& url) { return browser.open(url); };
  const auto tokens =
      browser_sign_in(OAuthProvider::Google, "cid", "", std::chrono::seconds(30), endpoints);
  browser.wait();
  EXPECT_EQ(tokens, std::unexpected(std::string("authorization denied: access_denied")));
  EXPECT_NE(testsupport::read_file(dir.path() / "pages.txt")
                .find("Sign-in failed. You can close this tab."),
            std::string::npos);
  EXPECT_EQ(server.requests().size(), 1u) << "no token request after a denial";
}

TEST_F(SignInTest, RedirectsWithAnotherStateLeaveTheSignInWaitingForTheRealOne) {
  HttpsServer server(provider(json::array({{{"access_token", "A1"}, {"refresh_token", "R1"}}})));
  BrowserStandIn browser(server.ca_file(), dir.path() / "pages.txt", false);
  SignInEndpoints endpoints;
  endpoints.authorization = server.url("/authorize");
  endpoints.token = token_endpoint(server);
  // Another program on the machine gets to the listener first: a forged code
  // and a forged denial, with a wrong state and with none. Then the browser.
  const std::vector<std::string> forged = {"/oauth?code=forged&state=wrong",
                                           "/oauth?error=access_denied&state=wrong",
                                           "/oauth?error=access_denied", "/oauth?code=forged"};
  std::vector<std::string> forged_pages;
  std::thread intruder;
  endpoints.open_browser = [&](const std::string& url) -> std::expected<void, std::string> {
    intruder = std::thread([&, url] {
      const std::uint16_t port = redirect_port(url);
      for (const auto& target : forged) forged_pages.push_back(loopback_get(port, target));
      (void)browser.open(url);
    });
    return {};
  };
  const auto tokens = browser_sign_in(OAuthProvider::Google, "test-client.apps", "",
                                      std::chrono::seconds(30), endpoints);
  if (intruder.joinable()) intruder.join();
  browser.wait();
  ASSERT_EQ(forged_pages.size(), forged.size());
  for (std::size_t i = 0; i < forged.size(); ++i) {
    EXPECT_NE(forged_pages[i].find("Sign-in state mismatch. Please try again from Mail."),
              std::string::npos)
        << forged[i];
  }
  ASSERT_TRUE(tokens) << tokens.error();
  EXPECT_EQ(tokens->access_token, "A1");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(form_of(requests[1]["body"]).at("code"), "forged");
  EXPECT_NE(testsupport::read_file(dir.path() / "pages.txt")
                .find("Signed in. You can close this tab and return to Mail."),
            std::string::npos);
}

TEST_F(SignInTest, SignInAndStorePutsTheTokensInTheVaultUnderTheEmail) {
  HttpsServer server(provider(json::array({{{"access_token", "A1"}, {"refresh_token", "R1"}}})));
  BrowserStandIn browser(server.ca_file(), dir.path() / "pages.txt");
  SignInEndpoints endpoints;
  endpoints.authorization = server.url("/authorize");
  endpoints.token = token_endpoint(server);
  endpoints.open_browser = [&](const std::string& url) { return browser.open(url); };
  const auto stored = sign_in_and_store(OAuthProvider::Google, "Me@gmail.com", "Me@gmail.com",
                                        endpoints, dir.path(), std::chrono::seconds(30));
  browser.wait();
  ASSERT_TRUE(stored) << stored.error();
  const auto secret = accounts::SecretVault::open_in(dir.path()).get("Me@gmail.com");
  ASSERT_TRUE(secret);
  EXPECT_EQ(secret->password, "");
  ASSERT_TRUE(secret->token);
  const auto tokens = oauth_tokens_from_json(*secret->token);
  ASSERT_TRUE(tokens);
  EXPECT_EQ(tokens->access_token, "A1");
  EXPECT_EQ(tokens->expires_in, 0u) << "no expires_in stores 0";
}

TEST(TokenEndpoint, NonSuccessStatusWithAnAccessTokenIsAccepted) {
  HttpsServer server(provider(json::array({{{"status", 400}, {"body", {{"access_token", "X"}}}}})));
  const auto tokens = refresh_tokens("cid", "R-old", token_endpoint(server));
  ASSERT_TRUE(tokens) << tokens.error();
  EXPECT_EQ(tokens->access_token, "X");
  EXPECT_EQ(tokens->refresh_token, "R-old") << "a refresh without refresh_token keeps the old one";
  EXPECT_EQ(server.requests().at(0)["body"],
            "grant_type=refresh_token&client_id=cid&refresh_token=R-old");
}

TEST(TokenEndpoint, RejectionsCarryTheWholeBody) {
  HttpsServer server(
      provider(json::array({{{"status", 200}, {"body", {{"token_type", "Bearer"}}}}})));
  EXPECT_EQ(refresh_tokens("cid", "R", token_endpoint(server)),
            std::unexpected(std::string(R"(token refresh rejected: {"token_type": "Bearer"})")));
  EXPECT_EQ(exchange_code("cid", "http://127.0.0.1:1/oauth", "nope", "v", token_endpoint(server)),
            std::unexpected(
                std::string(R"(token endpoint rejected exchange: {"error": "invalid_grant"})")));
}

TEST(TokenEndpoint, UntrustedCertificateIsATransportError) {
  HttpsServer server(provider(json::array({{{"access_token", "X"}}})));
  TokenEndpoint e;
  e.url = server.url("/token");  // the test CA is not trusted here
  const auto tokens = refresh_tokens("cid", "R", e);
  ASSERT_FALSE(tokens);
  EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(SignInTest, DueTokensAreRefreshedAndStoredByCredentialResolution) {
  HttpsServer server(provider(
      json::array({{{"access_token", "A2"}, {"expires_in", 3600}, {"token_type", "Bearer"}}})));
  auto vault = accounts::SecretVault::open_in(dir.path());
  vault.put("me@gmail.com",
            accounts::Secret{"", oauth_tokens_to_json(OAuthTokens{"A1", "R1", 60, 1000})});
  ASSERT_TRUE(vault.try_save());

  AccountSettings s;
  s.email = "me@gmail.com";
  s.auth = AuthKind::OAuth;
  CredentialOptions options;
  options.vault_dir = dir.path();
  options.refresher = token_refresher(token_endpoint(server));
  const auto credential = resolve_credential(s, options);
  ASSERT_TRUE(credential) << credential.error();
  EXPECT_EQ(credential->value, (Credential{Credential::OAuth{"me@gmail.com", "A2"}}).value);

  const auto stored = oauth_tokens_from_json(
      *accounts::SecretVault::open_in(dir.path()).get("me@gmail.com")->token);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->access_token, "A2");
  EXPECT_EQ(stored->refresh_token, "R1");
  EXPECT_EQ(stored->expires_in, 3600u);

  // Now fresh: the next resolution uses the stored token without a request.
  const auto again = resolve_credential(s, options);
  ASSERT_TRUE(again);
  EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace mail
