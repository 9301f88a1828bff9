#include "validate/draft_checks.h"

#include <gtest/gtest.h>

using namespace mail;
using namespace std::string_literals;

namespace {

std::string content_id(int n) {
  char digits[65];
  std::snprintf(digits, sizeof digits, "%064x", n);
  return std::string(attachment_id_prefix) + digits;
}

DraftAttachment attachment(int n, std::uint64_t size = 100) {
  return {content_id(n), "file" + std::to_string(n) + ".pdf", "application/pdf", size};
}

}  // namespace

TEST(MetadataValid, Table) {
  struct Case {
    const char* name;
    void (*change)(DraftAttachment&);
    bool valid;
  } cases[] = {
      {"plain", [](DraftAttachment&) {}, true},
      {"upper-case hex",
       [](DraftAttachment& a) {
         a.content_id = std::string(attachment_id_prefix) + std::string(64, 'F');
       },
       true},
      {"63 digits", [](DraftAttachment& a) { a.content_id.pop_back(); }, false},
      {"65 digits", [](DraftAttachment& a) { a.content_id += "0"; }, false},
      {"non-hex digit", [](DraftAttachment& a) { a.content_id.back() = 'g'; }, false},
      {"other prefix", [](DraftAttachment& a) { a.content_id.replace(0, 4, "mall"); }, false},
      {"empty name", [](DraftAttachment& a) { a.filename = ""; }, false},
      {"180 chars", [](DraftAttachment& a) { a.filename = std::string(180, 'a'); }, true},
      {"181 chars", [](DraftAttachment& a) { a.filename = std::string(181, 'a'); }, false},
      {"180 two-byte chars",
       [](DraftAttachment& a) {
         a.filename.clear();
         for (int i = 0; i < 180; ++i) a.filename += "\xc3\xa9";
       },
       true},
      {"slash", [](DraftAttachment& a) { a.filename = "a/b.pdf"; }, false},
      {"backslash", [](DraftAttachment& a) { a.filename = "a\\b.pdf"; }, false},
      {"newline", [](DraftAttachment& a) { a.filename = "a\nb.pdf"; }, false},
      {"DEL", [](DraftAttachment& a) { a.filename = "a\x7f.pdf"; }, false},
      {"C1 control", [](DraftAttachment& a) { a.filename = "a\xc2\x85.pdf"; }, false},
      {"invalid UTF-8", [](DraftAttachment& a) { a.filename = "a\xff.pdf"; }, false},
      {"mime without slash", [](DraftAttachment& a) { a.mime = "pdf"; }, false},
      {"mime 127 chars", [](DraftAttachment& a) { a.mime = "a/" + std::string(125, 'b'); }, true},
      {"mime 128 chars", [](DraftAttachment& a) { a.mime = "a/" + std::string(126, 'b'); }, false},
      {"32 MiB", [](DraftAttachment& a) { a.size = 33554432; }, true},
      {"32 MiB + 1", [](DraftAttachment& a) { a.size = 33554433; }, false},
  };
  for (const auto& c : cases) {
    auto a = attachment(1);
    c.change(a);
    EXPECT_EQ(metadata_valid(a), c.valid) << c.name;
  }
}

TEST(ValidateList, KeepsTheFirstSixteen) {
  std::vector<DraftAttachment> list;
  for (int i = 0; i < 17; ++i) list.push_back(attachment(i));
  auto kept = validate_list(list);
  ASSERT_EQ(kept.size(), 16u);
  EXPECT_EQ(kept.front(), list[0]);
  EXPECT_EQ(kept.back(), list[15]);
}

TEST(ValidateList, DropsDuplicatesOversizeAndInvalidKeepingOrder) {
  auto dup = attachment(1);
  dup.filename = "copy.pdf";
  auto bad = attachment(3);
  bad.filename = "../x";
  std::vector<DraftAttachment> list{attachment(1), dup, attachment(2, 33554433), bad,
                                    attachment(4)};
  EXPECT_EQ(validate_list(list), (std::vector<DraftAttachment>{attachment(1), attachment(4)}));
}

TEST(ValidateList, TotalIsLimitedTo128MiBInclusive) {
  const std::uint64_t max = 33554432;
  // Four attachments of 32 MiB make exactly 128 MiB; one more byte does not fit,
  // but a later empty attachment still does.
  std::vector<DraftAttachment> list{attachment(1, max), attachment(2, max), attachment(3, max),
                                    attachment(4, max), attachment(5, 1),   attachment(6, 0)};
  auto kept = validate_list(list);
  ASSERT_EQ(kept.size(), 5u);
  EXPECT_EQ(kept[4], attachment(6, 0));
  // Invalid entries do not count towards the sixteen.
  std::vector<DraftAttachment> mixed;
  for (int i = 0; i < 16; ++i) mixed.push_back(attachment(100 + i, max + 1));
  mixed.push_back(attachment(1));
  EXPECT_EQ(validate_list(mixed).size(), 1u);
}

TEST(IsBoundedInvitation, TheFourRefusalsAndTheMinimalAcceptance) {
  const std::string minimal =
      "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n";
  EXPECT_TRUE(is_bounded_invitation(minimal));

  struct Case {
    const char* name;
    std::string text;
  } refused[] = {
      {"no METHOD:REQUEST line", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n"},
      {"two events",
       "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nEND:"
       "VCALENDAR\r\n"},
      {"last line without CR LF",
       "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nEND:VCALENDAR"},
      {"262145 bytes",
       [&] {
         std::string t = minimal;
         t.insert(t.size() - 15, std::string(262145 - minimal.size(), 'X'));
         return t;
       }()},
      {"no event", "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nEND:VCALENDAR\r\n"},
      {"NUL byte",
       "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nX:\0\r\nEND:VCALENDAR\r\n"s},
      {"first line LF only",
       "BEGIN:VCALENDAR\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n"},
      {"method on first line",
       "METHOD:REQUEST\r\nBEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n"},
      {"method only as a prefix",
       "BEGIN:VCALENDAR\r\nMETHOD:REQUESTX\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n"},
      {"other method", "BEGIN:VCALENDAR\r\nMETHOD:CANCEL\r\nBEGIN:VEVENT\r\nEND:VCALENDAR\r\n"},
      {"empty", ""},
  };
  for (const auto& c : refused) EXPECT_FALSE(is_bounded_invitation(c.text)) << c.name;

  std::string at_limit = minimal;
  at_limit.insert(at_limit.size() - 15, std::string(262144 - minimal.size(), 'X'));
  ASSERT_EQ(at_limit.size(), 262144u);
  EXPECT_TRUE(is_bounded_invitation(at_limit));
}
