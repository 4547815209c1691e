// The workbook export at the scale of a large harvest: 100,000 rows of nine
// text cells, and the peak memory of one export at 10,000 and 100,000 rows.
//
//   workbook_bench                          runs the benchmarks
//   workbook_bench --export-peak ROWS FILE  exports ROWS generated rows to
//                                           FILE, prints seconds and peak RSS
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>
#include "bench/process_memory.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "store/contact_table.h"
#include "store/workbook_export.h"

namespace {

using vantrelis::bench::PeakRssKb;

using vantrelis::ContactTable;
using vantrelis::DataSet;
using vantrelis::DataSetToExcel;
using vantrelis::Field;

// The values of generated row `i` in field order; "" for Category and some
// faxes (empty cells), a few accented letters (Windows-1252).
struct RowValues {
  std::string values[9];
  void Fill(int32_t i) {
    const std::string n = std::to_string(i);
    values[0] = "boulangerie du pr\xE9 " + n;
    values[1] = "info" + n + "@commerce-" + n + ".example";
    values[2] = "021 " + std::to_string(300 + i % 700) + " 34 56";
    values[3] = i % 3 == 0 ? "" : "021 312 34 57";
    values[4] = "";
    values[5] = "rue du march\xE9 " + std::to_string(1 + i % 200);
    values[6] = "lausanne";
    values[7] = "http://www.commerce-" + n + ".example/";
    values[8] = std::to_string(1000 + i % 9000);
  }
};

// Generated rows that take no memory of their own, so that what an export
// holds is all that is measured.
class GeneratedRows : public DataSet {
 public:
  explicit GeneratedRows(int32_t rows) : m_rows(rows) {}
  int32_t FieldCount() const override { return 9; }
  std::string_view FieldName(int32_t index) const override {
    return vantrelis::FieldInfoOf(static_cast<Field>(index)).name;
  }
  std::string_view DisplayLabel(int32_t index) const override {
    return vantrelis::FieldInfoOf(static_cast<Field>(index)).displayLabel;
  }
  bool FieldVisible(int32_t) const override { return true; }
  void First() override { Move(0); }
  void Next() override { Move(m_row + 1); }
  bool Eof() const override { return m_row >= m_rows; }
  std::optional<std::string_view> FieldText(int32_t index) const override {
    if (index == 4) return std::nullopt;
    return m_values.values[index];
  }

 private:
  void Move(int32_t row) {
    m_row = row;
    if (row < m_rows) m_values.Fill(row);
  }
  int32_t m_rows;
  int32_t m_row = 0;
  RowValues m_values;
};

std::string BenchFile(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/" + name + "-" + std::to_string(::getpid()) + ".xlsx";
}

void BM_ExportGeneratedRows(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  const std::string path = BenchFile("workbook-bench");
  GeneratedRows data(rows);
  for (auto _ : state) DataSetToExcel(data).Export(path);
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  std::remove(path.c_str());
}
BENCHMARK(BM_ExportGeneratedRows)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same rows held in the contact table: the export walks it with its moves.
void BM_ExportContactTable(benchmark::State& state) {
  const auto rows = static_cast<int32_t>(state.range(0));
  ContactTable table;
  RowValues values;
  for (int32_t i = 0; i < rows; ++i) {
    values.Fill(i);
    table.AppendRow();
    for (int f = 0; f < 9; ++f) {
      if (f != 4) table.SetFieldText(static_cast<Field>(f), values.values[f]);
    }
    table.CommitRow();
  }
  const std::string path = BenchFile("workbook-bench-table");
  for (auto _ : state) DataSetToExcel(table).Export(path);
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  std::remove(path.c_str());
}
BENCHMARK(BM_ExportContactTable)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

int ExportPeak(int32_t rows, const char* path) {
  GeneratedRows data(rows);
  const auto start = std::chrono::steady_clock::now();
  DataSetToExcel(data).Export(path);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.3f %ld\n", took.count(), PeakRssKb());
  return 0;
}

// Runs an export of `rows` in a fresh process of this program and reads its
// peak memory back, so that earlier benchmarks do not count.
long ChildPeakKb(int32_t rows) {
  const std::string path = BenchFile("workbook-bench-peak");
  const std::string command =
      "/proc/" + std::to_string(::getpid()) + "/exe --export-peak " + std::to_string(rows) + " " + path;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  double seconds = 0;
  long peak = -1;
  if (std::fscanf(pipe, "%lf %ld", &seconds, &peak) != 2) peak = -1;
  ::pclose(pipe);
  std::remove(path.c_str());
  return peak;
}

void BM_ExportPeakMemory(benchmark::State& state) {
  long small = 0, large = 0;
  for (auto _ : state) {
    small = ChildPeakKb(10000);
    large = ChildPeakKb(100000);
  }
  state.counters["peak_kB_10k"] = static_cast<double>(small);
  state.counters["peak_kB_100k"] = static_cast<double>(large);
  state.counters["growth_kB"] = static_cast<double>(large - small);
}
BENCHMARK(BM_ExportPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--export-peak") == 0) {
    return ExportPeak(static_cast<int32_t>(std::atol(argv[2])), argv[3]);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
