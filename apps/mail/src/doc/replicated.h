#pragma once
// What the user changed locally, kept in the host's replicated document:
// per-message read, starred, folder and labels; whether each message is still
// present or was purged; the user's own folders; the one current draft.
//
// Layout under the root map (message keys are lower-case hyphenated UUIDs):
//   "flags"/key/{"read","starred","folder","labels"}
//   "messages"/key/{"present","purged"}
//   "folders"/id = display name
//   "draft"/{"to","cc","bcc","subject","body","html_body","calendar_ics","attachments"}
// Reads treat a value of the wrong kind as absent; structure writes replace it.

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "actions/verbs.h"
#include "doc/mail_document.h"
#include "draft/draft.h"
#include "persist/persist.h"
#include "record/folder.h"
#include "record/record.h"

namespace mail {

using ReplicatedDocument = persist::Document;

// Presence.
[[nodiscard]] bool is_present(const ReplicatedDocument& doc, std::string_view key);
[[nodiscard]] bool is_hidden(const ReplicatedDocument& doc, std::string_view key);
void mark_present(ReplicatedDocument& doc, std::string_view key);
void mark_purged(ReplicatedDocument& doc, std::string_view key);

// Per-message state.
[[nodiscard]] std::optional<bool> read_of(const ReplicatedDocument& doc, std::string_view key);
[[nodiscard]] std::optional<bool> starred_of(const ReplicatedDocument& doc, std::string_view key);
[[nodiscard]] std::optional<FolderRole> folder_of(const ReplicatedDocument& doc,
                                                  std::string_view key);
[[nodiscard]] std::vector<std::string> labels_of(const ReplicatedDocument& doc,
                                                 std::string_view key);
void put_read(ReplicatedDocument& doc, std::string_view key, bool value);
void put_starred(ReplicatedDocument& doc, std::string_view key, bool value);
void put_folder(ReplicatedDocument& doc, std::string_view key, FolderRole role);
void add_label(ReplicatedDocument& doc, std::string_view key, std::string_view label);
void remove_label(ReplicatedDocument& doc, std::string_view key, std::string_view label);

// User folders, sorted by identifier.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> folders(
    const ReplicatedDocument& doc);
void create_folder(ReplicatedDocument& doc, std::string_view id, std::string_view name);
void rename_folder(ReplicatedDocument& doc, std::string_view id, std::string_view name);
void delete_folder(ReplicatedDocument& doc, std::string_view id);

// The current draft.
[[nodiscard]] DraftData load_draft(const ReplicatedDocument& doc);
void save_draft(ReplicatedDocument& doc, const DraftData& draft);
void discard_draft(ReplicatedDocument& doc);

// Records the server's state of a fetched record where the document has no
// value yet, and marks it present.
void apply_server_defaults(ReplicatedDocument& doc, const MessageRecord& record);
// Takes hidden messages out of the mail document and lays the local state
// over the rest.
void apply_overlay(const ReplicatedDocument& doc, MailDocument& mail);

struct ActionError {
  int code = 0;
  std::string message;
  bool operator==(const ActionError&) const = default;
};
inline constexpr int purge_precondition_code = 42;
inline constexpr std::string_view purge_precondition_message =
    "every message must still be present in Trash before permanent deletion";

// Executes one mail action; only Purge's precondition can fail.
[[nodiscard]] std::expected<void, ActionError> apply_action(ReplicatedDocument& doc,
                                                            const MailAction& action);

}  // namespace mail
