#pragma once
// Look: colour, typography and spacing tokens, with a text scale (user font
// size) and an interface scale (control sizes).

#include "zarn_ui/geometry.h"

namespace zarn_ui {

struct ColorTokens {
  Color window;          // behind everything
  Color sidebar;         // folder column
  Color surface;         // list and reader columns
  Color surface_raised;  // cards, sheets, menus
  Color surface_sunken;  // text inputs
  Color border;
  Color separator;
  Color text;
  Color text_muted;
  Color text_faint;
  Color accent;
  Color accent_text;  // text on the accent colour
  Color selection;
  Color hover;
  Color error;
  Color warning;
  Color success;
  Color progress;
  Color shadow;
  Color scrim;  // dims the window behind modal sheets
};

struct TypeTokens {
  float title = 20;
  float heading = 17;
  float body = 13;
  float label = 12.5;
  float small = 11.5;
  float caption = 10.5;
};

struct SpacingTokens {
  float gap_small = 6;
  float gap = 12;
  float inner_margin = 8;   // padding inside controls
  float outer_margin = 16;  // padding of panels
  float radius_small = 6;
  float radius = 10;
  float radius_large = 16;
};

struct Theme {
  ColorTokens colors;
  TypeTokens type;
  SpacingTokens spacing;
  float text_scale = 1;
  float ui_scale = 1;

  static Theme dark();

  // A type size with the text scale applied.
  float text(float size) const { return size * text_scale; }
};

}  // namespace zarn_ui
