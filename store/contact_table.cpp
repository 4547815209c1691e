// The contact table: committed rows packed in a row arena by storage slot, a
// display order of slot ids, and at most one open row kept as plain strings.
#include "store/contact_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

#include "store/row_arena.h"
#include "text/ascii.h"

namespace vantrelis {
namespace {

constexpr std::array<FieldInfo, kFieldCount> kFields{{
    {"Name", kFieldWidths[0], "Name", 20},
    {"email", kFieldWidths[1], "Email", 50},
    {"tel", kFieldWidths[2], "Tel", 10},
    {"Fax", kFieldWidths[3], "Fax", 10},
    {"Category", kFieldWidths[4], "Category", 20},
    {"adress1", kFieldWidths[5], "Adress 1", 20},
    {"adress2", kFieldWidths[6], "Adress 2", 20},
    {"site", kFieldWidths[7], "Web site", 20},
    {"cp", kFieldWidths[8], "cp", 20},
}};
static_assert(kFieldWidths[0] + kFieldWidths[1] + kFieldWidths[2] + kFieldWidths[3] + kFieldWidths[4] +
                  kFieldWidths[5] + kFieldWidths[6] + kFieldWidths[7] + kFieldWidths[8] + kFieldCount ==
              kStoredRowMax);

constexpr std::string_view kNotEditing = "L'ensemble de données n'est pas en mode Edition ou Insertion";
constexpr std::string_view kEmptyTable =
    "Impossible d'effectuer cette opération sur un ensemble de données vide";

// The stored form of an assigned text: cut at its first NUL, then to the width.
std::string_view CutToField(Field field, std::string_view text) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const size_t width = static_cast<size_t>(kFields[static_cast<size_t>(field)].width);
  if (text.size() > width) text = text.substr(0, width);
  return text;
}

// Counts an operation under way for as long as it runs, so that only the
// outermost one reaches the change log. An outermost operation first tells
// the log of the loaded rows it has not heard of, so that the log hears
// everything in order; the fast paths of a load add to those rows instead.
template <typename TableImpl>
class OperationScope {
 public:
  explicit OperationScope(TableImpl& t, bool tellLoadedRows = true) : m_depth(t.depth) {
    if (tellLoadedRows && m_depth == 0) t.TellLoadedRun();
    ++m_depth;
  }
  ~OperationScope() { --m_depth; }
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

 private:
  int32_t& m_depth;
};

// Room for one more element, growing the capacity geometrically: reserving
// exactly one more each time would copy the whole vector on every row.
void ReserveOneMore(std::vector<int32_t>& v) {
  if (v.size() == v.capacity()) v.reserve(std::max<size_t>(16, v.capacity() * 2));
}

TableChange Change(TableOperation operation) {
  TableChange change;
  change.operation = operation;
  return change;
}

}  // namespace

const FieldInfo& FieldInfoOf(Field field) { return kFields.at(static_cast<size_t>(field)); }

std::optional<Field> FieldByName(std::string_view name) {
  for (size_t i = 0; i < kFields.size(); ++i) {
    const std::string_view candidate = kFields[i].name;
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (size_t k = 0; k < name.size() && same; ++k) {
      same = AsciiLower(candidate[k]) == AsciiLower(name[k]);
    }
    if (same) return static_cast<Field>(i);
  }
  return std::nullopt;
}

TableError::TableError(const std::string& message) : std::runtime_error("KADaoTable1: " + message) {}

struct ContactTable::Impl {
  // Committed rows by storage slot.
  RowArena rows;
  // Freed slots still free, the most recently freed last.
  std::vector<int32_t> freeSlots;
  // Display order: slot ids of the committed rows. While `inSlotOrder` is
  // set it is not held: the first `inSlotOrderCount` slots in their order,
  // as after an import (no slot is free then).
  std::vector<int32_t> order;
  bool inSlotOrder = true;
  int32_t inSlotOrderCount = 0;
  int32_t liveCount = 0;

  // Current committed row (index into order), -1 for none. While a row is
  // pending this is the row that was current when it was started.
  int32_t current = -1;

  TableState state = TableState::Browsing;
  // Display position of the pending row.
  int32_t pendingPos = 0;
  std::array<std::string, kFieldCount> openText;
  uint16_t openHasValue = 0;  // bit per field
  bool changed = false;

