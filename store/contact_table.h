// The in-memory contact table: committed rows in a display order and in
// storage slots, at most one open (pending or edited) row, a current row.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_set.h"
#include "store/stored_row.h"
#include "store/table_change_log.h"

namespace vantrelis {

struct FieldInfo {
  std::string_view name;          // exact field name, e.g. "adress1"
  int32_t width;                  // maximum stored length in bytes
  std::string_view displayLabel;  // label, or the name where none is set
  int32_t displayWidth;           // in characters
};

// Metadata of one field.
const FieldInfo& FieldInfoOf(Field field);

// The field whose name equals `name` ignoring ASCII case; nullopt if none.
std::optional<Field> FieldByName(std::string_view name);

// Errors raised by the table: "KADaoTable1: " followed by the message.
class TableError : public std::runtime_error {
 public:
  explicit TableError(const std::string& message);
};

enum class TableState : uint8_t { Browsing, Inserting, Editing };

// Follows every change of a table, for a grid; row numbers count displayed
// rows from 0 (committed rows in display order, the pending row at its place).
class TableObserver {
 public:
  virtual ~TableObserver() = default;
  virtual void RowAboutToBeInserted(int32_t /*row*/) {}
  virtual void RowInserted(int32_t /*row*/) {}
  virtual void RowAboutToBeRemoved(int32_t /*row*/) {}
  virtual void RowRemoved(int32_t /*row*/) {}
  virtual void RowChanged(int32_t /*row*/) {}
  virtual void CurrentRowChanged(int32_t /*row*/) {}  // -1: no current row
  virtual void StateChanged() {}                      // open row, at-start/at-end
  virtual void AboutToReset() {}
  virtual void ResetDone() {}
  // Called first by CommitRow and SettleRow: hand over a cell edit still in
  // progress by assigning it to the open row.
  virtual void FlushEdit() {}
};

class ContactTable : public DataSet {
 public:
  ContactTable();
  ~ContactTable() override;
  ContactTable(const ContactTable&) = delete;
  ContactTable& operator=(const ContactTable&) = delete;

  // Observers are not owned; remove them before they die.
  void AddObserver(TableObserver* observer);
  void RemoveObserver(TableObserver* observer);
  // The log told of every change from now on (not owned; nullptr: none);
  // loaded rows not yet told go to the former log first.
  void SetChangeLog(TableChangeLog* log);
  // Tells the change log now of the loaded rows it has not heard of yet.
  void FlushChangeLog();

  // Settles; starts a pending row in front of the current row.
  void InsertRow();
  // Settles; starts a pending row after the last row.
  void AppendRow();
  // Opens the current row for changes (InsertRow on an empty table; nothing
  // with a row already open).
  void EditRow();
  // Stores `text` (cut at NUL, then to the field width) into the open row.
  // Throws "Champ '%s' non trouvé" for an unknown name (ASCII case ignored).
  void SetFieldText(std::string_view fieldName, std::string_view text);
  void SetFieldText(Field field, std::string_view text);
  // Commits the open row; throws without one.
  void CommitRow();
  // Drops the pending row or the edited row's changes; nothing without one.
  void CancelRow();
  // CommitRow when the open row was changed, else CancelRow.
  void SettleRow();
  // Notes on the pending row the address (UTF-8) of the listing page it was
  // harvested from; committed, the row keeps it. The address is no field:
  // it is neither shown nor exported. Throws without a pending row.
  void SetRowAddress(std::string_view address);
  // Whether a committed row or the pending row was harvested from `address`,
  // compared as the links of a result page are: ignoring letter case.
  bool HoldsListing(std::string_view address) const;
  // Cancels a pending row, otherwise deletes the current row.
  void DeleteRow();
  // Settles, then removes every row and slot.
  void ClearRows();
  int32_t CommittedRowCount() const;

  // Moves: each settles first, then makes the row current.
  void MoveFirst();
  void MovePrior();
  void MoveNext();
  void MoveLast();
  void MoveTo(int32_t row);  // displayed row, 0-based
  bool AtStart() const;      // Bof
  bool AtEnd() const;        // Eof

  TableState State() const;
  bool HasOpenRow() const { return State() != TableState::Browsing; }
  bool Changed() const;  // the open row's changed flag

  // Displayed rows: committed rows plus the pending row, if any.
  int32_t RowCount() const;
  // The current displayed row, -1 when there is none.
  int32_t CurrentRow() const;
  bool IsPendingRow(int32_t row) const;
  // A displayed row's value (the open row shows its uncommitted values).
  std::optional<std::string_view> FieldValue(int32_t row, Field field) const;
  // Storage slot (0-based) of a committed displayed row; -1 for the pending row.
  int32_t StorageSlot(int32_t row) const;
  // The listing address a displayed row was harvested from; empty if none.
  std::string_view RowAddress(int32_t row) const;

  // The pending row as it stands, for a log that keeps it before it is
  // committed: its number, the slot of the row it stands in front of (or
  // kAtEnd), its address and its values in stored form.
  struct PendingRowImage {
    uint32_t serial = 0;
    int32_t before = kAtEnd;
    std::string address;
    std::vector<uint8_t> row;
  };
  // The pending row when one is open and was assigned a value; nullopt else.
  std::optional<PendingRowImage> PendingRow() const;

  // Committed rows, in display order, with their stored values (never the
  // open row's changes); calls fn(value-of(Field)) per row.
  template <typename Fn>
  void ForEachCommittedRow(Fn&& fn) const;

  // The number of committed rows in the display order (during a load, the
  // rows loaded so far are not in it yet).
  int32_t StoredRowCount() const;
  // The stored form of the committed row at `index` (0-based, display order,
  // the pending row not counted); valid until the table next changes.
  const uint8_t* StoredRow(int32_t index) const;

  // Bulk load: rows committed between BeginLoad and EndLoad are not placed in
  // the display order one by one; EndLoad resets the display order to the
  // storage order, makes the first row current and resets observers once.
  void BeginLoad();
  // Between BeginLoad and EndLoad: adds one committed row holding `values`
  // (each cut at NUL and to its width), as AppendRow, SetFieldText of every
  // value and CommitRow would, noting `address` on it (see SetRowAddress).
  // Throws TableError outside a load.
  void LoadRow(const RowValues& values, std::string_view address = {});
  // Between BeginLoad and EndLoad, for a loader that decodes straight into
  // storage: room for one row in stored form (kStoredRowMax bytes, then
  // kStoredRowSlack more that may be written over), valid until the table
  // next changes. Throws TableError outside a load, std::bad_alloc.
  uint8_t* LoadRowSpace();
  // Adds the row written into LoadRowSpace() as LoadRow would. Its texts
  // must hold no NUL; throws TableError outside a load or for a length
  // beyond its field's width.
  void LoadStoredRow(std::string_view address = {});
  void EndLoad();

  // DataSet
  int32_t FieldCount() const override { return kFieldCount; }
  std::string_view FieldName(int32_t index) const override;
  std::string_view DisplayLabel(int32_t index) const override;
  bool FieldVisible(int32_t index) const override { return index >= 0 && index < kFieldCount; }
  void First() override { MoveFirst(); }
  void Next() override { MoveNext(); }
  bool Eof() const override { return AtEnd(); }
  std::optional<std::string_view> FieldText(int32_t index) const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
};

template <typename Fn>
void ContactTable::ForEachCommittedRow(Fn&& fn) const {
  const int32_t n = StoredRowCount();
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t* row = StoredRow(i);
    fn([row](Field f) { return StoredValue(row, f); });
  }
}

}  // namespace vantrelis
