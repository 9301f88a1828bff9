#include "accounts/config_root.h"

#include <cstdlib>
#include <string_view>

namespace accounts {

std::optional<std::filesystem::path> config_root() {
  auto absolute_env = [](const char* name) -> std::optional<std::filesystem::path> {
    const char* value = std::getenv(name);
    if (value == nullptr || std::string_view(value).empty()) return std::nullopt;
    std::filesystem::path p(value);
    if (!p.is_absolute()) return std::nullopt;  // XDG: relative values are ignored
    return p;
  };
  if (auto xdg = absolute_env("XDG_CONFIG_HOME")) return *xdg / "zarn";
  if (auto home = absolute_env("HOME")) return *home / ".config" / "zarn";
  return std::nullopt;
}

}  // namespace accounts
