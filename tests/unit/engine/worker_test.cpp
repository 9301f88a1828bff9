#include <gtest/gtest.h>
#include <pthread.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/engine.h"

using namespace mail;

namespace {

AccountSettings account(std::string password = "pw") {
  AccountSettings a;
  a.email = "bob@example.com";
  a.imap_host = "127.0.0.1";
  a.imap_port = 1;  // nothing listens; a request that connects fails differently
  a.password = std::move(password);
  return a;
}

MessageRecord message() {
  MessageRecord r;
  r.message_id = "m@example.com";
  return r;
}

// Results up to and including the Completed of `id`.
std::vector<EngineResult> answers(EngineHandle& engine, RequestId id) {
  std::vector<EngineResult> out;
  while (auto r = engine.wait()) {
    out.push_back(std::move(*r));
    if (auto* c = std::get_if<EngineResult::Completed>(&out.back().value); c && c->id == id) break;
  }
  return out;
}

const EngineResult::Failed& failed(const std::vector<EngineResult>& results) {
  for (const auto& r : results)
    if (auto* f = std::get_if<EngineResult::Failed>(&r.value)) return *f;
  throw std::runtime_error("no Failed result");
}

}  // namespace

TEST(RequestIds, AreRandomVersion4Uuids) {
  RequestId a = new_request_id(), b = new_request_id();
  EXPECT_NE(a, b);
  EXPECT_EQ(a.bytes[6] >> 4, 4);
  EXPECT_EQ(a.bytes[8] >> 6, 2);
}

TEST(RequestKinds, AreTheVariantPositions) {
  EXPECT_EQ(EngineRequest(EngineRequest::Move{}).kind(), RequestKind::Move);
  EXPECT_EQ(static_cast<int>(EngineRequest(EngineRequest::OAuthSignIn{}).kind()), 6);
  EXPECT_EQ(EngineResult(EngineResult::Completed{}).tag(), 6u);
  EXPECT_EQ(EngineResult(EngineResult::Connected{}).tag(), 0u);
}

TEST(OfflineBackend, AnswersEveryRequestWithItsTextThenCompleted) {
  EngineHandle engine = start_with(std::make_unique<OfflineBackend>());
  EXPECT_FALSE(engine.is_live());
  struct Case {
    EngineRequest request;
    std::string operation, message;
  };
  const RequestId id = new_request_id();
  std::vector<Case> cases;
  cases.push_back(
      {EngineRequest::Connect{account(), id}, "offline",
       "IMAP is unavailable for bob@example.com; rebuild with the live mail backend to connect"});
  cases.push_back({EngineRequest::Refresh{account(), id, FolderRole::Archive}, "offline",
                   "Cannot refresh Archive for bob@example.com while IMAP is offline"});
  cases.push_back({EngineRequest::SyncFlags{account(), message(), id}, "offline",
                   "Local change saved; it was not synchronized to IMAP"});
  cases.push_back({EngineRequest::Move{account(), message(), FolderRole::Trash, id}, "offline",
                   "Local change saved; it was not synchronized to IMAP"});
  cases.push_back({EngineRequest::Purge{account(), message(), id}, "offline",
                   "Local change saved; it was not synchronized to IMAP"});
  cases.push_back(
      {EngineRequest::OAuthSignIn{"x@gmail.com", "x@gmail.com", OAuthProvider::Google, id}, "oauth",
       "OAuth sign-in for x@gmail.com requires the live build"});
  for (auto& c : cases) {
    const RequestKind kind = c.request.kind();
    ASSERT_TRUE(engine.submit(c.request));
    auto results = answers(engine, id);
    ASSERT_EQ(results.size(), 2u);
    auto& f = std::get<EngineResult::Failed>(results[0].value);
    EXPECT_EQ(f.kind, kind);
    EXPECT_EQ(f.id, id);
    EXPECT_EQ(f.operation, c.operation);
    EXPECT_EQ(f.message, c.message);
    auto& done = std::get<EngineResult::Completed>(results[1].value);
    EXPECT_EQ(done.kind, kind);
  }
}

