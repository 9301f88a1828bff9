#pragma once
// The preview scenes the launcher offers, and their window sizes.

#include <array>
#include <string_view>

#include "zarn_ui/geometry.h"

namespace mail {

inline constexpr std::array<std::string_view, 23> scene_names = {
    "wide",         "narrow",   "narrow_detail", "narrow_drawer",
    "mid",          "compose",  "compose_narrow", "setup",
    "setup_narrow", "setup_add", "setup_oauth",   "firstrun",
    "html_mail",    "search",   "preview",        "bulk",
    "bulk_purge_confirmation", "reply", "context_menu", "loading",
    "empty",        "offline",  "error",
};

inline constexpr std::string_view default_scene = "wide";

// Initial window size in points for a scene name (any other name: 1280 × 800).
zarn_ui::Size scene_size(std::string_view scene);

}  // namespace mail
