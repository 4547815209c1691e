// The contact table: committed rows packed in a row arena by storage slot, a
// display order of slot ids, and at most one open row kept as plain strings.
#include "store/contact_table.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <unordered_map>

#include "store/change_log_feed.h"
#include "store/row_arena.h"
#include "store/stored_row_size.h"
#include "text/ascii.h"
#include "text/collation.h"

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

// Room for one more element, growing the capacity geometrically: reserving
// exactly one more each time would copy the whole vector on every row.
void ReserveOneMore(std::vector<int32_t>& v) {
  if (v.size() == v.capacity()) v.reserve(std::max<size_t>(16, v.capacity() * 2));
}

// The form in which listing addresses are compared: equal for addresses
// that differ only in letter case, as the links of a result page are.
std::string ListingKey(std::string_view address) { return NoCaseSortKey(address); }

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
  // Display position of the pending row, and its number.
  int32_t pendingPos = 0;
  uint32_t pendingSerial = 0;
  std::array<std::string, kFieldCount> openText;
  uint16_t openHasValue = 0;  // bit per field
  std::string openAddress;    // the pending row's listing, empty if none
  bool changed = false;

  bool atStart = true;
  bool atEnd = true;
  bool loading = false;
  bool flushing = false;

  // The listing addresses of committed rows by slot, and how many rows hold
  // each address (by its ListingKey). Only harvested rows have one.
  std::unordered_map<int32_t, std::string> addressBySlot;
  std::unordered_map<std::string, int32_t> listings;

  std::vector<TableObserver*> observers;
  ChangeLogFeed feed;

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
  int32_t DisplayCount() const { return CommittedCount() + (state == TableState::Inserting ? 1 : 0); }
  int32_t DisplayedCurrent() const { return state == TableState::Inserting ? pendingPos : current; }

  // Marks at-start/at-end after an operation that is not a move.
  void ResetBounds() {
    const bool empty = DisplayCount() == 0;
    atStart = empty;
    atEnd = empty;
  }

  RowValues OpenValues() const {
    RowValues values;
    for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
      if (openHasValue & (1u << f)) values[f] = openText[f];
    }
    return values;
  }

  void OpenEmpty() {
    for (std::string& text : openText) text.clear();
    openHasValue = 0;
    openAddress.clear();
    changed = false;
  }

  // Opens an empty pending row shown at `pos` (InsertRow, AppendRow) and
  // tells the observers; during a load the bounds wait for its end.
  void OpenPendingAt(int32_t pos) {
    Notify([pos](TableObserver& o) { o.RowAboutToBeInserted(pos); });
    OpenEmpty();
    pendingPos = pos;
    ++pendingSerial;
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

  void NoteAddress(int32_t slot, std::string_view address) {
    if (address.empty()) return;
    addressBySlot[slot].assign(address);
    ++listings[ListingKey(address)];
  }

  void ForgetAddress(int32_t slot) {
    const auto found = addressBySlot.find(slot);
    if (found == addressBySlot.end()) return;
    const auto listing = listings.find(ListingKey(found->second));
    if (listing != listings.end() && --listing->second <= 0) listings.erase(listing);
    addressBySlot.erase(found);
  }

  std::string_view AddressOf(int32_t slot) const {
    const auto found = addressBySlot.find(slot);
    return found == addressBySlot.end() ? std::string_view() : std::string_view(found->second);
  }

  // Tells the change log that the row in `slot` was stored.
  void TellStored(int32_t slot, int32_t before, uint32_t serial) {
    if (!feed.HasLog()) return;
    TableChange change;
    change.event = TableEvent::RowStored;
    change.slot = slot;
    change.before = before;
    change.pendingSerial = serial;
    const uint8_t* row = rows.Row(slot);
    change.rows = std::span<const uint8_t>(row, StoredRowSize(row));
    change.rowCount = 1;
    change.address = AddressOf(slot);
    feed.Tell(change);
  }

  void Tell(TableEvent event, uint32_t serial = 0, int32_t slot = -1) {
    TableChange change;
    change.event = event;
    change.pendingSerial = serial;
    change.slot = slot;
    feed.Tell(change);
  }

  // Lets the grid hand over a cell edit in progress. It may call EditRow and
  // SetFieldText; a CommitRow or SettleRow from there does nothing.
  void FlushEdit() {
    if (loading) return;
    flushing = true;
    try {
      Notify([](TableObserver& o) { o.FlushEdit(); });
    } catch (...) {
      flushing = false;
      throw;
    }
    flushing = false;
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
      PackStoredRow(OpenValues(), rows.Space());
      const int32_t slot = SlotAt(current);
      rows.Put(slot);
      EndEdit();
      TellStored(slot, kInPlace, 0);
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
    PackStoredRow(OpenValues(), rows.Space());
    const int32_t slot = TakeSlot();
    NoteAddress(slot, openAddress);
    openAddress.clear();
    state = TableState::Browsing;
    changed = false;
    if (loading) {
      TellStored(slot, kUnplaced, pendingSerial);
      return;
    }
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
    TellStored(slot, pos + 1 < CommittedCount() ? SlotAt(pos + 1) : kAtEnd, pendingSerial);
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
    openAddress.clear();
    if (!loading) ResetBounds();
    Notify([pos](TableObserver& o) { o.RowRemoved(pos); });
    const int32_t now = current;
    Notify([now](TableObserver& o) { o.CurrentRowChanged(now); });
    Notify([](TableObserver& o) { o.StateChanged(); });
    Tell(TableEvent::PendingDropped, pendingSerial);
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
  // AppendRow, SetFieldText and CommitRow would. Rows without an address
  // are told to the change log in runs; one with an address on its own.
  void CommitLoaded(std::string_view address) {
    const int32_t slot = TakeSlot();
    if (address.empty()) {
      feed.AddLoadedRow(rows, slot);
      return;
    }
    NoteAddress(slot, address);
    TellStored(slot, kUnplaced, 0);
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
  m->observers.erase(std::remove(m->observers.begin(), m->observers.end(), observer), m->observers.end());
}

void ContactTable::SetChangeLog(TableChangeLog* log) { m->feed.SetLog(log); }

void ContactTable::FlushChangeLog() { m->feed.FlushRun(); }

void ContactTable::InsertRow() {
  SettleRow();
  Impl& t = *m;
  t.OpenPendingAt(t.current < 0 ? 0 : t.current);
}

void ContactTable::AppendRow() {
  SettleRow();
  Impl& t = *m;
  t.OpenPendingAt(t.CommittedCount());
}

void ContactTable::EditRow() {
  Impl& t = *m;
  if (t.state != TableState::Browsing) return;
  if (t.CommittedCount() == 0) {
    InsertRow();
  } else {
    t.OpenFrom(t.CommittedRow(t.current));
    t.state = TableState::Editing;
    t.Notify([](TableObserver& o) { o.StateChanged(); });
  }
}

void ContactTable::SetFieldText(std::string_view fieldName, std::string_view text) {
  const std::optional<Field> field = FieldByName(fieldName);
  if (!field) throw TableError("Champ '" + std::string(fieldName) + "' non trouvé");
  SetFieldText(*field, text);
}

void ContactTable::SetFieldText(Field field, std::string_view text) {
  Impl& t = *m;
  if (t.state == TableState::Browsing) throw TableError(std::string(kNotEditing));
  const auto f = static_cast<size_t>(field);
  if (f >= static_cast<size_t>(kFieldCount)) throw TableError("Champ inconnu");
  t.openText[f].assign(CutToField(field, text));
  t.openHasValue |= static_cast<uint16_t>(1u << f);
  t.changed = true;
  const int32_t row = t.DisplayedCurrent();
  t.Notify([row](TableObserver& o) { o.RowChanged(row); });
}

void ContactTable::SetRowAddress(std::string_view address) {
  if (m->state != TableState::Inserting) throw TableError(std::string(kNotEditing));
  m->openAddress.assign(address);
}

bool ContactTable::HoldsListing(std::string_view address) const {
  if (address.empty()) return false;
  const std::string key = ListingKey(address);
  if (m->listings.count(key) > 0) return true;
  return m->state == TableState::Inserting && !m->openAddress.empty() && ListingKey(m->openAddress) == key;
}

void ContactTable::CommitRow() {
  Impl& t = *m;
  if (t.flushing) return;  // called back from FlushEdit: the outer call commits
  t.FlushEdit();
  if (t.state == TableState::Browsing) throw TableError(std::string(kNotEditing));
  t.Commit();
}

void ContactTable::CancelRow() { m->Cancel(); }

void ContactTable::SettleRow() {
  Impl& t = *m;
  if (t.flushing) return;
  t.FlushEdit();
  if (t.state == TableState::Browsing) return;
  if (t.changed) {
    t.Commit();
  } else {
    t.Cancel();
  }
}

void ContactTable::DeleteRow() {
  Impl& t = *m;
  if (t.state == TableState::Inserting) {
    CancelRow();
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
  t.ForgetAddress(slot);
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
  t.Tell(TableEvent::RowDeleted, 0, slot);
}

void ContactTable::ClearRows() {
  SettleRow();
  Impl& t = *m;
  t.Notify([](TableObserver& o) { o.AboutToReset(); });
  t.feed.FlushRun();
  t.rows.Clear();
  t.freeSlots.clear();
  t.freeSlots.shrink_to_fit();
  t.order.clear();
  t.order.shrink_to_fit();
  t.addressBySlot.clear();
  t.listings.clear();
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
  t.Tell(TableEvent::Cleared);
}

int32_t ContactTable::CommittedRowCount() const { return m->liveCount; }

void ContactTable::MoveFirst() {
  SettleRow();
  const int32_t n = m->CommittedCount();
  if (n == 0) {
    m->Move(-1, true, true);
  } else {
    m->Move(0, true, false);
  }
}

void ContactTable::MovePrior() {
  SettleRow();
  const int32_t n = m->CommittedCount();
  if (n == 0) {
    m->Move(-1, true, true);
  } else if (m->current <= 0) {
    m->Move(0, true, false);
  } else {
    m->Move(m->current - 1, false, false);
  }
}

void ContactTable::MoveNext() {
  SettleRow();
  const int32_t n = m->CommittedCount();
  if (n == 0) {
    m->Move(-1, true, true);
  } else if (m->current >= n - 1) {
    m->Move(n - 1, false, true);
  } else {
    m->Move(m->current + 1, false, false);
  }
}

void ContactTable::MoveLast() {
  SettleRow();
  const int32_t n = m->CommittedCount();
  if (n == 0) {
    m->Move(-1, true, true);
  } else {
    m->Move(n - 1, false, true);
  }
}

void ContactTable::MoveTo(int32_t row) {
  Impl& t = *m;
  if (row < 0 || row >= t.DisplayCount()) return;
  if (t.state == TableState::Inserting && row == t.pendingPos) return;  // already there
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

std::string_view ContactTable::RowAddress(int32_t row) const {
  if (IsPendingRow(row)) return m->openAddress;
  const int32_t slot = StorageSlot(row);
  return slot < 0 ? std::string_view() : m->AddressOf(slot);
}

std::optional<ContactTable::PendingRowImage> ContactTable::PendingRow() const {
  const Impl& t = *m;
  if (t.state != TableState::Inserting || !t.changed) return std::nullopt;
  PendingRowImage image;
  image.serial = t.pendingSerial;
  image.before = t.pendingPos < t.CommittedCount() ? t.SlotAt(t.pendingPos) : kAtEnd;
  image.address = t.openAddress;
  image.row.resize(static_cast<size_t>(kStoredRowMax));
  image.row.resize(PackStoredRow(t.OpenValues(), image.row.data()));
  return image;
}

void ContactTable::BeginLoad() {
  SettleRow();
  if (m->loading) return;
  m->Notify([](TableObserver& o) { o.AboutToReset(); });
  m->loading = true;
  m->Tell(TableEvent::LoadBegun);
}

void ContactTable::LoadRow(const RowValues& values, std::string_view address) {
  Impl& t = *m;
  if (!t.loading) throw TableError("LoadRow en dehors d'un chargement");
  if (t.state != TableState::Browsing) {
    // A row opened during the load: AppendRow settles it first.
    AppendRow();
    try {
      for (int32_t f = 0; f < kFieldCount; ++f) {
        if (values[static_cast<size_t>(f)])
          SetFieldText(static_cast<Field>(f), *values[static_cast<size_t>(f)]);
      }
      if (!address.empty()) SetRowAddress(address);
      CommitRow();
    } catch (...) {
      t.Cancel();
      throw;
    }
    return;
  }
  PackStoredRow(values, t.rows.Space());
  t.CommitLoaded(address);
}

uint8_t* ContactTable::LoadRowSpace() {
  if (!m->loading) throw TableError("LoadRow en dehors d'un chargement");
  return m->rows.Space();
}

void ContactTable::LoadStoredRow(std::string_view address) {
  Impl& t = *m;
  if (!t.loading) throw TableError("LoadRow en dehors d'un chargement");
  const uint8_t* row = t.rows.Space();
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (row[f] != kNoValueLength && row[f] > kFieldWidths[f]) {
      throw TableError("Longueur hors limite pour le champ " + std::string(kFields[f].name));
    }
  }
  if (t.state != TableState::Browsing) {
    // Settling the open row would reuse the space: go the general way.
    std::array<std::string, kFieldCount> texts;
    RowValues values;
    for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
      if (const auto value = StoredValue(row, static_cast<Field>(f))) values[f] = texts[f].assign(*value);
    }
    LoadRow(values, address);
    return;
  }
  t.CommitLoaded(address);
}

void ContactTable::EndLoad() {
  Impl& t = *m;
  if (!t.loading) return;
  // A row left open by a failed load is dropped.
  const bool pendingLeft = t.state == TableState::Inserting;
  t.state = TableState::Browsing;
  t.changed = false;
  t.openAddress.clear();
  if (pendingLeft) t.Tell(TableEvent::PendingDropped, t.pendingSerial);
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
  t.Tell(TableEvent::LoadEnded);
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
