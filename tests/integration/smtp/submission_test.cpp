// Submission against a real SMTP server (aiosmtpd) on loopback.
#include "submission/submission.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "attach/attach.h"
#include "compose/message.h"
#include "dovecot_server.h"
#include "fixture.h"
#include "smtp_server.h"

namespace fs = std::filesystem;
using namespace mail;
using testsupport::SmtpServer;
using testsupport::SmtpServerOptions;

namespace {

Credential password_credential(const AccountSettings& s) {
  return Credential{Credential::Password{login_name(s), s.password}};
}

DraftData sample_draft() {
  DraftData d;
  d.to = "Bob <bob@example.net>; carol@example.net, not an address";
  d.cc = "dave@example.net, bob@example.net";
  d.bcc = "erin@example.net";
  d.subject = "Quarterly numbers — draft ✓";
  d.body = "Hi all,\n.\nA line with a leading dot above.\n";
  d.html_body = "<p>Hi all</p>";
  return d;
}

const std::vector<std::string> expected_recipients = {"bob@example.net", "carol@example.net",
                                                      "dave@example.net", "bob@example.net",
                                                      "erin@example.net"};

struct Built {
  DraftData draft;
  std::string mime;
};

Built build_with_attachment(const fs::path& blobs) {
  auto store = qdoc::BlobStore::open_in(blobs);
  Built b;
  b.draft = sample_draft();
  std::string content(300000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 7919) % 251);
  auto staged = stage_bytes(content, "numbers.xlsx", store);
  EXPECT_TRUE(staged);
  b.draft.attachments.push_back(*staged);
  auto mime = build_message({"alice@example.org", std::string("Alice Example")}, b.draft, store);
  EXPECT_TRUE(mime) << mime.error();
  b.mime = *mime;
  return b;
}

fs::path temp_dir(const std::string& name) {
  fs::path p = fs::temp_directory_path() / ("smtp-it-" + name + "-" + std::to_string(::getpid()));
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

void expect_delivered(const SmtpServer& server, const Built& b) {
  auto messages = server.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].mail_from, "alice@example.org");
  EXPECT_EQ(messages[0].rcpt_tos, expected_recipients);
  EXPECT_TRUE(messages[0].data == b.mime) << "delivered bytes differ from the built message";
  EXPECT_EQ(messages[0].auth, "alice@example.org");
}

}  // namespace

TEST(SmtpSubmission, StartTlsOnAnyOtherPortDeliversTheBuiltBytesToEveryRecipient) {
  auto server = SmtpServer::start({.auth = "LOGIN"});
  ASSERT_TRUE(server) << server.error();
  smtptest::trust((*server)->ca_file());
  const fs::path dir = temp_dir("starttls");
  const Built b = build_with_attachment(dir);
  const AccountSettings s = smtptest::account((*server)->starttls_port());
  auto sent = send_message(s, password_credential(s), b.draft, b.mime);
  ASSERT_TRUE(sent) << sent.error();
  EXPECT_EQ(*sent, b.mime.size());
  expect_delivered(**server, b);
  fs::remove_all(dir);
}

TEST(SmtpSubmission, Port465AndPortZeroUseTlsFromTheFirstByteAndPort587StartTls) {
  if (smtptest::rerun_in_own_network()) return;
  auto server = SmtpServer::start({.auth = "LOGIN", .implicit_port = 465, .starttls_port = 587});
  ASSERT_TRUE(server) << server.error();
  ASSERT_EQ((*server)->implicit_port(), 465);
  ASSERT_EQ((*server)->starttls_port(), 587);
  smtptest::trust((*server)->ca_file());
  const fs::path dir = temp_dir("implicit");
  const Built b = build_with_attachment(dir);
  for (std::uint16_t port : {465, 0, 587}) {
    const AccountSettings s = smtptest::account(port);
    auto sent = send_message(s, password_credential(s), b.draft, b.mime);
    ASSERT_TRUE(sent) << "port " << port << ": " << sent.error();
    EXPECT_EQ(*sent, b.mime.size());
  }
  auto messages = (*server)->messages();
  ASSERT_EQ(messages.size(), 3u);
  for (const auto& m : messages) {
    EXPECT_EQ(m.rcpt_tos, expected_recipients);
    EXPECT_TRUE(m.data == b.mime);
  }
  fs::remove_all(dir);
}

TEST(SmtpSubmission, Port25WithoutStartTlsFailsAndSendsNothing) {
  if (smtptest::rerun_in_own_network()) return;
  auto server = SmtpServer::start({.starttls = false, .starttls_port = 25, .no_implicit = true});
  ASSERT_TRUE(server) << server.error();
  smtptest::trust((*server)->ca_file());
  const AccountSettings s = smtptest::account(25);
  DraftData d = sample_draft();
  auto sent = send_message(s, password_credential(s), d, "Subject: x\r\n\r\nbody\r\n");
  ASSERT_FALSE(sent);
  EXPECT_EQ(sent.error(),
            "the server doesn't offer STARTTLS — check the port and security settings");
  EXPECT_TRUE((*server)->messages().empty());
}

