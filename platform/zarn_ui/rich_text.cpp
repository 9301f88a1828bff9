#include "zarn_ui/rich_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "zarn_ui/painter.h"

namespace zarn_ui {

namespace {

bool is_space(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == 0xa0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f ||
         c == 0x3000;
}

bool is_punctuation(char32_t c) {
  if (c < 0x80)
    return (c >= 0x21 && c <= 0x2f) || (c >= 0x3a && c <= 0x40) || (c >= 0x5b && c <= 0x60) ||
           (c >= 0x7b && c <= 0x7e);
  return (c >= 0xa1 && c <= 0xbf && c != 0xaa && c != 0xb5 && c != 0xba) ||
         (c >= 0x2010 && c <= 0x2027) || (c >= 0x2030 && c <= 0x205e) ||
         (c >= 0x3001 && c <= 0x3003) || (c >= 0x3008 && c <= 0x3011) ||
         (c >= 0xff01 && c <= 0xff0f);
}

enum class CharClass { Space, Punctuation, Word };

CharClass classify(char32_t c) {
  if (is_space(c)) return CharClass::Space;
  if (is_punctuation(c)) return CharClass::Punctuation;
  return CharClass::Word;
}

}  // namespace

bool extends_grapheme(char32_t c) {
  return (c >= 0x300 && c <= 0x36f) || (c >= 0x483 && c <= 0x489) || (c >= 0x591 && c <= 0x5bd) ||
         (c >= 0x610 && c <= 0x61a) || (c >= 0x64b && c <= 0x65f) || (c >= 0x1ab0 && c <= 0x1aff) ||
         (c >= 0x1dc0 && c <= 0x1dff) || (c >= 0x20d0 && c <= 0x20ff) || c == 0x200c ||
         c == 0x200d || (c >= 0xfe00 && c <= 0xfe0f) || (c >= 0xfe20 && c <= 0xfe2f) ||
         (c >= 0x1f3fb && c <= 0x1f3ff) || (c >= 0xe0020 && c <= 0xe007f) ||
         (c >= 0xe0100 && c <= 0xe01ef);
}

// ---- what every layout answers the same way ------------------------------------------

RichTextLayout::RichTextLayout(std::u32string chars, std::vector<int> links)
    : chars_(std::move(chars)), links_(std::move(links)) {
  links_.resize(chars_.size(), -1);
  boundaries_.assign(chars_.size() + 1, true);
}

void RichTextLayout::set_boundaries(std::vector<bool> boundaries) {
  boundaries.resize(chars_.size() + 1, true);
  boundaries.front() = true;
  boundaries.back() = true;
  boundaries_ = std::move(boundaries);
}

float RichTextLayout::height() const {
  return lines_.empty() ? 0 : lines_.back().top + lines_.back().height - lines_.front().top;
}

float RichTextLayout::width() const {
  float w = 0;
  for (const LineBox& l : lines_) w = std::max(w, l.width);
  return w;
}

std::size_t RichTextLayout::line_of(std::size_t offset) const {
  for (std::size_t i = 1; i < lines_.size(); ++i) {
    if (offset < lines_[i].start) return i - 1;
  }
  return lines_.empty() ? 0 : lines_.size() - 1;
}

bool RichTextLayout::is_boundary(std::size_t offset) const {
  return offset < boundaries_.size() && boundaries_[offset];
}

std::size_t RichTextLayout::previous_boundary_or_self(std::size_t offset) const {
  offset = std::min(offset, length());
  while (offset > 0 && !boundaries_[offset]) --offset;
  return offset;
}

std::size_t RichTextLayout::next_boundary(std::size_t offset) const {
  if (offset >= length()) return length();
  ++offset;
  while (offset < length() && !boundaries_[offset]) ++offset;
  return offset;
}

std::size_t RichTextLayout::previous_boundary(std::size_t offset) const {
  offset = std::min(offset, length());
  if (offset == 0) return 0;
  return previous_boundary_or_self(offset - 1);
}

std::size_t RichTextLayout::previous_word(std::size_t offset) const {
  std::size_t i = std::min(offset, length());
  while (i > 0 && classify(chars_[i - 1]) == CharClass::Space) --i;
  if (i > 0) {
    const CharClass kind = classify(chars_[i - 1]);
    while (i > 0 && classify(chars_[i - 1]) == kind) --i;
  }
  return previous_boundary_or_self(i);
}

std::size_t RichTextLayout::next_word(std::size_t offset) const {
  std::size_t i = std::min(offset, length());
  while (i < length() && classify(chars_[i]) == CharClass::Space) ++i;
  if (i < length()) {
    const CharClass kind = classify(chars_[i]);
    while (i < length() && classify(chars_[i]) == kind) ++i;
  }
  while (i < length() && !boundaries_[i]) ++i;
  return i;
}

std::size_t RichTextLayout::hit(Point p) const {
  if (lines_.empty()) return 0;
  std::size_t best_line = 0;
  float best_distance = std::numeric_limits<float>::infinity();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const LineBox& l = lines_[i];
    const float d = p.y < l.top ? l.top - p.y : p.y > l.top + l.height ? p.y - l.top - l.height : 0;
    if (d < best_distance) {
      best_distance = d;
      best_line = i;
    }
  }
  const LineBox& line = lines_[best_line];
  // The end of a wrapped line is the next line's start, so only the last line offers it.
  const std::size_t last = best_line + 1 == lines_.size() ? line.end : line.end - 1;
  std::size_t best = line.start;
  float best_dx = std::numeric_limits<float>::infinity();
  for (std::size_t o = line.start; o <= last && o <= length(); ++o) {
    if (!is_boundary(o)) continue;
    // The break that ends a line is not a place in it.
    if (o > line.start && o == line.end && chars_[o - 1] == '\n') continue;
    const float dx = std::fabs(caret_geometry(o).x - p.x);
    if (dx < best_dx) {
      best_dx = dx;
      best = o;
    }
  }
  return best;
}

