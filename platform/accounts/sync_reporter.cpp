#include "accounts/sync_reporter.h"

#include <chrono>

#include "accounts/locked_json.h"

namespace accounts {

AccountSyncReporter::AccountSyncReporter(std::filesystem::path config_dir, std::string account_id)
    : dir_(std::move(config_dir)), account_id_(std::move(account_id)) {}

std::expected<void, std::string> AccountSyncReporter::record(const char* status) {
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  return detail::update_document({dir_ / file_name, false}, [&](nlohmann::json& doc) {
    nlohmann::json& all = doc["accounts"];
    if (!all.is_object()) all = nlohmann::json::object();
    all[account_id_] = {{"status", status}, {"updated_at", now}};
  });
}

std::expected<void, std::string> AccountSyncReporter::started() { return record("started"); }
std::expected<void, std::string> AccountSyncReporter::succeeded() { return record("succeeded"); }
std::expected<void, std::string> AccountSyncReporter::offline() { return record("offline"); }
std::expected<void, std::string> AccountSyncReporter::needs_authentication() {
  return record("needs_authentication");
}
std::expected<void, std::string> AccountSyncReporter::failed() { return record("failed"); }

}  // namespace accounts
