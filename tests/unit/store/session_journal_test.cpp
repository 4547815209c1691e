#include "store/session_journal.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "child_process.h"
#include "store/crc32c.h"
#include "store/csv_file.h"
#include "table_support.h"

namespace vantrelis {
namespace {

namespace fs = std::filesystem;
using test_support::RunInChild;

// A private journal folder, removed with its files afterwards.
class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantrelis-journal-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_root = pattern;
    m_folder = m_root + "/state/vantrelis";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
  }

  std::vector<std::string> Journals() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(m_folder, error)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::string m_root;
  std::string m_folder;
};

// Committed rows' names in display order.
std::string Names(const ContactTable& t) {
  std::string out;
  t.ForEachCommittedRow([&](auto value) {
    if (!out.empty()) out += ',';
    out += value(Field::Name).value_or("-");
  });
  return out;
}

void InsertNamed(ContactTable& t, const std::string& name) {
  t.InsertRow();
  t.SetFieldText(Field::Name, name);
}

using test_support::Dump;
using test_support::FlushingGrid;

std::string RandomText(std::mt19937& random) {
  static const std::string alphabet("aZ \xe9;\"%\r\n\0x", 11);
  const auto kind = static_cast<unsigned>(random() % 5);
  std::string text;
  const auto length = static_cast<unsigned>(kind == 0 ? 0 : kind == 4 ? 130 + random() % 200 : random() % 12);
  for (unsigned i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
  return text;
}

// Writes a random row in stored form into the table's load space.
void PutRandomStoredRow(ContactTable& t, std::mt19937& random) {
  uint8_t* row = t.LoadRowSpace();
  uint8_t* text = row + kFieldCount;
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (random() % 3 == 0) {
      row[f] = kNoValueLength;
      continue;
    }
    row[f] = static_cast<uint8_t>(random() % 4 == 0 ? kFieldWidths[f] : random() % (kFieldWidths[f] / 4 + 1));
    for (uint8_t i = 0; i < row[f]; ++i) *text++ = static_cast<uint8_t>(1 + random() % 255);
  }
}

// A CSV file of `rows` lines of about 150 bytes.
std::string LargeImport(int32_t rows, int32_t seed) {
  std::string csv;
  for (int32_t i = 0; i < rows; ++i) {
    csv += "\"row " + std::to_string(seed) + "-" + std::to_string(i) + "\";\"info" + std::to_string(i) +
           "@example.ch\";\"021 000 00 00\";;;\"Rue du Lac " + std::to_string(i % 300) + std::string(i % 70, 'e') +
           "\";\"Lausanne\";;\"" + std::to_string(1000 + i % 9000) + "\";\r\n";
  }
  return csv;
}

