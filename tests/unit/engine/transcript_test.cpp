// IMAP conversations of the engine, checked byte for byte against scripted
// servers in memory.
#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

#include "engine/imap_ops.h"
#include "memory_transport.h"
#include "session_fixture.h"

using namespace mail;
using namespace enginetest;

namespace {

std::string message(int n, std::string_view message_id = {}) {
  std::string id =
      message_id.empty() ? std::to_string(n) + "@example.com" : std::string(message_id);
  return "From: Alice <alice@example.com>\r\nTo: bob@example.com\r\nSubject: Message " +
         std::to_string(n) + "\r\nMessage-ID: <" + id +
         ">\r\nDate: Tue, 02 Jan 2024 10:00:00 +0000\r\n\r\nBody " + std::to_string(n) + "\r\n";
}

// "* seq FETCH (UID uid FLAGS (...) INTERNALDATE "..." BODY[] {n}\r\n...)\r\n"
Step fetch_response(int seq, int uid, std::string flags, std::string body,
                    std::string date = "02-Jan-2024 11:30:00 +0100") {
  return Sraw("* " + std::to_string(seq) + " FETCH (UID " + std::to_string(uid) + " FLAGS (" +
              flags + ") INTERNALDATE \"" + date + "\" BODY[] {" + std::to_string(body.size()) +
              "}\r\n" + body + ")\r\n");
}

// The answer to a fetch of one message's Message-ID line.
Step message_id_line(int uid, std::string_view message_id) {
  const std::string lines = "Message-ID: <" + std::string(message_id) + ">\r\n\r\n";
  return Sraw("* " + std::to_string(uid) + " FETCH (UID " + std::to_string(uid) +
              " BODY[HEADER.FIELDS (MESSAGE-ID)] {" + std::to_string(lines.size()) + "}\r\n" +
              lines + ")\r\n");
}

std::vector<Step> login_steps() {
  // The first command follows the handshake at once; the greeting comes
  // back as an untagged response while its answer is read.
  return {C("a1 LOGIN \"bob\" \"pw\""), S("* OK [CAPABILITY IMAP4rev1] ready"),
          S("a1 OK Logged in")};
}

std::shared_ptr<Transcript> script(std::vector<Step> steps) {
  auto t = std::make_shared<Transcript>();
  t->steps = login_steps();
  t->steps.insert(t->steps.end(), steps.begin(), steps.end());
  return t;
}

void expect_played(const Transcript& t) {
  EXPECT_FALSE(t.fault) << *t.fault;
  EXPECT_TRUE(t.finished()) << "stopped at step " << t.step;
  EXPECT_EQ(t.client_wrote, t.expected_client());
}

MessageRecord record(FolderRole folder, std::optional<std::string> message_id) {
  MessageRecord r;
  r.folder = folder;
  r.message_id = std::move(message_id);
  return r;
}

}  // namespace

// Steps that fetch `uids` (highest first) in batches of five, each answered
// with its messages.
std::vector<Step> fetch_batches(const std::vector<int>& uids, int first_tag) {
  std::vector<Step> steps;
  int tag = first_tag;
  for (std::size_t i = 0; i < uids.size(); i += 5, ++tag) {
    std::string set;
    std::vector<Step> answers;
    for (std::size_t j = i; j < std::min(uids.size(), i + 5); ++j) {
      set += (set.empty() ? "" : ",") + std::to_string(uids[j]);
      answers.push_back(
          fetch_response(uids[j], uids[j], uids[j] % 2 ? "\\Flagged" : "\\Seen", message(uids[j])));
    }
    const std::string t = "a" + std::to_string(tag);
    steps.push_back(C(t + " UID FETCH " + set + " (UID FLAGS INTERNALDATE BODY.PEEK[])"));
    steps.insert(steps.end(), answers.begin(), answers.end());
    steps.push_back(S(t + " OK Fetch completed"));
  }
  return steps;
}

