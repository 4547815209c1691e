#include "app/contact_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/messages.h"

namespace vantrelis {
namespace {

// Sets a flag for the life of a scope, restoring its previous value.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : m_flag(flag), m_previous(flag) { m_flag = true; }
  ~FlagScope() { m_flag = m_previous; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& m_flag;
  bool m_previous;
};

constexpr int kColumnWidths[] = {153, 129, 80, 80, 200, 0 /* cp: from the font */, 80, 200, 200};

}  // namespace

QWidget* ContactCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    const Field field = FieldOfColumn(static_cast<GridColumn>(index.column()));
    line->setMaxLength(FieldInfoOf(field).width);
    line->setFrame(false);
  }
  m_editor = editor;
  return editor;
}

void ContactCellDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
  if (m_editor == editor) m_editor = nullptr;
  QStyledItemDelegate::destroyEditor(editor, index);
}

void ContactCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                       const QModelIndex& index) const {
  if (auto* line = qobject_cast<QLineEdit*>(editor); line != nullptr && !line->isModified()) return;
  QStyledItemDelegate::setModelData(editor, model, index);
}

ContactGrid::ContactGrid(ContactGridModel* model, QWidget* parent)
    : QTableView(parent), m_model(model), m_table(model->table()), m_delegate(new ContactCellDelegate(this)) {
  setObjectName(QStringLiteral("DBGRID1"));
  setAccessibleName(QStringLiteral("Table des contacts"));
  setModel(model);
  setItemDelegate(m_delegate);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  setTabKeyNavigation(true);
  setWordWrap(false);
  setFrameShape(QFrame::Box);
  setFrameShadow(QFrame::Plain);
  setToolTipDuration(0);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

  // Fixed, uniform row heights: nothing is measured per row, even for a million rows.
  const int rowHeight = fontMetrics().height() + 4;
  QHeaderView* rows = verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(rowHeight);
  rows->setDefaultSectionSize(rowHeight);
  rows->setDefaultAlignment(Qt::AlignCenter);
  rows->setMinimumWidth(14);
  rows->setMaximumWidth(14);
  rows->setHighlightSections(false);

  QHeaderView* columns = horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  // A click on a title would select the column and move the current row.
  columns->setSectionsClickable(false);
  columns->setHighlightSections(false);
  columns->setStretchLastSection(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 0; c < static_cast<int>(GridColumn::Count); ++c) {
    int width = kColumnWidths[c];
    if (width == 0) {
      width = fontMetrics().horizontalAdvance(QLatin1Char('0')) *
                  FieldInfoOf(FieldOfColumn(static_cast<GridColumn>(c))).displayWidth +
              8;
    }
    setColumnWidth(c, width);
  }

  setStyleSheet(QStringLiteral(
      "QTableView#DBGRID1 { background-color: rgb(228,228,228); gridline-color: rgb(170,170,170);"
      " selection-background-color: rgb(10,36,106); selection-color: white; }"
      "QTableView#DBGRID1 QHeaderView::section:horizontal { background-color: rgb(255,255,221);"
      " font-weight: bold; border: none; border-right: 1px solid rgb(170,170,170);"
      " border-bottom: 1px solid rgb(170,170,170); padding: 1px 3px; }"
      "QTableView#DBGRID1 QHeaderView::section:vertical { background-color: palette(button);"
      " border: none; border-right: 1px solid rgb(170,170,170); border-bottom: 1px solid rgb(200,200,200);"
      " padding: 0px; }"));

  connect(m_model, &ContactGridModel::tableCurrentRowChanged, this, &ContactGrid::followTable);
  connect(m_model, &ContactGridModel::flushEditRequested, this, &ContactGrid::flushEdit);
  connect(qApp, &QApplication::focusChanged, this, &ContactGrid::onFocusChanged);
  followTable(m_table.CurrentRow());
}

ContactGrid::~ContactGrid() {
  disconnect(qApp, &QApplication::focusChanged, this, &ContactGrid::onFocusChanged);
}

