// The live engine against servers that answer without end: one that drips a
// byte at a time, one that floods untagged lines. Each request ends in a
// clear error within its limits, and stopping the engine ends a request that
// is stuck.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "dovecot_server.h"
#include "engine/engine.h"
#include "tls/tls.h"

using namespace mail;
using testsupport::StallingImapServer;

namespace {

class StallingServerTest : public ::testing::Test {
 protected:
  void start(StallingImapServer::Mode mode) {
    auto s = StallingImapServer::start(mode);
    ASSERT_TRUE(s) << s.error();
    server = std::move(*s);
    setenv(tls::extra_ca_env, server->ca_file().c_str(), 1);
  }
  void TearDown() override { unsetenv(tls::extra_ca_env); }

  AccountSettings account() const {
    AccountSettings a;
    a.email = "bob@example.com";
    a.imap_host = "127.0.0.1";
    a.imap_port = server->port();
    a.password = "pw";
    return a;
  }

  // Limits that let a test end in seconds; the server's stalling begins
  // after a log-in that takes a few hundred bytes.
  static EngineLimits small_limits() {
    EngineLimits limits;
    limits.connect = std::chrono::seconds(10);
    limits.response = std::chrono::seconds(10);
    limits.request = std::chrono::seconds(2);
    limits.min_rate = 1024;
    limits.session.command_bytes = 256 * 1024;
    return limits;
  }

  static EngineHandle engine(EngineLimits limits) {
    auto live = make_live_backend(limits);
    if (!live) throw std::runtime_error(live.error());
    return start_with(std::move(*live));
  }

  // The failure text of a Refresh, waiting at most `bound` for it.
  static std::string refresh_failure(EngineHandle& e, const AccountSettings& a,
                                     std::chrono::seconds bound) {
    const RequestId id = new_request_id();
    EXPECT_TRUE(e.submit(EngineRequest::Refresh{a, id, FolderRole::Inbox}));
    std::string failure = "no answer within the bound";
    const auto until = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < until) {
      for (const auto& r : e.drain()) {
        if (auto* f = std::get_if<EngineResult::Failed>(&r.value))
          failure = f->operation + ": " + f->message;
        if (std::holds_alternative<EngineResult::Completed>(r.value) && r.id() == id)
          return failure;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return failure;
  }

  std::unique_ptr<StallingImapServer> server;
};

}  // namespace

TEST_F(StallingServerTest, ADrippingServerMeetsTheRequestDeadline) {
  // A byte every 200 ms keeps each single wait short, but falls far behind
  // the rate the deadline asks for.
  start(StallingImapServer::Mode::Drip);
  auto e = engine(small_limits());
  EXPECT_EQ(refresh_failure(e, account(), std::chrono::seconds(60)),
            "fetch: connection timed out — the server didn't respond");
}

TEST_F(StallingServerTest, AFloodingServerMeetsTheByteLimit) {
  start(StallingImapServer::Mode::Flood);
  EngineLimits limits = small_limits();
  limits.request = std::chrono::seconds(30);  // the flood is fast: the byte limit ends it
  auto e = engine(limits);
  EXPECT_EQ(refresh_failure(e, account(), std::chrono::seconds(60)),
            "fetch: the server's answer to SELECT exceeded the limit of 256 KiB");
}

TEST_F(StallingServerTest, StoppingTheEngineEndsAStuckRequestAndJoinsTheWorker) {
  start(StallingImapServer::Mode::Drip);
  // Default limits: on its own the request would run for minutes.
  auto e = engine(EngineLimits{});
  const RequestId id = new_request_id();
  ASSERT_TRUE(e.submit(EngineRequest::Refresh{account(), id, FolderRole::Inbox}));
  std::this_thread::sleep_for(std::chrono::seconds(1));  // connected and stuck by now

  const auto before = std::chrono::steady_clock::now();
  e.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
  std::string failure;
  bool completed = false;
  for (const auto& r : e.drain()) {
    if (auto* f = std::get_if<EngineResult::Failed>(&r.value)) failure = f->message;
    completed = completed || std::holds_alternative<EngineResult::Completed>(r.value);
  }
  EXPECT_EQ(failure, shutting_down_text);
  EXPECT_TRUE(completed);
}
