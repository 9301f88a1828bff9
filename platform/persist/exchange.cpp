// Byte forms of changes, states and stored documents.
//
// Every form starts with an actor table (each actor text once) so that ids in
// the body are a counter and a small index. Change bytes:
//   "ZCH1" kind(1 = operations, 2 = whole state) actor-table body
// Stored document:
//   "ZDOC" format(1) checksum(8, over what follows) actor-table own-actor state history
// Container names in a state are sorted and front-coded (shared length, rest).
// Decoding checks every length, count and index and the rules an honest
// replica keeps (an element's id is above its reference's, counters are
// bounded); anything else is an error and nothing is applied.

#include <algorithm>

#include "persist/state.h"

namespace persist {
namespace {

constexpr std::string_view change_magic = "ZCH1";
constexpr std::string_view doc_magic = "ZDOC";
constexpr std::uint8_t doc_format = 1;
constexpr std::uint8_t kind_ops = 1;
constexpr std::uint8_t kind_state = 2;
// Front-coded names may share at most this part of their length with the
// previous name, so a state's names never add up to more than this many times
// its bytes: the bound the decoder holds them to.
constexpr std::size_t max_name_ratio = 64;

class Enc {
 public:
  codec::Writer body;

  void actor(const std::string& a) { body.varint(index_of(a)); }
  void id(const OpId& id) {
    body.varint(id.counter);
    if (id.counter != 0) actor(id.actor);
  }
  void value(const Value& v) {
    switch (v.index()) {
      case 0:
        body.u8(0);
        break;
      case 1:
        body.u8(std::get<bool>(v) ? 2 : 1);
        break;
      case 2:
        body.u8(3);
        body.svarint(std::get<std::int64_t>(v));
        break;
      case 3:
        body.u8(4);
        body.bytes(std::get<std::string>(v));
        break;
      case 4:
        body.u8(5);
        break;
      default:
        body.u8(6);
        break;
    }
  }
  void op(const Op& op) {
    actor(op.actor);
    body.varint(op.seq);
    body.varint(op.counter);
    body.u8(static_cast<std::uint8_t>(op.type));
    body.bytes(op.object);
    switch (op.type) {
      case OpType::Set:
        body.bytes(op.key);
        value(op.value);
        break;
      case OpType::Insert:
        id(op.ref);
        value(op.value);
        break;
      case OpType::Erase:
        id(op.ref);
        break;
    }
  }
  // Table first, then the body.
  void finish(codec::Writer& out) {
    out.varint(table_.size());
    for (const auto& a : table_) out.bytes(a);
    out.raw(body.str());
  }

 private:
  std::uint64_t index_of(const std::string& a) {
    // Most ids in a row come from the same few actors.
    if (last_ && *last_ == a) return last_index_;
    auto [it, added] = index_.try_emplace(a, table_.size());
    if (added) table_.push_back(a);
    last_ = &it->first;
    last_index_ = it->second;
    return it->second;
  }
  const std::string* last_ = nullptr;
  std::uint64_t last_index_ = 0;
  std::map<std::string, std::uint64_t> index_;
  std::vector<std::string> table_;
};

class Dec {
 public:
  explicit Dec(std::string_view bytes) : r(bytes) {}
  codec::Reader r;

