#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "accounts/secret_vault.h"

namespace fs = std::filesystem;
using namespace accounts;

namespace {
fs::path temp_dir() {
  auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path base = fs::temp_directory_path() /
                  ("vault-test-" + std::to_string(::getpid()) + "-" + info->name());
  fs::remove_all(base);
  fs::create_directories(base);
  return base;
}
unsigned mode_of(const fs::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 0777;
}
}  // namespace

TEST(SecretVault, SecretsRoundTripInPrivateFile) {
  auto dir = temp_dir();
  auto vault = SecretVault::open_in(dir);
  vault.put("a@example.org", Secret{"hunter2", std::nullopt});
  vault.put("b@example.org", Secret{"", std::string(R"({"access_token":"t"})")});
  vault.put("gone", Secret{"x", std::nullopt});
  vault.remove("gone");
  ASSERT_TRUE(vault.try_save());

  auto file = SecretVault::file_in(dir);
  EXPECT_EQ(mode_of(file), 0600u);
  EXPECT_EQ(mode_of(file.parent_path()), 0700u);
  auto again = SecretVault::open_in(dir);
  EXPECT_EQ(again.get("a@example.org"), (Secret{"hunter2", std::nullopt}));
  EXPECT_EQ(again.get("b@example.org")->token, std::string(R"({"access_token":"t"})"));
  EXPECT_FALSE(again.get("gone"));
  fs::remove_all(dir);
}

TEST(SecretVault, TwoInstancesSavingInTurnKeepBothChanges) {
  auto dir = temp_dir();
  auto first = SecretVault::open_in(dir);
  auto second = SecretVault::open_in(dir);  // opened before the first saves
  first.put("one", Secret{"1", std::nullopt});
  second.put("two", Secret{"2", std::nullopt});
  std::thread t([&] { ASSERT_TRUE(first.try_save()); });
  ASSERT_TRUE(second.try_save());
  t.join();
  auto merged = SecretVault::open_in(dir);
  EXPECT_TRUE(merged.get("one"));
  EXPECT_TRUE(merged.get("two"));
  fs::remove_all(dir);
}

TEST(SecretVault, SaveErrorIsReportedNotThrown) {
  auto dir = temp_dir();
  // The vault's folder is taken by a plain file: the save must fail cleanly.
  { std::ofstream(dir / "secrets") << "x"; }
  auto vault = SecretVault::open_in(dir);
  vault.put("k", Secret{"p", std::nullopt});
  auto r = vault.try_save();
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().find("\"p\""), std::string::npos);  // never the secret itself
  fs::remove_all(dir);
}

TEST(SecretVault, TextThatIsNotUtf8FailsTheSaveWithoutQuotingIt) {
  auto dir = temp_dir();
  auto vault = SecretVault::open_in(dir);
  vault.put("ok", Secret{"fine", std::nullopt});
  ASSERT_TRUE(vault.try_save());
  auto bad = SecretVault::open_in(dir);
  bad.put("k", Secret{"pa\xff\xfess", std::nullopt});
  auto r = bad.try_save();
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().find("pa"), std::string::npos);
  EXPECT_TRUE(SecretVault::open_in(dir).get("ok"));  // the file on disk is intact
  fs::remove_all(dir);
}
