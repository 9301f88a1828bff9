#include "list_model/elide.h"

#include <gtest/gtest.h>

#include "record/text.h"

namespace mail {
namespace {

// Each character is 10 wide, "…" 6 wide, wider with weight and size.
class FakeMeasure : public TextMeasure {
 public:
  float width(std::string_view text, int weight, float size) const override {
    ++calls;
    float w = 0;
    for (std::size_t pos = 0; pos < text.size();) {
      const std::size_t start = pos;
      utf8_next(text, pos);
      w += text.substr(start, pos - start) == "…" ? 6.f : 10.f;
    }
    return w * (1.f + 0.1f * static_cast<float>(weight)) * size / 10.f;
  }
  mutable int calls = 0;
};

TEST(ElideToFit, FitsUnchangedOrCutsWithAnEllipsis) {
  FakeMeasure m;
  EXPECT_EQ(elide_to_fit("Hello", 0, 10, 50, m), "Hello");
  EXPECT_EQ(elide_to_fit("Hello world", 0, 10, 50, m), "Hell…");
  // White space before the ellipsis is trimmed.
  EXPECT_EQ(elide_to_fit("Hi there", 0, 10, 36, m), "Hi…");
  EXPECT_EQ(elide_to_fit("Grüße aus Köln", 0, 10, 46, m), "Grüß…");
  // Heavier weight, narrower fit.
  EXPECT_EQ(elide_to_fit("Hello world", 3, 10, 50, m), "Hel…");
  EXPECT_EQ(elide_to_fit("Hello", 0, 10, 1, m), "");
  EXPECT_EQ(elide_to_fit("Hello", 0, 10, 0, m), "");
  EXPECT_EQ(elide_to_fit("Hello", 0, 10, 5, m), "…");  // narrower than "…" itself
  EXPECT_EQ(elide_to_fit("H", 0, 10, 5, m), "…");
  EXPECT_EQ(elide_to_fit("", 0, 10, 5, m), "");
}

TEST(ElideToFit, NeverWiderThanTheLimit) {
  FakeMeasure m;
  const std::string text = "The quick brown fox jumps over the lazy dog — naïve café";
  for (float limit = 1.5f; limit < 700.f; limit += 3.7f) {
    const std::string out = elide_to_fit(text, 1, 12, limit, m);
    if (out == "…") continue;
    EXPECT_LE(m.width(out, 1, 12), limit) << limit << " " << out;
    // What is kept is a prefix of the text.
    if (out != text) {
      const std::string_view kept(out.data(), out.size() - std::string_view("…").size());
      EXPECT_EQ(text.substr(0, kept.size()), kept);
    }
  }
}

TEST(ElideToFit, VeryLongTextsNeedFewMeasurements) {
  FakeMeasure m;
  const std::string text(200000, 'x');
  const std::string out = elide_to_fit(text, 0, 10, 300, m);
  EXPECT_EQ(out, std::string(29, 'x') + "…");
  EXPECT_LT(m.calls, 40);
}

}  // namespace
}  // namespace mail