namespace {
// Records the order in which requests are handled; the first one is slow.
class SlowBackend final : public Backend {
 public:
  std::atomic<int> active{0};
  std::atomic<bool> overlapped{false};
  void handle(EngineRequest request, const ResultSender& results) override {
    if (++active > 1) overlapped = true;
    auto& r = std::get<EngineRequest::Refresh>(request.value);
    if (r.folder == FolderRole::Inbox) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (r.folder == FolderRole::Junk) {
      --active;
      throw std::runtime_error("backend bug");
    }
    results.send(EngineResult::Refreshed{r.folder, r.id, r.account.email, {}});
    --active;
  }
  bool is_live() const override { return false; }
};
}  // namespace

TEST(Worker, HandlesRequestsOneAtATimeInOrderAndSurvivesErrors) {
  auto backend = std::make_unique<SlowBackend>();
  SlowBackend* b = backend.get();
  EngineHandle engine = start_with(std::move(backend));
  const RequestId first = new_request_id(), broken = new_request_id(), second = new_request_id();
  ASSERT_TRUE(engine.submit(EngineRequest::Refresh{account(), first, FolderRole::Inbox}));
  ASSERT_TRUE(engine.submit(EngineRequest::Refresh{account(), broken, FolderRole::Junk}));
  ASSERT_TRUE(engine.submit(EngineRequest::Refresh{account(), second, FolderRole::Sent}));
  auto results = answers(engine, second);
  ASSERT_EQ(results.size(), 6u);
  EXPECT_EQ(result_name(results[0]), "Refreshed");
  EXPECT_EQ(results[0].id(), first);
  EXPECT_EQ(result_name(results[1]), "Completed");
  EXPECT_EQ(results[1].id(), first);
  EXPECT_EQ(result_name(results[2]), "Failed");
  EXPECT_EQ(std::get<EngineResult::Failed>(results[2].value).operation, "fetch");
  EXPECT_EQ(std::get<EngineResult::Failed>(results[2].value).message, "backend bug");
  EXPECT_EQ(result_name(results[3]), "Completed");
  EXPECT_EQ(results[3].id(), broken);
  EXPECT_EQ(result_name(results[4]), "Refreshed");
  EXPECT_EQ(results[4].id(), second);
  EXPECT_EQ(result_name(results[5]), "Completed");
  EXPECT_FALSE(b->overlapped);
  EXPECT_TRUE(engine.drain().empty());
}

TEST(LiveBackend, AnEmptyPasswordFailsBeforeAnyConnection) {
  auto live = make_live_backend();
  ASSERT_TRUE(live) << live.error();
  EngineHandle engine = start_with(std::move(*live));
  EXPECT_TRUE(engine.is_live());
  const RequestId id = new_request_id();
  ASSERT_TRUE(engine.submit(EngineRequest::Connect{account(""), id}));
  auto results = answers(engine, id);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(failed(results).operation, "connect");
  EXPECT_EQ(failed(results).message, "no password set for this account");
}

TEST(LiveBackend, SignInNeedsTheProviderClientId) {
  unsetenv("ZARN_MAIL_MICROSOFT_CLIENT_ID");
  auto live = make_live_backend();
  ASSERT_TRUE(live) << live.error();
  EngineHandle engine = start_with(std::move(*live));

  const RequestId sign_in = new_request_id();
  ASSERT_TRUE(engine.submit(EngineRequest::OAuthSignIn{"x@outlook.com", "x@outlook.com",
                                                       OAuthProvider::Microsoft, sign_in}));
  auto results = answers(engine, sign_in);
  EXPECT_EQ(failed(results).operation, "oauth");
  EXPECT_EQ(failed(results).message, "set ZARN_MAIL_MICROSOFT_CLIENT_ID to sign in");
}

