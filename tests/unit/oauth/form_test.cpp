#include "oauth/form.h"

#include <gtest/gtest.h>

namespace mail {
namespace {

TEST(FormEncode, KeepsOnlyTheUnreservedSet) {
  EXPECT_EQ(form_encode("aZ09*-._"), "aZ09*-._");
  EXPECT_EQ(form_encode("a b~!'()/?=&+"), "a+b%7E%21%27%28%29%2F%3F%3D%26%2B");
  EXPECT_EQ(form_encode("\xc3\xa9\x01"), "%C3%A9%01");
  EXPECT_EQ(form_body({{"a b", "c&d"}, {"e", ""}}), "a+b=c%26d&e=");
}

TEST(ParseFormQuery, DecodesPairsLikeABrowserForm) {
  const FormPairs expected{{"a", "1 2"}, {"b", ""}, {"c", "x=y"},
                           {"é", "%zz"}, {"", "v"}, {"d", "%4"}};
  EXPECT_EQ(parse_form_query("a=1+2&&b&c=x%3Dy&%C3%A9=%zz&=v&d=%4"), expected);
  EXPECT_TRUE(parse_form_query("").empty());
  EXPECT_TRUE(parse_form_query("&&&").empty());
}

TEST(ParseFormQuery, InvalidUtf8BecomesReplacementCharacters) {
  const auto pairs = parse_form_query("k=%FF%C3");
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].second, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8Lossy, KeepsValidTextAndReplacesInvalidSequences) {
  EXPECT_EQ(utf8_lossy("plain \xe2\x80\xa6 \xf0\x9f\x93\xa7"),
            "plain \xe2\x80\xa6 \xf0\x9f\x93\xa7");
  EXPECT_EQ(utf8_lossy("\xc0\xaf"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // overlong
  EXPECT_EQ(utf8_lossy("\xed\xa0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(utf8_lossy("a\xe2\x80"), "a\xEF\xBF\xBD");                            // truncated
}

}  // namespace
}  // namespace mail