TEST(SmtpSubmission, PasswordAccountsAuthenticateWithPlainWhenOfferedElseLogin) {
  struct Case {
    const char* offered;
    const char* used;
  };
  const std::string mime = "Subject: x\r\n\r\nbody\r\n";
  for (const Case& c : {Case{"PLAIN", "PLAIN"}, Case{"LOGIN", "LOGIN"},
                        Case{"LOGIN,PLAIN", "PLAIN"}, Case{"PLAIN,XOAUTH2", "PLAIN"}}) {
    auto server = SmtpServer::start({.auth = c.offered});
    ASSERT_TRUE(server) << server.error();
    smtptest::trust((*server)->ca_file());
    const AccountSettings s = smtptest::account((*server)->starttls_port());
    auto sent = send_message(s, password_credential(s), sample_draft(), mime);
    ASSERT_TRUE(sent) << c.offered << ": " << sent.error();
    auto messages = (*server)->messages();
    ASSERT_EQ(messages.size(), 1u) << c.offered;
    EXPECT_EQ(messages[0].mechanism, c.used) << c.offered;
    EXPECT_EQ(messages[0].auth, "alice@example.org");
    EXPECT_EQ(messages[0].data, mime);
  }
}

TEST(SmtpSubmission, PasswordAccountOnAnOAuthOnlyServerSendsNothing) {
  auto server = SmtpServer::start({.auth = "XOAUTH2"});
  ASSERT_TRUE(server) << server.error();
  smtptest::trust((*server)->ca_file());
  const AccountSettings s = smtptest::account((*server)->starttls_port());
  auto sent = send_message(s, password_credential(s), sample_draft(), "Subject: x\r\n\r\nbody\r\n");
  ASSERT_FALSE(sent);
  EXPECT_EQ(sent.error(), "connection failed: No compatible authentication mechanism was found");
  EXPECT_TRUE((*server)->messages().empty());
}

TEST(SmtpSubmission, FailuresReadAsTheFixedSentences) {
  auto server = SmtpServer::start({});
  ASSERT_TRUE(server) << server.error();
  smtptest::trust((*server)->ca_file());
  const DraftData d = sample_draft();
  const std::string mime = "Subject: x\r\n\r\nbody\r\n";

  AccountSettings wrong = smtptest::account((*server)->starttls_port(), "wrong password");
  EXPECT_EQ(send_message(wrong, password_credential(wrong), d, mime).error(),
            "authentication failed — check the username and password");

  AccountSettings oauth = smtptest::account((*server)->starttls_port());
  oauth.auth = AuthKind::OAuth;
  EXPECT_EQ(
      send_message(oauth, Credential{Credential::OAuth{"alice@example.org", "expired"}}, d, mime)
          .error(),
      "authentication failed — check the username and password");

  AccountSettings refused = smtptest::account(testsupport::closed_port());
  EXPECT_EQ(send_message(refused, password_credential(refused), d, mime).error(),
            "connection refused — check the host and port");

  AccountSettings no_host = smtptest::account(587);
  no_host.smtp_host = "   ";
  EXPECT_EQ(send_message(no_host, password_credential(no_host), d, mime).error(), "no SMTP host");

  AccountSettings bad_from = smtptest::account((*server)->starttls_port());
  bad_from.email = "Alice <alice@example.org>";
  auto r = send_message(bad_from, password_credential(bad_from), d, mime);
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().starts_with("invalid From address: ")) << r.error();

  DraftData nobody;
  nobody.to = "just some words";
  EXPECT_EQ(
      send_message(smtptest::account((*server)->starttls_port()),
                   password_credential(smtptest::account((*server)->starttls_port())), nobody, mime)
          .error(),
      "no valid recipients");

  // Without the test CA the server is not trusted.
  ::unsetenv("ZARN_MAIL_EXTRA_CA_FILE");
  AccountSettings untrusted = smtptest::account((*server)->starttls_port());
  EXPECT_EQ(send_message(untrusted, password_credential(untrusted), d, mime).error(),
            "TLS/certificate error — the server's certificate wasn't trusted");
  EXPECT_TRUE((*server)->messages().empty());
}

TEST(SmtpSubmission, OAuthAccountsAuthenticateWithXoauth2) {
  auto server = SmtpServer::start({.auth = "LOGIN,XOAUTH2"});
  ASSERT_TRUE(server) << server.error();
  smtptest::trust((*server)->ca_file());
  AccountSettings s = smtptest::account((*server)->starttls_port(), "");
  s.auth = AuthKind::OAuth;
  DraftData d;
  d.to = "bob@example.net";
  std::string mime;
  for (int i = 0; i < 32; ++i) mime += std::string(62, 'x') + "\r\n";  // 2048 bytes
  auto sent = send_message(
      s, Credential{Credential::OAuth{"alice@example.org", "smtp-access-token"}}, d, mime);
  ASSERT_TRUE(sent) << sent.error();
  EXPECT_EQ(*sent, 2048u);
  auto messages = (*server)->messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].auth, "alice@example.org");
  EXPECT_EQ(messages[0].mechanism, "XOAUTH2");
  EXPECT_EQ(messages[0].data, mime);
}

TEST(SmtpSubmission, LinesOfDotsArriveUnchanged) {
  auto server = SmtpServer::start({.auth = "LOGIN"});
  ASSERT_TRUE(server) << server.error();
  smtptest::trust((*server)->ca_file());
  const AccountSettings s = smtptest::account((*server)->starttls_port());
  DraftData d;
  d.to = "bob@example.net";
  const std::string mime = "Subject: dots\r\n\r\n.\r\n..\r\n.hidden\r\nmiddle . line\r\n.\r\n";
  auto sent = send_message(s, password_credential(s), d, mime);
  ASSERT_TRUE(sent) << sent.error();
  auto messages = (*server)->messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].data, mime);
}
