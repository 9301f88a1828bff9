// The engine against a real Dovecot over TLS, started per test on its own port.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "dovecot_server.h"
#include "engine/engine.h"
#include "engine/imap_ops.h"
#include "engine/live.h"
#include "run_sync.h"
#include "tls/client_context.h"
#include "tls/tls.h"

using namespace mail;

namespace {

std::string message(std::string_view subject, std::string_view message_id) {
  return "From: Alice Example <alice@example.com>\r\nTo: bob@example.com\r\nSubject: " +
         std::string(subject) + "\r\nMessage-ID: <" + std::string(message_id) +
         ">\r\nDate: Tue, 02 Jan 2024 10:00:00 +0000\r\nContent-Type: text/plain; "
         "charset=utf-8\r\n\r\nHello " +
         std::string(subject) + "\r\n";
}

// A second, independent connection for putting mail on the server and
// looking at it afterwards.
class Probe {
 public:
  Probe(const testsupport::DovecotServer& server) {
    auto tls = tls::make_client_context();
    if (!tls) throw std::runtime_error(tls.error());
    connector_ = make_tls_connector(io_.get_executor(), *tls, EngineLimits{});
    AccountSettings a;
    a.imap_host = "127.0.0.1";
    a.imap_port = server.port();
    auto s = run_sync(io_, connect_and_log_in(
                               *connector_, a,
                               Credential{Credential::Password{server.user(), server.password()}}));
    if (!s) throw std::runtime_error(s.error());
    session_ = std::move(*s);
  }

  void append(std::string_view mailbox, std::string_view flags, std::string_view date,
              const std::string& body) {
    auto cmd = session_->commands().build(
        "APPEND", {imap::str(mailbox), imap::raw(flags), imap::str(date), imap::str(body)});
    ASSERT_TRUE(cmd);
    auto out = run_sync(io_, session_->run_ok(std::move(*cmd)));
    ASSERT_TRUE(out) << out.error();
  }

  void select(std::string_view mailbox) {
    auto out = run_sync(
        io_, session_->run_ok(*session_->commands().build("EXAMINE", {imap::str(mailbox)})));
    ASSERT_TRUE(out) << out.error();
  }

  // Flags of each message with this Message-ID in the examined mailbox.
  std::vector<std::vector<std::string>> flags_of(std::string_view message_id) {
    auto search = session_->commands().uid_search_message_id(message_id);
    auto uids = run_sync(io_, session_->uid_search(std::move(*search)));
    if (!uids) throw std::runtime_error(uids.error());
    std::vector<std::vector<std::string>> out;
    for (auto uid : *uids) {
      auto f = run_sync(io_, session_->uid_fetch(std::to_string(uid), "(FLAGS)"));
      if (!f || f->empty() || !f->front().flags) throw std::runtime_error("no flags");
      out.push_back(*f->front().flags);
    }
    return out;
  }

 private:
  asio::io_context io_;
  std::unique_ptr<Connector> connector_;
  std::unique_ptr<Session> session_;
};

class DovecotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto s = testsupport::DovecotServer::start();
    ASSERT_TRUE(s) << s.error();
    server = std::move(*s);
    setenv(tls::extra_ca_env, server->ca_file().c_str(), 1);
  }
  void TearDown() override { unsetenv(tls::extra_ca_env); }

  AccountSettings account(std::string password = {}) const {
    AccountSettings a;
    a.display_name = "Bob";
    a.email = "bob@example.com";
    a.imap_host = "127.0.0.1";
    a.imap_port = server->port();
    a.username = server->user();
    a.password = password.empty() ? server->password() : password;
    return a;
  }

  EngineHandle engine(EngineLimits limits = {}) {
    auto live = make_live_backend(limits);
    if (!live) throw std::runtime_error(live.error());
    return start_with(std::move(*live));
  }

  // Runs one request and returns its answers up to Completed.
  std::vector<EngineResult> ask(EngineHandle& e, EngineRequest request) {
    const RequestId id = request.id();
    EXPECT_TRUE(e.submit(std::move(request)));
    std::vector<EngineResult> out;
    while (auto r = e.wait()) {
      out.push_back(std::move(*r));
      if (std::holds_alternative<EngineResult::Completed>(out.back().value) &&
          out.back().id() == id)
        break;
    }
    return out;
  }

  static std::string failure(const std::vector<EngineResult>& results) {
    for (const auto& r : results)
      if (auto* f = std::get_if<EngineResult::Failed>(&r.value))
        return f->operation + ": " + f->message;
    return {};
  }

  std::unique_ptr<testsupport::DovecotServer> server;
};

