#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "atomic_file/atomic_file.h"

namespace fs = std::filesystem;

namespace {
fs::path temp_dir() {
  fs::path base = fs::temp_directory_path() / ("atomic-test-" + std::to_string(::getpid()) + "-" +
                                               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(base);
  fs::create_directories(base);
  return base;
}
}  // namespace

TEST(AtomicFile, ReplacesContentAndLeavesNoTemporaryFiles) {
  auto dir = temp_dir();
  auto path = dir / "nested" / "file.json";
  ASSERT_TRUE(atomic_file::write(path, "old"));
  ASSERT_TRUE(atomic_file::write(path, "new"));
  EXPECT_EQ(*atomic_file::read(path), "new");
  int entries = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(path.parent_path())) ++entries;
  EXPECT_EQ(entries, 1);
  fs::remove_all(dir);
}

TEST(AtomicFile, FailedWriteKeepsOldFileAndReportsError) {
  auto dir = temp_dir();
  auto path = dir / "file";
  ASSERT_TRUE(atomic_file::write(path, "old"));
  ::chmod(dir.c_str(), 0500);  // no new files in the folder
  if (::geteuid() == 0) {
    // root ignores folder permissions; use a path whose parent is a file instead
    ::chmod(dir.c_str(), 0700);
    auto bad = atomic_file::write(path / "child", "x");
    EXPECT_FALSE(bad);
  } else {
    auto r = atomic_file::write(path, "new");
    EXPECT_FALSE(r);
    ::chmod(dir.c_str(), 0700);
  }
  EXPECT_EQ(*atomic_file::read(path), "old");
  fs::remove_all(dir);
}

TEST(AtomicFile, KilledWriterLeavesOldOrNewContentWhole) {
  auto dir = temp_dir();
  auto path = dir / "big";
  const std::string old_content(1 << 20, 'o');
  const std::string new_content(64 << 20, 'n');
  ASSERT_TRUE(atomic_file::write(path, old_content));
  for (int delay_us : {0, 2000, 10000, 40000}) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) (void)atomic_file::write(path, new_content);
    }
    ::usleep(static_cast<useconds_t>(delay_us));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    auto now = atomic_file::read(path);
    ASSERT_TRUE(now);
    EXPECT_TRUE(*now == old_content || *now == new_content) << "size " << now->size();
  }
  fs::remove_all(dir);
}
