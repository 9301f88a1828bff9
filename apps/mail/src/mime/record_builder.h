#pragma once
// Builds a MessageRecord from the raw bytes of a fetched message. The MIME
// parser stays behind this interface.

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "record/folder.h"
#include "record/record.h"

namespace mail {

struct FetchedMessage {
  std::span<const std::uint8_t> raw;
  FolderRole folder = FolderRole::Inbox;
  bool seen = false;                          // \Seen
  bool flagged = false;                       // \Flagged
  std::optional<std::int64_t> internal_date;  // INTERNALDATE in minutes, if the server sent one
  std::int64_t now = 0;                       // current minute
};

// The record, or why no message could be made of the bytes (the caller skips
// such a message). Never throws, never aborts on any input.
[[nodiscard]] std::expected<MessageRecord, std::string> build_record(const FetchedMessage& message);

// Convenience for text held in a string.
[[nodiscard]] std::expected<MessageRecord, std::string> build_record(
    std::string_view raw, FolderRole folder, bool seen, bool flagged,
    std::optional<std::int64_t> internal_date, std::int64_t now);

}  // namespace mail
