#pragma once
// The status toast: one short line near the bottom of the window, coloured by tone.

#include <string_view>

#include "zarn_ui/geometry.h"

namespace zarn_ui {

class Painter;
struct Theme;

enum class Tone { Information, Progress, Warning, Error };

// Draws `text` as a toast centred near the bottom of `window`; returns its rectangle.
Rect paint_transient(Painter& p, const Rect& window, std::string_view text, Tone tone,
                     const Theme& theme);

}  // namespace zarn_ui