// Random runs of what the window and the command do to a table (harvested
// rows, grid edits with a cell handed over at commit, moves, deletes, CSV
// imports small and large, clears, and loads left open while other
// operations run), journaled; at random points and at the end the journal
// rebuilds exactly the same table, and the table a recovery gives back holds
// the same committed rows in the same order.
TEST_F(JournalTest, ReplayingTheJournalRebuildsTheSameTable) {
  std::mt19937 random(20240917);
  const std::string csv = m_root + "/import.csv";
  const std::string large = m_root + "/large.csv";
  std::ofstream(large, std::ios::binary) << LargeImport(12000, 1);
  for (int round = 0; round < 40; ++round) {
    ContactTable source;
    FlushingGrid grid(source);
    source.AddObserver(&grid);
    auto journal = std::make_unique<SessionJournal>(source, m_folder);
    ASSERT_TRUE(journal->Writing());
    const int steps = 20 + static_cast<int>(random() % 120);
    for (int step = 0; step < steps; ++step) {
      try {
        switch (random() % 19) {
          case 0:
          case 1: InsertNamed(source, RandomText(random)); source.SetFieldText(Field::cp, "1000"); break;
          case 2: source.AppendRow(); break;
          case 3: source.SetFieldText(static_cast<Field>(random() % kFieldCount), RandomText(random)); break;
          case 4: source.EditRow(); break;
          case 5: grid.pending = RandomText(random); source.CommitRow(); break;
          case 6: source.CancelRow(); break;
          case 7: source.DeleteRow(); break;
          case 8: source.MoveTo(static_cast<int32_t>(random() % (source.RowCount() + 2))); break;
          case 9: (random() % 2 ? source.MoveFirst() : source.MoveLast()); break;
          case 10: (random() % 2 ? source.MovePrior() : source.MoveNext()); break;
          case 11: source.SettleRow(); break;
          case 12: {
            std::ofstream(csv, std::ios::binary) << "\"imp\";\"\";;\"" << RandomText(random) << "\";\r\n;;x\r\n";
            LoadCsvFile(source, csv);
            break;
          }
          case 13:
            if (random() % 4 == 0) source.ClearRows();
            break;
          case 14:
            if (random() % 3 == 0) source.BeginLoad();
            break;
          case 15: {
            RowValues values;
            std::array<std::string, kFieldCount> texts;
            for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
              if (random() % 2) values[f] = texts[f] = RandomText(random);
            }
            source.LoadRow(values);
            break;
          }
          case 16:
            for (auto rows = static_cast<unsigned>(random() % 40); rows > 0; --rows) {
              PutRandomStoredRow(source, random);
              source.LoadStoredRow();
            }
            break;
          case 17: source.EndLoad(); break;
          case 18:
            if (random() % 6 == 0) LoadCsvFile(source, large);
            break;
        }
      } catch (const TableError&) {
        // Refused operations change nothing and are not journaled.
      }
      if (random() % 16 == 0) {
        journal->Sync();
        ContactTable rebuilt;
        ASSERT_TRUE(RebuildFromJournal(journal->Path(), rebuilt));
        ASSERT_EQ(Dump(rebuilt), Dump(source)) << "round " << round << " step " << step;
      }
    }
    journal->Sync();
    ContactTable rebuilt;
    ASSERT_TRUE(RebuildFromJournal(journal->Path(), rebuilt));
    ASSERT_EQ(Dump(rebuilt), Dump(source)) << "round " << round;

    // The session ends without End, as after a crash: a recovery ends a
    // load cut short, settles the open row and gives back the rows in
    // display order.
    journal.reset();
    source.RemoveObserver(&grid);
    source.EndLoad();
    source.SettleRow();
    JournalRecovery recovery(m_folder);
    ASSERT_EQ(recovery.JournalCount(), 1);
    EXPECT_EQ(recovery.RowCount(), source.CommittedRowCount());
    ContactTable back;
    recovery.AddRowsTo(back, nullptr);
    ContactTable expected;
    source.ForEachCommittedRow([&](auto value) {
      expected.AppendRow();
      for (int32_t f = 0; f < kFieldCount; ++f) {
        if (auto v = value(static_cast<Field>(f))) expected.SetFieldText(static_cast<Field>(f), *v);
      }
      expected.CommitRow();
    });
    if (source.CurrentRow() >= 0) expected.MoveTo(source.CurrentRow());
    ASSERT_EQ(Dump(back), Dump(expected)) << "round " << round;
    recovery.RemoveJournals();
    ASSERT_TRUE(Journals().empty());
  }
}

