#include "state/accounts.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "accounts/account_store.h"
#include "accounts/secret_vault.h"

namespace mail {
namespace fs = std::filesystem;

const MailAccount* AccountList::active_account() const {
  if (entries.empty()) return nullptr;
  return &entries[active_position()];
}

MailAccount* AccountList::active_account() {
  if (entries.empty()) return nullptr;
  return &entries[active_position()];
}

std::size_t AccountList::active_position() const {
  return entries.empty() ? 0 : std::min(active, entries.size() - 1);
}

void upsert_account(AccountList& list, MailAccount account) {
  auto it = std::find_if(list.entries.begin(), list.entries.end(),
                         [&](const MailAccount& a) { return a.id == account.id; });
  if (it != list.entries.end()) {
    *it = std::move(account);
    list.active = static_cast<std::size_t>(it - list.entries.begin());
  } else {
    list.entries.push_back(std::move(account));
    list.active = list.entries.size() - 1;
  }
}

void remove_account(AccountList& list, std::size_t index) {
  if (index >= list.entries.size()) return;
  list.entries.erase(list.entries.begin() + static_cast<std::ptrdiff_t>(index));
  if (list.entries.empty()) {
    list.active = 0;
  } else if (list.active >= list.entries.size()) {
    list.active = list.entries.size() - 1;
  }
}

const char* mail_account_type() {
  return "email";
}

namespace {

accounts::AccountTypeId email_type() {
  return accounts::AccountTypeId::from(mail_account_type());
}

// The entry a stored record loads as, without its password; none when the
// record has no settings document or it does not read.
std::optional<MailAccount> account_from_record(const accounts::AccountRecord& record) {
  if (record.settings.is_null()) return std::nullopt;
  auto stored = read_settings_document(record.settings);
  if (!stored) return std::nullopt;
  MailAccount account;
  account.id = record.id.to_string();
  account.settings = std::move(stored->settings);
  account.collapsed = stored->collapsed;
  account.avatar = record.avatar;
  return account;
}

AccountList read_accounts(const accounts::AccountStore& store, const accounts::SecretVault& vault) {
  AccountList out;
  const auto type = email_type();
  for (const auto& record : store.list(type)) {
    auto account = account_from_record(record);
    if (!account) continue;  // unreadable settings: skipped, and left alone by saves
    if (auto secret = vault.get(account->id)) account->settings.password = secret->password;
    out.entries.push_back(std::move(*account));
  }
  out.active = 0;
  if (auto active = store.active_id(type)) {
    for (std::size_t i = 0; i < out.entries.size(); ++i) {
      if (out.entries[i].id == active->to_string()) {
        out.active = i;
        break;
      }
    }
  }
  return out;
}

}  // namespace

AccountList load_accounts() {
  return read_accounts(accounts::AccountStore::load(), accounts::SecretVault::open());
}

AccountList load_accounts(const fs::path& dir) {
  return read_accounts(accounts::AccountStore::load_in(dir), accounts::SecretVault::open_in(dir));
}

std::expected<void, std::string> save_accounts(const std::vector<MailAccount>& list,
                                               std::size_t active_index, const fs::path& dir) {
  auto store = accounts::AccountStore::load_in(dir);
  auto vault = accounts::SecretVault::open_in(dir);
  const auto type = email_type();

  std::unordered_set<std::string> kept;
  for (const auto& a : list) kept.insert(a.id);
  for (const auto& record : store.list(type)) {
    if (kept.contains(record.id.to_string())) continue;
    // NB: a record that does not load (settings of a newer version, a hand
    // edit) never reached the list, so its absence there is no request to
    // remove it. It stays exactly as it is, and so does its secret.
    if (!account_from_record(record)) continue;
    store.remove(record.id);
    vault.remove(record.id.to_string());
  }

  for (const auto& account : list) {
    accounts::AccountRecord record;
    record.id = accounts::AccountId{account.id};
    record.type = type;
    record.label = account_label(account);
    record.settings = nlohmann::json(settings_document(account.settings, account.collapsed));
    record.avatar = account.avatar;
    store.upsert(std::move(record));

    if (account.settings.auth == AuthKind::Password) {
      if (!account.settings.password.empty()) {
        vault.put(account.id, accounts::Secret{account.settings.password, std::nullopt});
      } else {
        vault.remove(account.id);
      }
    }
    // NB: an OAuth account's vault entry holds its tokens (under the email,
    // which is normally its id too). It is never touched here, not even when
    // a stray password is present, so saving cannot sign the account out.
  }

  if (active_index < list.size())
    store.set_active(type, accounts::AccountId{list[active_index].id});

  // The services serialise to JSON and may throw on texts that are not
  // valid UTF-8; that is a failed save, never a crash.
  try {
    if (auto saved = vault.try_save(); !saved) return saved;
  } catch (const std::exception&) {
    // The library's text may quote bytes of a secret; it is not passed on.
    return std::unexpected(std::string("could not save the secret vault"));
  }
  try {
    return store.save_in(dir);
  } catch (const std::exception& e) {
    return std::unexpected(std::string("could not save the account store: ") + e.what());
  }
}

std::expected<void, std::string> persist_accounts(const StorageLocation& location,
                                                  const AccountList& list) {
  if (std::holds_alternative<StorageLocation::None>(location.value)) return {};
  auto dir = location.folder();
  if (!dir) return {};  // no configuration root: nothing to write to
  return save_accounts(list.entries, list.active, *dir);
}

}  // namespace mail
