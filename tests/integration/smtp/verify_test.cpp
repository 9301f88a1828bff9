// Account verification against a real Dovecot and a real SMTP server.
#include "verify/verify.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "accounts/secret_vault.h"
#include "dovecot_server.h"
#include "fixture.h"
#include "submission/submission.h"
#include "smtp_server.h"

namespace fs = std::filesystem;
using namespace mail;
using namespace std::chrono_literals;
using testsupport::DovecotServer;
using testsupport::SmtpServer;

namespace {

const std::string user = "alice@example.org";
const std::string password = "correct horse battery";
const std::string token = "shared-access-token";

struct Servers {
  std::unique_ptr<DovecotServer> imap;
  std::unique_ptr<SmtpServer> smtp;
  std::string trust_file;
  ~Servers() {
    if (!trust_file.empty()) fs::remove(trust_file);
  }
};

std::unique_ptr<Servers> start_both(testsupport::SmtpServerOptions smtp_options = {}) {
  auto s = std::make_unique<Servers>();
  auto imap = DovecotServer::start({.user = user, .password = password, .token = token});
  EXPECT_TRUE(imap) << imap.error();
  if (!imap) return nullptr;
  smtp_options.user = user;
  smtp_options.password = password;
  smtp_options.token = token;
  auto smtp = SmtpServer::start(smtp_options);
  EXPECT_TRUE(smtp) << smtp.error();
  if (!smtp) return nullptr;
  s->imap = std::move(*imap);
  s->smtp = std::move(*smtp);
  s->trust_file =
      (fs::temp_directory_path() / ("verify-trust-" + std::to_string(::getpid()) + ".pem"))
          .string();
  testsupport::combine_pem({s->imap->ca_file(), s->smtp->ca_file()}, s->trust_file);
  smtptest::trust(s->trust_file);
  return s;
}

AccountSettings settings_for(const Servers& s, std::string pw = password) {
  AccountSettings a = smtptest::account(s.smtp->starttls_port(), std::move(pw));
  a.imap_port = s.imap->port();
  return a;
}

std::string text(const VerifyOutcome& o) {
  if (!o) return "<no result>";
  if (*o) return "verified";
  return o->error();
}

}  // namespace

TEST(AccountVerification, CorrectAccountVerifiesOverImapAndSmtp) {
  auto s = start_both();
  ASSERT_TRUE(s);
  std::atomic<bool> cancel{false};
  AccountSettings a = settings_for(*s);
  a.imap_tls = false;  // the switch does not matter: IMAP is TLS from the first byte
  EXPECT_EQ(text(verify_account(a, cancel)), "verified");
  EXPECT_TRUE(s->smtp->messages().empty());  // nothing is sent
}

TEST(AccountVerification, AnAccountThatVerifiesCanSendAndOneThatCannotSendDoesNotVerify) {
  // Verification and submission authenticate the same way, so the sheet
  // never saves a password account whose mail would then be refused.
  struct Case {
    const char* offered;
    bool works;
  };
  for (const Case& c : {Case{"PLAIN", true}, Case{"LOGIN", true}, Case{"XOAUTH2", false}}) {
    auto s = start_both({.auth = c.offered});
    ASSERT_TRUE(s);
    std::atomic<bool> cancel{false};
    const AccountSettings a = settings_for(*s);
    const std::string verified = text(verify_account(a, cancel));
    DraftData d;
    d.to = "bob@example.net";
    auto sent = send_message(a, Credential{Credential::Password{login_name(a), a.password}}, d,
                             "Subject: x\r\n\r\nbody\r\n");
    if (c.works) {
      EXPECT_EQ(verified, "verified") << c.offered;
      EXPECT_TRUE(sent) << c.offered << ": " << sent.error();
      EXPECT_EQ(s->smtp->messages().size(), 1u) << c.offered;
    } else {
      EXPECT_EQ(verified,
                "SMTP handshake failed: connection failed: No compatible authentication "
                "mechanism was found")
          << c.offered;
      EXPECT_FALSE(sent) << c.offered;
    }
  }
}

