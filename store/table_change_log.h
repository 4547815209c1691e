// What a contact table tells the log that keeps its rows (the session
// journal): every change of its committed rows by storage slot, so that the
// rows and their display order can be rebuilt from what was told, one row at
// a time, whatever else is lost.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace vantrelis {

enum class TableEvent : uint8_t {
  RowStored,       // a pending row was committed, or an edited row's new values
  RowDeleted,      // a committed row was deleted
  PendingDropped,  // the pending row went without being committed
  Cleared,         // every row was removed
  LoadBegun,       // rows stored from now on wait for LoadEnded to be placed
  RowsLoaded,      // rows a load stored one after another, in consecutive new slots
  LoadEnded,       // the display order is the storage order again
};

// Where a stored row stands in the display order, besides in front of the
// row in a given slot.
inline constexpr int32_t kAtEnd = -1;     // after the last row
inline constexpr int32_t kInPlace = -2;   // an edited row keeps its place
inline constexpr int32_t kUnplaced = -3;  // stored during a load: placed by LoadEnded

// One change. The views stay valid only during the call that tells it,
// except those of RowsLoaded, whose bytes `storage` keeps as they are for as
// long as a copy of it lives.
struct TableChange {
  TableEvent event = TableEvent::RowStored;
  // RowStored, RowDeleted: the row's slot; RowsLoaded: the first row's.
  int32_t slot = -1;
  // RowStored: the slot of the row it now stands in front of, or one of
  // kAtEnd, kInPlace, kUnplaced.
  int32_t before = kAtEnd;
  // RowStored of a row that was pending, PendingDropped: that pending row's
  // number (each pending row of a table gets the next one); 0 otherwise.
  uint32_t pendingSerial = 0;
  // RowStored: the row in stored form; RowsLoaded: `rowCount` rows back to back.
  std::span<const uint8_t> rows;
  int32_t rowCount = 0;
  // RowStored: the address of the listing the row was harvested from, or empty.
  std::string_view address;
  std::shared_ptr<const void> storage;
};

// Hears every change in the order it happened. Rows that a load stores by
// its fast path are told in runs of up to about kLoadRunBytes: a run is
// told once it is that long, when the next row does not follow it in
// storage or slot, before any other change is told, when the log changes,
// and on FlushChangeLog. Record must not throw.
class TableChangeLog {
 public:
  virtual ~TableChangeLog() = default;
  virtual void Record(const TableChange& change) noexcept = 0;
};

// About how many bytes of stored rows a RowsLoaded change holds at most (a
// run may pass it by one row).
inline constexpr size_t kLoadRunBytes = size_t{1} << 20;

}  // namespace vantrelis
