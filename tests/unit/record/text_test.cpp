#include "record/text.h"

#include <gtest/gtest.h>

namespace mail {
namespace {

TEST(CleanText, TrimsDropsControlsAndCountsCharacters) {
  struct Case {
    std::string in;
    std::size_t max;
    bool breaks;
    std::string out;
  } cases[] = {
      {"  Work  ", 128, false, "Work"},
      {"a\tb\nc\rd\x01"
       "e\x7f"
       "f\xc2\x85g",
       128, false, "abcdefg"},
      {"a\tb\nc\rd\x01", 128, true, "a\tb\nc\rd"},
      {"\x01\x02\x1f", 128, false, ""},
      {"ünïcödé", 3, false, "ünï"},
      {std::string(200, 'x'), 128, false, std::string(128, 'x')},
      {"\xe2\x80\x83 wide space trimmed \xe3\x80\x80", 128, false, "wide space trimmed"},
      {"", 5, false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(clean_text(c.in, c.max, c.breaks), c.out) << c.in;
}

TEST(NormalizeIds, TrimsSkipsAndCaps) {
  std::vector<std::string> ids{" a ", "", "   ", "a", std::string(129, 'x'), std::string(128, 'y'),
                               "b"};
  EXPECT_EQ(normalize_ids(ids), (std::vector<std::string>{"a", std::string(128, 'y'), "b"}));

  std::vector<std::string> many;
  for (int i = 0; i < 300; ++i) many.push_back("id-" + std::to_string(i % 280));
  const auto out = normalize_ids(many);
  ASSERT_EQ(out.size(), 256u);
  EXPECT_EQ(out.front(), "id-0");
  EXPECT_EQ(out.back(), "id-255");
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(utf8_sanitize("ok\xff\xc3"), "ok\xef\xbf\xbd\xef\xbf\xbd");
  EXPECT_EQ(utf8_sanitize("\xed\xa0\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");  // surrogate
  EXPECT_EQ(utf8_sanitize("é€😀"), "é€😀");
  EXPECT_EQ(utf8_length("é€😀"), 3u);
}

}  // namespace
}  // namespace mail
