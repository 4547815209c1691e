// The in-memory contact table: committed rows in a display order and in
// storage slots, at most one open (pending or edited) row, a current row.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrelis {

// The nine fields in table order (also the CSV and workbook column order).
enum class Field : uint8_t { Name, email, tel, Fax, Category, adress1, adress2, site, cp };
inline constexpr int32_t kFieldCount = 9;

struct FieldInfo {
  std::string_view name;          // exact field name, e.g. "adress1"
  int32_t width;                  // maximum stored length in bytes
  std::string_view displayLabel;  // label, or the name where none is set
  int32_t displayWidth;           // in characters
};

// Metadata of one field.
const FieldInfo& FieldInfoOf(Field field);

// Maximum stored length in bytes of each field, in field order.
inline constexpr std::array<uint8_t, kFieldCount> kFieldWidths{120, 65, 15, 15, 160, 200, 30, 140, 20};

// The stored form of a committed row: kFieldCount length bytes in field
// order (kNoValueLength for a field with no value), then the texts back to
// back in field order, each already cut at NUL and to its width. At least
// kStoredRowSlack readable bytes follow every stored row, so that writers
// may read it in whole 16-byte words.
inline constexpr uint8_t kNoValueLength = 255;
inline constexpr int32_t kStoredRowMax = kFieldCount + 765;
inline constexpr int32_t kStoredRowSlack = 32;

// The value of `field` in a stored row; nullopt for no value.
inline std::optional<std::string_view> StoredValue(const uint8_t* row, Field field) {
  const auto f = static_cast<size_t>(field);
  if (row[f] == kNoValueLength) return std::nullopt;
  size_t offset = kFieldCount;
  for (size_t i = 0; i < f; ++i) {
    if (row[i] != kNoValueLength) offset += row[i];
  }
  return std::string_view(reinterpret_cast<const char*>(row + offset), row[f]);
}

// The number of text bytes in a stored row.
inline size_t StoredTextSize(const uint8_t* row) {
#if defined(__SSE2__)
  // The nine length bytes as one word (a stored row has at least nine
  // bytes and slack after it), no-value lengths and the rest zeroed, summed.
  const __m128i lengths = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
  const __m128i firstNine = _mm_set_epi8(0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i values =
      _mm_andnot_si128(_mm_cmpeq_epi8(lengths, _mm_set1_epi8(static_cast<char>(kNoValueLength))), firstNine);
  const __m128i sums = _mm_sad_epu8(_mm_and_si128(lengths, values), _mm_setzero_si128());
  return static_cast<size_t>(_mm_cvtsi128_si32(sums)) + static_cast<size_t>(_mm_extract_epi16(sums, 4));
#else
  size_t size = 0;
  for (size_t i = 0; i < static_cast<size_t>(kFieldCount); ++i) {
    if (row[i] != kNoValueLength) size += row[i];
  }
  return size;
#endif
}

// The number of bytes a stored row takes.
inline size_t StoredRowSize(const uint8_t* row) { return kFieldCount + StoredTextSize(row); }

// About how many bytes of stored rows a LoadRows change holds at most
// (a run may pass it by one row).
inline constexpr size_t kLoadRunBytes = size_t{1} << 20;

// The field whose name equals `name` ignoring ASCII case; nullopt if none.
std::optional<Field> FieldByName(std::string_view name);

// Errors raised by the table: "KADaoTable1: " followed by the message.
class TableError : public std::runtime_error {
 public:
  explicit TableError(const std::string& message);
};

enum class TableState : uint8_t { Browsing, Inserting, Editing };

// The values of one row in field order; nullopt for a field with no value.
using RowValues = std::array<std::optional<std::string_view>, kFieldCount>;

// The operations that change a table, as a change log records them.
enum class TableOperation : uint8_t {
  InsertRow,
  AppendRow,
  EditRow,
  SetFieldText,
  CommitRow,
  CancelRow,
  SettleRow,
  DeleteRow,
  ClearRows,
  MoveFirst,
  MovePrior,
  MoveNext,
  MoveLast,
  MoveTo,
  BeginLoad,
  LoadRow,
  EndLoad,
  LoadRows,
};

// One completed operation with its argument. The views stay valid only
// during the call that reports the change, except those of LoadRows, whose
// bytes `storage` keeps as they are for as long as a copy of it lives.
struct TableChange {
  TableOperation operation = TableOperation::SettleRow;
  Field field = Field::Name;          // SetFieldText
  std::string_view text;              // SetFieldText: the text as stored
  int32_t row = -1;                   // MoveTo: the displayed row picked
  const RowValues* values = nullptr;  // LoadRow: the values as given
  // LoadRows: `rowCount` rows loaded one after another, each as LoadRow
  // would, in stored form back to back.
  std::span<const uint8_t> storedRows;
  int32_t rowCount = 0;
  std::shared_ptr<const void> storage;
};

// Hears every operation that changed the table or may have, in the order
// they completed, so that applying the same changes to an empty table gives
// the same rows, orders, current row and open row. An operation run from
// inside another (the SettleRow of InsertRow) is not told on its own; those
// run by an observer's FlushEdit are, before the operation that flushed.
// An operation that threw is not told. Rows added by the fast paths of a
// load (LoadRow with no row open, LoadStoredRow) are told in runs, as
// LoadRows of up to about kLoadRunBytes: a run is told once it is that
// long, when the next row is not stored right after it, before the next
// other operation starts, when the log changes, and on FlushChangeLog.
// Record must not throw.
class TableChangeLog {
 public:
  virtual ~TableChangeLog() = default;
  virtual void Record(const TableChange& change) noexcept = 0;
};

// A generic row source for exporters that know nothing of contacts.
class DataSet {
 public:
  virtual ~DataSet() = default;
  virtual int32_t FieldCount() const = 0;
  virtual std::string_view FieldName(int32_t index) const = 0;
  // Display label, or the field name where it has none.
  virtual std::string_view DisplayLabel(int32_t index) const = 0;
  virtual bool FieldVisible(int32_t index) const = 0;
  // Settles the open row, then moves to the first row.
  virtual void First() = 0;
  // Settles, then moves to the next row (at the end: stays, AtEnd() true).
  virtual void Next() = 0;
  virtual bool Eof() const = 0;
  // The current row's value of a field; nullopt for no value.
  virtual std::optional<std::string_view> FieldText(int32_t index) const = 0;
};

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
  virtual void StateChanged() {}                       // open row, at-start/at-end
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
  // Runs the operation a change log was told of, with its argument. Throws
  // TableError for a LoadRows whose rows are not well formed (nothing is
  // loaded then), and what the operation throws.
  void Apply(const TableChange& change);

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
  // value and CommitRow would. Throws TableError outside a load.
  void LoadRow(const RowValues& values);
  // Between BeginLoad and EndLoad, for a loader that decodes straight into
  // storage: room for one row in stored form (kStoredRowMax bytes, then
  // kStoredRowSlack more that may be written over), valid until the table
  // next changes. Throws TableError outside a load, std::bad_alloc.
  uint8_t* LoadRowSpace();
  // Adds the row written into LoadRowSpace() as LoadRow would and tells the
  // change log a LoadRow with its values. Its texts must hold no NUL; throws
  // TableError outside a load or for a length beyond its field's width.
  void LoadStoredRow();
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
