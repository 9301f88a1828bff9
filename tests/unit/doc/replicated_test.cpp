#include "doc/replicated.h"

#include <gtest/gtest.h>

#include "record/stable_id.h"
#include "record/text.h"

namespace mail {
namespace {

MessageRecord fetched(const std::string& mid, bool seen = false, bool flagged = false,
                      FolderRole folder = FolderRole::Inbox) {
  MessageRecord r;
  r.message_id = mid;
  r.id = stable_message_id(mid);
  r.read = seen;
  r.starred = flagged;
  r.folder = folder;
  return r;
}

std::string key(const std::string& mid) {
  return stable_message_id(mid).to_string();
}

MailAction act(MailAction::Variant v) {
  return MailAction{std::move(v)};
}

TEST(Replicated, LocalUnreadSurvivesARefreshReportingSeen) {
  ReplicatedDocument doc("a");
  MailDocument mail;
  auto r = fetched("m@x", true);
  apply_server_defaults(doc, r);
  mail.upsert(r);
  ASSERT_TRUE(apply_action(doc, act(MailAction::SetRead{{key("m@x")}, false})));

  // The next refresh reports \Seen again.
  auto again = fetched("m@x", true);
  apply_server_defaults(doc, again);
  mail.upsert(again);
  apply_overlay(doc, mail);
  EXPECT_EQ(read_of(doc, key("m@x")), false);
  EXPECT_FALSE(mail.get(r.id)->read);
}

TEST(Replicated, ServerDefaultsOnlyFillGaps) {
  ReplicatedDocument doc("a");
  apply_server_defaults(doc, fetched("m@x", true, true, FolderRole::Archive));
  EXPECT_TRUE(is_present(doc, key("m@x")));
  EXPECT_EQ(read_of(doc, key("m@x")), true);
  EXPECT_EQ(starred_of(doc, key("m@x")), true);
  EXPECT_EQ(folder_of(doc, key("m@x")), FolderRole::Archive);
  apply_server_defaults(doc, fetched("m@x", false, false, FolderRole::Inbox));
  EXPECT_EQ(read_of(doc, key("m@x")), true);
  EXPECT_EQ(starred_of(doc, key("m@x")), true);
  EXPECT_EQ(folder_of(doc, key("m@x")), FolderRole::Archive);
}

TEST(Replicated, PurgedStaysHiddenWhenFetchedAgain) {
  ReplicatedDocument doc("a");
  MailDocument mail;
  auto r = fetched("m@x", false, false, FolderRole::Trash);
  apply_server_defaults(doc, r);
  mail.upsert(r);
  ASSERT_TRUE(apply_action(doc, act(MailAction::Purge{{key("m@x")}})));
  EXPECT_TRUE(is_hidden(doc, key("m@x")));
  EXPECT_FALSE(is_present(doc, key("m@x")));

  apply_server_defaults(doc, r);  // fetched again
  mail.upsert(r);
  EXPECT_TRUE(is_hidden(doc, key("m@x")));
  apply_overlay(doc, mail);
  EXPECT_EQ(mail.get(r.id), nullptr);
}

TEST(Replicated, PurgeRefusesUnlessEveryIdIsPresentInTrash) {
  ReplicatedDocument doc("a");
  apply_server_defaults(doc, fetched("t@x", false, false, FolderRole::Trash));
  apply_server_defaults(doc, fetched("i@x", false, false, FolderRole::Inbox));
  const std::string before = doc.to_json();
  const ActionError refusal{42,
                            "every message must still be present in Trash before permanent "
                            "deletion"};
  const std::vector<std::vector<std::string>> refused{
      {key("t@x"), key("i@x")},        // one not in Trash
      {key("t@x"), key("unknown@x")},  // one not present
      {},                              // none given
      {"", "   "},                     // none usable
      {std::string(129, 'k')},         // too long
  };
  for (const auto& ids : refused) {
    auto result = apply_action(doc, act(MailAction::Purge{ids}));
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), refusal);
    EXPECT_EQ(doc.to_json(), before);
  }
  EXPECT_TRUE(apply_action(doc, act(MailAction::Purge{{" " + key("t@x") + " "}})));
  EXPECT_TRUE(is_hidden(doc, key("t@x")));
}

TEST(Replicated, ActionsOnlyTouchPresentMessagesAndAtMost256Ids) {
  ReplicatedDocument doc("a");
  std::vector<std::string> ids;
  for (int i = 0; i < 300; ++i) {
    const std::string mid = "m" + std::to_string(i) + "@x";
    apply_server_defaults(doc, fetched(mid));
    ids.push_back(key(mid));
  }
  ids.insert(ids.begin(), std::string(129, 'z'));  // too long: skipped, not counted
  ids.insert(ids.begin(), key("m5@x"));            // repeated later: counted once
  ids.insert(ids.begin(), key("never-seen@x"));    // counted, but not present
  ASSERT_TRUE(apply_action(doc, act(MailAction::SetStarred{ids, true})));
  int starred = 0;
  for (int i = 0; i < 300; ++i)
    starred += starred_of(doc, key("m" + std::to_string(i) + "@x")) == true;
  // 256 taken: never-seen, m5, then m0…m254 without m5 again (254 more).
  EXPECT_EQ(starred, 255);
  EXPECT_EQ(starred_of(doc, key("m254@x")), true);
  EXPECT_EQ(starred_of(doc, key("m255@x")), false);
  EXPECT_FALSE(doc.has({"flags", key("never-seen@x")}));
}

