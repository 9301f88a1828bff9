#pragma once
// The suite's shared account store: records of several account types kept in
// "accounts.json" under the configuration root (or a given folder). Changes
// are made in memory and reach disk through save_in(), which re-reads the file
// under a lock and applies only this instance's changes, so concurrent writers
// never lose each other's records.

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace accounts {

struct AccountTypeId {
  std::string value;
  static AccountTypeId from(std::string_view text) { return {std::string(text)}; }
  bool operator==(const AccountTypeId&) const = default;
};

struct AccountId {
  std::string value;
  const std::string& to_string() const { return value; }
  bool operator==(const AccountId&) const = default;
};

struct AccountRecord {
  AccountId id;
  AccountTypeId type;
  std::string label;
  nlohmann::json settings;  // null when the record has none
  bool enabled = true;      // first flag
  bool avatar = false;      // second flag: show the account's avatar
  bool operator==(const AccountRecord&) const = default;
};

class AccountStore {
 public:
  static constexpr std::string_view file_name = "accounts.json";

  // The store at the configuration root; empty when there is none.
  static AccountStore load();
  // The store kept in `dir`. Unreadable records are skipped.
  static AccountStore load_in(const std::filesystem::path& dir);

  [[nodiscard]] std::vector<AccountRecord> list(const AccountTypeId& type) const;
  [[nodiscard]] std::optional<AccountId> active_id(const AccountTypeId& type) const;
  void set_active(const AccountTypeId& type, const AccountId& id);
  // Replaces the record with the same id in place, or appends it.
  void upsert(AccountRecord record);
  void remove(const AccountId& id);

  [[nodiscard]] std::expected<void, std::string> save_in(const std::filesystem::path& dir);

 private:
  struct Upsert { AccountRecord record; };
  struct Remove { AccountId id; };
  struct SetActive { AccountTypeId type; AccountId id; };
  using Change = std::variant<Upsert, Remove, SetActive>;

  void read_from(const nlohmann::json& doc);
  static void apply(nlohmann::json& doc, const Change& change);
  void record_change(Change change);

  nlohmann::json doc_ = nlohmann::json::object();
  std::vector<Change> pending_;
};

}  // namespace accounts
