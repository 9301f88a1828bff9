#pragma once
// The system clipboard as text. The host installs the desktop's clipboard;
// until it does (tests, headless runs) a clipboard in memory stands in.

#include <optional>
#include <string>
#include <string_view>

namespace zarn_ui {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The clipboard's plain text, or nothing when it holds no text.
  virtual std::optional<std::string> text() = 0;
  virtual void set_text(std::string_view text) = 0;
};

// A clipboard of this process alone.
class MemoryClipboard : public Clipboard {
 public:
  std::optional<std::string> text() override { return text_; }
  void set_text(std::string_view text) override { text_ = std::string(text); }
  void clear() { text_.reset(); }

 private:
  std::optional<std::string> text_;
};

// The clipboard widgets use. Installing nullptr goes back to the in-memory one.
Clipboard& shared_clipboard();
void install_shared_clipboard(Clipboard* clipboard);

}  // namespace zarn_ui
