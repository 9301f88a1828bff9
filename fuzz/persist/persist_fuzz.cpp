// Feeds untrusted bytes to the replicated document: as a stored file (raw,
// and wrapped in a valid header so the checksum does not stop the parser
// early), and as change bytes received from another replica. Whatever loads
// must read, compact and round-trip through its stored form unchanged.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "persist/codec.h"
#include "persist/persist.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void exercise(persist::Document& d) {
  const std::string json = d.to_json();
  (void)d.keys({});
  (void)d.keys({"flags"});
  (void)d.items({"shared"});
  (void)d.get_string({"draft", "subject"});
  // Local writes on whatever arrived.
  d.put_bool({"flags", "m", "read"}, true);
  d.push_string({"flags", "m", "labels"}, "x");
  d.remove({"draft"});
  const std::string after_writes = d.to_json();
  // The stored form gives the same document back.
  auto back = persist::Document::decode(d.encode());
  check(back.has_value());
  check(back->to_json() == after_writes);
  // Compaction changes nothing visible.
  d.compact();
  check(d.to_json() == after_writes);
  // Exchange to a fresh replica gives the same document.
  persist::Document other("fuzz-peer");
  check(other.apply_changes(d.all_changes()).has_value());
  check(other.to_json() == after_writes);
  (void)json;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      auto d = persist::Document::decode(body);
      if (d) exercise(*d);
      break;
    }
    case 1: {
      persist::codec::Writer w;
      w.raw("ZDOC");
      w.u8(1);
      w.u64_fixed(persist::codec::checksum(body));
      w.raw(body);
      auto d = persist::Document::decode(w.str());
      if (d) exercise(*d);
      break;
    }
    default: {
      persist::Document d("fuzz");
      d.put_string({"draft", "subject"}, "s");
      d.push_string({"shared"}, "a");
      const std::string before = d.to_json();
      std::string bytes = "ZCH1";
      bytes.append(body);
      auto r = d.apply_changes(bytes);
      if (!r) check(d.to_json() == before);  // rejected bytes change nothing
      exercise(d);
      break;
    }
  }
  return 0;
}
