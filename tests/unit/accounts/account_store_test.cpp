#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "accounts/account_store.h"
#include "accounts/config_root.h"
#include "atomic_file/atomic_file.h"

namespace fs = std::filesystem;
using namespace accounts;

namespace {
fs::path temp_dir() {
  auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path base = fs::temp_directory_path() /
                  ("store-test-" + std::to_string(::getpid()) + "-" + info->name());
  fs::remove_all(base);
  fs::create_directories(base);
  return base;
}
AccountRecord record(const std::string& id) {
  AccountRecord r;
  r.id = {id};
  r.type = AccountTypeId::from("email");
  r.label = "label " + id;
  r.settings = {{"email", id}};
  return r;
}
}  // namespace

TEST(AccountStore, SavedRecordsReadBackInOrderWithActiveId) {
  auto dir = temp_dir();
  auto store = AccountStore::load_in(dir);
  store.upsert(record("a@example.org"));
  store.upsert(record("b@example.org"));
  auto replaced = record("a@example.org");
  replaced.avatar = true;
  store.upsert(replaced);  // in place, not appended
  store.set_active(AccountTypeId::from("email"), AccountId{"b@example.org"});
  ASSERT_TRUE(store.save_in(dir));

  auto again = AccountStore::load_in(dir);
  auto list = again.list(AccountTypeId::from("email"));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], replaced);
  EXPECT_EQ(list[1].id.value, "b@example.org");
  EXPECT_EQ(again.active_id(AccountTypeId::from("email"))->value, "b@example.org");
  EXPECT_TRUE(again.list(AccountTypeId::from("calendar")).empty());
  fs::remove_all(dir);
}

TEST(AccountStore, UnreadableRecordsAreSkippedAndKept) {
  auto dir = temp_dir();
  ASSERT_TRUE(atomic_file::write(dir / "accounts.json", R"({"accounts":[
      {"id": 5, "type": "email"}, "junk", {"type":"email"},
      {"id":"ok@example.org","type":"email","label":"x","settings":{},"enabled":true,"avatar":false}]})"));
  auto store = AccountStore::load_in(dir);
  auto list = store.list(AccountTypeId::from("email"));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].id.value, "ok@example.org");

  // A file that is not JSON at all loads empty, and its bytes are kept aside on save.
  ASSERT_TRUE(atomic_file::write(dir / "accounts.json", "{not json"));
  auto broken = AccountStore::load_in(dir);
  EXPECT_TRUE(broken.list(AccountTypeId::from("email")).empty());
  broken.upsert(record("new@example.org"));
  ASSERT_TRUE(broken.save_in(dir));
  EXPECT_EQ(*atomic_file::read(dir / "accounts.json.unreadable"), "{not json");
  fs::remove_all(dir);
}

TEST(AccountStore, ConcurrentSavesFromThreadsAndProcessesLoseNothing) {
  auto dir = temp_dir();
  constexpr int kPerWriter = 15;
  auto writer = [&](const std::string& prefix) {
    for (int i = 0; i < kPerWriter; ++i) {
      auto store = AccountStore::load_in(dir);  // each save starts from a stale copy
      store.upsert(record(prefix + std::to_string(i)));
      ASSERT_TRUE(store.save_in(dir));
    }
  };
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int i = 0; i < kPerWriter; ++i) {
      auto store = AccountStore::load_in(dir);
      store.upsert(record("proc" + std::to_string(i)));
      if (!store.save_in(dir)) ::_exit(1);
    }
    ::_exit(0);
  }
  std::thread t1(writer, "t1-");
  std::thread t2(writer, "t2-");
  t1.join();
  t2.join();
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(AccountStore::load_in(dir).list(AccountTypeId::from("email")).size(), 3u * kPerWriter);
  fs::remove_all(dir);
}

TEST(ConfigRoot, FollowsXdgThenHomeAndIsAbsentWithoutEither) {
  const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
  const char* old_home = std::getenv("HOME");
  std::string saved_xdg = old_xdg ? old_xdg : "", saved_home = old_home ? old_home : "";
  ::setenv("XDG_CONFIG_HOME", "/x/conf", 1);
  ::setenv("HOME", "/h", 1);
  EXPECT_EQ(config_root(), fs::path("/x/conf/zarn"));
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(config_root(), fs::path("/h/.config/zarn"));
  ::unsetenv("XDG_CONFIG_HOME");
  ::unsetenv("HOME");
  EXPECT_FALSE(config_root());
  if (old_xdg) ::setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
  if (old_home) ::setenv("HOME", saved_home.c_str(), 1);
}
