// Flag, move and purge against a real Dovecot when another message's
// Message-ID contains the wanted one: Dovecot's HEADER search finds both, and
// only the message whose Message-ID is exactly the record's may change.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <map>

#include "dovecot_server.h"
#include "engine/imap_ops.h"
#include "engine/live.h"
#include "run_sync.h"
#include "tls/client_context.h"
#include "tls/tls.h"

using namespace mail;

namespace {

// The owner's message and a stranger's whose Message-ID the server's search
// for the owner's also finds. The stranger's arrives later, so it has the
// higher UID.
struct Pair {
  std::string name;
  std::string mine, strangers;  // Message-ID header values
  bool findable = true;         // false: the owner's message cannot be told apart on the server
};

const std::vector<Pair> pairs = {
    {"longer", "<123@one.test>", "<5123@one.test>"},
    {"prefixed", "<k7@two.test>", "<evil-k7@two.test>"},
    {"extended", "<m1@three.test>", "<m1@three.test.evil>"},
    {"other-case", "<zz@four.test>", "<ZZ@four.test>"},
    // The search leaves out the quotes, so it finds only the stranger's.
    {"quoted", "<\"q1\"@five.test>", "<q1@five.test>", false},
};

std::string error_of(const std::expected<void, std::string>& done) {
  return done ? std::string() : done.error();
}

std::string message(std::string_view subject, std::string_view message_id) {
  return "From: Alice <alice@example.com>\r\nTo: bob@example.com\r\nSubject: " +
         std::string(subject) + "\r\nMessage-ID: " + std::string(message_id) +
         "\r\nDate: Tue, 02 Jan 2024 10:00:00 +0000\r\n\r\nHello\r\n";
}

class MessageIdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto s = testsupport::DovecotServer::start();
    ASSERT_TRUE(s) << s.error();
    server = std::move(*s);
    setenv(tls::extra_ca_env, server->ca_file().c_str(), 1);
    auto tls = tls::make_client_context();
    ASSERT_TRUE(tls) << tls.error();
    connector = make_tls_connector(io.get_executor(), *tls, EngineLimits{});
  }
  void TearDown() override { unsetenv(tls::extra_ca_env); }

  AccountSettings account() const {
    AccountSettings a;
    a.imap_host = "127.0.0.1";
    a.imap_port = server->port();
    a.username = server->user();
    return a;
  }
  Credential credential() const {
    return Credential{Credential::Password{server->user(), server->password()}};
  }

  std::unique_ptr<Session> log_in() {
    auto s = run_sync(io, connect_and_log_in(*connector, account(), credential()));
    if (!s) throw std::runtime_error(s.error());
    return std::move(*s);
  }

  // Every pair into `mailbox`: "mine <name>", then "theirs <name>".
  void append_pairs(std::string_view mailbox) {
    auto s = log_in();
    for (const Pair& p : pairs)
      for (auto [who, id] : {std::pair{"mine ", p.mine}, std::pair{"theirs ", p.strangers}}) {
        auto cmd = s->commands().build(
            "APPEND", {imap::str(mailbox), imap::raw("()"), imap::str(message(who + p.name, id))});
        ASSERT_TRUE(cmd);
        auto out = run_sync(io, s->run_ok(std::move(*cmd)));
        ASSERT_TRUE(out) << out.error();
      }
  }

  // The records of `mailbox` as a refresh reads them, by subject.
  std::map<std::string, MessageRecord> refresh(FolderRole role) {
    auto records = run_sync(io, fetch_folder(*connector, account(), credential(), role, 0));
    if (!records) throw std::runtime_error(records.error());
    std::map<std::string, MessageRecord> out;
    for (auto& r : *records) out.emplace(r.subject, std::move(r));
    return out;
  }

  // Subject → flags of every message in `mailbox`, \Deleted ones included.
  std::map<std::string, std::vector<std::string>> contents(std::string_view mailbox) {
    auto s = log_in();
    auto examined = run_sync(io, s->run_ok(*s->commands().build("EXAMINE", {imap::str(mailbox)})));
    if (!examined) throw std::runtime_error(examined.error());
    auto all = run_sync(io, s->uid_search(s->commands().uid_search("ALL")));
    if (!all) throw std::runtime_error(all.error());
    std::map<std::string, std::vector<std::string>> out;
    if (all->empty()) return out;
    auto fetched = run_sync(io, s->uid_fetch("1:*", "(FLAGS BODY.PEEK[HEADER.FIELDS (SUBJECT)])"));
    if (!fetched) throw std::runtime_error(fetched.error());
    for (const imap::Fetch& f : *fetched) {
      if (f.bodies.empty() || !f.bodies.front().data || !f.flags) continue;
      std::string subject = *f.bodies.front().data;  // "Subject: …\r\n\r\n"
      subject = subject.substr(9, subject.find('\r') - 9);
      std::vector<std::string> flags = *f.flags;
      std::erase(flags, "\\Recent");
      std::sort(flags.begin(), flags.end());
      out.emplace(subject, flags);
    }
    return out;
  }

  asio::io_context io;
  std::unique_ptr<testsupport::DovecotServer> server;
  std::unique_ptr<Connector> connector;
};