  bool table() {
    const std::size_t n = r.count(2);
    for (std::size_t i = 0; i < n && r.ok(); ++i) {
      std::string a = r.bytes(max_actor_len);
      if (a.empty()) r.fail();
      table_.push_back(std::move(a));
    }
    return r.ok();
  }
  std::string actor() {
    const std::uint64_t i = r.varint();
    if (!r.ok() || i >= table_.size()) {
      r.fail();
      return {};
    }
    return table_[i];
  }
  OpId id() {
    OpId out;
    out.counter = r.varint();
    if (out.counter > max_counter) r.fail();
    if (out.counter != 0) out.actor = actor();
    return out;
  }
  OpId real_id() {
    OpId out = id();
    if (out.null()) r.fail();
    return out;
  }
  Value value() {
    switch (r.u8()) {
      case 0:
        return std::monostate{};
      case 1:
        return false;
      case 2:
        return true;
      case 3:
        return r.svarint();
      case 4:
        return r.bytes(max_bytes_len);
      case 5:
        return MapMarker{};
      case 6:
        return ListMarker{};
      default:
        r.fail();
        return std::monostate{};
    }
  }
  Value elem_value() {
    Value v = value();
    if (std::holds_alternative<std::monostate>(v)) r.fail();
    return v;
  }
  Op op() {
    Op op;
    op.actor = actor();
    op.seq = r.varint();
    op.counter = r.varint();
    // A sequence number is kept in the state's record of what was seen, which
    // holds the same bound as ids.
    if (op.seq == 0 || op.seq > max_counter || op.counter == 0 || op.counter > max_counter) {
      r.fail();
    }
    const std::uint8_t t = r.u8();
    op.object = r.bytes(max_name_len);
    switch (t) {
      case 1:
        op.type = OpType::Set;
        op.key = r.bytes(max_bytes_len);
        op.value = value();
        break;
      case 2:
        op.type = OpType::Insert;
        op.ref = id();
        op.value = elem_value();
        if (!op.ref.null() && !(op.ref < op.id())) r.fail();
        break;
      case 3:
        op.type = OpType::Erase;
        op.ref = real_id();
        break;
      default:
        r.fail();
    }
    return op;
  }

