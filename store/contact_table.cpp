// The contact table: compact committed rows in storage slots, a display order
// of slot ids, and at most one open row kept as plain strings.
#include "store/contact_table.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vantrelis {
namespace {

constexpr std::array<FieldInfo, kFieldCount> kFields{{
    {"Name", 120, "Name", 20},
    {"email", 65, "Email", 50},
    {"tel", 15, "Tel", 10},
    {"Fax", 15, "Fax", 10},
    {"Category", 160, "Category", 20},
    {"adress1", 200, "Adress 1", 20},
    {"adress2", 30, "Adress 2", 20},
    {"site", 140, "Web site", 20},
    {"cp", 20, "cp", 20},
}};

constexpr std::string_view kNotEditing = "L'ensemble de données n'est pas en mode Edition ou Insertion";
constexpr std::string_view kEmptyTable =
    "Impossible d'effectuer cette opération sur un ensemble de données vide";

// Length byte of a field that holds no value; every width is below it.
constexpr uint8_t kNoValue = 255;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The stored form of an assigned text: cut at its first NUL, then to the width.
std::string_view CutToField(Field field, std::string_view text) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const size_t width = static_cast<size_t>(kFields[static_cast<size_t>(field)].width);
  if (text.size() > width) text = text.substr(0, width);
  return text;
}

// One committed row: nine length bytes (kNoValue for no value), then the
// texts back to back in field order.
using RowBuffer = std::unique_ptr<uint8_t[]>;

std::optional<std::string_view> RowBufferValue(const uint8_t* row, Field field) {
  const int f = static_cast<int>(field);
  if (row[f] == kNoValue) return std::nullopt;
  size_t offset = kFieldCount;
  for (int i = 0; i < f; ++i) {
    if (row[i] != kNoValue) offset += row[i];
  }
  return std::string_view(reinterpret_cast<const char*>(row + offset), row[f]);
}

// Counts an operation under way for as long as it runs, so that only the
// outermost one reaches the change log.
class OperationScope {
 public:
  explicit OperationScope(int32_t& depth) : m_depth(depth) { ++m_depth; }
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
  // Committed rows by storage slot; a freed slot holds nullptr.
  std::vector<RowBuffer> slots;
  // Freed slots still free, the most recently freed last.
  std::vector<int32_t> freeSlots;
  // Display order: slot ids of the committed rows.
  std::vector<int32_t> order;
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

  void Log(const TableChange& change) {
    if (changeLog != nullptr && depth == 1) changeLog->Record(change);
  }

  template <typename Call>
  void Notify(Call&& call) {
    if (loading || observers.empty()) return;
    // A copy, so that an observer may remove itself while being told.
    const std::vector<TableObserver*> copy = observers;
    for (TableObserver* o : copy) call(*o);
  }

  int32_t CommittedCount() const { return static_cast<int32_t>(order.size()); }
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

  RowBuffer Pack() const {
    size_t total = kFieldCount;
    for (int i = 0; i < kFieldCount; ++i) {
      if (openHasValue & (1u << i)) total += openText[static_cast<size_t>(i)].size();
    }
    RowBuffer row(new uint8_t[total]);
    size_t offset = kFieldCount;
    for (int i = 0; i < kFieldCount; ++i) {
      if (openHasValue & (1u << i)) {
        const std::string& text = openText[static_cast<size_t>(i)];
        row[static_cast<size_t>(i)] = static_cast<uint8_t>(text.size());
        if (!text.empty()) std::memcpy(row.get() + offset, text.data(), text.size());
        offset += text.size();
      } else {
        row[static_cast<size_t>(i)] = kNoValue;
      }
    }
    return row;
  }

  void OpenEmpty() {
    for (std::string& text : openText) text.clear();
    openHasValue = 0;
    changed = false;
  }

