#include "store/session_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "child_process.h"
#include "store/crc32c.h"
#include "store/csv_file.h"
#include "store/file_descriptor.h"
#include "store/journal_recovery.h"
#include "store/journal_replay.h"
#include "store/stored_row_size.h"
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
    for (const auto& entry : fs::directory_iterator(m_folder, error))
      names.push_back(entry.path().filename());
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

using test_support::FlushingGrid;
using test_support::Rows;

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
           "@example.ch\";\"021 000 00 00\";;;\"Rue du Lac " + std::to_string(i % 300) +
           std::string(i % 70, 'e') + "\";\"Lausanne\";;\"" + std::to_string(1000 + i % 9000) + "\";\r\n";
  }
  return csv;
}

// What a recovery should give back of `t` as it stands: its committed rows
// in display order, an edit in progress not taken, and a pending row that
// holds values at its place (as the journal keeps it on Sync).
std::string Expected(const ContactTable& t) {
  std::string out;
  int32_t committed = 0;
  for (int32_t r = 0; r < t.RowCount(); ++r) {
    if (t.IsPendingRow(r)) {
      if (!t.Changed()) continue;
      std::string line;
      for (int32_t f = 0; f < kFieldCount; ++f) {
        const auto v = t.FieldValue(r, static_cast<Field>(f));
        line += (v ? std::string(*v) : "~") + "|";
      }
      out += line + std::string(t.RowAddress(r)) + "\n";
      continue;
    }
    const uint8_t* row = t.StoredRow(committed++);
    out += test_support::RowLine(std::span(row, StoredRowSize(row)), t.RowAddress(r));
  }
  return out;
}

std::string Rebuilt(const std::string& path) {
  ContactTable rebuilt;
  EXPECT_TRUE(RebuildFromJournal(path, rebuilt));
  return Rows(rebuilt);
}

// Random runs of what the window and the command do to a table (harvested
// rows kept whole on Sync, grid edits with a cell handed over at commit,
// moves, deletes, CSV imports small and large, clears, and loads left open
// while other operations run), journaled; at random points the journal
// gives back exactly the rows of the table, and so does a recovery once the
// session is gone.
TEST_F(JournalTest, TheJournalGivesBackTheRowsOfTheTable) {
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
    bool loading = false;
    const int steps = 20 + static_cast<int>(random() % 120);
    for (int step = 0; step < steps; ++step) {
      try {
        switch (random() % 19) {
          case 0:
          case 1:
            source.InsertRow();
            source.SetRowAddress("https://annuaire.example/fiche/" + std::to_string(random() % 50));
            source.SetFieldText(Field::Name, RandomText(random));
            source.SetFieldText(Field::cp, "1000");
            break;
          case 2: source.AppendRow(); break;
          case 3: source.SetFieldText(static_cast<Field>(random() % kFieldCount), RandomText(random)); break;
          case 4: source.EditRow(); break;
          case 5:
            grid.pending = RandomText(random);
            source.CommitRow();
            break;
          case 6: source.CancelRow(); break;
          case 7: source.DeleteRow(); break;
          case 8: source.MoveTo(static_cast<int32_t>(random() % (source.RowCount() + 2))); break;
          case 9: (random() % 2 ? source.MoveFirst() : source.MoveLast()); break;
          case 10: journal->Sync(); break;
          case 11: source.SettleRow(); break;
          case 12: {
            std::ofstream(csv, std::ios::binary)
                << "\"imp\";\"\";;\"" << RandomText(random) << "\";\r\n;;x\r\n";
            LoadCsvFile(source, csv);
            loading = false;
            break;
          }
          case 13:
            if (random() % 4 == 0) source.ClearRows();
            break;
          case 14:
            if (random() % 3 == 0) {
              source.BeginLoad();
              loading = true;
            }
            break;
          case 15: {
            RowValues values;
            std::array<std::string, kFieldCount> texts;
            for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
              if (random() % 2) values[f] = texts[f] = RandomText(random);
            }
            source.LoadRow(values, random() % 4 == 0 ? "https://annuaire.example/l" : "");
            break;
          }
          case 16:
            for (auto rows = static_cast<unsigned>(random() % 40); rows > 0; --rows) {
              PutRandomStoredRow(source, random);
              source.LoadStoredRow();
            }
            break;
          case 17:
            source.EndLoad();
            loading = false;
            break;
          case 18:
            if (random() % 6 == 0) {
              LoadCsvFile(source, large);
              loading = false;
            }
            break;
        }
      } catch (const TableError&) {
        // Refused operations change nothing.
      }
      if (!loading && random() % 16 == 0) {
        journal->Sync();
        ASSERT_EQ(Rebuilt(journal->Path()), Expected(source)) << "round " << round << " step " << step;
      }
    }
    if (loading) source.EndLoad();
    journal->Sync();
    const std::string expected = Expected(source);
    ASSERT_EQ(Rebuilt(journal->Path()), expected) << "round " << round;

    // The session ends without End, as after a crash: a recovery gives back
    // the same rows.
    journal.reset();
    source.RemoveObserver(&grid);
    JournalRecovery recovery(m_folder);
    ASSERT_EQ(recovery.JournalCount(), 1);
    EXPECT_TRUE(recovery.Notices().empty());
    ContactTable back;
    recovery.AddRowsTo(back, nullptr);
    ASSERT_EQ(Rows(back), expected) << "round " << round;
    EXPECT_EQ(recovery.RowCount(), 0) << "taken";
    EXPECT_EQ(JournalRecovery(m_folder).RowCount(), back.CommittedRowCount());
    recovery.RemoveJournals();
    ASSERT_TRUE(Journals().empty());
  }
}

