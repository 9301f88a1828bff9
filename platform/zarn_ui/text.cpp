#include "zarn_ui/text.h"

#include <stdexcept>

#include "zarn_ui/rich_text.h"

namespace zarn_ui {

namespace {
TextRenderer* g_shared = nullptr;
constexpr std::string_view kEllipsis = "…";
}  // namespace

TextRenderer& shared_text() {
  if (g_shared == nullptr) throw std::logic_error("no text renderer installed");
  return *g_shared;
}

void install_shared_text(TextRenderer* renderer) {
  g_shared = renderer;
}

std::size_t utf8_char_length(std::string_view text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  std::size_t n = c < 0x80           ? 1
                  : (c >> 5) == 0x6  ? 2
                  : (c >> 4) == 0xe  ? 3
                  : (c >> 3) == 0x1e ? 4
                                     : 1;
  if (i + n > text.size()) return 1;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return 1;
  }
  return n;
}

std::u32string decode_utf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = utf8_char_length(text, i);
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t c = n == 1 ? lead : n == 2 ? lead & 0x1f : n == 3 ? lead & 0x0f : lead & 0x07;
    for (std::size_t k = 1; k < n; ++k)
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3f);
    const bool overlong = (n == 2 && c < 0x80) || (n == 3 && c < 0x800) || (n == 4 && c < 0x10000);
    if ((n == 1 && lead >= 0x80) || overlong || (c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff) {
      c = 0xfffd;
    }
    out.push_back(c);
    i += n;
  }
  return out;
}

std::string encode_utf8(std::u32string_view chars) {
  std::string out;
  out.reserve(chars.size());
  for (char32_t c : chars) {
    if ((c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff) c = 0xfffd;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xc0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xe0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else {
      out.push_back(static_cast<char>(0xf0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
  }
  return out;
}

std::size_t utf8_char_count(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); i += utf8_char_length(text, i)) ++n;
  return n;
}

std::size_t utf8_byte_offset(std::string_view text, std::size_t index) {
  std::size_t i = 0;
  for (; i < text.size() && index > 0; --index) i += utf8_char_length(text, i);
  return i;
}

std::unique_ptr<RichTextLayout> TextRenderer::layout(const std::vector<RichRun>& runs,
                                                     const ParagraphOptions& options) {
  return make_measured_layout(*this, runs, options);
}

std::unique_ptr<RichTextLayout> TextRenderer::paragraph(std::string_view text,
                                                        const TextStyle& style, float max_width,
                                                        Align align) {
  return layout({RichRun{.text = std::string(text), .style = style}},
                ParagraphOptions{.max_width = max_width, .align = align});
}

float TextRenderer::draw_paragraph(Painter& p, std::string_view text, Point top_left,
                                   float max_width, const TextStyle& style, Align align) {
  auto laid = paragraph(text, style, max_width, align);
  laid->draw(p, top_left);
  return laid->height();
}

std::string TextRenderer::elide(std::string_view text, const TextStyle& style, float max_width) {
  if (measure(text, style) <= max_width) return std::string(text);
  if (measure(kEllipsis, style) > max_width) return {};
  // Character boundaries, then a binary search for the longest prefix that fits.
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i < text.size(); i += utf8_char_length(text, i)) cuts.push_back(i);
  std::size_t lo = 0, hi = cuts.size();  // lo always fits (empty prefix)
  while (lo + 1 < hi) {
    std::size_t mid = (lo + hi) / 2;
    std::string candidate(text.substr(0, cuts[mid]));
    candidate += kEllipsis;
    if (measure(candidate, style) <= max_width)
      lo = mid;
    else
      hi = mid;
  }
  std::string out(text.substr(0, cuts[lo]));
  while (!out.empty() && out.back() == ' ') out.pop_back();
  out += kEllipsis;
  return out;
}

void TextRenderer::draw_elided(Painter& p, std::string_view text, Point top_left, float max_width,
                               const TextStyle& style, Align align) {
  std::string shown = elide(text, style, max_width);
  float x = top_left.x;
  if (align != Align::Start) {
    float w = measure(shown, style);
    x += align == Align::Center ? (max_width - w) / 2 : max_width - w;
  }
  draw(p, shown, {x, top_left.y}, style);
}

std::vector<std::string> TextRenderer::wrap(std::string_view text, const TextStyle& style,
                                            float max_width) {
  std::vector<std::string> lines;
  std::string line;
  auto flush = [&] {
    lines.push_back(line);
    line.clear();
  };
  std::size_t i = 0;
  while (i <= text.size()) {
    if (i < text.size() && text[i] == '\n') {
      flush();
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != '\n') ++end;
    std::string_view word = text.substr(i, end - i);
    std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
    if (measure(candidate, style) <= max_width || (line.empty() && word.empty())) {
      line = std::move(candidate);
    } else {
      if (!line.empty()) flush();
      // Break a word that does not fit a line on its own.
      std::string piece;
      for (std::size_t k = 0; k < word.size(); k += utf8_char_length(word, k)) {
        std::string next = piece + std::string(word.substr(k, utf8_char_length(word, k)));
        if (!piece.empty() && measure(next, style) > max_width) {
          lines.push_back(piece);
          piece = std::string(word.substr(k, utf8_char_length(word, k)));
        } else {
          piece = std::move(next);
        }
      }
      line = std::move(piece);
    }
    if (end >= text.size()) break;
    i = end + (text[end] == ' ' ? 1 : 0);
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

}  // namespace zarn_ui