  void OpenFrom(const uint8_t* row) {
    openHasValue = 0;
    for (int i = 0; i < kFieldCount; ++i) {
      const auto value = RowBufferValue(row, static_cast<Field>(i));
      openText[static_cast<size_t>(i)].assign(value.value_or(std::string_view()));
      if (value) openHasValue |= static_cast<uint16_t>(1u << i);
    }
    changed = false;
  }

  // Takes the most recently freed slot, or a new one after the last.
  int32_t TakeSlot(RowBuffer row) {
    if (!freeSlots.empty()) {
      const int32_t slot = freeSlots.back();
      freeSlots.pop_back();
      slots[static_cast<size_t>(slot)] = std::move(row);
      return slot;
    }
    slots.push_back(std::move(row));
    return static_cast<int32_t>(slots.size() - 1);
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

  void Commit() {
    RowBuffer row = Pack();
    if (state == TableState::Editing) {
      slots[static_cast<size_t>(order[static_cast<size_t>(current)])] = std::move(row);
      state = TableState::Browsing;
      changed = false;
      const int32_t at = current;
      Notify([at](TableObserver& o) { o.RowChanged(at); });
      Notify([](TableObserver& o) { o.StateChanged(); });
      return;
    }
    // Pending row: room in the order first, so that a failed allocation
    // leaves the table as it was.
    if (!loading) ReserveOneMore(order);
    const int32_t slot = TakeSlot(std::move(row));
    ++liveCount;
    state = TableState::Browsing;
    changed = false;
    if (loading) return;
    const int32_t pos = pendingPos;
    order.insert(order.begin() + pos, slot);
    current = pos;
    ResetBounds();
    Notify([pos](TableObserver& o) { o.RowChanged(pos); });
    Notify([pos](TableObserver& o) { o.CurrentRowChanged(pos); });
    Notify([](TableObserver& o) { o.StateChanged(); });
  }

  void Cancel() {
    if (state == TableState::Editing) {
      state = TableState::Browsing;
      changed = false;
      const int32_t at = current;
      Notify([at](TableObserver& o) { o.RowChanged(at); });
      Notify([](TableObserver& o) { o.StateChanged(); });
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

  const uint8_t* CommittedRow(int32_t index) const {
    return slots[static_cast<size_t>(order[static_cast<size_t>(index)])].get();
  }
};

ContactTable::ContactTable() : m(std::make_unique<Impl>()) {}
ContactTable::~ContactTable() = default;

void ContactTable::AddObserver(TableObserver* observer) {
  if (observer && std::find(m->observers.begin(), m->observers.end(), observer) == m->observers.end()) {
    m->observers.push_back(observer);
  }
}

void ContactTable::RemoveObserver(TableObserver* observer) {
  m->observers.erase(std::remove(m->observers.begin(), m->observers.end(), observer),
                     m->observers.end());
}

void ContactTable::SetChangeLog(TableChangeLog* log) { m->changeLog = log; }

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
  }
  throw TableError("Opération inconnue");
}

void ContactTable::InsertRow() {
  OperationScope scope(m->depth);
  SettleRow();
  Impl& t = *m;
  const int32_t pos = t.current < 0 ? 0 : t.current;
  t.Notify([pos](TableObserver& o) { o.RowAboutToBeInserted(pos); });
  t.OpenEmpty();
  t.pendingPos = pos;
  t.state = TableState::Inserting;
  t.ResetBounds();
  t.Notify([pos](TableObserver& o) { o.RowInserted(pos); });
  t.Notify([pos](TableObserver& o) { o.CurrentRowChanged(pos); });
  t.Notify([](TableObserver& o) { o.StateChanged(); });
  t.Log(Change(TableOperation::InsertRow));
}

void ContactTable::AppendRow() {
  OperationScope scope(m->depth);
  SettleRow();
  Impl& t = *m;
  const int32_t pos = t.CommittedCount();
  t.Notify([pos](TableObserver& o) { o.RowAboutToBeInserted(pos); });
  t.OpenEmpty();
  t.pendingPos = pos;
  t.state = TableState::Inserting;
  if (!t.loading) t.ResetBounds();
  t.Notify([pos](TableObserver& o) { o.RowInserted(pos); });
  t.Notify([pos](TableObserver& o) { o.CurrentRowChanged(pos); });
  t.Notify([](TableObserver& o) { o.StateChanged(); });
  t.Log(Change(TableOperation::AppendRow));
}

void ContactTable::EditRow() {
  Impl& t = *m;
  OperationScope scope(t.depth);
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
  OperationScope scope(t.depth);
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
  OperationScope scope(t.depth);
  t.FlushEdit();
  if (t.state == TableState::Browsing) throw TableError(std::string(kNotEditing));
  t.Commit();
  t.Log(Change(TableOperation::CommitRow));
}

void ContactTable::CancelRow() {
  OperationScope scope(m->depth);
  m->Cancel();
  m->Log(Change(TableOperation::CancelRow));
}

void ContactTable::SettleRow() {
  Impl& t = *m;
  if (t.flushing) return;
  OperationScope scope(t.depth);
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
  OperationScope scope(t.depth);
  if (t.state == TableState::Inserting) {
    CancelRow();
    t.Log(Change(TableOperation::DeleteRow));
    return;
  }
  if (t.CommittedCount() == 0) throw TableError(std::string(kEmptyTable));
  const int32_t at = t.current;
  t.Notify([at](TableObserver& o) { o.RowAboutToBeRemoved(at); });
  ReserveOneMore(t.freeSlots);
  const int32_t slot = t.order[static_cast<size_t>(at)];
  t.slots[static_cast<size_t>(slot)].reset();
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
  OperationScope scope(m->depth);
  SettleRow();
  Impl& t = *m;
  t.Notify([](TableObserver& o) { o.AboutToReset(); });
  t.slots.clear();
  t.slots.shrink_to_fit();
  t.freeSlots.clear();
  t.freeSlots.shrink_to_fit();
  t.order.clear();
  t.order.shrink_to_fit();
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
  OperationScope scope(m->depth);
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
  OperationScope scope(m->depth);
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
  OperationScope scope(m->depth);
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
  OperationScope scope(m->depth);
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
  OperationScope scope(t.depth);
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
  return RowBufferValue(t.CommittedRow(committed), field);
}

int32_t ContactTable::StorageSlot(int32_t row) const {
  const Impl& t = *m;
  if (row < 0 || row >= t.DisplayCount() || IsPendingRow(row)) return -1;
  int32_t committed = row;
  if (t.state == TableState::Inserting && row > t.pendingPos) --committed;
  return t.order[static_cast<size_t>(committed)];
}

void ContactTable::BeginLoad() {
  OperationScope scope(m->depth);
  SettleRow();
  if (!m->loading) {
    m->Notify([](TableObserver& o) { o.AboutToReset(); });
    m->loading = true;
  }
  m->Log(Change(TableOperation::BeginLoad));
}

void ContactTable::LoadRow(const RowValues& values) {
  Impl& t = *m;
  OperationScope scope(t.depth);
  if (!t.loading) throw TableError("LoadRow en dehors d'un chargement");
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
}

void ContactTable::EndLoad() {
  Impl& t = *m;
  OperationScope scope(t.depth);
  if (!t.loading) return;
  // A row left open by a failed load is dropped.
  t.state = TableState::Browsing;
  t.changed = false;
  t.order.clear();
  t.order.reserve(static_cast<size_t>(t.liveCount));
  for (size_t slot = 0; slot < t.slots.size(); ++slot) {
    if (t.slots[slot]) t.order.push_back(static_cast<int32_t>(slot));
  }
  t.current = t.order.empty() ? -1 : 0;
  t.atStart = true;
  t.atEnd = t.order.empty();
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

std::optional<std::string_view> ContactTable::CommittedValue(int32_t row, Field field) const {
  return RowBufferValue(m->CommittedRow(row), field);
}

int32_t ContactTable::CommittedCountInDisplay() const { return m->CommittedCount(); }

}  // namespace vantrelis