  bool atStart = true;
  bool atEnd = true;
  bool loading = false;
  bool flushing = false;

  std::vector<TableObserver*> observers;
  TableChangeLog* changeLog = nullptr;
  // Operations under way; only the outermost one is logged.
  int32_t depth = 0;

  // Rows of a load added one after another in the arena and not yet told
  // to the change log; `runKeeper` keeps their block.
  std::shared_ptr<const void> runKeeper;
  const uint8_t* runStart = nullptr;
  size_t runBytes = 0;
  int32_t runRows = 0;

  void Log(const TableChange& change) {
    if (changeLog != nullptr && depth == 1) changeLog->Record(change);
  }

  // Tells the change log of the loaded rows it has not heard of.
  void TellLoadedRun() {
    if (runRows == 0) return;
    TableChange change;
    change.operation = TableOperation::LoadRows;
    change.storedRows = std::span<const uint8_t>(runStart, runBytes);
    change.rowCount = runRows;
    change.storage = std::move(runKeeper);
    runKeeper.reset();
    runStart = nullptr;
    runBytes = 0;
    runRows = 0;
    if (changeLog != nullptr) changeLog->Record(change);
  }

  template <typename Call>
  void Notify(Call&& call) {
    if (loading || observers.empty()) return;
    // A copy, so that an observer may remove itself while being told.
    const std::vector<TableObserver*> copy = observers;
    for (TableObserver* o : copy) call(*o);
  }

  int32_t CommittedCount() const {
    return inSlotOrder ? inSlotOrderCount : static_cast<int32_t>(order.size());
  }
  int32_t SlotAt(int32_t index) const { return inSlotOrder ? index : order[static_cast<size_t>(index)]; }

  // Holds the display order explicitly from now on.
  void MaterializeOrder() {
    if (!inSlotOrder) return;
    std::vector<int32_t> explicitOrder(static_cast<size_t>(inSlotOrderCount));
    std::iota(explicitOrder.begin(), explicitOrder.end(), 0);
    order.swap(explicitOrder);
    inSlotOrder = false;
  }
  int32_t DisplayCount() const {
    return CommittedCount() + (state == TableState::Inserting ? 1 : 0);
  }
  int32_t DisplayedCurrent() const {
    return state == TableState::Inserting ? pendingPos : current;
  }

  // Marks at-start/at-end after an operation that is not a move.
  void ResetBounds() {
    const bool empty = DisplayCount() == 0;
    atStart = empty;
    atEnd = empty;
  }

  // Writes the open row in stored form into the arena's space.
  void Pack() {
    uint8_t* row = rows.Space();
    size_t offset = kFieldCount;
    for (int i = 0; i < kFieldCount; ++i) {
      if (openHasValue & (1u << i)) {
        const std::string& text = openText[static_cast<size_t>(i)];
        row[static_cast<size_t>(i)] = static_cast<uint8_t>(text.size());
        if (!text.empty()) std::memcpy(row + offset, text.data(), text.size());
        offset += text.size();
      } else {
        row[static_cast<size_t>(i)] = kNoValueLength;
      }
    }
  }

  void OpenEmpty() {
    for (std::string& text : openText) text.clear();
    openHasValue = 0;
    changed = false;
  }

  // Opens an empty pending row shown at `pos` (InsertRow, AppendRow) and
  // tells the observers; during a load the bounds wait for its end.
  void OpenPendingAt(int32_t pos) {
    Notify([pos](TableObserver& o) { o.RowAboutToBeInserted(pos); });
    OpenEmpty();
    pendingPos = pos;
    state = TableState::Inserting;
    if (!loading) ResetBounds();
    Notify([pos](TableObserver& o) { o.RowInserted(pos); });
    Notify([pos](TableObserver& o) { o.CurrentRowChanged(pos); });
    Notify([](TableObserver& o) { o.StateChanged(); });
  }

  void OpenFrom(const uint8_t* row) {
    openHasValue = 0;
    for (int i = 0; i < kFieldCount; ++i) {
      const auto value = StoredValue(row, static_cast<Field>(i));
      openText[static_cast<size_t>(i)].assign(value.value_or(std::string_view()));
      if (value) openHasValue |= static_cast<uint16_t>(1u << i);
    }
    changed = false;
  }