TEST_F(JournalTest, ATornJournalGivesBackEveryCompleteRecord) {
  // A small journal, made durable after every operation, with the table as
  // it stood at each of those sizes.
  ContactTable source;
  std::vector<std::pair<size_t, std::string>> states;
  std::string path;
  {
    SessionJournal journal(source, m_folder);
    path = journal.Path();
    const auto mark = [&] {
      journal.Sync();
      states.emplace_back(fs::file_size(path), Dump(source));
    };
    // One record per operation.
    mark();
    source.InsertRow();
    mark();
    source.SetFieldText(Field::Name, "A");
    mark();
    source.SetFieldText(Field::email, "");
    mark();
    source.InsertRow();
    mark();
    source.SetFieldText(Field::Name, "B");
    mark();
    source.MoveLast();
    mark();
    source.BeginLoad();
    mark();
    RowValues values;
    values[0] = "L";
    values[3] = std::string_view("x\0y", 3);
    source.LoadRow(values);
    values[1] = "";
    source.LoadRow(values);
    mark();  // one record for both rows
    source.AppendRow();
    mark();
    source.SetFieldText(Field::cp, "open");
    mark();
    source.LoadRow(values);  // settles the open row first: a record of its own
    mark();
    source.EndLoad();
    mark();
    source.DeleteRow();
    mark();
  }
  const std::string bytes = Read(path);
  ASSERT_EQ(bytes.size(), states.back().first);
  fs::remove(path);

  const std::string cut = m_folder + "/session-1-1-00000001.journal";
  for (size_t length = 0; length <= bytes.size(); ++length) {
    std::ofstream(cut, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(length));
    std::string expected = Dump(ContactTable());
    for (const auto& [size, dump] : states) {
      if (size <= length) expected = dump;
    }
    ContactTable rebuilt;
    ASSERT_TRUE(RebuildFromJournal(cut, rebuilt)) << length;
    ASSERT_EQ(Dump(rebuilt), expected) << "cut at byte " << length;
    JournalRecovery recovery(m_folder);
    ASSERT_EQ(recovery.JournalCount(), 1) << length;
    ASSERT_TRUE(recovery.Notices().empty()) << length;
  }
  // A flipped bit drops the record it is in and all after it.
  std::string damaged = bytes;
  damaged[states[4].first + 10] ^= 0x20;
  std::ofstream(cut, std::ios::binary | std::ios::trunc) << damaged;
  ContactTable rebuilt;
  ASSERT_TRUE(RebuildFromJournal(cut, rebuilt));
  EXPECT_EQ(Dump(rebuilt), states[4].second);
}

uint32_t GetU32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  return v;
}

std::string U32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// A journal record around `payload`: its length, its checksum, itself.
std::string RecordBytes(const std::string& payload) {
  const std::string length = U32(static_cast<uint32_t>(payload.size()));
  return length + U32(Crc32c(Crc32c(0, length.data(), 4), payload.data(), payload.size())) + payload;
}

char Kind(TableOperation operation) { return static_cast<char>(static_cast<uint8_t>(operation) + 1); }

// An import's journal is on disk when the import ends; cut anywhere, it
// gives back the rows of its complete records: the first rows of the file.
TEST_F(JournalTest, AnImportCutShortGivesBackTheRowsOfItsCompleteRecords) {
  const std::string csv = m_root + "/large.csv";
  std::ofstream(csv, std::ios::binary) << LargeImport(20000, 2);
  ContactTable source;
  std::string path;
  {
    SessionJournal journal(source, m_folder);
    LoadCsvFile(source, csv);
    path = journal.Path();
    ContactTable rebuilt;
    ASSERT_TRUE(RebuildFromJournal(path, rebuilt));
    ASSERT_EQ(Dump(rebuilt), Dump(source)) << "without a Sync";
  }
  const std::string bytes = Read(path);
  fs::remove(path);

  // Where each record ends, and how many rows were loaded by then.
  std::vector<std::pair<size_t, int32_t>> ends;
  size_t runs = 0;
  int32_t rows = 0;
  for (size_t at = 40; at + 8 <= bytes.size();) {
    if (bytes[at + 8] == Kind(TableOperation::LoadRows)) {
      rows += static_cast<int32_t>(GetU32(bytes, at + 9));
      ++runs;
    }
    at += 8 + GetU32(bytes, at);
    ends.emplace_back(at, rows);
  }
  ASSERT_EQ(ends.back(), std::make_pair(bytes.size(), 20000));
  ASSERT_GE(runs, 3u);

  std::mt19937 random(7);
  std::vector<size_t> cuts{0, 39, 40, bytes.size()};
  for (const auto& [end, loaded] : ends) cuts.insert(cuts.end(), {end - 1, end, end + 1});
  for (int i = 0; i < 30; ++i) cuts.push_back(40 + random() % (bytes.size() - 40));
  const std::string cut = m_folder + "/session-1-1-00000001.journal";
  for (const size_t length : cuts) {
    if (length > bytes.size()) continue;
    std::ofstream(cut, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(length));
    int32_t expected = 0;
    for (const auto& [end, loaded] : ends) {
      if (end <= length) expected = loaded;
    }
    JournalRecovery recovery(m_folder);
    ASSERT_EQ(recovery.RowCount(), expected) << "cut at byte " << length;
    ContactTable back;
    recovery.AddRowsTo(back, nullptr);
    ASSERT_EQ(back.CommittedRowCount(), expected);
    for (int32_t r = 0; r < expected; ++r) {
      ASSERT_EQ(back.FieldValue(r, Field::Name), source.FieldValue(r, Field::Name)) << "row " << r;
    }
  }
}

