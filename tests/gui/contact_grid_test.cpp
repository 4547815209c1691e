// The contact table seen and edited through the grid and the navigator.
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "app/contact_grid.h"
#include "app/contact_grid_model.h"
#include "app/navigator_bar.h"
#include "support/auto_dialogs.h"
#include "support/test_main.h"

using namespace vantrelis;
using Nav = NavigatorBar::Button;

namespace {

void AddCommitted(ContactTable& table, const char* name, const char* cp = "1000 lausanne") {
  table.AppendRow();
  table.SetFieldText(Field::Name, name);
  table.SetFieldText(Field::cp, cp);
  table.CommitRow();
}

// Refuses every change of a row's values, as a failing table would.
struct RefusingObserver : TableObserver {
  void RowChanged(int32_t) override { throw std::runtime_error("KADaoTable1: refusé"); }
};

}  // namespace

class ContactGridTest : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<ContactTable> m_table;
  QWidget* m_window = nullptr;
  ContactGridModel* m_model = nullptr;
  ContactGrid* m_grid = nullptr;
  NavigatorBar* m_nav = nullptr;
  QLineEdit* m_elsewhere = nullptr;

  bool enabled(Nav b) const { return m_nav->button(b)->isEnabled(); }
  QString cell(int row, GridColumn column) const {
    return m_model->index(row, static_cast<int>(column)).data().toString();
  }
  QString marker(int row) const { return m_model->headerData(row, Qt::Vertical).toString(); }

 private slots:
  void init() {
    m_table = std::make_unique<ContactTable>();
    m_window = new QWidget;
    auto* layout = new QVBoxLayout(m_window);
    m_model = new ContactGridModel(*m_table, m_window);
    m_grid = new ContactGrid(m_model, m_window);
    m_nav = new NavigatorBar(m_model, m_window);
    m_elsewhere = new QLineEdit(m_window);
    layout->addWidget(m_grid);
    layout->addWidget(m_nav);
    layout->addWidget(m_elsewhere);
    m_window->resize(900, 400);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
  }

  void cleanup() {
    delete m_window;
    m_table.reset();
  }

  void columnsTitlesAndLook() {
    const QStringList titles = {"Raison Sociale", "Email",     "Fax",     "Tel", "Adresse 1", "cp",
                                "Adresse 2",      "Catégorie", "Web site"};
    QCOMPARE(m_model->columnCount(), 9);
    for (int c = 0; c < 9; ++c) QCOMPARE(m_model->headerData(c, Qt::Horizontal).toString(), titles[c]);
    QCOMPARE(m_grid->columnWidth(0), 153);
    QCOMPARE(m_grid->columnWidth(1), 129);
    QCOMPARE(m_grid->columnWidth(4), 200);
    QVERIFY(m_grid->columnWidth(static_cast<int>(GridColumn::cp)) >=
            m_grid->fontMetrics().horizontalAdvance(QString(20, QLatin1Char('0'))));
    AddCommitted(*m_table, "Boulangerie");
    QVERIFY(m_model->index(0, 0).data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!m_model->index(0, 1).data(Qt::FontRole).isValid());
  }

  void textIsShownAndStoredInTheCodePage() {
    m_table->AppendRow();
    m_table->SetFieldText(Field::Name, "Caf\xE9 Z\xFCrich \x80");
    m_table->CommitRow();
    QCOMPARE(cell(0, GridColumn::Name), QStringLiteral("Café Zürich €"));
    QVERIFY(m_model->setData(m_model->index(0, static_cast<int>(GridColumn::adress2)),
                             QStringLiteral("Genève – Œ")));
    m_table->CommitRow();
    QCOMPARE(std::string(*m_table->FieldValue(0, Field::adress2)), std::string("Gen\xE8ve \x96 \x8C"));
  }

  void aFailedEditIsToldAndNotShownByTheModel() {
    test_support::AutoDialogs dialogs;
    AddCommitted(*m_table, "A");
    RefusingObserver refusing;
    m_table->AddObserver(&refusing);
    QSignalSpy failed(m_model, &ContactGridModel::editFailed);
    const bool stored =
        m_model->setData(m_model->index(0, static_cast<int>(GridColumn::Name)), QStringLiteral("B"));
    m_table->RemoveObserver(&refusing);
    QVERIFY(!stored);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("KADaoTable1: refusé"));
    // Showing it is the window's business, not the model's.
    QCOMPARE(dialogs.reports, 0);
    QVERIFY(dialogs.shown.isEmpty());
  }

  void navigatorEnableRulesFollowTheTable() {
    // Empty table: at both ends; nothing to delete; nothing open to post.
    QVERIFY(!enabled(Nav::First) && !enabled(Nav::Prior) && !enabled(Nav::Next) && !enabled(Nav::Last));
    QVERIFY(enabled(Nav::Insert) && !enabled(Nav::Delete) && !enabled(Nav::Post) && enabled(Nav::Refresh));
    for (const char* name : {"A", "B", "C"}) AddCommitted(*m_table, name);
    m_nav->trigger(Nav::First);
    QCOMPARE(m_table->CurrentRow(), 0);
    QVERIFY(!enabled(Nav::First) && !enabled(Nav::Prior) && enabled(Nav::Next) && enabled(Nav::Last));
    m_nav->trigger(Nav::Next);
    QVERIFY(enabled(Nav::First) && enabled(Nav::Next));
    m_nav->trigger(Nav::Last);
    QVERIFY(enabled(Nav::Prior) && !enabled(Nav::Next) && !enabled(Nav::Last));
    QCOMPARE(m_grid->currentIndex().row(), 2);
    m_nav->trigger(Nav::Insert);
    QVERIFY(enabled(Nav::Post) && !enabled(Nav::Refresh) && enabled(Nav::Delete));
    m_nav->trigger(Nav::Refresh);  // disabled while open, but a direct trigger still settles
    QVERIFY(!m_table->HasOpenRow());
    QCOMPARE(m_table->RowCount(), 3);
    for (QToolButton* b : m_nav->findChildren<QToolButton*>()) QVERIFY(b->toolTip().isEmpty());
  }

  void pendingRowIsShownAtItsPlaceAndEscapeCancelsIt() {
    for (const char* name : {"A", "B", "C"}) AddCommitted(*m_table, name);
    m_table->MoveTo(1);
    m_grid->setFocus();
    QTest::keyClick(m_grid, Qt::Key_Insert);
    QCOMPARE(m_model->rowCount(), 4);
    QVERIFY(m_table->IsPendingRow(1));
    QCOMPARE(m_grid->currentIndex().row(), 1);
    QCOMPARE(marker(1), QStringLiteral("*"));
    QCOMPARE(cell(2, GridColumn::Name), QStringLiteral("B"));
    QTest::keyClick(m_grid, Qt::Key_Escape);
    QCOMPARE(m_model->rowCount(), 3);
    QVERIFY(!m_table->HasOpenRow());
    QCOMPARE(cell(1, GridColumn::Name), QStringLiteral("B"));
  }

  // A new row among others, a value typed and entered, then Escape: the row
  // is dropped, not committed by the view's move away from it.
  void escapeDropsATypedNewRow_data() {
    QTest::addColumn<bool>("byNavigator");
    QTest::newRow("navigator Insert") << true;
    QTest::newRow("Down past the last row") << false;
  }
  void escapeDropsATypedNewRow() {
    QFETCH(bool, byNavigator);
    for (const char* name : {"A", "B"}) AddCommitted(*m_table, name);
    m_grid->setFocus();
    m_grid->setCurrentIndex(m_model->index(1, 0));
    if (byNavigator) {
      m_nav->trigger(Nav::Insert);
    } else {
      QTest::keyClick(m_grid, Qt::Key_Down);
    }
    const int row = m_table->CurrentRow();
    QVERIFY(m_table->IsPendingRow(row));
    QCOMPARE(m_grid->currentIndex().row(), row);
    m_grid->setFocus();
    QTest::keyClicks(m_grid, "N");
    QVERIFY(m_grid->openEditor() != nullptr);
    QTest::keyClicks(m_grid->openEditor(), "ouveau");
    QTest::keyClick(m_grid->openEditor(), Qt::Key_Return);
    QTRY_COMPARE(cell(row, GridColumn::Name), QStringLiteral("Nouveau"));
    QVERIFY(m_table->Changed());
    QTest::keyClick(m_grid, Qt::Key_Escape);
    QCOMPARE(m_table->CommittedRowCount(), 2);
    QCOMPARE(m_model->rowCount(), 2);
    QVERIFY(!m_table->HasOpenRow());
    QCOMPARE(cell(0, GridColumn::Name), QStringLiteral("A"));
    QCOMPARE(cell(1, GridColumn::Name), QStringLiteral("B"));
    // The grid follows the row that is current again.
    QCOMPARE(m_grid->currentIndex().row(), m_table->CurrentRow());
  }

  void typingEditsTheRowAndEscapeRevertsIt() {
    AddCommitted(*m_table, "Ancien");
    m_grid->setFocus();
    m_grid->setCurrentIndex(m_model->index(0, 0));
    QTest::keyClicks(m_grid, "N");
    QVERIFY(m_grid->openEditor() != nullptr);
    QCOMPARE(m_table->State(), TableState::Editing);
    QCOMPARE(marker(0), QStringLiteral("I"));
    QTest::keyClicks(m_grid->openEditor(), "ouveau");
    QTest::keyClick(m_grid->openEditor(), Qt::Key_Return);
    QTRY_COMPARE(cell(0, GridColumn::Name), QStringLiteral("Nouveau"));
    QCOMPARE(m_table->CommittedRowCount(), 1);
    QTest::keyClick(m_grid, Qt::Key_Escape);
    QCOMPARE(cell(0, GridColumn::Name), QStringLiteral("Ancien"));
    QCOMPARE(m_table->State(), TableState::Browsing);
  }

  void postHandsOverTheEditInProgress() {
    AddCommitted(*m_table, "Ancien");
    m_grid->setFocus();
    m_grid->setCurrentIndex(m_model->index(0, static_cast<int>(GridColumn::tel)));
    QTest::keyClicks(m_grid, "0");
    QVERIFY(m_grid->openEditor() != nullptr);
    QTest::keyClicks(m_grid->openEditor(), "21 555 11 22");
    m_nav->trigger(Nav::Post);  // the editor is still open
    QCOMPARE(m_table->State(), TableState::Browsing);
    QCOMPARE(std::string(*m_table->FieldValue(0, Field::tel)), std::string("021 555 11 22"));
  }

  void pickingAnotherRowSettlesAndFollowsTheRow() {
    for (const char* name : {"A", "B", "C"}) AddCommitted(*m_table, name);
    m_table->MoveTo(0);
    m_table->InsertRow();  // blank pending row at 0, A moves to 1
    QCOMPARE(m_model->rowCount(), 4);
    // Pick the row showing "C" (display row 3): the blank row goes, C is current.
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                      m_grid->visualRect(m_model->index(3, 0)).center());
    QCOMPARE(m_model->rowCount(), 3);
    QCOMPARE(m_table->CurrentRow(), 2);
    QCOMPARE(m_grid->currentIndex().row(), 2);
    QCOMPARE(cell(2, GridColumn::Name), QStringLiteral("C"));
    // And the other way: the table's move shows in the grid.
    m_table->MoveFirst();
    QCOMPARE(m_grid->currentIndex().row(), 0);
  }

  void downPastTheLastRowAppends() {
    AddCommitted(*m_table, "A");
    m_grid->setFocus();
    m_grid->setCurrentIndex(m_model->index(0, 0));
    QTest::keyClick(m_grid, Qt::Key_Down);
    QCOMPARE(m_model->rowCount(), 2);
    QVERIFY(m_table->IsPendingRow(1));
    QCOMPARE(m_grid->currentIndex().row(), 1);
    QTest::keyClick(m_grid, Qt::Key_Down);  // a blank new row does not append another
    QCOMPARE(m_model->rowCount(), 2);
  }

  // Down pressed in the cell editor of a new last row: the typed text goes
  // to the row, which is committed, and a new blank row is current.
  void downInTheEditorOfANewLastRowCommitsItAndAppends() {
    AddCommitted(*m_table, "A");
    m_grid->setFocus();
    m_grid->setCurrentIndex(m_model->index(0, 0));
    QTest::keyClick(m_grid, Qt::Key_Down);
    QVERIFY(m_table->IsPendingRow(1));
    QTest::keyClicks(m_grid, "N");
    QWidget* editor = m_grid->openEditor();
    QVERIFY(editor != nullptr);
    QTest::keyClicks(editor, "ouveau");
    QTest::keyClick(editor, Qt::Key_Down);
    QCOMPARE(m_table->CommittedRowCount(), 2);
    QCOMPARE(cell(1, GridColumn::Name), QStringLiteral("Nouveau"));
    QCOMPARE(m_model->rowCount(), 3);
    QVERIFY(m_table->IsPendingRow(2));
    QVERIFY(!m_table->Changed());
    QCOMPARE(m_table->CurrentRow(), 2);
    QCOMPARE(m_grid->currentIndex().row(), 2);
    QCOMPARE(marker(2), QStringLiteral("*"));
    QVERIFY(m_grid->openEditor() == nullptr);
    QVERIFY(m_grid->hasFocus());
    // An editor opened on the blank row and left untouched: Down stays there.
    QTest::keyClick(m_grid, Qt::Key_F2);
    QVERIFY(m_grid->openEditor() != nullptr);
    QTest::keyClick(m_grid->openEditor(), Qt::Key_Down);
    QCOMPARE(m_model->rowCount(), 3);
    QCOMPARE(m_table->CommittedRowCount(), 2);
    QCOMPARE(m_grid->currentIndex().row(), 2);
  }

  void blankPendingRowGoesWhenTheGridLosesFocus() {
    AddCommitted(*m_table, "A");
    m_grid->setFocus();
    QTest::keyClick(m_grid, Qt::Key_Insert);
    QCOMPARE(m_model->rowCount(), 2);
    m_elsewhere->setFocus();
    QCOMPARE(m_model->rowCount(), 1);
    QVERIFY(!m_table->HasOpenRow());
    // An editor opened (F2) and left untouched assigns nothing.
    m_grid->setFocus();
    QTest::keyClick(m_grid, Qt::Key_Insert);
    QTest::keyClick(m_grid, Qt::Key_F2);
    QVERIFY(m_grid->openEditor() != nullptr);
    m_elsewhere->setFocus();
    QTRY_COMPARE(m_model->rowCount(), 1);
    // A pending row with a value stays.
    m_grid->setFocus();
    QTest::keyClick(m_grid, Qt::Key_Insert);
    m_table->SetFieldText(Field::Name, "B");
    m_elsewhere->setFocus();
    QCOMPARE(m_model->rowCount(), 2);
    QVERIFY(m_table->HasOpenRow());
  }

  void deleteAsksFirst() {
    test_support::AutoDialogs dialogs;
    for (const char* name : {"A", "B"}) AddCommitted(*m_table, name);
    m_table->MoveFirst();
    m_grid->setFocus();
    dialogs.answers = {false};
    QTest::keyClick(m_grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(dialogs.shown, QStringList{"question:Supprimer l'enregistrement ? [OK/Annuler]"});
    QCOMPARE(m_table->RowCount(), 2);
    dialogs.answers = {true};
    m_nav->trigger(Nav::Delete);
    QCOMPARE(m_table->RowCount(), 1);
    QCOMPARE(cell(0, GridColumn::Name), QStringLiteral("B"));
    // Empty table: no question at all.
    dialogs.answers = {true};
    QTest::keyClick(m_grid, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(m_grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_table->RowCount(), 0);
    QCOMPARE(dialogs.shown.size(), 3);
  }

  void tableErrorFromTheNavigatorIsReported() {
    test_support::AutoDialogs dialogs;
    m_nav->trigger(Nav::Post);  // nothing open: the table refuses
    QCOMPARE(dialogs.reports, 1);
    QVERIFY(dialogs.lastReportText.startsWith(QStringLiteral("KADaoTable1: ")));
    QCOMPARE(dialogs.lastReportCaption, QStringLiteral("KorvalenCH"));
  }

  void bulkLoadResetsOnce() {
    QSignalSpy resets(m_model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(m_model, &QAbstractItemModel::rowsInserted);
    m_table->BeginLoad();
    for (int i = 0; i < 500; ++i) {
      m_table->AppendRow();
      m_table->SetFieldText(Field::Name, "x");
      m_table->CommitRow();
    }
    m_table->EndLoad();
    QCOMPARE(resets.size(), 1);
    QCOMPARE(inserts.size(), 0);
    QCOMPARE(m_model->rowCount(), 500);
    QCOMPARE(m_grid->currentIndex().row(), 0);
  }
};

VANTRELIS_GUI_TEST_MAIN(ContactGridTest)
#include "contact_grid_test.moc"
