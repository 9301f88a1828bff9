#include "list_model/list_model.h"

#include <gtest/gtest.h>

#include "record/stable_id.h"

namespace mail {
namespace {

struct Msg {
  std::optional<std::string> mid;
  std::optional<std::string> parent;
  std::int64_t date;
  FolderRole folder = FolderRole::Inbox;
  std::string subject = "s";
};

class ListModel : public ::testing::Test {
 protected:
  Uuid add(const Msg& m) {
    MessageRecord r;
    r.message_id = m.mid;
    r.in_reply_to = m.parent;
    r.id = m.mid ? stable_message_id(*m.mid) : Uuid::random_v4();
    r.date = m.date;
    r.folder = m.folder;
    r.subject = m.subject;
    r.from = {"sender@example.com", "Sender"};
    doc.upsert(r);
    return r.id;
  }
  MailDocument doc;
};

TEST_F(ListModel, RepliesWhoseParentIsInAnotherFolderGroupByTheParentId) {
  add({"<root@x>", std::nullopt, 1, FolderRole::Sent, "Plan"});
  const Uuid a = add({"a@x", "<root@x>", 5, FolderRole::Inbox, "Re: Plan"});
  const Uuid b = add({"b@x", " root@x ", 7, FolderRole::Inbox, "RE: Plan"});
  add({"c@x", std::nullopt, 6, FolderRole::Inbox, "Other"});
  const auto convs = conversations_in_folder(doc, FolderRole::Inbox);
  ASSERT_EQ(convs.size(), 2u);
  EXPECT_EQ(convs[0].key, "root@x");
  EXPECT_EQ(convs[0].message_ids, (std::vector<Uuid>{a, b}));
  EXPECT_EQ(convs[0].subject, "Plan");
  EXPECT_EQ(convs[1].key, "c@x");
  EXPECT_EQ(conversation_rows(convs),
            (std::vector<ListRow>{{b, 2}, {stable_message_id("c@x"), 1}}));
}

TEST_F(ListModel, ReplyChainsGroupUnderTheirRoot) {
  const Uuid r = add({"r@x", std::nullopt, 1});
  const Uuid a = add({"a@x", "r@x", 2});
  const Uuid b = add({"b@x", "a@x", 3});
  const Uuid c = add({"c@x", "<b@x>", 4});
  const auto convs = conversations_in_folder(doc, FolderRole::Inbox);
  ASSERT_EQ(convs.size(), 1u);
  EXPECT_EQ(convs[0].key, "r@x");
  EXPECT_EQ(convs[0].message_ids, (std::vector<Uuid>{r, a, b, c}));
}

TEST_F(ListModel, ReplyCyclesEndTheWalk) {
  add({"a@x", "b@x", 2});
  add({"b@x", "a@x", 1});
  const auto convs = conversations_in_folder(doc, FolderRole::Inbox);
  // a (newest) walks a → b → a: key "a@x"; b walks b → a → b: key "b@x".
  ASSERT_EQ(convs.size(), 2u);
  EXPECT_EQ(convs[0].key, "a@x");
  EXPECT_EQ(convs[1].key, "b@x");

  MailDocument self;
  MessageRecord r;
  r.message_id = "me@x";
  r.in_reply_to = "me@x";
  r.id = stable_message_id("me@x");
  self.upsert(r);
  ASSERT_EQ(conversations_in_folder(self, FolderRole::Inbox).size(), 1u);
}

TEST_F(ListModel, MessagesWithoutIdsStandAloneUnderTheirUuid) {
  const Uuid lone = add({std::nullopt, std::nullopt, 3});
  add({std::nullopt, std::nullopt, 3});
  const auto convs = conversations_in_folder(doc, FolderRole::Inbox);
  ASSERT_EQ(convs.size(), 2u);
  EXPECT_EQ(convs[0].key, lone.to_string());  // equal dates keep document order
}

TEST_F(ListModel, GroupsSortByNewestMessageAndTiesByIdBytes) {
  const Uuid x = add({"x@x", std::nullopt, 10});
  const Uuid y1 = add({"y1@x", std::nullopt, 5});
  const Uuid y2 = add({"y2@x", "y1@x", 20});
  const Uuid y3 = add({"y3@x", "y1@x", 20});
  const auto convs = conversations_in_folder(doc, FolderRole::Inbox);
  ASSERT_EQ(convs.size(), 2u);
  EXPECT_EQ(convs[0].key, "y1@x");
  std::vector<Uuid> expected{y1, std::min(y2, y3), std::max(y2, y3)};
  EXPECT_EQ(convs[0].message_ids, expected);
  EXPECT_EQ(convs[1].message_ids, std::vector<Uuid>{x});
}

TEST_F(ListModel, StarredFolderIsVirtualAndExcludesTrash) {
  MessageRecord r;
  r.id = stable_message_id("s@x");
  r.starred = true;
  r.folder = FolderRole::Archive;
  doc.upsert(r);
  r.id = stable_message_id("t@x");
  r.folder = FolderRole::Trash;
  doc.upsert(r);
  const auto rows = visible_rows(doc, "", FolderRole::Starred);
  EXPECT_EQ(rows, (std::vector<ListRow>{{stable_message_id("s@x"), 1}}));
}

TEST(NormalizeSubject, StripsStackedPrefixes) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Re: RE: fwd: FW: Budget", "Budget"},
      {"Re:Re:Budget", "Budget"},
      {"  Fwd:  Re:   Budget  ", "Budget"},
      {"Reply needed", "Reply needed"},
      {"Re:", ""},
      {"Re: Fw", "Fw"},
      {"Aw: Budget", "Aw: Budget"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(normalize_subject(c.in), c.out) << c.in;
}

TEST(NormalizeMessageId, BracketsAndSpaces) {
  EXPECT_EQ(normalize_message_id("<a@b>"), "a@b");
  EXPECT_EQ(normalize_message_id("  a@b  "), "a@b");
  EXPECT_EQ(normalize_message_id("< a@b >"), "a@b");
  EXPECT_EQ(normalize_message_id("<<a@b>>"), "<a@b>");
  EXPECT_EQ(normalize_message_id("<>"), std::nullopt);
  EXPECT_EQ(normalize_message_id("   "), std::nullopt);
}

class Search : public ListModel {
 protected:
  Uuid add_text(std::string subject, std::string text, std::int64_t date,
                FolderRole folder = FolderRole::Inbox, std::string name = "Sender",
                std::string email = "sender@example.com") {
    MessageRecord r;
    r.id = Uuid::random_v4();
    r.subject = std::move(subject);
    r.text = std::move(text);
    r.date = date;
    r.folder = folder;
    r.from = {std::move(email), std::move(name)};
    doc.upsert(r);
    return r.id;
  }
};

TEST_F(Search, MatchesFieldsCaseInsensitivelyAndSkipsTrash) {
  const Uuid subj = add_text("Quarterly BUDGET", "", 1);
  const Uuid body = add_text("x", "the budget is attached", 3);
  const Uuid name = add_text("x", "", 2, FolderRole::Archive, "Budget Office");
  const Uuid mail = add_text("x", "", 4, FolderRole::Sent, "", "budget@example.com");
  add_text("budget in the bin", "", 5, FolderRole::Trash);
  add_text("nothing", "", 6);
  const auto found = search_messages(doc, "  bUdGeT ", std::nullopt, 100, 100);
  std::vector<Uuid> ids;
  for (auto* r : found.messages) ids.push_back(r->id);
  EXPECT_EQ(ids, (std::vector<Uuid>{mail, body, name, subj}));
  EXPECT_EQ(found.examined, 5u);
  EXPECT_FALSE(found.truncated);

  const auto only_trash = search_messages(doc, "budget", FolderRole::Trash, 100, 100);
  EXPECT_EQ(only_trash.messages.size(), 1u);
}

TEST_F(Search, ListIsFlatWhileAQueryIsEntered) {
  add({"root@x", std::nullopt, 1, FolderRole::Inbox, "Budget"});
  add({"reply@x", "root@x", 2, FolderRole::Inbox, "Re: Budget"});
  EXPECT_EQ(visible_rows(doc, "", FolderRole::Inbox).size(), 1u);
  const auto rows = visible_rows(doc, "budget", FolderRole::Inbox);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].count, 1u);
  EXPECT_EQ(rows[0].message_id, stable_message_id("reply@x"));
  EXPECT_TRUE(visible_rows(doc, " \t ", FolderRole::Sent).empty());  // blank: folder rows
}

