#include "store/change_log_feed.h"

#include "store/stored_row.h"
#include "store/stored_row_size.h"

namespace vantrelis {

void ChangeLogFeed::AddLoadedRow(const RowArena& rows, int32_t slot) {
  if (m_log == nullptr) return;
  const uint8_t* row = rows.Row(slot);
  if (m_rows == 0 || row != m_start + m_bytes || slot != m_firstSlot + m_rows || m_bytes >= kLoadRunBytes) {
    FlushRun();
    m_keeper = rows.KeeperOf(slot);
    m_start = row;
    m_firstSlot = slot;
  }
  m_bytes += StoredRowSize(row);
  ++m_rows;
}

void ChangeLogFeed::FlushRun() noexcept {
  if (m_rows == 0) return;
  TableChange change;
  change.event = TableEvent::RowsLoaded;
  change.slot = m_firstSlot;
  change.rows = std::span<const uint8_t>(m_start, m_bytes);
  change.rowCount = m_rows;
  change.storage = std::move(m_keeper);
  m_keeper.reset();
  m_start = nullptr;
  m_bytes = 0;
  m_rows = 0;
  m_firstSlot = -1;
  if (m_log != nullptr) m_log->Record(change);
}

}  // namespace vantrelis