TEST(FetchFolder, FetchesTheFiftyHighestUidsInDescendingOrderFiveAtATime) {
  std::string all;
  for (int uid = 120; uid >= 1; uid -= 2)
    all += " " + std::to_string(uid);  // evens, then odds: unordered
  for (int uid = 119; uid >= 1; uid -= 2) all += " " + std::to_string(uid);
  all += " 120 119";  // and a repeat
  std::vector<int> newest;
  for (int uid = 120; uid >= 71; --uid) newest.push_back(uid);
  std::vector<Step> steps = {
      C("a2 SELECT \"INBOX\""), S("* 120 EXISTS"),   S("a2 OK [READ-WRITE] Select completed"),
      C("a3 UID SEARCH ALL"),   S("* SEARCH" + all), S("a3 OK Search completed"),
  };
  for (Step s : fetch_batches(newest, 4)) steps.push_back(s);
  ASSERT_EQ(steps[6].bytes,
            "a4 UID FETCH 120,119,118,117,116 (UID FLAGS INTERNALDATE BODY.PEEK[])\r\n");
  for (Step s : {C("a14 LOGOUT"), S("* BYE Logging out"), S("a14 OK Logout completed")})
    steps.push_back(s);
  auto t = script(steps);
  MemoryConnector connector(t);
  auto records = run_sync(fetch_folder(connector, account(), password, FolderRole::Inbox, 1000));
  ASSERT_TRUE(records) << records.error();
  expect_played(*t);
  ASSERT_EQ(records->size(), 50u);
  EXPECT_EQ((*records)[0].subject, "Message 120");
  EXPECT_TRUE((*records)[0].read);
  EXPECT_FALSE((*records)[0].starred);
  EXPECT_EQ((*records)[1].subject, "Message 119");
  EXPECT_FALSE((*records)[1].read);
  EXPECT_TRUE((*records)[1].starred);
  EXPECT_EQ((*records)[49].subject, "Message 71");
  // INTERNALDATE 02-Jan-2024 11:30:00 +0100 is 10:30 UTC.
  EXPECT_EQ((*records)[0].date, 1704191400 / 60);
  EXPECT_EQ(t->host, "imap.example.com");
  EXPECT_EQ(t->port, 993);
}

TEST(FetchFolder, AcceptsASearchAnswerFarLongerThanAnyOtherLine) {
  // 30,000 UIDs make one line of 170 KiB; the ordinary line limit is 64 KiB.
  std::string all;
  for (int uid = 1; uid <= 30'000; ++uid) all += " " + std::to_string(uid);
  std::vector<int> newest;
  for (int uid = 30'000; uid > 29'950; --uid) newest.push_back(uid);
  std::vector<Step> steps = {
      C("a2 SELECT \"INBOX\""), S("a2 OK Select completed"), C("a3 UID SEARCH ALL"),
      S("* SEARCH" + all),      S("a3 OK Search completed"),
  };
  for (Step s : fetch_batches(newest, 4)) steps.push_back(s);
  for (Step s : {C("a14 LOGOUT"), S("a14 OK bye")}) steps.push_back(s);
  auto t = script(steps);
  MemoryConnector connector(t);
  auto records = run_sync(fetch_folder(connector, account(), password, FolderRole::Inbox, 0));
  ASSERT_TRUE(records) << records.error();
  expect_played(*t);
  ASSERT_EQ(records->size(), 50u);
  EXPECT_EQ(records->front().subject, "Message 30000");
  EXPECT_EQ(records->back().subject, "Message 29951");

  // A line as long in answer to anything else is refused.
  auto other = script({C("a2 SELECT \"INBOX\""), S("* OK" + all)});
  MemoryConnector connector2(other);
  auto refused = run_sync(fetch_folder(connector2, account(), password, FolderRole::Inbox, 0));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), "server response line too long");
}

