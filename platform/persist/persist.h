#pragma once
// The replicated document the host keeps: a conflict-free tree of maps, lists,
// strings, booleans and integers, with deletion, that several replicas edit
// independently and merge in any order to the same result.
//
// Contents of this header
//   1. Paths and values ........ Seg, Path, at(), Kind, Value
//   2. Document ................ reads (typed; a wrong kind reads as absent)
//                                writes (put, structure writes, lists, remove)
//   3. Exchange ................ Version, changes_since, apply_changes
//   4. Compaction .............. compact
//   5. Storage ................. open, Document::save
//
// How it merges (details in document.cpp):
//   - Every local edit is an operation stamped with a Lamport id (counter,
//     actor) and a per-actor sequence number. Applying an operation twice, or
//     operations in any order, gives the same document.
//   - A map key is a last-writer-wins register: the write with the highest id
//     wins, a deletion is a write too. Maps and lists below a key are named by
//     their path, so two replicas that both create "flags"/K concurrently end up
//     with one map holding both replicas' entries. When a key is overwritten by
//     a value of another kind (or deleted) and later made a map or list again,
//     the new container starts empty: entries older than the overwrite stay
//     hidden.
//   - Lists are ordered with a replicated growable array: an element is placed
//     after the element it was inserted behind; concurrent inserts at the same
//     place are ordered by id, newest first. Removed elements stay as small
//     tombstones so that later inserts behind them still find their place.
//
// The document is not thread-safe; the host hands it to one caller at a time.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace persist {

// ---------------------------------------------------------------------------
// 1. Paths and values
// ---------------------------------------------------------------------------

// A list position inside a path: `{"a", at(2), "b"}`.
struct Index {
  std::size_t value = 0;
};
inline constexpr Index at(std::size_t i) {
  return Index{i};
}

// One step of a path: a map key or a list position.
class Seg {
 public:
  Seg(const char* key) : key_(key ? key : "") {}
  Seg(std::string_view key) : key_(key) {}
  Seg(const std::string& key) : key_(key) {}
  Seg(std::string&& key) : key_(std::move(key)) {}
  Seg(Index index) : index_(index.value), is_index_(true) {}

  bool is_index() const { return is_index_; }
  const std::string& key() const { return key_; }
  std::size_t index() const { return index_; }

 private:
  std::string key_;
  std::size_t index_ = 0;
  bool is_index_ = false;
};

using Path = std::vector<Seg>;

enum class Kind : std::uint8_t { Absent, Bool, Int, String, Map, List };

// A value as read: a scalar, or a marker for a map or list (read those
// through their own path).
struct MapMarker {
  bool operator==(const MapMarker&) const = default;
};
struct ListMarker {
  bool operator==(const ListMarker&) const = default;
};
using Value = std::variant<std::monostate, bool, std::int64_t, std::string, MapMarker, ListMarker>;

Kind kind_of(const Value& value);

// ---------------------------------------------------------------------------
// 3. Exchange types (used by the document below)
// ---------------------------------------------------------------------------

// What a replica has seen: per actor, the highest sequence number up to which
// every operation of that actor has been applied.
struct Version {
  std::map<std::string, std::uint64_t> seen;
  bool operator==(const Version&) const = default;
  // True when this version has seen everything `other` has.
  bool covers(const Version& other) const;
};

std::string encode_version(const Version& version);
[[nodiscard]] std::expected<Version, std::string> decode_version(std::string_view bytes);

class DocumentState;  // internal

// ---------------------------------------------------------------------------
// 2. Document
// ---------------------------------------------------------------------------

class Document {
 public:
  // A fresh, empty replica with a random actor id.
  Document();
  // A fresh, empty replica with the given actor id (tests, tools). An empty
  // text, or one longer than the stored form holds (256 bytes), gets a random
  // id.
  explicit Document(std::string actor);
  Document(const Document& other);
  Document& operator=(const Document& other);
  Document(Document&&) noexcept;
  Document& operator=(Document&&) noexcept;
  ~Document();

  const std::string& actor() const;

  // --- Reads. Nothing here fails: a missing path, a path through a value of
  // the wrong kind, or a leaf of the wrong kind reads as absent.
  Value get(const Path& path) const;
  Kind kind(const Path& path) const;
  std::optional<bool> get_bool(const Path& path) const;
  std::optional<std::int64_t> get_int(const Path& path) const;
  std::optional<std::string> get_string(const Path& path) const;
  bool is_map(const Path& path) const;
  bool is_list(const Path& path) const;
  bool has(const Path& path) const { return kind(path) != Kind::Absent; }
  // The keys of the map at `path`, in ascending byte order; empty when the
  // path is not a map.
  std::vector<std::string> keys(const Path& path) const;
  // The number of elements of the list at `path`; 0 when it is not a list.
  std::size_t length(const Path& path) const;
  // The elements of the list at `path`, in order; empty when not a list.
  std::vector<Value> items(const Path& path) const;
  // The whole document as canonical JSON text (keys sorted): equal documents
  // give equal text. For tests, tools and logs.
  std::string to_json() const;

