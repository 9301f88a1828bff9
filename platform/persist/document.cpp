// Merge rules, reads and local writes of the replicated document.
//
// Content is kept as objects named by their path. A map key is a register
// holding, per category of write (scalar-or-deletion, map, list), the newest
// write's id; the category whose newest write has the highest id is what the
// key shows. A container under a key inherits a "clear" mark: the newest id of
// the other categories (and the clear mark of its parent). Entries of the
// container at or below that mark are hidden, so a map that was overwritten or
// deleted and later made again starts empty, whatever order the writes arrive
// in. Everything a read shows is a function of the set of operations applied,
// which is why replicas that applied the same operations read the same.
//
// Lists are a replicated growable array: an element records the element it
// was inserted behind; an element is placed right after it, skipping elements
// with higher ids (later concurrent inserts at that place and what follows
// them). Element ids grow along those chains (an insert's id is above its
// reference's, because its author had seen the reference), so the order does
// not depend on the order in which inserts arrive. An insert whose reference
// has not arrived yet waits; so does a removal of an element not yet seen.

#include <algorithm>
#include <cstdio>
#include <random>

#include "persist/state.h"

namespace persist {

Kind kind_of(const Value& value) {
  switch (value.index()) {
    case 1:
      return Kind::Bool;
    case 2:
      return Kind::Int;
    case 3:
      return Kind::String;
    case 4:
      return Kind::Map;
    case 5:
      return Kind::List;
    default:
      return Kind::Absent;
  }
}

Cat cat_of(const Value& v) {
  if (std::holds_alternative<MapMarker>(v)) return Cat::Map;
  if (std::holds_alternative<ListMarker>(v)) return Cat::List;
  return Cat::Scalar;
}

bool value_less(const Value& a, const Value& b) {
  if (a.index() != b.index()) return a.index() < b.index();
  if (auto* x = std::get_if<bool>(&a)) return *x < std::get<bool>(b);
  if (auto* x = std::get_if<std::int64_t>(&a)) return *x < std::get<std::int64_t>(b);
  if (auto* x = std::get_if<std::string>(&a)) return *x < std::get<std::string>(b);
  return false;
}

std::string key_child(const std::string& parent, std::string_view key) {
  std::string out = parent;
  out += 'k';
  out += std::to_string(key.size());
  out += ':';
  out += key;
  return out;
}

std::string elem_child(const std::string& parent, const OpId& id) {
  std::string out = parent;
  out += 'e';
  out += std::to_string(id.counter);
  out += '.';
  out += std::to_string(id.actor.size());
  out += ':';
  out += id.actor;
  return out;
}

void Seen::add(std::uint64_t seq) {
  if (seq <= prefix) return;
  if (seq == prefix + 1) {
    prefix = seq;
    while (!extra.empty() && *extra.begin() <= prefix + 1) {
      if (*extra.begin() == prefix + 1) ++prefix;
      extra.erase(extra.begin());
    }
  } else {
    extra.insert(seq);
  }
}

std::uint64_t Seen::count_above(std::uint64_t floor) const {
  std::uint64_t n = prefix > floor ? prefix - floor : 0;
  for (auto it = extra.upper_bound(std::max(floor, prefix)); it != extra.end(); ++it) ++n;
  return n;
}

bool Version::covers(const Version& other) const {
  for (const auto& [actor, n] : other.seen) {
    auto it = seen.find(actor);
    if ((it == seen.end() ? 0 : it->second) < n) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Applying operations

namespace {

std::size_t find_elem(const Object& obj, const OpId& id) {
  for (std::size_t i = 0; i < obj.elems.size(); ++i) {
    if (obj.elems[i].id == id) return i;
  }
  return obj.elems.size();
}

bool is_pending(const Object& obj, const OpId& id) {
  for (const auto& [ref, list] : obj.pending) {
    for (const auto& p : list) {
      if (p.id == id) return true;
    }
  }
  return false;
}

}  // namespace

bool DocumentState::apply(const Op& op) {
  auto& s = seen[op.actor];
  if (s.has(op.seq)) return false;
  s.add(op.seq);
  clock = std::max(clock, op.counter);
  log.push_back(op);
  dirty = true;
  switch (op.type) {
    case OpType::Set:
      integrate_set(op);
      break;
    case OpType::Insert:
      integrate_insert(objects[op.object], op.object, op.ref, op.id(), op.value);
      break;
    case OpType::Erase:
      integrate_erase(objects[op.object], op.ref);
      break;
  }
  return true;
}

void DocumentState::integrate_set(const Op& op) {
  Slot& slot = objects[op.object].slots[op.key];
  const auto c = static_cast<int>(cat_of(op.value));
  const OpId id = op.id();
  if (slot.max[c] < id) {
    slot.max[c] = id;
    if (c == 0) slot.scalar = op.value;
  } else if (slot.max[c] == id && c == 0 && value_less(slot.scalar, op.value)) {
    slot.scalar = op.value;
  }
}

void DocumentState::integrate_insert(Object& obj, const std::string& /*obj_name*/, const OpId& ref,
                                     const OpId& id, const Value& value) {
  clock = std::max(clock, id.counter);
  if (find_elem(obj, id) != obj.elems.size() || is_pending(obj, id)) return;
  if (!ref.null() && find_elem(obj, ref) == obj.elems.size()) {
    obj.pending[ref].push_back(PendingInsert{id, value});
    return;
  }
  struct Work {
    OpId ref, id;
    Value value;
  };
  std::vector<Work> work{{ref, id, value}};
  while (!work.empty()) {
    Work w = std::move(work.back());
    work.pop_back();
    if (find_elem(obj, w.id) != obj.elems.size()) continue;
    std::size_t pos = 0;
    if (!w.ref.null()) {
      pos = find_elem(obj, w.ref);
      if (pos == obj.elems.size()) continue;  // cannot happen: refs are resolved first
      ++pos;
    }
    while (pos < obj.elems.size() && w.id < obj.elems[pos].id) ++pos;
    Element e{w.id, w.ref, std::move(w.value), false};
    if (auto d = obj.pending_deletes.find(w.id); d != obj.pending_deletes.end()) {
      e.deleted = true;
      obj.pending_deletes.erase(d);
    }
    obj.elems.insert(obj.elems.begin() + static_cast<std::ptrdiff_t>(pos), std::move(e));
    if (auto p = obj.pending.find(w.id); p != obj.pending.end()) {
      for (auto& pi : p->second) work.push_back(Work{w.id, pi.id, std::move(pi.value)});
      obj.pending.erase(p);
    }
  }
}

void DocumentState::integrate_erase(Object& obj, const OpId& id) {
  const std::size_t i = find_elem(obj, id);
  if (i != obj.elems.size()) {
    obj.elems[i].deleted = true;
  } else {
    obj.pending_deletes.insert(id);
  }
}

std::size_t DocumentState::merge_state(const DocumentState& other) {
  std::size_t fresh = 0;
  for (const auto& [actor, theirs] : other.seen) {
    Seen& mine = seen[actor];
    const std::uint64_t before = mine.count_above(0);
    const std::uint64_t new_prefix = std::max(mine.prefix, theirs.prefix);
    std::set<std::uint64_t> extra;
    for (auto x : mine.extra)
      if (x > new_prefix) extra.insert(x);
    for (auto x : theirs.extra)
      if (x > new_prefix) extra.insert(x);
    mine.prefix = new_prefix;
    mine.extra = std::move(extra);
    while (mine.extra.count(mine.prefix + 1) != 0) {
      mine.extra.erase(mine.prefix + 1);
      ++mine.prefix;
    }
    fresh += static_cast<std::size_t>(mine.count_above(0) - before);
  }
  clock = std::max(clock, other.clock);
  for (const auto& [name, theirs] : other.objects) {
    Object& mine = objects[name];
    for (const auto& [key, s] : theirs.slots) {
      Slot& m = mine.slots[key];
      for (int c = 0; c < cat_count; ++c) {
        clock = std::max(clock, s.max[c].counter);
        if (m.max[c] < s.max[c]) {
          m.max[c] = s.max[c];
          if (c == 0) m.scalar = s.scalar;
        } else if (c == 0 && m.max[c] == s.max[c] && value_less(m.scalar, s.scalar)) {
          m.scalar = s.scalar;
        }
      }
    }
    for (const auto& e : theirs.elems) {
      integrate_insert(mine, name, e.ref, e.id, e.value);
      if (e.deleted) integrate_erase(mine, e.id);
    }
    for (const auto& [ref, list] : theirs.pending) {
      for (const auto& p : list) integrate_insert(mine, name, ref, p.id, p.value);
    }
    for (const auto& id : theirs.pending_deletes) integrate_erase(mine, id);
  }
  if (fresh != 0) dirty = true;
  return fresh;
}

// ---------------------------------------------------------------------------
// Reading

namespace {

constexpr std::size_t max_depth = 512;

// A position in the document: the value there and, for a container, its name
// and clear mark.
struct Node {
  Value value;
  std::string name;
  OpId clear;
  bool absent() const { return std::holds_alternative<std::monostate>(value); }
  bool map() const { return std::holds_alternative<MapMarker>(value); }
  bool list() const { return std::holds_alternative<ListMarker>(value); }
};

Node root_node() {
  return Node{MapMarker{}, std::string(), OpId{}};
}

int winner(const Slot& s) {
  int best = -1;
  for (int c = 0; c < cat_count; ++c) {
    if (!s.max[c].null() && (best < 0 || s.max[best] < s.max[c])) best = c;
  }
  return best;
}

OpId clear_for(const Slot& s, int c, const OpId& parent_clear) {
  OpId out = parent_clear;
  for (int o = 0; o < cat_count; ++o) {
    if (o != c && out < s.max[o]) out = s.max[o];
  }
  return out;
}

const Object* find_obj(const DocumentState& st, const std::string& name) {
  auto it = st.objects.find(name);
  return it == st.objects.end() ? nullptr : &it->second;
}

bool elem_visible(const Element& e, const OpId& clear) {
  return !e.deleted && clear < e.id;
}

Node elem_node(const Node& list, const Element& e) {
  Node n{e.value, {}, {}};
  if (!std::holds_alternative<bool>(e.value) && !std::holds_alternative<std::int64_t>(e.value) &&
      !std::holds_alternative<std::string>(e.value)) {
    n.name = elem_child(list.name, e.id);
    n.clear = list.clear;
  }
  return n;
}

// The visible elements of a list node.
std::vector<const Element*> visible_elems(const DocumentState& st, const Node& n) {
  std::vector<const Element*> out;
  if (!n.list()) return out;
  if (const Object* obj = find_obj(st, n.name)) {
    for (const auto& e : obj->elems) {
      if (elem_visible(e, n.clear)) out.push_back(&e);
    }
  }
  return out;
}

Node key_step(const DocumentState& st, const Node& n, std::string_view key) {
  if (!n.map()) return {};
  const Object* obj = find_obj(st, n.name);
  if (!obj) return {};
  auto it = obj->slots.find(key);
  if (it == obj->slots.end()) return {};
  const Slot& s = it->second;
  const int c = winner(s);
  if (c < 0 || !(n.clear < s.max[c])) return {};
  if (c == 0) return Node{s.scalar, {}, {}};
  Node out;
  if (c == 1) {
    out.value = MapMarker{};
  } else {
    out.value = ListMarker{};
  }
  out.name = key_child(n.name, key);
  out.clear = clear_for(s, c, n.clear);
  return out;
}

Node step(const DocumentState& st, const Node& n, const Seg& seg) {
  if (!seg.is_index()) return key_step(st, n, seg.key());
  if (!n.list()) return {};
  const Object* obj = find_obj(st, n.name);
  if (!obj) return {};
  std::size_t i = 0;
  for (const auto& e : obj->elems) {
    if (!elem_visible(e, n.clear)) continue;
    if (i == seg.index()) return elem_node(n, e);
    ++i;
  }
  return {};
}

Node walk(const DocumentState& st, const Path& path, std::size_t count) {
  Node n = root_node();
  for (std::size_t i = 0; i < count && !n.absent(); ++i) n = step(st, n, path[i]);
  return n;
}

void json_string(std::string& out, std::string_view s) {
  out += '"';
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void render(const DocumentState& st, const Node& n, std::string& out, std::size_t depth) {
  if (depth > max_depth) {
    out += "null";
    return;
  }
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out += "null";
        } else if constexpr (std::is_same_v<T, bool>) {
          out += v ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          out += std::to_string(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          json_string(out, v);
        } else if constexpr (std::is_same_v<T, MapMarker>) {
          out += '{';
          bool first = true;
          if (const Object* obj = find_obj(st, n.name)) {
            for (const auto& [key, slot] : obj->slots) {
              Node child = key_step(st, n, key);
              if (child.absent()) continue;
              if (!first) out += ',';
              first = false;
              json_string(out, key);
              out += ':';
              render(st, child, out, depth + 1);
            }
          }
          out += '}';
        } else {
          out += '[';
          bool first = true;
          for (const Element* e : visible_elems(st, n)) {
            if (!first) out += ',';
            first = false;
            render(st, elem_node(n, *e), out, depth + 1);
          }
          out += ']';
        }
      },
      n.value);
}

// ---------------------------------------------------------------------------
// Local writes

Op new_op(DocumentState& st, OpType type, std::string object) {
  Op op;
  op.actor = st.actor;
  op.seq = st.seen[st.actor].prefix + 1;
  op.counter = st.clock + 1;
  op.type = type;
  op.object = std::move(object);
  return op;
}

void emit_set(DocumentState& st, const Node& map, std::string_view key, Value value) {
  Op op = new_op(st, OpType::Set, map.name);
  op.key = std::string(key);
  op.value = std::move(value);
  st.apply(op);
}

void emit_insert(DocumentState& st, const Node& list, const OpId& ref, Value value) {
  Op op = new_op(st, OpType::Insert, list.name);
  op.ref = ref;
  op.value = std::move(value);
  st.apply(op);
}

void emit_erase(DocumentState& st, const Node& list, const OpId& id) {
  Op op = new_op(st, OpType::Erase, list.name);
  op.ref = id;
  st.apply(op);
}

const Element* visible_at(const DocumentState& st, const Node& list, std::size_t index) {
  auto elems = visible_elems(st, list);
  return index < elems.size() ? elems[index] : nullptr;
}

// Replaces the visible element `e` of `list` by `value`, in place.
void replace_elem(DocumentState& st, const Node& list, const Element& e, Value value) {
  const OpId old = e.id;
  emit_insert(st, list, old, std::move(value));  // newest id: lands right behind `old`
  emit_erase(st, list, old);
}

Cat want_for(const Seg& next) {
  return next.is_index() ? Cat::List : Cat::Map;
}

bool has_cat(const Node& n, Cat c) {
  return c == Cat::Map ? n.map() : n.list();
}

Value marker(Cat c) {
  if (c == Cat::Map) return MapMarker{};
  return ListMarker{};
}

// Most operations one write of `path` records: a replaced list element costs
// two (insert and erase) on the way and at the end.
std::size_t ops_for(const Path& path) {
  return 2 * path.size() + 2;
}

// Room for `ops` more local operations, their ids and sequence numbers staying
// within what the stored form holds. Only a peer that sent ids near the bound
// can use it up; writes are then refused rather than kept in a form that no
// longer loads.
bool room_for(const DocumentState& st, std::size_t ops) {
  std::uint64_t seq = 0;
  if (auto it = st.seen.find(st.actor); it != st.seen.end()) {
    // Sequence numbers already seen beyond a gap are skipped over once the
    // gap fills, so the highest of them counts.
    seq = it->second.extra.empty() ? it->second.prefix : *it->second.extra.rbegin();
  }
  return ops <= max_counter && st.clock <= max_counter - ops && seq <= max_counter - ops;
}

std::size_t decimal_digits(std::uint64_t v) {
  std::size_t n = 1;
  while (v >= 10) {
    v /= 10;
    ++n;
  }
  return n;
}

// Can the containers path[0..count) be made (the last of kind `last`) without
// needing a list position that does not exist, and with names the stored form
// holds? Checked before writing so that a failing write leaves nothing behind.
bool reachable(const DocumentState& st, const Path& path, std::size_t count, Cat last) {
  Node n = root_node();
  bool fresh = false;
  std::size_t name_len = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Seg& seg = path[i];
    const std::size_t parent_len = name_len;
    if (seg.is_index()) {
      if (fresh) return false;
      n = step(st, n, seg);
      if (n.absent()) return false;
    } else if (!fresh) {
      n = step(st, n, seg);
    }
    const Cat want = i + 1 < count ? want_for(path[i + 1]) : last;
    if (!fresh && !has_cat(n, want)) fresh = true;
    if (!fresh) {
      name_len = n.name.size();
    } else if (seg.is_index()) {
      // The element is replaced by a new one, named by an id not yet taken.
      name_len = parent_len + 4 + decimal_digits(max_counter) + decimal_digits(st.actor.size()) +
                 st.actor.size();
    } else {
      if (seg.key().size() > max_bytes_len) return false;
      name_len = parent_len + 2 + decimal_digits(seg.key().size()) + seg.key().size();
    }
    if (name_len > max_name_len) return false;
  }
  return true;
}

// A key or value the stored form holds.
bool storable(const Seg& seg) {
  return seg.is_index() || seg.key().size() <= max_bytes_len;
}
bool storable(const Value& value) {
  const auto* s = std::get_if<std::string>(&value);
  return s == nullptr || s->size() <= max_bytes_len;
}

// Makes path[0..count) containers (the last of kind `last`), returning the
// last one. Empty when not reachable.
std::optional<Node> ensure_path(DocumentState& st, const Path& path, std::size_t count, Cat last) {
  if (!room_for(st, ops_for(path)) || !reachable(st, path, count, last)) return std::nullopt;
  Node n = root_node();
  for (std::size_t i = 0; i < count; ++i) {
    const Seg& seg = path[i];
    const Cat want = i + 1 < count ? want_for(path[i + 1]) : last;
    Node child = step(st, n, seg);
    if (!has_cat(child, want)) {
      if (seg.is_index()) {
        const Element* e = visible_at(st, n, seg.index());
        if (!e) return std::nullopt;
        replace_elem(st, n, *e, marker(want));
      } else {
        emit_set(st, n, seg.key(), marker(want));
      }
      child = step(st, n, seg);
      if (!has_cat(child, want)) return std::nullopt;
    }
    n = std::move(child);
  }
  return n;
}

bool put_value(DocumentState& st, const Path& path, Value value) {
  if (path.empty() || !storable(path.back()) || !storable(value)) return false;
  const Seg& last = path.back();
  if (last.is_index()) {
    // Only an existing element can be replaced; check before making anything.
    Node list = walk(st, path, path.size() - 1);
    if (!visible_at(st, list, last.index())) return false;
  }
  auto parent = ensure_path(st, path, path.size() - 1, want_for(last));
  if (!parent) return false;
  Node current = step(st, *parent, last);
  if (current.value == value) return true;
  if (last.is_index()) {
    const Element* e = visible_at(st, *parent, last.index());
    if (!e) return false;
    replace_elem(st, *parent, *e, std::move(value));
  } else {
    emit_set(st, *parent, last.key(), std::move(value));
  }
  return true;
}

bool insert_value(DocumentState& st, const Path& list, std::size_t index, Value value) {
  if (!storable(value)) return false;
  auto node = ensure_path(st, list, list.size(), Cat::List);
  if (!node) return false;
  auto elems = visible_elems(st, *node);
  index = std::min(index, elems.size());
  const OpId ref = index == 0 ? OpId{} : elems[index - 1]->id;
  emit_insert(st, *node, ref, std::move(value));
  return true;
}

}  // namespace

std::string new_actor_id() {
  std::random_device rd;
  std::uint64_t v = (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
  char buf[17];
  std::snprintf(buf, sizeof buf, "%012llx", static_cast<unsigned long long>(v & 0xffffffffffffull));
  return buf;
}

// ---------------------------------------------------------------------------
// Document

Document::Document() : Document(std::string()) {}

Document::Document(std::string actor) : state_(std::make_unique<DocumentState>()) {
  state_->actor = actor.empty() || actor.size() > max_actor_len ? new_actor_id() : std::move(actor);
}

Document::Document(const Document& other)
    : state_(std::make_unique<DocumentState>(*other.state_)) {}

Document& Document::operator=(const Document& other) {
  if (this != &other) state_ = std::make_unique<DocumentState>(*other.state_);
  return *this;
}

Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

const std::string& Document::actor() const {
  return state_->actor;
}

Value Document::get(const Path& path) const {
  return walk(*state_, path, path.size()).value;
}

Kind Document::kind(const Path& path) const {
  return kind_of(get(path));
}

std::optional<bool> Document::get_bool(const Path& path) const {
  Value v = get(path);
  if (auto* b = std::get_if<bool>(&v)) return *b;
  return std::nullopt;
}

std::optional<std::int64_t> Document::get_int(const Path& path) const {
  Value v = get(path);
  if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
  return std::nullopt;
}

std::optional<std::string> Document::get_string(const Path& path) const {
  Value v = get(path);
  if (auto* s = std::get_if<std::string>(&v)) return std::move(*s);
  return std::nullopt;
}

bool Document::is_map(const Path& path) const {
  return kind(path) == Kind::Map;
}
bool Document::is_list(const Path& path) const {
  return kind(path) == Kind::List;
}

std::vector<std::string> Document::keys(const Path& path) const {
  std::vector<std::string> out;
  Node n = walk(*state_, path, path.size());
  if (!n.map()) return out;
  if (const Object* obj = find_obj(*state_, n.name)) {
    for (const auto& [key, slot] : obj->slots) {
      if (!key_step(*state_, n, key).absent()) out.push_back(key);
    }
  }
  return out;
}

std::size_t Document::length(const Path& path) const {
  return visible_elems(*state_, walk(*state_, path, path.size())).size();
}

std::vector<Value> Document::items(const Path& path) const {
  std::vector<Value> out;
  for (const Element* e : visible_elems(*state_, walk(*state_, path, path.size()))) {
    out.push_back(e->value);
  }
  return out;
}

std::string Document::to_json() const {
  std::string out;
  render(*state_, root_node(), out, 0);
  return out;
}

bool Document::put_bool(const Path& path, bool value) {
  return put_value(*state_, path, value);
}
bool Document::put_int(const Path& path, std::int64_t value) {
  return put_value(*state_, path, value);
}
bool Document::put_string(const Path& path, std::string_view value) {
  return put_value(*state_, path, std::string(value));
}

bool Document::ensure_map(const Path& path) {
  return ensure_path(*state_, path, path.size(), Cat::Map).has_value();
}

bool Document::ensure_list(const Path& path) {
  if (path.empty()) return false;  // the root is always a map
  return ensure_path(*state_, path, path.size(), Cat::List).has_value();
}

bool Document::remove(const Path& path) {
  if (path.empty() || !room_for(*state_, 1)) return false;
  Node parent = walk(*state_, path, path.size() - 1);
  const Seg& last = path.back();
  if (last.is_index()) {
    if (!parent.list()) return false;
    const Element* e = visible_at(*state_, parent, last.index());
    if (!e) return false;
    emit_erase(*state_, parent, e->id);
    return true;
  }
  if (key_step(*state_, parent, last.key()).absent()) return false;
  emit_set(*state_, parent, last.key(), std::monostate{});
  return true;
}

bool Document::insert_bool(const Path& list, std::size_t index, bool value) {
  return insert_value(*state_, list, index, value);
}
bool Document::insert_int(const Path& list, std::size_t index, std::int64_t value) {
  return insert_value(*state_, list, index, value);
}
bool Document::insert_string(const Path& list, std::size_t index, std::string_view value) {
  return insert_value(*state_, list, index, std::string(value));
}
bool Document::insert_map(const Path& list, std::size_t index) {
  return insert_value(*state_, list, index, MapMarker{});
}
bool Document::insert_list(const Path& list, std::size_t index) {
  return insert_value(*state_, list, index, ListMarker{});
}
bool Document::push_string(const Path& list, std::string_view value) {
  return insert_value(*state_, list, static_cast<std::size_t>(-1), std::string(value));
}

bool Document::remove_at(const Path& list, std::size_t index) {
  Path p = list;
  p.emplace_back(at(index));
  return remove(p);
}

Version Document::version() const {
  Version v;
  for (const auto& [actor, s] : state_->seen) {
    if (s.prefix > 0) v.seen[actor] = s.prefix;
  }
  return v;
}

std::size_t Document::history_size() const {
  return state_->log.size();
}
bool Document::dirty() const {
  return state_->dirty;
}
const std::filesystem::path& Document::folder() const {
  return state_->folder;
}
const std::filesystem::path& Document::set_aside() const {
  return state_->set_aside;
}

// ---------------------------------------------------------------------------
// Compaction

void Document::compact(const std::vector<Version>& peers) {
  auto& log = state_->log;
  const std::size_t before = log.size();
  if (peers.empty()) {
    log.clear();
  } else {
    std::erase_if(log, [&](const Op& op) {
      for (const auto& p : peers) {
        auto it = p.seen.find(op.actor);
        if (it == p.seen.end() || it->second < op.seq) return false;
      }
      return true;
    });
  }
  state_->sweep();
  if (log.size() != before) state_->dirty = true;
}

namespace {

// Removes the objects below `name` (its descendants), which nothing can reach.
void erase_below(DocumentState& st, const std::string& name) {
  std::erase_if(st.objects, [&](const auto& entry) {
    const std::string& n = entry.first;
    return n.size() > name.size() && n.compare(0, name.size(), name) == 0 &&
           (n[name.size()] == 'k' || n[name.size()] == 'e');
  });
}

const OpId& max_id(const OpId& a, const OpId& b) {
  return a < b ? b : a;
}

// `map_bound` / `list_bound`: ids at or below them can never show again in the
// object's map part / list part (their clear marks only grow).
void sweep_object(DocumentState& st, const std::string& name, const OpId& map_bound,
                  const OpId& list_bound, std::size_t depth,
                  std::vector<std::string>& unreachable) {
  if (depth > max_depth) return;
  auto it = st.objects.find(name);
  if (it == st.objects.end()) return;
  // Children first: collect their bounds while the slots are still in place.
  struct Child {
    std::string name;
    OpId map_bound, list_bound;
  };
  std::vector<Child> children;
  Object& obj = it->second;
  for (auto s = obj.slots.begin(); s != obj.slots.end();) {
    const Slot& slot = s->second;
    Child c{key_child(name, s->first), max_id(map_bound, max_id(slot.max[0], slot.max[2])),
            max_id(map_bound, max_id(slot.max[0], slot.max[1]))};
    bool stale = true;
    for (int k = 0; k < cat_count; ++k) {
      if (map_bound < slot.max[k]) stale = false;
    }
    children.push_back(std::move(c));
    if (stale) {
      s = obj.slots.erase(s);
    } else {
      ++s;
    }
  }
  for (auto& e : obj.elems) {
    const bool container =
        std::holds_alternative<MapMarker>(e.value) || std::holds_alternative<ListMarker>(e.value);
    if (!(list_bound < e.id)) {
      // Hidden for good: keep only the tombstone that later inserts may refer to.
      if (container) unreachable.push_back(elem_child(name, e.id));
      e.deleted = true;
      e.value = false;
    } else if (container) {
      const bool is_map = std::holds_alternative<MapMarker>(e.value);
      const OpId never{~std::uint64_t{0}, {}};
      children.push_back(
          Child{elem_child(name, e.id), is_map ? list_bound : never, is_map ? never : list_bound});
    }
  }
  for (const auto& c : children) {
    sweep_object(st, c.name, c.map_bound, c.list_bound, depth + 1, unreachable);
  }
  it = st.objects.find(name);
  if (it != st.objects.end() && it->second.empty() && !name.empty()) st.objects.erase(it);
}

}  // namespace

void DocumentState::sweep() {
  std::vector<std::string> unreachable;
  sweep_object(*this, std::string(), OpId{}, OpId{~std::uint64_t{0}, {}}, 0, unreachable);
  for (const auto& name : unreachable) {
    objects.erase(name);
    erase_below(*this, name);
  }
}

}  // namespace persist
