#include "accounts/set_aside.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace accounts::detail {
namespace fs = std::filesystem;

namespace {

fs::path candidate(const fs::path& path, int n) {
  std::string name = path.string() + ".unreadable";
  if (n > 0) name += "." + std::to_string(n);
  return name;
}

std::string errno_text(std::string_view what, const fs::path& path) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

std::expected<void, std::string> write_all(int fd, std::string_view bytes, const fs::path& path) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(errno_text("cannot write", path));
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  if (::fsync(fd) != 0) return std::unexpected(errno_text("cannot flush", path));
  return {};
}

}  // namespace

std::expected<fs::path, std::string> set_aside(const fs::path& path, std::string_view bytes,
                                               bool secret) {
  const mode_t mode = secret ? 0600 : 0644;
  for (int n = 0; n < max_kept_copies; ++n) {
    const fs::path target = candidate(path, n);
    // NB: O_EXCL makes taking the name and checking that it is free one step,
    // and it does not follow a symbolic link left under that name.
    int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return std::unexpected(errno_text("cannot create", target));
    }
    auto written = write_all(fd, bytes, target);
    if (::close(fd) != 0 && written) written = std::unexpected(errno_text("cannot close", target));
    if (!written) {
      ::unlink(target.c_str());
      return std::unexpected(written.error());
    }
    return target;
  }
  return std::unexpected("too many kept copies of " + path.filename().string() + " (" +
                         candidate(path, 0).filename().string() + "…); remove old ones from " +
                         path.parent_path().string());
}

}  // namespace accounts::detail
