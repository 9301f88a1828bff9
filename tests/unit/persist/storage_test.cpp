// Keeping the document in its folder: round trips, damaged files, leftovers of
// crashes, and a writer killed while saving.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "persist/persist.h"

namespace {

namespace fs = std::filesystem;
using persist::Document;

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "persist-test-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_all(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

fs::path file_in(const fs::path& folder) { return folder / persist::document_file_name; }

TEST(PersistStorage, MissingFolderGivesAnEmptyDocumentThatSavesThere) {
  TempDir tmp;
  const fs::path folder = tmp.path() / "not" / "yet";
  auto doc = persist::open(folder);
  ASSERT_TRUE(doc.has_value()) << doc.error();
  EXPECT_EQ(doc->to_json(), "{}");
  EXPECT_FALSE(doc->dirty());
  EXPECT_EQ(doc->folder(), folder);
  ASSERT_TRUE(doc->put_bool({"flags", "m", "read"}, true));
  EXPECT_TRUE(doc->dirty());
  ASSERT_TRUE(doc->save().has_value());
  EXPECT_FALSE(doc->dirty());
  EXPECT_TRUE(fs::exists(file_in(folder)));
  EXPECT_EQ(fs::status(file_in(folder)).permissions() & fs::perms::others_read, fs::perms::none);
}

TEST(PersistStorage, RoundTripKeepsContentVersionAndHistory) {
  TempDir tmp;
  Document peer("peer");
  std::string actor;
  std::size_t history = 0;
  {
    auto doc = persist::open(tmp.path());
    ASSERT_TRUE(doc.has_value());
    actor = doc->actor();
    ASSERT_TRUE(doc->put_string({"folders", "f1"}, "Receipts"));
    ASSERT_TRUE(doc->push_string({"flags", "m", "labels"}, "work"));
    ASSERT_TRUE(doc->put_int({"n"}, 1234567890123));
    ASSERT_TRUE(doc->remove({"folders", "f1"}));
    ASSERT_TRUE(doc->put_string({"draft", "subject"}, "Grüße — “quoted”\n"));
    ASSERT_TRUE(peer.apply_changes(doc->all_changes()));
    history = doc->history_size();
    ASSERT_TRUE(doc->save().has_value());
  }
  auto doc = persist::open(tmp.path());
  ASSERT_TRUE(doc.has_value());
  EXPECT_NE(doc->actor(), actor);  // a new replica id per open
  EXPECT_EQ(doc->to_json(), peer.to_json());
  EXPECT_EQ(doc->version(), peer.version());
  EXPECT_EQ(doc->history_size(), history);
  EXPECT_GE(history, 5u);
  EXPECT_FALSE(doc->dirty());
  EXPECT_TRUE(doc->set_aside().empty());

  // Editing continues the same replica: the peer receives only the new change.
  ASSERT_TRUE(doc->put_bool({"flags", "m", "read"}, true));
  auto n = peer.apply_changes(doc->changes_since(peer.version()));
  ASSERT_TRUE(n.has_value());
  EXPECT_EQ(*n, 1u);
  EXPECT_EQ(peer.to_json(), doc->to_json());
}

TEST(PersistStorage, ChangesSentButNeverSavedAreNotShadowedAfterACrash) {
  TempDir tmp;
  Document peer("peer");
  {
    auto doc = persist::open(tmp.path());
    ASSERT_TRUE(doc.has_value());
    ASSERT_TRUE(doc->put_bool({"a"}, true));
    ASSERT_TRUE(doc->save().has_value());
    ASSERT_TRUE(doc->put_bool({"lost"}, true));  // sent, then the process dies unsaved
    ASSERT_TRUE(peer.apply_changes(doc->all_changes()));
  }
  auto doc = persist::open(tmp.path());
  ASSERT_TRUE(doc.has_value());
  ASSERT_TRUE(doc->put_bool({"after"}, true));
  ASSERT_TRUE(peer.apply_changes(doc->changes_since(peer.version())));
  ASSERT_TRUE(doc->apply_changes(peer.changes_since(doc->version())));
  EXPECT_EQ(peer.to_json(), R"({"a":true,"after":true,"lost":true})");
  EXPECT_EQ(doc->to_json(), peer.to_json());
}

TEST(PersistStorage, DamagedFilesAreSetAsideAndNeverCrash) {
  Document good("a");
  ASSERT_TRUE(good.put_string({"k"}, "value"));
  const std::string bytes = good.encode();
  std::string flipped = bytes;
  flipped[flipped.size() / 2] ^= 0x20;
  std::string wrong_format = bytes;
  wrong_format[4] = 9;

  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"garbage", "hello, this is not a document"},
      {"truncated", bytes.substr(0, bytes.size() - 3)},
      {"header only", bytes.substr(0, 13)},
      {"flipped byte", flipped},
      {"unknown format", wrong_format},
  };
  for (const auto& [name, content] : cases) {
    TempDir tmp;
    write_all(file_in(tmp.path()), content);
    auto doc = persist::open(tmp.path());
    ASSERT_TRUE(doc.has_value()) << name << ": " << doc.error();
    EXPECT_EQ(doc->to_json(), "{}") << name;
    ASSERT_FALSE(doc->set_aside().empty()) << name;
    // Nothing is lost: the damaged bytes are kept as they were.
    EXPECT_EQ(read_all(doc->set_aside()), content) << name;
    EXPECT_FALSE(fs::exists(file_in(tmp.path()))) << name;
    // The fresh document saves normally next to the kept copy.
    ASSERT_TRUE(doc->put_bool({"x"}, true));
    ASSERT_TRUE(doc->save().has_value());
    auto again = persist::open(tmp.path());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->to_json(), R"({"x":true})");
    EXPECT_TRUE(fs::exists(doc->set_aside())) << name;
  }
}