int RichTextLayout::link_at(Point p) const {
  const std::size_t o = hit(p);
  for (std::size_t c : {previous_boundary(o), o}) {
    if (c >= length()) continue;
    for (const Rect& r : selection_rects(c, next_boundary(c))) {
      if (r.contains(p)) return links_[c];
    }
  }
  return -1;
}

// ---- the measured layout --------------------------------------------------------------

namespace {

class MeasuredLayout : public RichTextLayout {
 public:
  MeasuredLayout(TextRenderer& renderer, std::u32string chars, std::vector<int> links,
                 std::vector<TextStyle> styles, std::vector<std::size_t> style_of,
                 const ParagraphOptions& options)
      : RichTextLayout(std::move(chars), std::move(links)),
        renderer_(renderer),
        styles_(std::move(styles)),
        style_of_(std::move(style_of)) {
    std::vector<bool> boundaries(length() + 1, true);
    for (std::size_t i = 1; i < length(); ++i) {
      boundaries[i] = !extends_grapheme(chars_[i]) && chars_[i - 1] != 0x200d;
    }
    set_boundaries(boundaries);
    measure_graphemes();
    break_lines(options);
  }

  CaretGeometry caret_geometry(std::size_t offset) const override {
    offset = snap(offset);
    const LineBox& line = lines_[line_of(offset)];
    return {x_of(line, offset), line.top, line.height};
  }

  std::vector<Rect> selection_rects(std::size_t from, std::size_t to) const override {
    if (from > to) std::swap(from, to);
    from = snap(from);
    to = snap(std::min(to, length()));
    std::vector<Rect> out;
    if (from == to) return out;
    for (const LineBox& line : lines_) {
      if (line.end <= from || line.start >= to) continue;
      float left = x_of(line, std::max(from, line.start));
      float right = x_of(line, std::min(to, line.end));
      if (right - left < 1) right = left + line.height / 3;  // a selected line break
      out.push_back({left, line.top, right, line.top + line.height});
    }
    return out;
  }

  void draw(Painter& painter, Point origin) const override {
    for (const LineBox& line : lines_) {
      std::size_t i = line.start;
      while (i < line.end) {
        std::size_t j = i;
        while (j < line.end && style_of_[j] == style_of_[i] && chars_[j] != '\n') ++j;
        if (j > i) {
          const TextStyle& style = styles_[style_of_[i]];
          const float top = line.baseline - renderer_.ascent(style);
          renderer_.draw(painter, encode_utf8(std::u32string_view(chars_).substr(i, j - i)),
                         {origin.x + x_of(line, i), origin.y + top}, style);
        }
        i = j < line.end && chars_[j] == '\n' ? j + 1 : j;
      }
    }
  }

