// Reads, writes and merge rules of the replicated document on small cases.

#include <gtest/gtest.h>

#include "persist/persist.h"

namespace {

using persist::at;
using persist::Document;
using persist::Kind;

// Brings `to` up to date with `from`.
void sync(Document& to, const Document& from) {
  auto r = to.apply_changes(from.changes_since(to.version()));
  ASSERT_TRUE(r.has_value()) << r.error();
}

TEST(PersistDocument, WritesReadBackThroughPaths) {
  Document d("a");
  EXPECT_TRUE(d.put_bool({"flags", "m1", "read"}, true));
  EXPECT_TRUE(d.put_string({"flags", "m1", "folder"}, "trash"));
  EXPECT_TRUE(d.put_int({"n"}, -42));
  EXPECT_TRUE(d.push_string({"flags", "m1", "labels"}, "work"));
  EXPECT_TRUE(d.push_string({"flags", "m1", "labels"}, "home"));
  EXPECT_TRUE(d.insert_string({"flags", "m1", "labels"}, 0, "first"));

  EXPECT_EQ(d.get_bool({"flags", "m1", "read"}), true);
  EXPECT_EQ(d.get_string({"flags", "m1", "folder"}), "trash");
  EXPECT_EQ(d.get_int({"n"}), -42);
  EXPECT_TRUE(d.is_map({"flags"}));
  EXPECT_TRUE(d.is_list({"flags", "m1", "labels"}));
  EXPECT_EQ(d.length({"flags", "m1", "labels"}), 3u);
  EXPECT_EQ(d.get_string({"flags", "m1", "labels", at(1)}), "work");
  EXPECT_EQ(d.keys({"flags", "m1"}), (std::vector<std::string>{"folder", "labels", "read"}));
  EXPECT_EQ(d.to_json(),
            R"({"flags":{"m1":{"folder":"trash","labels":["first","work","home"],"read":true}},"n":-42})");

  EXPECT_TRUE(d.remove({"flags", "m1", "folder"}));
  EXPECT_FALSE(d.remove({"flags", "m1", "folder"}));
  EXPECT_TRUE(d.remove_at({"flags", "m1", "labels"}, 1));
  EXPECT_FALSE(d.remove_at({"flags", "m1", "labels"}, 5));
  EXPECT_EQ(d.to_json(), R"({"flags":{"m1":{"labels":["first","home"],"read":true}},"n":-42})");
}

TEST(PersistDocument, WrongKindsReadAsAbsent) {
  Document d("a");
  ASSERT_TRUE(d.put_string({"flags"}, "not a map"));
  ASSERT_TRUE(d.put_int({"count"}, 3));
  ASSERT_TRUE(d.ensure_list({"list"}));
  ASSERT_TRUE(d.push_string({"list"}, "x"));

  struct Case {
    persist::Path path;
    Kind kind;
  };
  const Case cases[] = {
      {{"flags", "m1"}, Kind::Absent},       // through a string
      {{"flags", "m1", "read"}, Kind::Absent},
      {{"count", "x"}, Kind::Absent},        // through an integer
      {{"list", "x"}, Kind::Absent},         // key into a list
      {{"list", at(1)}, Kind::Absent},       // past the end
      {{"flags", at(0)}, Kind::Absent},      // position into a string
      {{at(0)}, Kind::Absent},               // position into the root map
      {{"missing"}, Kind::Absent},
      {{"list", at(0)}, Kind::String},
  };
  for (const auto& c : cases) EXPECT_EQ(d.kind(c.path), c.kind);

  EXPECT_EQ(d.get_bool({"flags"}), std::nullopt);     // a string is not a boolean
  EXPECT_EQ(d.get_string({"count"}), std::nullopt);   // an integer is not a string
  EXPECT_EQ(d.get_int({"flags"}), std::nullopt);
  EXPECT_FALSE(d.is_map({"list"}));
  EXPECT_FALSE(d.is_list({"flags"}));
  EXPECT_TRUE(d.keys({"flags"}).empty());
  EXPECT_EQ(d.length({"flags"}), 0u);
  EXPECT_TRUE(d.items({"count"}).empty());
}

TEST(PersistDocument, StructureWritesReplaceWrongKindsWithEmptyContainers) {
  Document d("a");
  ASSERT_TRUE(d.put_bool({"flags", "m1", "read"}, true));
  ASSERT_TRUE(d.put_string({"flags"}, "oops"));
  EXPECT_EQ(d.get_string({"flags"}), "oops");
  // Writing below a string makes it an empty map: the old entries stay gone.
  ASSERT_TRUE(d.put_bool({"flags", "m2", "read"}, false));
  EXPECT_EQ(d.to_json(), R"({"flags":{"m2":{"read":false}}})");

  ASSERT_TRUE(d.put_int({"flags", "m2", "labels"}, 7));
  ASSERT_TRUE(d.push_string({"flags", "m2", "labels"}, "x"));
  EXPECT_EQ(d.to_json(), R"({"flags":{"m2":{"labels":["x"],"read":false}}})");

  // A map made a list and back starts empty each time.
  ASSERT_TRUE(d.ensure_list({"flags", "m2"}));
  EXPECT_EQ(d.length({"flags", "m2"}), 0u);
  ASSERT_TRUE(d.ensure_map({"flags", "m2"}));
  EXPECT_TRUE(d.keys({"flags", "m2"}).empty());

  // ensure on the right kind changes nothing and records nothing.
  const auto before = d.history_size();
  ASSERT_TRUE(d.ensure_map({"flags", "m2"}));
  ASSERT_TRUE(d.ensure_map({}));
  EXPECT_EQ(d.history_size(), before);
}

TEST(PersistDocument, ListPositionsInPathsMustExist) {
  Document d("a");
  ASSERT_TRUE(d.insert_map({"items"}, 0));
  ASSERT_TRUE(d.put_string({"items", at(0), "name"}, "one"));
  EXPECT_EQ(d.get_string({"items", at(0), "name"}), "one");

  const auto before = d.to_json();
  const auto history = d.history_size();
  EXPECT_FALSE(d.put_string({"items", at(3), "name"}, "x"));
  EXPECT_FALSE(d.put_string({"fresh", at(0)}, "x"));
  EXPECT_FALSE(d.put_string({"other", "deep", at(0), "k"}, "x"));
  EXPECT_FALSE(d.ensure_list({}));
  EXPECT_EQ(d.to_json(), before);
  EXPECT_EQ(d.history_size(), history);

  // Replacing an element keeps its place.
  ASSERT_TRUE(d.push_string({"items"}, "tail"));
  ASSERT_TRUE(d.put_string({"items", at(0)}, "head"));
  EXPECT_EQ(d.to_json(), R"({"items":["head","tail"]})");
}

TEST(PersistDocument, RepeatedWriteOfTheSameValueRecordsNothing) {
  Document d("a");
  ASSERT_TRUE(d.put_bool({"x"}, true));
  const auto n = d.history_size();
  ASSERT_TRUE(d.put_bool({"x"}, true));
  EXPECT_EQ(d.history_size(), n);
  ASSERT_TRUE(d.put_bool({"x"}, false));
  EXPECT_EQ(d.history_size(), n + 1);
}

TEST(PersistMerge, ConcurrentlyCreatedMapsKeepBothSidesEntries) {
  Document a("a"), b("b");
  ASSERT_TRUE(a.put_bool({"flags", "m", "read"}, true));
  ASSERT_TRUE(b.put_bool({"flags", "m", "starred"}, true));
  sync(a, b);
  sync(b, a);
  EXPECT_EQ(a.to_json(), R"({"flags":{"m":{"read":true,"starred":true}}})");
  EXPECT_EQ(b.to_json(), a.to_json());
}

TEST(PersistMerge, LastWriterWinsAndDeletionIsAWrite) {
  Document a("a"), b("b");
  ASSERT_TRUE(a.put_string({"k"}, "from a"));
  sync(b, a);
  ASSERT_TRUE(b.put_string({"k"}, "from b"));  // b saw a's write: b's is newer
  sync(a, b);
  EXPECT_EQ(a.get_string({"k"}), "from b");
  ASSERT_TRUE(a.remove({"k"}));
  sync(b, a);
  EXPECT_FALSE(b.has({"k"}));
  EXPECT_EQ(a.to_json(), b.to_json());
}

TEST(PersistMerge, DeletedMapComesBackEmptyWhenMadeAgain) {
  Document a("a"), b("b");
  ASSERT_TRUE(a.put_bool({"draft", "old"}, true));
  sync(b, a);
  ASSERT_TRUE(b.remove({"draft"}));
  ASSERT_TRUE(b.put_string({"draft", "subject"}, "new"));
  // Deliver b's changes one at a time, newest first.
  auto list = b.change_list_since(a.version());
  for (auto it = list.rbegin(); it != list.rend(); ++it) ASSERT_TRUE(a.apply_changes(*it));
  EXPECT_EQ(a.to_json(), R"({"draft":{"subject":"new"}})");
  EXPECT_EQ(b.to_json(), a.to_json());
}

TEST(PersistMerge, ConcurrentInsertsAtTheSamePlaceKeepEachSideTogether) {
  Document a("a"), b("b");
  ASSERT_TRUE(a.push_string({"l"}, "x"));
  sync(b, a);
  ASSERT_TRUE(a.push_string({"l"}, "a1"));
  ASSERT_TRUE(a.push_string({"l"}, "a2"));
  ASSERT_TRUE(b.push_string({"l"}, "b1"));
  ASSERT_TRUE(b.push_string({"l"}, "b2"));
  Document a2 = a, b2 = b;
  sync(a, b);
  sync(b2, a2);
  EXPECT_EQ(a.to_json(), b2.to_json());
  const auto json = a.to_json();
  // Each replica's run stays in one piece, after the shared "x".
  EXPECT_TRUE(json == R"({"l":["x","a1","a2","b1","b2"]})" ||
              json == R"({"l":["x","b1","b2","a1","a2"]})")
      << json;
}

TEST(PersistMerge, ApplyingChangesTwiceChangesNothing) {
  Document a("a"), b("b");
  ASSERT_TRUE(a.put_bool({"x"}, true));
  ASSERT_TRUE(a.push_string({"l"}, "one"));
  const auto bytes = a.all_changes();
  auto first = b.apply_changes(bytes);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(*first, a.history_size());
  const auto json = b.to_json();
  auto second = b.apply_changes(bytes);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(*second, 0u);
  EXPECT_EQ(b.to_json(), json);
  EXPECT_EQ(b.version(), a.version());
}

TEST(PersistMerge, MalformedChangeBytesAreRejectedAndChangeNothing) {
  Document a("a"), b("b");
  ASSERT_TRUE(a.put_string({"k"}, "v"));
  ASSERT_TRUE(b.put_string({"mine"}, "kept"));
  const std::string good = a.all_changes();
  const auto before = b.to_json();
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(b.apply_changes(good.substr(0, cut)).has_value()) << cut;
  }
  EXPECT_FALSE(b.apply_changes("garbage").has_value());
  EXPECT_FALSE(b.apply_changes(good + "x").has_value());
  EXPECT_EQ(b.to_json(), before);
}

TEST(PersistVersion, EncodesAndCovers) {
  persist::Version v{{{"a", 3}, {"b", 1}}};
  auto back = persist::decode_version(persist::encode_version(v));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, v);
  EXPECT_TRUE(v.covers(persist::Version{{{"a", 2}}}));
  EXPECT_FALSE(v.covers(persist::Version{{{"c", 1}}}));
  EXPECT_FALSE(persist::decode_version("\x05").has_value());
}

}  // namespace
