#include "smtp/client.h"

#include <gtest/gtest.h>

#include <deque>
#include <utility>

using namespace mail::smtp;

namespace {

// Plays a conversation: for every client write, checks it against the next
// expected line(s) and answers with the scripted server bytes.
struct Script {
  // (what the client must have written since the last answer, server answer)
  std::deque<std::pair<std::string, std::string>> turns;
};

struct Outcome {
  std::string written;  // everything the client wrote
  std::optional<std::string> error;
  Client::FailureKind kind = Client::FailureKind::Other;
  bool noop_accepted = true;
  int tls_starts = 0;
};

Outcome play(Client& client, std::string greeting, Script script, bool close_when_out = false) {
  Outcome out;
  std::string pending;  // written but not yet answered
  client.receive(greeting);
  for (int guard = 0; guard < 10000; ++guard) {
    auto step = client.next();
    if (auto* w = std::get_if<Client::Write>(&step)) {
      out.written += w->bytes;
      pending += w->bytes;
      continue;
    }
    if (std::holds_alternative<Client::StartTls>(step)) {
      ++out.tls_starts;
      client.tls_ready();
      continue;
    }
    if (std::holds_alternative<Client::Read>(step)) {
      if (script.turns.empty()) {
        if (close_when_out) {
          client.closed();
          continue;
        }
        ADD_FAILURE() << "client waits but the script is over; pending: " << pending;
        return out;
      }
      auto [expect, answer] = script.turns.front();
      script.turns.pop_front();
      EXPECT_EQ(pending, expect);
      pending.clear();
      client.receive(answer);
      continue;
    }
    if (auto* f = std::get_if<Client::Failed>(&step)) {
      out.error = f->error;
      out.kind = f->kind;
      return out;
    }
    out.noop_accepted = std::get<Client::Done>(step).noop_accepted;
    EXPECT_TRUE(pending.empty() || pending == "QUIT\r\n") << pending;
    return out;
  }
  ADD_FAILURE() << "conversation did not end";
  return out;
}

const std::string ehlo_plain = "250-mx.test\r\n250-STARTTLS\r\n250 8BITMIME\r\n";
const std::string ehlo_tls = "250-mx.test\r\n250-SIZE 10000\r\n250 AUTH PLAIN LOGIN XOAUTH2\r\n";

ClientOptions submission(std::string_view message) {
  ClientOptions o;
  o.helo_name = "client.test";
  o.tls = TlsMode::StartTls;
  o.credentials = Credentials{"alice", "s3cret"};
  o.mechanisms = {Mechanism::Login};
  o.envelope =
      Envelope{"alice@example.org", {"bob@example.org", "carol@example.org", "bob@example.org"}};
  o.message = message;
  return o;
}

}  // namespace

TEST(SmtpClient, SubmissionOverStartTlsWithLoginSendsEveryRecipientAndTheStuffedMessage) {
  const std::string message = "Subject: x\r\n\r\n.leading dot\r\nbare lf\nend";
  Client c(submission(message));
  Script s{{
      {"EHLO client.test\r\n", ehlo_plain},
      {"STARTTLS\r\n", "220 2.0.0 go ahead\r\n"},
      {"EHLO client.test\r\n", ehlo_tls},
      {"AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n"},
      {"YWxpY2U=\r\n", "334 UGFzc3dvcmQ6\r\n"},
      {"czNjcmV0\r\n", "235 2.7.0 ok\r\n"},
      {"MAIL FROM:<alice@example.org> SIZE=" + std::to_string(message.size()) + "\r\n",
       "250 ok\r\n"},
      {"RCPT TO:<bob@example.org>\r\n", "250 ok\r\n"},
      {"RCPT TO:<carol@example.org>\r\n", "250 ok\r\n"},
      {"RCPT TO:<bob@example.org>\r\n", "250 ok\r\n"},
      {"DATA\r\n", "354 go\r\n"},
      {"Subject: x\r\n\r\n..leading dot\r\nbare lf\r\nend\r\n.\r\n", "250 queued\r\n"},
      {"QUIT\r\n", "221 bye\r\n"},
  }};
  auto out = play(c, "220 mx.test ESMTP\r\n", s);
  EXPECT_FALSE(out.error) << *out.error;
  EXPECT_EQ(out.tls_starts, 1);
  EXPECT_EQ(c.mechanism(), Mechanism::Login);
}

