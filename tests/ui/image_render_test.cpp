// Pictures drawn through the Qt painter, and decoded by Qt's readers.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "zarn_ui/qt/qt_image_decoder.h"
#include "zarn_ui/qt/qt_painter.h"

using namespace zarn_ui;

namespace {

// A picture whose left half is red and right half blue.
Image halves(int w, int h) {
  std::vector<std::uint8_t> rgba;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool left = x < w / 2;
      rgba.insert(rgba.end(), {std::uint8_t(left ? 255 : 0), 0, std::uint8_t(left ? 0 : 255), 255});
    }
  }
  return *Image::from_rgba(w, h, std::move(rgba));
}

template <typename Draw>
QImage render(Draw draw) {
  QImage canvas(60, 60, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::black);
  {
    QPainter qp(&canvas);
    qt::QtTextRenderer text;
    qt::QtPainter painter(qp, text);
    draw(painter);
  }
  return canvas;
}

bool reddish(QRgb c) {
  return qRed(c) > 200 && qBlue(c) < 60;
}
bool bluish(QRgb c) {
  return qBlue(c) > 200 && qRed(c) < 60;
}
bool black(QRgb c) {
  return qRed(c) < 10 && qGreen(c) < 10 && qBlue(c) < 10;
}

QByteArray encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

std::span<const std::uint8_t> span_of(const QByteArray& b) {
  return {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}

}  // namespace

TEST(DrawImage, CoverFillsARoundedCircleCentredOnThePicture) {
  const Rect dest{10, 10, 50, 50};
  for (const Image& picture : {halves(20, 10), halves(400, 200)}) {  // the second is shrunk first
    SCOPED_TRACE(picture.width());
    const QImage out = render(
        [&](Painter& p) { p.draw_image(picture, dest, {.fit = ImageFit::Cover, .radius = 20}); });
    EXPECT_TRUE(reddish(out.pixel(20, 30)));
    EXPECT_TRUE(bluish(out.pixel(40, 30)));
    // Inside the rectangle but outside the circle: untouched.
    EXPECT_TRUE(black(out.pixel(11, 11)));
    EXPECT_TRUE(black(out.pixel(48, 48)));
    // Cover keeps the picture's proportions: the middle columns of a 2:1
    // picture fill the square, so the top edge of the circle is coloured.
    EXPECT_FALSE(black(out.pixel(30, 12)));
  }
}

TEST(DrawImage, ContainLettersboxesStretchFillsAndTheClipHolds) {
  const Image picture = halves(20, 10);
  const QImage contain = render([&](Painter& p) {
    p.draw_image(picture, {10, 10, 50, 50}, {.fit = ImageFit::Contain});
  });
  EXPECT_TRUE(black(contain.pixel(30, 15)));  // above the 40 × 20 band
  EXPECT_TRUE(reddish(contain.pixel(15, 30)));
  EXPECT_TRUE(bluish(contain.pixel(45, 30)));

  const QImage stretch = render([&](Painter& p) {
    p.draw_image(picture, {10, 10, 50, 50}, {.fit = ImageFit::Stretch});
  });
  EXPECT_TRUE(reddish(stretch.pixel(12, 12)));
  EXPECT_TRUE(bluish(stretch.pixel(47, 47)));

  const QImage clipped = render([&](Painter& p) {
    p.save();
    p.clip({0, 0, 30, 60});
    p.draw_image(picture, {10, 10, 50, 50}, {.fit = ImageFit::Stretch});
    p.restore();
  });
  EXPECT_TRUE(reddish(clipped.pixel(15, 30)));
  EXPECT_TRUE(black(clipped.pixel(40, 30)));

  const QImage faded = render([&](Painter& p) {
    p.draw_image(picture, {10, 10, 50, 50}, {.fit = ImageFit::Stretch, .opacity = 0.5f});
  });
  EXPECT_NEAR(qRed(faded.pixel(15, 30)), 128, 8);
}

TEST(DecodeImage, GivesStraightRgbaAndRefusesWhatIsNoPicture) {
  QImage source(3, 2, QImage::Format_ARGB32);
  source.fill(QColor(255, 0, 0, 128));
  source.setPixelColor(2, 1, QColor(0, 0, 255, 255));
  for (const char* format : {"PNG", "BMP"}) {
    SCOPED_TRACE(format);
    const QByteArray bytes = encoded(
        format == std::string("BMP") ? source.convertToFormat(QImage::Format_RGB32) : source,
        format);
    auto picture = qt::decode_image(span_of(bytes));
    ASSERT_TRUE(picture.has_value()) << picture.error();
    EXPECT_EQ(picture->width(), 3);
    EXPECT_EQ(picture->height(), 2);
    const auto px = picture->rgba();
    EXPECT_EQ(px[0], 255);
    const std::size_t last = (1 * 3 + 2) * 4;
    EXPECT_EQ(px[last + 2], 255);
    EXPECT_EQ(px[last + 0], 0);
  }
  // Straight alpha: half-transparent red keeps its full red.
  auto png = qt::decode_image(span_of(encoded(source, "PNG")));
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(png->rgba()[0], 255);
  EXPECT_EQ(png->rgba()[3], 128);

  const QByteArray broken = encoded(source, "PNG").left(40);  // cut inside the data
  const QByteArray wide = encoded(QImage(Image::max_side + 1, 1, QImage::Format_RGB32), "PNG");
  for (const QByteArray& bad :
       {QByteArray(), QByteArray("<html>not a picture</html>"), broken, wide}) {
    EXPECT_FALSE(qt::decode_image(span_of(bad)).has_value()) << bad.size();
  }
}
