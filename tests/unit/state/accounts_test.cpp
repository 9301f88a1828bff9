#include "state/accounts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "accounts/account_store.h"
#include "accounts/secret_vault.h"
#include "temp_dir.h"

using namespace mail;
using mail_test::TempDir;
namespace fs = std::filesystem;

namespace {

MailAccount account(const std::string& email, AuthKind auth = AuthKind::Password,
                    const std::string& password = "") {
  AccountSettings s;
  s.display_name = "Name " + email;
  s.email = email;
  s.imap_host = "imap.example.org";
  s.smtp_host = "smtp.example.org";
  s.username = email;
  s.password = password;
  s.auth = auth;
  return new_account(s);
}

const auto email_type = accounts::AccountTypeId::from("email");

std::string file_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(AccountList, ActiveAccountIsClampedToTheLastEntry) {
  AccountList list;
  EXPECT_EQ(list.active_account(), nullptr);
  list.entries = {account("a@x.org"), account("b@x.org")};
  list.active = 7;
  ASSERT_NE(list.active_account(), nullptr);
  EXPECT_EQ(list.active_account()->id, "b@x.org");
  list.active = 0;
  EXPECT_EQ(list.active_account()->id, "a@x.org");
}

TEST(AccountList, UpsertReplacesInPlaceOrAppendsAndSelects) {
  AccountList list;
  upsert_account(list, account("a@x.org"));
  upsert_account(list, account("b@x.org"));
  upsert_account(list, account("c@x.org"));
  EXPECT_EQ(list.active, 2u);
  auto changed = account("a@x.org");
  changed.settings.display_name = "Changed";
  upsert_account(list, changed);
  ASSERT_EQ(list.entries.size(), 3u);
  EXPECT_EQ(list.active, 0u);
  EXPECT_EQ(list.entries[0].settings.display_name, "Changed");
  EXPECT_EQ(list.entries[1].id, "b@x.org");
}

TEST(AccountList, RemoveKeepsTheActiveIndexInRange) {
  AccountList list;
  for (const char* e : {"a@x.org", "b@x.org", "c@x.org"}) upsert_account(list, account(e));
  ASSERT_EQ(list.active, 2u);
  remove_account(list, 2);
  EXPECT_EQ(list.active, 1u);
  remove_account(list, 0);
  EXPECT_EQ(list.active, 0u);
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_EQ(list.entries[0].id, "b@x.org");
  remove_account(list, 5);  // out of range: nothing
  EXPECT_EQ(list.entries.size(), 1u);
  remove_account(list, 0);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_EQ(list.active_account(), nullptr);
}

TEST(SaveAccounts, RoundTripGivesEqualEntriesWithSecrets) {
  TempDir dir;
  auto pw = account("ada@example.org", AuthKind::Password, "s3cret");
  pw.collapsed = true;
  pw.avatar = true;
  auto oauth = account("bob@example.org", AuthKind::OAuth);
  auto other = account("", AuthKind::Password, "pw2");  // random id
  other.settings.imap_port = 143;
  other.settings.smtp_tls = false;
  std::vector<MailAccount> list{pw, oauth, other};
  ASSERT_TRUE(save_accounts(list, 1, dir.path()));

  auto loaded = load_accounts(dir.path());
  EXPECT_EQ(loaded.entries, list);
  EXPECT_EQ(loaded.active, 1u);

  auto store = accounts::AccountStore::load_in(dir.path());
  auto records = store.list(email_type);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].label, "Name ada@example.org");
  EXPECT_TRUE(records[0].avatar);
  EXPECT_TRUE(records[0].enabled);
  EXPECT_FALSE(records[0].settings.contains("password"));
  EXPECT_EQ(records[0].settings["auth"], "Password");
  EXPECT_EQ(records[1].settings["auth"], "OAuth");
}

TEST(SaveAccounts, DropsRemovedAccountsAndTheirSecrets) {
  TempDir dir;
  ASSERT_TRUE(save_accounts(
      {account("a@x.org", AuthKind::Password, "pa"), account("b@x.org", AuthKind::Password, "pb")},
      0, dir.path()));
  // Another application's record of a different type must survive.
  {
    auto store = accounts::AccountStore::load_in(dir.path());
    accounts::AccountRecord foreign;
    foreign.id = {"cal-1"};
    foreign.type = accounts::AccountTypeId::from("calendar");
    store.upsert(foreign);
    ASSERT_TRUE(store.save_in(dir.path()));
  }
  ASSERT_TRUE(save_accounts({account("b@x.org", AuthKind::Password, "pb")}, 0, dir.path()));

  auto store = accounts::AccountStore::load_in(dir.path());
  auto records = store.list(email_type);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].id.value, "b@x.org");
  EXPECT_EQ(store.list(accounts::AccountTypeId::from("calendar")).size(), 1u);
  auto vault = accounts::SecretVault::open_in(dir.path());
  EXPECT_FALSE(vault.get("a@x.org"));
  ASSERT_TRUE(vault.get("b@x.org"));
  EXPECT_EQ(vault.get("b@x.org")->password, "pb");
}