TEST(Session, GivesUpACommandWhoseAnswerOutgrowsTheLimit) {
  // Untagged lines without end before the completion, or bodies larger in
  // sum than the limit: both end the command with an error naming the limit.
  std::string flood;
  for (int i = 0; i < 2000; ++i) flood += "* OK still here\r\n";
  struct Case {
    std::string name;
    std::vector<Step> steps;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"untagged flood",
       {C("a2 SELECT \"INBOX\""), Sraw(flood)},
       "the server's answer to SELECT exceeded the limit of 64 KiB"},
      {"bodies",
       {C("a2 SELECT \"INBOX\""), S("a2 OK Select completed"), C("a3 UID SEARCH ALL"),
        S("* SEARCH 1 2"), S("a3 OK Search completed"),
        C("a4 UID FETCH 2,1 (UID FLAGS INTERNALDATE BODY.PEEK[])"),
        fetch_response(2, 2, "", message(2) + std::string(40'000, 'x')),
        fetch_response(1, 1, "", message(1) + std::string(40'000, 'x'))},
       "the server's answer to UID FETCH exceeded the limit of 64 KiB"},
  };
  for (const auto& c : cases) {
    auto t = script(c.steps);
    MemoryConnector connector(t);
    connector.limits.command_bytes = 64 * 1024;
    auto r = run_sync(fetch_folder(connector, account(), password, FolderRole::Inbox, 0));
    ASSERT_FALSE(r) << c.name;
    EXPECT_EQ(r.error(), c.error) << c.name;
  }
}

TEST(FetchFolder, StarredSelectsInboxSearchesFlaggedAndKeepsTheStarredRole) {
  auto t = script({
      C("a2 SELECT \"INBOX\""),
      S("a2 OK Select completed"),
      C("a3 UID SEARCH FLAGGED"),
      S("* SEARCH 7"),
      S("a3 OK Search completed"),
      C("a4 UID FETCH 7 (UID FLAGS INTERNALDATE BODY.PEEK[])"),
      fetch_response(3, 7, "\\Seen \\Flagged", message(7)),
      S("a4 OK Fetch completed"),
      C("a5 LOGOUT"),
      S("a5 OK bye"),
  });
  MemoryConnector connector(t);
  auto records = run_sync(fetch_folder(connector, account(), password, FolderRole::Starred, 1000));
  ASSERT_TRUE(records) << records.error();
  expect_played(*t);
  ASSERT_EQ(records->size(), 1u);
  EXPECT_EQ((*records)[0].folder, FolderRole::Starred);
  EXPECT_EQ((*records)[0].message_id, "7@example.com");
}

TEST(FetchFolder, AnEmptyFolderSendsNoFetch) {
  auto t = script({
      C("a2 SELECT \"Sent\""),
      S("a2 OK Select completed"),
      C("a3 UID SEARCH ALL"),
      S("* SEARCH"),
      S("a3 OK Search completed"),
      C("a4 LOGOUT"),
      S("a4 OK bye"),
  });
  MemoryConnector connector(t);
  auto records = run_sync(fetch_folder(connector, account(), password, FolderRole::Sent, 1000));
  ASSERT_TRUE(records) << records.error();
  expect_played(*t);
  EXPECT_TRUE(records->empty());
}

TEST(FetchFolder, SkipsFlagsOnlyResponsesAndUsesTheFallbackDateWithoutDates) {
  std::string undated = "Subject: undated\r\nMessage-ID: <u@x>\r\n\r\nhi\r\n";
  auto t = script({
      C("a2 SELECT \"Junk\""), S("a2 OK Select completed"), C("a3 UID SEARCH ALL"),
      S("* SEARCH 1 2"), S("a3 OK Search completed"),
      C("a4 UID FETCH 2,1 (UID FLAGS INTERNALDATE BODY.PEEK[])"),
      S("* 1 FETCH (FLAGS (\\Seen) UID 1)"),
      Sraw("* 2 FETCH (UID 2 FLAGS () BODY[] {" + std::to_string(undated.size()) + "}\r\n" +
           undated + ")\r\n"),
      S("a4 OK Fetch completed"),
      // The server drops the connection instead of answering LOGOUT: ignored.
  });
  t->steps.push_back(C("a5 LOGOUT"));
  MemoryConnector connector(t);
  auto records = run_sync(fetch_folder(connector, account(), password, FolderRole::Junk, 4242));
  ASSERT_TRUE(records) << records.error();
  ASSERT_EQ(records->size(), 1u);
  EXPECT_EQ((*records)[0].subject, "undated");
  EXPECT_EQ((*records)[0].date, 4242);
  EXPECT_EQ((*records)[0].folder, FolderRole::Junk);
}

TEST(FetchFolder, ErrorsAfterLogInCarryTheServerTextAndDropTheConnection) {
  auto t =
      script({C("a2 SELECT \"Archive\""), S("a2 NO [NONEXISTENT] Mailbox doesn't exist: Archive")});
  MemoryConnector connector(t);
  auto records = run_sync(fetch_folder(connector, account(), password, FolderRole::Archive, 0));
  ASSERT_FALSE(records);
  EXPECT_EQ(records.error(), "SELECT failed: NO [NONEXISTENT] Mailbox doesn't exist: Archive");
  expect_played(*t);  // and no LOGOUT after the error
}

TEST(ConnectAndLogIn, UsesPort993ForZeroAndNeedsAHost) {
  auto t = script({C("a2 LIST \"\" \"*\""), S("* LIST (\\HasNoChildren) \"/\" INBOX"),
                   S("* LIST (\\HasNoChildren \\Sent) \"/\" {4}\r\nSent"),
                   S("a2 OK List completed"), C("a3 LOGOUT"), S("a3 OK bye")});
  MemoryConnector connector(t);
  AccountSettings a = account();
  a.imap_port = 0;
  a.imap_host = "  imap.example.com\t";
  auto names = run_sync(list_folders(connector, a, password));
  ASSERT_TRUE(names) << names.error();
  expect_played(*t);
  EXPECT_EQ(*names, (std::vector<std::string>{"INBOX", "Sent"}));
  EXPECT_EQ(t->port, 993);
  EXPECT_EQ(t->host, "imap.example.com");

  auto none = std::make_shared<Transcript>();
  MemoryConnector unused(none);
  a.imap_host = "  ";
  auto failed = run_sync(list_folders(unused, a, password));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error(), "no IMAP host");
  EXPECT_EQ(none->connects, 0);
}

TEST(ConnectAndLogIn, TurnsConnectionAndLogInErrorsIntoSentences) {
  struct Case {
    ConnectError error;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{ConnectError::Stage::Tcp, "Connection refused"},
       "connection refused — check the host and port"},
      {{ConnectError::Stage::ServerName, "invalid DNS name"},
       "invalid IMAP host name: invalid DNS name"},
      {{ConnectError::Stage::Tls, "certificate verify failed"},
       "TLS/certificate error — the server's certificate wasn't trusted"},
  };
  for (const auto& c : cases) {
    auto t = std::make_shared<Transcript>();
    MemoryConnector connector(t);
    connector.refuse = c.error;
    auto r = run_sync(list_folders(connector, account(), password));
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error(), c.expected);
  }

  auto t = std::make_shared<Transcript>();
  t->steps = {C("a1 LOGIN \"bob\" \"pw\""), S("* OK ready"),
              S("a1 NO [AUTHENTICATIONFAILED] Authentication failed.")};
  MemoryConnector connector(t);
  auto r = run_sync(list_folders(connector, account(), password));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error(), "authentication failed — check the username and password");
  expect_played(*t);
}