using Flags = std::vector<std::string>;

TEST_F(MessageIdTest, PurgeRemovesTheOwnersMessageAndLeavesTheLookalikeIntact) {
  append_pairs("Trash");
  auto records = refresh(FolderRole::Trash);
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.name);
    ASSERT_TRUE(records.contains("mine " + p.name));
    auto done =
        run_sync(io, purge_message(*connector, account(), credential(), records["mine " + p.name]));
    if (p.findable)
      EXPECT_TRUE(done) << done.error();
    else
      EXPECT_EQ(error_of(done), "message not found on the server");
  }
  auto left = contents("Trash");
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(left.contains("mine " + p.name), !p.findable);
    EXPECT_EQ(left["theirs " + p.name], Flags{});  // present, and not marked \Deleted
  }
}

TEST_F(MessageIdTest, FlagsChangeOnlyOnTheOwnersMessage) {
  append_pairs("INBOX");
  auto records = refresh(FolderRole::Inbox);
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.name);
    MessageRecord r = records["mine " + p.name];
    ASSERT_TRUE(r.message_id);
    r.read = true;
    r.starred = true;
    auto done = run_sync(io, sync_flags(*connector, account(), credential(), r));
    if (p.findable)
      EXPECT_TRUE(done) << done.error();
    else
      EXPECT_EQ(error_of(done), "message not found on the server");
  }
  auto now = contents("INBOX");
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.name);
    const Flags changed = {"\\Flagged", "\\Seen"};
    EXPECT_EQ(now["mine " + p.name], p.findable ? changed : Flags{});
    EXPECT_EQ(now["theirs " + p.name], Flags{});
  }
}

TEST_F(MessageIdTest, MoveTakesOnlyTheOwnersMessage) {
  append_pairs("INBOX");
  auto records = refresh(FolderRole::Inbox);
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.name);
    ASSERT_TRUE(records.contains("mine " + p.name));
    auto done = run_sync(io, move_message(*connector, account(), credential(),
                                          records["mine " + p.name], FolderRole::Archive));
    if (p.findable)
      EXPECT_TRUE(done) << done.error();
    else
      EXPECT_EQ(error_of(done), "message not found on the server");
  }
  auto inbox = contents("INBOX");
  auto archive = contents("Archive");
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(archive.contains("mine " + p.name), p.findable);
    EXPECT_EQ(inbox.contains("mine " + p.name), !p.findable);
    EXPECT_TRUE(inbox.contains("theirs " + p.name));
    EXPECT_FALSE(archive.contains("theirs " + p.name));
  }
}

}  // namespace