  // --- Writes. Each records operations for exchange and marks the document
  // changed. Every step of `path` before the last is made a map if it is not
  // one already (a value of another kind there is replaced by an empty map; a
  // step followed by a list position must already be a list); a list position
  // in a path must name an existing element, else nothing is written and false
  // is returned. Writing the value a key already shows records nothing. A
  // write the stored form cannot hold (a container name over 1 MiB, a key or
  // string over 1 GiB, ids past their bound after a peer sent ids near it) is
  // refused the same way.
  bool put_bool(const Path& path, bool value);
  bool put_int(const Path& path, std::int64_t value);
  bool put_string(const Path& path, std::string_view value);
  // Structure writes: make `path` a map (list) unless it already is one; a
  // value of another kind is replaced by an empty map (list).
  bool ensure_map(const Path& path);
  bool ensure_list(const Path& path);
  // Deletes the map key or list element named by the last step of `path`.
  // Returns true when something was there.
  bool remove(const Path& path);

  // List edits on the list at `list` (made a list first as ensure_list does).
  // `index` is clamped to the list's length. Returns false when the path
  // cannot be reached (a list position that does not exist).
  bool insert_bool(const Path& list, std::size_t index, bool value);
  bool insert_int(const Path& list, std::size_t index, std::int64_t value);
  bool insert_string(const Path& list, std::size_t index, std::string_view value);
  bool insert_map(const Path& list, std::size_t index);
  bool insert_list(const Path& list, std::size_t index);
  bool push_string(const Path& list, std::string_view value);
  // Removes element `index` of the list; false when there is no such element.
  bool remove_at(const Path& list, std::size_t index);

  // --- Exchange (section 3).
  Version version() const;
  // The changes a replica at `since` lacks, as bytes for apply_changes. When
  // compaction already folded some of them away, the whole state is sent
  // instead (it merges the same way).
  std::string changes_since(const Version& since) const;
  std::string all_changes() const { return changes_since(Version{}); }
  // The same, one change per entry (each entry is bytes for apply_changes), so
  // a caller may deliver them one by one, in any order, or twice.
  std::vector<std::string> change_list_since(const Version& since) const;
  // Merges changes from another replica. Malformed bytes give an error and
  // change nothing. Returns the number of operations that were new here.
  [[nodiscard]] std::expected<std::size_t, std::string> apply_changes(std::string_view bytes);

  // --- Compaction (section 4). Folds every change that this replica and all
  // `peers` have seen into the stored state and drops it from the history;
  // with no peers listed, the whole history is folded. Also drops data that
  // no future change can make visible again. The document reads the same
  // before and after, and merges with any replica exactly as before.
  // What stays: one small register per key ever written (a deleted key keeps
  // its deletion) and one tombstone per removed list element, so the size
  // follows the places written, not the number of edits. `save` folds a
  // history longer than 4096 operations by itself.
  void compact(const std::vector<Version>& peers = {});
  // Number of operations still kept as history.
  std::size_t history_size() const;

  // --- Storage (section 5).
  // Writes the document to its folder (set by open). Crash-safe: a crash at
  // any point leaves the previous saved state or the new one. Without a folder
  // (a document not made by open) nothing is written and it succeeds.
  [[nodiscard]] std::expected<void, std::string> save();
  // True after a change since the last successful save or open.
  bool dirty() const;
  // The folder the document is stored in; empty when it has none.
  const std::filesystem::path& folder() const;
  // When open found a damaged file, the path it was moved to (kept for
  // inspection); empty otherwise.
  const std::filesystem::path& set_aside() const;

  // Encodes the whole document (state, history, actor) as stored bytes, and
  // back. Bad bytes give an error, never a crash.
  std::string encode() const;
  [[nodiscard]] static std::expected<Document, std::string> decode(std::string_view bytes);

 private:
  std::unique_ptr<DocumentState> state_;
  friend class DocumentState;
};

// ---------------------------------------------------------------------------
// 5. Storage
// ---------------------------------------------------------------------------

// Name of the file inside the storage folder.
inline constexpr std::string_view document_file_name = "document.zdoc";

// Opens the document kept in `folder`. A missing folder or file gives an empty
// document that saves into `folder`. Every open starts a new actor id (the
// stored clock carries on), so changes sent before a crash but never saved
// can never be confused with later ones. A damaged file is
// moved aside (see Document::set_aside), a warning is logged, and an empty
// document is returned; nothing is deleted. An error is returned only when the
// file exists but cannot be read, or cannot be moved aside.
[[nodiscard]] std::expected<Document, std::string> open(const std::filesystem::path& folder);

}  // namespace persist
