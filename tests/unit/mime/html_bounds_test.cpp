// HTML that makes a parser slow (deep or misnested markup, markup that never
// closes, stray end tags) converts, and ordinary markup of real mail is not
// cut.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "mime/html_text.h"

namespace mail {
namespace {

std::string repeat(const std::string& unit, int times) {
  std::string out;
  out.reserve(unit.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) out += unit;
  return out;
}

std::size_t count_of(const std::string& text, char c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

TEST(HtmlToTextBounds, HostileShapesConvertAndKeepTheirLeadingText) {
  // What stays of the twenty thousand "x": every one where the parser does not
  // nest the shape, some where it does, none inside content that is not shown.
  enum class Kept { All, Some, None };
  struct Case {
    const char* unit;
    std::string prefix;  // opens what the repetitions go into
    Kept kept;
  } cases[] = {
      {"<div/>x", "", Kept::Some},     // a slash does not close a div
      {"<div></x>x", "", Kept::Some},  // stray end tags close nothing
      {"<span>x", "", Kept::Some},
      {"<b><i>x", "", Kept::Some},
      {"<b a=1>x", "", Kept::Some},  // formatting elements kept apart by attributes
      {"<a>x", "", Kept::All},       // a new link closes the open one
      {"<table>x", "", Kept::Some},
      {"<table><tr><td>x", "", Kept::Some},
      {"<p><p>x", "", Kept::All},
      {"<font>x", "", Kept::Some},
      {"<font color=red><div>x", "", Kept::Some},
      {"<li>x", "", Kept::All},
      {"<ul><li>x", "", Kept::Some},
      {"<option>x", "", Kept::All},
      {"<select>x", "", Kept::All},
      {"<template>x", "", Kept::None},
      {"<g>x", "<svg>", Kept::None},
      {"<g/>x", "<svg>", Kept::None},  // svg, math and templates are not shown
      {"<mi>x", "<math>", Kept::None},
      {"<foreignObject><svg>x", "<svg>", Kept::None},
      {"<b></p>x", "", Kept::Some},
      {"<a><b><div></a>x", "", Kept::Some},  // the adoption agency keeps what it moves
      {"<div><b a=1><b a=2><b a=3></div>x", "", Kept::Some},
      {"</x>x", repeat("<span>", 120), Kept::All},
      {"<br>x", "", Kept::All},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.unit);
    const std::string html = std::string("<p>start</p>") + c.prefix + repeat(c.unit, 20000);
    const std::string text = html_to_text(html);
    EXPECT_EQ(text.rfind("start", 0), 0u);
    const std::size_t xs = count_of(text, 'x');
    switch (c.kept) {
      case Kept::All:
        EXPECT_EQ(xs, 20000u);
        break;
      case Kept::Some:
        EXPECT_GT(xs, 10u);
        break;
      case Kept::None:
        EXPECT_EQ(xs, 0u);
        break;
    }
  }
}

TEST(HtmlToTextBounds, DeepButOrdinaryLayoutIsNotCut) {
  // Newsletters nest layout tables; twenty levels of table, row, cell and a
  // wrapping div are far deeper than they go.
  std::string html;
  for (int i = 0; i < 20; ++i) html += "<div><table><tbody><tr><td><span>level</span>";
  html += "<b>deepest</b>";
  for (int i = 0; i < 20; ++i) html += "</td></tr></tbody></table></div>";
  html += "<p>after</p>";
  const std::string text = html_to_text(html);
  EXPECT_EQ(count_of(text, 'v'), 20u);
  EXPECT_NE(text.find("deepest"), std::string::npos);
  EXPECT_NE(text.find("after"), std::string::npos);
}

TEST(HtmlToTextBounds, LongOrdinaryMessageIsNotCut) {
  // Fifteen thousand rows of a table: a large report, not an attack.
  std::string html = "<table>";
  for (int i = 0; i < 15000; ++i) html += "<tr><td>r</td><td>" + std::to_string(i) + "</td></tr>";
  html += "</table><p>end</p>";
  const std::string text = html_to_text(html);
  EXPECT_EQ(count_of(text, 'r'), 15000u);
  EXPECT_NE(text.find("14999"), std::string::npos);
  EXPECT_NE(text.find("end"), std::string::npos);
}

}  // namespace
}  // namespace mail
