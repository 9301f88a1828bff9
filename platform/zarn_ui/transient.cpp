#include "zarn_ui/transient.h"

#include <algorithm>

#include "zarn_ui/painter.h"
#include "zarn_ui/surfaces.h"
#include "zarn_ui/text.h"
#include "zarn_ui/theme.h"

namespace zarn_ui {

Rect paint_transient(Painter& p, const Rect& window, std::string_view text, Tone tone,
                     const Theme& theme) {
  TextRenderer& tr = p.text();
  const TextStyle style{.size = theme.text(theme.type.small), .weight = 1, .color = theme.colors.text};
  const float dot = 8, pad = 14, height = std::max(tr.line_height(style) + 16, 34.0f);
  const float max_width = std::max(window.width() - 48, 80.0f);
  const float width = std::min(tr.measure(text, style) + dot + 3 * pad, max_width);
  const Rect r = Rect::xywh(window.left + (window.width() - width) / 2, window.bottom - height - 24,
                            width, height);
  Color accent = theme.colors.accent;
  switch (tone) {
    case Tone::Information: accent = theme.colors.accent; break;
    case Tone::Progress: accent = theme.colors.progress; break;
    case Tone::Warning: accent = theme.colors.warning; break;
    case Tone::Error: accent = theme.colors.error; break;
  }
  surface::shadow(p, r, height / 2, theme, 10);
  surface::pill(p, r, theme.colors.surface_raised);
  p.stroke_rounded_rect(r.inset(0.5f), height / 2, accent.with_alpha(0.55f), 1);
  p.fill_ellipse(Rect::xywh(r.left + pad, r.center().y - dot / 2, dot, dot), accent);
  tr.draw_elided(p, text, {r.left + pad + dot + pad * 0.7f, r.top + (height - tr.line_height(style)) / 2},
                 r.width() - (2.7f * pad + dot), style);
  return r;
}

}  // namespace zarn_ui
