#pragma once
// Content-addressed blob store. Every blob is named by the BLAKE3 digest of
// its bytes; the identity handed out is "mail-attachment:blake3:" followed by
// the 64 lower-case hexadecimal digits of that digest. Blobs live as files
// "<root>/blake3/<first two digits>/<all 64 digits>", written through the
// atomic file writer, so a reader sees a blob whole or not at all.
//
// The default root is "$XDG_DATA_HOME/zarn/blobs", else
// "$HOME/.local/share/zarn/blobs".

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qdoc {

inline constexpr std::string_view identity_prefix = "mail-attachment:blake3:";

// The 64 lower-case hex digits of the BLAKE3 digest of `bytes`.
[[nodiscard]] std::string blake3_hex(std::string_view bytes);

// "mail-attachment:blake3:" + blake3_hex(bytes).
[[nodiscard]] std::string identity_of(std::string_view bytes);

// The digest of a well-formed identity (prefix and exactly 64 hex digits,
// either case), lower-cased; nothing otherwise.
[[nodiscard]] std::optional<std::string> digest_of(std::string_view identity);

// The default root, or nothing when neither XDG_DATA_HOME nor HOME is usable.
[[nodiscard]] std::optional<std::filesystem::path> default_root();

class BlobStore {
 public:
  // The store under the default root. Without one every put/get fails.
  static BlobStore user();
  static BlobStore open_in(std::filesystem::path root);

  // Stores `bytes` (a blob already present with the right content is kept)
  // and returns its identity. `file_name` is what the caller knows the bytes
  // as; it is not part of the identity.
  [[nodiscard]] std::expected<std::string, std::string> put(std::string_view bytes,
                                                            std::string_view file_name) const;

  // The stored bytes. The error is "not found" when no blob has this identity
  // (or the identity is malformed), "too large" when it holds more than
  // `max_bytes`, else a description of the read failure.
  [[nodiscard]] std::expected<std::string, std::string> get(
      std::string_view identity, std::optional<std::uint64_t> max_bytes = std::nullopt) const;

  // True when `bytes` are exactly the content the identity names.
  [[nodiscard]] static bool verify(std::string_view identity, std::string_view bytes);

  // Where the blob of an identity is (or would be) kept.
  [[nodiscard]] std::optional<std::filesystem::path> path_of(std::string_view identity) const;

  [[nodiscard]] const std::optional<std::filesystem::path>& root() const { return root_; }

 private:
  explicit BlobStore(std::optional<std::filesystem::path> root) : root_(std::move(root)) {}
  std::optional<std::filesystem::path> root_;
};

// The suite's calls on the default store.
namespace blobstore {
[[nodiscard]] inline std::expected<std::string, std::string> put(std::string_view bytes,
                                                                 std::string_view file_name) {
  return BlobStore::user().put(bytes, file_name);
}
[[nodiscard]] inline std::expected<std::string, std::string> get(std::string_view identity) {
  return BlobStore::user().get(identity);
}
[[nodiscard]] inline bool verify(std::string_view identity, std::string_view bytes) {
  return BlobStore::verify(identity, bytes);
}
}  // namespace blobstore

}  // namespace qdoc