// A six-listing harvest with a grid edit and a delete, durable after every
// step, cut at every length and damaged at every byte: a cut gives back the
// rows as they stood after the last whole record; a damaged byte costs the
// record it is in and no more (what the journal gives back is what it would
// without that record), is counted, and no row ever comes back in part.
TEST_F(JournalTest, CutOrDamagedAnywhereItGivesBackWholeRowsOnly) {
  ContactTable source;
  std::vector<std::pair<size_t, std::string>> states;  // size of the file, rows then
  std::set<std::string> written;                       // every row line the session ever held
  std::string path;
  {
    SessionJournal journal(source, m_folder);
    path = journal.Path();
    const auto mark = [&] {
      journal.Sync();
      const std::string rows = Expected(source);
      for (size_t at = 0; at < rows.size();) {
        const size_t end = rows.find('\n', at) + 1;
        written.insert(rows.substr(at, end - at));
        at = end;
      }
      states.emplace_back(fs::file_size(path), rows);
    };
    mark();
    for (int i = 1; i <= 6; ++i) {
      source.InsertRow();
      source.SetRowAddress("https://annuaire.example/fiche/" + std::to_string(i));
      source.SetFieldText(Field::Name, "schreinerei " + std::to_string(i));
      source.SetFieldText(Field::adress1, "dorfstrasse " + std::to_string(i));
      source.SetFieldText(Field::tel, "044 000 00 0" + std::to_string(i));
      mark();
      if (i == 3) {
        source.MoveLast();  // commits the third
        source.EditRow();
        source.SetFieldText(Field::cp, "8000");
        source.CommitRow();
        mark();
      }
      if (i == 5) {
        source.MoveFirst();
        source.DeleteRow();
        mark();
      }
    }
  }
  const std::string bytes = Read(path);
  ASSERT_EQ(bytes.size(), states.back().first);
  fs::remove(path);
  // The whole records, by where they end.
  std::vector<size_t> ends;
  for (size_t at = journal::kHeaderSize; at < bytes.size();) {
    at += journal::kFrameSize + journal::GetU32(reinterpret_cast<const uint8_t*>(bytes.data() + at + 4));
    ends.push_back(at);
  }
  ASSERT_EQ(ends.back(), bytes.size());

  const std::string cut = m_folder + "/session-1-1-00000001.journal";
  const auto read = [&](const std::string& content, JournalRead& report) {
    std::ofstream(cut, std::ios::binary | std::ios::trunc) << content;
    const FileDescriptor fd(::open(cut.c_str(), O_RDONLY));
    JournalContents contents(true);
    report = ReadJournal(fd.get(), contents);
    return Rows(contents);
  };
  JournalRead report;
  for (size_t length = journal::kHeaderSize; length <= bytes.size(); ++length) {
    std::string expected;
    for (const auto& [size, rows] : states) {
      if (size <= length) expected = rows;
    }
    ASSERT_EQ(read(bytes.substr(0, length), report), expected) << "cut at byte " << length;
    ASSERT_EQ(report.scan.damaged, 0) << length;
  }
  size_t record = 0;
  for (size_t at = journal::kHeaderSize; at < bytes.size(); ++at) {
    while (ends[record] <= at) ++record;
    const size_t begin = record == 0 ? journal::kHeaderSize : ends[record - 1];
    std::string damaged = bytes;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    const std::string rows = read(damaged, report);
    JournalRead without;
    ASSERT_EQ(rows, read(bytes.substr(0, begin) + bytes.substr(ends[record]), without))
        << "damaged at " << at;
    ASSERT_EQ(report.scan.damaged, ends[record] == bytes.size() ? 0 : 1) << "damaged at " << at;
    for (size_t line = 0; line < rows.size();) {
      const size_t end = rows.find('\n', line) + 1;
      ASSERT_TRUE(written.count(rows.substr(line, end - line)))
          << "a row never written whole, damage at " << at;
      line = end;
    }
    ASSERT_GE(std::count(rows.begin(), rows.end(), '\n') + 1,
              std::count(states.back().second.begin(), states.back().second.end(), '\n'))
        << "more than one row lost, damage at " << at;
  }

  // A recovery names the damage, takes the rows and keeps the journal aside.
  std::string damaged = bytes;
  damaged[ends[2] + 20] ^= 0x20;
  damaged[ends[9] + 3] ^= 0x01;
  std::ofstream(cut, std::ios::binary | std::ios::trunc) << damaged;
  ContactTable table;
  {
    SessionJournal journal(table, m_root + "/other");
    JournalRecovery recovery(m_folder);
    ASSERT_EQ(recovery.Notices().size(), 1u);
    EXPECT_NE(recovery.Notices()[0].find(cut + " : 2 enregistrements illisibles ignorés"), std::string::npos)
        << recovery.Notices()[0];
    recovery.AddRowsTo(table, &journal);
  }
  EXPECT_GE(table.CommittedRowCount(), 3);
  EXPECT_TRUE(Journals().empty() || Journals() == std::vector<std::string>{"damaged"});
  EXPECT_TRUE(fs::exists(JournalRecovery::DamagedFolder(m_folder) + "/session-1-1-00000001.journal"));
}