TEST(SmtpClient, AuthPlainAndXoauth2CarryTheirInitialResponses) {
  struct Case {
    Mechanism mechanism;
    std::string command;
  };
  // base64("\0alice\0s3cret") and base64("user=alice\1auth=Bearer s3cret\1\1")
  for (const auto& c : {Case{Mechanism::Plain, "AUTH PLAIN AGFsaWNlAHMzY3JldA==\r\n"},
                        Case{Mechanism::XOAuth2,
                             "AUTH XOAUTH2 dXNlcj1hbGljZQFhdXRoPUJlYXJlciBzM2NyZXQBAQ==\r\n"}}) {
    ClientOptions o = submission("x");
    o.tls = TlsMode::Implicit;
    o.mechanisms = {c.mechanism};
    o.envelope.reset();
    o.noop = true;
    o.quit_must_succeed = true;
    Client client(o);
    Script s{{
        {"EHLO client.test\r\n", ehlo_tls},
        {c.command, "235 ok\r\n"},
        {"NOOP\r\n", "250 ok\r\n"},
        {"QUIT\r\n", "221 bye\r\n"},
    }};
    auto out = play(client, "220 hi\r\n", s);
    EXPECT_FALSE(out.error) << *out.error;
    EXPECT_TRUE(out.noop_accepted);
  }
}

TEST(SmtpClient, FirstPreferredMechanismTheServerOffersIsUsed) {
  ClientOptions o = submission("x");
  o.tls = TlsMode::Implicit;
  o.mechanisms = {Mechanism::Plain, Mechanism::Login};
  o.envelope.reset();
  Client c(o);
  Script s{{{"EHLO client.test\r\n", "250-mx\r\n250 AUTH=LOGIN\r\n"},
            {"AUTH LOGIN\r\n", "535 5.7.8 no\r\n"}}};
  auto out = play(c, "220 hi\r\n", s);
  EXPECT_EQ(out.error, "authentication failed: 535 5.7.8 no");
}

TEST(SmtpClient, NoOfferedMechanismFailsWithoutSendingCredentials) {
  ClientOptions o = submission("x");
  o.tls = TlsMode::Implicit;
  o.mechanisms = {Mechanism::Login};
  Client c(o);
  Script s{{{"EHLO client.test\r\n", "250-mx\r\n250 AUTH PLAIN\r\n"}}};
  auto out = play(c, "220 hi\r\n", s);
  ASSERT_TRUE(out.error);
  EXPECT_NE(out.error->find("No compatible authentication mechanism was found"), std::string::npos);
  EXPECT_EQ(out.written.find("alice"), std::string::npos);
}

TEST(SmtpClient, Xoauth2FailureChallengeIsAnsweredEmptyThenFails) {
  ClientOptions o = submission("x");
  o.tls = TlsMode::Implicit;
  o.mechanisms = {Mechanism::XOAuth2};
  Client c(o);
  Script s{{{"EHLO client.test\r\n", ehlo_tls},
            {"AUTH XOAUTH2 dXNlcj1hbGljZQFhdXRoPUJlYXJlciBzM2NyZXQBAQ==\r\n",
             "334 eyJzdGF0dXMiOiI0MDEifQ==\r\n"},
            {"\r\n", "535 5.7.8 Username and Password not accepted\r\n"}}};
  auto out = play(c, "220 hi\r\n", s);
  EXPECT_EQ(out.error, "authentication failed: 535 5.7.8 Username and Password not accepted");
}

TEST(SmtpClient, StartTlsIsRequiredWhenAsked) {
  Client c(submission("x"));
  Script s{{{"EHLO client.test\r\n", "250-mx\r\n250 AUTH LOGIN\r\n"}}};
  auto out = play(c, "220 hi\r\n", s);
  EXPECT_EQ(out.error, "SMTP server does not offer STARTTLS");
  EXPECT_EQ(out.kind, Client::FailureKind::StartTlsNotOffered);
  EXPECT_EQ(out.written, "EHLO client.test\r\n");
}

TEST(SmtpClient, OnlyAMissingStartTlsOfferIsReportedAsSuch) {
  // Failures around TLS that are not a missing offer keep the general kind,
  // whatever their text says.
  struct Case {
    const char* name;
    Script script;
  };
  const Case cases[] = {
      {"STARTTLS refused",
       {{{"EHLO client.test\r\n", ehlo_plain},
         {"STARTTLS\r\n", "454 4.7.0 TLS not available\r\n"}}}},
      {"bytes after the STARTTLS reply",
       {{{"EHLO client.test\r\n", ehlo_plain}, {"STARTTLS\r\n", "220 go\r\n250 x\r\n"}}}},
      {"EHLO refused", {{{"EHLO client.test\r\n", "554 5.7.1 STARTTLS policy: no service\r\n"}}}},
  };
  for (const auto& c : cases) {
    Client client(submission("x"));
    auto out = play(client, "220 hi\r\n", c.script);
    EXPECT_TRUE(out.error) << c.name;
    EXPECT_EQ(out.kind, Client::FailureKind::Other) << c.name;
  }
}

