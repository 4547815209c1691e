// The contact table and its CSV file at the scale of a large harvest:
// 1,000,000 rows saved and loaded, the memory a load takes, and the single
// operations a user triggers on a table of that size.
//
//   store_bench                      runs the benchmarks
//   store_bench --write-csv FILE     writes the 1,000,000-row file
//   store_bench --load-peak FILE     loads FILE, prints seconds and peak RSS
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include "bench/process_memory.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "store/csv_file.h"

extern char** environ;

namespace {

using vantrelis::bench::CurrentRssKb;
using vantrelis::bench::PeakRssKb;

using vantrelis::ContactTable;
using vantrelis::Field;

constexpr int32_t kRows = 1000000;

// A harvested listing of about 150 bytes: no Category, some without fax.
void AddRealisticRow(ContactTable& t, int32_t i) {
  static const char* const kStreets[] = {"Rue du Lac",    "Avenue de la Gare",    "Bahnhofstrasse",
                                         "Via Cantonale", "Chemin des Cr\xeates", "Grand-Rue"};
  static const char* const kTowns[] = {"Lausanne",     "Gen\xe8ve",  "Z\xfcrich",
                                       "Neuch\xe2tel", "Bellinzona", "Fribourg"};
  char buffer[160];
  t.AppendRow();
  std::snprintf(buffer, sizeof buffer, "P\xe2tisserie Dupont & Fils %d", i);
  t.SetFieldText(Field::Name, buffer);
  std::snprintf(buffer, sizeof buffer, "041 %03d %02d %02d", i % 1000, i % 97, i % 89);
  t.SetFieldText(Field::tel, buffer);
  if (i % 3 != 0) {
    std::snprintf(buffer, sizeof buffer, "041 %03d %02d %02d", i % 1000, i % 89, i % 97);
    t.SetFieldText(Field::Fax, buffer);
  }
  std::snprintf(buffer, sizeof buffer, "info%d@dupont-fils.ch", i);
  t.SetFieldText(Field::email, buffer);
  std::snprintf(buffer, sizeof buffer, "%s %d", kStreets[i % 6], i % 200 + 1);
  t.SetFieldText(Field::adress1, buffer);
  t.SetFieldText(Field::adress2, kTowns[i % 6]);
  std::snprintf(buffer, sizeof buffer, "http://www.dupont-fils-%d.ch", i);
  t.SetFieldText(Field::site, buffer);
  std::snprintf(buffer, sizeof buffer, "%d", 1000 + i % 9000);
  t.SetFieldText(Field::cp, buffer);
  t.CommitRow();
}

void Fill(ContactTable& t, int32_t rows) {
  for (int32_t i = 0; i < rows; ++i) AddRealisticRow(t, i);
}

ContactTable& BigTable() {
  static ContactTable* table = [] {
    auto* t = new ContactTable;
    Fill(*t, kRows);
    return t;
  }();
  return *table;
}

bool g_benchFileWritten = false;

std::string BenchFile() {
  static const std::string path = [] {
    g_benchFileWritten = true;
    std::string p = "/tmp/vantrelis-store-bench-" + std::to_string(::getpid()) + ".csv";
    vantrelis::SaveCsvFile(BigTable(), p);
    return p;
  }();
  return path;
}

void BM_SaveCsv1M(benchmark::State& state) {
  ContactTable& t = BigTable();
  const std::string path = BenchFile() + ".out";
  for (auto _ : state) vantrelis::SaveCsvFile(t, path);
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  state.counters["MB"] = static_cast<double>(in.tellg()) / 1e6;
  ::unlink(path.c_str());
}
BENCHMARK(BM_SaveCsv1M)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_LoadCsv1M(benchmark::State& state) {
  const std::string path = BenchFile();
  for (auto _ : state) {
    auto t = std::make_unique<ContactTable>();
    vantrelis::LoadCsvFile(*t, path);
    if (t->CommittedRowCount() != kRows) state.SkipWithError("wrong row count");
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadCsv1M)->Unit(benchmark::kMillisecond)->Iterations(2);

// The load's memory, measured in a fresh process that does nothing else.
void BM_LoadCsv1MPeakMemory(benchmark::State& state) {
  const std::string path = BenchFile();
  for (auto _ : state) {
    int fds[2];
    if (::pipe(fds) != 0) return state.SkipWithError("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char self[] = "/proc/self/exe";
    char option[] = "--load-peak";
    std::string file = path;
    char* argv[] = {self, option, file.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    char block[256];
    ssize_t n;
    while ((n = ::read(fds[0], block, sizeof block)) > 0) out.append(block, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (spawned == 0) ::waitpid(pid, &status, 0);
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKb = 0;
    long rowsKb = 0;
    if (spawned != 0 ||
        std::sscanf(out.c_str(), "%lf %ld %ld %lf", &seconds, &peakKb, &rowsKb, &cpuSeconds) != 4) {
      return state.SkipWithError("measuring process failed");
    }
    state.counters["peak_RSS_MB"] = static_cast<double>(peakKb) / 1024.0;
    state.counters["table_MB"] = static_cast<double>(rowsKb) / 1024.0;
    state.counters["load_s"] = seconds;
    state.counters["load_cpu_s"] = cpuSeconds;
  }
}
BENCHMARK(BM_LoadCsv1MPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// Single user operations on a 1,000,000-row table, in its middle.
void BM_InsertInFrontAndCommit(benchmark::State& state) {
  ContactTable& t = BigTable();
  t.MoveTo(kRows / 2);
  for (auto _ : state) {
    t.InsertRow();
    t.SetFieldText(Field::Name, "Nouveau contact");
    t.CommitRow();
  }
  for (int64_t i = 0; i < state.iterations(); ++i) t.DeleteRow();
}
BENCHMARK(BM_InsertInFrontAndCommit)->Unit(benchmark::kMicrosecond);

void BM_DeleteInTheMiddle(benchmark::State& state) {
  ContactTable& t = BigTable();
  for (auto _ : state) {
    state.PauseTiming();
    t.MoveTo(kRows / 2);
    state.ResumeTiming();
    t.DeleteRow();
    state.PauseTiming();
    AddRealisticRow(t, 1);  // the freed slot is taken again, at the end
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DeleteInTheMiddle)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_Moves(benchmark::State& state) {
  ContactTable& t = BigTable();
  for (auto _ : state) {
    t.MoveFirst();
    t.MoveNext();
    t.MoveLast();
    t.MovePrior();
    t.MoveTo(kRows / 3);
  }
}
BENCHMARK(BM_Moves)->Unit(benchmark::kMicrosecond);

void BM_EditCommit(benchmark::State& state) {
  ContactTable& t = BigTable();
  t.MoveTo(kRows / 2);
  for (auto _ : state) {
    t.EditRow();
    t.SetFieldText(Field::tel, "021 000 00 00");
    t.CommitRow();
  }
}
BENCHMARK(BM_EditCommit)->Unit(benchmark::kMicrosecond);

int WriteCsv(const char* path) {
  ContactTable t;
  Fill(t, kRows);
  vantrelis::SaveCsvFile(t, path);
  return 0;
}

int LoadPeak(const char* path) {
  const long before = CurrentRssKb();
  ContactTable t;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  vantrelis::LoadCsvFile(t, path);
  const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  // Wall seconds, peak RSS (kB), growth of RSS over the load (kB), CPU seconds.
  std::printf("%.3f %ld %ld %.3f\n", took.count(), PeakRssKb(), CurrentRssKb() - before, cpu);
  return t.CommittedRowCount() > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::strcmp(argv[1], "--write-csv") == 0) return WriteCsv(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--load-peak") == 0) return LoadPeak(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_benchFileWritten) ::unlink(BenchFile().c_str());
  return 0;
}
