#pragma once
// Read-modify-write of a JSON file shared by several writers (threads of one
// process and other processes): the file is re-read under an exclusive lock,
// the caller's changes are applied to what is on disk now, and the result is
// written atomically before the lock is released. Nothing written by another
// writer in between is lost.

#include <expected>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

namespace accounts::detail {

struct LockedFile {
  std::filesystem::path path;  // the JSON document
  bool secret = false;         // 0600 file in a 0700 folder
};

// Reads the document; an absent, unreadable or damaged file reads as an empty
// object (loading never fails).
[[nodiscard]] nlohmann::json read_document(const std::filesystem::path& path);

// Locks, re-reads, calls `apply` on the fresh document, writes it, unlocks.
// A file that is there but cannot be read fails the update with the read
// error and is left as it is. A file that is not a JSON object is kept aside
// first ("<name>.unreadable", then ".unreadable.1" …, never overwriting an
// earlier copy) and replaced by a fresh document; if it cannot be kept aside,
// the update fails and the file is left as it is.
[[nodiscard]] std::expected<void, std::string> update_document(
    const LockedFile& file, const std::function<void(nlohmann::json&)>& apply);

}  // namespace accounts::detail
