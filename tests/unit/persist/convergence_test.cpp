// Randomised convergence: replicas edit the same small set of keys at the same
// time (every kind of edit, deletions of what others edit, inserts at the same
// list positions), exchange their changes in shuffled orders, in part, twice,
// or as whole states after compaction, and must end equal.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "persist/persist.h"

namespace {

using persist::at;
using persist::Document;
using persist::Path;

struct Random {
  std::mt19937_64 rng;
  explicit Random(std::uint64_t seed) : rng(seed) {}
  std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }
  bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }
  template <class T>
  const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }
};

const std::vector<std::string> message_keys = {"m1", "m2", "m3"};
const std::vector<std::string> labels = {"work", "home", "later"};
const std::vector<std::string> folder_ids = {"f1", "f2"};
const std::vector<std::string> draft_fields = {"to", "subject", "body"};

// One random edit of the kinds the mail operations make, plus a few hostile ones.
void random_edit(Document& d, Random& r, int tag) {
  const std::string& m = r.pick(message_keys);
  const std::string text = d.actor() + std::to_string(tag);
  switch (r.below(21)) {
    case 0: d.put_bool({"flags", m, "read"}, r.chance(50)); break;
    case 1: d.put_bool({"flags", m, "starred"}, r.chance(50)); break;
    case 2: d.put_string({"flags", m, "folder"}, r.chance(50) ? "trash" : "inbox"); break;
    case 3: d.push_string({"flags", m, "labels"}, r.pick(labels)); break;
    case 4: d.insert_string({"flags", m, "labels"}, r.below(3), text); break;  // same places
    case 5: d.remove_at({"flags", m, "labels"}, r.below(3)); break;
    case 6: d.remove({"flags", m}); break;  // deletes what others edit
    case 7: d.put_bool({"messages", m, "present"}, true); break;
    case 8: d.put_bool({"messages", m, "purged"}, true); break;
    case 9: d.put_string({"folders", r.pick(folder_ids)}, text); break;
    case 10: d.remove({"folders", r.pick(folder_ids)}); break;
    case 11: d.put_string({"draft", r.pick(draft_fields)}, text); break;
    case 12: d.remove({"draft", r.pick(draft_fields)}); break;
    case 13: d.put_string({"flags", m}, "wrong kind"); break;  // later writes replace it
    case 14: d.put_int({"flags", m, "labels"}, 5); break;
    case 15: d.ensure_map({"draft"}); d.remove({"draft"}); break;
    // A longer shared list with inserts and removals anywhere.
    case 16:
    case 17: d.insert_string({"shared"}, r.below(d.length({"shared"}) + 1), text); break;
    case 18: d.remove_at({"shared"}, r.below(d.length({"shared"}) + 1)); break;
    case 19: d.insert_map({"shared"}, r.below(3)); break;
    case 20: d.put_string({"shared", at(r.below(3)), "note"}, text); break;
  }
}

// Delivers what `from` has and `to` lacks, in one of several ways.
void deliver(Document& to, const Document& from, Random& r) {
  switch (r.below(4)) {
    case 0: {  // one batch
      auto res = to.apply_changes(from.changes_since(to.version()));
      ASSERT_TRUE(res.has_value()) << res.error();
      break;
    }
    case 1: {  // one by one, shuffled, some twice
      auto list = from.change_list_since(to.version());
      std::vector<std::string> shuffled = list;
      for (const auto& c : list) {
        if (r.chance(30)) shuffled.push_back(c);
      }
      std::shuffle(shuffled.begin(), shuffled.end(), r.rng);
      for (const auto& c : shuffled) ASSERT_TRUE(to.apply_changes(c).has_value());
      break;
    }
    case 2: {  // only some of them, out of order: the rest comes later
      auto list = from.change_list_since(to.version());
      std::shuffle(list.begin(), list.end(), r.rng);
      for (const auto& c : list) {
        if (r.chance(50)) {
          ASSERT_TRUE(to.apply_changes(c).has_value());
        }
      }
      break;
    }
    case 3: {  // everything from the start, again
      ASSERT_TRUE(to.apply_changes(from.all_changes()).has_value());
      break;
    }
  }
}

void converge_all(std::vector<Document>& replicas, Random& r) {
  // Two full passes in shuffled pair order; every replica then holds every
  // change (a whole change list is delivered at the end).
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  for (std::size_t i = 0; i < replicas.size(); ++i) {
    for (std::size_t j = 0; j < replicas.size(); ++j) {
      if (i != j) pairs.emplace_back(i, j);
    }
  }
  for (int pass = 0; pass < 2; ++pass) {
    std::shuffle(pairs.begin(), pairs.end(), r.rng);
    for (auto [i, j] : pairs) deliver(replicas[i], replicas[j], r);
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (auto [i, j] : pairs) {
      ASSERT_TRUE(replicas[i].apply_changes(replicas[j].changes_since(replicas[i].version())));
    }
  }
}

class Convergence : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(Convergence, ReplicasEndEqualWhateverTheOrder) {
  Random r(GetParam());
  std::vector<Document> replicas;
  for (const char* actor : {"alice", "bob", "carol", "dave"}) replicas.emplace_back(actor);
  int tag = 0;
  for (int round = 0; round < 10; ++round) {
    for (int step = 0; step < 150; ++step) {
      Document& d = replicas[r.below(replicas.size())];
      random_edit(d, r, tag++);
      if (r.chance(15)) {  // some exchange while others keep editing
        std::size_t i = r.below(replicas.size()), j = r.below(replicas.size());
        if (i != j) deliver(replicas[i], replicas[j], r);
      }
      if (r.chance(3)) {  // compaction with what is known of the others, or alone
        std::vector<persist::Version> peers;
        if (r.chance(50)) {
          for (auto& p : replicas) peers.push_back(p.version());
        }
        d.compact(peers);
      }
    }
    converge_all(replicas, r);
    for (std::size_t i = 1; i < replicas.size(); ++i) {
      ASSERT_EQ(replicas[i].to_json(), replicas[0].to_json()) << "round " << round << " replica " << i;
      ASSERT_EQ(replicas[i].version(), replicas[0].version());
    }
    // Re-applying everything again changes nothing.
    const auto json = replicas[0].to_json();
    auto again = replicas[0].apply_changes(replicas[1].all_changes());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, 0u);
    EXPECT_EQ(replicas[0].to_json(), json);
  }
  // The edits did something: the document is not trivially empty.
  EXPECT_GT(replicas[0].to_json().size(), 10u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, Convergence,
                         ::testing::Values(1u, 2u, 3u, 7u, 42u, 1234u, 99991u, 31337u));

// A replica that never exchanged directly with another still converges through
// a third one that relays, and a late joiner catches up from the whole state.
TEST(ConvergenceRelay, ChangesTravelThroughAThirdReplicaAndALateJoiner) {
  Random r(5);
  Document a("a"), b("b"), c("c");
  for (int i = 0; i < 200; ++i) {
    random_edit(a, r, i);
    random_edit(c, r, i);
  }
  ASSERT_TRUE(b.apply_changes(a.all_changes()));
  ASSERT_TRUE(b.apply_changes(c.all_changes()));
  b.compact();
  ASSERT_TRUE(a.apply_changes(b.changes_since(a.version())));
  ASSERT_TRUE(c.apply_changes(b.changes_since(c.version())));
  EXPECT_EQ(a.to_json(), b.to_json());
  EXPECT_EQ(c.to_json(), b.to_json());
  Document late("late");
  ASSERT_TRUE(late.apply_changes(a.all_changes()));
  EXPECT_EQ(late.to_json(), b.to_json());
}

}  // namespace
