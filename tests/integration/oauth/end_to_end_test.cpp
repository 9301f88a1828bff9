// An OAuth account from sign-in to use: the browser sign-in stores tokens in
// a temporary vault; a later Refresh finds them expired, refreshes them at
// the loopback token endpoint, stores the new ones and logs in to a real
// Dovecot with XOAUTH2; the same account sends through the SMTP test server.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "../../servers/https_fixture.h"
#include "accounts/secret_vault.h"
#include "browser.h"
#include "dovecot_server.h"
#include "engine/engine.h"
#include "oauth/sign_in.h"
#include "smtp_server.h"
#include "state/credential.h"

namespace mail {
namespace {

using nlohmann::json;
using testsupport::TempDir;

constexpr const char* fresh_token = "fresh-access-token-2";

class OAuthEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    config_home = std::make_unique<TempDir>();
    ::setenv("XDG_CONFIG_HOME", config_home->path().c_str(), 1);
    ::setenv("ZARN_MAIL_GOOGLE_CLIENT_ID", "e2e-client.apps", 1);

    // Sign-in hands out a token that is already expired; the refresh gives
    // the one the mail servers accept.
    provider = std::make_unique<testsupport::HttpsServer>(json{
        {"oauth",
         {{"tokens",
           json::array(
               {{{"access_token", "expired-token-1"}, {"refresh_token", "R1"}, {"expires_in", 1}},
                {{"access_token", fresh_token}, {"expires_in", 3600}}})}}}});
    auto imap = testsupport::DovecotServer::start(
        {.user = "alice", .password = "unused pw", .token = fresh_token});
    ASSERT_TRUE(imap) << imap.error();
    dovecot = std::move(*imap);
    auto smtp =
        testsupport::SmtpServer::start({.auth = "XOAUTH2", .user = "alice", .token = fresh_token});
    ASSERT_TRUE(smtp) << smtp.error();
    smtp_server = std::move(*smtp);

    trust_file = (config_home->path() / "trust.pem").string();
    ASSERT_TRUE(testsupport::combine_pem({dovecot->ca_file(), smtp_server->ca_file()}, trust_file));
    ::setenv("ZARN_MAIL_EXTRA_CA_FILE", trust_file.c_str(), 1);

    token.url = provider->url("/token");
    token.routing.extra_ca_pem = provider->ca_pem();
  }

  void TearDown() override {
    set_token_refresher(nullptr);
    ::unsetenv("ZARN_MAIL_EXTRA_CA_FILE");
    ::unsetenv("ZARN_MAIL_GOOGLE_CLIENT_ID");
    ::unsetenv("XDG_CONFIG_HOME");
  }

  AccountSettings account() const {
    AccountSettings s;
    s.display_name = "Alice";
    s.email = "alice@gmail.com";
    s.username = "alice";
    s.imap_host = "127.0.0.1";
    s.imap_port = dovecot->port();
    s.smtp_host = "127.0.0.1";
    s.smtp_port = smtp_server->starttls_port();  // implicit TLS is only for port 465
    s.auth = AuthKind::OAuth;
    return s;
  }

  std::optional<OAuthTokens> stored_tokens() const {
    const auto secret = accounts::SecretVault::open().get("alice@gmail.com");
    if (!secret || !secret->token) return std::nullopt;
    auto tokens = oauth_tokens_from_json(*secret->token);
    return tokens ? std::optional(*tokens) : std::nullopt;
  }

  // Results of one request up to its Completed.
  static std::vector<EngineResult> answers(EngineHandle& engine, const RequestId& id) {
    std::vector<EngineResult> out;
    while (auto r = engine.wait()) {
      out.push_back(*r);
      if (auto* c = std::get_if<EngineResult::Completed>(&r->value); c && c->id == id) break;
    }
    return out;
  }

  static std::string describe(const std::vector<EngineResult>& results) {
    for (const auto& r : results) {
      if (auto* f = std::get_if<EngineResult::Failed>(&r.value))
        return f->operation + ": " + f->message;
    }
    return "no failure";
  }

  void sign_in() {
    testsupport::BrowserStandIn browser(provider->ca_file(), config_home->path() / "pages.txt");
    SignInEndpoints endpoints;
    endpoints.authorization = provider->url("/authorize");
    endpoints.token = token;
    endpoints.open_browser = [&](const std::string& url) { return browser.open(url); };
    const auto signed_in =
        sign_in_and_store(OAuthProvider::Google, "alice@gmail.com", "alice@gmail.com", endpoints,
                          std::nullopt, std::chrono::seconds(30));
    browser.wait();
    ASSERT_TRUE(signed_in) << signed_in.error();
  }

  std::unique_ptr<TempDir> config_home;
  std::unique_ptr<testsupport::HttpsServer> provider;
  std::unique_ptr<testsupport::DovecotServer> dovecot;
  std::unique_ptr<testsupport::SmtpServer> smtp_server;
  std::string trust_file;
  TokenEndpoint token;
};

TEST_F(OAuthEndToEnd, SignInThenRefreshWithExpiredTokensLogsInWithXoauth2) {
  sign_in();
  const auto first = stored_tokens();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->access_token, "expired-token-1");
  EXPECT_TRUE(tokens_due(*first));

  EngineHandle engine = start();
  ASSERT_TRUE(engine.is_live());
  set_token_refresher(token_refresher(token));

  const RequestId id = new_request_id();
  ASSERT_TRUE(engine.submit(EngineRequest::Refresh{account(), id, FolderRole::Inbox}));
  const auto results = answers(engine, id);
  ASSERT_EQ(results.size(), 2u) << describe(results);
  ASSERT_TRUE(std::holds_alternative<EngineResult::Refreshed>(results[0].value))
      << describe(results);
  EXPECT_EQ(std::get<EngineResult::Refreshed>(results[0].value).email, "alice@gmail.com");

  const auto second = stored_tokens();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->access_token, fresh_token);
  EXPECT_EQ(second->refresh_token, "R1") << "the refresh answer had none, so the old one stays";
  EXPECT_EQ(second->expires_in, 3600u);
  EXPECT_FALSE(tokens_due(*second));

  const auto requests = provider->requests();
  ASSERT_EQ(requests.size(), 3u);  // authorize, code exchange, refresh
  EXPECT_EQ(requests[2]["body"],
            "grant_type=refresh_token&client_id=e2e-client.apps&refresh_token=R1");
  EXPECT_NE(testsupport::read_file(dovecot->log_file()).find("XOAUTH2"), std::string::npos);
}

TEST_F(OAuthEndToEnd, SignedInAccountSendsWithXoauth2) {
  sign_in();
  EngineHandle engine = start();
  set_token_refresher(token_refresher(token));

  DraftData draft;
  draft.to = "bob@example.org";
  draft.subject = "Signed in with a token";
  draft.body = "Hello from an OAuth account.";
  const RequestId id = new_request_id();
  ASSERT_TRUE(engine.submit(EngineRequest::Send{account(), draft, id}));
  const auto results = answers(engine, id);
  ASSERT_EQ(results.size(), 2u) << describe(results);
  ASSERT_TRUE(std::holds_alternative<EngineResult::Sent>(results[0].value)) << describe(results);

  const auto messages = smtp_server->messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].auth, "alice");
  EXPECT_EQ(messages[0].rcpt_tos, std::vector<std::string>{"bob@example.org"});
  EXPECT_NE(messages[0].data.find("Signed in with a token"), std::string::npos);
  EXPECT_EQ(stored_tokens()->access_token, fresh_token) << "refreshed before the submission";
}

}  // namespace
}  // namespace mail
