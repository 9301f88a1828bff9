// Record building over a generated corpus of mixed shapes, and the memory a
// record holds once in the mail document.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include "corpus.h"
#include "mime/record_builder.h"

namespace {

void BM_BuildRecords(benchmark::State& state) {
  const auto corpus = bench_mail::raw_corpus(2000);
  std::size_t bytes = 0;
  for (const auto& m : corpus) bytes += m.size();
  for (auto _ : state) {
    for (const auto& m : corpus) {
      auto r = mail::build_record(m, mail::FolderRole::Inbox, false, false, std::nullopt, 0);
      benchmark::DoNotOptimize(r);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["corpus_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BuildRecords)->Unit(benchmark::kMillisecond);

// Heap bytes per record: the built corpus (with its 16 KiB attachments in one
// message of six) and the text-only records of the list benchmarks.
void BM_MemoryPerRecord(benchmark::State& state) {
  const bool built = state.range(0) == 1;
  const auto corpus = built ? bench_mail::raw_corpus(2000) : std::vector<std::string>{};
  for (auto _ : state) {
    malloc_trim(0);
    const auto before = mallinfo2().uordblks;
    {
      mail::MailDocument doc;
      if (built) {
        for (const auto& m : corpus)
          if (auto r = mail::build_record(m, mail::FolderRole::Inbox, false, false, 1, 0))
            doc.upsert(std::move(*r));
      } else {
        doc = bench_mail::generated_document(2000);
      }
      const auto after = mallinfo2().uordblks;
      state.counters["bytes_per_record"] =
          static_cast<double>(after - before) / static_cast<double>(doc.len());
    }
  }
}
BENCHMARK(BM_MemoryPerRecord)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("built")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
