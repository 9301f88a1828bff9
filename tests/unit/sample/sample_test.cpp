#include "sample/sample.h"

#include <gtest/gtest.h>

#include <set>

#include "record/stable_id.h"

namespace mail {
namespace {

const MessageRecord* by_subject(const MailDocument& doc, std::string_view subject,
                                FolderRole folder) {
  for (const auto& r : doc)
    if (r.subject == subject && r.folder == folder) return &r;
  return nullptr;
}

TEST(SampleState, AccountsArePlaceholderPasswordAccounts) {
  const auto s = sample_state();
  ASSERT_EQ(s.accounts.size(), 2u);
  EXPECT_EQ(s.accounts[0].settings.display_name, "You");
  EXPECT_TRUE(s.accounts[1].settings.display_name.starts_with("You at "));
  EXPECT_EQ(s.accounts[0].settings.smtp_port, 465);
  EXPECT_EQ(s.accounts[1].settings.smtp_port, 587);
  for (const auto& a : s.accounts) {
    EXPECT_EQ(a.id, a.settings.email);
    EXPECT_EQ(a.settings.imap_port, 993);
    EXPECT_EQ(a.settings.password.size(), 8u);
    EXPECT_EQ(a.settings.auth, AuthKind::Password);
    EXPECT_TRUE(a.settings.email.ends_with(".example") ||
                a.settings.email.ends_with("example.com"));
  }
  EXPECT_EQ(s.document.account(), s.accounts[0].settings);
  EXPECT_EQ(s.clock_minute, 29713805);
}

TEST(SampleState, FifteenMessagesWithTheirFoldersFlagsAndAges) {
  const auto s = sample_state();
  const auto& doc = s.document;
  ASSERT_EQ(doc.len(), 15u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Inbox), 11u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Sent), 2u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Archive), 1u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Junk), 1u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Drafts), 0u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Trash), 0u);
  EXPECT_EQ(doc.count_in_folder(FolderRole::Starred), 3u);

  struct Row {
    const char* subject;
    FolderRole folder;
    bool read, starred;
    std::int64_t date;
  } rows[] = {
      {"Launch plan for the spatial shell", FolderRole::Inbox, true, true, 29713805 - 143},
      {"Build #4821 failed on shell --lib", FolderRole::Inbox, false, false, 29713805 - 14},
      {"Re-check the trajectory math", FolderRole::Inbox, true, true, 29713805 - 300},
      {"Coffee before the standup?", FolderRole::Inbox, false, false, 29713805 - 3},
      {"Re: [PATCH] fuse: hydrate-on-read for projected blobs", FolderRole::Inbox, true, false,
       29713805 - 1560},
      {"Invitation: Compositor sync @ Thu 11:00", FolderRole::Inbox, false, false, 29713805 - 540},
      {"Re: Re-check the trajectory math", FolderRole::Sent, true, false, 29713805 - 270},
      {"Onboarding notes", FolderRole::Archive, true, false, 29713805 - 12960},
      {"Priority display + error detection", FolderRole::Inbox, false, false, 29712960 + 815},
      {"Spanning-tree notes for the gossip mesh", FolderRole::Inbox, true, false, 29712960 + 425},
      {"This week in Zarn — spatial shells & collab buffers", FolderRole::Inbox, false, true,
       29712960 + 793},
  };
  for (const auto& row : rows) {
    const auto* r = by_subject(doc, row.subject, row.folder);
    ASSERT_NE(r, nullptr) << row.subject;
    EXPECT_EQ(r->read, row.read) << row.subject;
    EXPECT_EQ(r->starred, row.starred) << row.subject;
    EXPECT_EQ(r->date, row.date) << row.subject;
  }
  const auto* junk = doc.messages_in_folder(FolderRole::Junk).front();
  EXPECT_TRUE(junk->subject.starts_with("\xF0\x9F\x8E\x89"));
}

TEST(SampleState, ThreadAttachmentsAndRawMessages) {
  const auto s = sample_state();
  const auto& doc = s.document;
  const Uuid root = stable_message_id("sample-launch-plan-root@zarn.example");
  ASSERT_NE(doc.get(root), nullptr);
  int replies = 0;
  for (const auto& r : doc)
    if (r.in_reply_to == doc.get(root)->message_id) ++replies;
  EXPECT_EQ(replies, 3);  // two in Inbox, the user's own in Sent

  std::set<std::tuple<std::string, std::string, std::uint64_t, bool>> attachments;
  for (const auto& r : doc)
    for (const auto& a : r.attachments)
      attachments.insert({a.filename, a.content_type, a.size, a.downloaded});
  EXPECT_TRUE(attachments.contains({"rollout-gantt.pdf", "application/pdf", 184320, false}));
  EXPECT_TRUE(attachments.contains({"build-4821.log", "text/plain", 28716, false}));
  EXPECT_TRUE(attachments.contains({"trajectory.csv", "text/csv", 9204, false}));
  EXPECT_TRUE(attachments.contains({"invite.ics", "text/calendar", 1842, false}));
  EXPECT_TRUE(attachments.contains({"onboarding.pdf", "application/pdf", 512000, false}));

  const auto* tree = by_subject(doc, "Spanning-tree notes for the gossip mesh", FolderRole::Inbox);
  ASSERT_EQ(tree->attachments.size(), 1u);
  EXPECT_EQ(tree->attachments[0].filename, "spanning-tree.pdf");
  EXPECT_TRUE(tree->attachments[0].downloaded);
  EXPECT_GE(tree->attachments[0].size, 24u);
  EXPECT_EQ(
      std::string(tree->attachments[0].content.begin(), tree->attachments[0].content.begin() + 5),
      "%PDF-");

  const auto* news =
      by_subject(doc, "This week in Zarn — spatial shells & collab buffers", FolderRole::Inbox);
  EXPECT_EQ(news->from.email, sample_newsletter_sender);
  ASSERT_TRUE(news->html.has_value());
  EXPECT_NE(news->html->find("width=\"1\" height=\"1\""), std::string::npos);
  EXPECT_NE(news->html->find("<blockquote>"), std::string::npos);
  EXPECT_NE(news->html->find("<a href=\"https://"), std::string::npos);
  EXPECT_FALSE(news->text.empty());
  // Raw messages have stable ids: two calls agree.
  EXPECT_NE(sample_state().document.get(news->id), nullptr);
}

}  // namespace
}  // namespace mail
