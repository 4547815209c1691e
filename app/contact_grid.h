// The contact grid: a table view edited in place with the table's own
// operations, whose current row follows the table's and the other way round.
#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

#include "app/contact_grid_model.h"

namespace vantrelis {

// Cell editors limited to the field's width; remembers the open editor so
// that its text can be handed over before the row is committed.
class ContactCellDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
  // Assigns only what the user changed: an editor opened and left as it was
  // assigns nothing, so a blank new row stays blank.
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
  QWidget* openEditor() const { return m_editor.data(); }

 private:
  mutable QPointer<QWidget> m_editor;
};

class ContactGrid : public QTableView {
  Q_OBJECT
 public:
  explicit ContactGrid(ContactGridModel* model, QWidget* parent = nullptr);
  ~ContactGrid() override;

  // The open cell editor, if any.
  QWidget* openEditor() const { return m_delegate->openEditor(); }
  // Hands a cell edit in progress to the open row and closes the editor.
  void flushEdit();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  void followTable(int row);
  void onFocusChanged(QWidget* old, QWidget* now);
  bool ownsWidget(const QWidget* widget) const;
  // The commands of the Escape, Insert and Ctrl+Delete keys.
  void cancelRow();
  void insertRow();
  void deleteRowAsked();

  ContactGridModel* m_model;
  ContactTable& m_table;
  ContactCellDelegate* m_delegate;
  bool m_syncing = false;
};

}  // namespace vantrelis
