// Speed of the replicated document: local edits, merging received changes,
// reads, and storing / opening a document of 10,000 message keys.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <stdlib.h>

#include "persist/persist.h"

namespace {

namespace fs = std::filesystem;

std::string key_of(int i) { return "00000000-0000-4000-8000-" + std::to_string(100000000000 + i); }

// The mix the mail operations make: read and starred flags, folder moves,
// labels, presence.
void mail_edits(persist::Document& d, int count, int keys, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  for (int i = 0; i < count; ++i) {
    const std::string k = key_of(static_cast<int>(rng() % keys));
    switch (rng() % 5) {
      case 0: d.put_bool({"flags", k, "read"}, rng() % 2 == 0); break;
      case 1: d.put_bool({"flags", k, "starred"}, rng() % 2 == 0); break;
      case 2: d.put_string({"flags", k, "folder"}, rng() % 2 ? "archive" : "inbox"); break;
      case 3: d.push_string({"flags", k, "labels"}, "label" + std::to_string(rng() % 4)); break;
      case 4: d.put_bool({"messages", k, "present"}, true); break;
    }
  }
}

// A document with `keys` messages, each with presence and three flags.
persist::Document with_keys(int keys) {
  persist::Document d("bench");
  for (int i = 0; i < keys; ++i) {
    const std::string k = key_of(i);
    d.put_bool({"messages", k, "present"}, true);
    d.put_bool({"flags", k, "read"}, i % 3 == 0);
    d.put_bool({"flags", k, "starred"}, i % 7 == 0);
    d.put_string({"flags", k, "folder"}, "inbox");
  }
  return d;
}

void BM_LocalEdits(benchmark::State& state) {
  for (auto _ : state) {
    persist::Document d("bench");
    mail_edits(d, static_cast<int>(state.range(0)), 1000, 1);
    benchmark::DoNotOptimize(d.history_size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LocalEdits)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ApplyReceivedEdits(benchmark::State& state) {
  persist::Document source("source");
  mail_edits(source, static_cast<int>(state.range(0)), 1000, 2);
  const std::string bytes = source.all_changes();
  for (auto _ : state) {
    persist::Document d("bench");
    auto r = d.apply_changes(bytes);
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["change_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_ApplyReceivedEdits)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ReadFlags(benchmark::State& state) {
  const persist::Document d = with_keys(10000);
  std::size_t read = 0;
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i) read += d.get_bool({"flags", key_of(i), "read"}).value_or(false);
  }
  benchmark::DoNotOptimize(read);
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_ReadFlags)->Unit(benchmark::kMillisecond);

void BM_Encode10kKeys(benchmark::State& state) {
  persist::Document d = with_keys(10000);
  if (state.range(0)) d.compact();
  std::size_t size = 0;
  for (auto _ : state) {
    auto bytes = d.encode();
    size = bytes.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_Encode10kKeys)->Arg(0)->Arg(1)->ArgName("compacted")->Unit(benchmark::kMillisecond);

void BM_Decode10kKeys(benchmark::State& state) {
  persist::Document d = with_keys(10000);
  if (state.range(0)) d.compact();
  const std::string bytes = d.encode();
  for (auto _ : state) {
    auto back = persist::Document::decode(bytes);
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_Decode10kKeys)->Arg(0)->Arg(1)->ArgName("compacted")->Unit(benchmark::kMillisecond);

struct Folder {
  fs::path path;
  Folder() {
    std::string tmpl = (fs::temp_directory_path() / "persist-bench-XXXXXX").string();
    path = ::mkdtemp(tmpl.data());
  }
  ~Folder() { fs::remove_all(path); }
};

// Save includes the flush to disk and the rename.
void BM_Save10kKeys(benchmark::State& state) {
  Folder folder;
  auto d = persist::open(folder.path);
  if (!d) return state.SkipWithError("open failed");
  *d = with_keys(10000);
  auto fresh = persist::open(folder.path);
  if (!fresh) return state.SkipWithError("open failed");
  // Move the content into a document that has the folder.
  (void)fresh->apply_changes(d->all_changes());
  fresh->compact();
  for (auto _ : state) {
    if (!fresh->save()) return state.SkipWithError("save failed");
  }
  state.counters["file_bytes"] =
      static_cast<double>(fs::file_size(folder.path / persist::document_file_name));
}
BENCHMARK(BM_Save10kKeys)->Unit(benchmark::kMillisecond);

void BM_Open10kKeys(benchmark::State& state) {
  Folder folder;
  auto d = persist::open(folder.path);
  if (!d) return state.SkipWithError("open failed");
  (void)d->apply_changes(with_keys(10000).all_changes());
  d->compact();
  if (!d->save()) return state.SkipWithError("save failed");
  for (auto _ : state) {
    auto back = persist::open(folder.path);
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_Open10kKeys)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
