#pragma once
// Text measuring and drawing. A measured width always equals the drawn width,
// so layouts computed with measure() line up with what draw() paints.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zarn_ui/geometry.h"

namespace zarn_ui {

class Painter;
class RichTextLayout;
struct RichRun;
struct ParagraphOptions;

struct TextStyle {
  float size = 13;  // points, before the theme's text scale is applied by the caller
  int weight = 0;   // 0 regular, 1 medium, 2 semibold, 3 bold
  Color color = Color::hex(0xffffff);
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool mono = false;
};

enum class Align { Start, Center, End };

class TextRenderer {
 public:
  virtual ~TextRenderer() = default;

  // Advance width of a single line of text.
  virtual float measure(std::string_view text, const TextStyle& style) = 0;
  // Height of one line (ascent + descent + leading) and the ascent.
  virtual float line_height(const TextStyle& style) = 0;
  virtual float ascent(const TextStyle& style) = 0;
  // Draws one line with the top of its line box at `top_left`.
  virtual void draw(Painter& painter, std::string_view text, Point top_left,
                    const TextStyle& style) = 0;

  // Plain and weighted shorthands.
  void draw_plain(Painter& p, std::string_view text, Point top_left, float size, Color color) {
    draw(p, text, top_left, TextStyle{.size = size, .color = color});
  }
  void draw_weighted(Painter& p, std::string_view text, Point top_left, float size, int weight,
                     Color color) {
    draw(p, text, top_left, TextStyle{.size = size, .weight = weight, .color = color});
  }

  // The longest prefix (at a character boundary) that fits `max_width` with "…"
  // appended; the text itself when it fits; "" when not even "…" fits.
  std::string elide(std::string_view text, const TextStyle& style, float max_width);
  // Draws `text` elided to `max_width`, aligned within [left, left + max_width].
  void draw_elided(Painter& p, std::string_view text, Point top_left, float max_width,
                   const TextStyle& style, Align align = Align::Start);
  // Greedy word wrap to `max_width`; words wider than a line are broken at characters.
  std::vector<std::string> wrap(std::string_view text, const TextStyle& style, float max_width);

  // Shapes styled runs into wrapped lines (rich_text.h). Renderers that shape
  // text override this; the default lays characters out left to right with
  // measure(), which is all a renderer with fixed metrics needs.
  virtual std::unique_ptr<RichTextLayout> layout(const std::vector<RichRun>& runs,
                                                 const ParagraphOptions& options);
  // A paragraph of one style wrapped to `max_width` (no wrapping when <= 0).
  // "\n" starts a new line.
  std::unique_ptr<RichTextLayout> paragraph(std::string_view text, const TextStyle& style,
                                            float max_width, Align align = Align::Start);
  // Draws such a paragraph with its top-left at `top_left`; returns its height.
  float draw_paragraph(Painter& p, std::string_view text, Point top_left, float max_width,
                       const TextStyle& style, Align align = Align::Start);
};

// The renderer of the running host, usable outside drawing (layout, hit tests).
// The host installs it before the first widget is built.
TextRenderer& shared_text();
void install_shared_text(TextRenderer* renderer);

// Byte length of the UTF-8 sequence starting at text[i] (1 for invalid bytes).
std::size_t utf8_char_length(std::string_view text, std::size_t i);

// Characters (Unicode scalar values) of UTF-8 text. Each invalid byte, and each
// overlong, surrogate or out-of-range sequence, becomes one U+FFFD, so character
// offsets are the same whether counted here or by stepping with utf8_char_length.
std::u32string decode_utf8(std::string_view text);
std::string encode_utf8(std::u32string_view chars);
// Number of characters, and the byte offset of character `index` (the text's
// size when `index` is past its end).
std::size_t utf8_char_count(std::string_view text);
std::size_t utf8_byte_offset(std::string_view text, std::size_t index);

}  // namespace zarn_ui
