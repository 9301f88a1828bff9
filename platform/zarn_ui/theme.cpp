#include "zarn_ui/theme.h"

namespace zarn_ui {

Theme Theme::dark() {
  Theme t;
  ColorTokens& c = t.colors;
  c.window = Color::hex(0x111318);
  c.sidebar = Color::hex(0x15181e);
  c.surface = Color::hex(0x1a1d24);
  c.surface_raised = Color::hex(0x22262f);
  c.surface_sunken = Color::hex(0x13161b);
  c.border = Color::hex(0x343a46);
  c.separator = Color::hex(0x2a2f39);
  c.text = Color::hex(0xe8eaef);
  c.text_muted = Color::hex(0xa7adba);
  c.text_faint = Color::hex(0x6f7685);
  c.accent = Color::hex(0x6c8cff);
  c.accent_text = Color::hex(0x0b0d12);
  c.selection = Color::hex(0x2b3a66);
  c.hover = Color::hex(0x252a34);
  c.error = Color::hex(0xff6b6b);
  c.warning = Color::hex(0xf2b84b);
  c.success = Color::hex(0x4fd18b);
  c.progress = Color::hex(0x7fb2ff);
  c.shadow = Color::hex(0x000000, 110);
  c.scrim = Color::hex(0x05060a, 150);
  return t;
}

}  // namespace zarn_ui
