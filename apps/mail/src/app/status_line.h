#pragma once
// How the status line reads: lower-cased, with a tone picked from its words.

#include <string>
#include <string_view>

#include "zarn_ui/transient.h"

namespace mail {

// First match wins: error ("failed", "couldn’t", "couldn't", "error"), warning
// ("offline", "isn't available"), progress ("sync", "connecting", "opening"),
// else information. Matching ignores letter case.
zarn_ui::Tone status_tone(std::string_view text);

// ASCII and Unicode-aware lower-casing of the status text.
std::string lowercase(std::string_view text);

}  // namespace mail
