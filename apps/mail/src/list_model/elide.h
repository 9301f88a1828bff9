#pragma once
// Shortening a text with "…" until it fits a width, over the toolkit's text
// measurement (an interface here, so this builds and tests without a toolkit).

#include <string>
#include <string_view>

namespace mail {

class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  // Width of the text set at `weight` (0 lightest … 3 heaviest) and `size`.
  [[nodiscard]] virtual float width(std::string_view text, int weight, float size) const = 0;
};

// The text unchanged when it fits; otherwise the longest prefix (trailing
// white space trimmed) followed by "…" that fits, or "…" alone when no prefix
// does. Empty when the maximum width is at most 1.
[[nodiscard]] std::string elide_to_fit(std::string_view text, int weight, float size,
                                       float max_width, const TextMeasure& measure);

}  // namespace mail