TEST(Replicated, LabelsAreCleanedDeduplicatedAndOrdered) {
  ReplicatedDocument doc("a");
  apply_server_defaults(doc, fetched("m@x"));
  const std::string k = key("m@x");
  ASSERT_TRUE(apply_action(doc, act(MailAction::AddLabel{{k}, std::string(200, 'L')})));
  ASSERT_TRUE(apply_action(doc, act(MailAction::AddLabel{{k}, "\x01\x02\x1f\x7f"})));
  ASSERT_TRUE(apply_action(doc, act(MailAction::AddLabel{{k}, "  work "})));
  ASSERT_TRUE(apply_action(doc, act(MailAction::AddLabel{{k}, "work"})));
  ASSERT_TRUE(apply_action(doc, act(MailAction::AddLabel{{k}, "home"})));
  EXPECT_EQ(labels_of(doc, k), (std::vector<std::string>{std::string(128, 'L'), "work", "home"}));
  ASSERT_TRUE(apply_action(doc, act(MailAction::RemoveLabel{{k}, "work"})));
  EXPECT_EQ(labels_of(doc, k), (std::vector<std::string>{std::string(128, 'L'), "home"}));
}

TEST(Replicated, MoveAcceptsOnlyRoleKeys) {
  ReplicatedDocument doc("a");
  apply_server_defaults(doc, fetched("m@x"));
  const std::string k = key("m@x");
  ASSERT_TRUE(apply_action(doc, act(MailAction::Move{{k}, "Archive"})));
  EXPECT_EQ(folder_of(doc, k), FolderRole::Inbox);
  ASSERT_TRUE(apply_action(doc, act(MailAction::Move{{k}, "archive"})));
  EXPECT_EQ(folder_of(doc, k), FolderRole::Archive);
}

TEST(Replicated, OverlayReplacesStateAndIgnoresUnknownFolderText) {
  ReplicatedDocument doc("a");
  MailDocument mail;
  auto r = fetched("m@x");
  mail.upsert(r);
  const std::string k = key("m@x");
  mark_present(doc, k);
  put_starred(doc, k, true);
  doc.put_string({"flags", k, "folder"}, "Elsewhere");
  add_label(doc, k, "x");
  const auto rev = mail.revision();
  apply_overlay(doc, mail);
  EXPECT_TRUE(mail.get(r.id)->starred);
  EXPECT_EQ(mail.get(r.id)->folder, FolderRole::Inbox);
  EXPECT_EQ(mail.get(r.id)->labels, std::vector<std::string>{"x"});
  EXPECT_GT(mail.revision(), rev);
  const auto rev2 = mail.revision();
  apply_overlay(doc, mail);  // nothing new: no new revision
  EXPECT_EQ(mail.revision(), rev2);
}

TEST(Replicated, DocumentsWithoutPresenceShowFlaggedMessagesAsPresent) {
  ReplicatedDocument doc("a");
  doc.put_bool({"flags", "k1", "read"}, true);
  EXPECT_TRUE(is_present(doc, "k1"));
  EXPECT_FALSE(is_hidden(doc, "k1"));
  EXPECT_FALSE(is_present(doc, "k2"));
  // A messages entry without either flag: not present, but not hidden.
  doc.ensure_map({"messages", "k3"});
  EXPECT_FALSE(is_present(doc, "k3"));
  EXPECT_FALSE(is_hidden(doc, "k3"));
  mark_purged(doc, "k3");
  mark_present(doc, "k3");  // purged is final
  EXPECT_FALSE(is_present(doc, "k3"));
  mark_present(doc, "");
  EXPECT_FALSE(doc.has({"messages", ""}));
}

TEST(Replicated, WrongKindValuesReadAsAbsentAndAreReplacedByWrites) {
  ReplicatedDocument doc("a");
  doc.put_string({"flags"}, "not a map");
  EXPECT_FALSE(is_present(doc, "k"));
  EXPECT_EQ(read_of(doc, "k"), std::nullopt);
  mark_present(doc, "k");
  EXPECT_TRUE(is_present(doc, "k"));

  doc.put_int({"flags", "k", "read"}, 1);
  EXPECT_EQ(read_of(doc, "k"), std::nullopt);
  doc.put_string({"flags", "k", "labels"}, "oops");
  EXPECT_TRUE(labels_of(doc, "k").empty());
  add_label(doc, "k", "fixed");
  EXPECT_EQ(labels_of(doc, "k"), std::vector<std::string>{"fixed"});

  doc.put_bool({"draft"}, true);
  EXPECT_EQ(load_draft(doc), DraftData{});
  doc.put_int({"folders"}, 3);
  EXPECT_TRUE(folders(doc).empty());
  create_folder(doc, "f1", "One");
  EXPECT_EQ(folders(doc).size(), 1u);
}