  // Puts the row written into the arena's space into the most recently
  // freed slot, or a new one after the last, and returns that slot.
  int32_t TakeSlot() {
    const int32_t slot = freeSlots.empty() ? rows.SlotCount() : freeSlots.back();
    rows.Put(slot);
    if (!freeSlots.empty()) freeSlots.pop_back();
    ++liveCount;
    return slot;
  }

  // Lets the grid hand over a cell edit in progress. It may call EditRow and
  // SetFieldText; a CommitRow or SettleRow from there does nothing.
  // What the grid does from here are operations of their own, logged
  // before the one that flushed.
  void FlushEdit() {
    if (loading) return;
    flushing = true;
    const int32_t outerDepth = depth;
    depth = 0;
    try {
      Notify([](TableObserver& o) { o.FlushEdit(); });
    } catch (...) {
      flushing = false;
      depth = outerDepth;
      throw;
    }
    flushing = false;
    depth = outerDepth;
  }

  // Ends the edit of a committed row, whether its new values were stored or
  // dropped, and tells the observers.
  void EndEdit() {
    state = TableState::Browsing;
    changed = false;
    const int32_t at = current;
    Notify([at](TableObserver& o) { o.RowChanged(at); });
    Notify([](TableObserver& o) { o.StateChanged(); });
  }

  void Commit() {
    if (state == TableState::Editing) {
      Pack();
      rows.Put(SlotAt(current));
      EndEdit();
      return;
    }
    // Pending row: room in the order first, so that a failed allocation
    // leaves the table as it was. A row added after the last one into a
    // new slot keeps the display order in slot order.
    const int32_t pos = pendingPos;
    const bool staysInSlotOrder =
        inSlotOrder && freeSlots.empty() && pos == inSlotOrderCount && rows.SlotCount() == inSlotOrderCount;
    if (!loading && !staysInSlotOrder) {
      MaterializeOrder();
      ReserveOneMore(order);
    }
    Pack();
    const int32_t slot = TakeSlot();
    state = TableState::Browsing;
    changed = false;
    if (loading) return;
    if (staysInSlotOrder) {
      ++inSlotOrderCount;
    } else {
      order.insert(order.begin() + pos, slot);
    }
    current = pos;
    ResetBounds();
    Notify([pos](TableObserver& o) { o.RowChanged(pos); });
    Notify([pos](TableObserver& o) { o.CurrentRowChanged(pos); });
    Notify([](TableObserver& o) { o.StateChanged(); });
  }

  void Cancel() {
    if (state == TableState::Editing) {
      EndEdit();
      return;
    }
    if (state != TableState::Inserting) return;
    const int32_t pos = pendingPos;
    Notify([pos](TableObserver& o) { o.RowAboutToBeRemoved(pos); });
    state = TableState::Browsing;
    changed = false;
    if (!loading) ResetBounds();
    Notify([pos](TableObserver& o) { o.RowRemoved(pos); });
    const int32_t now = current;
    Notify([now](TableObserver& o) { o.CurrentRowChanged(now); });
    Notify([](TableObserver& o) { o.StateChanged(); });
  }

  // Ends a move: the new current row and the at-start/at-end marks.
  void Move(int32_t row, bool start, bool end) {
    const bool rowChanged = row != current;
    const bool boundsChanged = start != atStart || end != atEnd;
    current = row;
    atStart = start;
    atEnd = end;
    if (rowChanged) Notify([row](TableObserver& o) { o.CurrentRowChanged(row); });
    if (boundsChanged) Notify([](TableObserver& o) { o.StateChanged(); });
  }

  const uint8_t* CommittedRow(int32_t index) const { return rows.Row(SlotAt(index)); }

  // Adds the row written into the arena's space during a load, as
  // AppendRow, SetFieldText and CommitRow would, to the rows the change
  // log is to be told of: the run goes on while rows follow one another in
  // one block.
  void CommitLoaded() {
    const int32_t slot = TakeSlot();
    if (changeLog == nullptr || depth != 1) return;
    const uint8_t* row = rows.Row(slot);
    if (row != runStart + runBytes || runBytes >= kLoadRunBytes) {
      TellLoadedRun();
      runKeeper = rows.KeeperOf(slot);
      runStart = row;
    }
    runBytes += StoredRowSize(row);
    ++runRows;
  }
};

