// Paragraphs and rich text shaped by Qt: carets, hits and selections in
// character offsets for bidirectional text, emoji and combining marks, and
// measured extents that match what is drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "ui_support.h"
#include "zarn_ui/qt/qt_painter.h"
#include "zarn_ui/rich_text.h"

using namespace zarn_ui;

namespace {

const TextStyle kBody{.size = 15};

std::vector<std::size_t> boundaries_of(const RichTextLayout& layout) {
  std::vector<std::size_t> out;
  for (std::size_t o = 0; o <= layout.length(); ++o) {
    if (layout.is_boundary(o)) out.push_back(o);
  }
  return out;
}

// For every caret position: a hit on the caret finds that position back, or
// one drawn at the very same place; a hit a little to either side of a caret
// never lands on a position whose caret is farther away.
void expect_hit_and_caret_agree(const RichTextLayout& layout, const std::string& label) {
  const std::vector<std::size_t> offsets = boundaries_of(layout);
  std::vector<float> xs;
  for (std::size_t o : offsets) xs.push_back(layout.caret_geometry(o).x);
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    const CaretGeometry caret = layout.caret_geometry(offsets[i]);
    const std::size_t got = layout.hit({caret.x, caret.top + caret.height / 2});
    EXPECT_TRUE(layout.is_boundary(got)) << label;
    EXPECT_NEAR(layout.caret_geometry(got).x, caret.x, 0.01) << label << " offset " << offsets[i];
    const bool shared = std::count_if(xs.begin(), xs.end(),
                                      [&](float x) { return std::fabs(x - caret.x) < 0.01; }) > 1;
    if (!shared) {
      EXPECT_EQ(got, offsets[i]) << label;
    }
  }
  // Distinct positions have distinct carets, except where a direction changes.
  std::set<int> distinct;
  for (float x : xs) distinct.insert(static_cast<int>(std::lround(x * 10)));
  EXPECT_GE(distinct.size() + 2, xs.size()) << label;
}

QImage draw(const RichTextLayout& layout, Point origin, int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  QPainter qp(&image);
  static qt::QtTextRenderer renderer;
  qt::QtPainter painter(qp, renderer);
  layout.draw(painter, origin);
  return image;
}

}  // namespace

TEST(QtRichText, HitAndCaretAgreeForEveryOffsetOfAMixedDirectionLine) {
  qt::QtTextRenderer text;
  for (const std::string s : {"abc \u05D0\u05D1\u05D2 def",
                              "Re: \u0645\u0631\u062D\u0628\u0627 "
                              "world 42 \u05E9\u05DC\u05D5\u05DD!",
                              "\u05E9\u05DC\u05D5\u05DD abc \u05E2\u05D5\u05DC\u05DD"}) {
    auto layout = text.paragraph(s, kBody, 0);
    ASSERT_EQ(layout->lines().size(), 1u);
    EXPECT_EQ(layout->length(), utf8_char_count(s));
    expect_hit_and_caret_agree(*layout, s);
  }
}

TEST(QtRichText, EmojiSequencesAndCombiningMarksAreSingleCaretSteps) {
  qt::QtTextRenderer text;
  // e + combining acute, thumbs up + skin tone, x, a joined family, two ideographs.
  const std::string s =
      "e\u0301 \U0001F44D\U0001F3FD x \U0001F468\u200D\U0001F469\u200D\U0001F467 \u4E2D\u6587";
  auto layout = text.paragraph(s, kBody, 0);
  EXPECT_EQ(boundaries_of(*layout),
            (std::vector<std::size_t>{0, 2, 3, 5, 6, 7, 8, 13, 14, 15, 16}));
  expect_hit_and_caret_agree(*layout, "emoji");
  // Carets advance left to right, and an offset inside a grapheme is its start.
  float last = -1;
  for (std::size_t o : boundaries_of(*layout)) {
    EXPECT_GT(layout->caret_geometry(o).x, last) << o;
    last = layout->caret_geometry(o).x;
  }
  EXPECT_EQ(layout->caret_geometry(11), layout->caret_geometry(8));
  // Hits anywhere along the line land on caret positions only.
  for (float x = -4; x < layout->width() + 4; x += 0.75f) {
    EXPECT_TRUE(layout->is_boundary(layout->hit({x, 5}))) << x;
  }
}

TEST(QtRichText, SelectionOfAWrappedRangeCoversExactlyItsLines) {
  qt::QtTextRenderer text;
  const std::string s =
      "The quarterly numbers are in and the launch plan moves to the spring, "
      "with the beta opening for everyone on the list.";
  auto layout = text.paragraph(s, kBody, 160);
  const auto& lines = layout->lines();
  ASSERT_GE(lines.size(), 4u);
  struct Case {
    std::size_t from, to, first_line, last_line;
  } cases[] = {
      {lines[0].start + 4, lines[2].start + 3, 0, 2},  // middle of line 0 into line 2
      {lines[1].start, lines[2].start, 1, 1},          // exactly line 1: nothing of line 2
      {lines[1].start + 1, lines[1].start + 2, 1, 1},
      {0, layout->length(), 0, lines.size() - 1},
  };
  for (const Case& c : cases) {
    const auto rects = layout->selection_rects(c.from, c.to);
    std::set<std::size_t> covered;
    for (const Rect& r : rects) {
      std::size_t line = lines.size();
      for (std::size_t i = 0; i < lines.size(); ++i) {
        if (r.top == lines[i].top && r.bottom == lines[i].top + lines[i].height) line = i;
      }
      ASSERT_LT(line, lines.size()) << "rect off every line";
      EXPECT_GT(r.width(), 0);
      covered.insert(line);
      // Each rect lies within the caret span of the selected part of its line.
      const float left = layout->caret_geometry(std::max(c.from, lines[line].start)).x;
      EXPECT_GE(r.left, left - 0.5f) << c.from;
    }
    std::set<std::size_t> wanted;
    for (std::size_t i = c.first_line; i <= c.last_line; ++i) wanted.insert(i);
    EXPECT_EQ(covered, wanted) << c.from << ".." << c.to;
    EXPECT_EQ(rects.size(), wanted.size()) << "left-to-right lines give one rect each";
  }
}