MessageRecord record(FolderRole folder, std::string message_id) {
  MessageRecord r;
  r.folder = folder;
  r.message_id = std::move(message_id);
  return r;
}

}  // namespace

TEST_F(DovecotTest, ConnectListsTheSixMailboxes) {
  auto e = engine();
  auto results = ask(e, EngineRequest::Connect{account(), new_request_id()});
  ASSERT_EQ(results.size(), 3u) << failure(results);
  EXPECT_EQ(std::get<EngineResult::Connected>(results[0].value).email, "bob@example.com");
  auto& listed = std::get<EngineResult::FoldersListed>(results[1].value);
  std::set<std::string> names(listed.folders.begin(), listed.folders.end());
  EXPECT_EQ(names, (std::set<std::string>{"INBOX", "Sent", "Drafts", "Archive", "Trash", "Junk"}));
  EXPECT_TRUE(std::holds_alternative<EngineResult::Completed>(results[2].value));
}

TEST_F(DovecotTest, RefreshReturnsTheRecordsOfAppendedMessages) {
  {
    Probe probe(*server);
    probe.append("INBOX", "(\\Seen)", "02-Jan-2024 10:00:00 +0000",
                 message("First", "first@example.com"));
    probe.append("INBOX", "(\\Flagged)", "03-Jan-2024 12:30:00 +0200",
                 message("Second", "second@example.com"));
    probe.append("INBOX", "()", "04-Jan-2024 08:00:00 +0000",
                 message("Third", "third@example.com"));
  }
  auto e = engine();
  auto results = ask(e, EngineRequest::Refresh{account(), new_request_id(), FolderRole::Inbox});
  ASSERT_EQ(results.size(), 2u) << failure(results);
  auto& refreshed = std::get<EngineResult::Refreshed>(results[0].value);
  EXPECT_EQ(refreshed.folder, FolderRole::Inbox);
  ASSERT_EQ(refreshed.messages.size(), 3u);
  std::map<std::string, const MessageRecord*> by_subject;
  for (const auto& m : refreshed.messages) by_subject[m.subject] = &m;
  ASSERT_TRUE(by_subject.count("First") && by_subject.count("Second") && by_subject.count("Third"));
  EXPECT_TRUE(by_subject["First"]->read);
  EXPECT_FALSE(by_subject["First"]->starred);
  EXPECT_EQ(by_subject["First"]->date, 1704189600 / 60);
  EXPECT_FALSE(by_subject["Second"]->read);
  EXPECT_TRUE(by_subject["Second"]->starred);
  EXPECT_EQ(by_subject["Second"]->date, (1704285000 - 7200) / 60);
  EXPECT_EQ(by_subject["Third"]->from.email, "alice@example.com");
  EXPECT_EQ(by_subject["Third"]->message_id, "third@example.com");

  auto starred = ask(e, EngineRequest::Refresh{account(), new_request_id(), FolderRole::Starred});
  auto& s = std::get<EngineResult::Refreshed>(starred[0].value);
  ASSERT_EQ(s.messages.size(), 1u);
  EXPECT_EQ(s.messages[0].subject, "Second");
  EXPECT_EQ(s.messages[0].folder, FolderRole::Starred);

  // Fetching with BODY.PEEK[] left \Seen alone.
  Probe probe(*server);
  probe.select("INBOX");
  EXPECT_EQ(probe.flags_of("third@example.com"), (std::vector<std::vector<std::string>>{{}}));
}