// A journal of the version before, which told an import's rows one by one,
// is read as it is.
TEST_F(JournalTest, AJournalOfTheVersionBeforeIsRead) {
  ContactTable table;
  std::string path;
  {
    SessionJournal journal(table, m_folder);
    InsertNamed(table, "old");
    table.SettleRow();
    path = journal.Path();
  }
  std::string bytes = Read(path);
  bytes[8] = 1;
  bytes.replace(36, 4, U32(Crc32c(0, bytes.data(), 36)));
  bytes += RecordBytes(std::string(1, Kind(TableOperation::BeginLoad)));
  // Name "L", tel empty, cp "12", no other value.
  bytes += RecordBytes(std::string(1, Kind(TableOperation::LoadRow)) +
                       std::string("\x01\xff\x00\xff\xff\xff\xff\xff\x02", 9) + "L12");
  bytes += RecordBytes(std::string(1, Kind(TableOperation::EndLoad)));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

  JournalRecovery recovery(m_folder);
  EXPECT_TRUE(recovery.Notices().empty());
  ASSERT_EQ(recovery.JournalCount(), 1);
  ContactTable back;
  recovery.AddRowsTo(back, nullptr);
  EXPECT_EQ(Names(back), "old,L");
  EXPECT_EQ(back.FieldValue(1, Field::tel), "");
  EXPECT_EQ(back.FieldValue(1, Field::cp), "12");
  EXPECT_FALSE(back.FieldValue(1, Field::email));
}

TEST_F(JournalTest, AJournalOfAnUnknownFormatIsLeftAlone) {
  ContactTable table;
  std::string path;
  {
    SessionJournal journal(table, m_folder);
    InsertNamed(table, "kept");
    path = journal.Path();
  }
  std::string bytes = Read(path);
  bytes[8] = 3;  // a later version
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  std::ofstream(m_folder + "/session-9-9-00000009.journal") << "not a journal at all";

  JournalRecovery recovery(m_folder);
  EXPECT_EQ(recovery.JournalCount(), 0);
  ASSERT_EQ(recovery.Notices().size(), 2u);
  EXPECT_NE(recovery.Notices()[0].find("format que cette version de Vantrelis ne connaît pas"), std::string::npos);
  recovery.RemoveJournals();
  EXPECT_EQ(Journals().size(), 2u);
  ContactTable rebuilt;
  EXPECT_FALSE(RebuildFromJournal(path, rebuilt));
}