TEST(ConnectAndLogIn, SignsInWithXoauth2AtTheContinuation) {
  auto t = std::make_shared<Transcript>();
  t->steps = {
      C("a1 AUTHENTICATE XOAUTH2"),
      S("* OK ready"),
      S("+ "),
      C("dXNlcj1ib2IBYXV0aD1CZWFyZXIgdG9rZW4BAQ=="),
      S("a1 OK Logged in"),
      C("a2 LIST \"\" \"*\""),
      S("a2 OK List completed"),
      C("a3 LOGOUT"),
      S("a3 OK bye"),
  };
  MemoryConnector connector(t);
  auto names =
      run_sync(list_folders(connector, account(), Credential{Credential::OAuth{"bob", "token"}}));
  ASSERT_TRUE(names) << names.error();
  expect_played(*t);

  // A refused token: the server's error challenge gets an empty response.
  auto refused = std::make_shared<Transcript>();
  refused->steps = {
      C("a1 AUTHENTICATE XOAUTH2"),
      S("+ "),
      C("dXNlcj1ib2IBYXV0aD1CZWFyZXIgdG9rZW4BAQ=="),
      S("+ eyJzdGF0dXMiOiI0MDEifQ=="),
      C(""),
      S("a1 NO [AUTHENTICATIONFAILED] Authentication failed."),
  };
  MemoryConnector refusing(refused);
  auto r =
      run_sync(list_folders(refusing, account(), Credential{Credential::OAuth{"bob", "token"}}));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error(), "authentication failed — check the username and password");
  expect_played(*refused);
}

TEST(SyncFlags, AlwaysSendsBothStoresInOrder) {
  auto t = script({
      C("a2 SELECT \"INBOX\""),
      S("a2 OK Select completed"),
      C("a3 UID SEARCH HEADER MESSAGE-ID \"1@example.com\""),
      S("* SEARCH 12"),
      S("a3 OK Search completed"),
      C("a4 UID FETCH 12 (UID BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])"),
      message_id_line(12, "1@example.com"),
      S("a4 OK Fetch completed"),
      C("a5 UID STORE 12 +FLAGS (\\Seen)"),
      S("* 5 FETCH (UID 12 FLAGS (\\Seen))"),
      S("a5 OK Store completed"),
      C("a6 UID STORE 12 -FLAGS (\\Flagged)"),
      S("a6 OK Store completed"),
      C("a7 LOGOUT"),
      S("a7 OK bye"),
  });
  MemoryConnector connector(t);
  MessageRecord r = record(FolderRole::Inbox, "1@example.com");
  r.read = true;
  r.starred = false;
  auto done = run_sync(sync_flags(connector, account(), password, r));
  ASSERT_TRUE(done) << done.error();
  expect_played(*t);
}

