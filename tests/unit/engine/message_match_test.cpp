// Finding a message again by its Message-ID: the server's HEADER search finds
// every Message-ID that contains the text, so each hit's own Message-ID line
// is read back and only an exact match may be flagged, moved or purged.
// Checked byte for byte against scripted servers in memory.
#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

#include "engine/imap_ops.h"
#include "memory_transport.h"
#include "session_fixture.h"

using namespace mail;
using namespace enginetest;

namespace {

MessageRecord record(FolderRole folder, std::string message_id) {
  MessageRecord r;
  r.folder = folder;
  r.message_id = std::move(message_id);
  return r;
}

// "* seq FETCH (UID uid BODY[HEADER.FIELDS (MESSAGE-ID)] {n}\r\n<lines>\r\n)"
Step header_answer(std::uint32_t uid, std::string lines) {
  lines += "\r\n";  // the blank line that ends the header
  return Sraw("* " + std::to_string(uid) + " FETCH (UID " + std::to_string(uid) +
              " BODY[HEADER.FIELDS (MESSAGE-ID)] {" + std::to_string(lines.size()) + "}\r\n" +
              lines + ")\r\n");
}

std::string fetch_ids(std::string_view set) {
  return "UID FETCH " + std::string(set) + " (UID BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])";
}

// Log-in, SELECT, the search and one fetch of the hits' Message-ID lines;
// `then` follows with tags from a5 on.
std::shared_ptr<Transcript> located(std::string_view mailbox, std::string_view searched,
                                    std::string_view hits, std::string_view set,
                                    std::vector<Step> answers, std::vector<Step> then) {
  auto t = std::make_shared<Transcript>();
  t->steps = {C("a1 LOGIN \"bob\" \"pw\""),
              S("* OK ready"),
              S("a1 OK Logged in"),
              C("a2 SELECT \"" + std::string(mailbox) + "\""),
              S("a2 OK Select completed"),
              C("a3 UID SEARCH HEADER MESSAGE-ID \"" + std::string(searched) + "\""),
              S("* SEARCH " + std::string(hits)),
              S("a3 OK Search completed"),
              C("a4 " + fetch_ids(set))};
  t->steps.insert(t->steps.end(), answers.begin(), answers.end());
  t->steps.push_back(S("a4 OK Fetch completed"));
  t->steps.insert(t->steps.end(), then.begin(), then.end());
  return t;
}

void expect_played(const Transcript& t) {
  EXPECT_FALSE(t.fault) << *t.fault;
  EXPECT_TRUE(t.finished()) << "stopped at step " << t.step;
  EXPECT_EQ(t.client_wrote, t.expected_client());
}

// Flags are stored on `uid`, and only there.
std::vector<Step> flags_stored_on(std::uint32_t uid) {
  const std::string n = std::to_string(uid);
  return {C("a5 UID STORE " + n + " +FLAGS (\\Seen)"),
          S("a5 OK Store completed"),
          C("a6 UID STORE " + n + " -FLAGS (\\Flagged)"),
          S("a6 OK Store completed"),
          C("a7 LOGOUT"),
          S("a7 OK bye")};
}

std::expected<void, std::string> mark_read(Connector& connector, MessageRecord r) {
  r.read = true;
  return run_sync(sync_flags(connector, account(), password, r));
}

}  // namespace

