#include <gtest/gtest.h>

#include "support/fake_text.h"

using zarn_ui::TextStyle;

TEST(Elide, NeverWiderThanTheLimitAndCutsOnlyAtCharacters) {
  testing_support::FakeText text;
  const TextStyle style{.size = 10};  // 6 points per character
  struct Case {
    std::string input;
    float width;
    std::string want;
  } cases[] = {
      {"short", 30, "short"},                 // fits exactly
      {"shorter", 30, "shor…"},               // 4 chars + ellipsis = 30
      {"a b c d e f", 30, "a b…"},            // trailing space before … dropped
      {"ééééééé", 24, "ééé…"},                // two-byte characters stay whole
      {"📎📎📎📎📎📎", 18, "📎📎…"},
      {"anything", 5, ""},                    // not even … fits
      {"", 0, ""},
  };
  for (const Case& c : cases) {
    const std::string got = text.elide(c.input, style, c.width);
    EXPECT_EQ(got, c.want) << c.input << " @" << c.width;
    EXPECT_LE(text.measure(got, style), c.width) << c.input;
  }
}

TEST(Wrap, BreaksAtSpacesKeepsNewlinesAndSplitsLongWords) {
  testing_support::FakeText text;
  const TextStyle style{.size = 10};
  EXPECT_EQ(text.wrap("one two three", style, 48),
            (std::vector<std::string>{"one two", "three"}));
  EXPECT_EQ(text.wrap("a\nb", style, 100), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(text.wrap("abcdefghij", style, 24),
            (std::vector<std::string>{"abcd", "efgh", "ij"}));
  EXPECT_EQ(text.wrap("", style, 24), (std::vector<std::string>{""}));
}
