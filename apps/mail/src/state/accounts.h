#pragma once
// The shell's account list and how it is loaded from and saved to the suite's
// account store and secret vault.

#include <cstddef>
#include <expected>
#include <filesystem>
#include <string>
#include <vector>

#include "state/account_settings.h"
#include "state/storage_location.h"

namespace mail {

// The ordered accounts plus the index of the selected ("active") one.
struct AccountList {
  std::vector<MailAccount> entries;
  std::size_t active = 0;

  // The entry at min(active, last index); none when the list is empty.
  [[nodiscard]] const MailAccount* active_account() const;
  [[nodiscard]] MailAccount* active_account();
  [[nodiscard]] std::size_t active_position() const;  // valid only when not empty
  bool operator==(const AccountList&) const = default;
};

// Replaces the entry with the same id in place or appends; either way the
// active index becomes that entry's position.
void upsert_account(AccountList& list, MailAccount account);

// Removes the entry at `index` (out of range: nothing happens); an active
// index past the end becomes the last index.
void remove_account(AccountList& list, std::size_t index);

// The type id of mail accounts in the account store ("email").
[[nodiscard]] const char* mail_account_type();

// Reads the accounts at the configuration root, or in `dir`. Records whose
// settings document does not read are skipped (and saves leave them alone).
[[nodiscard]] AccountList load_accounts();
[[nodiscard]] AccountList load_accounts(const std::filesystem::path& dir);

// Writes the whole list to the store and the vault in `dir`: stored accounts
// missing from the list are removed with their secrets, except records that
// do not load, which are kept as they are. The vault is saved first; a vault
// error stops the save before the store is written.
[[nodiscard]] std::expected<void, std::string> save_accounts(
    const std::vector<MailAccount>& accounts, std::size_t active_index,
    const std::filesystem::path& dir);

// Saves where the storage location says: the configuration root (nothing
// written, success, when there is none), a directory, or nowhere.
[[nodiscard]] std::expected<void, std::string> persist_accounts(const StorageLocation& location,
                                                                const AccountList& list);

}  // namespace mail
