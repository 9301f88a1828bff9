#pragma once
// Attachment content: staging picked files into the blob store as draft
// attachments, loading their verified bytes before a send, and writing a
// received attachment to a file the user chose.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

#include "draft/draft.h"
#include "qdoc/blobstore.h"

namespace mail {

// The two forms of file-name cleaning; the kind of limit picks the form.
struct CharLimit {
  std::size_t chars;
};
struct ByteLimit {
  std::size_t bytes;
};
inline constexpr CharLimit staging_name_limit{180};
inline constexpr ByteLimit save_name_limit{240};

// Staging form: last path component, control characters dropped, the first
// `limit` characters kept, white space trimmed.
[[nodiscard]] std::string sanitize_filename(std::string_view name, CharLimit limit);
// Suggested save name: last path component, white space trimmed, control
// characters dropped, characters kept while their UTF-8 length stays within
// `limit` bytes. In both forms "", "." and ".." become "attachment".
[[nodiscard]] std::string sanitize_filename(std::string_view name, ByteLimit limit);

// Stages the bytes of an opened file. Takes ownership of `fd` and closes it
// in every case.
[[nodiscard]] std::expected<DraftAttachment, std::string> stage_from_file(
    int fd, std::string_view file_name, const qdoc::BlobStore& store = qdoc::BlobStore::user());

// Stores the bytes, reads them back to check them, and returns the record.
[[nodiscard]] std::expected<DraftAttachment, std::string> stage_bytes(
    std::string_view bytes, std::string_view file_name,
    const qdoc::BlobStore& store = qdoc::BlobStore::user());

// The verified content of a staged attachment, or the text saying why it
// cannot be used ("attachment {} has invalid metadata" …).
[[nodiscard]] std::expected<std::string, std::string> load_for_use(
    const DraftAttachment& attachment, const qdoc::BlobStore& store = qdoc::BlobStore::user());

// Writes a received attachment to `destination` in one step, refusing
// symbolic links and anything outside a regular folder. The error is the
// reason alone; the caller words the status around it.
[[nodiscard]] std::expected<void, std::string> write_saved(const std::filesystem::path& destination,
                                                           std::string_view content,
                                                           std::string_view file_name);

}  // namespace mail
