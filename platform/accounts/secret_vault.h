#pragma once
// The suite's secret vault: one secret per key, kept in "secrets/vault.json"
// (file mode 0600 in a 0700 folder) under the configuration root or a given
// folder. Secrets never reach a log. Like the store, try_save() re-reads the
// file under a lock and applies only this instance's changes.

#include <expected>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace accounts::vault {

struct Secret {
  std::string password;
  std::optional<std::string> token;
  bool operator==(const Secret&) const = default;
};

class SecretVault {
 public:
  // At the configuration root; with none, nothing is read and saves succeed.
  static SecretVault open();
  static SecretVault open_in(const std::filesystem::path& dir);

  [[nodiscard]] std::optional<Secret> get(const std::string& key) const;
  void put(const std::string& key, Secret secret);
  void remove(const std::string& key);
  [[nodiscard]] std::expected<void, std::string> try_save();

  // Where the vault file of a folder lives.
  static std::filesystem::path file_in(const std::filesystem::path& dir);

 private:
  struct Put { std::string key; Secret secret; };
  struct Remove { std::string key; };
  using Change = std::variant<Put, Remove>;

  std::optional<std::filesystem::path> dir_;
  std::map<std::string, Secret> secrets_;
  std::vector<Change> pending_;
};

}  // namespace accounts::vault

namespace accounts {
using vault::Secret;
using vault::SecretVault;
}  // namespace accounts
