#include "zarn_ui/qt/qt_painter.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>

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

void QtPainter::save() { p_.save(); }
void QtPainter::restore() { p_.restore(); }
void QtPainter::clip(const Rect& r) { p_.setClipRect(qrect(r), Qt::IntersectClip); }
void QtPainter::translate(float dx, float dy) { p_.translate(dx, dy); }

}  // namespace zarn_ui::qt
