#pragma once
// Qt input events → toolkit events. Positions are divided by the window's
// scale factor so widgets always see logical points.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <optional>

#include "zarn_ui/event.h"

namespace zarn_ui::qt {

Modifiers modifiers(Qt::KeyboardModifiers mods);
std::optional<Event> translate_key(const QKeyEvent& e, bool pressed);
Event translate_mouse(const QMouseEvent& e, double scale);
Event translate_wheel(const QWheelEvent& e, double scale);

}  // namespace zarn_ui::qt
