#include "zarn_ui/format.h"

#include <cstdio>

namespace zarn_ui::format {

std::string bytes(std::uint64_t count) {
  if (count < 1024) return std::to_string(count) + " B";
  static const char* units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(count) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 5) {
    value /= 1024.0;
    ++unit;
  }
  char buf[32];
  // One decimal below 10 (but never "10.0"), whole numbers above.
  if (value < 9.95) {
    std::snprintf(buf, sizeof buf, "%.1f %s", value, units[unit]);
  } else {
    std::snprintf(buf, sizeof buf, "%.0f %s", value, units[unit]);
  }
  return buf;
}

}  // namespace zarn_ui::format
