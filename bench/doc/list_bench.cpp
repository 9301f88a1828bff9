// The message list over large documents: folder conversations, the list's
// search (scan 4096, 200 results), a full-document search, and the rows the
// list rebuilds every frame.
#include <benchmark/benchmark.h>

#include <map>

#include "corpus.h"
#include "list_model/list_model.h"

namespace {

const mail::MailDocument& document(std::size_t n) {
  static std::map<std::size_t, mail::MailDocument> cache;
  auto it = cache.find(n);
  if (it == cache.end()) it = cache.emplace(n, bench_mail::generated_document(n)).first;
  return it->second;
}

void BM_ConversationsInFolder(benchmark::State& state) {
  const auto& doc = document(static_cast<std::size_t>(state.range(0)));
  std::size_t groups = 0;
  for (auto _ : state) {
    auto c = mail::conversations_in_folder(doc, mail::FolderRole::Inbox);
    groups = c.size();
    benchmark::DoNotOptimize(c);
  }
  state.counters["conversations"] = static_cast<double>(groups);
}
BENCHMARK(BM_ConversationsInFolder)->Arg(1000)->Arg(10000)->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// The list's own search: no hit, so the scan runs to its 4096 limit.
void BM_SearchListLimits(benchmark::State& state) {
  const auto& doc = document(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto r = mail::search_messages(doc, "no such words here", std::nullopt,
                                   mail::list_search_scan_limit, mail::list_search_result_limit);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_SearchListLimits)->Arg(1000)->Arg(10000)->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// Every message examined: no limits, a query that matches nothing.
void BM_SearchWholeDocument(benchmark::State& state) {
  const auto& doc = document(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto r = mail::search_messages(doc, "no such words here", std::nullopt, SIZE_MAX, SIZE_MAX);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_SearchWholeDocument)->Arg(1000)->Arg(10000)->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// A common query with many hits: the result limit ends it.
void BM_SearchCommonWord(benchmark::State& state) {
  const auto& doc = document(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto r = mail::search_messages(doc, "budget", std::nullopt, mail::list_search_scan_limit,
                                   mail::list_search_result_limit);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_SearchCommonWord)->Arg(1000)->Arg(10000)->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_VisibleRowsFolder(benchmark::State& state) {
  const auto& doc = document(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto rows = mail::visible_rows(doc, "", mail::FolderRole::Inbox);
    benchmark::DoNotOptimize(rows);
  }
}
BENCHMARK(BM_VisibleRowsFolder)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
