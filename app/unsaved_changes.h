// Whether a contact table holds work that no export has saved, so that
// closing the window can ask before that work is thrown away.
#pragma once

#include <cstdint>

#include "store/contact_table.h"

namespace vantrelis {

// Follows a table from its creation or its last save: a row committed,
// edited or deleted, an import or a recovery is a change; a new row opened
// and cancelled is none. The journal keeps the table for a crash; this
// keeps it from a closing by mistake.
class UnsavedChanges : public TableObserver {
 public:
  // Observes `table`, which must outlive this object, as saved.
  explicit UnsavedChanges(ContactTable& table);
  ~UnsavedChanges() override;
  UnsavedChanges(const UnsavedChanges&) = delete;
  UnsavedChanges& operator=(const UnsavedChanges&) = delete;

  // The table as it stands is saved: an export of it succeeded, or it was
  // emptied on purpose.
  void markSaved();

  // True when something changed since the last save, the open row's
  // changes not yet committed included.
  bool changed() const;
  // The contacts an export would write now: the committed rows, and an open
  // new row that holds a value.
  int32_t contactCount() const;

  // TableObserver
  void RowInserted(int32_t row) override;
  void RowAboutToBeRemoved(int32_t row) override;
  void RowChanged(int32_t row) override;
  void ResetDone() override;

 private:
  ContactTable& m_table;
  bool m_changed = false;
  bool m_newRowOpen = false;    // a pending row, not a change until committed
  bool m_openRowTyped = false;  // the open row got a value since it opened
};

}  // namespace vantrelis
