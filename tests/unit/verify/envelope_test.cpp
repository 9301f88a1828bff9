#include <gtest/gtest.h>

#include "submission/submission.h"

using namespace mail;

namespace {
AccountSettings account(std::string email) {
  AccountSettings s;
  s.email = std::move(email);
  return s;
}
DraftData draft(std::string to, std::string cc, std::string bcc) {
  DraftData d;
  d.to = std::move(to);
  d.cc = std::move(cc);
  d.bcc = std::move(bcc);
  return d;
}
}  // namespace

TEST(BuildEnvelope, ToThenCcThenBccInOrderWithDuplicatesKept) {
  auto e = build_envelope(account("  me@example.org "), draft("a@x.org; b@x.org", "", "c@x.org"));
  ASSERT_TRUE(e) << e.error();
  EXPECT_EQ(e->sender, "me@example.org");
  EXPECT_EQ(e->recipients, (std::vector<std::string>{"a@x.org", "b@x.org", "c@x.org"}));

  e = build_envelope(account("me@example.org"),
                     draft("\"Ann\" <a@x.org>, a@x.org", "Bob < b@x.org >", "a@x.org"));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->recipients, (std::vector<std::string>{"a@x.org", "a@x.org", "b@x.org", "a@x.org"}));
}

TEST(BuildEnvelope, EntriesThatAreNotPlainAddressesAreLeftOut) {
  auto e = build_envelope(account("me@example.org"), draft("free text, d@x.org", "", ""));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->recipients, std::vector<std::string>{"d@x.org"});
  // CR/LF inside an entry can never become part of a command.
  e = build_envelope(account("me@example.org"),
                     draft("d@x.org\r\nRCPT TO:evil@y.org, e@x.org", "", ""));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->recipients, std::vector<std::string>{"e@x.org"});
}

TEST(BuildEnvelope, FailureTexts) {
  EXPECT_EQ(build_envelope(account("me@example.org"), draft("free text", "", "")).error(),
            "no valid recipients");
  EXPECT_EQ(build_envelope(account("me@example.org"), draft(",;", " ", "")).error(),
            "no valid recipients");
  auto bad = build_envelope(account("Me <me@example.org>"), draft("a@x.org", "", ""));
  ASSERT_FALSE(bad);
  EXPECT_TRUE(bad.error().starts_with("invalid From address: ")) << bad.error();
  EXPECT_FALSE(build_envelope(account("not-an-address"), draft("a@x.org", "", "")));
}

TEST(SmtpEndpoint, PortDecidesTheTlsModeAndZeroMeans465) {
  AccountSettings s;
  s.smtp_host = "  smtp.example.org  ";
  s.smtp_tls = false;  // not consulted
  struct Case {
    std::uint16_t port, expected_port;
    smtp::TlsMode mode;
  };
  for (auto c : {Case{0, 465, smtp::TlsMode::Implicit}, Case{465, 465, smtp::TlsMode::Implicit},
                 Case{587, 587, smtp::TlsMode::StartTls}, Case{25, 25, smtp::TlsMode::StartTls}}) {
    s.smtp_port = c.port;
    auto e = smtp_endpoint(s);
    EXPECT_EQ(e.host, "smtp.example.org");
    EXPECT_EQ(e.port, c.expected_port);
    EXPECT_EQ(e.tls, c.mode);
  }
}
