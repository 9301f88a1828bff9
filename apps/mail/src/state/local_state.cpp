#include "state/local_state.h"

#include <nlohmann/json.hpp>

#include "accounts/config_root.h"
#include "accounts/sync_reporter.h"
#include "atomic_file/atomic_file.h"
#include "log/log.h"
#include "text_codec/ascii.h"

namespace mail {
namespace fs = std::filesystem;

std::optional<fs::path> local_state_path(const StorageLocation& location) {
  auto dir = location.folder();
  if (!dir) return std::nullopt;
  return *dir / local_state_file_name;
}

namespace {

ComposeFormat read_format(const fs::path& path) {
  const auto bytes = atomic_file::read(path);
  if (!bytes) return ComposeFormat::Html;
  const auto doc = nlohmann::json::parse(*bytes, nullptr, /*allow_exceptions=*/false);
  if (!doc.is_object()) return ComposeFormat::Html;
  auto it = doc.find("compose_format");
  if (it == doc.end() || !it->is_string()) return ComposeFormat::Html;
  return it->get_ref<const std::string&>() == "text" ? ComposeFormat::PlainText
                                                     : ComposeFormat::Html;
}

std::expected<void, std::string> write_format(const fs::path& path, ComposeFormat format) {
  const std::string_view text = format == ComposeFormat::PlainText ? R"({"compose_format":"text"})"
                                                                   : R"({"compose_format":"html"})";
  // Missing folders are created; a failed write leaves the previous file whole.
  return atomic_file::write(path, text);
}

}  // namespace

LocalState load_compose_format(const StorageLocation& location) {
  LocalState state;
  state.path = local_state_path(location);
  state.remembered = state.path ? read_format(*state.path) : ComposeFormat::Html;
  return state;
}

std::optional<std::string> save_compose_format(LocalState& state, ComposeFormat format) {
  if (format == state.remembered) return std::nullopt;
  if (!state.path) {
    state.remembered = format;
    return std::nullopt;
  }
  if (auto written = write_format(*state.path, format); !written) {
    return "Compose format changed, but could not save that preference: " + written.error();
  }
  state.remembered = format;
  return std::nullopt;
}

namespace {
using text_codec::trim;
}  // namespace

void report_sync_status(const fs::path& config_dir, const std::string& account_id,
                        SyncStatus status) {
  const std::string id(trim(account_id));
  if (id.empty()) return;
  accounts::AccountSyncReporter reporter(config_dir, id);
  std::expected<void, std::string> result;
  switch (status) {
    case SyncStatus::Started:
      result = reporter.started();
      break;
    case SyncStatus::Succeeded:
      result = reporter.succeeded();
      break;
    case SyncStatus::Offline:
      result = reporter.offline();
      break;
    case SyncStatus::NeedsAuthentication:
      result = reporter.needs_authentication();
      break;
    case SyncStatus::Failed:
      result = reporter.failed();
      break;
  }
  if (!result) {
    zlog::warn(zlog::app, "mail: could not persist sync status",
               {{"error", result.error()}, {"account", id}});
  }
}

void report_sync_status(const std::string& account_id, SyncStatus status) {
  if (trim(account_id).empty()) return;
  auto root = accounts::config_root();
  if (!root) return;  // no configuration root: nowhere to record it
  report_sync_status(*root, account_id, status);
}

}  // namespace mail
