// The measured layout (renderers without shaping) and the character helpers
// every layout and the text input rely on.
#include "zarn_ui/rich_text.h"

#include <gtest/gtest.h>

#include "support/fake_text.h"

using namespace zarn_ui;

namespace {

const TextStyle kStyle{.size = 10};  // 6 points per character, lines 12.5 high

}  // namespace

TEST(Utf8, DecodingCountsOneCharacterPerSequenceAndReplacesBrokenOnes) {
  struct Case {
    std::string bytes;
    std::u32string chars;
  } cases[] = {
      {"a\xc3\xa9", U"a\u00e9"},     {"\xf0\x9f\x93\x8e", U"\U0001F4CE"},
      {"a\xffz", U"a\ufffdz"},        // stray byte
      {"\xe2\x82", U"\ufffd\ufffd"},  // truncated sequence: one per byte
      {"\xc0\xaf", U"\ufffd"},        // overlong slash
      {"\xed\xa0\x80", U"\ufffd"},    // encoded surrogate
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decode_utf8(c.bytes), c.chars);
    EXPECT_EQ(utf8_char_count(c.bytes), c.chars.size());
  }
  EXPECT_EQ(encode_utf8(U"a\u00e9\U0001F4CE"), "a\xc3\xa9\xf0\x9f\x93\x8e");
  EXPECT_EQ(utf8_byte_offset("a\xc3\xa9z", 2), 3u);
  EXPECT_EQ(utf8_byte_offset("ab", 9), 2u);
}

TEST(MeasuredLayout, WrapsAfterSpacesAndKeepsTrailingSpacesOnTheLine) {
  testing_support::FakeText text;
  auto layout = text.paragraph("one two three", kStyle, 48);
  ASSERT_EQ(layout->lines().size(), 2u);
  EXPECT_EQ(layout->lines()[0].start, 0u);
  EXPECT_EQ(layout->lines()[0].end, 8u);  // "one two "
  EXPECT_EQ(layout->lines()[1].end, 13u);
  EXPECT_FLOAT_EQ(layout->lines()[0].width, 42);  // the trailing space hangs
  EXPECT_FLOAT_EQ(layout->height(), 25);
  EXPECT_FLOAT_EQ(layout->width(), 42);

  // A line feed ends a line; one at the very end leaves an empty last line.
  auto broken = text.paragraph("ab\n", kStyle, 0);
  ASSERT_EQ(broken->lines().size(), 2u);
  EXPECT_EQ(broken->lines()[1].start, 3u);
  EXPECT_EQ(broken->caret_geometry(3).top, 12.5f);
  // A word wider than the line is broken between characters.
  auto long_word = text.paragraph("abcdefghij", kStyle, 24);
  EXPECT_EQ(long_word->lines().size(), 3u);
}

TEST(MeasuredLayout, CaretsStandOnlyBetweenGraphemesAndHitFindsThemBack) {
  testing_support::FakeText text;
  // e + combining acute, a thumbs-up with a skin tone, a joined family, "x".
  auto layout = text.paragraph("e\u0301\U0001F44D\U0001F3FD\U0001F468\u200D\U0001F469x", kStyle, 0);
  const std::vector<std::size_t> expected = {0, 2, 4, 7, 8};
  std::vector<std::size_t> boundaries;
  for (std::size_t o = 0; o <= layout->length(); ++o) {
    if (layout->is_boundary(o)) boundaries.push_back(o);
  }
  EXPECT_EQ(boundaries, expected);
  for (std::size_t o : expected) {
    const CaretGeometry c = layout->caret_geometry(o);
    EXPECT_EQ(layout->hit({c.x, c.top + c.height / 2}), o);
    EXPECT_EQ(layout->hit({c.x + 1, c.top + c.height / 2}), o);
  }
  // An offset inside a grapheme draws its caret at the grapheme's start.
  EXPECT_EQ(layout->caret_geometry(1), layout->caret_geometry(0));
  EXPECT_EQ(layout->next_boundary(4), 7u);
  EXPECT_EQ(layout->previous_boundary(7), 4u);
}

TEST(MeasuredLayout, SelectionOfAWrappedRangeCoversEachOfItsLinesOnce) {
  testing_support::FakeText text;
  auto layout = text.paragraph("one two three four", kStyle, 48);  // "one two " "three " "four"
  ASSERT_EQ(layout->lines().size(), 3u);
  const auto rects = layout->selection_rects(4, 10);  // "two " + "th"
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0], (Rect{24, 0, 48, 12.5f}));
  EXPECT_EQ(rects[1], (Rect{0, 12.5f, 12, 25}));
  EXPECT_TRUE(layout->selection_rects(5, 5).empty());
  EXPECT_EQ(layout->selection_rects(10, 4), rects);
}

TEST(MeasuredLayout, WordMovementSkipsSpacesAndTreatsPunctuationAsAWord) {
  testing_support::FakeText text;
  auto layout = text.paragraph("hello, world  foo", kStyle, 0);
  struct Case {
    std::size_t from, previous, next;
  } cases[] = {
      {0, 0, 5},     // start: to the end of "hello"
      {3, 0, 5},     // inside "hello"
      {5, 0, 6},     // before ",": the comma is a word of its own
      {7, 5, 12},    // after ", ": back over the comma, on to the end of "world"
      {13, 7, 17},   // between the two spaces
      {17, 14, 17},  // end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(layout->previous_word(c.from), c.previous) << c.from;
    EXPECT_EQ(layout->next_word(c.from), c.next) << c.from;
  }
}

TEST(MeasuredLayout, RunsKeepTheirLinksAndAlignmentMovesLines) {
  testing_support::FakeText text;
  auto layout = text.layout({RichRun{.text = "see ", .style = kStyle},
                             RichRun{.text = "here", .style = kStyle, .link = 3}},
                            ParagraphOptions{.max_width = 100, .align = Align::End});
  EXPECT_FLOAT_EQ(layout->lines()[0].left, 52);
  EXPECT_EQ(layout->link_at({52 + 30, 6}), 3);
  EXPECT_EQ(layout->link_at({52 + 6, 6}), -1);
  EXPECT_EQ(layout->link_at({40, 6}), -1);  // left of the text
}