TEST_F(DovecotTest, RefreshOfAMailboxOfTwentyThousandMessagesReturnsTheFiftyHighest) {
  // The answer to UID SEARCH ALL lists 20,000 UIDs on one line of 109 KiB.
  constexpr int count = 20'000;
  {
    // Written straight into the user's maildir before Dovecot has seen it,
    // owned like the folder Dovecot made for mail; it indexes them at SELECT.
    namespace fs = std::filesystem;
    const fs::path root = fs::path(server->dir()) / "mail";
    const fs::path inbox = root / server->user();
    struct stat owner {};
    ASSERT_EQ(::stat(root.c_str(), &owner), 0);
    for (const char* sub : {"", "cur", "new", "tmp"}) {
      fs::create_directories(inbox / sub);
      ASSERT_EQ(::chown((inbox / sub).c_str(), owner.st_uid, owner.st_gid), 0);
    }
    for (int n = 1; n <= count; ++n) {
      // Zero-padded, so that name order and number order agree.
      std::string name = std::to_string(n);
      name.insert(0, 10 - name.size(), '0');
      const fs::path file = inbox / "new" / (name + ".zarn.test");
      std::ofstream(file, std::ios::binary)
          << "From: alice@example.com\r\nSubject: Message " << n << "\r\nMessage-ID: <" << n
          << "@example.com>\r\n\r\nHi\r\n";
      ASSERT_EQ(::chown(file.c_str(), owner.st_uid, owner.st_gid), 0);
    }
  }
  auto e = engine();
  auto results = ask(e, EngineRequest::Refresh{account(), new_request_id(), FolderRole::Inbox});
  ASSERT_EQ(results.size(), 2u) << failure(results);
  auto& messages = std::get<EngineResult::Refreshed>(results[0].value).messages;
  std::set<std::string> subjects, expected;
  for (const auto& m : messages) subjects.insert(m.subject);
  for (int n = count; n > count - 50; --n) expected.insert("Message " + std::to_string(n));
  EXPECT_EQ(messages.size(), 50u);
  EXPECT_EQ(subjects, expected);
}

TEST_F(DovecotTest, FlagsMovesAndPurgesReachTheServer) {
  {
    Probe probe(*server);
    probe.append("INBOX", "()", "02-Jan-2024 10:00:00 +0000", message("Keep", "keep@example.com"));
    probe.append("INBOX", "(\\Flagged)", "02-Jan-2024 10:00:00 +0000",
                 message("Subject", "m@example.com"));
  }
  auto e = engine();
  MessageRecord m = record(FolderRole::Inbox, "m@example.com");
  m.read = true;
  m.starred = false;
  auto flagged = ask(e, EngineRequest::SyncFlags{account(), m, new_request_id()});
  ASSERT_EQ(flagged.size(), 1u) << failure(flagged);  // only Completed
  {
    Probe probe(*server);
    probe.select("INBOX");
    EXPECT_EQ(probe.flags_of("m@example.com"), (std::vector<std::vector<std::string>>{{"\\Seen"}}));
  }

  auto moved = ask(e, EngineRequest::Move{account(), m, FolderRole::Archive, new_request_id()});
  ASSERT_EQ(moved.size(), 1u) << failure(moved);
  {
    Probe probe(*server);
    probe.select("INBOX");
    EXPECT_TRUE(probe.flags_of("m@example.com").empty());
    EXPECT_EQ(probe.flags_of("keep@example.com").size(), 1u);
    probe.select("Archive");
    EXPECT_EQ(probe.flags_of("m@example.com").size(), 1u);
  }

  m.folder = FolderRole::Archive;
  ASSERT_EQ(ask(e, EngineRequest::Move{account(), m, FolderRole::Trash, new_request_id()}).size(),
            1u);
  {
    // Another message in Trash already marked \Deleted must survive the purge.
    Probe probe(*server);
    probe.append("Trash", "(\\Deleted)", "02-Jan-2024 10:00:00 +0000",
                 message("Bystander", "other@example.com"));
  }
  m.folder = FolderRole::Trash;
  auto purged = ask(e, EngineRequest::Purge{account(), m, new_request_id()});
  ASSERT_EQ(purged.size(), 1u) << failure(purged);
  {
    Probe probe(*server);
    probe.select("Trash");
    EXPECT_TRUE(probe.flags_of("m@example.com").empty());
    EXPECT_EQ(probe.flags_of("other@example.com").size(), 1u);
  }

  auto again = ask(e, EngineRequest::Purge{account(), m, new_request_id()});
  EXPECT_EQ(failure(again), "purge: message not found on the server");
}

