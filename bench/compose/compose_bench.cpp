// Outgoing message assembly and submission of a large draft: 16 attachments
// of 1 MiB each.
//   BM_BuildMessage       build_message throughput (raw attachment MB/s) and
//                         the peak memory of one assembly against the raw size
//   BM_SubmitOwnClient    send_message to the local SMTP test server (STARTTLS)
//   BM_SubmitPythonSmtplib the same bytes through Python's smtplib, same server
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "attach/attach.h"
#include "compose/message.h"
#include "submission/submission.h"
#include "smtp_server.h"

namespace fs = std::filesystem;
using namespace mail;

namespace {

constexpr std::size_t attachment_count = 16;
constexpr std::size_t attachment_size = 1 << 20;

struct Fixture {
  fs::path dir;
  std::optional<qdoc::BlobStore> store;
  DraftData draft;
  std::string mime;

  Fixture() {
    dir = fs::temp_directory_path() / ("compose-bench-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    store.emplace(qdoc::BlobStore::open_in(dir / "blobs"));
    std::mt19937_64 rng(42);
    draft.to = "Bob <bob@example.net>";
    draft.cc = "carol@example.net";
    draft.subject = "Benchmark";
    draft.body = "Sixteen files attached.\n";
    draft.html_body = "<p>Sixteen files attached.</p>";
    for (std::size_t i = 0; i < attachment_count; ++i) {
      std::string bytes(attachment_size, '\0');
      for (std::size_t k = 0; k + 8 <= bytes.size(); k += 8) {
        const std::uint64_t v = rng();
        std::memcpy(bytes.data() + k, &v, 8);
      }
      auto a = stage_bytes(bytes, "file-" + std::to_string(i) + ".bin", *store);
      if (!a) throw std::runtime_error(a.error());
      draft.attachments.push_back(*a);
    }
    auto m = build_message({"alice@example.org", std::string("Alice")}, draft, *store);
    if (!m) throw std::runtime_error(m.error());
    mime = std::move(*m);
  }
  ~Fixture() { fs::remove_all(dir); }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

long rss_kib() {
  long pages = 0, resident = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Peak memory one assembly adds, measured in a child process so that the
// high-water mark starts at the current footprint.
double peak_extra_mib() {
  Fixture& f = fixture();
  int pipefd[2];
  if (pipe(pipefd) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    close(pipefd[0]);
    const long before = rss_kib();
    auto m = build_message({"alice@example.org", std::string("Alice")}, f.draft, *f.store);
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const double extra = (ru.ru_maxrss - before) / 1024.0;
    if (write(pipefd[1], &extra, sizeof extra) != sizeof extra) _exit(1);
    _exit(m ? 0 : 1);
  }
  close(pipefd[1]);
  double extra = -1;
  if (read(pipefd[0], &extra, sizeof extra) != sizeof extra) extra = -1;
  close(pipefd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return extra;
}

void BM_BuildMessage(benchmark::State& state) {
  Fixture& f = fixture();
  const double raw = attachment_count * attachment_size;
  std::size_t out = 0;
  for (auto _ : state) {
    auto m = build_message({"alice@example.org", std::string("Alice")}, f.draft, *f.store);
    if (!m) state.SkipWithError(m.error().c_str());
    out = m->size();
    benchmark::DoNotOptimize(m);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw));
  const double peak = peak_extra_mib();
  state.counters["raw_MiB"] = raw / (1 << 20);
  state.counters["message_MiB"] = out / double(1 << 20);
  state.counters["peak_extra_MiB"] = peak;
  state.counters["peak_over_raw"] = peak / (raw / (1 << 20));
}
BENCHMARK(BM_BuildMessage)->Unit(benchmark::kMillisecond)->Iterations(10);

struct Server {
  std::unique_ptr<testsupport::SmtpServer> server;
  Server() {
    auto s = testsupport::SmtpServer::start({.auth = "LOGIN", .capture = false});
    if (!s) throw std::runtime_error(s.error());
    server = std::move(*s);
    ::setenv("ZARN_MAIL_EXTRA_CA_FILE", server->ca_file().c_str(), 1);
  }
};

Server& server() {
  static Server s;
  return s;
}

AccountSettings account() {
  AccountSettings a;
  a.email = "alice@example.org";
  a.smtp_host = "localhost";
  a.smtp_port = server().server->starttls_port();
  a.username = "alice@example.org";
  a.password = "correct horse battery";
  return a;
}

void BM_SubmitOwnClient(benchmark::State& state) {
  Fixture& f = fixture();
  const AccountSettings a = account();
  const Credential c{Credential::Password{a.username, a.password}};
  for (auto _ : state) {
    auto sent = send_message(a, c, f.draft, f.mime);
    if (!sent) state.SkipWithError(sent.error().c_str());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.mime.size()));
}
BENCHMARK(BM_SubmitOwnClient)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_SubmitPythonSmtplib(benchmark::State& state) {
  Fixture& f = fixture();
  const AccountSettings a = account();
  const fs::path file = f.dir / "message.eml";
  std::ofstream(file, std::ios::binary) << f.mime;
  const std::string cmd = "/usr/bin/python3 '" ZARN_SOURCE_DIR "/bench/compose/smtplib_send.py' " +
                          std::to_string(a.smtp_port) + " '" + server().server->ca_file() + "' '" +
                          a.username + "' '" + a.password + "' '" + file.string() +
                          "' alice@example.org bob@example.net carol@example.net";
  for (auto _ : state) {
    FILE* p = ::popen(cmd.c_str(), "r");
    double seconds = -1;
    if (p == nullptr || std::fscanf(p, "%lf", &seconds) != 1) seconds = -1;
    if (p) ::pclose(p);
    if (seconds < 0) {
      state.SkipWithError("smtplib run failed");
      break;
    }
    state.SetIterationTime(seconds);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.mime.size()));
}
BENCHMARK(BM_SubmitPythonSmtplib)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
