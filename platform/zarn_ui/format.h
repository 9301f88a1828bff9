#pragma once
// Formatting helpers shared by widgets.

#include <cstdint>
#include <string>

namespace zarn_ui::format {

// Human-readable size: "512 B", "1.5 KB", "180 KB", "3.2 MB", "1.1 GB" (1 KB = 1024 B).
std::string bytes(std::uint64_t count);

}  // namespace zarn_ui::format
