#pragma once
// Keeping the bytes of a damaged file for the user: they are written next to
// it as "<name>.unreadable", or "<name>.unreadable.1", ".2" … when that name
// is taken. An earlier kept copy is never overwritten.

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace accounts::detail {

// How many kept copies of one file may pile up before keeping another fails.
inline constexpr int max_kept_copies = 100;

// Writes `bytes` to the first free name and returns it. `secret` makes the
// copy readable by its owner only, like the file it comes from.
[[nodiscard]] std::expected<std::filesystem::path, std::string> set_aside(
    const std::filesystem::path& path, std::string_view bytes, bool secret);

}  // namespace accounts::detail