TEST(SmtpClient, BytesInjectedAfterTheStartTlsReplyAreRefusedNotReadAsReplies) {
  Client c(submission("x"));
  // A man in the middle appends a reply meant to be read after the handshake.
  Script s{{{"EHLO client.test\r\n", ehlo_plain},
            {"STARTTLS\r\n", "220 go ahead\r\n250-mx.test\r\n250 AUTH LOGIN\r\n"}}};
  auto out = play(c, "220 hi\r\n", s);
  EXPECT_EQ(out.tls_starts, 0);
  ASSERT_TRUE(out.error);
  EXPECT_NE(out.error->find("after the STARTTLS reply"), std::string::npos);
}

TEST(SmtpClient, CapabilitiesFromBeforeTlsAreForgotten) {
  // Before TLS the server claims LOGIN; over TLS it offers only PLAIN.
  Client c(submission("x"));
  Script s{{{"EHLO client.test\r\n", "250-mx\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n"},
            {"STARTTLS\r\n", "220 go\r\n"},
            {"EHLO client.test\r\n", "250-mx\r\n250 AUTH PLAIN\r\n"}}};
  auto out = play(c, "220 hi\r\n", s);
  ASSERT_TRUE(out.error);
  EXPECT_NE(out.error->find("No compatible authentication mechanism"), std::string::npos);
}

TEST(SmtpClient, AddressesThatAreNotPlainNeverReachTheWire) {
  for (std::string bad : {"bob@example.org\r\nRCPT TO:<eve@evil.test>", "Bob <bob@example.org>",
                          "bob@example.org\nDATA"}) {
    ClientOptions o = submission("x");
    o.tls = TlsMode::Implicit;
    o.envelope->recipients = {"ok@example.org", bad};
    Client c(o);
    Script s{{{"EHLO client.test\r\n", ehlo_tls},
              {"AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n"},
              {"YWxpY2U=\r\n", "334 UGFzc3dvcmQ6\r\n"},
              {"czNjcmV0\r\n", "235 ok\r\n"}}};
    auto out = play(c, "220 hi\r\n", s);
    ASSERT_TRUE(out.error);
    EXPECT_NE(out.error->find("invalid recipient address"), std::string::npos);
    EXPECT_EQ(out.written.find("MAIL FROM"), std::string::npos);
    EXPECT_EQ(out.written.find("evil"), std::string::npos);
  }
}

TEST(SmtpClient, RejectionsAtEachStageEndTheConversationWithTheServersText) {
  struct Case {
    std::string stage_reply;  // answer that rejects
    int turn;                 // after how many accepted turns
    std::string error;
  };
  const std::vector<std::pair<std::string, std::string>> happy = {
      {"EHLO client.test\r\n", ehlo_tls},
      {"AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n"},
      {"YWxpY2U=\r\n", "334 UGFzc3dvcmQ6\r\n"},
      {"czNjcmV0\r\n", "235 ok\r\n"},
      {"MAIL FROM:<alice@example.org> SIZE=1\r\n", "250 ok\r\n"},
      {"RCPT TO:<bob@example.org>\r\n", "250 ok\r\n"},
      {"RCPT TO:<carol@example.org>\r\n", "250 ok\r\n"},
      {"RCPT TO:<bob@example.org>\r\n", "250 ok\r\n"},
      {"DATA\r\n", "354 go\r\n"},
      {"x\r\n.\r\n", "250 ok\r\n"},
  };
  const std::vector<Case> cases = {
      {"554 5.7.1 go away\r\n", 0, "EHLO rejected: 554 5.7.1 go away"},
      {"535 5.7.8 bad\r\n", 3, "authentication failed: 535 5.7.8 bad"},
      {"550 5.7.1 not yours\r\n", 4, "sender rejected: 550 5.7.1 not yours"},
      {"550 5.1.1 unknown\r\n", 6, "recipient carol@example.org rejected: 550 5.1.1 unknown"},
      {"451 4.3.0 later\r\n", 8, "DATA rejected: 451 4.3.0 later"},
      {"552 5.3.4 too big\r\n", 9, "message rejected: 552 5.3.4 too big"},
  };
  for (const auto& k : cases) {
    ClientOptions o = submission("x");
    o.tls = TlsMode::Implicit;
    Client c(o);
    Script s;
    for (int i = 0; i < k.turn; ++i) s.turns.push_back(happy[static_cast<std::size_t>(i)]);
    s.turns.push_back({happy[static_cast<std::size_t>(k.turn)].first, k.stage_reply});
    auto out = play(c, "220 hi\r\n", s);
    EXPECT_EQ(out.error, k.error);
  }
}