TEST(LocateUid, UsesTheHighestUidOfDuplicatesAndStarredLooksInInbox) {
  auto t = script({
      C("a2 SELECT \"INBOX\""),
      S("a2 OK Select completed"),
      C("a3 UID SEARCH HEADER MESSAGE-ID \"dup@example.com\""),
      S("* SEARCH 4 9 7"),
      S("a3 OK Search completed"),
      C("a4 UID FETCH 9,7,4 (UID BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])"),
      message_id_line(9, "dup@example.com"),
      message_id_line(7, "dup@example.com"),
      message_id_line(4, "dup@example.com"),
      S("a4 OK Fetch completed"),
      C("a5 UID STORE 9 -FLAGS (\\Seen)"),
      S("a5 OK Store completed"),
      C("a6 UID STORE 9 +FLAGS (\\Flagged)"),
      S("a6 OK Store completed"),
      C("a7 LOGOUT"),
      S("a7 OK bye"),
  });
  MemoryConnector connector(t);
  MessageRecord r = record(FolderRole::Starred, "dup@example.com");
  r.starred = true;
  auto done = run_sync(sync_flags(connector, account(), password, r));
  ASSERT_TRUE(done) << done.error();
  expect_played(*t);
}

TEST(LocateUid, SendsMessageIdsSoTheServerReadsBackExactlyTheirBytes) {
  struct Case {
    std::string message_id;
    std::vector<Step> search;  // what goes on the wire for the search
  };
  const std::vector<Case> cases = {
      // Double quotes are removed.
      {"a\"b\"c@example.com", {C("a3 UID SEARCH HEADER MESSAGE-ID \"abc@example.com\"")}},
      // A backslash is escaped, not taken as the end of the string.
      {"x\\\"@evil", {C("a3 UID SEARCH HEADER MESSAGE-ID \"x\\\\@evil\"")}},
      // A line break cannot smuggle a second command: it travels in a literal.
      {"x@evil\r\na4 DELETE INBOX",
       {C("a3 UID SEARCH HEADER MESSAGE-ID {23}"), S("+ OK"), C("x@evil\r\na4 DELETE INBOX")}},
  };
  for (const auto& c : cases) {
    std::vector<Step> steps = {C("a2 SELECT \"Trash\""), S("a2 OK Select completed")};
    steps.insert(steps.end(), c.search.begin(), c.search.end());
    for (Step s : {S("* SEARCH"), S("a3 OK Search completed")}) steps.push_back(s);
    auto t = script(steps);
    MemoryConnector connector(t);
    auto done = run_sync(
        purge_message(connector, account(), password, record(FolderRole::Trash, c.message_id)));
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error(), "message not found on the server");
    expect_played(*t);
  }
}

TEST(LocateUid, FailsWithoutSearchingForMissingOrUnsendableMessageIds) {
  struct Case {
    std::optional<std::string> message_id;
    std::string error;
  };
  const std::vector<Case> cases = {
      {std::nullopt, "message has no Message-ID to locate it on the server"},
      {"", "message has no Message-ID to locate it on the server"},
      {std::string("a\0b@x", 5), "message not found on the server"},
      {"\"\"", "message not found on the server"},
  };
  for (const auto& c : cases) {
    for (int op = 0; op < 3; ++op) {
      auto t = script({C("a2 SELECT \"INBOX\""), S("a2 OK Select completed")});
      MemoryConnector connector(t);
      MessageRecord r = record(FolderRole::Inbox, c.message_id);
      auto done =
          op == 0   ? run_sync(sync_flags(connector, account(), password, r))
          : op == 1 ? run_sync(move_message(connector, account(), password, r, FolderRole::Archive))
                    : run_sync(purge_message(connector, account(), password, r));
      ASSERT_FALSE(done);
      EXPECT_EQ(done.error(), c.error);
      expect_played(*t);  // nothing after SELECT: no UID SEARCH
    }
  }
}

