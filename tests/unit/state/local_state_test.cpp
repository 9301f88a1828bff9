#include "state/local_state.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <nlohmann/json.hpp>

#include "accounts/sync_reporter.h"
#include "log/log.h"
#include "temp_dir.h"

using namespace mail;
using mail_test::TempDir;
namespace fs = std::filesystem;

namespace {
std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void write_file(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}
}  // namespace

TEST(LocalState, PathFollowsTheStorageLocation) {
  TempDir dir;
  EXPECT_EQ(local_state_path(StorageLocation::directory(dir.path())),
            dir.path() / "mail-local.json");
  EXPECT_FALSE(local_state_path(StorageLocation::none()));
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(local_state_path(StorageLocation::default_root()),
            dir.path() / "zarn" / "mail-local.json");
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(LocalState, LoadReadsOnlyTheExactTextValue) {
  struct Case {
    const char* content;  // nullptr: no file
    ComposeFormat expected;
  } cases[] = {
      {nullptr, ComposeFormat::Html},
      {R"({"compose_format":"text"})", ComposeFormat::PlainText},
      {R"({"compose_format":"text","theme":"dark"})", ComposeFormat::PlainText},
      {R"({"compose_format":"TEXT"})", ComposeFormat::Html},
      {R"({"compose_format":"html"})", ComposeFormat::Html},
      {R"({"compose_format":"markdown"})", ComposeFormat::Html},
      {R"({"compose_format":1})", ComposeFormat::Html},
      {R"({"other":"text"})", ComposeFormat::Html},
      {R"(["text"])", ComposeFormat::Html},
      {R"({"compose_format":"text")", ComposeFormat::Html},
      {"", ComposeFormat::Html},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.content) write_file(dir.path() / "mail-local.json", c.content);
    auto state = load_compose_format(StorageLocation::directory(dir.path()));
    EXPECT_EQ(state.remembered, c.expected) << (c.content ? c.content : "(none)");
  }
  EXPECT_EQ(load_compose_format(StorageLocation::none()).remembered, ComposeFormat::Html);
}

TEST(LocalState, SaveWritesCompactlyAndOnlyOnChange) {
  TempDir dir;
  const auto nested = dir.path() / "a" / "b";
  auto state = load_compose_format(StorageLocation::directory(nested));
  const auto file = nested / "mail-local.json";

  EXPECT_FALSE(save_compose_format(state, ComposeFormat::Html));  // unchanged: nothing written
  EXPECT_FALSE(fs::exists(file));

  EXPECT_FALSE(save_compose_format(state, ComposeFormat::PlainText));
  EXPECT_EQ(read_file(file), R"({"compose_format":"text"})");

  write_file(file, "tampered");
  EXPECT_FALSE(save_compose_format(state, ComposeFormat::PlainText));  // remembered: no write
  EXPECT_EQ(read_file(file), "tampered");

  EXPECT_FALSE(save_compose_format(state, ComposeFormat::Html));
  EXPECT_EQ(read_file(file), R"({"compose_format":"html"})");
  EXPECT_EQ(load_compose_format(StorageLocation::directory(nested)).remembered,
            ComposeFormat::Html);
}

TEST(LocalState, AFailedWriteKeepsTheOldValueAndIsRetried) {
  TempDir dir;
  const auto folder = dir.path() / "state";
  write_file(folder, "a file where the folder should be");
  auto state = load_compose_format(StorageLocation::directory(folder));
  ASSERT_EQ(state.remembered, ComposeFormat::Html);

  auto status = save_compose_format(state, ComposeFormat::PlainText);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->starts_with("Compose format changed, but could not save that preference: "))
      << *status;
  EXPECT_GT(status->size(),
            std::string("Compose format changed, but could not save that preference: ").size());
  EXPECT_EQ(state.remembered, ComposeFormat::Html);

  fs::remove(folder);
  EXPECT_FALSE(save_compose_format(state, ComposeFormat::PlainText));  // written this time
  EXPECT_EQ(read_file(folder / "mail-local.json"), R"({"compose_format":"text"})");
  EXPECT_EQ(state.remembered, ComposeFormat::PlainText);
}

TEST(LocalState, AWriteThatFailsHalfwayLeavesThePreviousFileWhole) {
  TempDir dir;
  const auto file = dir.path() / "mail-local.json";
  write_file(file, R"({"compose_format":"text"})");
  auto state = load_compose_format(StorageLocation::directory(dir.path()));
  ASSERT_EQ(state.remembered, ComposeFormat::PlainText);

  // A child process may write only a few bytes per file, so the write of the
  // new preference stops partway, as on a full disk.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{5, 5};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    const auto status = save_compose_format(state, ComposeFormat::Html);
    ::_exit(status && status->starts_with("Compose format changed, but could not save") ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have reported the failed write";

  EXPECT_EQ(read_file(file), R"({"compose_format":"text"})");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"mail-local.json"});  // no temporary file left
}

TEST(LocalState, WithoutAPathChangesAreAcceptedSilently) {
  auto state = load_compose_format(StorageLocation::none());
  EXPECT_FALSE(save_compose_format(state, ComposeFormat::PlainText));
  EXPECT_EQ(state.remembered, ComposeFormat::PlainText);
}

TEST(SyncStatus, RecordsForTheTrimmedIdAndIgnoresBlankIds) {
  TempDir dir;
  const auto file = dir.path() / accounts::AccountSyncReporter::file_name;
  report_sync_status(dir.path(), "   ", SyncStatus::Started);
  report_sync_status(dir.path(), "", SyncStatus::Failed);
  EXPECT_FALSE(fs::exists(file));

  report_sync_status(dir.path(), " ada@example.org ", SyncStatus::NeedsAuthentication);
  auto doc = nlohmann::json::parse(read_file(file));
  EXPECT_EQ(doc["accounts"]["ada@example.org"]["status"], "needs_authentication");
  report_sync_status(dir.path(), "ada@example.org", SyncStatus::Succeeded);
  doc = nlohmann::json::parse(read_file(file));
  EXPECT_EQ(doc["accounts"]["ada@example.org"]["status"], "succeeded");
}

TEST(SyncStatus, AReporterErrorIsLoggedAsAWarning) {
  TempDir dir;
  const auto folder = dir.path() / "cfg";
  write_file(folder, "not a folder");
  std::vector<std::tuple<zlog::Level, std::string, std::string>> lines;
  zlog::set_capture([&](zlog::Level l, std::string_view target, std::string_view line) {
    lines.emplace_back(l, std::string(target), std::string(line));
  });
  report_sync_status(folder, "ada@example.org", SyncStatus::Offline);
  zlog::set_capture({});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(std::get<0>(lines[0]), zlog::Level::warn);
  EXPECT_EQ(std::get<1>(lines[0]), "mail::app");
  EXPECT_TRUE(std::get<2>(lines[0]).starts_with("mail: could not persist sync status error=\""))
      << std::get<2>(lines[0]);
  EXPECT_NE(std::get<2>(lines[0]).find(R"(account="ada@example.org")"), std::string::npos);
}
