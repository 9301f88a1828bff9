#include <gtest/gtest.h>

#include "list_model/format.h"

namespace mail {
namespace {

MessageRecord from(std::string email, std::optional<std::string> name) {
  MessageRecord r;
  r.from = {std::move(email), std::move(name)};
  return r;
}

TEST(SenderLabel, NameElseAddress) {
  EXPECT_EQ(sender_label(from("a@x", "Ann")), "Ann");
  EXPECT_EQ(sender_label(from("a@x", "")), "a@x");
  EXPECT_EQ(sender_label(from("a@x", std::nullopt)), "a@x");
}

TEST(SenderInitials, TakesTwoSegmentsWithFullUpperCasing) {
  struct Case {
    std::string email;
    std::optional<std::string> name;
    std::string initials;
  } cases[] = {
      {"x@example.com", "ada lovelace", "AL"},
      {"ada.lovelace@example.com", std::nullopt, "AL"},
      {"x@example.com", "émile", "É"},
      {"x@example.com", "ßen weber", "SSW"},  // one character may become several
      {"x@example.com", "", "?"},
      {"x@example.com", " . _ @ ", "?"},
      {"x@example.com", "  jean   paul  sartre", "JP"},
      {"x@example.com", "ilse", "I"},
      {"x@example.com", "Дмитрий Петров", "ДП"},
      {"x@example.com", "李 小龙", "李小"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(sender_initials(from(c.email, c.name)), c.initials) << c.name.value_or(c.email);
}

TEST(Avatar, UrlIsTheMd5OfTheNormalisedAddress) {
  const std::string expected =
      std::string(avatar_base_url) + "/avatar/257c57037d384ae37ea27a07e8a01665?s=96&d=404";
  EXPECT_EQ(avatar_url("ann@example.com"), expected);
  EXPECT_EQ(avatar_url("  Ann@Example.COM \n"), expected);
  EXPECT_EQ(avatar_url("ann@example.com", "https://avatars.test"),
            "https://avatars.test/avatar/257c57037d384ae37ea27a07e8a01665?s=96&d=404");
}

TEST(Avatar, ColourIsAFixedFunctionOfTheAddressAndSeed) {
  EXPECT_EQ(avatar_palette_index("ann@example.com", 0), 6);
  EXPECT_EQ(avatar_palette_index("ann@example.com", 7), 7);
  EXPECT_EQ(avatar_palette_index("", 13), 5);
  AccentColours accents{};
  for (std::uint8_t i = 0; i < 6; ++i) accents[i] = Rgba{i, i, i, 255};
  EXPECT_EQ(avatar_colour("ann@example.com", 0, accents), (Rgba{217, 70, 239, 255}));
  EXPECT_EQ(avatar_colour("ann@example.com", 7, accents), (Rgba{20, 184, 166, 255}));
  EXPECT_EQ(avatar_colour("", 13, accents), (Rgba{5, 5, 5, 255}));
}

TEST(PreviewLine, FirstNonBlankLineWithWordsJoined) {
  MessageRecord r;
  r.text = "\n   \r\n\t  Hello \t  there,\u00a0friend  \r\nsecond line";
  EXPECT_EQ(preview_line(r), "Hello there, friend");
  r.text = " \n \n";
  EXPECT_EQ(preview_line(r), "");
  r.text = "";
  EXPECT_EQ(preview_line(r), "");
}

constexpr std::int64_t day_2026_06_30 = 29712960;  // 00:00 UTC

TEST(ListDate, TodayYesterdayWeekdayOrMonthDay) {
  struct Case {
    std::int64_t m, now;
    const char* text;
  } cases[] = {
      {day_2026_06_30 + 5 * 60 + 9, day_2026_06_30 + 845, "05:09"},
      {day_2026_06_30 - 1, day_2026_06_30 + 1, "Yesterday"},   // 23:59 yesterday
      {day_2026_06_30, day_2026_06_30 + 1439, "00:00"},
      {day_2026_06_30 - 4 * 1440, day_2026_06_30, "Fri"},      // 26 June
      {day_2026_06_30 - 6 * 1440 + 3, day_2026_06_30, "Wed"},  // 24 June
      {day_2026_06_30 - 7 * 1440, day_2026_06_30, "Jun 23"},   // a week: no weekday
      {day_2026_06_30 + 1440 + 60, day_2026_06_30, "Jul 1"},   // tomorrow
      {0, 3 * 1440, "Thu"},  // day 0 was a Thursday
      {-1, 0, "Yesterday"},
      {-1, 10 * 1440, "Dec 31"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_list_date(c.m, c.now), c.text) << c.m;
}

TEST(FullDate, MonthDayYearTime) {
  EXPECT_EQ(format_full_date(29545025), "Mar 5, 2026, 09:05");
  EXPECT_EQ(format_full_date(0), "Jan 1, 1970, 00:00");
  EXPECT_EQ(format_full_date(-1), "Dec 31, 1969, 23:59");
  EXPECT_EQ(format_full_date(day_2026_06_30 + 845), "Jun 30, 2026, 14:05");
  // 29 February in a leap year.
  EXPECT_EQ(format_full_date(28486080), "Feb 29, 2024, 00:00");
}

TEST(CountTexts, SingularOnlyForOne) {
  EXPECT_EQ(conversation_header_text(1, FolderRole::Inbox), "1 message · Inbox");
  EXPECT_EQ(conversation_header_text(0, FolderRole::Sent), "0 messages · Sent");
  EXPECT_EQ(conversation_header_text(2, FolderRole::Junk), "2 messages · Junk");
  EXPECT_EQ(selected_count_text(1), "1 message selected");
  EXPECT_EQ(attachment_count_text(3), "3 attachments");
  EXPECT_EQ(attachment_count_text(1), "1 attachment");
  EXPECT_EQ(count_pill_text(1), std::nullopt);
  EXPECT_EQ(count_pill_text(2), "2");
  EXPECT_EQ(conversation_description_text(4), "4 messages in this conversation");
  EXPECT_EQ(archived_text(1), "Archived 1 message");
  EXPECT_EQ(trashed_text(2), "Moved 2 messages to Trash");
  EXPECT_EQ(marked_read_text(0), "Marked 0 messages read");
  EXPECT_EQ(marked_unread_text(1), "Marked 1 message unread");
}

}  // namespace
}  // namespace mail
