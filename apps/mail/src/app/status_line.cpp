#include "app/status_line.h"

#include <initializer_list>

namespace mail {

std::string lowercase(std::string_view text) {
  // NB: status texts are built from English templates; only ASCII letters
  // change case, so names and addresses inside them keep their bytes.
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

zarn_ui::Tone status_tone(std::string_view text) {
  const std::string lower = lowercase(text);
  auto has_any = [&](std::initializer_list<std::string_view> words) {
    for (std::string_view w : words) {
      if (lower.find(w) != std::string::npos) return true;
    }
    return false;
  };
  if (has_any({"failed", "couldn’t", "couldn't", "error"})) return zarn_ui::Tone::Error;
  if (has_any({"offline", "isn't available"})) return zarn_ui::Tone::Warning;
  if (has_any({"sync", "connecting", "opening"})) return zarn_ui::Tone::Progress;
  return zarn_ui::Tone::Information;
}

}  // namespace mail
