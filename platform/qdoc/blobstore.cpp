#include "qdoc/blobstore.h"

#include <blake3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "atomic_file/atomic_file.h"

namespace qdoc {
namespace fs = std::filesystem;

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

std::string to_hex(const std::uint8_t* data, std::size_t size) {
  std::string out;
  out.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(hex_digits[data[i] >> 4]);
    out.push_back(hex_digits[data[i] & 0xf]);
  }
  return out;
}

std::optional<fs::path> absolute_env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  fs::path p(value);
  if (!p.is_absolute()) return std::nullopt;
  return p;
}

// Reads at most `limit` + 1 bytes so that an oversized blob is noticed
// without loading all of it.
std::expected<std::string, std::string> read_bounded(const fs::path& path,
                                                     std::optional<std::uint64_t> limit) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::unexpected(std::string("not found"));
    return std::unexpected("cannot open " + path.string() + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::unexpected(std::string("not found"));
  }
  if (limit && static_cast<std::uint64_t>(st.st_size) > *limit) {
    ::close(fd);
    return std::unexpected(std::string("too large"));
  }
  std::string out;
  out.resize(static_cast<std::size_t>(st.st_size));
  std::size_t have = 0;
  const std::uint64_t cap = limit ? *limit + 1 : UINT64_MAX;
  for (;;) {
    if (have == out.size()) {
      if (have >= cap) break;
      out.resize(have + 65536);
    }
    ssize_t n = ::read(fd, out.data() + have, out.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::string text = "cannot read " + path.string() + ": " + std::strerror(errno);
      ::close(fd);
      return std::unexpected(text);
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  ::close(fd);
  out.resize(have);
  if (limit && have > *limit) return std::unexpected(std::string("too large"));
  return out;
}

}  // namespace

std::string blake3_hex(std::string_view bytes) {
  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  blake3_hasher_update(&hasher, bytes.data(), bytes.size());
  std::uint8_t digest[BLAKE3_OUT_LEN];
  blake3_hasher_finalize(&hasher, digest, BLAKE3_OUT_LEN);
  return to_hex(digest, BLAKE3_OUT_LEN);
}

std::string identity_of(std::string_view bytes) {
  return std::string(identity_prefix) + blake3_hex(bytes);
}

std::optional<std::string> digest_of(std::string_view identity) {
  if (!identity.starts_with(identity_prefix)) return std::nullopt;
  std::string_view digest = identity.substr(identity_prefix.size());
  if (digest.size() != 64) return std::nullopt;
  std::string out;
  out.reserve(64);
  for (char c : digest) {
    if (c >= '0' && c <= '9')
      out.push_back(c);
    else if (c >= 'a' && c <= 'f')
      out.push_back(c);
    else if (c >= 'A' && c <= 'F')
      out.push_back(static_cast<char>(c - 'A' + 'a'));
    else
      return std::nullopt;
  }
  return out;
}

std::optional<fs::path> default_root() {
  if (auto xdg = absolute_env("XDG_DATA_HOME")) return *xdg / "zarn" / "blobs";
  if (auto home = absolute_env("HOME")) return *home / ".local" / "share" / "zarn" / "blobs";
  return std::nullopt;
}

BlobStore BlobStore::user() {
  return BlobStore(default_root());
}

BlobStore BlobStore::open_in(fs::path root) {
  return BlobStore(std::move(root));
}

std::optional<fs::path> BlobStore::path_of(std::string_view identity) const {
  if (!root_) return std::nullopt;
  auto digest = digest_of(identity);
  if (!digest) return std::nullopt;
  return *root_ / "blake3" / digest->substr(0, 2) / *digest;
}

std::expected<std::string, std::string> BlobStore::put(std::string_view bytes,
                                                       std::string_view /*file_name*/) const {
  if (!root_) return std::unexpected(std::string("no data folder for the blob store"));
  std::string identity = identity_of(bytes);
  const fs::path path = *path_of(identity);
  // Same digest and same bytes already stored: nothing to write. A damaged
  // copy is replaced.
  if (auto existing = read_bounded(path, bytes.size()); existing && *existing == bytes) {
    return identity;
  }
  atomic_file::Options options;
  options.mode = fs::perms::owner_read | fs::perms::owner_write;
  options.private_dirs = true;
  if (auto written = atomic_file::write(path, bytes, options); !written) {
    return std::unexpected(written.error());
  }
  return identity;
}

std::expected<std::string, std::string> BlobStore::get(
    std::string_view identity, std::optional<std::uint64_t> max_bytes) const {
  auto path = path_of(identity);
  if (!path) return std::unexpected(std::string("not found"));
  return read_bounded(*path, max_bytes);
}

bool BlobStore::verify(std::string_view identity, std::string_view bytes) {
  auto digest = digest_of(identity);
  return digest && *digest == blake3_hex(bytes);
}

}  // namespace qdoc
