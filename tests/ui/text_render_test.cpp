#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QRawFont>

#include "ui_support.h"
#include "zarn_ui/qt/qt_painter.h"

using namespace zarn_ui;

namespace {

QImage render(const std::function<void(qt::QtPainter&)>& paint, int w = 400, int h = 40) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  QPainter qp(&image);
  static qt::QtTextRenderer text;
  qt::QtPainter painter(qp, text);
  paint(painter);
  return image;
}

}  // namespace

TEST(QtText, TextDrawnInTwoPiecesAtTheMeasuredOffsetMatchesTheWhole) {
  qt::QtTextRenderer text;
  for (const TextStyle& style : {TextStyle{.size = 13}, TextStyle{.size = 17, .weight = 3},
                                 TextStyle{.size = 11.5f, .weight = 1}}) {
    const std::string a = "Synced 12 messa", b = "ges from Inbox";
    const float split = text.measure(a, style);
    QImage whole = render([&](qt::QtPainter& p) { p.text().draw(p, a + b, {10, 8}, style); });
    QImage parts = render([&](qt::QtPainter& p) {
      p.text().draw(p, a, {10, 8}, style);
      p.text().draw(p, b, {10 + split, 8}, style);
    });
    int differing = 0;
    for (int y = 0; y < whole.height(); ++y) {
      for (int x = 0; x < whole.width(); ++x) {
        if (std::abs(qGray(whole.pixel(x, y)) - qGray(parts.pixel(x, y))) > 40) ++differing;
      }
    }
    EXPECT_LT(differing, 12) << "size " << style.size;
    // And the whole string's ink ends where its measured advance ends.
    auto [first, last] = ui_support::inked_columns(whole);
    EXPECT_NEAR(last + 1, 10 + text.measure(a + b, style), 2.5) << "size " << style.size;
    EXPECT_GE(first, 9);
  }
}

TEST(QtText, ElisionNeverExceedsItsWidthWithRealFonts) {
  qt::QtTextRenderer text;
  const std::string samples[] = {
      "Re: Launch plan for the spatial shell",
      "This week in Zarn — spatial shells & collab buffers",
      "📎 rollout-gantt.pdf ★ ’quoted’…",
      "Ελληνικά Кириллица 中文名字 עברית",
  };
  for (const std::string& s : samples) {
    for (float width = 4; width < 420; width += 9.5f) {
      for (const TextStyle& style : {TextStyle{.size = 13}, TextStyle{.size = 12.5f, .weight = 2}}) {
        const std::string shown = text.elide(s, style, width);
        EXPECT_LE(text.measure(shown, style), width) << s << " @" << width;
      }
    }
  }
}

TEST(QtText, FontsCoverTheAppsPunctuationSymbolsAndNonLatinNames) {
  qt::QtTextRenderer text;
  const QFont font = text.font(TextStyle{.size = 13}, 96);
  const QStringList families = font.families();
  const char32_t needed[] = {U'’', U'…', U'—', U'·', U'★', 0x1F4CE /*📎*/, 0x1F517 /*🔗*/,
                             0x1F389 /*🎉*/, U'é', U'Ω', U'Ж', U'中', U'あ', U'한', U'א'};
  for (char32_t c : needed) {
    bool covered = false;
    for (const QString& family : families) {
      QFont f(family);
      f.setPixelSize(13);
      if (QFontInfo(f).family() != family) continue;  // family not installed
      if (QRawFont::fromFont(f).supportsCharacter(static_cast<uint>(c))) {
        covered = true;
        break;
      }
    }
    EXPECT_TRUE(covered) << "U+" << std::hex << static_cast<unsigned>(c);
  }
  EXPECT_TRUE(QFontDatabase::families().contains("Inter"));
}
