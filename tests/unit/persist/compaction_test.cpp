// Compaction: the document reads and merges the same afterwards, and the
// stored size stops growing with the number of edits.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <stdlib.h>

#include "persist/persist.h"

namespace {

using persist::Document;

// Edits that rewrite a fixed set of places: toggles, overwrites, deletes and
// re-creation of maps, kinds replaced, drafts saved and discarded.
void churn(Document& d, std::mt19937_64& rng, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string m = "m" + std::to_string(rng() % 40);
    switch (rng() % 8) {
      case 0: d.put_bool({"flags", m, "read"}, rng() % 2 == 0); break;
      case 1: d.put_string({"flags", m, "folder"}, rng() % 2 ? "trash" : "archive"); break;
      case 2: d.remove({"flags", m}); break;
      case 3: d.put_string({"draft", "body"}, "draft " + std::to_string(i)); break;
      case 4: d.remove({"draft"}); break;
      case 5: d.put_string({"messages", m}, "wrong kind"); break;
      case 6: d.put_bool({"messages", m, "present"}, true); break;
      case 7: d.put_string({"folders", "f" + std::to_string(rng() % 5)}, std::to_string(i)); break;
    }
  }
}

TEST(PersistCompaction, KeepsTheDocumentAndItsMergesEqual) {
  std::mt19937_64 rng(11);
  Document a("a"), b("b");
  churn(a, rng, 3000);
  churn(b, rng, 3000);
  ASSERT_TRUE(b.apply_changes(a.all_changes()));
  Document compacted = a;
  compacted.compact();
  EXPECT_EQ(compacted.history_size(), 0u);
  EXPECT_EQ(compacted.to_json(), a.to_json());
  EXPECT_EQ(compacted.version(), a.version());

  // Both merge with b to the same result, whichever way round.
  Document x = a, y = compacted;
  ASSERT_TRUE(x.apply_changes(b.all_changes()));
  ASSERT_TRUE(y.apply_changes(b.all_changes()));
  EXPECT_EQ(x.to_json(), y.to_json());
  Document b2 = b;
  ASSERT_TRUE(b2.apply_changes(compacted.changes_since(b2.version())));
  EXPECT_EQ(b2.to_json(), x.to_json());

  // Edits after compaction still win over older ones everywhere.
  ASSERT_TRUE(compacted.put_string({"flags", "m1", "folder"}, "inbox"));
  ASSERT_TRUE(b.apply_changes(compacted.changes_since(b.version())));
  EXPECT_EQ(b.get_string({"flags", "m1", "folder"}), "inbox");
}

TEST(PersistCompaction, KeepsWhatAPeerHasNotSeen) {
  Document a("a"), b("b");
  ASSERT_TRUE(a.put_bool({"x"}, true));
  ASSERT_TRUE(b.apply_changes(a.all_changes()));
  ASSERT_TRUE(a.put_bool({"y"}, true));
  ASSERT_TRUE(a.put_bool({"z"}, true));
  a.compact({b.version()});
  EXPECT_EQ(a.history_size(), 2u);  // b lacks these two
  auto list = a.change_list_since(b.version());
  EXPECT_EQ(list.size(), 2u);  // sent as changes, not as the whole state
  for (const auto& c : list) ASSERT_TRUE(b.apply_changes(c));
  EXPECT_EQ(b.to_json(), a.to_json());
}

TEST(PersistCompaction, StoredSizeStopsGrowingWithEdits) {
  std::mt19937_64 rng(3);
  Document d("a");
  churn(d, rng, 2000);
  d.compact();
  const std::size_t after_2k = d.encode().size();
  const std::size_t history_2k = d.history_size();
  churn(d, rng, 20000);
  const std::size_t uncompacted = d.encode().size();
  const std::string before = d.to_json();
  d.compact();
  const std::size_t after_22k = d.encode().size();
  EXPECT_EQ(d.to_json(), before);
  EXPECT_EQ(history_2k, 0u);
  // Without compaction the history dominates; with it the size depends on
  // the places written, not on how often.
  EXPECT_GT(uncompacted, after_22k * 10);
  EXPECT_LT(after_22k, after_2k * 3 / 2 + 256) << after_2k << " -> " << after_22k;
}

TEST(PersistCompaction, ReplacedSubtreesAreDropped) {
  Document d("a");
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 20; ++i) {
      ASSERT_TRUE(d.put_string({"tree", "k" + std::to_string(i), "v"}, std::to_string(round)));
    }
    ASSERT_TRUE(d.put_string({"tree"}, "flattened"));  // everything below is hidden for good
  }
  d.compact();
  const std::string json = d.to_json();
  EXPECT_EQ(json, R"({"tree":"flattened"})");
  EXPECT_LT(d.encode().size(), 200u);
  // And a replica that still holds the old entries agrees after merging.
  Document other("b");
  ASSERT_TRUE(other.apply_changes(d.all_changes()));
  EXPECT_EQ(other.to_json(), json);
}

TEST(PersistCompaction, SaveFoldsALongHistoryOnItsOwn) {
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "persist-compact-XXXXXX").string();
  const fs::path folder = ::mkdtemp(tmpl.data());
  {
    auto d = persist::open(folder);
    ASSERT_TRUE(d.has_value());
    std::mt19937_64 rng(8);
    churn(*d, rng, 6000);
    ASSERT_GT(d->history_size(), 4096u);
    const std::string json = d->to_json();
    ASSERT_TRUE(d->save().has_value());
    auto back = persist::open(folder);
    ASSERT_TRUE(back.has_value());
    EXPECT_LE(back->history_size(), 4096u);
    EXPECT_EQ(back->to_json(), json);
  }
  fs::remove_all(folder);
}

}  // namespace
