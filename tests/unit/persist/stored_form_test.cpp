// Whatever a document accepts, from a peer or from a local write, it can store:
// its stored bytes decode to the same document, before and after compaction,
// and its changes apply on a fresh replica. What it cannot store it refuses
// and stays as it was.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "persist/codec.h"
#include "persist/persist.h"

namespace {

using persist::Document;

constexpr std::uint64_t max_counter = std::uint64_t{1} << 62;

void expect_stores(Document d) {
  const std::string json = d.to_json();
  auto back = Document::decode(d.encode());
  ASSERT_TRUE(back.has_value()) << back.error();
  EXPECT_EQ(back->to_json(), json);
  d.compact();
  back = Document::decode(d.encode());
  ASSERT_TRUE(back.has_value()) << "after compaction: " << back.error();
  EXPECT_EQ(back->to_json(), json);
  Document peer("peer");
  auto r = peer.apply_changes(d.all_changes());
  ASSERT_TRUE(r.has_value()) << r.error();
  EXPECT_EQ(peer.to_json(), json);
  back = Document::decode(peer.encode());
  ASSERT_TRUE(back.has_value()) << "at the peer: " << back.error();
}

// Change bytes carrying one operation that sets root key "k" to true.
std::string one_set(std::uint64_t seq, std::uint64_t counter) {
  persist::codec::Writer w;
  w.raw("ZCH1");
  w.u8(1);      // operations
  w.varint(1);  // actor table
  w.bytes("peer");
  w.varint(1);  // one operation
  w.varint(0);  // actor
  w.varint(seq);
  w.varint(counter);
  w.u8(1);      // set
  w.bytes("");  // the root map
  w.bytes("k");
  w.u8(2);  // true
  return w.take();
}

std::string corpus(const std::string& name) {
  std::ifstream in(std::string(ZARN_SOURCE_DIR) + "/fuzz/persist/corpus/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(PersistStoredForm, ReceivedChangesAreStoredOrRefused) {
  struct Case {
    const char* what;
    std::string bytes;
    bool accepted;
  };
  const Case cases[] = {
      {"sequence number past the stored bound", one_set(std::uint64_t{1} << 63, 1), false},
      {"sequence number at the bound", one_set(max_counter, 1), true},
      {"id at the bound", one_set(1, max_counter), true},
      {"id past the bound", one_set(1, max_counter + 1), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Document d("local");
    ASSERT_TRUE(d.put_string({"draft", "subject"}, "s"));
    const std::string before = d.to_json();
    auto r = d.apply_changes(c.bytes);
    EXPECT_EQ(r.has_value(), c.accepted);
    if (!r) {
      EXPECT_EQ(d.to_json(), before);
    }
    expect_stores(d);
  }
}

// The inputs a fuzz run found, through the same steps as the fuzz target's
// "received change bytes" case: the first byte picks the case.
TEST(PersistStoredForm, FoundInputsAreStoredOrRefused) {
  for (const char* name : {"huge-sequence-number", "huge-sequence-number-as-reported"}) {
    SCOPED_TRACE(name);
    const std::string input = corpus(name);
    ASSERT_GT(input.size(), 1u);
    Document d("fuzz");
    ASSERT_TRUE(d.put_string({"draft", "subject"}, "s"));
    ASSERT_TRUE(d.push_string({"shared"}, "a"));
    const std::string before = d.to_json();
    auto r = d.apply_changes("ZCH1" + input.substr(1));
    EXPECT_FALSE(r.has_value());  // its first operation's sequence number is out of bounds
    EXPECT_EQ(d.to_json(), before);
    d.put_bool({"flags", "m", "read"}, true);
    expect_stores(d);
  }
}

TEST(PersistStoredForm, LocalWritesAfterAnIdAtTheBoundAreRefused) {
  Document d("local");
  ASSERT_TRUE(d.put_bool({"mine"}, true));
  ASSERT_TRUE(d.apply_changes(one_set(1, max_counter)).has_value());
  const std::string json = d.to_json();
  EXPECT_FALSE(d.put_bool({"mine"}, false));
  EXPECT_FALSE(d.push_string({"list"}, "x"));
  EXPECT_FALSE(d.remove({"mine"}));
  EXPECT_EQ(d.to_json(), json);
  expect_stores(d);
}

TEST(PersistStoredForm, LongContainerNamesAreStoredUpToTheirBound) {
  // Names between 64 KiB and 1 MiB: written locally and received.
  Document d("local");
  const std::string long_key(70000, 'k');
  ASSERT_TRUE(d.put_bool({long_key, "x"}, true));
  expect_stores(d);

  // Past 1 MiB the write is refused and leaves nothing behind.
  const std::string json = d.to_json();
  EXPECT_FALSE(d.put_bool({std::string(std::size_t{1} << 20, 'k'), "x"}, true));
  EXPECT_FALSE(d.push_string({long_key, std::string(std::size_t{1} << 20, 'k')}, "x"));
  EXPECT_EQ(d.to_json(), json);
  expect_stores(d);
}

TEST(PersistStoredForm, ManyLongNamesSharingAPrefixStore) {
  // Front coding writes each of these names in a few bytes; the stored form
  // must still hold their whole length within what a decoder accepts.
  Document d("local");
  const std::string deep(6000, 'd');
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(d.put_bool({deep, "c" + std::to_string(i), "x"}, true));
  expect_stores(d);
}

TEST(PersistStoredForm, StoredSeenRecordNamesEachActorOnce) {
  // A stored state listing an actor twice would keep a gap below what it saw.
  persist::codec::Writer payload;
  payload.varint(2);
  payload.bytes("own");
  payload.bytes("peer");
  payload.varint(0);  // own actor
  payload.varint(9);  // clock
  payload.varint(2);  // seen: peer twice
  payload.varint(1);
  payload.varint(1);
  payload.varint(1);
  payload.varint(5);
  payload.varint(1);
  payload.varint(9);
  payload.varint(0);
  payload.varint(0);  // objects
  payload.varint(0);  // history
  persist::codec::Writer file;
  file.raw("ZDOC");
  file.u8(1);
  file.u64_fixed(persist::codec::checksum(payload.str()));
  file.raw(payload.str());
  EXPECT_FALSE(Document::decode(file.str()).has_value());
}

TEST(PersistStoredForm, ActorIdsTooLongToStoreAreReplaced) {
  Document d(std::string(300, 'a'));
  EXPECT_LE(d.actor().size(), 256u);
  ASSERT_TRUE(d.put_bool({"x"}, true));
  expect_stores(d);
}

}  // namespace
