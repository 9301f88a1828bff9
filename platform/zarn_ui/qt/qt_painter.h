#pragma once
// Painter and text renderer over QPainter. Sizes are logical points; a font
// of size s is s pixels high at scale 1 whatever the device's DPI, so text
// measured here matches text drawn on any device.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <map>
#include <memory>
#include <tuple>

#include "zarn_ui/painter.h"
#include "zarn_ui/text.h"

namespace zarn_ui::qt {

class QtTextRenderer : public TextRenderer {
 public:
  QtTextRenderer();
  float measure(std::string_view text, const TextStyle& style) override;
  float line_height(const TextStyle& style) override;
  float ascent(const TextStyle& style) override;
  void draw(Painter& painter, std::string_view text, Point top_left, const TextStyle& style) override;
  // Shaped with QTextLayout (qt_text_layout.cpp).
  std::unique_ptr<RichTextLayout> layout(const std::vector<RichRun>& runs,
                                         const ParagraphOptions& options) override;
  // The 72 DPI device that text is measured and laid out on.
  QPaintDevice* reference_device() { return &reference_; }

  // The font for a style on a device with the given logical DPI.
  const QFont& font(const TextStyle& style, int dpi);

 private:
  using Key = std::tuple<int /*size×100*/, int, bool, bool, bool, bool, int /*dpi*/>;
  std::map<Key, QFont> fonts_;
  QImage reference_;  // 72 DPI device for measuring: one point is one pixel
};

// A QImage over a picture's pixels without copying them; the pixels stay
// alive as long as the QImage or any copy of it does.
QImage to_qimage(const Image& image);

class QtPainter : public Painter {
 public:
  QtPainter(QPainter& painter, QtTextRenderer& text);

  void fill_rect(const Rect& r, Color c) override;
  void fill_rounded_rect(const Rect& r, float radius, Color c) override;
  void stroke_rounded_rect(const Rect& r, float radius, Color c, float width) override;
  void fill_ellipse(const Rect& r, Color c) override;
  void stroke_ellipse(const Rect& r, Color c, float width) override;
  void line(Point a, Point b, Color c, float width, LineCap cap) override;
  void fill_path(const Path& p, Color c) override;
  void stroke_path(const Path& p, Color c, float width, LineCap cap) override;
  void fill_rounded_rect_gradient(const Rect& r, float radius, Color top, Color bottom) override;
  void draw_image(const Image& image, const Rect& dest, const ImageStyle& style) override;
  void save() override;
  void restore() override;
  void clip(const Rect& r) override;
  void translate(float dx, float dy) override;
  TextRenderer& text() override { return text_; }

  QPainter& qpainter() { return p_; }

 private:
  QPainter& p_;
  QtTextRenderer& text_;
};

}  // namespace zarn_ui::qt
