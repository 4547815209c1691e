#include "app/unsaved_changes.h"

namespace vantrelis {

UnsavedChanges::UnsavedChanges(ContactTable& table) : m_table(table) { m_table.AddObserver(this); }

UnsavedChanges::~UnsavedChanges() { m_table.RemoveObserver(this); }

void UnsavedChanges::markSaved() {
  m_changed = false;
  m_newRowOpen = false;
  m_openRowTyped = false;
}

bool UnsavedChanges::changed() const { return m_changed || (m_table.HasOpenRow() && m_table.Changed()); }

int32_t UnsavedChanges::contactCount() const {
  const bool newRowWithValue = m_table.State() == TableState::Inserting && m_table.Changed();
  return m_table.CommittedRowCount() + (newRowWithValue ? 1 : 0);
}

void UnsavedChanges::RowInserted(int32_t) {
  m_newRowOpen = true;
  m_openRowTyped = false;
}

void UnsavedChanges::RowAboutToBeRemoved(int32_t row) {
  if (m_table.IsPendingRow(row)) {
    // A new row cancelled: nothing that was there is gone.
    m_newRowOpen = false;
    m_openRowTyped = false;
  } else {
    m_changed = true;
  }
}

void UnsavedChanges::RowChanged(int32_t) {
  // A value assigned to the open row; the row still open.
  if (m_table.HasOpenRow()) {
    m_openRowTyped = true;
    return;
  }
  // The open row ended: a new row committed, or an edit that got a value
  // ended (cancelled edits with a value are counted too: the table does not
  // tell them apart).
  if (m_newRowOpen || m_openRowTyped) m_changed = true;
  m_newRowOpen = false;
  m_openRowTyped = false;
}

void UnsavedChanges::ResetDone() {
  // An import, or rows emptied: a change until an export or the clear
  // command says otherwise.
  m_changed = true;
  m_newRowOpen = false;
  m_openRowTyped = false;
}

}  // namespace vantrelis