uint32_t GetU32(const std::string& bytes, size_t at) {
  return journal::GetU32(reinterpret_cast<const uint8_t*>(bytes.data() + at));
}

std::string U32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

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
    ASSERT_EQ(Rebuilt(path), Rows(source)) << "without a Sync";
  }
  const std::string bytes = Read(path);
  fs::remove(path);

  // Where each record ends, and how many rows were loaded by then.
  std::vector<std::pair<size_t, int32_t>> ends;
  size_t runs = 0;
  int32_t rows = 0;
  for (size_t at = journal::kHeaderSize; at + journal::kFrameSize <= bytes.size();) {
    if (bytes[at + journal::kFrameSize] == static_cast<char>(journal::RecordKind::RowsLoaded)) {
      rows += static_cast<int32_t>(GetU32(bytes, at + journal::kFrameSize + 5));
      ++runs;
    }
    at += journal::kFrameSize + GetU32(bytes, at + 4);
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
    std::ofstream(cut, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(length));
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

// A journal of a version before, which logged the table's operations one by
// one, is read as it is.
TEST_F(JournalTest, AJournalOfTheVersionBeforeIsRead) {
  const auto record = [](const std::string& payload) {
    const std::string length = U32(static_cast<uint32_t>(payload.size()));
    return length + U32(Crc32c(Crc32c(0, length.data(), 4), payload.data(), payload.size())) + payload;
  };
  // Its operations, numbered as it wrote them.
  const auto op = [](int number) { return std::string(1, static_cast<char>(number + 1)); };
  std::string header = "VANTJRNL" + U32(2) + U32(40) + U32(5) + U32(0) + U32(77) + U32(9) + U32(0);
  header += U32(Crc32c(0, header.data(), 36));
  std::string bytes = header;
  bytes += record(op(0));                                 // InsertRow
  bytes += record(op(3) + std::string(1, '\0') + "old");  // SetFieldText Name
  bytes += record(op(6));                                 // SettleRow
  bytes += record(op(14));                                // BeginLoad
  // LoadRow: Name "L", tel empty, cp "12", no other value.
  bytes += record(op(15) + std::string("\x01\xff\x00\xff\xff\xff\xff\xff\x02", 9) + "L12");
  bytes += record(op(16));  // EndLoad
  fs::create_directories(m_folder);
  fs::permissions(m_folder, fs::perms::owner_all);
  std::ofstream(m_folder + "/session-5-77-00000009.journal", std::ios::binary) << bytes;

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

// A later version is left alone; a damaged header or a file that is no
// journal at all is moved aside, never removed, and named.
TEST_F(JournalTest, JournalsThatCannotBeReadAreNamedAndNeverRemoved) {
  ContactTable table;
  std::string path;
  {
    SessionJournal journal(table, m_folder);
    InsertNamed(table, "kept");
    journal.Sync();
    path = journal.Path();
  }
  const std::string bytes = Read(path);
  std::string later = bytes;
  later[8] = 4;  // a later version
  std::ofstream(path, std::ios::binary | std::ios::trunc) << later;
  std::string damaged = bytes;
  damaged[20] ^= 0x10;  // in the session's start: the header's checksum fails
  std::ofstream(m_folder + "/session-2-2-00000002.journal", std::ios::binary) << damaged;
  std::ofstream(m_folder + "/session-9-9-00000009.journal") << "not a journal at all";

  JournalRecovery recovery(m_folder);
  EXPECT_EQ(recovery.JournalCount(), 0);
  ASSERT_EQ(recovery.Notices().size(), 3u);
  std::string notices;
  for (const std::string& notice : recovery.Notices()) notices += notice + "\n";
  EXPECT_NE(
      notices.find("session-2-2-00000002.journal est illisible (son en-tête est endommagé) : il a été mis de "
                   "côté dans " +
                   m_folder + "/damaged\n"),
      std::string::npos)
      << notices;
  EXPECT_NE(notices.find(path + " est dans un format que cette version de Vantrelis ne connaît pas"),
            std::string::npos)
      << notices;
  recovery.RemoveJournals();
  EXPECT_TRUE(fs::exists(path));
  EXPECT_TRUE(fs::exists(m_folder + "/damaged/session-2-2-00000002.journal"));
  EXPECT_TRUE(fs::exists(m_folder + "/damaged/session-9-9-00000009.journal"));
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
  // Two sessions recover at once: the first to take the rows has them.
  JournalRecovery recovery(m_folder);
  JournalRecovery another(m_folder);
  ASSERT_EQ(recovery.JournalCount(), 1);
  EXPECT_EQ(recovery.RowCount(), 1);
  EXPECT_EQ(another.RowCount(), 1);
  ContactTable back;
  SessionJournal backJournal(back, m_root + "/back");
  recovery.AddRowsTo(back, &backJournal);
  ContactTable late;
  SessionJournal lateJournal(late, m_root + "/late");
  another.AddRowsTo(late, &lateJournal);
  EXPECT_EQ(Names(back), "two");
  EXPECT_EQ(Names(late), "");
  EXPECT_TRUE(Journals().empty());
}

TEST_F(JournalTest, RecoveryAddsOldestSessionFirstAndNeverTwice) {
  // Three sessions end abnormally: committed rows, a blank pending row
  // (never written), a pending row kept whole on Sync.
  for (const char* names : {"A1,A2", "B1", ""}) {
    ContactTable table;
    SessionJournal journal(table, m_folder);
    std::string list = names;
    for (size_t start = 0; start < list.size();) {
      const size_t comma = std::min(list.find(',', start), list.size());
      InsertNamed(table, list.substr(start, comma - start));
      start = comma + 1;
    }
    table.InsertRow();
    if (list.empty()) table.SetFieldText(Field::Name, "C");
    journal.Sync();
  }
  std::vector<std::string> old = Journals();
  ASSERT_EQ(old.size(), 3u);
  const std::string oldest = Read(m_folder + "/" + old[0]);

  // A session takes their rows over: durable in its own journal, the old
  // journals are removed.
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
    EXPECT_EQ(Journals().size(), 1u);
  }
  // Should the oldest journal have outlived the removal (a crash right
  // after its rows were taken over), its rows still come back once.
  std::ofstream(m_folder + "/" + old[0], std::ios::binary) << oldest;
  JournalRecovery recovery(m_folder);
  EXPECT_EQ(recovery.JournalCount(), 2);
  EXPECT_EQ(recovery.RowCount(), 5);
  ContactTable back;
  InsertNamed(back, "new");
  recovery.AddRowsTo(back, nullptr);
  EXPECT_EQ(Names(back), "new,own,A2,A1,B1,C");
  EXPECT_EQ(Journals().size(), 2u) << "without a journal of its own, the old ones stay";
  recovery.RemoveJournals();
  EXPECT_TRUE(Journals().empty());
}

// Where an interrupted harvest stood comes back with its rows and their
// listing addresses, also through a clear; a harvest that came to its last
// page leaves nothing to resume.
TEST_F(JournalTest, TheHarvestsPageAndAddressesComeBack) {
  const auto harvest = [&](const std::string& page, int rows, bool clear, bool ended) {
    ContactTable table;
    SessionJournal journal(table, m_folder);
    journal.NoteResultPage(page);
    for (int i = 0; i < rows; ++i) {
      table.InsertRow();
      table.SetRowAddress(page + "/fiche/" + std::to_string(i));
      table.SetFieldText(Field::Name, page + " " + std::to_string(i));
      journal.Sync();
      if (clear && i == 0) table.ClearRows();
    }
    if (ended) journal.NoteHarvestEnded();
  };
  harvest("https://annuaire.example/p1", 3, true, false);
  harvest("https://annuaire.example/p2", 2, false, true);
  {
    ContactTable table;
    SessionJournal journal(table, m_folder);
    InsertNamed(table, "typed");
    table.SettleRow();
  }
  JournalRecovery recovery(m_folder);
  EXPECT_EQ(recovery.RowCount(), 2 + 2 + 1);
  EXPECT_EQ(recovery.ResumePage(), "https://annuaire.example/p1");
  ASSERT_TRUE(recovery.KeepOnlyResumable());
  EXPECT_EQ(recovery.RowCount(), 2);
  ContactTable back;
  recovery.AddRowsTo(back, nullptr);
  EXPECT_EQ(Rows(back),
            "https://annuaire.example/p1 2|~|~|~|~|~|~|~|~|https://annuaire.example/p1/fiche/2\n"
            "https://annuaire.example/p1 1|~|~|~|~|~|~|~|~|https://annuaire.example/p1/fiche/1\n");
  EXPECT_TRUE(back.HoldsListing("https://annuaire.example/p1/FICHE/1"));
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
  table.SettleRow();
  EXPECT_EQ(Rebuilt(journal.Path()), Rows(table));
}

// Files named like journals that are not the user's own regular files are
// passed over, named once, and never opened in a way that could hang or
// follow a link: a pipe, a link (even to a journal of the user's), a
// folder, a file of another user.
TEST_F(JournalTest, OddFilesAndOtherUsersFilesAreNamedAndNeverRead) {
  std::string real;
  {
    ContactTable table;
    SessionJournal journal(table, m_root + "/elsewhere");
    InsertNamed(table, "behind a link");
    table.SettleRow();
    real = journal.Path();
  }
  {
    ContactTable table;
    SessionJournal journal(table, m_folder);
    InsertNamed(table, "mine");
    table.SettleRow();
  }
  ASSERT_EQ(::mkfifo((m_folder + "/session-1-1-00000001.journal").c_str(), 0600), 0);
  fs::create_symlink(real, m_folder + "/session-2-2-00000002.journal");
  fs::create_directory(m_folder + "/session-3-3-00000003.journal");
  std::ofstream(m_folder + "/session-4-4-00000004.journal", std::ios::binary) << Read(real);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown((m_folder + "/session-4-4-00000004.journal").c_str(), test_support::kNobody,
                      test_support::kNoGroup),
              0);
  }

  JournalRecovery recovery(m_folder);
  EXPECT_EQ(recovery.JournalCount(), ::geteuid() == 0 ? 1 : 2);
  ContactTable back;
  recovery.AddRowsTo(back, nullptr);
  if (::geteuid() == 0) {
    EXPECT_EQ(Names(back), "mine");
    ASSERT_EQ(recovery.Notices().size(), 2u);
    EXPECT_EQ(recovery.Notices()[1], "Ces fichiers du dossier des journaux " + m_folder +
                                         " appartiennent à un autre utilisateur et sont ignorés : "
                                         "session-4-4-00000004.journal");
  }
  EXPECT_EQ(
      recovery.Notices()[0],
      "Ces fichiers du dossier des journaux " + m_folder +
          " ne sont pas des journaux ordinaires (lien, dossier, tube ou périphérique) et sont ignorés : "
          "session-1-1-00000001.journal, session-2-2-00000002.journal, session-3-3-00000003.journal");
  recovery.RemoveJournals();
  EXPECT_TRUE(fs::exists(real));
  EXPECT_TRUE(fs::is_fifo(m_folder + "/session-1-1-00000001.journal"));
}

