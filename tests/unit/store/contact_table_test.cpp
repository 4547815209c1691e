#include "store/contact_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store/journal_replay.h"
#include "store/stored_row_size.h"
#include "table_support.h"

namespace vantrelis {
namespace {

// Commits a new row in front of the current one with the given Name.
void InsertNamed(ContactTable& t, const std::string& name) {
  t.InsertRow();
  t.SetFieldText(Field::Name, name);
  t.CommitRow();
}

void AppendNamed(ContactTable& t, const std::string& name) {
  t.AppendRow();
  t.SetFieldText(Field::Name, name);
  t.CommitRow();
}

// Names of the displayed rows, the pending one included ("-" for no value).
std::string Names(const ContactTable& t) {
  std::string out;
  for (int32_t r = 0; r < t.RowCount(); ++r) {
    if (!out.empty()) out += ',';
    out += std::string(t.FieldValue(r, Field::Name).value_or("-"));
  }
  return out;
}

std::string CurrentName(const ContactTable& t) {
  return std::string(t.FieldValue(t.CurrentRow(), Field::Name).value_or("-"));
}

// Names in storage order: slots of the displayed committed rows, sorted.
std::string StorageNames(const ContactTable& t) {
  std::vector<std::pair<int32_t, std::string>> bySlot;
  for (int32_t r = 0; r < t.RowCount(); ++r) {
    if (t.IsPendingRow(r)) continue;
    bySlot.emplace_back(t.StorageSlot(r), std::string(t.FieldValue(r, Field::Name).value_or("-")));
  }
  std::sort(bySlot.begin(), bySlot.end());
  std::string out;
  for (const auto& [slot, name] : bySlot) out += (out.empty() ? "" : ",") + name;
  return out;
}

ContactTable& FiveRows(ContactTable& t) {
  for (const char* n : {"A", "B", "C", "D", "E"}) AppendNamed(t, n);
  return t;
}

TEST(ContactFields, MetadataAndNameLookup) {
  EXPECT_EQ(FieldInfoOf(Field::adress1).width, 200);
  EXPECT_EQ(FieldInfoOf(Field::adress1).displayLabel, "Adress 1");
  EXPECT_EQ(FieldInfoOf(Field::site).displayLabel, "Web site");
  EXPECT_EQ(FieldInfoOf(Field::cp).displayWidth, 20);
  EXPECT_EQ(FieldInfoOf(Field::email).displayWidth, 50);
  EXPECT_EQ(FieldByName("fax"), Field::Fax);
  EXPECT_EQ(FieldByName("NAME"), Field::Name);
  EXPECT_EQ(FieldByName("AdReSs2"), Field::adress2);
  EXPECT_FALSE(FieldByName("Nam"));
  EXPECT_FALSE(FieldByName("adress\xc9"));  // no folding outside ASCII
}

TEST(ContactFields, StoredTextIsCutAtNulThenToWidth) {
  ContactTable t;
  t.AppendRow();
  t.SetFieldText("NAME", std::string(130, 'x'));
  t.SetFieldText("tel", "0123456789012345");
  t.SetFieldText("fax", std::string("12\0 34", 6));
  t.SetFieldText("site", "");
  t.CommitRow();
  EXPECT_EQ(t.FieldValue(0, Field::Name)->size(), 120u);
  EXPECT_EQ(*t.FieldValue(0, Field::tel), "012345678901234");
  EXPECT_EQ(*t.FieldValue(0, Field::Fax), "12");
  // An empty text is a value; a field never assigned has none.
  ASSERT_TRUE(t.FieldValue(0, Field::site));
  EXPECT_EQ(*t.FieldValue(0, Field::site), "");
  EXPECT_FALSE(t.FieldValue(0, Field::Category));
  // High bytes are kept as they are.
  t.EditRow();
  t.SetFieldText(Field::adress1, "Caf\xe9 \xff");
  t.CommitRow();
  EXPECT_EQ(*t.FieldValue(0, Field::adress1), "Caf\xe9 \xff");
}

TEST(ContactTableErrors, MessagesAndNothingChanged) {
  ContactTable t;
  try {
    t.DeleteRow();
    FAIL();
  } catch (const TableError& e) {
    EXPECT_STREQ(e.what(),
                 "KADaoTable1: Impossible d'effectuer cette opération sur un ensemble de données vide");
  }
  try {
    t.CommitRow();
    FAIL();
  } catch (const TableError& e) {
    EXPECT_STREQ(e.what(), "KADaoTable1: L'ensemble de données n'est pas en mode Edition ou Insertion");
  }
  t.InsertRow();
  try {
    t.SetFieldText("Nom", "x");
    FAIL();
  } catch (const TableError& e) {
    EXPECT_STREQ(e.what(), "KADaoTable1: Champ 'Nom' non trouvé");
  }
  EXPECT_FALSE(t.Changed());  // nothing was assigned
  t.CancelRow();
  EXPECT_THROW(t.SetFieldText(Field::Name, "x"), TableError);  // no open row
  EXPECT_EQ(t.RowCount(), 0);
}

TEST(ContactTableInsert, RowsInsertedInARowComeOutLatestFirst) {
  ContactTable t;
  t.InsertRow();
  t.SetFieldText(Field::Name, "A");
  t.InsertRow();
  t.SetFieldText(Field::Name, "B");
  t.InsertRow();
  t.SetFieldText(Field::Name, "C");
  EXPECT_EQ(Names(t), "C,B,A");
  EXPECT_EQ(t.CommittedRowCount(), 2);
  EXPECT_TRUE(t.IsPendingRow(0));
  EXPECT_EQ(t.StorageSlot(0), -1);
  t.SettleRow();
  EXPECT_EQ(t.CommittedRowCount(), 3);
  EXPECT_EQ(Names(t), "C,B,A");
  EXPECT_EQ(StorageNames(t), "A,B,C");
  EXPECT_EQ(t.CurrentRow(), 0);
}

TEST(ContactTableInsert, InFrontOfTheCurrentRowAndAppend) {
  ContactTable t;
  FiveRows(t);
  t.MoveTo(2);
  t.InsertRow();
  EXPECT_EQ(t.CurrentRow(), 2);
  EXPECT_EQ(Names(t), "A,B,-,C,D,E");
  t.SetFieldText(Field::Name, "N");
  t.CommitRow();
  EXPECT_EQ(Names(t), "A,B,N,C,D,E");
  EXPECT_EQ(t.CurrentRow(), 2);
  EXPECT_EQ(CurrentName(t), "N");
  t.AppendRow();
  EXPECT_EQ(t.CurrentRow(), 6);
  t.CommitRow();  // committed although unchanged: a row without values
  EXPECT_EQ(t.CommittedRowCount(), 7);
  EXPECT_FALSE(t.FieldValue(6, Field::Name));
}

TEST(ContactTableInsert, SettlingAnUnchangedPendingRowDropsIt) {
  ContactTable t;
  FiveRows(t);
  t.MoveTo(3);
  t.InsertRow();
  t.MoveNext();  // no assignment: the pending row is cancelled, then the move
  EXPECT_EQ(Names(t), "A,B,C,D,E");
  EXPECT_EQ(CurrentName(t), "E");

  t.MoveTo(1);
  t.InsertRow();
  t.CancelRow();
  EXPECT_EQ(CurrentName(t), "B");
  EXPECT_EQ(StorageNames(t), "A,B,C,D,E");
  t.AppendRow();
  t.CancelRow();
  EXPECT_EQ(CurrentName(t), "B");

  // An empty text is an assignment: the row is kept.
  t.InsertRow();
  t.SetFieldText(Field::email, "");
  t.MoveFirst();
  EXPECT_EQ(t.CommittedRowCount(), 6);
}

TEST(ContactTableInsert, MoveToARowPickedWhileARowIsPending) {
  ContactTable t;
  FiveRows(t);
  t.MoveTo(1);
  t.InsertRow();  // shown at 1: A,-,B,C,D,E
  t.SetFieldText(Field::Name, "N");
  t.MoveTo(4);  // the grid's row 4 is D
  EXPECT_EQ(CurrentName(t), "D");
  t.MoveTo(1);
  t.InsertRow();  // A,-,N,B,C,D,E
  t.MoveTo(4);    // C; the empty pending row goes away
  EXPECT_EQ(Names(t), "A,N,B,C,D,E");
  EXPECT_EQ(CurrentName(t), "C");
  t.MoveTo(99);  // out of range: nothing
  EXPECT_EQ(CurrentName(t), "C");
}

TEST(ContactTableDelete, PendingEditedAndCurrentRows) {
  ContactTable t;
  FiveRows(t);
  t.MoveTo(2);
  t.InsertRow();
  t.SetFieldText(Field::Name, "N");
  t.DeleteRow();  // drops only the pending row
  EXPECT_EQ(Names(t), "A,B,C,D,E");
  EXPECT_EQ(CurrentName(t), "C");

  t.DeleteRow();  // middle: the row after it becomes current
  EXPECT_EQ(Names(t), "A,B,D,E");
  EXPECT_EQ(CurrentName(t), "D");
  t.MoveLast();
  t.DeleteRow();  // last: the new last row becomes current
  EXPECT_EQ(CurrentName(t), "D");
  t.EditRow();
  t.SetFieldText(Field::Name, "changed");
  t.DeleteRow();  // an edited row is deleted with its changes
  EXPECT_EQ(Names(t), "A,B");
  EXPECT_EQ(t.State(), TableState::Browsing);
  t.DeleteRow();
  t.DeleteRow();
  EXPECT_EQ(t.CurrentRow(), -1);
  EXPECT_THROW(t.DeleteRow(), TableError);
}

TEST(ContactTableSlots, FreedSlotsAreReusedMostRecentFirst) {
  ContactTable t;
  FiveRows(t);  // slots A0 B1 C2 D3 E4
  t.MoveTo(1);
  t.DeleteRow();  // frees 1
  t.MoveTo(2);    // D
  t.DeleteRow();  // frees 3
  AppendNamed(t, "X");
  AppendNamed(t, "Y");
  AppendNamed(t, "Z");
  EXPECT_EQ(Names(t), "A,C,E,X,Y,Z");
  EXPECT_EQ(StorageNames(t), "A,Y,C,X,E,Z");
  // An edit keeps its slot.
  t.MoveTo(3);
  t.EditRow();
  t.SetFieldText(Field::Name, "X2");
  t.CommitRow();
  EXPECT_EQ(t.StorageSlot(3), 3);
  // Clearing forgets the slots.
  t.MoveTo(0);
  t.DeleteRow();
  t.InsertRow();
  t.SetFieldText(Field::Name, "pending");  // committed, then cleared with the rest
  t.ClearRows();
  EXPECT_EQ(t.RowCount(), 0);
  EXPECT_EQ(t.CommittedRowCount(), 0);
  EXPECT_EQ(t.CurrentRow(), -1);
  AppendNamed(t, "P");
  EXPECT_EQ(t.StorageSlot(0), 0);
}

TEST(ContactTableEdit, ChangedFlagCancelAndCommit) {
  ContactTable t;
  t.EditRow();  // empty table: as an insert
  EXPECT_EQ(t.State(), TableState::Inserting);
  t.SetFieldText(Field::Name, "A");
  t.CommitRow();
  t.EditRow();
  EXPECT_EQ(t.State(), TableState::Editing);
  EXPECT_FALSE(t.Changed());
  t.SetFieldText(Field::Name, "A");  // the same text still sets the flag
  EXPECT_TRUE(t.Changed());
  t.SetFieldText(Field::tel, "1");
  EXPECT_EQ(*t.FieldValue(0, Field::tel), "1");  // the open row shows its changes
  int rows = 0;
  t.ForEachCommittedRow([&](auto value) {
    ++rows;
    EXPECT_FALSE(value(Field::tel));  // exports see the stored values only
  });
  EXPECT_EQ(rows, 1);
  t.CancelRow();
  EXPECT_FALSE(t.FieldValue(0, Field::tel));
  t.EditRow();
  t.SetFieldText(Field::tel, "2");
  t.EditRow();  // already open: nothing
  EXPECT_TRUE(t.Changed());
  t.SettleRow();
  EXPECT_EQ(*t.FieldValue(0, Field::tel), "2");
  t.EditRow();
  t.SettleRow();  // unchanged edit: cancelled
  EXPECT_EQ(t.State(), TableState::Browsing);
}

TEST(ContactTableMoves, AtStartAndAtEnd) {
  ContactTable t;
  EXPECT_TRUE(t.AtStart() && t.AtEnd());
  t.MoveNext();
  EXPECT_TRUE(t.AtStart() && t.AtEnd());
  AppendNamed(t, "A");
  EXPECT_FALSE(t.AtStart() || t.AtEnd());
  t.MoveFirst();  // a single row: at its start, not yet at its end
  EXPECT_TRUE(t.AtStart());
  EXPECT_FALSE(t.AtEnd());
  t.MoveNext();  // could go no further
  EXPECT_TRUE(t.AtEnd());
  EXPECT_FALSE(t.AtStart());
  AppendNamed(t, "B");
  AppendNamed(t, "C");
  t.MoveLast();
  EXPECT_TRUE(t.AtEnd());
  EXPECT_FALSE(t.AtStart());
  t.MovePrior();
  EXPECT_FALSE(t.AtStart() || t.AtEnd());
  t.MovePrior();
  EXPECT_FALSE(t.AtStart());  // reached the first row, but moved
  t.MovePrior();
  EXPECT_TRUE(t.AtStart());
  EXPECT_EQ(CurrentName(t), "A");
  t.MoveTo(2);
  EXPECT_FALSE(t.AtStart() || t.AtEnd());
  t.ClearRows();
  EXPECT_TRUE(t.AtStart() && t.AtEnd());
}

// Walks the table as an exporter does: First, then Next until Eof.
TEST(ContactTableMoves, DataSetWalkVisitsEveryRowOnce) {
  ContactTable t;
  t.First();
  EXPECT_TRUE(t.Eof());
  FiveRows(t);
  t.InsertRow();
  t.SetFieldText(Field::Name, "P");  // pending: settled by First
  std::string seen;
  for (t.First(); !t.Eof(); t.Next()) seen += std::string(*t.FieldText(0));
  EXPECT_EQ(seen, "ABCDPE");
  EXPECT_EQ(t.FieldName(4), "Category");
  EXPECT_EQ(t.DisplayLabel(1), "Email");
}

struct Recorder : TableObserver {
  std::vector<std::string> log;
  void RowAboutToBeInserted(int32_t r) override { log.push_back("+?" + std::to_string(r)); }
  void RowInserted(int32_t r) override { log.push_back("+" + std::to_string(r)); }
  void RowAboutToBeRemoved(int32_t r) override { log.push_back("-?" + std::to_string(r)); }
  void RowRemoved(int32_t r) override { log.push_back("-" + std::to_string(r)); }
  void RowChanged(int32_t r) override { log.push_back("~" + std::to_string(r)); }
  void CurrentRowChanged(int32_t r) override { log.push_back("@" + std::to_string(r)); }
  void StateChanged() override { log.push_back("s"); }
  void AboutToReset() override { log.push_back("R?"); }
  void ResetDone() override { log.push_back("R"); }
  void FlushEdit() override { log.push_back("f"); }
  std::string Take() {
    std::string out;
    for (const auto& e : log) out += e + " ";
    log.clear();
    return out;
  }
};

TEST(ContactTableObserver, InsertCommitCancelDeleteSequences) {
  ContactTable t;
  FiveRows(t);
  t.MoveTo(2);
  Recorder rec;
  t.AddObserver(&rec);
  t.InsertRow();
  EXPECT_EQ(rec.Take(), "f +?2 +2 @2 s ");
  t.SetFieldText(Field::Name, "N");
  EXPECT_EQ(rec.Take(), "~2 ");
  t.CommitRow();
  EXPECT_EQ(rec.Take(), "f ~2 @2 s ");
  t.InsertRow();
  t.CancelRow();
  EXPECT_EQ(rec.Take(), "f +?2 +2 @2 s -?2 -2 @2 s ");
  t.DeleteRow();
  EXPECT_EQ(rec.Take(), "-?2 -2 @2 s ");
  t.ClearRows();
  EXPECT_EQ(rec.Take(), "f R? R @-1 s ");
  t.RemoveObserver(&rec);
  AppendNamed(t, "A");
  EXPECT_EQ(rec.Take(), "");
}

// The grid hands over a cell edit from FlushEdit; doing so must not recurse
// into another flush or commit twice.
TEST(ContactTableObserver, FlushEditAssignsIntoTheOpenRow) {
  struct Grid : TableObserver {
    ContactTable* table = nullptr;
    int flushes = 0;
    void FlushEdit() override {
      ++flushes;
      if (table->State() == TableState::Browsing) table->EditRow();
      table->SetFieldText(Field::cp, "1000");
      table->SettleRow();  // must not re-enter
    }
  } grid;
  grid.table = nullptr;
  ContactTable t;
  AppendNamed(t, "A");
  grid.table = &t;
  t.AddObserver(&grid);
  t.CommitRow();  // a browsing table with an edit in progress in the grid
  EXPECT_EQ(grid.flushes, 1);
  EXPECT_EQ(*t.FieldValue(0, Field::cp), "1000");
  EXPECT_EQ(t.State(), TableState::Browsing);
  t.RemoveObserver(&grid);
}

TEST(ContactTableLoad, CommittedRowsJoinTheOrderAtTheEndInSlotOrder) {
  ContactTable t;
  FiveRows(t);
  t.MoveTo(1);
  t.DeleteRow();  // frees slot 1
  t.MoveFirst();
  InsertNamed(t, "F");  // takes slot 1, shown first: F,A,C,D,E
  Recorder rec;
  t.AddObserver(&rec);
  t.MoveTo(3);
  rec.Take();
  t.BeginLoad();
  for (const char* n : {"L1", "L2"}) AppendNamed(t, n);
  EXPECT_EQ(rec.Take(), "f R? ");
  t.EndLoad();
  EXPECT_EQ(rec.Take(), "R @0 s ");
  EXPECT_EQ(Names(t), "A,F,C,D,E,L1,L2");
  EXPECT_EQ(t.CurrentRow(), 0);
  EXPECT_TRUE(t.AtStart());
  // A load that failed with a row still open drops that row.
  t.BeginLoad();
  t.AppendRow();
  t.SetFieldText(Field::Name, "half");
  t.EndLoad();
  EXPECT_EQ(t.CommittedRowCount(), 7);
  EXPECT_EQ(t.State(), TableState::Browsing);
  t.RemoveObserver(&rec);
}

// Rows stay whole while the storage reclaims the bytes of deleted rows and
// of replaced edits, and freed slots are still taken most recent first.
TEST(ContactTableStorage, RowsSurviveReclaimedStorage) {
  ContactTable t;
  const auto nameOf = [](int i) { return "row " + std::to_string(i) + std::string(100, '.'); };
  for (int i = 0; i < 40000; ++i) {
    t.AppendRow();
    t.SetFieldText(Field::Name, nameOf(i));
    t.SetFieldText(Field::cp, std::to_string(i));
    t.CommitRow();
  }
  t.MoveLast();
  for (int i = 0; i < 36000; ++i) t.DeleteRow();  // frees slots 39999 down to 4000
  t.MoveTo(7);
  for (int i = 0; i < 50000; ++i) {
    t.EditRow();
    t.SetFieldText(Field::email, std::string(60, static_cast<char>('a' + i % 26)));
    t.CommitRow();
  }
  ASSERT_EQ(t.RowCount(), 4000);
  for (int32_t r = 0; r < t.RowCount(); ++r) {
    ASSERT_EQ(*t.FieldValue(r, Field::Name), nameOf(r));
    ASSERT_EQ(*t.FieldValue(r, Field::cp), std::to_string(r));
    ASSERT_EQ(t.StorageSlot(r), r);
  }
  EXPECT_EQ(*t.FieldValue(7, Field::email), std::string(60, 'a' + 49999 % 26));
  EXPECT_FALSE(t.FieldValue(8, Field::email));
  AppendNamed(t, "X");
  AppendNamed(t, "Y");
  EXPECT_EQ(t.StorageSlot(4000), 4000);
  EXPECT_EQ(t.StorageSlot(4001), 4001);
}

// After a load the display order is the slot order; every change of order
// from there (a row inserted in front, one appended, one deleted, a slot
// taken again, another load) leaves both orders as they should be.
TEST(ContactTableLoad, OrdersAfterALoadFollowEveryChange) {
  ContactTable t;
  t.BeginLoad();
  for (const char* n : {"A", "B", "C", "D"}) {
    RowValues values;
    values[0] = n;
    t.LoadRow(values);
  }
  t.EndLoad();
  AppendNamed(t, "E");
  EXPECT_EQ(Names(t), "A,B,C,D,E");
  t.MoveTo(2);
  InsertNamed(t, "F");
  EXPECT_EQ(Names(t), "A,B,F,C,D,E");
  EXPECT_EQ(StorageNames(t), "A,B,C,D,E,F");
  t.MoveTo(1);
  t.DeleteRow();
  AppendNamed(t, "G");  // B's slot
  EXPECT_EQ(Names(t), "A,F,C,D,E,G");
  EXPECT_EQ(StorageNames(t), "A,G,C,D,E,F");
  t.MoveTo(0);
  t.DeleteRow();
  t.BeginLoad();
  t.EndLoad();  // A's slot stays free: the order skips it
  EXPECT_EQ(Names(t), "G,C,D,E,F");
  uint8_t* space = nullptr;
  t.BeginLoad();
  space = t.LoadRowSpace();
  std::memset(space, kNoValueLength, kFieldCount);
  space[0] = 1;
  space[kFieldCount] = 'H';
  t.LoadStoredRow();  // takes A's slot
  space = t.LoadRowSpace();
  std::memset(space, kNoValueLength, kFieldCount);
  space[2] = 16;  // wider than tel
  EXPECT_THROW(t.LoadStoredRow(), TableError);
  // A row opened during the load is settled first, as AppendRow would.
  space = t.LoadRowSpace();
  std::memset(space, kNoValueLength, kFieldCount);
  space[0] = 1;
  space[kFieldCount] = 'I';
  t.AppendRow();
  t.SetFieldText(Field::Name, "open");
  t.LoadStoredRow();
  t.EndLoad();
  EXPECT_EQ(Names(t), "H,G,C,D,E,F,open,I");
  EXPECT_THROW(t.LoadRowSpace(), TableError);  // outside a load
  EXPECT_THROW(t.LoadStoredRow(), TableError);
}

}  // namespace
}  // namespace vantrelis

