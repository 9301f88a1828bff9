#pragma once
// Read-modify-write of a JSON file shared by several writers (threads of one
// process and other processes): the file is re-read under an exclusive lock,
// the caller's changes are applied to what is on disk now, and the result is
// written atomically before the lock is released. Nothing written by another
// writer in between is lost.

#include <expected>
#include <filesystem>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

namespace accounts::detail {

struct LockedFile {
  std::filesystem::path path;  // the JSON document
  bool secret = false;         // 0600 file in a 0700 folder
};

// Reads the document; an absent or unreadable file reads as an empty object.
// A file that is not JSON at all is kept aside as "<name>.unreadable" by the
// next update, so its bytes are never silently destroyed.
[[nodiscard]] nlohmann::json read_document(const std::filesystem::path& path);

// Locks, re-reads, calls `apply` on the fresh document, writes it, unlocks.
[[nodiscard]] std::expected<void, std::string> update_document(
    const LockedFile& file, const std::function<void(nlohmann::json&)>& apply);

}  // namespace accounts::detail
