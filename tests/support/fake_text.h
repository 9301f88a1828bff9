#pragma once
// A text renderer with fixed metrics for tests that lay out or elide text
// without a window system: every character (not byte) is 0.6 × size wide.

#include "zarn_ui/text.h"

namespace testing_support {

class FakeText : public zarn_ui::TextRenderer {
 public:
  float measure(std::string_view text, const zarn_ui::TextStyle& style) override {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); i += zarn_ui::utf8_char_length(text, i)) ++chars;
    return static_cast<float>(chars) * (style.size * 6.0f / 10.0f);
  }
  float line_height(const zarn_ui::TextStyle& style) override { return style.size * 1.25f; }
  float ascent(const zarn_ui::TextStyle& style) override { return style.size; }
  void draw(zarn_ui::Painter&, std::string_view text, zarn_ui::Point, const zarn_ui::TextStyle&) override {
    drawn.emplace_back(text);
  }
  std::vector<std::string> drawn;
};

}  // namespace testing_support
