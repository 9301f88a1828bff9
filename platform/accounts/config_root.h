#pragma once
// Where the suite keeps its configuration: "$XDG_CONFIG_HOME/zarn", else
// "$HOME/.config/zarn"; absent when neither variable gives an absolute path.

#include <filesystem>
#include <optional>

namespace accounts {

[[nodiscard]] std::optional<std::filesystem::path> config_root();

}  // namespace accounts
