// Send through the engine's worker: the live backend builds and submits, the
// offline backend builds and reports the size.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "fixture.h"
#include "smtp_server.h"

using namespace mail;

namespace {

std::vector<EngineResult> run(EngineHandle& engine, EngineRequest request) {
  const RequestId id = request.id();
  EXPECT_TRUE(engine.submit(std::move(request)));
  std::vector<EngineResult> out;
  while (auto r = engine.wait()) {
    const bool done = std::holds_alternative<EngineResult::Completed>(r->value) && r->id() == id;
    out.push_back(std::move(*r));
    if (done) break;
  }
  return out;
}

}  // namespace

TEST(EngineSend, LiveBackendAnswersSentWithTheSizeTheServerReceived) {
  auto server = testsupport::SmtpServer::start({.auth = "LOGIN"});
  ASSERT_TRUE(server) << server.error();
  smtptest::trust((*server)->ca_file());
  EngineHandle engine = start();
  ASSERT_TRUE(engine.is_live());
  DraftData d;
  d.to = "bob@example.net";
  d.bcc = "erin@example.net";
  d.subject = "through the worker";
  d.body = "hello";
  const RequestId id = new_request_id();
  auto results =
      run(engine, EngineRequest::Send{smtptest::account((*server)->starttls_port()), d, id});
  ASSERT_EQ(results.size(), 2u);
  auto* sent = std::get_if<EngineResult::Sent>(&results[0].value);
  ASSERT_NE(sent, nullptr) << (std::holds_alternative<EngineResult::Failed>(results[0].value)
                                   ? std::get<EngineResult::Failed>(results[0].value).message
                                   : std::string(result_name(results[0])));
  auto messages = (*server)->messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(sent->bytes, messages[0].data.size());
  EXPECT_EQ(messages[0].rcpt_tos,
            (std::vector<std::string>{"bob@example.net", "erin@example.net"}));
  EXPECT_EQ(messages[0].data.find("erin@"), std::string::npos);
  auto* completed = std::get_if<EngineResult::Completed>(&results[1].value);
  ASSERT_NE(completed, nullptr);
  EXPECT_EQ(completed->kind, RequestKind::Send);

  // A failure is Failed "smtp" with the fixed sentence.
  AccountSettings wrong = smtptest::account((*server)->starttls_port(), "nope");
  results = run(engine, EngineRequest::Send{wrong, d, new_request_id()});
  auto* failed = std::get_if<EngineResult::Failed>(&results[0].value);
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->operation, "smtp");
  EXPECT_EQ(failed->message, "authentication failed — check the username and password");
}

TEST(EngineSend, PasswordAccountSendsToAServerThatOffersOnlyPlain) {
  auto server = testsupport::SmtpServer::start({.auth = "PLAIN"});
  ASSERT_TRUE(server) << server.error();
  smtptest::trust((*server)->ca_file());
  EngineHandle engine = start();
  ASSERT_TRUE(engine.is_live());
  DraftData d;
  d.to = "bob@example.net";
  d.subject = "plain only";
  d.body = "hello";
  auto results = run(engine, EngineRequest::Send{smtptest::account((*server)->starttls_port()), d,
                                                 new_request_id()});
  ASSERT_FALSE(results.empty());
  auto* sent = std::get_if<EngineResult::Sent>(&results[0].value);
  ASSERT_NE(sent, nullptr) << (std::holds_alternative<EngineResult::Failed>(results[0].value)
                                   ? std::get<EngineResult::Failed>(results[0].value).message
                                   : std::string(result_name(results[0])));
  auto messages = (*server)->messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].mechanism, "PLAIN");
  EXPECT_EQ(sent->bytes, messages[0].data.size());
}

TEST(EngineSend, OfflineBackendBuildsTheMessageAndReportsItsSize) {
  EngineHandle engine = start_with(std::make_unique<OfflineBackend>());
  DraftData d;
  d.to = "bob@example.net";
  d.subject = "offline";
  d.body = "hello";
  auto results = run(engine, EngineRequest::Send{smtptest::account(587), d, new_request_id()});
  ASSERT_EQ(results.size(), 2u);
  auto* failed = std::get_if<EngineResult::Failed>(&results[0].value);
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->operation, "send");
  EXPECT_TRUE(failed->message.starts_with("SMTP is offline; validated ")) << failed->message;
  EXPECT_TRUE(failed->message.ends_with(" MIME bytes locally but did not send")) << failed->message;

  d.attachments.push_back(
      {"mail-attachment:blake3:" + std::string(64, '0'), "gone.pdf", "application/pdf", 10});
  results = run(engine, EngineRequest::Send{smtptest::account(587), d, new_request_id()});
  failed = std::get_if<EngineResult::Failed>(&results[0].value);
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->message, "attachment gone.pdf is not available on this device yet");
}