void ContactGrid::flushEdit() {
  QWidget* editor = openEditor();
  if (editor == nullptr) return;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ContactGrid::followTable(int row) {
  FlagScope scope(m_syncing);
  if (row < 0 || row >= m_model->rowCount()) {
    if (row < 0) selectionModel()->clearCurrentIndex();
    return;
  }
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  const QModelIndex target = m_model->index(row, column);
  if (currentIndex() != target) {
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
  }
  scrollTo(target);
}

void ContactGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  // While a row goes away the view picks a new current row of its own; the
  // table tells where its current row is once the change is done. Taking
  // the view's pick for a move would settle a row that is being cancelled.
  if (m_syncing || m_model->tableChanging() || !current.isValid() || current.row() == m_table.CurrentRow())
    return;
  RunGuarded([&] {
    FlagScope scope(m_syncing);
    // The table counts the picked row as it was shown before settling.
    m_table.MoveTo(current.row());
  });
  followTable(m_table.CurrentRow());
}

bool ContactGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (!QTableView::edit(index, trigger, event)) return false;
  // An editor opened on a committed row: the row is now being edited.
  RunGuarded([&] {
    if (!m_table.HasOpenRow()) {
      FlagScope scope(m_syncing);
      if (m_table.CurrentRow() != index.row()) m_table.MoveTo(index.row());
      m_table.EditRow();
    }
  });
  return true;
}

QModelIndex ContactGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  const int rows = m_model->rowCount();
  const bool atLast = rows == 0 || currentIndex().row() == rows - 1;
  if (cursorAction != MoveDown || !atLast) return QTableView::moveCursor(cursorAction, modifiers);
  // The edit in progress goes to the row first: whether a new row is blank
  // depends on the text still in its editor.
  RunGuarded([this] { flushEdit(); });
  // Down past the last row appends a row, unless that row is a blank new one.
  const int current = m_table.CurrentRow();
  if (current >= 0 && m_table.IsPendingRow(current) && !m_table.Changed()) return currentIndex();
  RunGuarded([this] { m_table.AppendRow(); });
  const int row = m_table.CurrentRow();
  if (row < 0) return currentIndex();
  return m_model->index(row, currentIndex().isValid() ? currentIndex().column() : 0);
}

void ContactGrid::cancelRow() {
  if (QWidget* editor = openEditor()) closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
  m_table.CancelRow();
}

void ContactGrid::insertRow() { m_table.InsertRow(); }

void ContactGrid::deleteRowAsked() {
  if (m_table.RowCount() == 0) return;
  if (!AppDialogs().question(this, QString::fromUtf8(messages::kDeleteRowQuestion),
                             QuestionButtons::OkCancel))
    return;
  if (QWidget* editor = openEditor()) closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
  m_table.DeleteRow();
}

void ContactGrid::keyPressEvent(QKeyEvent* event) {
  void (ContactGrid::*command)() = nullptr;
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
    command = &ContactGrid::cancelRow;
  if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier)
    command = &ContactGrid::insertRow;
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier)
    command = &ContactGrid::deleteRowAsked;
  if (command == nullptr) {
    QTableView::keyPressEvent(event);
    return;
  }
  RunGuarded([this, command] { (this->*command)(); });
  event->accept();
}

bool ContactGrid::ownsWidget(const QWidget* widget) const {
  return widget != nullptr && (widget == this || isAncestorOf(widget));
}

void ContactGrid::onFocusChanged(QWidget* old, QWidget* now) {
  // Only a move of the focus to another control of the same window counts:
  // a message box or another window taking it leaves the row alone.
  if (!ownsWidget(old) || now == nullptr || ownsWidget(now) || now->window() != window()) return;
  RunGuarded([this] {
    const int current = m_table.CurrentRow();
    if (current >= 0 && m_table.IsPendingRow(current) && !m_table.Changed() && openEditor() == nullptr)
      m_table.CancelRow();
  });
}

}  // namespace vantrelis