namespace vantrelis {
namespace {

// Turns every change told into the journal record that keeps it, so that
// the records can be read back as a recovery reads them.
class RecordingLog : public TableChangeLog {
 public:
  void Record(const TableChange& change) noexcept override {
    events.push_back(change.event);
    switch (change.event) {
      case TableEvent::RowStored:
        journal::AppendRow(bytes, change.slot, change.before, change.pendingSerial, change.address,
                           change.rows);
        break;
      case TableEvent::RowDeleted:
        journal::AppendNumber(bytes, journal::RecordKind::Delete, static_cast<uint32_t>(change.slot));
        break;
      case TableEvent::PendingDropped:
        journal::AppendNumber(bytes, journal::RecordKind::DropOpen, change.pendingSerial);
        break;
      case TableEvent::Cleared: bytes.clear(); break;  // the journal is cut back
      case TableEvent::LoadBegun: journal::AppendMark(bytes, journal::RecordKind::LoadBegun); break;
      case TableEvent::RowsLoaded:
        runs.push_back(change);
        journal::AppendRowsLoadedHead(bytes, change.slot, change.rowCount, change.rows.size());
        bytes.insert(bytes.end(), change.rows.begin(), change.rows.end());
        break;
      case TableEvent::LoadEnded: journal::AppendMark(bytes, journal::RecordKind::LoadEnded); break;
    }
  }

