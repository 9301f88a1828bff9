// The store and the vault share one way of handling a file that is there but
// cannot be used: a read error fails the save and leaves the file as it is;
// bytes that are not a JSON object are kept aside before the file is replaced.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "accounts/account_store.h"
#include "accounts/secret_vault.h"
#include "accounts/set_aside.h"
#include "atomic_file/atomic_file.h"

namespace fs = std::filesystem;
using namespace accounts;

namespace {

fs::path temp_dir() {
  auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path base = fs::temp_directory_path() /
                  ("damaged-test-" + std::to_string(::getpid()) + "-" + info->name());
  fs::remove_all(base);
  fs::create_directories(base);
  return base;
}

// One of the two files, with a save that adds something to it.
struct Kind {
  const char* name;
  std::function<fs::path(const fs::path&)> file;
  std::function<std::expected<void, std::string>(const fs::path&)> save;
  const char* saved_text;  // appears in the file after the save
};

const std::string kSecret = "pw-never-in-errors";

std::vector<Kind> kinds() {
  return {
      {"store", [](const fs::path& dir) { return dir / AccountStore::file_name; },
       [](const fs::path& dir) {
         auto store = AccountStore::load_in(dir);
         AccountRecord r;
         r.id = {"new@example.org"};
         r.type = AccountTypeId::from("email");
         store.upsert(r);
         return store.save_in(dir);
       },
       "new@example.org"},
      {"vault", [](const fs::path& dir) { return SecretVault::file_in(dir); },
       [](const fs::path& dir) {
         auto vault = SecretVault::open_in(dir);
         vault.put("new@example.org", Secret{kSecret, std::nullopt});
         return vault.try_save();
       },
       "new@example.org"},
  };
}

unsigned mode_of(const fs::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 0777;
}

}  // namespace

TEST(DamagedFile, AFileThatCannotBeReadFailsTheSaveAndStaysAsItIs) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& file)> make;
    std::function<bool(const fs::path& file)> unchanged;
  };
  const std::vector<Case> cases = {
      {"a link to a folder",
       [](const fs::path& f) {
         fs::create_directory(f.string() + ".d");
         fs::create_symlink(f.filename().string() + ".d", f);
       },
       [](const fs::path& f) {
         return fs::is_symlink(f) && fs::read_symlink(f) == f.filename().string() + ".d";
       }},
      {"a link to itself", [](const fs::path& f) { fs::create_symlink(f.filename(), f); },
       [](const fs::path& f) { return fs::is_symlink(f) && fs::read_symlink(f) == f.filename(); }},
      {"a folder", [](const fs::path& f) { fs::create_directories(f / "inside"); },
       [](const fs::path& f) { return fs::is_directory(f / "inside"); }},
  };
  for (const Kind& kind : kinds()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(kind.name) + ": " + c.name);
      auto dir = temp_dir();
      const fs::path file = kind.file(dir);
      fs::create_directories(file.parent_path());
      c.make(file);
      auto saved = kind.save(dir);
      ASSERT_FALSE(saved);
      EXPECT_NE(saved.error().find(file.string()), std::string::npos) << saved.error();
      EXPECT_EQ(saved.error().find(kSecret), std::string::npos);
      EXPECT_TRUE(c.unchanged(file));
      EXPECT_FALSE(fs::exists(file.string() + ".unreadable"));
      fs::remove_all(dir);
    }
  }
}

TEST(DamagedFile, AFileWithoutReadPermissionFailsTheSave) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files of any mode";
  for (const Kind& kind : kinds()) {
    SCOPED_TRACE(kind.name);
    auto dir = temp_dir();
    const fs::path file = kind.file(dir);
    ASSERT_TRUE(atomic_file::write(file, R"({"kept":true})"));
    ::chmod(file.c_str(), 0);
    auto saved = kind.save(dir);
    ASSERT_FALSE(saved);
    EXPECT_NE(saved.error().find("Permission denied"), std::string::npos) << saved.error();
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(*atomic_file::read(file), R"({"kept":true})");
    fs::remove_all(dir);
  }
}

TEST(DamagedFile, BytesThatAreNotAJsonObjectAreKeptAsideWithoutOverwritingEarlierCopies) {
  for (const Kind& kind : kinds()) {
    SCOPED_TRACE(kind.name);
    auto dir = temp_dir();
    const fs::path file = kind.file(dir);
    const fs::path kept0 = file.string() + ".unreadable";
    const fs::path kept1 = file.string() + ".unreadable.1";
    const fs::path kept2 = file.string() + ".unreadable.2";

    // An empty file holds nothing to keep.
    ASSERT_TRUE(atomic_file::write(file, ""));
    ASSERT_TRUE(kind.save(dir));
    EXPECT_FALSE(fs::exists(kept0));

    const char* damaged[] = {"{\"secrets\": {\"a\": trunc", "[\"a list\"]", "\xff\xfe junk"};
    for (const char* bytes : damaged) {
      ASSERT_TRUE(atomic_file::write(file, bytes));
      ASSERT_TRUE(kind.save(dir));
      EXPECT_NE(atomic_file::read(file)->find(kind.saved_text), std::string::npos);
    }
    EXPECT_EQ(*atomic_file::read(kept0), damaged[0]);
    EXPECT_EQ(*atomic_file::read(kept1), damaged[1]);
    EXPECT_EQ(*atomic_file::read(kept2), damaged[2]);
    if (std::string(kind.name) == "vault") {
      EXPECT_EQ(mode_of(kept0), 0600u);  // may hold secrets
      EXPECT_EQ(mode_of(kept2), 0600u);
    }
    fs::remove_all(dir);
  }
}

TEST(DamagedFile, WhenTheBytesCannotBeKeptAsideTheSaveFailsAndTheFileStays) {
  for (const Kind& kind : kinds()) {
    SCOPED_TRACE(kind.name);
    auto dir = temp_dir();
    const fs::path file = kind.file(dir);
    ASSERT_TRUE(atomic_file::write(file, "not json"));
    // Every name for a kept copy is taken by an earlier one.
    ASSERT_TRUE(atomic_file::write(file.string() + ".unreadable", "first"));
    for (int n = 1; n < detail::max_kept_copies; ++n) {
      ASSERT_TRUE(atomic_file::write(file.string() + ".unreadable." + std::to_string(n), "old"));
    }
    auto saved = kind.save(dir);
    ASSERT_FALSE(saved);
    EXPECT_NE(saved.error().find("aside"), std::string::npos) << saved.error();
    EXPECT_EQ(*atomic_file::read(file), "not json");
    EXPECT_EQ(*atomic_file::read(file.string() + ".unreadable"), "first");
    fs::remove_all(dir);
  }
}