// The size of the stored row at the start of `bytes`, 0 when it is not a
// well-formed one (too short, a length beyond its field's width, a NUL in
// its texts).
size_t CheckedStoredRowSize(std::span<const uint8_t> bytes) {
  if (bytes.size() < static_cast<size_t>(kFieldCount)) return 0;
  size_t size = kFieldCount;
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (bytes[f] == kNoValueLength) continue;
    if (bytes[f] > kFieldWidths[f]) return 0;
    size += bytes[f];
  }
  if (size > bytes.size()) return 0;
  if (std::memchr(bytes.data() + kFieldCount, 0, size - kFieldCount) != nullptr) return 0;
  return size;
}

ContactTable::ContactTable() : m(std::make_unique<Impl>()) {}
ContactTable::~ContactTable() { m->TellLoadedRun(); }

void ContactTable::AddObserver(TableObserver* observer) {
  if (observer && std::find(m->observers.begin(), m->observers.end(), observer) == m->observers.end()) {
    m->observers.push_back(observer);
  }
}

void ContactTable::RemoveObserver(TableObserver* observer) {
  m->observers.erase(std::remove(m->observers.begin(), m->observers.end(), observer),
                     m->observers.end());
}

void ContactTable::SetChangeLog(TableChangeLog* log) {
  m->TellLoadedRun();
  m->changeLog = log;
}

void ContactTable::FlushChangeLog() { m->TellLoadedRun(); }

void ContactTable::Apply(const TableChange& change) {
  switch (change.operation) {
    case TableOperation::InsertRow: return InsertRow();
    case TableOperation::AppendRow: return AppendRow();
    case TableOperation::EditRow: return EditRow();
    case TableOperation::SetFieldText: return SetFieldText(change.field, change.text);
    case TableOperation::CommitRow: return CommitRow();
    case TableOperation::CancelRow: return CancelRow();
    case TableOperation::SettleRow: return SettleRow();
    case TableOperation::DeleteRow: return DeleteRow();
    case TableOperation::ClearRows: return ClearRows();
    case TableOperation::MoveFirst: return MoveFirst();
    case TableOperation::MovePrior: return MovePrior();
    case TableOperation::MoveNext: return MoveNext();
    case TableOperation::MoveLast: return MoveLast();
    case TableOperation::MoveTo: return MoveTo(change.row);
    case TableOperation::BeginLoad: return BeginLoad();
    case TableOperation::LoadRow:
      if (change.values == nullptr) throw TableError("LoadRow sans valeurs");
      return LoadRow(*change.values);
    case TableOperation::EndLoad: return EndLoad();
    case TableOperation::LoadRows: {
      // Checked whole first, so that rows not well formed load nothing.
      std::vector<size_t> sizes;
      sizes.reserve(static_cast<size_t>(std::max(change.rowCount, 0)));
      for (size_t at = 0; at < change.storedRows.size();) {
        const size_t size = CheckedStoredRowSize(change.storedRows.subspan(at));
        if (size == 0) throw TableError("Lignes chargées mal formées");
        sizes.push_back(size);
        at += size;
      }
      if (sizes.size() != static_cast<size_t>(change.rowCount)) throw TableError("Lignes chargées mal formées");
      const uint8_t* row = change.storedRows.data();
      for (const size_t size : sizes) {
        std::memcpy(LoadRowSpace(), row, size);
        LoadStoredRow();
        row += size;
      }
      return;
    }
  }
  throw TableError("Opération inconnue");
}

void ContactTable::InsertRow() {
  OperationScope scope(*m);
  SettleRow();
  Impl& t = *m;
  t.OpenPendingAt(t.current < 0 ? 0 : t.current);
  t.Log(Change(TableOperation::InsertRow));
}

void ContactTable::AppendRow() {
  OperationScope scope(*m);
  SettleRow();
  Impl& t = *m;
  t.OpenPendingAt(t.CommittedCount());
  t.Log(Change(TableOperation::AppendRow));
}

void ContactTable::EditRow() {
  Impl& t = *m;
  OperationScope scope(t);
  if (t.state != TableState::Browsing) return;
  if (t.CommittedCount() == 0) {
    InsertRow();
  } else {
    t.OpenFrom(t.CommittedRow(t.current));
    t.state = TableState::Editing;
    t.Notify([](TableObserver& o) { o.StateChanged(); });
  }
  t.Log(Change(TableOperation::EditRow));
}