TEST(PersistStorage, UnreadableFileIsAnErrorAndIsLeftAlone) {
  TempDir tmp;
  fs::create_directory(file_in(tmp.path()));  // a folder where the file should be
  auto doc = persist::open(tmp.path());
  EXPECT_FALSE(doc.has_value());
  EXPECT_TRUE(fs::is_directory(file_in(tmp.path())));
}

TEST(PersistStorage, LeftoverTemporaryFilesAreRemovedOnOpen) {
  TempDir tmp;
  Document d("a");
  ASSERT_TRUE(d.put_bool({"x"}, true));
  write_all(file_in(tmp.path()), d.encode());
  const fs::path leftover = tmp.path() / ("." + std::string(persist::document_file_name) + ".tmp-abc123");
  write_all(leftover, "half a document");
  auto doc = persist::open(tmp.path());
  ASSERT_TRUE(doc.has_value());
  EXPECT_EQ(doc->to_json(), R"({"x":true})");
  EXPECT_FALSE(fs::exists(leftover));
}

TEST(PersistStorage, DocumentWithoutFolderSavesNowhere) {
  Document d("a");
  ASSERT_TRUE(d.put_bool({"x"}, true));
  EXPECT_TRUE(d.save().has_value());
  EXPECT_FALSE(d.dirty());
}

// The content of generation `g`: a counter and a large text derived from it, so
// a half-written file cannot pass as either generation.
std::string blob_of(std::int64_t g) { return std::string(150000 + (g % 7) * 1000, static_cast<char>('a' + g % 26)); }

// Child: opens the document, then saves generation after generation, telling
// the parent about each one that is saved. Never returns.
[[noreturn]] void writer_child(const fs::path& folder, int ack_fd) {
  auto doc = persist::open(folder);
  if (!doc) ::_exit(2);
  std::int64_t g = doc->get_int({"generation"}).value_or(0);
  for (;;) {
    ++g;
    doc->put_int({"generation"}, g);
    doc->put_string({"blob"}, blob_of(g));
    doc->put_bool({"flags", "m" + std::to_string(g % 50), "read"}, g % 2 == 0);
    if (!doc->save()) ::_exit(3);
    if (::write(ack_fd, &g, sizeof g) != sizeof g) ::_exit(4);
  }
}

TEST(PersistCrashSafety, KilledWriterLeavesThePreviousOrTheNewState) {
  TempDir tmp;
  {
    auto doc = persist::open(tmp.path());
    ASSERT_TRUE(doc.has_value());
    ASSERT_TRUE(doc->put_int({"generation"}, 0));
    ASSERT_TRUE(doc->put_string({"blob"}, blob_of(0)));
    ASSERT_TRUE(doc->save().has_value());
  }
  std::mt19937 rng(20261211);
  std::int64_t last_acked = 0;
  int advanced = 0;
  for (int run = 0; run < 40; ++run) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(fds[0]);
      writer_child(tmp.path(), fds[1]);
    }
    ::close(fds[1]);
    ::usleep(std::uniform_int_distribution<int>(0, 40000)(rng));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself, status " << status;
    std::int64_t g = 0;
    while (::read(fds[0], &g, sizeof g) == sizeof g) last_acked = g;
    ::close(fds[0]);

    auto doc = persist::open(tmp.path());
    ASSERT_TRUE(doc.has_value()) << doc.error();
    ASSERT_TRUE(doc->set_aside().empty()) << "a killed writer damaged the file";
    auto seen = doc->get_int({"generation"});
    ASSERT_TRUE(seen.has_value()) << "neither the previous nor the new state";
    // Saved and acknowledged, or saved just before the kill.
    ASSERT_TRUE(*seen == last_acked || *seen == last_acked + 1) << *seen << " vs " << last_acked;
    EXPECT_EQ(doc->get_string({"blob"}), blob_of(*seen));
    if (*seen > 0) ++advanced;
    last_acked = *seen;
  }
  // The kills did land while saves were happening, not only before the first.
  EXPECT_GT(advanced, 0);
  for (const auto& entry : fs::directory_iterator(tmp.path())) {
    const auto name = entry.path().filename().string();
    EXPECT_TRUE(name == persist::document_file_name || name.rfind(".document", 0) == 0) << name;
  }
}

}  // namespace
