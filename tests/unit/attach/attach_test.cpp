#include "attach/attach.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

namespace fs = std::filesystem;
using namespace mail;

namespace {

struct TempDir {
  fs::path path;
  explicit TempDir(const std::string& name) {
    path = fs::temp_directory_path() / ("attach-test-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
};

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> out;
  for (auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(SanitizeFilename, StagingFormTable) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"report.pdf", "report.pdf"},
      {"/home/me/docs/report.pdf", "report.pdf"},
      {"C:\\Users\\me\\report.pdf", "report.pdf"},
      {"dir/", "attachment"},
      {"..", "attachment"},
      {"a/..", "attachment"},
      {".", "attachment"},
      {"", "attachment"},
      {"   ", "attachment"},
      {"  spaced name.txt  ", "spaced name.txt"},
      {"tab\tand\nnewline\x7f.txt", "tabandnewline.txt"},
      {"c1\xc2\x85\xc2\x9f.txt", "c1.txt"},    // U+0085, U+009F dropped
      {"\x01 .. \x02", "attachment"},          // a trimmed ".." after cleaning
      {"bad\xff.txt", "bad\xef\xbf\xbd.txt"},  // invalid UTF-8 becomes U+FFFD
  };
  for (const auto& k : cases) EXPECT_EQ(sanitize_filename(k.in, staging_name_limit), k.out) << k.in;

  // 180 characters, counted as characters, then trimmed.
  std::string long_name;
  for (int i = 0; i < 200; ++i) long_name += "é";
  EXPECT_EQ(sanitize_filename(long_name, staging_name_limit).size(), 360u);
  EXPECT_EQ(sanitize_filename(std::string(179, 'a') + " b", staging_name_limit),
            std::string(179, 'a'));
}

TEST(SanitizeFilename, SaveNameFormCountsUtf8BytesAndStopsBeforeTheCharacterThatWouldPass) {
  std::string name = std::string(239, 'a') + "é" + "tail";  // é needs 2 bytes: 241 > 240
  EXPECT_EQ(sanitize_filename(name, save_name_limit), std::string(239, 'a'));
  EXPECT_EQ(sanitize_filename(std::string(240, 'b') + "c", save_name_limit), std::string(240, 'b'));
  // Trimmed before control characters are dropped, and not trimmed after.
  EXPECT_EQ(sanitize_filename(" \x01 name \x02", save_name_limit), " name ");
  EXPECT_EQ(sanitize_filename("/x/..", save_name_limit), "attachment");
  EXPECT_EQ(sanitize_filename("a\\b\\ok.txt", save_name_limit), "ok.txt");
}

TEST(Staging, ExactlyThirtyTwoMibStagesAndOneByteMoreIsRefused) {
  TempDir dir("limit");
  auto store = qdoc::BlobStore::open_in(dir.path / "blobs");
  const std::string exact(max_attachment_bytes, 'x');

  auto staged = stage_bytes(exact, "big.bin", store);
  ASSERT_TRUE(staged) << staged.error();
  EXPECT_EQ(staged->size, 33554432u);
  EXPECT_EQ(staged->content_id, qdoc::identity_of(exact));
  EXPECT_EQ(stage_bytes(exact + "y", "big.bin", store).error(),
            "attachments are limited to 32 MiB");

  // The same through an opened file.
  const fs::path exact_file = dir.path / "exact.bin";
  const fs::path over_file = dir.path / "over.bin";
  std::ofstream(exact_file, std::ios::binary) << exact;
  std::ofstream(over_file, std::ios::binary) << exact << 'y';
  auto from_file = stage_from_file(::open(exact_file.c_str(), O_RDONLY), "exact.bin", store);
  ASSERT_TRUE(from_file) << from_file.error();
  EXPECT_EQ(from_file->content_id, staged->content_id);
  EXPECT_EQ(from_file->size, staged->size);
  EXPECT_EQ(stage_from_file(::open(over_file.c_str(), O_RDONLY), "over.bin", store).error(),
            "attachments are limited to 32 MiB");
}

TEST(Staging, RecordCarriesSanitisedNameTypeAndSize) {
  TempDir dir("record");
  auto store = qdoc::BlobStore::open_in(dir.path / "blobs");
  auto a = stage_bytes("%PDF-1.4", "/tmp/dir/Report.PDF", store);
  ASSERT_TRUE(a) << a.error();
  EXPECT_EQ(a->filename, "Report.PDF");
  EXPECT_EQ(a->mime, "application/pdf");
  EXPECT_EQ(a->size, 8u);
  EXPECT_EQ(*store.get(a->content_id), "%PDF-1.4");
  auto j = stage_bytes("{}", "json", store);
  ASSERT_TRUE(j);
  EXPECT_EQ(j->mime, "application/json");
}

TEST(Staging, NonRegularFilesAndClosedDescriptorsAreRefusedAndTheFileIsClosed) {
  TempDir dir("irregular");
  auto store = qdoc::BlobStore::open_in(dir.path / "blobs");
  const int dfd = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dfd, 0);
  EXPECT_EQ(stage_from_file(dfd, "folder", store).error(),
            "the selected item is not a regular file");
  EXPECT_EQ(::fcntl(dfd, F_GETFD), -1);  // closed by stage_from_file
  auto bad = stage_from_file(-1, "x", store);
  ASSERT_FALSE(bad);
  EXPECT_TRUE(bad.error().starts_with("could not inspect selected file: "));
}