void ContactTable::SetFieldText(std::string_view fieldName, std::string_view text) {
  const std::optional<Field> field = FieldByName(fieldName);
  if (!field) throw TableError("Champ '" + std::string(fieldName) + "' non trouvé");
  SetFieldText(*field, text);
}

void ContactTable::SetFieldText(Field field, std::string_view text) {
  Impl& t = *m;
  OperationScope scope(t);
  if (t.state == TableState::Browsing) throw TableError(std::string(kNotEditing));
  const auto f = static_cast<size_t>(field);
  if (f >= static_cast<size_t>(kFieldCount)) throw TableError("Champ inconnu");
  t.openText[f].assign(CutToField(field, text));
  t.openHasValue |= static_cast<uint16_t>(1u << f);
  t.changed = true;
  const int32_t row = t.DisplayedCurrent();
  t.Notify([row](TableObserver& o) { o.RowChanged(row); });
  TableChange change = Change(TableOperation::SetFieldText);
  change.field = field;
  change.text = t.openText[f];
  t.Log(change);
}

void ContactTable::CommitRow() {
  Impl& t = *m;
  if (t.flushing) return;  // called back from FlushEdit: the outer call commits
  OperationScope scope(t);
  t.FlushEdit();
  if (t.state == TableState::Browsing) throw TableError(std::string(kNotEditing));
  t.Commit();
  t.Log(Change(TableOperation::CommitRow));
}

void ContactTable::CancelRow() {
  OperationScope scope(*m);
  m->Cancel();
  m->Log(Change(TableOperation::CancelRow));
}

void ContactTable::SettleRow() {
  Impl& t = *m;
  if (t.flushing) return;
  OperationScope scope(t);
  t.FlushEdit();
  if (t.state != TableState::Browsing) {
    if (t.changed) {
      t.Commit();
    } else {
      t.Cancel();
    }
  }
  t.Log(Change(TableOperation::SettleRow));
}

void ContactTable::DeleteRow() {
  Impl& t = *m;
  OperationScope scope(t);
  if (t.state == TableState::Inserting) {
    CancelRow();
    t.Log(Change(TableOperation::DeleteRow));
    return;
  }
  if (t.CommittedCount() == 0) throw TableError(std::string(kEmptyTable));
  const int32_t at = t.current;
  t.MaterializeOrder();
  ReserveOneMore(t.freeSlots);
  t.Notify([at](TableObserver& o) { o.RowAboutToBeRemoved(at); });
  const int32_t slot = t.order[static_cast<size_t>(at)];
  t.rows.Free(slot);
  t.freeSlots.push_back(slot);
  t.order.erase(t.order.begin() + at);
  --t.liveCount;
  t.state = TableState::Browsing;
  t.changed = false;
  const int32_t count = t.CommittedCount();
  t.current = count == 0 ? -1 : std::min(at, count - 1);
  t.ResetBounds();
  t.Notify([at](TableObserver& o) { o.RowRemoved(at); });
  const int32_t now = t.current;
  t.Notify([now](TableObserver& o) { o.CurrentRowChanged(now); });
  t.Notify([](TableObserver& o) { o.StateChanged(); });
  t.Log(Change(TableOperation::DeleteRow));
}

void ContactTable::ClearRows() {
  OperationScope scope(*m);
  SettleRow();
  Impl& t = *m;
  t.Notify([](TableObserver& o) { o.AboutToReset(); });
  t.rows.Clear();
  t.freeSlots.clear();
  t.freeSlots.shrink_to_fit();
  t.order.clear();
  t.order.shrink_to_fit();
  t.inSlotOrder = true;
  t.inSlotOrderCount = 0;
  t.liveCount = 0;
  t.current = -1;
  t.state = TableState::Browsing;
  t.changed = false;
  t.ResetBounds();
  t.Notify([](TableObserver& o) { o.ResetDone(); });
  t.Notify([](TableObserver& o) { o.CurrentRowChanged(-1); });
  t.Notify([](TableObserver& o) { o.StateChanged(); });
  t.Log(Change(TableOperation::ClearRows));
}

int32_t ContactTable::CommittedRowCount() const { return m->liveCount; }

void ContactTable::MoveFirst() {
  OperationScope scope(*m);
  SettleRow();
  const int32_t n = m->CommittedCount();
  if (n == 0) {
    m->Move(-1, true, true);
  } else {
    m->Move(0, true, false);
  }
  m->Log(Change(TableOperation::MoveFirst));
}

