#pragma once
// The message list: conversations of a folder grouped by reply links, flat
// search results, and the messages the reader shows for a selection. Pure
// computation over the mail document; nothing is cached between frames.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doc/mail_document.h"
#include "record/folder.h"
#include "record/record.h"
#include "record/uuid.h"

namespace mail {

struct Conversation {
  std::string key;                // the thread key that grouped the messages
  std::string subject;            // normalised subject of the oldest message
  std::vector<Uuid> message_ids;  // date ascending, ties by id bytes; never empty
  bool operator==(const Conversation&) const = default;
};

struct ListRow {
  Uuid message_id;        // newest message of the conversation, or the search hit
  std::size_t count = 1;  // messages in the conversation; 1 in search mode
  bool operator==(const ListRow&) const = default;
};

// Trimmed, one "<" and one ">" removed, trimmed again; empty means absent.
[[nodiscard]] std::optional<std::string> normalize_message_id(std::string_view text);
// Trimmed, then "re:", "fwd:" and "fw:" prefixes (ASCII case-insensitive)
// removed with the white space after them, repeatedly. May be empty.
[[nodiscard]] std::string normalize_subject(std::string_view subject);

// Conversations of a folder, newest activity first. Only In-Reply-To links
// are followed, within the folder; a parent elsewhere keys its replies.
[[nodiscard]] std::vector<Conversation> conversations_in_folder(const MailDocument& doc,
                                                                FolderRole role);
[[nodiscard]] std::vector<ListRow> conversation_rows(
    const std::vector<Conversation>& conversations);

// No filter means any folder except Trash.
using FolderFilter = std::optional<FolderRole>;

struct SearchResult {
  std::vector<const MessageRecord*> messages;  // newest first
  std::size_t examined = 0;
  bool truncated = false;
};

// Case-insensitive (ASCII) substring search over subject, sender label,
// sender address and text body, newest arrivals examined first.
[[nodiscard]] SearchResult search_messages(const MailDocument& doc, std::string_view query,
                                           FolderFilter folder, std::size_t scan_limit,
                                           std::size_t result_limit);

inline constexpr std::size_t list_search_scan_limit = 4096;
inline constexpr std::size_t list_search_result_limit = 200;

// The rows the list shows: search hits while the trimmed query is not empty,
// otherwise the conversations of the selected folder.
[[nodiscard]] std::vector<ListRow> visible_rows(const MailDocument& doc, std::string_view query,
                                                FolderRole folder);

// What the reader shows for the selected message: every message of its
// folder with the same normalised subject, oldest first. Empty without a
// selection that resolves.
[[nodiscard]] std::vector<const MessageRecord*> open_conversation(const MailDocument& doc,
                                                                  std::optional<Uuid> selected);

}  // namespace mail
