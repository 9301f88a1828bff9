#include "accounts/locked_json.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "atomic_file/atomic_file.h"

namespace accounts::detail {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

enum class ReadState { missing, ok, unreadable };

std::pair<json, ReadState> read_with_state(const fs::path& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return {json::object(), ReadState::missing};
  auto bytes = atomic_file::read(path);
  if (!bytes) return {json::object(), ReadState::unreadable};
  json doc = json::parse(*bytes, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_object()) return {json::object(), ReadState::unreadable};
  return {std::move(doc), ReadState::ok};
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

json read_document(const fs::path& path) { return read_with_state(path).first; }

std::expected<void, std::string> update_document(const LockedFile& file,
                                                 const std::function<void(json&)>& apply) {
  const fs::path dir = file.path.parent_path();
  if (auto r = ensure_folder(dir, file.secret); !r) return r;
  FileLock lock(fs::path(file.path.string() + ".lock"));
  if (!lock.locked()) return std::unexpected(lock.error());

  auto [doc, state] = read_with_state(file.path);
  if (state == ReadState::unreadable) {
    // NB: keep the damaged bytes for the user instead of overwriting them.
    std::error_code ec;
    fs::copy_file(file.path, fs::path(file.path.string() + ".unreadable"),
                  fs::copy_options::overwrite_existing, ec);
  }
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
  atomic_file::Options options;
  options.private_dirs = file.secret;
  if (file.secret) {
    options.mode = fs::perms::owner_read | fs::perms::owner_write;
  }
  return atomic_file::write(file.path, bytes, options);
}

}  // namespace accounts::detail
