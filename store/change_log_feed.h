// How a contact table feeds its change log: each change as it happens, and
// the rows of a load's fast path gathered into runs (see TableChangeLog).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "store/row_arena.h"
#include "store/table_change_log.h"

namespace vantrelis {

class ChangeLogFeed {
 public:
  ChangeLogFeed() = default;
  ~ChangeLogFeed() { FlushRun(); }
  ChangeLogFeed(const ChangeLogFeed&) = delete;
  ChangeLogFeed& operator=(const ChangeLogFeed&) = delete;

  // The log told from now on (nullptr: none); the run so far goes to the
  // former one first.
  void SetLog(TableChangeLog* log) {
    FlushRun();
    m_log = log;
  }
  bool HasLog() const { return m_log != nullptr; }

  // Tells `change`, after the rows of the run so far.
  void Tell(const TableChange& change) {
    if (m_log == nullptr) return;
    FlushRun();
    m_log->Record(change);
  }

  // Adds the row a load stored in `slot` of `rows`: it joins the run when it
  // follows the run's last row in memory and in slot, else a new run starts.
  void AddLoadedRow(const RowArena& rows, int32_t slot);

  // Tells the run so far, if any.
  void FlushRun() noexcept;

 private:
  TableChangeLog* m_log = nullptr;
  std::shared_ptr<const void> m_keeper;
  const uint8_t* m_start = nullptr;
  size_t m_bytes = 0;
  int32_t m_rows = 0;
  int32_t m_firstSlot = -1;
};

}  // namespace vantrelis
