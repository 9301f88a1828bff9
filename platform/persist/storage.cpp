// Keeping the document on disk.
//
// NB: the whole document is rewritten on every save through the atomic file
// writer (temporary file in the same folder, fsync, rename, fsync of the
// folder). The document holds only local changes (flags, labels, folders, one
// draft) and compaction keeps its history short, so it stays small; a single
// file replaced by rename means a crash at any moment leaves either the old
// file or the new one, with no journal to replay and no second file to keep
// consistent. A checksum over the content catches damage the rename cannot
// (a disk or another program writing into it); such a file is moved aside,
// never deleted, and the document starts empty.

#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "atomic_file/atomic_file.h"
#include "log/log.h"
#include "persist/state.h"

namespace persist {
namespace fs = std::filesystem;

namespace {

// The history is folded into the state on save once it is this long, so a
// host that never compacts still keeps a bounded file. Exchange keeps working:
// a peer that is behind receives the whole state.
constexpr std::size_t history_limit = 4096;

// Removes temporary files a crash left behind: the rename never happened, so
// they never held the document.
void remove_stale_temporaries(const fs::path& folder) {
  const std::string prefix = "." + std::string(document_file_name) + ".tmp-";
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) == 0) {
      std::error_code rm;
      fs::remove(it->path(), rm);
    }
  }
}

std::expected<fs::path, std::string> move_aside(const fs::path& file) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm);
  for (int n = 0; n < 1000; ++n) {
    fs::path target = file;
    target += ".damaged-" + std::string(stamp) + (n ? "-" + std::to_string(n) : "");
    std::error_code ec;
    if (fs::exists(target, ec)) continue;
    fs::rename(file, target, ec);
    if (ec) return std::unexpected("cannot move damaged " + file.string() + " aside: " + ec.message());
    return target;
  }
  return std::unexpected("cannot move damaged " + file.string() + " aside");
}

}  // namespace

std::expected<Document, std::string> open(const fs::path& folder) {
  const fs::path file = folder / document_file_name;
  std::error_code ec;
  const bool folder_exists = fs::is_directory(folder, ec);
  if (folder_exists) remove_stale_temporaries(folder);
  if (!folder_exists || !fs::exists(file, ec)) {
    Document doc;
    DocumentState::of(doc).folder = folder;
    return doc;
  }
  auto bytes = atomic_file::read(file);
  if (!bytes) return std::unexpected(bytes.error());
  auto doc = Document::decode(*bytes);
  if (doc) {
    // NB: every open is a new replica id. The stored clock carries on, so new
    // edits still win over everything stored; but sequence numbers restart
    // under the new id, and a replica that crashed after sending changes it
    // had not saved can never reuse their numbers for different edits (peers
    // would take those for duplicates and drop them).
    DocumentState::of(*doc).actor = new_actor_id();
    DocumentState::of(*doc).folder = folder;
    return doc;
  }
  auto aside = move_aside(file);
  if (!aside) return std::unexpected(aside.error());
  zlog::warn(zlog::app, "mail: replicated document was damaged and was set aside",
             {{"error", doc.error()}, {"path", aside->string()}});
  Document fresh;
  DocumentState::of(fresh).folder = folder;
  DocumentState::of(fresh).set_aside = *aside;
  return fresh;
}

std::expected<void, std::string> Document::save() {
  if (state_->folder.empty()) {
    state_->dirty = false;
    return {};
  }
  if (state_->log.size() > history_limit) compact();
  atomic_file::Options options;
  options.mode = fs::perms::owner_read | fs::perms::owner_write;
  options.private_dirs = true;
  auto r = atomic_file::write(state_->folder / document_file_name, encode(), options);
  if (!r) return r;
  state_->dirty = false;
  return {};
}

}  // namespace persist