TEST_F(DovecotTest, ConnectionFailuresReadAsTheirSentences) {
  auto e = engine(EngineLimits{std::chrono::milliseconds(3000), std::chrono::milliseconds(1000)});
  EXPECT_EQ(failure(ask(e, EngineRequest::Connect{account("wrong password"), new_request_id()})),
            "connect: authentication failed — check the username and password");

  AccountSettings closed = account();
  closed.imap_port = testsupport::closed_port();
  EXPECT_EQ(failure(ask(e, EngineRequest::Connect{closed, new_request_id()})),
            "connect: connection refused — check the host and port");

  testsupport::SilentServer silent;
  AccountSettings quiet = account();
  quiet.imap_port = silent.port();
  EXPECT_EQ(failure(ask(e, EngineRequest::Refresh{quiet, new_request_id(), FolderRole::Inbox})),
            "fetch: connection timed out — the server didn't respond");

  // Without the test CA the server's certificate is not trusted.
  unsetenv(tls::extra_ca_env);
  auto untrusting = engine();
  EXPECT_EQ(failure(ask(untrusting, EngineRequest::Connect{account(), new_request_id()})),
            "connect: TLS/certificate error — the server's certificate wasn't trusted");
}

TEST_F(DovecotTest, SignsInWithAnAccessToken) {
  asio::io_context io;
  auto tls = tls::make_client_context();
  ASSERT_TRUE(tls);
  auto connector = make_tls_connector(io.get_executor(), *tls, EngineLimits{});
  auto names =
      run_sync(io, list_folders(*connector, account(),
                                Credential{Credential::OAuth{server->user(), server->token()}}));
  ASSERT_TRUE(names) << names.error();
  EXPECT_EQ(names->size(), 6u);
  auto refused = run_sync(io, list_folders(*connector, account(),
                                           Credential{Credential::OAuth{server->user(), "stale"}}));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), "authentication failed — check the username and password");
}

TEST_F(DovecotTest, AHostileMessageIdCannotInjectACommand) {
  {
    Probe probe(*server);
    probe.append("INBOX", "()", "02-Jan-2024 10:00:00 +0000",
                 message("Plain", "plain@example.com"));
  }
  auto e = engine();
  // Were the line break sent as is, the server would run "a9 DELETE Archive".
  MessageRecord hostile =
      record(FolderRole::Inbox, "plain@example.com\r\na9 DELETE Archive\r\na10 NOOP");
  EXPECT_EQ(failure(ask(e, EngineRequest::SyncFlags{account(), hostile, new_request_id()})),
            "flag: message not found on the server");
  MessageRecord backslash = record(FolderRole::Inbox, "plain@example.com\\\"");
  EXPECT_EQ(failure(ask(e, EngineRequest::SyncFlags{account(), backslash, new_request_id()})),
            "flag: message not found on the server");
  auto listed = ask(e, EngineRequest::Connect{account(), new_request_id()});
  ASSERT_EQ(listed.size(), 3u) << failure(listed);
  auto& folders = std::get<EngineResult::FoldersListed>(listed[1].value).folders;
  EXPECT_NE(std::find(folders.begin(), folders.end(), "Archive"), folders.end());
}
