#pragma once
// Shared surface drawing: cards, pills, separators, soft shadows and the thin
// light edge that lifts panels off the dark background.

#include "zarn_ui/geometry.h"

namespace zarn_ui {

class Painter;
struct Theme;

namespace surface {

// A raised rounded panel with border.
void card(Painter& p, const Rect& r, const Theme& theme, float radius = 0 /* theme default */);
// A fully rounded capsule (buttons, chips, badges).
void pill(Painter& p, const Rect& r, Color fill);
// A one-point line between two points.
void separator(Painter& p, Point a, Point b, const Theme& theme);
// A soft shadow under a rounded rectangle.
void shadow(Painter& p, const Rect& r, float radius, const Theme& theme, float spread = 18);
// A faint highlight along a panel's outline.
void edge_outline(Painter& p, const Rect& r, float radius, const Theme& theme);

}  // namespace surface
}  // namespace zarn_ui