// A journal folder that another user could write into is never used: the
// journal is not written there and nothing there is read. The user's own
// folder left open to others is made private first, and the files another
// user put there are passed over.
TEST_F(JournalTest, AFolderOthersMayWriteIsRefusedOrMadePrivate) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give folders to another user";
  const auto giveAway = [](const std::string& path, fs::perms mode) {
    fs::create_directories(path);
    fs::permissions(path, mode);
    ASSERT_EQ(::chown(path.c_str(), test_support::kNobody, test_support::kNoGroup), 0);
  };
  // A journal "nobody" planted, holding a forged row.
  std::string forged;
  {
    ContactTable table;
    SessionJournal journal(table, m_root + "/forge");
    InsertNamed(table, "forged");
    table.SettleRow();
    forged = Read(journal.Path());
  }
  const auto plant = [&](const std::string& folder) {
    const std::string path = folder + "/session-5-5-00000005.journal";
    std::ofstream(path, std::ios::binary) << forged;
    ASSERT_EQ(::chown(path.c_str(), test_support::kNobody, test_support::kNoGroup), 0);
  };

  const std::string theirs = m_root + "/theirs";
  giveAway(theirs, fs::perms::all);
  plant(theirs);
  fs::create_directories(m_root + "/state");
  const std::string linked = m_root + "/state/linked";
  fs::create_symlink(theirs, linked);
  const std::string openParent = m_root + "/open/vantrelis";
  fs::create_directories(openParent);
  fs::permissions(m_root + "/open", fs::perms::all);
  for (const std::string& folder : {theirs, linked, openParent}) {
    std::vector<std::string> told;
    ContactTable table;
    {
      SessionJournal journal(table, folder, [&](const std::string& m) { told.push_back(m); });
      EXPECT_FALSE(journal.Writing()) << folder;
      EXPECT_TRUE(journal.FolderRefused()) << folder;
      InsertNamed(table, "still works");
      journal.Sync();
    }
    ASSERT_EQ(told.size(), 1u) << folder;
    EXPECT_TRUE(
        told[0].starts_with("Vantrelis n'utilise pas le dossier des journaux " + folder + " : le dossier "))
        << told[0];
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()),
              folder == openParent ? 0 : 1);
    JournalRecovery recovery(folder);
    EXPECT_EQ(recovery.JournalCount(), 0) << folder;
    EXPECT_TRUE(recovery.Notices().empty());
  }

  // The user's own folder, left open to anyone, with a planted journal.
  fs::permissions(m_folder.substr(0, m_folder.rfind('/')), fs::perms::owner_all);
  {
    ContactTable table;
    SessionJournal journal(table, m_folder);
    InsertNamed(table, "mine");
    table.SettleRow();
  }
  fs::permissions(m_folder, fs::perms::all);
  plant(m_folder);
  JournalRecovery recovery(m_folder);
  EXPECT_EQ(fs::status(m_folder).permissions(), fs::perms::owner_all);
  ASSERT_EQ(recovery.Notices().size(), 1u);
  EXPECT_NE(recovery.Notices()[0].find("appartiennent à un autre utilisateur et sont ignorés : "
                                       "session-5-5-00000005.journal"),
            std::string::npos);
  ContactTable back;
  recovery.AddRowsTo(back, nullptr);
  EXPECT_EQ(Names(back), "mine");
}