TEST(MoveMessage, MovesTheLocatedUidToTheTargetMailbox) {
  auto t = script({
      C("a2 SELECT \"INBOX\""),
      S("a2 OK Select completed"),
      C("a3 UID SEARCH HEADER MESSAGE-ID \"m@x\""),
      S("* SEARCH 3"),
      S("a3 OK Search completed"),
      C("a4 UID FETCH 3 (UID BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])"),
      message_id_line(3, "m@x"),
      S("a4 OK Fetch completed"),
      C("a5 UID MOVE 3 \"Archive\""),
      S("* OK [COPYUID 1 3 1] Moved UIDs."),
      S("* 1 EXPUNGE"),
      S("a5 OK Move completed"),
      C("a6 LOGOUT"),
      S("a6 OK bye"),
  });
  MemoryConnector connector(t);
  auto done = run_sync(move_message(connector, account(), password,
                                    record(FolderRole::Inbox, "m@x"), FolderRole::Archive));
  ASSERT_TRUE(done) << done.error();
  expect_played(*t);

  auto rejected = script({
      C("a2 SELECT \"INBOX\""),
      S("a2 OK Select completed"),
      C("a3 UID SEARCH HEADER MESSAGE-ID \"m@x\""),
      S("* SEARCH 3"),
      S("a3 OK Search completed"),
      C("a4 UID FETCH 3 (UID BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])"),
      message_id_line(3, "m@x"),
      S("a4 OK Fetch completed"),
      C("a5 UID MOVE 3 \"Junk\""),
      S("a5 BAD Error in IMAP command UID MOVE: Unknown command."),
  });
  MemoryConnector connector2(rejected);
  auto failed = run_sync(move_message(connector2, account(), password,
                                      record(FolderRole::Inbox, "m@x"), FolderRole::Junk));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error(),
            "UID MOVE failed: BAD Error in IMAP command UID MOVE: Unknown command.");
  expect_played(*rejected);
}

TEST(PurgeMessage, ExpungesOnlyThatUidAndNeverFallsBack) {
  auto ok = script({
      C("a2 SELECT \"Trash\""),
      S("a2 OK Select completed"),
      C("a3 UID SEARCH HEADER MESSAGE-ID \"t@x\""),
      S("* SEARCH 8"),
      S("a3 OK Search completed"),
      C("a4 UID FETCH 8 (UID BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])"),
      message_id_line(8, "t@x"),
      S("a4 OK Fetch completed"),
      C("a5 UID STORE 8 +FLAGS.SILENT (\\Deleted)"),
      S("a5 OK Store completed"),
      C("a6 UID EXPUNGE 8"),
      S("* 2 EXPUNGE"),
      S("a6 OK Expunge completed"),
      C("a7 LOGOUT"),
      S("a7 OK bye"),
  });
  MemoryConnector connector(ok);
  auto done =
      run_sync(purge_message(connector, account(), password, record(FolderRole::Trash, "t@x")));
  ASSERT_TRUE(done) << done.error();
  expect_played(*ok);

  // Without UIDPLUS the server rejects UID EXPUNGE; no plain EXPUNGE follows.
  auto no_uidplus = script({
      C("a2 SELECT \"Trash\""),
      S("a2 OK Select completed"),
      C("a3 UID SEARCH HEADER MESSAGE-ID \"t@x\""),
      S("* SEARCH 8"),
      S("a3 OK Search completed"),
      C("a4 UID FETCH 8 (UID BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])"),
      message_id_line(8, "t@x"),
      S("a4 OK Fetch completed"),
      C("a5 UID STORE 8 +FLAGS.SILENT (\\Deleted)"),
      S("a5 OK Store completed"),
      C("a6 UID EXPUNGE 8"),
      S("a6 BAD Unknown command UID EXPUNGE"),
  });
  MemoryConnector connector2(no_uidplus);
  auto failed =
      run_sync(purge_message(connector2, account(), password, record(FolderRole::Trash, "t@x")));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error(),
            "server cannot safely expunge this message: Unknown command UID EXPUNGE");
  expect_played(*no_uidplus);
}

TEST(Session, ReportsAServerThatClosesAfterBye) {
  auto t = std::make_shared<Transcript>();
  t->steps = {C("a1 LOGIN \"bob\" \"pw\""), S("* BYE Too many connections")};
  MemoryConnector connector(t);
  auto r = run_sync(list_folders(connector, account(), password));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error(), "connection failed: connection closed by the server: Too many connections");
}
