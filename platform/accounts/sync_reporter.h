#pragma once
// Records the outcome of an account's last sync so that the suite can show it:
// "account-sync.json" in the configuration folder, one entry per account id.

#include <expected>
#include <filesystem>
#include <string>

namespace accounts {

class AccountSyncReporter {
 public:
  AccountSyncReporter(std::filesystem::path config_dir, std::string account_id);

  [[nodiscard]] std::expected<void, std::string> started();
  [[nodiscard]] std::expected<void, std::string> succeeded();
  [[nodiscard]] std::expected<void, std::string> offline();
  [[nodiscard]] std::expected<void, std::string> needs_authentication();
  [[nodiscard]] std::expected<void, std::string> failed();

  static constexpr const char* file_name = "account-sync.json";

 private:
  std::expected<void, std::string> record(const char* status);
  std::filesystem::path dir_;
  std::string account_id_;
};

}  // namespace accounts