void ContactTable::MovePrior() {
  OperationScope scope(*m);
  SettleRow();
  const int32_t n = m->CommittedCount();
  if (n == 0) {
    m->Move(-1, true, true);
  } else if (m->current <= 0) {
    m->Move(0, true, false);
  } else {
    m->Move(m->current - 1, false, false);
  }
  m->Log(Change(TableOperation::MovePrior));
}

void ContactTable::MoveNext() {
  OperationScope scope(*m);
  SettleRow();
  const int32_t n = m->CommittedCount();
  if (n == 0) {
    m->Move(-1, true, true);
  } else if (m->current >= n - 1) {
    m->Move(n - 1, false, true);
  } else {
    m->Move(m->current + 1, false, false);
  }
  m->Log(Change(TableOperation::MoveNext));
}

void ContactTable::MoveLast() {
  OperationScope scope(*m);
  SettleRow();
  const int32_t n = m->CommittedCount();
  if (n == 0) {
    m->Move(-1, true, true);
  } else {
    m->Move(n - 1, false, true);
  }
  m->Log(Change(TableOperation::MoveLast));
}

void ContactTable::MoveTo(int32_t row) {
  Impl& t = *m;
  OperationScope scope(t);
  if (row < 0 || row >= t.DisplayCount()) return;
  if (t.state == TableState::Inserting && row == t.pendingPos) return;  // already there
  TableChange change = Change(TableOperation::MoveTo);
  change.row = row;
  // The picked row as a committed row, before the open row is settled.
  int32_t target = row;
  bool pendingBefore = false;
  if (t.state == TableState::Inserting) {
    if (row > t.pendingPos) target = row - 1;
    pendingBefore = target >= t.pendingPos;
  }
  const int32_t before = t.CommittedCount();
  SettleRow();
  // A committed pending row took its place in front of the target.
  if (pendingBefore && t.CommittedCount() > before) ++target;
  const int32_t n = t.CommittedCount();
  if (n == 0) {
    t.Move(-1, true, true);
  } else {
    t.Move(std::clamp(target, 0, n - 1), false, false);
  }
  t.Log(change);
}

bool ContactTable::AtStart() const { return m->atStart; }
bool ContactTable::AtEnd() const { return m->atEnd; }
TableState ContactTable::State() const { return m->state; }
bool ContactTable::Changed() const { return m->state != TableState::Browsing && m->changed; }
int32_t ContactTable::RowCount() const { return m->DisplayCount(); }
int32_t ContactTable::CurrentRow() const { return m->DisplayedCurrent(); }

bool ContactTable::IsPendingRow(int32_t row) const {
  return m->state == TableState::Inserting && row == m->pendingPos;
}

std::optional<std::string_view> ContactTable::FieldValue(int32_t row, Field field) const {
  const Impl& t = *m;
  const auto f = static_cast<size_t>(field);
  if (row < 0 || row >= t.DisplayCount() || f >= static_cast<size_t>(kFieldCount)) return std::nullopt;
  const bool open = (t.state == TableState::Inserting && row == t.pendingPos) ||
                    (t.state == TableState::Editing && row == t.current);
  if (open) {
    if (!(t.openHasValue & (1u << f))) return std::nullopt;
    return std::string_view(t.openText[f]);
  }
  int32_t committed = row;
  if (t.state == TableState::Inserting && row > t.pendingPos) --committed;
  return StoredValue(t.CommittedRow(committed), field);
}

int32_t ContactTable::StorageSlot(int32_t row) const {
  const Impl& t = *m;
  if (row < 0 || row >= t.DisplayCount() || IsPendingRow(row)) return -1;
  int32_t committed = row;
  if (t.state == TableState::Inserting && row > t.pendingPos) --committed;
  return t.SlotAt(committed);
}

void ContactTable::BeginLoad() {
  OperationScope scope(*m);
  SettleRow();
  if (!m->loading) {
    m->Notify([](TableObserver& o) { o.AboutToReset(); });
    m->loading = true;
  }
  m->Log(Change(TableOperation::BeginLoad));
}