TEST_F(Search, LimitsStopTheScanAndReportTruncation) {
  for (int i = 0; i < 10; ++i) add_text("hit " + std::to_string(i), "", i);
  auto r = search_messages(doc, "hit", std::nullopt, 4, 100);
  EXPECT_EQ(r.examined, 4u);
  EXPECT_TRUE(r.truncated);
  ASSERT_EQ(r.messages.size(), 4u);
  EXPECT_EQ(r.messages[0]->subject, "hit 9");  // newest arrivals first

  r = search_messages(doc, "hit", std::nullopt, 100, 3);
  EXPECT_EQ(r.messages.size(), 3u);
  EXPECT_TRUE(r.truncated);

  r = search_messages(doc, "hit", std::nullopt, 10, 10);
  EXPECT_EQ(r.messages.size(), 10u);
  EXPECT_FALSE(r.truncated);

  EXPECT_TRUE(search_messages(doc, "hit", std::nullopt, 0, 10).messages.empty());
  EXPECT_TRUE(search_messages(doc, "hit", std::nullopt, 10, 0).messages.empty());
  EXPECT_TRUE(search_messages(doc, "   ", std::nullopt, 10, 10).messages.empty());
}

TEST_F(ListModel, OpenConversationGroupsBySubjectWithinTheFolder) {
  const Uuid a = add({"a@x", std::nullopt, 5, FolderRole::Inbox, "Plan"});
  const Uuid b = add({"b@x", std::nullopt, 1, FolderRole::Inbox, "Re: Plan"});
  add({"c@x", std::nullopt, 3, FolderRole::Sent, "Re: Plan"});
  add({"d@x", std::nullopt, 2, FolderRole::Inbox, "plan"});  // case differs
  const auto open = open_conversation(doc, a);
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(open[0]->id, b);
  EXPECT_EQ(open[1]->id, a);
  EXPECT_TRUE(open_conversation(doc, std::nullopt).empty());
  EXPECT_TRUE(open_conversation(doc, Uuid::random_v4()).empty());
}

}  // namespace
}  // namespace mail
