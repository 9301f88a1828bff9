#include "zarn_ui/clipboard.h"

namespace zarn_ui {

namespace {
Clipboard* g_installed = nullptr;
}  // namespace

Clipboard& shared_clipboard() {
  static MemoryClipboard fallback;
  return g_installed != nullptr ? *g_installed : fallback;
}

void install_shared_clipboard(Clipboard* clipboard) {
  g_installed = clipboard;
}

}  // namespace zarn_ui