TEST_F(JournalTest, TwoSessionsAtOnceEachKeepTheirOwn) {
  ContactTable first;
  ContactTable second;
  auto one = std::make_unique<SessionJournal>(first, m_folder);
  auto two = std::make_unique<SessionJournal>(second, m_folder);
  ASSERT_NE(one->Path(), two->Path());
  InsertNamed(first, "one");
  InsertNamed(second, "two");
  one->Sync();
  two->Sync();
  {
    struct stat folder {};
    ASSERT_EQ(::stat(m_folder.c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    struct stat file {};
    ASSERT_EQ(::stat(one->Path().c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
  }
  // Both sessions live: neither journal is anybody's to recover.
  EXPECT_EQ(JournalRecovery(m_folder).JournalCount(), 0);

  // The first ends normally, the second does not.
  one->End();
  EXPECT_FALSE(one->Writing());
  two.reset();
  EXPECT_EQ(Journals().size(), 1u);
  JournalRecovery recovery(m_folder);
  ASSERT_EQ(recovery.JournalCount(), 1);
  EXPECT_EQ(recovery.RowCount(), 1);
  // While one recovery holds it, another session does not see it.
  EXPECT_EQ(JournalRecovery(m_folder).JournalCount(), 0);
  ContactTable back;
  recovery.AddRowsTo(back, nullptr);
  EXPECT_EQ(Names(back), "two");
}

TEST_F(JournalTest, RecoveryAddsOldestSessionFirstAsSettlingWouldAndNeverTwice) {
  // Three sessions end abnormally: pending rows with and without values.
  for (const char* names : {"A1,A2", "B1", ""}) {
    ContactTable table;
    SessionJournal journal(table, m_folder);
    std::string list = names;
    for (size_t start = 0; start < list.size();) {
      const size_t comma = std::min(list.find(',', start), list.size());
      InsertNamed(table, list.substr(start, comma - start));
      start = comma + 1;
    }
    table.InsertRow();  // blank: dropped
    if (list.empty()) table.SetFieldText(Field::Name, "C");
  }
  ASSERT_EQ(Journals().size(), 3u);

  // A session takes them over but cannot finish (a failed command keeps the
  // journals): its own journal now holds their rows.
  {
    ContactTable table;
    SessionJournal journal(table, m_folder);
    InsertNamed(table, "own");
    table.SettleRow();
    JournalRecovery recovery(m_folder);
    EXPECT_EQ(recovery.JournalCount(), 3);
    EXPECT_EQ(recovery.RowCount(), 4);
    recovery.AddRowsTo(table, &journal);
    EXPECT_EQ(Names(table), "own,A2,A1,B1,C");
    EXPECT_EQ(table.CurrentRow(), 4);
  }
  // The next recovery gives the rows back once, not twice.
  JournalRecovery recovery(m_folder);
  EXPECT_EQ(recovery.JournalCount(), 4);
  EXPECT_EQ(recovery.RowCount(), 5);
  ContactTable back;
  InsertNamed(back, "new");
  recovery.AddRowsTo(back, nullptr);
  EXPECT_EQ(Names(back), "new,own,A2,A1,B1,C");
  recovery.RemoveJournals();
  EXPECT_TRUE(Journals().empty());
}

TEST_F(JournalTest, AClearCutsTheJournalBackToItsHeader) {
  ContactTable table;
  SessionJournal journal(table, m_folder);
  journal.Sync();
  const auto header = fs::file_size(journal.Path());
  for (int i = 0; i < 100; ++i) InsertNamed(table, "row " + std::to_string(i));
  table.ClearRows();
  journal.Sync();
  EXPECT_EQ(fs::file_size(journal.Path()), header);
  InsertNamed(table, "after");
  journal.Sync();
  ContactTable rebuilt;
  ASSERT_TRUE(RebuildFromJournal(journal.Path(), rebuilt));
  EXPECT_EQ(Dump(rebuilt), Dump(table));
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenIsReportedOnceAndTheTableGoesOn) {
  // A folder that cannot be made: under a plain file.
  std::ofstream(m_root + "/file") << "x";
  std::vector<std::string> told;
  ContactTable table;
  {
    SessionJournal journal(table, m_root + "/file/vantrelis", [&](const std::string& m) { told.push_back(m); });
    EXPECT_FALSE(journal.Writing());
    InsertNamed(table, "still works");
    table.SettleRow();
  }
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("Impossible de créer le journal de session dans " + m_root + "/file/vantrelis"),
            std::string::npos);
  EXPECT_EQ(table.CommittedRowCount(), 1);

  // A disk that fills up while the session runs.
  fs::create_directories(m_root + "/small");
  const test_support::ChildResult child = RunInChild([&]() -> std::string {
    if (std::string why = test_support::MountSmallDisk(m_root + "/small", 64); !why.empty()) return why;
    int reports = 0;
    std::string message;
    ContactTable big;
    SessionJournal journal(big, m_root + "/small/vantrelis", [&](const std::string& m) {
      ++reports;
      message = m;
    });
    if (!journal.Writing()) return "journal not created";
    for (int i = 0; i < 3000; ++i) {
      InsertNamed(big, std::string(100, 'n') + std::to_string(i));
      journal.Sync();
    }
    big.SettleRow();
    return std::to_string(reports) + " " + std::to_string(big.CommittedRowCount()) + " " + message;
  });
  if (child.Skipped()) GTEST_SKIP() << child.report;
  EXPECT_TRUE(child.report.starts_with("1 3000 Impossible d'écrire le journal de session ")) << child.report;
  EXPECT_NE(child.report.find("(disque plein)"), std::string::npos) << child.report;

  // An import that fills the disk: told once, every row is in the table,
  // and what reached the journal gives back the first rows, unharmed.
  const std::string csv = m_root + "/large.csv";
  std::ofstream(csv, std::ios::binary) << LargeImport(20000, 3);
  const test_support::ChildResult import = RunInChild([&]() -> std::string {
    if (std::string why = test_support::MountSmallDisk(m_root + "/small", 512); !why.empty()) return why;
    int reports = 0;
    ContactTable big;
    std::string path;
    {
      SessionJournal journal(big, m_root + "/small/vantrelis", [&](const std::string&) { ++reports; });
      if (!journal.Writing()) return "journal not created";
      path = journal.Path();
      LoadCsvFile(big, csv);
    }
    ContactTable rebuilt;
    if (!RebuildFromJournal(path, rebuilt)) return "journal not readable";
    rebuilt.EndLoad();
    const int32_t back = rebuilt.CommittedRowCount();
    for (int32_t r = 0; r < back; ++r) {
      if (rebuilt.FieldValue(r, Field::Name) != big.FieldValue(r, Field::Name))
        return "row " + std::to_string(r) + " differs";
    }
    return std::to_string(reports) + " " + std::to_string(big.CommittedRowCount()) + " " +
           std::to_string(back > 0 && back < 20000);
  });
  if (import.Skipped()) GTEST_SKIP() << import.report;
  EXPECT_EQ(import.report, "1 20000 1");
}

TEST(JournalFolderTest, FollowsXdgStateHomeOrTheHomeFolder) {
  const char* saved = std::getenv("XDG_STATE_HOME");
  const std::string keep = saved ? saved : "";
  ::setenv("XDG_STATE_HOME", "/somewhere/state", 1);
  EXPECT_EQ(JournalFolder(), "/somewhere/state/vantrelis");
  ::setenv("XDG_STATE_HOME", "relative/state", 1);  // not absolute: ignored
  EXPECT_EQ(JournalFolder(), std::string(std::getenv("HOME")) + "/.local/state/vantrelis");
  if (saved) {
    ::setenv("XDG_STATE_HOME", keep.c_str(), 1);
  } else {
    ::unsetenv("XDG_STATE_HOME");
  }
}

}  // namespace
}  // namespace vantrelis