TEST(SaveAccounts, SecretsFollowTheAuthKind) {
  TempDir dir;
  const std::string tokens =
      R"({"access_token":"at","refresh_token":"rt","expires_in":3600,"obtained_at":5})";
  {
    auto vault = accounts::SecretVault::open_in(dir.path());
    vault.put("oauth@x.org", {"", tokens});
    vault.put("pw@x.org", {"old", std::nullopt});
    ASSERT_TRUE(vault.try_save());
  }
  auto oauth = account("oauth@x.org", AuthKind::OAuth);
  auto emptied = account("pw@x.org", AuthKind::Password, "");
  ASSERT_TRUE(save_accounts({oauth, emptied}, 0, dir.path()));

  auto vault = accounts::SecretVault::open_in(dir.path());
  ASSERT_TRUE(vault.get("oauth@x.org"));
  EXPECT_EQ(vault.get("oauth@x.org")->token, tokens);  // tokens kept
  EXPECT_FALSE(vault.get("pw@x.org"));                 // empty password: secret removed

  // A stray password on an OAuth account does not replace its tokens.
  oauth.settings.password = "typed before switching to OAuth";
  ASSERT_TRUE(save_accounts({oauth}, 0, dir.path()));
  vault = accounts::SecretVault::open_in(dir.path());
  ASSERT_TRUE(vault.get("oauth@x.org"));
  EXPECT_EQ(vault.get("oauth@x.org")->token, tokens);

  // A changed password replaces the old one.
  auto pw = account("pw@x.org", AuthKind::Password, "new");
  ASSERT_TRUE(save_accounts({pw}, 0, dir.path()));
  vault = accounts::SecretVault::open_in(dir.path());
  EXPECT_EQ(vault.get("pw@x.org"), (accounts::Secret{"new", std::nullopt}));
}

TEST(SaveAccounts, MarksTheActiveAccountOnlyForAnIndexInRange) {
  TempDir dir;
  std::vector<MailAccount> three{account("a@x.org"), account("b@x.org"), account("c@x.org")};
  ASSERT_TRUE(save_accounts(three, 5, dir.path()));
  EXPECT_FALSE(accounts::AccountStore::load_in(dir.path()).active_id(email_type));
  EXPECT_EQ(load_accounts(dir.path()).active, 0u);

  ASSERT_TRUE(save_accounts(three, 2, dir.path()));
  EXPECT_EQ(accounts::AccountStore::load_in(dir.path()).active_id(email_type)->value, "c@x.org");
  EXPECT_EQ(load_accounts(dir.path()).active, 2u);
}

TEST(SaveAccounts, AVaultFailureLeavesTheStoreFileUntouched) {
  TempDir dir;
  ASSERT_TRUE(save_accounts({account("a@x.org", AuthKind::Password, "pa")}, 0, dir.path()));
  const auto store_file = dir.path() / accounts::AccountStore::file_name;
  const auto before = file_bytes(store_file);
  ASSERT_FALSE(before.empty());

  // The vault's folder is replaced by a plain file, so the vault cannot be written.
  fs::remove_all(dir.path() / "secrets");
  std::ofstream(dir.path() / "secrets") << "not a folder";
  auto result = save_accounts({account("b@x.org", AuthKind::Password, "pb")}, 0, dir.path());
  ASSERT_FALSE(result);
  EXPECT_FALSE(result.error().empty());
  EXPECT_EQ(file_bytes(store_file), before);
}

TEST(LoadAccounts, SkipsRecordsWhoseSettingsDoNotRead) {
  TempDir dir;
  {
    auto store = accounts::AccountStore::load_in(dir.path());
    auto add = [&](const std::string& id, nlohmann::json settings) {
      accounts::AccountRecord r;
      r.id = {id};
      r.type = email_type;
      r.settings = std::move(settings);
      store.upsert(r);
    };
    auto good = nlohmann::json(settings_document(account("good@x.org").settings, false));
    auto lower = good;
    lower["auth"] = "password";
    auto no_user = good;
    no_user.erase("username");
    auto no_collapsed = good;
    no_collapsed.erase("collapsed");
    no_collapsed.erase("auth");
    add("lower@x.org", lower);
    add("none@x.org", nullptr);
    add("good@x.org", good);
    add("nouser@x.org", no_user);
    add("plain@x.org", no_collapsed);
    store.set_active(email_type, {"plain@x.org"});
    ASSERT_TRUE(store.save_in(dir.path()));
  }
  auto list = load_accounts(dir.path());
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0].id, "good@x.org");
  EXPECT_EQ(list.entries[1].id, "plain@x.org");
  EXPECT_FALSE(list.entries[1].collapsed);
  EXPECT_EQ(list.entries[1].settings.auth, AuthKind::Password);
  EXPECT_EQ(list.active, 1u);

  // A save of what was loaded keeps the records that were skipped.
  ASSERT_TRUE(save_accounts(list.entries, list.active, dir.path()));
  EXPECT_EQ(accounts::AccountStore::load_in(dir.path()).list(email_type).size(), 5u);
  EXPECT_EQ(load_accounts(dir.path()).entries, list.entries);
}