TEST(SmtpClient, GreetingRefusalAndEarlyHangUpFail) {
  {
    Client c(submission("x"));
    auto out = play(c, "554 no service\r\n", {});
    EXPECT_EQ(out.error, "SMTP server refused the session: 554 no service");
  }
  {
    Client c(submission("x"));
    auto out = play(c, "", {}, /*close_when_out=*/true);
    EXPECT_EQ(out.error, "connection closed by the SMTP server");
  }
}

TEST(SmtpClient, RefusedNoopMarksTheSessionAndQuitErrorsFailOnlyWhenAsked) {
  ClientOptions o = submission("x");
  o.tls = TlsMode::Implicit;
  o.envelope.reset();
  o.noop = true;
  o.quit_must_succeed = true;
  {
    Client c(o);
    Script s{{{"EHLO client.test\r\n", ehlo_tls},
              {"AUTH LOGIN\r\n", "334 x\r\n"},
              {"YWxpY2U=\r\n", "334 y\r\n"},
              {"czNjcmV0\r\n", "235 ok\r\n"},
              {"NOOP\r\n", "502 no\r\n"},
              {"QUIT\r\n", "221 bye\r\n"}}};
    auto out = play(c, "220 hi\r\n", s);
    EXPECT_FALSE(out.error);
    EXPECT_FALSE(out.noop_accepted);
  }
  {
    Client c(o);
    Script s{{{"EHLO client.test\r\n", ehlo_tls},
              {"AUTH LOGIN\r\n", "334 x\r\n"},
              {"YWxpY2U=\r\n", "334 y\r\n"},
              {"czNjcmV0\r\n", "235 ok\r\n"},
              {"NOOP\r\n", "250 ok\r\n"},
              {"QUIT\r\n", "500 what\r\n"}}};
    auto out = play(c, "220 hi\r\n", s);
    EXPECT_EQ(out.error, "QUIT failed: 500 what");
  }
}

TEST(SmtpClient, MessageOverTheAdvertisedSizeIsNotSent) {
  ClientOptions o = submission(std::string(10001, 'a'));
  o.tls = TlsMode::Implicit;
  Client c(o);
  Script s{{{"EHLO client.test\r\n", ehlo_tls},
            {"AUTH LOGIN\r\n", "334 x\r\n"},
            {"YWxpY2U=\r\n", "334 y\r\n"},
            {"czNjcmV0\r\n", "235 ok\r\n"}}};
  auto out = play(c, "220 hi\r\n", s);
  ASSERT_TRUE(out.error);
  EXPECT_NE(out.error->find("larger than the SMTP server accepts"), std::string::npos);
}

TEST(DataEncoding, NormalisesLineEndsAndStuffsDotsAcrossPieceBoundaries) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"", ".\r\n"},
      {"a", "a\r\n.\r\n"},
      {"a\r\n", "a\r\n.\r\n"},
      {".", "..\r\n.\r\n"},
      {"a\n.b\r.c\r\n..d", "a\r\n..b\r\n..c\r\n...d\r\n.\r\n"},
      {"\r\n.\r\n", "\r\n..\r\n.\r\n"},
      {"x\r\r\ny", "x\r\n\r\ny\r\n.\r\n"},
      {"a.b\r\n", "a.b\r\n.\r\n"},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(encode_data(k.in), k.out) << k.in;
    // The same result whatever the pieces.
    for (std::size_t split = 0; split <= k.in.size(); ++split) {
      DataEncoder e;
      std::string out;
      e.encode(std::string_view(k.in).substr(0, split), out);
      e.encode(std::string_view(k.in).substr(split), out);
      e.finish(out);
      EXPECT_EQ(out, k.out) << k.in << " split " << split;
    }
  }
}

TEST(SmtpClient, LargeMessagesAreSentInPiecesThatAddUpToTheEncodedMessage) {
  std::string message;
  for (int i = 0; i < 40000; ++i) message += ".line " + std::to_string(i) + "\r\n";
  ClientOptions o = submission(message);
  o.tls = TlsMode::Implicit;
  o.envelope->recipients = {"bob@example.org"};
  Client c(o);
  Script s{{{"EHLO client.test\r\n", "250-mx\r\n250 AUTH LOGIN\r\n"},
            {"AUTH LOGIN\r\n", "334 x\r\n"},
            {"YWxpY2U=\r\n", "334 y\r\n"},
            {"czNjcmV0\r\n", "235 ok\r\n"},
            {"MAIL FROM:<alice@example.org>\r\n", "250 ok\r\n"},
            {"RCPT TO:<bob@example.org>\r\n", "250 ok\r\n"},
            {"DATA\r\n", "354 go\r\n"},
            {encode_data(message), "250 ok\r\n"},
            {"QUIT\r\n", "221 bye\r\n"}}};
  auto out = play(c, "220 hi\r\n", s);
  EXPECT_FALSE(out.error);
  EXPECT_EQ(c.data_bytes_written(), encode_data(message).size());
}
