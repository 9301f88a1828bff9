#include "qdoc/blobstore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

fs::path fresh_dir(const std::string& name) {
  fs::path dir =
      fs::temp_directory_path() / ("qdoc-test-" + name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// Runs Debian's b3sum on a file and returns its digest.
std::string b3sum_of(const fs::path& file) {
  std::string cmd = "b3sum --no-names '" + file.string() + "'";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return "popen failed";
  char buf[256] = {};
  std::string out;
  while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
  ::pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

}  // namespace

TEST(Blake3, DigestsMatchDebiansB3sumAcrossChunkAndSimdBoundaries) {
  if (std::system("command -v b3sum >/dev/null 2>&1") != 0) GTEST_SKIP() << "b3sum not installed";
  const fs::path dir = fresh_dir("b3sum");
  // 1024 is one chunk; 16 KiB and more engage the multi-chunk SIMD paths.
  for (std::size_t size : {0ul, 1ul, 63ul, 64ul, 65ul, 1023ul, 1024ul, 1025ul, 2048ul, 16385ul,
                           65536ul + 7, 1048576ul + 3}) {
    const std::string bytes = random_bytes(size, static_cast<unsigned>(size));
    const fs::path file = dir / ("blob-" + std::to_string(size));
    std::ofstream(file, std::ios::binary) << bytes;
    EXPECT_EQ(qdoc::blake3_hex(bytes), b3sum_of(file)) << "size " << size;
  }
  fs::remove_all(dir);
}

TEST(Blake3, KnownDigestOfTheEmptyInput) {
  EXPECT_EQ(qdoc::blake3_hex(""),
            "af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262");
}

TEST(Identity, WellFormedOnlyWithPrefixAndSixtyFourHexDigits) {
  const std::string digest(64, 'a');
  EXPECT_EQ(qdoc::digest_of("mail-attachment:blake3:" + digest), digest);
  EXPECT_EQ(qdoc::digest_of("mail-attachment:blake3:" + std::string(64, 'F')),
            std::string(64, 'f'));
  EXPECT_FALSE(qdoc::digest_of("mail-attachment:blake3:" + std::string(63, 'a')));
  EXPECT_FALSE(qdoc::digest_of("mail-attachment:blake3:" + std::string(65, 'a')));
  EXPECT_FALSE(qdoc::digest_of("mail-attachment:blake3:" + std::string(63, 'a') + "g"));
  EXPECT_FALSE(qdoc::digest_of("mail-attachment:sha256:" + digest));
  EXPECT_FALSE(qdoc::digest_of("mail-attachment:blake3:../" + std::string(61, 'a')));
  EXPECT_EQ(qdoc::identity_of("abc"), "mail-attachment:blake3:" + qdoc::blake3_hex("abc"));
}

TEST(BlobStore, PutThenGetReturnsTheSameBytesUnderTheirDigest) {
  const fs::path dir = fresh_dir("roundtrip");
  auto store = qdoc::BlobStore::open_in(dir);
  const std::string bytes = random_bytes(300000, 7);
  auto id = store.put(bytes, "photo.png");
  ASSERT_TRUE(id) << id.error();
  EXPECT_EQ(*id, qdoc::identity_of(bytes));
  auto got = store.get(*id);
  ASSERT_TRUE(got) << got.error();
  EXPECT_EQ(*got, bytes);
  EXPECT_TRUE(qdoc::BlobStore::verify(*id, *got));
  // Stored privately.
  struct stat st {};
  ASSERT_EQ(::stat(store.path_of(*id)->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Putting again is idempotent and leaves no temporary files.
  ASSERT_TRUE(store.put(bytes, "other-name.bin"));
  std::size_t files = 0;
  for (auto& e : fs::recursive_directory_iterator(dir)) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u);
  fs::remove_all(dir);
}

TEST(BlobStore, ReportsMissingMalformedAndOversizedBlobs) {
  const fs::path dir = fresh_dir("missing");
  auto store = qdoc::BlobStore::open_in(dir);
  EXPECT_EQ(store.get(qdoc::identity_of("never stored")).error(), "not found");
  EXPECT_EQ(store.get("mail-attachment:blake3:xyz").error(), "not found");
  auto id = store.put("0123456789", "ten.txt");
  ASSERT_TRUE(id);
  EXPECT_EQ(store.get(*id, 9).error(), "too large");
  EXPECT_EQ(*store.get(*id, 10), "0123456789");
  fs::remove_all(dir);
}

TEST(BlobStore, VerifyRejectsTamperedContentAndPutRepairsIt) {
  const fs::path dir = fresh_dir("tamper");
  auto store = qdoc::BlobStore::open_in(dir);
  const std::string bytes = "attachment body";
  auto id = store.put(bytes, "a.txt");
  ASSERT_TRUE(id);
  std::ofstream(*store.path_of(*id), std::ios::binary | std::ios::trunc) << "attachment bodY";
  auto got = store.get(*id);
  ASSERT_TRUE(got);
  EXPECT_FALSE(qdoc::BlobStore::verify(*id, *got));
  ASSERT_TRUE(store.put(bytes, "a.txt"));
  EXPECT_EQ(*store.get(*id), bytes);
  fs::remove_all(dir);
}

TEST(BlobStore, DefaultRootFollowsXdgDataHome) {
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  ::setenv("XDG_DATA_HOME", "/tmp/xdg-data", 1);
  EXPECT_EQ(qdoc::default_root(), fs::path("/tmp/xdg-data/zarn/blobs"));
  ::setenv("XDG_DATA_HOME", "relative/dir", 1);
  auto fallback = qdoc::default_root();
  ASSERT_TRUE(fallback);
  EXPECT_NE(fallback->string().find(".local/share/zarn/blobs"), std::string::npos);
  if (old)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}