TEST(SaveAccounts, RecordsThatDoNotLoadStayExactlyAsTheyAreWithTheirSecrets) {
  const auto good = nlohmann::json(settings_document(account("good@x.org").settings, false));
  auto without = [&](const char* key) {
    auto doc = good;
    doc.erase(key);
    return doc;
  };
  auto with = [&](const char* key, nlohmann::json value) {
    auto doc = good;
    doc[key] = std::move(value);
    return doc;
  };
  const std::vector<std::pair<std::string, nlohmann::json>> unreadable = {
      {"missing-key@x.org", without("imap_host")},
      {"big-port@x.org", with("imap_port", 70000)},
      {"newer@x.org", with("imap_tls", {{"mode", "starttls"}, {"pinned", true}})},
      {"new-auth@x.org", with("auth", "Passkey")},
      {"no-settings@x.org", nullptr},
  };
  TempDir dir;
  const auto store_file = dir.path() / accounts::AccountStore::file_name;
  {
    auto store = accounts::AccountStore::load_in(dir.path());
    auto vault = accounts::SecretVault::open_in(dir.path());
    for (const auto& [id, settings] : unreadable) {
      accounts::AccountRecord r;
      r.id = {id};
      r.type = email_type;
      r.label = "kept " + id;
      r.settings = settings;
      r.avatar = true;
      store.upsert(r);
      vault.put(id, {"secret of " + id, std::nullopt});
    }
    ASSERT_TRUE(vault.try_save());
    ASSERT_TRUE(store.save_in(dir.path()));
  }
  auto records_by_id = [&] {
    std::map<std::string, std::string> out;
    const auto doc = nlohmann::json::parse(file_bytes(store_file));
    for (const auto& r : doc["accounts"]) out[r["id"].get<std::string>()] = r.dump();
    return out;
  };
  const auto before = records_by_id();

  auto list = load_accounts(dir.path());
  EXPECT_TRUE(list.entries.empty());
  // Adding an account, then removing every loaded one, must not touch them.
  upsert_account(list, account("added@x.org", AuthKind::Password, "pa"));
  ASSERT_TRUE(persist_accounts(StorageLocation::directory(dir.path()), list));
  ASSERT_TRUE(save_accounts({}, 0, dir.path()));

  const auto after = records_by_id();
  EXPECT_FALSE(after.contains("added@x.org"));
  auto vault = accounts::SecretVault::open_in(dir.path());
  EXPECT_FALSE(vault.get("added@x.org"));
  for (const auto& [id, settings] : unreadable) {
    SCOPED_TRACE(id);
    ASSERT_TRUE(after.contains(id));
    EXPECT_EQ(after.at(id), before.at(id));
    EXPECT_EQ(vault.get(id), (accounts::Secret{"secret of " + id, std::nullopt}));
  }
}

TEST(LoadAccounts, AnActiveIdNotInTheListGivesIndexZero) {
  TempDir dir;
  ASSERT_TRUE(save_accounts({account("a@x.org"), account("b@x.org")}, 1, dir.path()));
  {
    auto store = accounts::AccountStore::load_in(dir.path());
    store.set_active(email_type, {"gone@x.org"});
    ASSERT_TRUE(store.save_in(dir.path()));
  }
  EXPECT_EQ(load_accounts(dir.path()).active, 0u);
}

TEST(PersistAccounts, WritesByStorageLocation) {
  TempDir dir;
  AccountList list;
  upsert_account(list, account("a@x.org", AuthKind::Password, "pa"));

  ASSERT_TRUE(persist_accounts(StorageLocation::none(), list));
  EXPECT_FALSE(fs::exists(dir.path() / accounts::AccountStore::file_name));

  ASSERT_TRUE(persist_accounts(StorageLocation::directory(dir.path()), list));
  EXPECT_EQ(load_accounts(dir.path()).entries, list.entries);

  // The configuration root comes from the environment.
  TempDir home;
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  ASSERT_TRUE(persist_accounts(StorageLocation::default_root(), list));
  EXPECT_EQ(load_accounts().entries, list.entries);
  EXPECT_EQ(load_accounts(home.path() / "zarn").entries, list.entries);
  ::unsetenv("XDG_CONFIG_HOME");
  const char* old_home = std::getenv("HOME");
  const std::string saved_home = old_home ? old_home : "";
  ::unsetenv("HOME");
  EXPECT_TRUE(persist_accounts(StorageLocation::default_root(), list));  // no root: success
  EXPECT_TRUE(load_accounts().entries.empty());
  if (old_home) ::setenv("HOME", saved_home.c_str(), 1);
}