TEST(AccountVerification, OAuthAccountUsesTheStoredTokenOnBothServers) {
  auto s = start_both({.auth = "XOAUTH2"});
  ASSERT_TRUE(s);
  const fs::path vault_dir =
      fs::temp_directory_path() / ("verify-vault-" + std::to_string(::getpid()));
  fs::remove_all(vault_dir);
  auto vault = accounts::SecretVault::open_in(vault_dir);
  vault.put(
      user,
      {"", oauth_tokens_to_json({token, "refresh", 3600, 1})});  // long expired: used as stored
  ASSERT_TRUE(vault.try_save());
  AccountSettings a = settings_for(*s, "");
  a.auth = AuthKind::OAuth;
  std::atomic<bool> cancel{false};
  VerifyOptions options;
  options.vault_dir = vault_dir;
  EXPECT_EQ(text(verify_account(a, cancel, options)), "verified");

  vault.put(user, {"", oauth_tokens_to_json({"revoked-token", "", 0, 0})});
  ASSERT_TRUE(vault.try_save());
  EXPECT_EQ(text(verify_account(a, cancel, options)),
            "IMAP login failed: authentication failed — check the username and password");
  fs::remove_all(vault_dir);
}

TEST(AccountVerification, WrongPasswordsAreReportedBehindTheirChecksPrefix) {
  auto s = start_both();
  ASSERT_TRUE(s);
  std::atomic<bool> cancel{false};
  EXPECT_EQ(text(verify_account(settings_for(*s, "wrong"), cancel)),
            "IMAP login failed: authentication failed — check the username and password");
  // IMAP accepts, SMTP refuses: a server with another password for SMTP.
  auto other = SmtpServer::start({.user = user, .password = "different"});
  ASSERT_TRUE(other);
  testsupport::combine_pem({s->imap->ca_file(), (*other)->ca_file()}, s->trust_file);
  AccountSettings a = settings_for(*s);
  a.smtp_port = (*other)->starttls_port();
  EXPECT_EQ(text(verify_account(a, cancel)),
            "SMTP handshake failed: authentication failed — check the username and password");
}

TEST(AccountVerification, SmtpWithoutStartTlsOn587StyleSubmissionFails) {
  auto s = start_both({.starttls = false});
  ASSERT_TRUE(s);
  std::atomic<bool> cancel{false};
  EXPECT_EQ(text(verify_account(settings_for(*s), cancel)),
            "SMTP handshake failed: the server doesn't offer STARTTLS — check the port and "
            "security settings");
}

TEST(AccountVerification, ServerThatNeverAnswersEndsTheImapCheckAtTheLimit) {
  ::unsetenv("ZARN_MAIL_EXTRA_CA_FILE");
  testsupport::SilentServer silent;
  auto smtp = SmtpServer::start({});
  ASSERT_TRUE(smtp);
  AccountSettings a = smtptest::account((*smtp)->starttls_port());
  a.imap_port = silent.port();
  std::atomic<bool> cancel{false};
  VerifyOptions options;
  options.limit = 1500ms;  // the product keeps 30 s
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(text(verify_account(a, cancel, options)),
            "IMAP login failed: Account verification timed out");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST(AccountVerification, CancellingDuringACheckEndsItPromptly) {
  ::unsetenv("ZARN_MAIL_EXTRA_CA_FILE");
  testsupport::SilentServer silent;
  AccountSettings a = smtptest::account(587);
  a.imap_port = silent.port();
  std::atomic<bool> cancel{false};
  std::chrono::steady_clock::time_point set_at;
  std::thread canceller([&] {
    std::this_thread::sleep_for(400ms);
    set_at = std::chrono::steady_clock::now();
    cancel = true;
  });
  const auto result = verify_account(a, cancel);
  const auto ended = std::chrono::steady_clock::now();
  canceller.join();
  EXPECT_EQ(text(result), "IMAP login failed: Account verification cancelled");
  EXPECT_LT(ended - set_at, 100ms);
}
