#pragma once
// Qt input events → toolkit events. Positions are divided by the window's
// scale factor so widgets always see logical points.

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <optional>
#include <vector>

#include "zarn_ui/event.h"

namespace zarn_ui::qt {

Modifiers modifiers(Qt::KeyboardModifiers mods);
std::optional<Event> translate_key(const QKeyEvent& e, bool pressed);
Event translate_mouse(const QMouseEvent& e, double scale);
Event translate_wheel(const QWheelEvent& e, double scale);
// An input method's update: the committed text (if any) and then the new
// composition. `composing` says whether a composition was shown before, so an
// update that neither commits nor composes yields nothing.
std::vector<Event> translate_input_method(const QInputMethodEvent& e, bool composing);
Qt::CursorShape cursor_shape(CursorShape shape);

}  // namespace zarn_ui::qt
