#include "app/contact_grid_model.h"

#include <QBrush>
#include <QColor>

#include "app/application.h"
#include "browser/qt_text.h"

namespace vantrelis {
namespace {

constexpr int kColumnCount = static_cast<int>(GridColumn::Count);

// Columns with a title of their own; the others show the field's label.
const char* OwnTitle(GridColumn column) {
  switch (column) {
    case GridColumn::Name: return "Raison Sociale";
    case GridColumn::adress1: return "Adresse 1";
    case GridColumn::adress2: return "Adresse 2";
    case GridColumn::Category: return "Catégorie";
    default: return nullptr;
  }
}

}  // namespace

Field FieldOfColumn(GridColumn column) {
  switch (column) {
    case GridColumn::Name: return Field::Name;
    case GridColumn::email: return Field::email;
    case GridColumn::Fax: return Field::Fax;
    case GridColumn::tel: return Field::tel;
    case GridColumn::adress1: return Field::adress1;
    case GridColumn::cp: return Field::cp;
    case GridColumn::adress2: return Field::adress2;
    case GridColumn::Category: return Field::Category;
    case GridColumn::site: return Field::site;
    case GridColumn::Count: break;
  }
  return Field::Name;
}

ContactGridModel::ContactGridModel(ContactTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {
  m_boldFont.setBold(true);
  m_markedRow = m_table.CurrentRow();
  m_table.AddObserver(this);
}

ContactGridModel::~ContactGridModel() { m_table.RemoveObserver(this); }

int ContactGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_table.RowCount();
}

int ContactGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant ContactGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_table.RowCount() || index.column() >= kColumnCount) return {};
  const auto column = static_cast<GridColumn>(index.column());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
      const auto value = m_table.FieldValue(index.row(), FieldOfColumn(column));
      return value ? Windows1252ToQString(*value) : QString();
    }
    case Qt::FontRole:
      if (column == GridColumn::Name) return m_boldFont;
      return {};
    default: return {};
  }
}

bool ContactGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() >= m_table.RowCount() ||
      index.column() >= kColumnCount)
    return false;
  // Called from inside the view's editor handling: a table error is told
  // by a signal rather than unwound through Qt.
  QString failure;
  try {
    if (!m_table.HasOpenRow()) {
      if (m_table.CurrentRow() != index.row()) m_table.MoveTo(index.row());
      m_table.EditRow();
    }
    m_table.SetFieldText(FieldOfColumn(static_cast<GridColumn>(index.column())),
                         QStringToWindows1252(value.toString()));
    return true;
  } catch (...) {
    failure = ExceptionMessage(std::current_exception());
  }
  emit editFailed(failure);
  return false;
}

QVariant ContactGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) {
    // The indicator column: the current row, and what is open in it.
    if (role != Qt::DisplayRole || section != m_table.CurrentRow()) return {};
    switch (m_table.State()) {
      case TableState::Inserting: return QStringLiteral("*");
      case TableState::Editing: return QStringLiteral("I");
      case TableState::Browsing: return QStringLiteral("\u25B8");
    }
    return {};
  }
  if (section < 0 || section >= kColumnCount) return {};
  const auto column = static_cast<GridColumn>(section);
  if (role == Qt::DisplayRole) {
    if (const char* own = OwnTitle(column)) return QString::fromUtf8(own);
    const std::string_view label = FieldInfoOf(FieldOfColumn(column)).displayLabel;
    return Windows1252ToQString(label);
  }
  if (role == Qt::FontRole) return m_boldFont;
  if (role == Qt::BackgroundRole) return QBrush(QColor(255, 255, 221));
  return {};
}

Qt::ItemFlags ContactGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void ContactGridModel::RowAboutToBeInserted(int32_t row) {
  ++m_changing;
  beginInsertRows({}, row, row);
}

void ContactGridModel::RowInserted(int32_t) {
  endInsertRows();
  --m_changing;
  emit tableStateChanged();
}

void ContactGridModel::RowAboutToBeRemoved(int32_t row) {
  ++m_changing;
  beginRemoveRows({}, row, row);
}

void ContactGridModel::RowRemoved(int32_t) {
  endRemoveRows();
  --m_changing;
  emit tableStateChanged();
}

void ContactGridModel::RowChanged(int32_t row) {
  if (row < 0 || row >= m_table.RowCount()) return;
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

void ContactGridModel::markerChanged(int row) {
  if (row >= 0 && row < m_table.RowCount()) emit headerDataChanged(Qt::Vertical, row, row);
}

void ContactGridModel::CurrentRowChanged(int32_t row) {
  const int previous = m_markedRow;
  m_markedRow = row;
  markerChanged(previous);
  markerChanged(row);
  emit tableCurrentRowChanged(row);
  emit tableStateChanged();
}

void ContactGridModel::StateChanged() {
  markerChanged(m_table.CurrentRow());
  emit tableStateChanged();
}

void ContactGridModel::AboutToReset() {
  ++m_changing;
  beginResetModel();
}

void ContactGridModel::ResetDone() {
  endResetModel();
  --m_changing;
  m_markedRow = m_table.CurrentRow();
  emit tableCurrentRowChanged(m_markedRow);
  emit tableStateChanged();
}

void ContactGridModel::FlushEdit() { emit flushEditRequested(); }

void ContactGridModel::rebuildAround(const std::function<void()>& change) {
  AboutToReset();
  m_table.RemoveObserver(this);
  try {
    change();
  } catch (...) {
    m_table.AddObserver(this);
    ResetDone();
    throw;
  }
  m_table.AddObserver(this);
  ResetDone();
}

}  // namespace vantrelis
