#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "atomic_file/atomic_file.h"
#include "attach/attach.h"
#include "log/log.h"
#include "mime/content_type.h"
#include "validate/draft_checks.h"

namespace mail {
namespace {

constexpr const char* limit_text = "attachments are limited to 32 MiB";

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::expected<DraftAttachment, std::string> stage_from_file(int fd, std::string_view file_name,
                                                            const qdoc::BlobStore& store) {
  FdCloser closer{fd};
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    return std::unexpected(std::string("could not inspect selected file: ") +
                           std::strerror(fd < 0 ? EBADF : errno));
  }
  if (!S_ISREG(st.st_mode))
    return std::unexpected(std::string("the selected item is not a regular file"));
  if (static_cast<std::uint64_t>(st.st_size) > max_attachment_bytes) {
    return std::unexpected(std::string(limit_text));
  }
  // The file may grow between the check and the read: read one byte past the
  // limit so that growth is noticed.
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t have = 0;
  const std::size_t cap = max_attachment_bytes + 1;
  for (;;) {
    if (have == bytes.size()) {
      if (have >= cap) break;
      bytes.resize(std::min(cap, have + 65536));
    }
    const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(std::string("could not read selected file: ") + std::strerror(errno));
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  bytes.resize(have);
  if (bytes.size() > max_attachment_bytes) return std::unexpected(std::string(limit_text));
  ::close(closer.fd);
  closer.fd = -1;
  return stage_bytes(bytes, file_name, store);
}

std::expected<DraftAttachment, std::string> stage_bytes(std::string_view bytes,
                                                        std::string_view file_name,
                                                        const qdoc::BlobStore& store) {
  if (bytes.size() > max_attachment_bytes) return std::unexpected(std::string(limit_text));
  auto id = store.put(bytes, file_name);
  if (!id) {
    zlog::warn(zlog::app, "mail: could not store attachment content", {{"error", id.error()}});
    return std::unexpected(std::string("could not retain attachment content for this draft"));
  }
  auto back = store.get(*id, max_attachment_bytes);
  if (!back || back->size() != bytes.size() || *back != bytes ||
      !qdoc::BlobStore::verify(*id, *back)) {
    return std::unexpected(std::string("attachment content failed integrity verification"));
  }
  DraftAttachment record;
  record.content_id = *id;
  record.filename = sanitize_filename(file_name, staging_name_limit);
  record.mime = sanitize_content_type(mime_from_name(file_name));
  record.size = bytes.size();
  return record;
}

std::expected<std::string, std::string> load_for_use(const DraftAttachment& a,
                                                     const qdoc::BlobStore& store) {
  const std::string& name = a.filename;
  if (!metadata_valid(a)) return std::unexpected("attachment " + name + " has invalid metadata");
  if (!a.content_id.starts_with(attachment_id_prefix)) {
    return std::unexpected("attachment " + name + " has invalid content identity");
  }
  const std::string integrity = "attachment " + name + " failed integrity validation";
  auto content = store.get(a.content_id, max_attachment_bytes);
  if (!content) {
    if (content.error() == "too large") return std::unexpected(integrity);
    return std::unexpected("attachment " + name + " is not available on this device yet");
  }
  if (content->size() > max_attachment_bytes || content->size() != a.size ||
      !qdoc::BlobStore::verify(a.content_id, *content)) {
    return std::unexpected(integrity);
  }
  return content;
}

std::expected<void, std::string> write_saved(const std::filesystem::path& destination,
                                             std::string_view content,
                                             std::string_view /*file_name*/) {
  if (content.size() > max_attachment_bytes) {
    return std::unexpected("attachment exceeds the " + std::to_string(max_attachment_bytes) +
                           "-byte save limit");
  }
  struct stat st {};
  if (::lstat(destination.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode))
      return std::unexpected(std::string("refusing to overwrite a symbolic-link destination"));
    if (!S_ISREG(st.st_mode))
      return std::unexpected(std::string("selected destination is not a regular file"));
  } else if (errno != ENOENT) {
    return std::unexpected(std::string("couldn’t inspect selected destination: ") +
                           std::strerror(errno));
  }
  const std::filesystem::path parent = destination.parent_path();
  if (parent.empty())
    return std::unexpected(std::string("selected destination has no parent folder"));
  struct stat pst {};
  if (::lstat(parent.c_str(), &pst) != 0) {
    return std::unexpected(std::string("couldn’t inspect selected folder: ") +
                           std::strerror(errno));
  }
  if (!S_ISDIR(pst.st_mode)) {
    return std::unexpected(std::string("selected destination is outside a regular folder"));
  }
  atomic_file::Options options;
  options.create_dirs = false;
  return atomic_file::write(destination, content, options);
}

}  // namespace mail