 private:
  std::vector<std::string> table_;
};

void encode_state_body(const DocumentState& st, Enc& e) {
  auto& w = e.body;
  w.varint(st.clock);
  w.varint(st.seen.size());
  for (const auto& [actor, s] : st.seen) {
    e.actor(actor);
    w.varint(s.prefix);
    w.varint(s.extra.size());
    for (auto x : s.extra) w.varint(x);
  }
  // Objects in name order, so equal states give equal bytes.
  std::vector<const std::pair<const std::string, Object>*> objs;
  objs.reserve(st.objects.size());
  for (const auto& entry : st.objects) objs.push_back(&entry);
  std::sort(objs.begin(), objs.end(), [](auto* a, auto* b) { return a->first < b->first; });
  w.varint(objs.size());
  std::string_view previous;
  for (const auto* entry : objs) {
    const Object& o = entry->second;
    // Names are paths and sorted: each is written as the length it shares
    // with the previous one and the rest, of which at least 1/64 is spelled out.
    const std::string& name = entry->first;
    const std::size_t max_shared =
        name.size() - (name.size() + max_name_ratio - 1) / max_name_ratio;
    std::size_t shared = 0;
    while (shared < max_shared && shared < previous.size() && previous[shared] == name[shared]) {
      ++shared;
    }
    w.varint(shared);
    w.bytes(std::string_view(name).substr(shared));
    previous = name;
    w.varint(o.slots.size());
    for (const auto& [key, slot] : o.slots) {
      w.bytes(key);
      for (const auto& m : slot.max) e.id(m);
      e.value(slot.scalar);
    }
    w.varint(o.elems.size());
    for (const auto& el : o.elems) {
      e.id(el.id);
      e.id(el.ref);
      e.value(el.value);
      w.u8(el.deleted ? 1 : 0);
    }
    w.varint(o.pending.size());
    for (const auto& [ref, list] : o.pending) {
      e.id(ref);
      w.varint(list.size());
      for (const auto& p : list) {
        e.id(p.id);
        e.value(p.value);
      }
    }
    w.varint(o.pending_deletes.size());
    for (const auto& id : o.pending_deletes) e.id(id);
  }
}

bool decode_state_body(DocumentState& st, Dec& d) {
  auto& r = d.r;
  st.clock = r.varint();
  if (st.clock > max_counter) r.fail();
  const std::size_t actors = r.count(3);
  for (std::size_t i = 0; i < actors && r.ok(); ++i) {
    // Each actor once: a second entry would mix two records of what was seen.
    auto [it, added] = st.seen.try_emplace(d.actor());
    if (!added) r.fail();
    Seen& s = it->second;
    s.prefix = r.varint();
    if (s.prefix > max_counter) r.fail();
    const std::size_t extras = r.count(1);
    for (std::size_t j = 0; j < extras && r.ok(); ++j) {
      const std::uint64_t x = r.varint();
      if (x <= s.prefix + 1 || x > max_counter) r.fail();
      s.extra.insert(x);
    }
  }
  const std::size_t nobj = r.count(6);
  std::string previous;
  // Front coding lets short input name long paths; bound what it may cost.
  std::uint64_t name_budget = max_name_ratio * std::uint64_t{r.left()} + (1u << 20);
  for (std::size_t i = 0; i < nobj && r.ok(); ++i) {
    const std::uint64_t shared = r.varint();
    if (shared > previous.size()) r.fail();
    std::string name = previous.substr(
        0, static_cast<std::size_t>(std::min<std::uint64_t>(shared, previous.size())));
    name += r.bytes(max_name_len);
    if (name.size() > max_name_len || name.size() > name_budget || !r.ok()) {
      r.fail();
      break;
    }
    name_budget -= name.size();
    previous = name;
    Object& o = st.objects[std::move(name)];
    const std::size_t nslots = r.count(5);
    for (std::size_t j = 0; j < nslots && r.ok(); ++j) {
      std::string key = r.bytes(max_bytes_len);
      Slot& s = o.slots[std::move(key)];
      for (auto& m : s.max) m = d.id();
      s.scalar = d.value();
      if (cat_of(s.scalar) != Cat::Scalar) r.fail();
    }
    const std::size_t nel = r.count(4);
    for (std::size_t j = 0; j < nel && r.ok(); ++j) {
      Element e;
      e.id = d.real_id();
      e.ref = d.id();
      e.value = d.elem_value();
      const std::uint8_t del = r.u8();
      if (del > 1 || (!e.ref.null() && !(e.ref < e.id))) r.fail();
      e.deleted = del == 1;
      o.elems.push_back(std::move(e));
    }
    const std::size_t npend = r.count(2);
    for (std::size_t j = 0; j < npend && r.ok(); ++j) {
      const OpId ref = d.real_id();
      auto& list = o.pending[ref];
      const std::size_t n = r.count(2);
      for (std::size_t k = 0; k < n && r.ok(); ++k) {
        PendingInsert p;
        p.id = d.real_id();
        p.value = d.elem_value();
        if (!(ref < p.id)) r.fail();
        list.push_back(std::move(p));
      }
    }
    const std::size_t ndel = r.count(1);
    for (std::size_t j = 0; j < ndel && r.ok(); ++j) o.pending_deletes.insert(d.real_id());
  }
  return r.ok();
}

std::string wrap_changes(std::uint8_t kind, Enc& e) {
  codec::Writer out;
  out.raw(change_magic);
  out.u8(kind);
  e.finish(out);
  return out.take();
}

std::string state_changes(const DocumentState& st) {
  Enc e;
  encode_state_body(st, e);
  return wrap_changes(kind_state, e);
}

// The history entries a replica at `since` lacks, or nullopt when some of them
// were folded away by compaction or arrived here inside a whole state.
std::optional<std::vector<const Op*>> ops_since(const DocumentState& st, const Version& since) {
  std::map<std::string, std::uint64_t> in_log;
  std::vector<const Op*> out;
  for (const Op& op : st.log) {
    auto it = since.seen.find(op.actor);
    if (op.seq > (it == since.seen.end() ? 0 : it->second)) {
      ++in_log[op.actor];
      out.push_back(&op);
    }
  }
  for (const auto& [actor, s] : st.seen) {
    auto it = since.seen.find(actor);
    const std::uint64_t needed = s.count_above(it == since.seen.end() ? 0 : it->second);
    if (needed != in_log[actor]) return std::nullopt;
  }
  return out;
}

}  // namespace

std::string encode_version(const Version& version) {
  codec::Writer w;
  w.varint(version.seen.size());
  for (const auto& [actor, n] : version.seen) {
    w.bytes(actor);
    w.varint(n);
  }
  return w.take();
}

std::expected<Version, std::string> decode_version(std::string_view bytes) {
  codec::Reader r(bytes);
  Version v;
  const std::size_t n = r.count(3);
  for (std::size_t i = 0; i < n && r.ok(); ++i) {
    std::string actor = r.bytes(max_actor_len);
    const std::uint64_t seq = r.varint();
    if (actor.empty()) r.fail();
    v.seen[std::move(actor)] = seq;
  }
  if (!r.ok() || !r.at_end()) return std::unexpected("malformed version");
  return v;
}

std::string Document::changes_since(const Version& since) const {
  auto ops = ops_since(*state_, since);
  if (!ops) return state_changes(*state_);
  Enc e;
  e.body.varint(ops->size());
  for (const Op* op : *ops) e.op(*op);
  return wrap_changes(kind_ops, e);
}

std::vector<std::string> Document::change_list_since(const Version& since) const {
  std::vector<std::string> out;
  auto ops = ops_since(*state_, since);
  if (!ops) {
    out.push_back(state_changes(*state_));
    return out;
  }
  for (const Op* op : *ops) {
    Enc e;
    e.body.varint(1);
    e.op(*op);
    out.push_back(wrap_changes(kind_ops, e));
  }
  return out;
}

std::expected<std::size_t, std::string> Document::apply_changes(std::string_view bytes) {
  if (bytes.size() < change_magic.size() + 1 ||
      bytes.substr(0, change_magic.size()) != change_magic) {
    return std::unexpected("not a change set");
  }
  const auto kind = static_cast<std::uint8_t>(bytes[change_magic.size()]);
  Dec d(bytes.substr(change_magic.size() + 1));
  if (!d.table()) return std::unexpected("malformed change set");
  if (kind == kind_ops) {
    const std::size_t n = d.r.count(6);
    std::vector<Op> ops;
    ops.reserve(n);
    for (std::size_t i = 0; i < n && d.r.ok(); ++i) ops.push_back(d.op());
    if (!d.r.ok() || !d.r.at_end()) return std::unexpected("malformed change set");
    std::size_t fresh = 0;
    for (const Op& op : ops) fresh += state_->apply(op) ? 1 : 0;
    return fresh;
  }
  if (kind == kind_state) {
    DocumentState other;
    if (!decode_state_body(other, d) || !d.r.at_end()) {
      return std::unexpected("malformed change set");
    }
    return state_->merge_state(other);
  }
  return std::unexpected("unknown kind of change set");
}

std::string Document::encode() const {
  Enc e;
  e.actor(state_->actor);
  encode_state_body(*state_, e);
  e.body.varint(state_->log.size());
  for (const Op& op : state_->log) e.op(op);
  codec::Writer payload;
  e.finish(payload);
  codec::Writer out;
  out.raw(doc_magic);
  out.u8(doc_format);
  out.u64_fixed(codec::checksum(payload.str()));
  out.raw(payload.str());
  return out.take();
}

std::expected<Document, std::string> Document::decode(std::string_view bytes) {
  const std::size_t head = doc_magic.size() + 1 + 8;
  if (bytes.size() < head || bytes.substr(0, doc_magic.size()) != doc_magic) {
    return std::unexpected("not a stored document");
  }
  if (static_cast<std::uint8_t>(bytes[doc_magic.size()]) != doc_format) {
    return std::unexpected("stored document has an unknown format");
  }
  codec::Reader hr(bytes.substr(doc_magic.size() + 1, 8));
  const std::uint64_t sum = hr.u64_fixed();
  const std::string_view payload = bytes.substr(head);
  if (codec::checksum(payload) != sum) return std::unexpected("stored document is damaged");
  Dec d(payload);
  Document doc;
  DocumentState& st = *doc.state_;
  if (!d.table()) return std::unexpected("stored document is malformed");
  st.actor = d.actor();
  if (!decode_state_body(st, d)) return std::unexpected("stored document is malformed");
  const std::size_t n = d.r.count(6);
  st.log.reserve(n);
  for (std::size_t i = 0; i < n && d.r.ok(); ++i) st.log.push_back(d.op());
  if (!d.r.ok() || !d.r.at_end()) return std::unexpected("stored document is malformed");
  // The clock must stay above every id the document holds, or a new local
  // write could lose to an old one.
  for (const Op& op : st.log) st.clock = std::max(st.clock, op.counter);
  for (const auto& [name, o] : st.objects) {
    for (const auto& [k, s] : o.slots) {
      for (const auto& m : s.max) st.clock = std::max(st.clock, m.counter);
    }
    for (const auto& e : o.elems) st.clock = std::max(st.clock, e.id.counter);
    for (const auto& [ref, list] : o.pending) {
      for (const auto& p : list) st.clock = std::max(st.clock, p.id.counter);
    }
  }
  st.dirty = false;
  return doc;
}

}  // namespace persist