// Thousands of interrupted sessions recover under a descriptor limit far
// below their number: no more than a few journals are open at once.
TEST_F(JournalTest, ThousandsOfJournalsRecoverUnderALowDescriptorLimit) {
  std::string bytes;
  {
    ContactTable table;
    SessionJournal journal(table, m_folder);
    InsertNamed(table, "one");
    journal.Sync();
    bytes = Read(journal.Path());
    fs::remove(journal.Path());
  }
  constexpr int kJournals = 2000;
  for (int i = 0; i < kJournals; ++i) {
    // Each its own session: another process number, the header checked again.
    std::string copy = bytes;
    copy.replace(24, 4, U32(static_cast<uint32_t>(i + 1)));
    copy.replace(36, 4, U32(Crc32c(0, copy.data(), 36)));
    char name[64];
    std::snprintf(name, sizeof name, "session-1-%d-00000001.journal", i + 1);
    std::ofstream(m_folder + "/" + name, std::ios::binary) << copy;
  }
  const test_support::ChildResult child = RunInChild([&]() -> std::string {
    const rlimit low{64, 64};
    if (::setrlimit(RLIMIT_NOFILE, &low) != 0) return "skip: no descriptor limit can be set";
    ContactTable table;
    SessionJournal journal(table, m_folder);
    JournalRecovery recovery(m_folder);
    const int32_t found = recovery.JournalCount();
    recovery.AddRowsTo(table, &journal);
    return std::to_string(found) + " " + std::to_string(table.CommittedRowCount());
  });
  if (child.Skipped()) GTEST_SKIP() << child.report;
  EXPECT_EQ(child.report, "2000 2000");
  EXPECT_EQ(Journals().size(), 1u) << "the taken journals are gone, the taker's stays";
}

// A recovery that opens a journal just before its session ends normally
// (removing it) and locks it only after, takes nothing from it.
TEST_F(JournalTest, AJournalRemovedBetweenOpenAndLockIsPassedOver) {
  ContactTable table;
  auto journal = std::make_unique<SessionJournal>(table, m_folder);
  for (int i = 0; i < 30; ++i) InsertNamed(table, "row " + std::to_string(i));
  journal->Sync();
  bool ended = false;
  JournalRecovery recovery(m_folder, [&](const std::string&) {
    if (ended) return;
    ended = true;
    journal->End();
    journal.reset();  // closed: its lock is free
  });
  EXPECT_TRUE(ended);
  EXPECT_EQ(recovery.JournalCount(), 0);
  EXPECT_EQ(recovery.RowCount(), 0);
  EXPECT_TRUE(Journals().empty());
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenIsReportedOnceAndTheTableGoesOn) {
  // A folder that cannot be made: under a plain file.
  std::ofstream(m_root + "/file") << "x";
  std::vector<std::string> told;
  ContactTable table;
  {
    SessionJournal journal(table, m_root + "/file/vantrelis",
                           [&](const std::string& m) { told.push_back(m); });
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
