#include "atomic_file/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace atomic_file {
namespace fs = std::filesystem;

namespace {

std::string errno_text(std::string_view what, const fs::path& path) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

std::expected<void, std::string> make_dirs(const fs::path& dir, bool private_dirs) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return {};
  // Create one level at a time so each new folder gets the requested mode.
  if (dir.has_parent_path() && dir.parent_path() != dir) {
    if (auto r = make_dirs(dir.parent_path(), private_dirs); !r) return r;
  }
  if (::mkdir(dir.c_str(), private_dirs ? 0700 : 0755) != 0 && errno != EEXIST) {
    return std::unexpected(errno_text("cannot create folder", dir));
  }
  return {};
}

void sync_dir(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

std::expected<void, std::string> write(const fs::path& path, std::string_view bytes,
                                       const Options& options) {
  const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
  if (options.create_dirs) {
    if (auto r = make_dirs(dir, options.private_dirs); !r) return r;
  }
  std::string tmpl = (dir / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
  int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return std::unexpected(errno_text("cannot create temporary file in", dir));
  const fs::path tmp = tmpl;
  auto fail = [&](std::string text) -> std::expected<void, std::string> {
    ::close(fd);
    ::unlink(tmp.c_str());
    return std::unexpected(std::move(text));
  };
  if (::fchmod(fd, static_cast<mode_t>(options.mode)) != 0) {
    return fail(errno_text("cannot set permissions of", tmp));
  }
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno_text("cannot write", tmp));
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) return fail(errno_text("cannot flush", tmp));
  if (::close(fd) != 0) {
    ::unlink(tmp.c_str());
    return std::unexpected(errno_text("cannot close", tmp));
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    std::string text = errno_text("cannot replace", path);
    ::unlink(tmp.c_str());
    return std::unexpected(text);
  }
  sync_dir(dir);
  return {};
}

std::expected<std::optional<std::string>, std::string> read_if_present(const fs::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    return std::unexpected(errno_text("cannot open", path));
  }
  std::string out;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::string text = errno_text("cannot read", path);
      ::close(fd);
      return std::unexpected(text);
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return out;
}

std::expected<std::string, std::string> read(const fs::path& path) {
  auto bytes = read_if_present(path);
  if (!bytes) return std::unexpected(bytes.error());
  if (!*bytes) {
    errno = ENOENT;
    return std::unexpected(errno_text("cannot open", path));
  }
  return std::move(**bytes);
}

}  // namespace atomic_file
