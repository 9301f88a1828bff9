#pragma once
// Shaped, wrapped paragraphs of styled text, and the questions an editor asks
// of them: which offset is under a point, where the caret of an offset is
// drawn, which rectangles a selection covers, how tall the paragraph is.
//
// Offsets count characters (Unicode scalar values) of the runs' texts taken
// together: the unit of the rich-text editor's StyledChar. They never count
// bytes or UTF-16 units. Positions are relative to the layout's top-left.
//
// Carets stand only on grapheme boundaries (an emoji sequence or a letter with
// its combining marks is one step); an offset inside a grapheme is treated as
// the grapheme's start.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "zarn_ui/geometry.h"
#include "zarn_ui/text.h"

namespace zarn_ui {

struct RichRun {
  std::string text;  // UTF-8
  TextStyle style;
  int link = -1;  // the caller's index of the link this run belongs to, or -1
};

struct ParagraphOptions {
  float max_width = 0;         // wrap width; 0 or less lays out one line per "\n"
  Align align = Align::Start;  // Start and End follow the paragraph's direction
};

// The caret of an offset: a vertical bar at x spanning the offset's line.
struct CaretGeometry {
  float x = 0, top = 0, height = 0;
  bool operator==(const CaretGeometry&) const = default;
};

struct LineBox {
  std::size_t start = 0, end = 0;  // characters [start, end), trailing spaces and break included
  float top = 0, height = 0;
  float baseline = 0;         // from the layout's top
  float left = 0, width = 0;  // horizontal extent of the line's text
};

class RichTextLayout {
 public:
  virtual ~RichTextLayout() = default;

  std::size_t length() const { return chars_.size(); }
  const std::u32string& chars() const { return chars_; }
  const std::vector<LineBox>& lines() const { return lines_; }
  // Total height of the lines, and the widest line's width: what draw() covers.
  float height() const;
  float width() const;
  // The line holding `offset`; an offset where a line wraps belongs to the next line.
  std::size_t line_of(std::size_t offset) const;

  // Grapheme boundaries: where a caret may stand and what one step moves over.
  bool is_boundary(std::size_t offset) const;
  std::size_t next_boundary(std::size_t offset) const;
  std::size_t previous_boundary(std::size_t offset) const;
  // Word movement: previous_word goes to the start of the word at or before
  // the offset, next_word to the end of the word at or after it. Spaces are
  // skipped; a run of punctuation counts as a word of its own.
  std::size_t next_word(std::size_t offset) const;
  std::size_t previous_word(std::size_t offset) const;

  // The boundary whose caret is nearest to `p`: on the line nearest to p.y,
  // the caret nearest to p.x. hit(caret of o) is o for every boundary o.
  std::size_t hit(Point p) const;
  virtual CaretGeometry caret_geometry(std::size_t offset) const = 0;
  // Rectangles covering characters [from, to) (in either order), at least one
  // per line the range touches and none elsewhere; several on one line where
  // bidirectional text splits the range.
  virtual std::vector<Rect> selection_rects(std::size_t from, std::size_t to) const = 0;
  // The link of the character under `p`, or -1.
  int link_at(Point p) const;

  // Draws every line with its top-left at `origin`.
  virtual void draw(Painter& painter, Point origin) const = 0;

 protected:
  // `chars` are the runs' characters; `links` holds one link index per character.
  RichTextLayout(std::u32string chars, std::vector<int> links);
  // Sets the grapheme boundaries (length() + 1 flags; the ends are always boundaries).
  void set_boundaries(std::vector<bool> boundaries);
  std::size_t snap(std::size_t offset) const { return previous_boundary_or_self(offset); }

  std::u32string chars_;
  std::vector<int> links_;
  std::vector<LineBox> lines_;

 private:
  std::size_t previous_boundary_or_self(std::size_t offset) const;
  std::vector<bool> boundaries_;
};

// The layout of renderers that do not shape text: characters left to right,
// advances from TextRenderer::measure, breaks after spaces, long words broken
// between graphemes. What TextRenderer::layout gives by default.
std::unique_ptr<RichTextLayout> make_measured_layout(TextRenderer& renderer,
                                                     const std::vector<RichRun>& runs,
                                                     const ParagraphOptions& options);

// The characters that extend the grapheme before them in the measured layout
// (combining marks, joiners, variation selectors, emoji modifiers).
bool extends_grapheme(char32_t c);

}  // namespace zarn_ui