TEST(EngineHandle, SubmitFailsOnceTheWorkerIsGone) {
  auto [tx, rx] = make_channel<EngineRequest>();
  auto [rtx, rrx] = make_channel<EngineResult>();
  EngineHandle engine(std::move(tx), std::move(rrx), false);
  { auto gone = std::move(rx); }
  EXPECT_FALSE(engine.submit(EngineRequest::Connect{account(), new_request_id()}));
}

namespace {
// Notes the worker thread's name and when the worker lets go of it.
class WatchedBackend final : public Backend {
 public:
  WatchedBackend(std::shared_ptr<std::atomic<bool>> gone, std::shared_ptr<std::string> name)
      : gone_(std::move(gone)), name_(std::move(name)) {}
  ~WatchedBackend() override { *gone_ = true; }
  void handle(EngineRequest, const ResultSender&) override {
    char buf[32] = {};
    pthread_getname_np(pthread_self(), buf, sizeof buf);
    *name_ = buf;
  }
  bool is_live() const override { return false; }

 private:
  std::shared_ptr<std::atomic<bool>> gone_;
  std::shared_ptr<std::string> name_;
};
}  // namespace

TEST(Worker, RunsOnTheMailEngineThreadAndEndsWhenTheHandleIsDropped) {
  auto gone = std::make_shared<std::atomic<bool>>(false);
  auto name = std::make_shared<std::string>();
  {
    EngineHandle engine = start_with(std::make_unique<WatchedBackend>(gone, name));
    const RequestId id = new_request_id();
    ASSERT_TRUE(engine.submit(EngineRequest::Purge{account(), message(), id}));
    auto results = answers(engine, id);
    ASSERT_EQ(results.size(), 1u);  // a success: only Completed
    EXPECT_EQ(std::get<EngineResult::Completed>(results[0].value).kind, RequestKind::Purge);
    EXPECT_EQ(*name, "mail-engine");
    EXPECT_FALSE(*gone);
  }
  // The worker was joined, not left to finish on its own.
  EXPECT_TRUE(*gone);
}

namespace {
// Holds each request as a server that never answers would, until the engine
// is stopped.
class StuckBackend final : public Backend {
 public:
  explicit StuckBackend(std::shared_ptr<std::atomic<bool>> gone) : gone_(std::move(gone)) {}
  ~StuckBackend() override { *gone_ = true; }

  void handle(EngineRequest request, const ResultSender& results) override {
    std::unique_lock lock(mutex_);
    ++started_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return stopped_; });
    results.send(EngineResult::Failed{request.kind(), request.id(), "fetch",
                                      std::string(shutting_down_text)});
  }
  void stop() override {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }
  bool is_live() const override { return false; }

  // Waits until `n` requests were taken up.
  void wait_started(int n) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return started_ >= n; });
  }

 private:
  std::shared_ptr<std::atomic<bool>> gone_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int started_ = 0;
  bool stopped_ = false;
};
}  // namespace

TEST(EngineHandle, StopCancelsTheRequestInHandAndJoinsTheWorker) {
  auto gone = std::make_shared<std::atomic<bool>>(false);
  auto backend = std::make_unique<StuckBackend>(gone);
  StuckBackend* stuck = backend.get();
  EngineHandle engine = start_with(std::move(backend));
  const RequestId id = new_request_id();
  ASSERT_TRUE(engine.submit(EngineRequest::Refresh{account(), id, FolderRole::Inbox}));
  stuck->wait_started(1);

  engine.stop();
  EXPECT_TRUE(*gone);  // stop returned only after the worker had ended
  EXPECT_FALSE(engine.submit(EngineRequest::Refresh{account(), id, FolderRole::Inbox}));
  // What the worker answered before it ended is still there.
  std::vector<std::string> names;
  for (const auto& r : engine.drain()) names.emplace_back(result_name(r));
  EXPECT_EQ(names, (std::vector<std::string>{"Failed", "Completed"}));
  engine.stop();  // a second stop does nothing
}
