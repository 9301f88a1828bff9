#include "zarn_ui/qt/event_translate.h"

#include <algorithm>

namespace zarn_ui::qt {

Modifiers modifiers(Qt::KeyboardModifiers mods) {
  Modifiers m;
  m.shift = mods.testFlag(Qt::ShiftModifier);
  m.ctrl = mods.testFlag(Qt::ControlModifier);
  m.alt = mods.testFlag(Qt::AltModifier);
  m.command = mods.testFlag(Qt::MetaModifier);  // Super
  return m;
}

namespace {

Key named_key(int qt_key) {
  switch (qt_key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return Key::Enter;
    case Qt::Key_Escape:
      return Key::Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return Key::Tab;
    case Qt::Key_Backspace:
      return Key::Backspace;
    case Qt::Key_Delete:
      return Key::Delete;
    case Qt::Key_Space:
      return Key::Space;
    case Qt::Key_Left:
      return Key::Left;
    case Qt::Key_Right:
      return Key::Right;
    case Qt::Key_Up:
      return Key::Up;
    case Qt::Key_Down:
      return Key::Down;
    case Qt::Key_Home:
      return Key::Home;
    case Qt::Key_End:
      return Key::End;
    case Qt::Key_PageUp:
      return Key::PageUp;
    case Qt::Key_PageDown:
      return Key::PageDown;
    default:
      break;
  }
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F12) {
    return static_cast<Key>(static_cast<int>(Key::F1) + (qt_key - Qt::Key_F1));
  }
  return Key::Unknown;
}

PointerButton button(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton:
      return PointerButton::Left;
    case Qt::RightButton:
      return PointerButton::Right;
    case Qt::MiddleButton:
      return PointerButton::Middle;
    default:
      return PointerButton::Other;
  }
}

}  // namespace

std::optional<Event> translate_key(const QKeyEvent& e, bool pressed) {
  Key key = named_key(e.key());
  std::string text = e.text().toStdString();
  Modifiers mods = modifiers(e.modifiers());
  if (e.key() == Qt::Key_Backtab) mods.shift = true;
  if (key == Key::Unknown) {
    const bool printable =
        !text.empty() && static_cast<unsigned char>(text[0]) >= 0x20 && text != "\x7f";
    const bool chord = mods.ctrl || mods.alt || mods.command;
    // A typed character arrives once, as text, so that a text field takes it
    // and no shortcut acts on it as well; only chords stay key presses.
    if (printable && !chord) {
      if (pressed) return TextEvent{text};
      return KeyRelease{Key::Character, text, mods};
    }
    if (!printable) {
      // Control chords carry no printable text: name the key by its letter.
      if (e.key() >= Qt::Key_A && e.key() <= Qt::Key_Z) {
        text = std::string(1, static_cast<char>('a' + (e.key() - Qt::Key_A)));
      } else if (e.key() >= Qt::Key_0 && e.key() <= Qt::Key_9) {
        text = std::string(1, static_cast<char>('0' + (e.key() - Qt::Key_0)));
      } else {
        return std::nullopt;
      }
    }
    key = Key::Character;
  } else if (key != Key::Space) {
    text.clear();
  }
  if (pressed) return KeyPress{key, text, mods, e.isAutoRepeat()};
  return KeyRelease{key, text, mods};
}

Event translate_mouse(const QMouseEvent& e, double scale) {
  const QPointF p = e.position() / scale;
  const Point pos{static_cast<float>(p.x()), static_cast<float>(p.y())};
  const Modifiers mods = modifiers(e.modifiers());
  switch (e.type()) {
    case QEvent::MouseButtonPress:
      return PointerPress{pos, button(e.button()), mods, 1};
    case QEvent::MouseButtonDblClick:
      return PointerPress{pos, button(e.button()), mods, 2};
    case QEvent::MouseButtonRelease:
      return PointerRelease{pos, button(e.button()), mods};
    default:
      return PointerMove{pos, mods};
  }
}

Event translate_wheel(const QWheelEvent& e, double scale) {
  const QPointF p = e.position() / scale;
  Wheel w;
  w.pos = {static_cast<float>(p.x()), static_cast<float>(p.y())};
  w.mods = modifiers(e.modifiers());
  if (!e.pixelDelta().isNull()) {
    w.unit = Wheel::Unit::Pixels;
    w.dx = static_cast<float>(-e.pixelDelta().x() / scale);
    w.dy = static_cast<float>(-e.pixelDelta().y() / scale);
  } else {
    // 120 units per notch; one notch scrolls three lines.
    w.unit = Wheel::Unit::Lines;
    w.dx = static_cast<float>(-e.angleDelta().x() / 120.0 * 3);
    w.dy = static_cast<float>(-e.angleDelta().y() / 120.0 * 3);
  }
  return w;
}

std::vector<Event> translate_input_method(const QInputMethodEvent& e, bool composing) {
  std::vector<Event> out;
  if (!e.commitString().isEmpty()) out.push_back(TextEvent{e.commitString().toStdString()});
  const QString& pre = e.preeditString();
  if (!pre.isEmpty() || composing) {
    int cursor = pre.size();
    for (const QInputMethodEvent::Attribute& a : e.attributes()) {
      if (a.type == QInputMethodEvent::Cursor) cursor = std::clamp(a.start, 0, int(pre.size()));
    }
    // Qt counts UTF-16 units; widgets count bytes of UTF-8.
    out.push_back(Preedit{pre.toStdString(), static_cast<int>(pre.left(cursor).toUtf8().size())});
  }
  return out;
}

Qt::CursorShape cursor_shape(CursorShape shape) {
  switch (shape) {
    case CursorShape::Hand:
      return Qt::PointingHandCursor;
    case CursorShape::IBeam:
      return Qt::IBeamCursor;
    case CursorShape::Arrow:
      break;
  }
  return Qt::ArrowCursor;
}

}  // namespace zarn_ui::qt
