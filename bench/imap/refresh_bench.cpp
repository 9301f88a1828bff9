// The engine's Refresh of an Inbox holding 50 messages of about 20 KB, through
// the real worker and live backend, against a local Dovecot over TLS. The
// same exchange by bench/imap/baseline_refresh.py (Python imaplib, no MIME
// parsing) runs in the same process's lifetime for comparison.
//
// Counters: engine_median_ms, baseline_median_ms, ratio (engine / baseline),
// peak_rss_mb (resident high-water mark during the refreshes) and
// peak_growth_mb (that mark above the resident size before them).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dovecot_server.h"
#include "engine/engine.h"
#include "tls/tls.h"

namespace {

std::string script() {
  return std::string(ZARN_SOURCE_DIR) + "/bench/imap/baseline_refresh.py";
}

std::string run_capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// kB value of a /proc/self/status field.
long status_kb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return 0;
}

void reset_peak_rss() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_EngineRefreshFiftyMessages(benchmark::State& state) {
  auto server = testsupport::DovecotServer::start();
  if (!server) {
    state.SkipWithError(server.error().c_str());
    return;
  }
  auto& s = **server;
  const std::string args = " " + std::to_string(s.port()) + " " + s.ca_file() + " " + s.user() +
                           " '" + s.password() + "'";
  auto setup = run_capture("/usr/bin/python3 " + script() + " setup" + args + " 50 20000");
  if (setup.find("\"messages\": 50") == std::string::npos) {
    state.SkipWithError(("setup failed: " + setup).c_str());
    return;
  }
  const auto setup_json = nlohmann::json::parse(setup);

  setenv(mail::tls::extra_ca_env, s.ca_file().c_str(), 1);
  auto live = mail::make_live_backend();
  if (!live) {
    state.SkipWithError(live.error().c_str());
    return;
  }
  mail::EngineHandle engine = mail::start_with(std::move(*live));
  mail::AccountSettings account;
  account.email = "bob@example.com";
  account.imap_host = "127.0.0.1";
  account.imap_port = s.port();
  account.username = s.user();
  account.password = s.password();

  const long rss_before = status_kb("VmRSS:");
  reset_peak_rss();
  std::vector<double> times;
  std::size_t records = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const mail::RequestId id = mail::new_request_id();
    engine.submit(mail::EngineRequest::Refresh{account, id, mail::FolderRole::Inbox});
    while (auto r = engine.wait()) {
      if (auto* refreshed = std::get_if<mail::EngineResult::Refreshed>(&r->value))
        records = refreshed->messages.size();
      if (auto* failed = std::get_if<mail::EngineResult::Failed>(&r->value))
        state.SkipWithError(failed->message.c_str());
      if (std::holds_alternative<mail::EngineResult::Completed>(r->value) && r->id() == id) break;
    }
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  const long peak = status_kb("VmHWM:");

  const auto baseline_out = run_capture("/usr/bin/python3 " + script() + " refresh" + args + " " +
                                        std::to_string(std::max<std::size_t>(times.size(), 5)));
  std::vector<double> baseline;
  try {
    baseline = nlohmann::json::parse(baseline_out).get<std::vector<double>>();
  } catch (const std::exception&) {
    state.SkipWithError(("baseline failed: " + baseline_out).c_str());
    return;
  }
  const double engine_ms = median(times) * 1000, baseline_ms = median(baseline) * 1000;
  state.counters["records"] = static_cast<double>(records);
  state.counters["mailbox_mb"] = setup_json["bytes"].get<double>() / 1e6;
  state.counters["engine_median_ms"] = engine_ms;
  state.counters["baseline_median_ms"] = baseline_ms;
  state.counters["ratio"] = baseline_ms > 0 ? engine_ms / baseline_ms : 0;
  state.counters["peak_rss_mb"] = peak / 1024.0;
  state.counters["peak_growth_mb"] = (peak - rss_before) / 1024.0;
  unsetenv(mail::tls::extra_ca_env);
}
BENCHMARK(BM_EngineRefreshFiftyMessages)
    ->Iterations(15)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
