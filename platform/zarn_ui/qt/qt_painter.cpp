#include "zarn_ui/qt/qt_painter.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <cmath>

namespace zarn_ui::qt {

namespace {

QColor qcolor(Color c) { return QColor(c.r, c.g, c.b, c.a); }
QRectF qrect(const Rect& r) { return QRectF(r.left, r.top, r.width(), r.height()); }
QString qstring(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QPainterPath qpath(const Path& path) {
  QPainterPath out;
  for (const Path::Segment& s : path.segments()) {
    switch (s.op) {
      case Path::Op::Move: out.moveTo(s.p[0].x, s.p[0].y); break;
      case Path::Op::Line: out.lineTo(s.p[0].x, s.p[0].y); break;
      case Path::Op::Quad: out.quadTo(s.p[0].x, s.p[0].y, s.p[1].x, s.p[1].y); break;
      case Path::Op::Cubic:
        out.cubicTo(s.p[0].x, s.p[0].y, s.p[1].x, s.p[1].y, s.p[2].x, s.p[2].y);
        break;
      case Path::Op::Close: out.closeSubpath(); break;
    }
  }
  return out;
}

QPen pen(Color c, float width, LineCap cap) {
  QPen p(qcolor(c));
  p.setWidthF(width);
  p.setCapStyle(cap == LineCap::Round ? Qt::RoundCap : Qt::FlatCap);
  p.setJoinStyle(Qt::RoundJoin);
  return p;
}

}  // namespace

QtTextRenderer::QtTextRenderer() : reference_(1, 1, QImage::Format_ARGB32_Premultiplied) {
  reference_.setDotsPerMeterX(2835);  // 72 DPI
  reference_.setDotsPerMeterY(2835);
}

const QFont& QtTextRenderer::font(const TextStyle& style, int dpi) {
  Key key{static_cast<int>(style.size * 100), style.weight, style.italic, style.underline,
          style.strike, style.mono, dpi};
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  QFont f;
  if (style.mono) {
    f.setFamilies({"DejaVu Sans Mono", "Noto Sans Mono", "Noto Color Emoji"});
    f.setStyleHint(QFont::Monospace);
  } else {
    f.setFamilies({"Inter", "Noto Sans", "Noto Sans CJK SC", "Noto Sans Symbols",
                   "Noto Sans Symbols2", "Noto Color Emoji", "DejaVu Sans"});
  }
  static const QFont::Weight weights[] = {QFont::Normal, QFont::Medium, QFont::DemiBold, QFont::Bold};
  f.setWeight(weights[std::clamp(style.weight, 0, 3)]);
  f.setItalic(style.italic);
  f.setUnderline(style.underline);
  f.setStrikeOut(style.strike);
  // Points are pixels at scale 1: convert to the device's typographic points.
  f.setPointSizeF(std::max(style.size, 1.0f) * 72.0 / dpi);
  // Unhinted outlines keep advances linear, so measuring and drawing agree.
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setKerning(true);
  return fonts_.emplace(key, f).first->second;
}

float QtTextRenderer::measure(std::string_view text, const TextStyle& style) {
  QFontMetricsF m(font(style, 72), &reference_);
  return static_cast<float>(m.horizontalAdvance(qstring(text)));
}

float QtTextRenderer::line_height(const TextStyle& style) {
  QFontMetricsF m(font(style, 72), &reference_);
  return static_cast<float>(m.height());
}

float QtTextRenderer::ascent(const TextStyle& style) {
  QFontMetricsF m(font(style, 72), &reference_);
  return static_cast<float>(m.ascent());
}

void QtTextRenderer::draw(Painter& painter, std::string_view text, Point top_left,
                          const TextStyle& style) {
  auto* qp = dynamic_cast<QtPainter*>(&painter);
  if (qp == nullptr || text.empty()) return;
  QPainter& p = qp->qpainter();
  const int dpi = p.device() ? p.device()->logicalDpiY() : 72;
  p.setFont(font(style, dpi));
  p.setPen(qcolor(style.color));
  p.drawText(QPointF(top_left.x, top_left.y + ascent(style)), qstring(text));
}

QtPainter::QtPainter(QPainter& painter, QtTextRenderer& text) : p_(painter), text_(text) {
  p_.setRenderHint(QPainter::Antialiasing, true);
  p_.setRenderHint(QPainter::TextAntialiasing, true);
  p_.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

void QtPainter::fill_rect(const Rect& r, Color c) { p_.fillRect(qrect(r), qcolor(c)); }

void QtPainter::fill_rounded_rect(const Rect& r, float radius, Color c) {
  p_.setPen(Qt::NoPen);
  p_.setBrush(qcolor(c));
  p_.drawRoundedRect(qrect(r), radius, radius);
}

void QtPainter::stroke_rounded_rect(const Rect& r, float radius, Color c, float width) {
  p_.setPen(pen(c, width, LineCap::Round));
  p_.setBrush(Qt::NoBrush);
  p_.drawRoundedRect(qrect(r), radius, radius);
}

void QtPainter::fill_ellipse(const Rect& r, Color c) {
  p_.setPen(Qt::NoPen);
  p_.setBrush(qcolor(c));
  p_.drawEllipse(qrect(r));
}

void QtPainter::stroke_ellipse(const Rect& r, Color c, float width) {
  p_.setPen(pen(c, width, LineCap::Round));
  p_.setBrush(Qt::NoBrush);
  p_.drawEllipse(qrect(r));
}

void QtPainter::line(Point a, Point b, Color c, float width, LineCap cap) {
  p_.setPen(pen(c, width, cap));
  p_.drawLine(QPointF(a.x, a.y), QPointF(b.x, b.y));
}

void QtPainter::fill_path(const Path& path, Color c) {
  p_.setPen(Qt::NoPen);
  p_.setBrush(qcolor(c));
  p_.drawPath(qpath(path));
}

void QtPainter::stroke_path(const Path& path, Color c, float width, LineCap cap) {
  p_.setPen(pen(c, width, cap));
  p_.setBrush(Qt::NoBrush);
  p_.drawPath(qpath(path));
}

void QtPainter::fill_rounded_rect_gradient(const Rect& r, float radius, Color top, Color bottom) {
  QLinearGradient g(QPointF(0, r.top), QPointF(0, r.bottom));
  g.setColorAt(0, qcolor(top));
  g.setColorAt(1, qcolor(bottom));
  p_.setPen(Qt::NoPen);
  p_.setBrush(g);
  p_.drawRoundedRect(qrect(r), radius, radius);
}

QImage to_qimage(const Image& image) {
  if (image.empty()) return {};
  auto* keep = new Image(image);
  return QImage(
      image.rgba().data(), image.width(), image.height(), static_cast<qsizetype>(image.width()) * 4,
      QImage::Format_RGBA8888, [](void* held) { delete static_cast<Image*>(held); }, keep);
}

void QtPainter::draw_image(const Image& image, const Rect& dest, const ImageStyle& style) {
  if (image.empty() || dest.empty() || style.opacity <= 0) return;
  const ImagePlacement place = place_image(
      {static_cast<float>(image.width()), static_cast<float>(image.height())}, dest, style.fit);
  if (place.target.empty() || place.source.empty()) return;
  QImage picture = to_qimage(image);
  QRectF source = qrect(place.source);
  const QRectF target = qrect(place.target);

  // Bilinear sampling skips pixels when shrinking by more than half, which
  // makes small avatars of large pictures grainy: shrink with area averaging
  // to the device size first.
  const QTransform& device = p_.deviceTransform();
  const qreal device_scale = std::hypot(device.m11(), device.m12());
  const QSize wanted(std::max(1, static_cast<int>(std::ceil(target.width() * device_scale))),
                     std::max(1, static_cast<int>(std::ceil(target.height() * device_scale))));
  if (wanted.width() * 2 < source.width() && wanted.height() * 2 < source.height()) {
    picture = picture.copy(source.toAlignedRect())
                  .scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    source = QRectF(QPointF(0, 0), QSizeF(picture.size()));
  }

  p_.save();
  p_.setOpacity(p_.opacity() * std::min(style.opacity, 1.0f));
  if (style.radius <= 0) {
    p_.drawImage(target, picture, source);
  } else {
    // A textured brush keeps the rounded edge antialiased, which a clip would not.
    QTransform map;
    map.translate(target.left(), target.top());
    map.scale(target.width() / source.width(), target.height() / source.height());
    map.translate(-source.left(), -source.top());
    QBrush brush(picture);
    brush.setTransform(map);
    p_.setPen(Qt::NoPen);
    p_.setBrush(brush);
    const qreal radius =
        std::min<qreal>(style.radius, std::min(target.width(), target.height()) / 2);
    p_.drawRoundedRect(target, radius, radius);
  }
  p_.restore();
}

void QtPainter::save() { p_.save(); }
void QtPainter::restore() { p_.restore(); }
void QtPainter::clip(const Rect& r) { p_.setClipRect(qrect(r), Qt::IntersectClip); }
void QtPainter::translate(float dx, float dy) { p_.translate(dx, dy); }

}  // namespace zarn_ui::qt
