// The contact table as a Qt item model: rows are read from the table on
// demand (nothing is copied) and every change of the table arrives through
// its observer interface.
#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <functional>

#include "store/contact_table.h"

namespace vantrelis {

// The grid's columns, in the grid's order (not the table's field order).
enum class GridColumn : int { Name, email, Fax, tel, adress1, cp, adress2, Category, site, Count };

// The table field a grid column shows.
Field FieldOfColumn(GridColumn column);

class ContactGridModel : public QAbstractTableModel, public TableObserver {
  Q_OBJECT
 public:
  explicit ContactGridModel(ContactTable& table, QObject* parent = nullptr);
  ~ContactGridModel() override;

  ContactTable& table() const { return m_table; }
  // True while the table is in the middle of inserting, removing or resetting
  // rows: the view's own moves of its current row then are not the user's.
  bool tableChanging() const { return m_changing > 0; }
  // Runs `change` on the table without following it row by row, then shows
  // the table anew (for changes of many rows at once).
  void rebuildAround(const std::function<void()>& change);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // Assigns to the open row, opening the row first when none is open; false,
  // with editFailed told, when the table refuses.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // TableObserver
  void RowAboutToBeInserted(int32_t row) override;
  void RowInserted(int32_t row) override;
  void RowAboutToBeRemoved(int32_t row) override;
  void RowRemoved(int32_t row) override;
  void RowChanged(int32_t row) override;
  void CurrentRowChanged(int32_t row) override;
  void StateChanged() override;
  void AboutToReset() override;
  void ResetDone() override;
  void FlushEdit() override;

 signals:
  // The table's current row moved (-1: none).
  void tableCurrentRowChanged(int row);
  // Anything the navigator's enable rules depend on may have changed.
  void tableStateChanged();
  // A cell edit still in progress must be handed to the open row now.
  void flushEditRequested();
  // An edit failed with this message; the model shows nothing itself.
  void editFailed(const QString& message);

 private:
  void markerChanged(int row);

  ContactTable& m_table;
  QFont m_boldFont;
  int m_markedRow = -1;
  int m_changing = 0;
};

}  // namespace vantrelis
