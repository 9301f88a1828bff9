#pragma once
// Internal state of a replica: the merged content (objects with their map
// registers and list elements), what has been seen, and the history of
// operations kept for exchange. Not part of the public interface.

#include <compare>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "persist/codec.h"
#include "persist/persist.h"

namespace persist {

// Bounds of the stored and exchanged forms. Decoding refuses anything beyond
// them, so merges and local writes that would pass them are refused too: a
// document always encodes to bytes that decode.
inline constexpr std::uint64_t max_counter = std::uint64_t{1} << 62;  // ids, sequence numbers
inline constexpr std::size_t max_actor_len = 256;
inline constexpr std::size_t max_name_len = std::size_t{1} << 20;   // container names
inline constexpr std::size_t max_bytes_len = std::size_t{1} << 30;  // keys, string values

// Lamport id of an operation: counter first, actor breaks ties. Counter 0 is
// "no operation" and sorts below every real id.
struct OpId {
  std::uint64_t counter = 0;
  std::string actor;
  bool null() const { return counter == 0; }
  std::strong_ordering operator<=>(const OpId& o) const {
    if (auto c = counter <=> o.counter; c != 0) return c;
    return actor.compare(o.actor) <=> 0;
  }
  bool operator==(const OpId& o) const = default;
};

// Categories of a map register's writes. A deletion or a scalar is Scalar.
enum class Cat : std::uint8_t { Scalar = 0, Map = 1, List = 2 };
inline constexpr int cat_count = 3;

// One map key: the newest write of each category, and the value of the newest
// scalar write (monostate for a deletion). The visible value is the category
// with the newest id.
struct Slot {
  OpId max[cat_count];
  Value scalar;
};

struct Element {
  OpId id;
  OpId ref;  // the element it was inserted behind (null: the list's head)
  Value value;
  bool deleted = false;
};

struct PendingInsert {
  OpId id;
  Value value;
};

// A container named by its path. It may be read as a map (slots) or as a list
// (elements), depending on the register that holds it.
struct Object {
  std::map<std::string, Slot, std::less<>> slots;
  std::vector<Element> elems;
  std::map<OpId, std::vector<PendingInsert>> pending;  // by the element they wait for
  std::set<OpId> pending_deletes;
  bool empty() const {
    return slots.empty() && elems.empty() && pending.empty() && pending_deletes.empty();
  }
};

enum class OpType : std::uint8_t { Set = 1, Insert = 2, Erase = 3 };

struct Op {
  std::string actor;
  std::uint64_t seq = 0;
  std::uint64_t counter = 0;
  OpType type = OpType::Set;
  std::string object;  // path name of the container
  std::string key;     // Set: the map key
  OpId ref;            // Insert: element to insert behind; Erase: element to remove
  Value value;         // Set: scalar, marker, or monostate (delete); Insert: the element
  OpId id() const { return OpId{counter, actor}; }
};

// Which sequence numbers of one actor have been applied.
struct Seen {
  std::uint64_t prefix = 0;       // 1..prefix all applied
  std::set<std::uint64_t> extra;  // applied beyond a gap
  bool has(std::uint64_t seq) const { return seq <= prefix || extra.count(seq) != 0; }
  void add(std::uint64_t seq);
  // How many applied sequence numbers are above `floor`.
  std::uint64_t count_above(std::uint64_t floor) const;
};

class DocumentState {
 public:
  std::string actor;
  std::uint64_t clock = 0;
  std::unordered_map<std::string, Object> objects;
  std::map<std::string, Seen> seen;
  std::vector<Op> log;
  bool dirty = false;
  std::filesystem::path folder;
  std::filesystem::path set_aside;

  // Applies an operation unless it was applied before. True when new.
  bool apply(const Op& op);
  // Merges another replica's state (no history). Returns new ops counted.
  std::size_t merge_state(const DocumentState& other);
  // Drops content that no future operation can make visible again.
  void sweep();

  // Encoding (codec.cpp's primitives; formats in exchange.cpp).
  void encode_state(codec::Writer& w) const;
  bool decode_state(codec::Reader& r);

  static DocumentState& of(Document& d) { return *d.state_; }
  static const DocumentState& of(const Document& d) { return *d.state_; }

  void integrate_set(const Op& op);
  void integrate_insert(Object& obj, const std::string& obj_name, const OpId& ref, const OpId& id,
                        const Value& value);
  void integrate_erase(Object& obj, const OpId& id);
};

// A fresh random actor id (12 hexadecimal digits).
std::string new_actor_id();

// Path names of containers.
std::string key_child(const std::string& parent, std::string_view key);
std::string elem_child(const std::string& parent, const OpId& id);

Cat cat_of(const Value& v);
// Deterministic order on values, used only when two writes carry the same id
// (possible only from a malformed peer) so that merges still agree.
bool value_less(const Value& a, const Value& b);

}  // namespace persist
