#pragma once
// "mail-local.json": the user's compose format, and the sync status reports
// sent to the account services.

#include <filesystem>
#include <optional>
#include <string>

#include "state/storage_location.h"

namespace mail {

inline constexpr const char* local_state_file_name = "mail-local.json";

enum class ComposeFormat { Html, PlainText };

// The folder of the storage location joined with "mail-local.json".
[[nodiscard]] std::optional<std::filesystem::path> local_state_path(
    const StorageLocation& location);

// The file's path and the format last read or written, so that a save writes
// only on change.
struct LocalState {
  std::optional<std::filesystem::path> path;
  ComposeFormat remembered = ComposeFormat::Html;
};

// Reads the compose format; anything missing or malformed means HTML.
[[nodiscard]] LocalState load_compose_format(const StorageLocation& location);

// Writes {"compose_format":"text"|"html"} when `format` differs from the
// remembered value, through the atomic file writer (a failed write leaves the
// previous file whole). On failure the remembered value stays as it was and the
// status text "Compose format changed, but could not save that preference: {}"
// is returned.
[[nodiscard]] std::optional<std::string> save_compose_format(LocalState& state,
                                                             ComposeFormat format);

enum class SyncStatus {
  Started = 1,
  Succeeded = 2,
  Offline = 3,
  NeedsAuthentication = 4,
  Failed = 5
};

// Records the status for the trimmed account id (a blank id does nothing)
// in the configuration root, or in `config_dir`. Errors are logged as
// warnings, never returned.
void report_sync_status(const std::string& account_id, SyncStatus status);
void report_sync_status(const std::filesystem::path& config_dir, const std::string& account_id,
                        SyncStatus status);

}  // namespace mail