 private:
  // The advance of each grapheme, held by its first character.
  void measure_graphemes() {
    advance_.assign(length(), 0);
    for (std::size_t i = 0; i < length(); i = next_boundary(i)) {
      if (chars_[i] == '\n') continue;
      const std::size_t end = next_boundary(i);
      advance_[i] = renderer_.measure(encode_utf8(std::u32string_view(chars_).substr(i, end - i)),
                                      styles_[style_of_[i]]);
    }
  }

  void break_lines(const ParagraphOptions& options) {
    const bool wrap = options.max_width > 0;
    std::size_t start = 0;
    float top = 0;
    while (true) {
      std::size_t end = start, break_at = 0;
      float x = 0;
      while (end < length()) {
        const char32_t c = chars_[end];
        if (c == '\n') {
          ++end;
          break;
        }
        const std::size_t next = next_boundary(end);
        if (wrap && end > start && !is_space(c) && x + advance_[end] > options.max_width) {
          if (break_at > start) end = break_at;
          break;
        }
        x += advance_[end];
        end = next;
        if (is_space(c)) break_at = end;
      }
      add_line(start, end, top);
      top += lines_.back().height;
      start = end;
      const bool ended_by_break = end > 0 && chars_[end - 1] == '\n';
      if (start >= length() && !ended_by_break) break;
      if (start >= length() && ended_by_break) {
        add_line(start, start, top);
        break;
      }
    }
    float widest = 0;
    for (const LineBox& l : lines_) widest = std::max(widest, l.width);
    const float available = wrap ? options.max_width : widest;
    for (LineBox& l : lines_) {
      const float room = std::max(0.0f, available - l.width);
      l.left = options.align == Align::Center ? room / 2 : options.align == Align::End ? room : 0;
    }
  }

  void add_line(std::size_t start, std::size_t end, float top) {
    LineBox line{.start = start, .end = end, .top = top};
    float height = 0, ascent = 0, width = 0, trailing = 0;
    for (std::size_t i = start; i < end; ++i) {
      const TextStyle& s = styles_[style_of_[i]];
      height = std::max(height, renderer_.line_height(s));
      ascent = std::max(ascent, renderer_.ascent(s));
      width += advance_[i];
      trailing = is_space(chars_[i]) ? trailing + advance_[i] : 0;
    }
    if (start == end) {
      const TextStyle& s =
          styles_.empty() ? TextStyle{} : styles_[start > 0 ? style_of_[start - 1] : 0];
      height = renderer_.line_height(s);
      ascent = renderer_.ascent(s);
    }
    line.height = height;
    line.baseline = top + ascent;
    line.width = width - trailing;
    lines_.push_back(line);
  }

  float x_of(const LineBox& line, std::size_t offset) const {
    float x = line.left;
    for (std::size_t i = line.start; i < offset && i < line.end; ++i) x += advance_[i];
    return x;
  }

  TextRenderer& renderer_;
  std::vector<TextStyle> styles_;
  std::vector<std::size_t> style_of_;
  std::vector<float> advance_;
};

}  // namespace

std::unique_ptr<RichTextLayout> make_measured_layout(TextRenderer& renderer,
                                                     const std::vector<RichRun>& runs,
                                                     const ParagraphOptions& options) {
  std::u32string chars;
  std::vector<int> links;
  std::vector<TextStyle> styles;
  std::vector<std::size_t> style_of;
  for (const RichRun& run : runs) {
    const std::u32string run_chars = decode_utf8(run.text);
    chars += run_chars;
    links.insert(links.end(), run_chars.size(), run.link);
    style_of.insert(style_of.end(), run_chars.size(), styles.size());
    styles.push_back(run.style);
  }
  if (styles.empty()) styles.push_back(TextStyle{});
  return std::make_unique<MeasuredLayout>(renderer, std::move(chars), std::move(links),
                                          std::move(styles), std::move(style_of), options);
}

}  // namespace zarn_ui
