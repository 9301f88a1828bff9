#pragma once
// Input events as widgets receive them, in logical points (positions are
// already divided by the window's scale factor).

#include <string>
#include <variant>

#include "zarn_ui/geometry.h"

namespace zarn_ui {

enum class Key {
  Unknown, Character, Enter, Escape, Tab, Backspace, Delete, Space,
  Left, Right, Up, Down, Home, End, PageUp, PageDown,
  F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
};

struct Modifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool command = false;  // the Super key
  bool any() const { return shift || ctrl || alt || command; }
  bool operator==(const Modifiers&) const = default;
};

enum class PointerButton { Left, Right, Middle, Other };

struct KeyPress {
  Key key = Key::Unknown;
  std::string text;  // what the key types, for Key::Character (e.g. "x", "?")
  Modifiers mods;
  bool repeat = false;
};

struct KeyRelease {
  Key key = Key::Unknown;
  std::string text;
  Modifiers mods;
};

// Committed text (typing, input methods).
struct TextInput {
  std::string text;
};

struct PointerMove {
  Point pos;
  Modifiers mods;
};

struct PointerPress {
  Point pos;
  PointerButton button = PointerButton::Left;
  Modifiers mods;
  int clicks = 1;
};

struct PointerRelease {
  Point pos;
  PointerButton button = PointerButton::Left;
  Modifiers mods;
};

struct Wheel {
  enum class Unit { Lines, Pixels };
  Point pos;
  float dx = 0, dy = 0;  // positive dy scrolls content up (towards the end)
  Unit unit = Unit::Lines;
  Modifiers mods;
};

using Event = std::variant<KeyPress, KeyRelease, TextInput, PointerMove, PointerPress,
                           PointerRelease, Wheel>;

enum class EventResult { Ignored, Handled };

// The position of a pointer event, if it has one.
inline const Point* event_position(const Event& e) {
  if (auto* m = std::get_if<PointerMove>(&e)) return &m->pos;
  if (auto* p = std::get_if<PointerPress>(&e)) return &p->pos;
  if (auto* r = std::get_if<PointerRelease>(&e)) return &r->pos;
  if (auto* w = std::get_if<Wheel>(&e)) return &w->pos;
  return nullptr;
}

}  // namespace zarn_ui