  // Keeps the table's pending row, as a Sync of the journal does.
  void KeepPending(const ContactTable& t) {
    if (const auto pending = t.PendingRow()) {
      journal::AppendOpen(bytes, pending->serial, pending->before, pending->address, pending->row);
    }
  }

  // The rows the records give back, as a recovery gives them.
  std::string Rebuilt() const {
    JournalContents contents(true);
    for (size_t at = 0; at < bytes.size();) {
      const auto* payload = reinterpret_cast<const uint8_t*>(bytes.data() + at + journal::kFrameSize);
      const uint32_t length = journal::GetU32(reinterpret_cast<const uint8_t*>(bytes.data() + at + 4));
      EXPECT_TRUE(contents.Apply(static_cast<journal::RecordKind>(payload[0]), std::span(payload, length)));
      at += journal::kFrameSize + length;
    }
    contents.Finish();
    return test_support::Rows(contents);
  }

  JournalBytes bytes;
  std::vector<TableEvent> events;
  std::vector<TableChange> runs;
};

using test_support::FlushingGrid;

// What the table tells its log rebuilds its rows, in display order, with
// their listing addresses: inserts, appends, edits handed over by the
// grid, deletes, loads with rows opened in their middle, a clear, and a
// pending row kept whole.
TEST(ContactTableChangeLog, TheToldChangesRebuildTheRows) {
  ContactTable source;
  RecordingLog log;
  source.SetChangeLog(&log);
  FlushingGrid grid(source);
  source.AddObserver(&grid);

  InsertNamed(source, "gone");
  source.ClearRows();
  InsertNamed(source, "A");
  source.InsertRow();
  source.SetRowAddress("https://annuaire.example/fiche/b");
  source.SetFieldText(Field::Name, "B");
  source.AppendRow();
  source.SetFieldText("email", std::string("x\0y", 3));
  source.SetFieldText(Field::Category, "");
  source.MoveFirst();  // settles the appended row
  source.MoveTo(2);
  grid.pending = "021";  // an edit in progress, handed over by the next commit
  source.EditRow();
  source.CommitRow();
  source.MoveFirst();
  source.EditRow();  // the harvested row edited: it keeps its address
  source.SetFieldText(Field::cp, "1000");
  source.MoveLast();
  source.DeleteRow();
  source.InsertRow();  // blank: dropped by the load's settle
  source.BeginLoad();
  RowValues loaded;
  loaded[0] = "L";
  loaded[2] = "";
  source.LoadRow(loaded);
  source.LoadRow(loaded, "https://annuaire.example/fiche/l");
  source.AppendRow();
  source.SetFieldText(Field::Name, "opened in the load");
  source.LoadRow(loaded);
  source.EndLoad();
  source.MoveLast();
  source.InsertRow();
  source.SetFieldText(Field::Name, "P");
  source.InsertRow();
  source.SetRowAddress("https://annuaire.example/fiche/q");
  source.SetFieldText(Field::Name, "Q");
  EXPECT_THROW(source.SetFieldText("nope", "x"), TableError);  // left pending, unchanged
  log.KeepPending(source);
  source.RemoveObserver(&grid);

  source.SettleRow();
  EXPECT_EQ(log.Rebuilt(), test_support::Rows(source));
  EXPECT_NE(test_support::Rows(source).find("fiche/q"), std::string::npos);
}

// The names of the rows of a run, checked to fill the run exactly.
std::vector<std::string> RunNames(const TableChange& change) {
  std::vector<std::string> rows;
  const uint8_t* row = change.rows.data();
  const uint8_t* const end = row + change.rows.size();
  for (int32_t i = 0; i < change.rowCount && row < end; ++i) {
    rows.emplace_back(StoredValue(row, Field::Name).value_or("-"));
    row += CheckedStoredRowSize(std::span(row, end));
  }
  EXPECT_EQ(row, end);
  EXPECT_EQ(rows.size(), static_cast<size_t>(change.rowCount));
  return rows;
}

// Loaded rows reach the log in runs of rows stored one after another in
// consecutive slots, none much longer than kLoadRunBytes, each told before
// the next other change. A run keeps its bytes once the table has let go of
// them (a clear in the middle of the load, the table gone), and the records
// rebuild the rows, a delete during the load giving its slot to a row.
TEST(ContactTableChangeLog, LoadedRowsAreToldInRunsThatKeepTheirBytes) {
  auto source = std::make_unique<ContactTable>();
  RecordingLog log;
  source->SetChangeLog(&log);
  AppendNamed(*source, "before 1");
  AppendNamed(*source, "before 2");
  int32_t loaded = 0;
  std::vector<std::string> names;
  const auto load = [&](int32_t rows) {
    for (int32_t end = loaded + rows; loaded < end; ++loaded) {
      const std::string& name = names.emplace_back("row " + std::to_string(loaded) +
                                                   std::string(static_cast<size_t>(loaded % 90), 'n'));
      const std::string address(150, static_cast<char>('a' + loaded % 26));
      RowValues values;
      values[0] = name;
      values[5] = address;
      if (loaded % 3 != 0) values[2] = "";
      source->LoadRow(values);
    }
  };
  source->BeginLoad();
  load(9000);  // about 2 MB, over blocks of growing sizes
  source->MoveFirst();
  source->DeleteRow();  // the next loaded row takes its slot
  load(3000);
  source->FlushChangeLog();
  load(10);
  const std::string beforeClear = test_support::Rows(*source);
  source->ClearRows();  // settles, then lets go of every block
  load(5000);
  source->EndLoad();
  const std::string expected = test_support::Rows(*source);
  source.reset();

  std::vector<std::string> told;
  for (const TableChange& run : log.runs) {
    EXPECT_LE(run.rows.size(), kLoadRunBytes + kStoredRowMax);
    const std::vector<std::string> rows = RunNames(run);
    EXPECT_FALSE(rows.empty());
    told.insert(told.end(), rows.begin(), rows.end());
  }
  EXPECT_EQ(told, names);
  EXPECT_GE(log.runs.size(), 6u);  // cut by length, by blocks and by what came between
  // Between runs: the two rows before, the move's settle told nothing, the delete, the clear.
  std::vector<TableEvent> others;
  for (const TableEvent event : log.events) {
    if (event != TableEvent::RowsLoaded || others.empty() || others.back() != TableEvent::RowsLoaded) {
      others.push_back(event);
    }
  }
  EXPECT_EQ(others,
            (std::vector<TableEvent>{TableEvent::RowStored, TableEvent::RowStored, TableEvent::LoadBegun,
                                     TableEvent::RowsLoaded, TableEvent::RowDeleted, TableEvent::RowsLoaded,
                                     TableEvent::Cleared, TableEvent::RowsLoaded, TableEvent::LoadEnded}));
  EXPECT_FALSE(beforeClear.empty());
  EXPECT_EQ(log.Rebuilt(), expected);
}

// The address of the listing a row was harvested from: kept by the row,
// asked for ignoring letter case, given up with the row.
TEST(ContactTableListings, TheTableKnowsTheListingsItHolds) {
  ContactTable t;
  const std::string a = "https://annuaire.example/fiche/Dupont-SA";
  EXPECT_THROW(t.SetRowAddress(a), TableError);  // no pending row
  t.InsertRow();
  t.SetRowAddress(a);
  EXPECT_TRUE(t.HoldsListing(a)) << "the pending row counts";
  t.CancelRow();
  EXPECT_FALSE(t.HoldsListing(a));
  t.InsertRow();
  t.SetRowAddress(a);
  t.SetFieldText(Field::Name, "Dupont");
  t.SettleRow();
  EXPECT_TRUE(t.HoldsListing("HTTPS://annuaire.example/FICHE/dupont-sa"));
  EXPECT_FALSE(t.HoldsListing("https://annuaire.example/fiche/Dupont-SA2"));
  EXPECT_FALSE(t.HoldsListing(""));
  EXPECT_EQ(t.RowAddress(0), a);
  AppendNamed(t, "typed in the grid");
  EXPECT_EQ(t.RowAddress(1), "");
  t.MoveFirst();
  t.EditRow();
  t.SetFieldText(Field::tel, "021");
  t.CommitRow();
  EXPECT_EQ(t.RowAddress(0), a);
  t.DeleteRow();
  EXPECT_FALSE(t.HoldsListing(a)) << "deleted: harvestable again";
  t.BeginLoad();
  t.LoadRow(RowValues{}, a);
  t.EndLoad();
  EXPECT_TRUE(t.HoldsListing(a));
  t.ClearRows();
  EXPECT_FALSE(t.HoldsListing(a));
}

}  // namespace
}  // namespace vantrelis
