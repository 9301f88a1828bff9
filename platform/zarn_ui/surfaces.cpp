#include "zarn_ui/surfaces.h"

#include "zarn_ui/painter.h"
#include "zarn_ui/theme.h"

namespace zarn_ui::surface {

void card(Painter& p, const Rect& r, const Theme& theme, float radius) {
  const float rad = radius > 0 ? radius : theme.spacing.radius;
  p.fill_rounded_rect(r, rad, theme.colors.surface_raised);
  p.stroke_rounded_rect(r.inset(0.5f), rad, theme.colors.border, 1);
}

void pill(Painter& p, const Rect& r, Color fill) { p.fill_rounded_rect(r, r.height() / 2, fill); }

void separator(Painter& p, Point a, Point b, const Theme& theme) {
  p.line(a, b, theme.colors.separator, 1, LineCap::Butt);
}

void shadow(Painter& p, const Rect& r, float radius, const Theme& theme, float spread) {
  // Stacked translucent outlines growing outwards approximate a blur.
  const int steps = 8;
  for (int i = steps; i >= 1; --i) {
    const float grow = spread * static_cast<float>(i) / steps;
    const float alpha = 0.16f * (1.0f - static_cast<float>(i - 1) / steps);
    Rect g{r.left - grow * 0.6f, r.top - grow * 0.3f, r.right + grow * 0.6f, r.bottom + grow};
    p.fill_rounded_rect(g, radius + grow, theme.colors.shadow.with_alpha(alpha));
  }
}

void edge_outline(Painter& p, const Rect& r, float radius, const Theme& theme) {
  (void)theme;
  p.stroke_rounded_rect(r.inset(1.0f), radius - 1, Color::hex(0xffffff, 18), 1);
}

}  // namespace zarn_ui::surface
