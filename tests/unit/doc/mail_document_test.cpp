#include "doc/mail_document.h"

#include <gtest/gtest.h>

#include "record/stable_id.h"

namespace mail {
namespace {

MessageRecord rec(std::string mid, std::int64_t date, FolderRole folder = FolderRole::Inbox,
                  bool starred = false, bool read = false) {
  MessageRecord r;
  r.message_id = mid;
  r.id = stable_message_id(mid);
  r.subject = mid;
  r.date = date;
  r.folder = folder;
  r.starred = starred;
  r.read = read;
  return r;
}

std::vector<std::string> subjects(const std::vector<const MessageRecord*>& list) {
  std::vector<std::string> out;
  for (auto* r : list) out.push_back(r->subject);
  return out;
}

TEST(MailDocument, UpsertReplacesInPlaceAndKeepsFirstArrivalOrder) {
  MailDocument doc;
  doc.upsert(rec("a@x", 1));
  doc.upsert(rec("b@x", 2));
  // The same message fetched again, written with brackets and spaces.
  auto again = rec("a@x", 1);
  again.id = stable_message_id(" <a@x> ");
  again.subject = "a, replaced";
  doc.upsert(again);
  ASSERT_EQ(doc.len(), 2u);
  EXPECT_EQ(doc.order().front(), stable_message_id("a@x"));
  std::vector<std::string> seen;
  for (const auto& r : doc) seen.push_back(r.subject);
  EXPECT_EQ(seen, (std::vector<std::string>{"a, replaced", "b@x"}));
}

TEST(MailDocument, RevisionGrowsOnEveryChangeAndAcrossDocuments) {
  MailDocument doc;
  auto last = doc.revision();
  auto changed = [&] {
    const bool grew = doc.revision() > last;
    last = doc.revision();
    return grew;
  };
  const auto id = stable_message_id("a@x");
  doc.upsert(rec("a@x", 1));
  EXPECT_TRUE(changed());
  doc.update_read(id, false);  // same value: nothing
  EXPECT_FALSE(changed());
  doc.update_read(id, true);
  EXPECT_TRUE(changed());
  doc.update_folder(id, FolderRole::Inbox);
  EXPECT_FALSE(changed());
  doc.update_folder(id, FolderRole::Archive);
  EXPECT_TRUE(changed());
  EXPECT_TRUE(doc.toggle_starred(id));
  EXPECT_TRUE(changed());
  EXPECT_FALSE(doc.toggle_starred(stable_message_id("missing@x")));
  EXPECT_FALSE(changed());
  EXPECT_FALSE(doc.remove(stable_message_id("missing@x")));
  EXPECT_FALSE(changed());
  EXPECT_TRUE(doc.remove(id));
  EXPECT_TRUE(changed());
  EXPECT_TRUE(doc.order().empty());

  // A replacement document never shows a revision a reader has seen.
  MailDocument fresh;
  EXPECT_GT(fresh.revision(), last);
}

TEST(MailDocument, RemoveOrTrashMovesThenRemoves) {
  MailDocument doc;
  const auto id = stable_message_id("a@x");
  doc.upsert(rec("a@x", 1));
  doc.remove_or_trash(id);
  ASSERT_NE(doc.get(id), nullptr);
  EXPECT_EQ(doc.get(id)->folder, FolderRole::Trash);
  doc.remove_or_trash(id);
  EXPECT_EQ(doc.get(id), nullptr);
  doc.remove_or_trash(id);  // missing: nothing
  EXPECT_EQ(doc.len(), 0u);
}

TEST(MailDocument, FolderListsAreNewestFirstAndStableAndStarredIsVirtual) {
  MailDocument doc;
  doc.upsert(rec("old@x", 10, FolderRole::Inbox, true, true));
  doc.upsert(rec("tie1@x", 20));
  doc.upsert(rec("new@x", 30));
  doc.upsert(rec("tie2@x", 20, FolderRole::Inbox, false, true));
  doc.upsert(rec("trashed-star@x", 40, FolderRole::Trash, true));
  doc.upsert(rec("archived-star@x", 5, FolderRole::Archive, true));
  EXPECT_EQ(subjects(doc.messages_in_folder(FolderRole::Inbox)),
            (std::vector<std::string>{"new@x", "tie1@x", "tie2@x", "old@x"}));
  EXPECT_EQ(subjects(doc.messages_in_folder(FolderRole::Starred)),
            (std::vector<std::string>{"old@x", "archived-star@x"}));
  EXPECT_EQ(doc.count_in_folder(FolderRole::Inbox), 4u);
  EXPECT_EQ(doc.unread_in_folder(FolderRole::Inbox), 2u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Starred), 2u);
  EXPECT_EQ(doc.unread_in_folder(FolderRole::Starred), 1u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Trash), 1u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Junk), 0u);
}

TEST(FolderRole, KeysNamesAndMailboxes) {
  EXPECT_EQ(parse_folder_key("archive"), FolderRole::Archive);
  EXPECT_EQ(parse_folder_key("Archive"), std::nullopt);
  EXPECT_EQ(parse_folder_key(""), std::nullopt);
  for (auto role : all_folder_roles) EXPECT_EQ(parse_folder_key(folder_key(role)), role);
  EXPECT_EQ(folder_imap_mailbox(FolderRole::Starred), "INBOX");
  EXPECT_EQ(folder_display_name(FolderRole::Junk), "Junk");
  EXPECT_EQ(folder_from_byte(7), std::nullopt);
}

TEST(Uuid, TextRoundTrip) {
  const Uuid id = Uuid::random_v4();
  EXPECT_EQ(Uuid::parse(id.to_string()), id);
  EXPECT_EQ(Uuid::parse("00112233-4455-6677-8899-AABBCCDDEEFF")->to_string(),
            "00112233-4455-6677-8899-aabbccddeeff");
  EXPECT_EQ(Uuid::parse("00112233-4455-6677-8899-aabbccddeef"), std::nullopt);
  EXPECT_EQ(Uuid::parse("0011223344556677-8899-aabbccddeeff"), std::nullopt);
}

}  // namespace
}  // namespace mail
