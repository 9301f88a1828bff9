#pragma once
// Atomic file writer: the new content is written to a temporary file in the
// destination's folder, flushed to disk, then renamed over the destination,
// so a reader (or a crash) sees either the old file or the new one whole.

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace atomic_file {

struct Options {
  // Permission bits of the written file.
  std::filesystem::perms mode =
      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
      std::filesystem::perms::group_read | std::filesystem::perms::others_read;
  // Create missing parent folders (with mode 0700 when private_dirs is set).
  bool create_dirs = true;
  bool private_dirs = false;
};

// Replaces `path` with `bytes`. On failure the previous file is untouched and
// no temporary file is left behind.
[[nodiscard]] std::expected<void, std::string> write(const std::filesystem::path& path,
                                                     std::string_view bytes,
                                                     const Options& options = {});

// Reads a whole file; an error text when it cannot be read.
[[nodiscard]] std::expected<std::string, std::string> read(const std::filesystem::path& path);

// Like read(), but a file that does not exist gives no value instead of an
// error, so callers can tell "absent" from "there but unreadable".
[[nodiscard]] std::expected<std::optional<std::string>, std::string> read_if_present(
    const std::filesystem::path& path);

}  // namespace atomic_file