void ContactTable::LoadRow(const RowValues& values) {
  Impl& t = *m;
  OperationScope scope(t, false);
  if (!t.loading) throw TableError("LoadRow en dehors d'un chargement");
  if (t.state != TableState::Browsing) {
    // A row opened during the load: AppendRow settles it first.
    if (t.depth == 1) t.TellLoadedRun();
    AppendRow();
    try {
      for (int32_t f = 0; f < kFieldCount; ++f) {
        if (values[static_cast<size_t>(f)]) SetFieldText(static_cast<Field>(f), *values[static_cast<size_t>(f)]);
      }
      CommitRow();
    } catch (...) {
      t.Cancel();
      throw;
    }
    TableChange change = Change(TableOperation::LoadRow);
    change.values = &values;
    t.Log(change);
    return;
  }
  uint8_t* row = t.rows.Space();
  size_t offset = kFieldCount;
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (!values[f]) {
      row[f] = kNoValueLength;
      continue;
    }
    const std::string_view text = CutToField(static_cast<Field>(f), *values[f]);
    row[f] = static_cast<uint8_t>(text.size());
    if (!text.empty()) std::memcpy(row + offset, text.data(), text.size());
    offset += text.size();
  }
  t.CommitLoaded();
}

uint8_t* ContactTable::LoadRowSpace() {
  if (!m->loading) throw TableError("LoadRow en dehors d'un chargement");
  return m->rows.Space();
}

void ContactTable::LoadStoredRow() {
  Impl& t = *m;
  OperationScope scope(t, false);
  if (!t.loading) throw TableError("LoadRow en dehors d'un chargement");
  const uint8_t* row = t.rows.Space();
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (row[f] != kNoValueLength && row[f] > kFieldWidths[f]) {
      throw TableError("Longueur hors limite pour le champ " + std::string(kFields[f].name));
    }
  }
  if (t.state != TableState::Browsing) {
    // Settling the open row would reuse the space: go the general way.
    if (t.depth == 1) t.TellLoadedRun();
    std::array<std::string, kFieldCount> texts;
    RowValues values;
    for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
      if (const auto value = StoredValue(row, static_cast<Field>(f))) values[f] = texts[f].assign(*value);
    }
    LoadRow(values);  // run from here, it is not told on its own
    TableChange change = Change(TableOperation::LoadRow);
    change.values = &values;
    t.Log(change);
    return;
  }
  t.CommitLoaded();
}

void ContactTable::EndLoad() {
  Impl& t = *m;
  OperationScope scope(t);
  if (!t.loading) return;
  // A row left open by a failed load is dropped.
  t.state = TableState::Browsing;
  t.changed = false;
  if (t.freeSlots.empty()) {
    // Every slot holds a row: the storage order is the display order.
    std::vector<int32_t>().swap(t.order);
    t.inSlotOrder = true;
    t.inSlotOrderCount = t.rows.SlotCount();
  } else {
    t.order.clear();
    t.order.reserve(static_cast<size_t>(t.liveCount));
    for (int32_t slot = 0; slot < t.rows.SlotCount(); ++slot) {
      if (t.rows.IsLive(slot)) t.order.push_back(slot);
    }
    t.inSlotOrder = false;
  }
  const bool empty = t.CommittedCount() == 0;
  t.current = empty ? -1 : 0;
  t.atStart = true;
  t.atEnd = empty;
  t.loading = false;
  t.Notify([](TableObserver& o) { o.ResetDone(); });
  const int32_t now = t.current;
  t.Notify([now](TableObserver& o) { o.CurrentRowChanged(now); });
  t.Notify([](TableObserver& o) { o.StateChanged(); });
  t.Log(Change(TableOperation::EndLoad));
}

std::string_view ContactTable::FieldName(int32_t index) const {
  if (index < 0 || index >= kFieldCount) return {};
  return kFields[static_cast<size_t>(index)].name;
}

std::string_view ContactTable::DisplayLabel(int32_t index) const {
  if (index < 0 || index >= kFieldCount) return {};
  return kFields[static_cast<size_t>(index)].displayLabel;
}

std::optional<std::string_view> ContactTable::FieldText(int32_t index) const {
  if (index < 0 || index >= kFieldCount) return std::nullopt;
  return FieldValue(CurrentRow(), static_cast<Field>(index));
}

int32_t ContactTable::StoredRowCount() const { return m->CommittedCount(); }

const uint8_t* ContactTable::StoredRow(int32_t index) const { return m->CommittedRow(index); }

}  // namespace vantrelis