TEST(Staging, UnwritableStoreGivesTheRetainText) {
  TempDir dir("unwritable");
  std::ofstream(dir.path / "file") << "x";
  auto store = qdoc::BlobStore::open_in(dir.path / "file" / "blobs");  // under a file
  EXPECT_EQ(stage_bytes("abc", "a.txt", store).error(),
            "could not retain attachment content for this draft");
}

TEST(LoadForUse, PassesVerifiedContentAndNamesEachFault) {
  TempDir dir("load");
  auto store = qdoc::BlobStore::open_in(dir.path / "blobs");
  auto a = stage_bytes("hello attachment", "notes.txt", store);
  ASSERT_TRUE(a);
  EXPECT_EQ(*load_for_use(*a, store), "hello attachment");

  DraftAttachment bad_meta = *a;
  bad_meta.filename = "a/b.txt";
  EXPECT_EQ(load_for_use(bad_meta, store).error(), "attachment a/b.txt has invalid metadata");

  DraftAttachment missing = *a;
  missing.content_id = qdoc::identity_of("never stored");
  EXPECT_EQ(load_for_use(missing, store).error(),
            "attachment notes.txt is not available on this device yet");

  DraftAttachment wrong_size = *a;
  wrong_size.size = 3;
  EXPECT_EQ(load_for_use(wrong_size, store).error(),
            "attachment notes.txt failed integrity validation");

  std::ofstream(*store.path_of(a->content_id), std::ios::binary | std::ios::trunc)
      << "hello attachmenT";
  EXPECT_EQ(load_for_use(*a, store).error(), "attachment notes.txt failed integrity validation");
}

TEST(WriteSaved, ReplacesAnExistingRegularFileWhole) {
  TempDir dir("replace");
  const fs::path dest = dir.path / "saved.txt";
  std::ofstream(dest) << "old content that is longer than the new one";
  ASSERT_TRUE(write_saved(dest, "new", "saved.txt"));
  EXPECT_EQ(read_file(dest), "new");
  EXPECT_EQ(names_in(dir.path), std::vector<std::string>{"saved.txt"});
  ASSERT_TRUE(write_saved(dir.path / "fresh.bin", std::string("\0\1\2", 3), "fresh.bin"));
  EXPECT_EQ(read_file(dir.path / "fresh.bin"), std::string("\0\1\2", 3));
}

TEST(WriteSaved, RefusesASymbolicLinkAndLeavesItAndItsTargetUntouched) {
  TempDir dir("symlink");
  const fs::path target = dir.path / "target.txt";
  std::ofstream(target) << "precious";
  fs::create_symlink(target, dir.path / "link.txt");
  fs::create_symlink(dir.path / "nowhere", dir.path / "dangling.txt");
  EXPECT_EQ(write_saved(dir.path / "link.txt", "evil", "x").error(),
            "refusing to overwrite a symbolic-link destination");
  EXPECT_EQ(write_saved(dir.path / "dangling.txt", "evil", "x").error(),
            "refusing to overwrite a symbolic-link destination");
  EXPECT_TRUE(fs::is_symlink(dir.path / "link.txt"));
  EXPECT_EQ(fs::read_symlink(dir.path / "link.txt"), target);
  EXPECT_EQ(read_file(target), "precious");
  EXPECT_FALSE(fs::exists(dir.path / "nowhere"));
}

TEST(WriteSaved, RefusesAFolderReachedThroughASymbolicLink) {
  TempDir dir("linked-folder");
  fs::create_directories(dir.path / "real");
  fs::create_directory_symlink(dir.path / "real", dir.path / "via-link");
  EXPECT_EQ(write_saved(dir.path / "via-link" / "file.txt", "x", "file.txt").error(),
            "selected destination is outside a regular folder");
  EXPECT_TRUE(fs::is_empty(dir.path / "real"));
}

TEST(WriteSaved, OtherRefusalsInOrder) {
  TempDir dir("other");
  fs::create_directories(dir.path / "sub");
  std::ofstream(dir.path / "plain") << "x";
  EXPECT_EQ(write_saved(dir.path / "sub", "x", "n").error(),
            "selected destination is not a regular file");
  EXPECT_EQ(write_saved("relative-name.txt", "x", "n").error(),
            "selected destination has no parent folder");
  auto missing = write_saved(dir.path / "missing" / "f.txt", "x", "n");
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.error().starts_with("couldn’t inspect selected folder: ")) << missing.error();
  auto under_file = write_saved(dir.path / "plain" / "f.txt", "x", "n");
  ASSERT_FALSE(under_file);
  EXPECT_TRUE(under_file.error().starts_with("couldn’t inspect selected destination: "))
      << under_file.error();
  EXPECT_EQ(
      write_saved(dir.path / "big", std::string(max_attachment_bytes + 1, 'a'), "big").error(),
      "attachment exceeds the 33554432-byte save limit");
  EXPECT_FALSE(fs::exists(dir.path / "big"));
}

TEST(WriteSaved, AFailedWriteLeavesTheOldFileAndNoPartialFile) {
  TempDir dir("partial");
  const fs::path dest = dir.path / "keep.txt";
  std::ofstream(dest) << "old";
  // Make every write past 4 KiB fail (works even for root).
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  auto r = write_saved(dest, std::string(1 << 20, 'n'), "keep.txt");
  ::setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(r);
  EXPECT_EQ(read_file(dest), "old");
  EXPECT_EQ(names_in(dir.path), std::vector<std::string>{"keep.txt"});
}
