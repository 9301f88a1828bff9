#include <gtest/gtest.h>

#include <QImage>
#include <set>

#include "zarn_ui/icon.h"
#include "zarn_ui/qt/qt_painter.h"

using namespace zarn_ui;

TEST(Icons, EveryIconDrawsItsOwnVisibleShape) {
  qt::QtTextRenderer text;
  std::set<QByteArray> seen;
  const int last = static_cast<int>(IconKind::BlockedContent);
  for (int k = 0; k <= last; ++k) {
    const auto kind = static_cast<IconKind>(k);
    if (kind == IconKind::Starred) continue;  // the Starred folder uses the star outline
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter qp(&image);
      qt::QtPainter painter(qp, text);
      Icon::draw(painter, kind, Rect{4, 4, 28, 28}, Color::hex(0xffffff));
    }
    int inked = 0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) inked += qAlpha(image.pixel(x, y)) > 128;
    }
    EXPECT_GT(inked, 12) << "icon " << k;
    EXPECT_LT(inked, 32 * 32 / 2) << "icon " << k;
    const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()),
                           static_cast<qsizetype>(image.sizeInBytes()));
    EXPECT_TRUE(seen.insert(bytes).second) << "icon " << k << " looks like another";
  }
}