TEST(QtRichText, WrappedLinesFitTheirWidthInEveryScript) {
  qt::QtTextRenderer text;
  const std::string samples[] = {
      "\u4E2D\u6587\u540D\u5B57\u7684\u90AE\u4EF6\u5217\u8868\u6CA1\u6709\u7A7A\u683C\u4E5F"
      "\u80FD\u6362\u884C\u663E\u793A\u5728\u7A97\u53E3\u91CC",
      "\u0645\u0631\u062D\u0628\u0627 \u0628\u0643\u0645 \u0641\u064A \u0635\u0646\u062F\u0648"
      "\u0642 \u0627\u0644\u0628\u0631\u064A\u062F \u0627\u0644\u062C\u062F\u064A\u062F",
      "Caf\u00E9 cr\u00E8me \U0001F389\U0001F389 na\u0131\u0308ve r\u00E9sum\u00E9 "
      "\U0001F468\u200D\U0001F469\u200D\U0001F467 family photos",
  };
  for (const std::string& s : samples) {
    auto layout = text.paragraph(s, kBody, 120);
    ASSERT_GE(layout->lines().size(), 2u) << s;
    std::size_t next = 0;
    for (const LineBox& line : layout->lines()) {
      EXPECT_EQ(line.start, next) << s;
      EXPECT_LE(line.width, 120.5f) << s;
      next = line.end;
    }
    EXPECT_EQ(next, layout->length());
  }
}

TEST(QtRichText, DrawnInkStaysInsideTheMeasuredBox) {
  qt::QtTextRenderer text;
  const std::string s = "Launch plan, the list and \u05E9\u05DC\u05D5\u05DD for everyone";
  for (float width : {0.0f, 140.0f}) {
    auto layout = text.paragraph(s, TextStyle{.size = 15, .color = Color::hex(0xffffff)}, width);
    const QImage image = draw(*layout, {10, 10}, 520, 200);
    auto [first, last] = ui_support::inked_columns(image);
    EXPECT_NEAR(last + 1, 10 + layout->width(), 2.5) << width;
    EXPECT_GE(first, 9);
    int lowest = -1;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, y)) > 60) lowest = y;
      }
    }
    EXPECT_LE(lowest, 10 + layout->height() + 1) << width;
    EXPECT_GT(lowest, 10 + layout->height() - layout->lines().back().height) << width;
  }
}

TEST(QtRichText, StyledRunsKeepTheirOffsetsLinksAndLineHeights) {
  qt::QtTextRenderer text;
  auto layout = text.layout(
      {RichRun{.text = "Heading \u00E9", .style = TextStyle{.size = 22, .weight = 3}},
       RichRun{.text = " and a ", .style = kBody},
       RichRun{
           .text = "link\U0001F517", .style = TextStyle{.size = 15, .underline = true}, .link = 0},
       RichRun{.text = " after", .style = TextStyle{.size = 15, .italic = true}}},
      ParagraphOptions{});
  EXPECT_EQ(layout->length(), 9u + 7u + 5u + 6u);
  // The line is as tall as its largest run.
  EXPECT_GE(layout->height(), text.line_height(TextStyle{.size = 22, .weight = 3}) - 0.5f);
  const CaretGeometry on_link = layout->caret_geometry(17);
  const CaretGeometry after_link = layout->caret_geometry(21);
  EXPECT_EQ(layout->link_at({(on_link.x + after_link.x) / 2, on_link.top + on_link.height / 2}), 0);
  EXPECT_EQ(layout->link_at({after_link.x + 8, on_link.top + on_link.height / 2}), -1);
}

TEST(QtRichText, LineBreaksStartLinesAndATrailingOneLeavesAnEmptyLine) {
  qt::QtTextRenderer text;
  auto layout = text.paragraph("ab\ncd\n", kBody, 0);
  ASSERT_EQ(layout->lines().size(), 3u);
  EXPECT_EQ(layout->lines()[1].start, 3u);
  EXPECT_EQ(layout->lines()[2].start, 6u);
  EXPECT_EQ(layout->lines()[2].end, 6u);
  const float line = layout->lines()[0].height;
  EXPECT_FLOAT_EQ(layout->caret_geometry(6).top, 2 * line);
  EXPECT_FLOAT_EQ(layout->height(), 3 * line);
  // A press right of the first line's text lands before its break, not after.
  EXPECT_EQ(layout->hit({200, line / 2}), 2u);
  EXPECT_EQ(layout->hit({200, 2.5f * line}), 6u);
  EXPECT_EQ(text.paragraph("", kBody, 0)->lines().size(), 1u);
}
