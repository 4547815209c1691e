// What the session journal costs: a 1,000,000-row CSV import with and
// without a journal (the journal may make it at most 20% slower), one
// harvested row made durable (at most 1 ms), and the recovery of a
// 1,000,000-row journal into a session with its journal on (at most 1.5
// times the journaled import), and of a 100,000-listing harvest. The journals go to a folder on disk
// (/var/tmp), not to a memory file system, so that their flushes are real.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store/csv_file.h"
#include "store/journal_recovery.h"
#include "store/session_journal.h"

namespace {

using vantrelis::ContactTable;
using vantrelis::Field;
using vantrelis::JournalRecovery;
using vantrelis::SessionJournal;

constexpr int32_t kRows = 1000000;

const std::string& Folder() {
  static const std::string folder = [] {
    std::string pattern = "/var/tmp/vantrelis-journal-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) pattern = "/tmp";
    return pattern;
  }();
  return folder;
}

// A harvested listing of about 150 bytes.
void AddListing(ContactTable& t, int32_t i, bool insert) {
  char buffer[160];
  insert ? t.InsertRow() : t.AppendRow();
  std::snprintf(buffer, sizeof buffer, "P\xe2tisserie Dupont & Fils %d", i);
  t.SetFieldText(Field::Name, buffer);
  std::snprintf(buffer, sizeof buffer, "Rue du Lac %d", i % 200 + 1);
  t.SetFieldText(Field::adress1, buffer);
  std::snprintf(buffer, sizeof buffer, "http://www.dupont-fils-%d.ch", i);
  t.SetFieldText(Field::site, buffer);
  std::snprintf(buffer, sizeof buffer, "info%d@dupont-fils.ch", i);
  t.SetFieldText(Field::email, buffer);
  std::snprintf(buffer, sizeof buffer, "041 %03d %02d %02d", i % 1000, i % 89, i % 97);
  t.SetFieldText(Field::Fax, buffer);
  std::snprintf(buffer, sizeof buffer, "041 %03d %02d %02d", i % 1000, i % 97, i % 89);
  t.SetFieldText(Field::tel, buffer);
  std::snprintf(buffer, sizeof buffer, "%d", 1000 + i % 9000);
  t.SetFieldText(Field::cp, buffer);
  t.SetFieldText(Field::adress2, "Lausanne");
}

const std::string& MillionRowFile() {
  static const std::string path = [] {
    ContactTable t;
    for (int32_t i = 0; i < kRows; ++i) AddListing(t, i, false);
    t.SettleRow();
    std::string p = Folder() + "/import.csv";
    vantrelis::SaveCsvFile(t, p);
    return p;
  }();
  return path;
}

double ImportSeconds(bool journaled) {
  auto table = std::make_unique<ContactTable>();
  std::unique_ptr<SessionJournal> journal;
  if (journaled) journal = std::make_unique<SessionJournal>(*table, Folder() + "/journals");
  const auto start = std::chrono::steady_clock::now();
  vantrelis::LoadCsvFile(*table, MillionRowFile());  // durable when it returns
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (journal) journal->End();
  return seconds;
}

// Imports with and without a journal, in turns so that both see the same
// machine; the best of each is compared.
void BM_Import1MWithAndWithoutJournal(benchmark::State& state) {
  MillionRowFile();
  std::vector<double> plain;
  std::vector<double> journaled;
  for (auto _ : state) {
    plain.push_back(ImportSeconds(false));
    journaled.push_back(ImportSeconds(true));
  }
  const double base = *std::min_element(plain.begin(), plain.end());
  const double with = *std::min_element(journaled.begin(), journaled.end());
  state.counters["plain_ms"] = base * 1000;
  state.counters["journaled_ms"] = with * 1000;
  state.counters["slower_percent"] = (with / base - 1) * 100;
}
BENCHMARK(BM_Import1MWithAndWithoutJournal)->Iterations(9)->Unit(benchmark::kMillisecond);

// One listing as the harvest adds it, then made durable as the harvest's
// per-listing step does.
void BM_HarvestedRowMadeDurable(benchmark::State& state) {
  ContactTable table;
  SessionJournal journal(table, Folder() + "/journals");
  int32_t i = 0;
  for (auto _ : state) {
    AddListing(table, i++, true);
    journal.Sync();
  }
  journal.End();
}
BENCHMARK(BM_HarvestedRowMadeDurable)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// The start after a session of 1,000,000 rows that did not end normally:
// finding and reading its journal, then adding its rows to a new session
// whose own journal has them on disk when the recovery returns; against the
// journaled import of the same rows, in turns.
void BM_Recover1MWithJournal(benchmark::State& state) {
  const std::string folder = Folder() + "/recover";
  std::filesystem::create_directories(folder);
  std::vector<double> imports;
  std::vector<double> recoveries;
  for (auto _ : state) {
    imports.push_back(ImportSeconds(true));
    {
      ContactTable table;
      SessionJournal journal(table, folder);
      vantrelis::LoadCsvFile(table, MillionRowFile());
    }
    auto table = std::make_unique<ContactTable>();
    auto journal = std::make_unique<SessionJournal>(*table, folder);
    const auto start = std::chrono::steady_clock::now();
    JournalRecovery recovery(folder);
    recovery.AddRowsTo(*table, journal.get());
    recoveries.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (table->CommittedRowCount() != kRows) state.SkipWithError("wrong row count");
    journal->End();
  }
  const double import = *std::min_element(imports.begin(), imports.end());
  const double recover = *std::min_element(recoveries.begin(), recoveries.end());
  state.counters["import_ms"] = import * 1000;
  state.counters["recover_ms"] = recover * 1000;
  state.counters["recover_per_import"] = recover / import;
}
BENCHMARK(BM_Recover1MWithJournal)->Iterations(5)->Unit(benchmark::kMillisecond);

// The start after a harvest of 100,000 listings, each kept whole as the
// harvest keeps it, with its address.
void BM_RecoverHarvested100k(benchmark::State& state) {
  const std::string folder = Folder() + "/harvested";
  std::filesystem::create_directories(folder);
  // Made in memory, where its 200,000 flushes cost nothing, then copied.
  std::string shm = "/dev/shm/vantrelis-harvest-bench-XXXXXX";
  if (::mkdtemp(shm.data()) == nullptr) shm = Folder();
  const std::string scratch = shm + "/journals";
  std::string made;
  {
    ContactTable table;
    SessionJournal journal(table, scratch);
    for (int32_t i = 0; i < 100000; ++i) {
      AddListing(table, i, true);
      table.SetRowAddress("https://annuaire.example/fiche/" + std::to_string(i));
      journal.Sync();
    }
    made = journal.Path();
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(made, folder + made.substr(made.rfind('/')));
    auto table = std::make_unique<ContactTable>();
    auto journal = std::make_unique<SessionJournal>(*table, folder);
    state.ResumeTiming();
    JournalRecovery recovery(folder);
    recovery.AddRowsTo(*table, journal.get());
    state.PauseTiming();
    if (table->CommittedRowCount() != 100000) state.SkipWithError("wrong row count");
    journal->End();
    state.ResumeTiming();
  }
  std::error_code ignored;
  std::filesystem::remove_all(shm, ignored);
}
BENCHMARK(BM_RecoverHarvested100k)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  if (Folder() != "/tmp") std::filesystem::remove_all(Folder(), ignored);
  return 0;
}