TEST(Replicated, FoldersAreSortedAndSkipNonStrings) {
  ReplicatedDocument doc("a");
  ASSERT_TRUE(apply_action(doc, act(MailAction::CreateFolder{"b", "  Bee\x01 "})));
  ASSERT_TRUE(apply_action(doc, act(MailAction::CreateFolder{"a", "Ay"})));
  ASSERT_TRUE(apply_action(doc, act(MailAction::CreateFolder{"c", "\x02"})));  // empty name
  ASSERT_TRUE(apply_action(doc, act(MailAction::CreateFolder{std::string(129, 'i'), "Long"})));
  doc.put_int({"folders", "n"}, 5);
  using F = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(folders(doc), (F{{"a", "Ay"}, {"b", "Bee"}}));
  ASSERT_TRUE(apply_action(doc, act(MailAction::RenameFolder{"a", "Aye"})));
  ASSERT_TRUE(apply_action(doc, act(MailAction::RenameFolder{"zz", "Nothing"})));
  ASSERT_TRUE(apply_action(doc, act(MailAction::DeleteFolder{"b"})));
  EXPECT_EQ(folders(doc), (F{{"a", "Aye"}}));
}

const std::string ics = "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n";
const std::string content_id = "mail-attachment:blake3:" + std::string(64, 'a');

TEST(Replicated, DraftSaveLoadAndDiscard) {
  ReplicatedDocument doc("a");
  DraftData d;
  d.to = " ann@example.com\x01 ";
  d.subject = "Plan";
  d.body = "line one\nline two\x02";
  d.html_body = "<p>line one</p>";
  d.calendar_ics = ics;
  d.attachments = {{content_id, "plan.pdf", "application/pdf", 10},
                   {content_id, "dupe.pdf", "application/pdf", 10},
                   {"bad", "x", "text/plain", 1}};
  ASSERT_TRUE(apply_action(doc, act(MailAction::SaveDraft{d})));
  DraftData loaded = load_draft(doc);
  EXPECT_EQ(loaded.to, "ann@example.com");
  EXPECT_EQ(loaded.body, "line one\nline two");
  EXPECT_EQ(loaded.html_body, "<p>line one</p>");
  EXPECT_EQ(loaded.calendar_ics, ics);
  ASSERT_EQ(loaded.attachments.size(), 1u);
  EXPECT_EQ(loaded.attachments[0].filename, "plan.pdf");

  // A later save without HTML keeps the stored HTML; without an invitation
  // removes it; a bad invitation is dropped.
  DraftData plain;
  plain.subject = "Plan 2";
  plain.calendar_ics = "BEGIN:VCALENDAR\r\n";
  ASSERT_TRUE(apply_action(doc, act(MailAction::SaveDraft{plain})));
  loaded = load_draft(doc);
  EXPECT_EQ(loaded.subject, "Plan 2");
  EXPECT_EQ(loaded.html_body, "<p>line one</p>");
  EXPECT_EQ(loaded.calendar_ics, std::nullopt);
  EXPECT_TRUE(loaded.attachments.empty());

  doc.put_string({"draft", "attachments"}, "{not json");
  EXPECT_TRUE(load_draft(doc).attachments.empty());

  ASSERT_TRUE(apply_action(doc, act(MailAction::DiscardDraft{})));
  EXPECT_TRUE(doc.is_map({"draft"}));
  EXPECT_TRUE(doc.keys({"draft"}).empty());
  EXPECT_EQ(load_draft(doc), DraftData{});
}

TEST(Replicated, StoredInvitationThatFailsTheCheckLoadsAsAbsent) {
  ReplicatedDocument doc("a");
  save_draft(doc, DraftData{});
  doc.put_string({"draft", "calendar_ics"}, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
  EXPECT_EQ(load_draft(doc).calendar_ics, std::nullopt);
}

TEST(Replicated, ChangesMergeAcrossReplicas) {
  // Two replicas mark different messages; after exchange both agree.
  ReplicatedDocument a("a"), b("b");
  apply_server_defaults(a, fetched("m1@x"));
  apply_server_defaults(b, fetched("m2@x"));
  ASSERT_TRUE(b.apply_changes(a.all_changes()));
  ASSERT_TRUE(a.apply_changes(b.all_changes()));
  EXPECT_EQ(a.to_json(), b.to_json());
  EXPECT_TRUE(is_present(a, key("m2@x")));
  EXPECT_TRUE(is_present(b, key("m1@x")));
}

}  // namespace
}  // namespace mail
