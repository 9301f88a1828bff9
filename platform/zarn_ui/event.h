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

// A key press. Key::Character comes only with a chord (Ctrl, Alt or Super
// held): its text names the key ("a" for Ctrl+A). A character typed without
// one arrives as a TextEvent instead. Space is a named key whose text is " ";
// text fields insert it.
struct KeyPress {
  Key key = Key::Unknown;
  std::string text;  // the chord's key for Key::Character (e.g. "a"), " " for Space
  Modifiers mods;
  bool repeat = false;
};

struct KeyRelease {
  Key key = Key::Unknown;
  std::string text;
  Modifiers mods;
};

// Committed text: typing, and what an input method commits. A typed
// character arrives once, as this, and never also as a KeyPress of
// Key::Character (those carry only chords such as Ctrl+A).
struct TextEvent {
  std::string text;
};

// An input method's composition in progress: shown at the caret (usually
// underlined) and replaced by each later Preedit; an empty text ends it.
// `cursor` is a byte offset into `text`.
struct Preedit {
  std::string text;
  int cursor = 0;
};

// How keyboard focus arrived, so a field can select its text on Tab.
enum class FocusReason { Tab, Pointer, Other };

// Keyboard focus arrives at or leaves the widget that receives this.
struct FocusIn {
  FocusReason reason = FocusReason::Other;
};
struct FocusOut {};

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

// The pointer comes over a widget (or one of its descendants) and leaves it.
struct PointerEnter {
  Point pos;
};
struct PointerLeave {};

struct Wheel {
  enum class Unit { Lines, Pixels };
  Point pos;
  float dx = 0, dy = 0;  // positive dy scrolls content up (towards the end)
  Unit unit = Unit::Lines;
  Modifiers mods;
};

using Event = std::variant<KeyPress, KeyRelease, TextEvent, Preedit, FocusIn, FocusOut,
                           PointerMove, PointerPress, PointerRelease, PointerEnter, PointerLeave,
                           Wheel>;

// The pointer's shape over a widget: the host shows it.
enum class CursorShape { Arrow, Hand, IBeam };

enum class EventResult { Ignored, Handled };

// The position of a pointer event, if it has one.
inline const Point* event_position(const Event& e) {
  if (auto* m = std::get_if<PointerMove>(&e)) return &m->pos;
  if (auto* p = std::get_if<PointerPress>(&e)) return &p->pos;
  if (auto* r = std::get_if<PointerRelease>(&e)) return &r->pos;
  if (auto* w = std::get_if<Wheel>(&e)) return &w->pos;
  if (auto* n = std::get_if<PointerEnter>(&e)) return &n->pos;
  return nullptr;
}

}  // namespace zarn_ui
