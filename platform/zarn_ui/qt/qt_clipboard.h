#pragma once
// The desktop's clipboard through Qt. Needs a QGuiApplication.

#include "zarn_ui/clipboard.h"

namespace zarn_ui::qt {

class QtClipboard : public Clipboard {
 public:
  std::optional<std::string> text() override;
  void set_text(std::string_view text) override;
};

}  // namespace zarn_ui::qt
