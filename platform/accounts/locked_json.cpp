#include "accounts/locked_json.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "accounts/set_aside.h"
#include "atomic_file/atomic_file.h"

namespace accounts::detail {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// What is on disk now: the document, and the bytes to keep aside when they
// are not a JSON object (an absent or empty file is simply an empty document).
struct OnDisk {
  json doc = json::object();
  std::optional<std::string> damaged;
};

std::expected<OnDisk, std::string> read_on_disk(const fs::path& path) {
  auto bytes = atomic_file::read_if_present(path);
  if (!bytes) return std::unexpected(bytes.error());
  OnDisk out;
  if (!*bytes || (*bytes)->empty()) return out;
  json doc = json::parse(**bytes, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_object()) {
    out.damaged = std::move(**bytes);
    return out;
  }
  out.doc = std::move(doc);
  return out;
}

class FileLock {
 public:
  explicit FileLock(const fs::path& lock_path) {
    fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      error_ = "cannot open lock " + lock_path.string() + ": " + std::strerror(errno);
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error_ = "cannot lock " + lock_path.string() + ": " + std::strerror(errno);
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) {
      ::flock(fd_, LOCK_UN);
      ::close(fd_);
    }
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  const std::string& error() const { return error_; }
  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::string error_;
};

std::expected<void, std::string> ensure_folder(const fs::path& dir, bool secret) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return std::unexpected("cannot create folder " + dir.string() + ": " + ec.message());
  if (secret && ::chmod(dir.c_str(), 0700) != 0) {
    return std::unexpected("cannot protect folder " + dir.string() + ": " + std::strerror(errno));
  }
  return {};
}

}  // namespace

json read_document(const fs::path& path) {
  auto on_disk = read_on_disk(path);
  return on_disk ? std::move(on_disk->doc) : json::object();
}

std::expected<void, std::string> update_document(const LockedFile& file,
                                                 const std::function<void(json&)>& apply) {
  const fs::path dir = file.path.parent_path();
  if (auto r = ensure_folder(dir, file.secret); !r) return r;
  FileLock lock(fs::path(file.path.string() + ".lock"));
  if (!lock.locked()) return std::unexpected(lock.error());

  // NB: a file that is there but cannot be read fails the save; replacing it
  // with only this save's changes would lose everything else in it.
  auto on_disk = read_on_disk(file.path);
  if (!on_disk) return std::unexpected(on_disk.error());
  json& doc = on_disk->doc;
  std::string bytes;
  try {
    apply(doc);
    bytes = doc.dump(2);
  } catch (const nlohmann::json::exception&) {
    // NB: the library's message may quote the offending bytes, which can be
    // part of a secret; say only what went wrong.
    return std::unexpected("cannot save " + file.path.filename().string() +
                           ": a value is not valid UTF-8 text");
  }
  if (on_disk->damaged) {
    // The damaged bytes stay with the user; without a kept copy, no save.
    auto kept = set_aside(file.path, *on_disk->damaged, file.secret);
    if (!kept) {
      return std::unexpected("cannot keep the unreadable " + file.path.filename().string() +
                             " aside: " + kept.error());
    }
  }
  atomic_file::Options options;
  options.private_dirs = file.secret;
  if (file.secret) {
    options.mode = fs::perms::owner_read | fs::perms::owner_write;
  }
  return atomic_file::write(file.path, bytes, options);
}

}  // namespace accounts::detail