TEST(MessageMatch, OnlyAHitWhoseMessageIdIsExactlyTheRecordsIsChanged) {
  struct Case {
    std::string name;
    std::string message_id;  // the record's, as read at refresh
    std::string searched;    // what goes between the quotes of the search
    std::string hits, set;   // the search answer and the fetched set
    std::vector<Step> answers;
    std::optional<std::uint32_t> changed;  // none: "message not found on the server"
  };
  const std::vector<Case> cases = {
      {"a longer id that contains the record's is not it",
       "123@x",
       "123@x",
       "2 4",
       "4,2",
       {header_answer(4, "Message-ID: <5123@x>"), header_answer(2, "Message-ID: <123@x>")},
       2},
      {"a stranger's id that extends the record's is never it",
       "abc@host",
       "abc@host",
       "9",
       "9",
       {header_answer(9, "Message-ID: <abc@host.evil>")},
       std::nullopt},
      {"the record's id with quotes added is another id",
       "abc@x",
       "abc@x",
       "3",
       "3",
       {header_answer(3, "Message-ID: <\"abc\"@x>")},
       std::nullopt},
      {"an id with quotes is searched without them and the unquoted one is not it",
       "\"abc\"@x",
       "abc@x",
       "5 6",
       "6,5",
       {header_answer(6, "Message-ID: <abc@x>"), header_answer(5, "Message-ID: <\"abc\"@x>")},
       5},
      {"an escaped variant is another id",
       "ab@x",
       "ab@x",
       "8",
       "8",
       {header_answer(8, "Message-ID: <a\\b@x>")},
       std::nullopt},
      {"a folded header line, a lower-case name and no angle brackets still match",
       "123@x",
       "123@x",
       "1 2 3",
       "3,2,1",
       {header_answer(1, "Message-ID:\r\n <123@x>"), header_answer(2, "message-id: <123@x>"),
        header_answer(3, "Message-Id: 123@x (sent by hand)")},
       3},
      {"with several Message-ID lines the last one is the message's, as at refresh",
       "123@x",
       "123@x",
       "6 7",
       "7,6",
       {header_answer(7, "Message-ID: <123@x>\r\nMessage-ID: <9123@x>"),
        header_answer(6, "Message-ID: <0123@x>\r\nMessage-ID: <123@x>")},
       6},
      {"of two exact copies the newer is changed",
       "dup@x",
       "dup@x",
       "4 9 7",
       "9,7,4",
       {header_answer(4, "Message-ID: <dup@x>"), header_answer(7, "Message-ID: <dup@x>"),
        header_answer(9, "Message-ID: <re-dup@x>")},
       7},
      {"answers for UIDs not asked about, without a body or without a header count for nothing",
       "m@x",
       "m@x",
       "3",
       "3",
       {header_answer(12, "Message-ID: <m@x>"), S("* 3 FETCH (UID 3 FLAGS (\\Seen))"),
        Sraw("* 3 FETCH (UID 3 BODY[HEADER.FIELDS (MESSAGE-ID)] {2}\r\n\r\n)\r\n"),
        Sraw("* 3 FETCH (UID 3 BODY[HEADER.FIELDS (MESSAGE-ID)] NIL)\r\n")},
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Step> then = c.changed ? flags_stored_on(*c.changed) : std::vector<Step>{};
    auto t = located("INBOX", c.searched, c.hits, c.set, c.answers, then);
    MemoryConnector connector(t);
    auto done = mark_read(connector, record(FolderRole::Inbox, c.message_id));
    if (c.changed) {
      EXPECT_TRUE(done) << done.error();
    } else {
      ASSERT_FALSE(done);
      EXPECT_EQ(done.error(), "message not found on the server");
    }
    expect_played(*t);  // and after a miss, nothing is changed
  }
}

TEST(MessageMatch, FlagMoveAndPurgeActOnTheExactMatchNotTheHigherLookalike) {
  const std::vector<Step> answers = {header_answer(31, "Message-ID: <5123@x>"),
                                     header_answer(30, "Message-ID: <123@x>")};
  {
    auto t = located("INBOX", "123@x", "30 31", "31,30", answers, flags_stored_on(30));
    MemoryConnector connector(t);
    auto done = mark_read(connector, record(FolderRole::Inbox, "123@x"));
    EXPECT_TRUE(done) << done.error();
    expect_played(*t);
  }
  {
    auto t = located(
        "INBOX", "123@x", "30 31", "31,30", answers,
        {C("a5 UID MOVE 30 \"Junk\""), S("a5 OK Move completed"), C("a6 LOGOUT"), S("a6 OK bye")});
    MemoryConnector connector(t);
    auto done = run_sync(move_message(connector, account(), password,
                                      record(FolderRole::Inbox, "123@x"), FolderRole::Junk));
    EXPECT_TRUE(done) << done.error();
    expect_played(*t);
  }
  {
    auto t = located("Trash", "123@x", "30 31", "31,30", answers,
                     {C("a5 UID STORE 30 +FLAGS.SILENT (\\Deleted)"), S("a5 OK Store completed"),
                      C("a6 UID EXPUNGE 30"), S("* 1 EXPUNGE"), S("a6 OK Expunge completed"),
                      C("a7 LOGOUT"), S("a7 OK bye")});
    MemoryConnector connector(t);
    auto done =
        run_sync(purge_message(connector, account(), password, record(FolderRole::Trash, "123@x")));
    EXPECT_TRUE(done) << done.error();
    expect_played(*t);
  }
}

TEST(MessageMatch, AHugeHitListIsCheckedHighestFirstInBoundedBatches) {
  // 250 hits, UIDs 1 to 250, read back 100 at a time; only UID 17 carries
  // the record's id.
  std::string hits;
  for (int uid = 1; uid <= 250; ++uid) hits += (hits.empty() ? "" : " ") + std::to_string(uid);
  auto set_of = [](int high, int low) {
    std::string set;
    for (int uid = high; uid >= low; --uid) set += (set.empty() ? "" : ",") + std::to_string(uid);
    return set;
  };
  auto lookalikes = [](int high, int low) {
    std::vector<Step> out;
    for (int uid = high; uid >= low; --uid)
      if (uid != 17)
        out.push_back(header_answer(static_cast<std::uint32_t>(uid),
                                    "Message-ID: <" + std::to_string(uid) + "x@y>"));
    return out;
  };
  std::vector<Step> second = {C("a5 " + fetch_ids(set_of(150, 51)))};
  for (const Step& s : lookalikes(150, 51)) second.push_back(s);
  second.push_back(S("a5 OK Fetch completed"));
  second.push_back(C("a6 " + fetch_ids(set_of(50, 1))));
  for (const Step& s : lookalikes(50, 1)) second.push_back(s);
  second.push_back(header_answer(17, "Message-ID: <x@y>"));
  second.push_back(S("a6 OK Fetch completed"));
  for (std::string_view line :
       {"a7 UID STORE 17 +FLAGS (\\Seen)", "a8 UID STORE 17 -FLAGS (\\Flagged)", "a9 LOGOUT"}) {
    second.push_back(C(std::string(line)));
    second.push_back(S(std::string(line.substr(0, 2)) + " OK done"));
  }
  auto t = located("INBOX", "x@y", hits, set_of(250, 151), lookalikes(250, 151), second);
  MemoryConnector connector(t);
  auto done = mark_read(connector, record(FolderRole::Inbox, "x@y"));
  EXPECT_TRUE(done) << done.error();
  expect_played(*t);

  // A match in the first batch ends the search there: no further fetch.
  auto early = located("INBOX", "x@y", hits, set_of(250, 151),
                       {header_answer(200, "Message-ID: <x@y>")}, flags_stored_on(200));
  MemoryConnector connector2(early);
  auto found = mark_read(connector2, record(FolderRole::Inbox, "x@y"));
  EXPECT_TRUE(found) << found.error();
  expect_played(*early);
}

TEST(MessageMatch, AFailedFetchOfTheHitsChangesNothing) {
  auto t = std::make_shared<Transcript>();
  t->steps = {C("a1 LOGIN \"bob\" \"pw\""),
              S("a1 OK Logged in"),
              C("a2 SELECT \"Trash\""),
              S("a2 OK Select completed"),
              C("a3 UID SEARCH HEADER MESSAGE-ID \"t@x\""),
              S("* SEARCH 8"),
              S("a3 OK Search completed"),
              C("a4 " + fetch_ids("8")),
              S("a4 NO Mailbox is locked")};
  MemoryConnector connector(t);
  auto done =
      run_sync(purge_message(connector, account(), password, record(FolderRole::Trash, "t@x")));
  ASSERT_FALSE(done);
  EXPECT_EQ(done.error(), "UID FETCH failed: NO Mailbox is locked");
  expect_played(*t);  // no STORE, no EXPUNGE
}
