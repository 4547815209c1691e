// A harvest started from the window against the bundled demo directory:
// "Aspirer" fills the grid, "Pause" stops a run, listings that cannot be
// read are told of once, closing the window ends a run that waits for a page.
#include <QDir>
#include <QSignalSpy>
#include <QTimer>
#include <QWebEngineView>

#include "app/demo_server.h"

#include "app/contact_grid.h"
#include "app/glow_button.h"
#include "app/main_window.h"
#include "browser/webengine_browser.h"
#include "harvest/harvest_run.h"
#include "support/auto_dialogs.h"
#include "support/session_window.h"
#include "support/test_main.h"

using namespace vantrelis;

namespace {

// Waits (handling events) until the browser holds a complete page; false
// when none came within the safety limit.
bool WaitLoaded(WebEngineBrowser* browser) {
  return QTest::qWaitFor(
      [browser] { return !browser->CurrentUrl().empty() && !browser->Busy() && browser->ReadyState() == 4; },
      20000);
}

QString Name(TForm1& form, int row) {
  return form.grid()->model()->index(row, static_cast<int>(GridColumn::Name)).data().toString();
}

}  // namespace

class HarvestWindowTest : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<TForm1> m_form;
  test_support::AutoDialogs m_dialogs;

  void openResults(QUrl results = {}) {
    if (results.isEmpty()) results = m_form->startPage().resolved(QUrl(QStringLiteral("resultats.aspx")));
    QSignalSpy finished(m_form->www()->page(), &QWebEnginePage::loadFinished);
    m_form->www()->setUrl(results);
    const std::string path = results.path().toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(
        !finished.isEmpty() && m_form->wwwBrowser()->CurrentUrl().find(path) != std::string::npos, 20000);
    QVERIFY(WaitLoaded(m_form->wwwBrowser()));
  }

  // Runs `action` when www2 starts loading its `count`-th page from now on.
  void onListingLoad(int count, const std::function<void()>& action) {
    auto loads = std::make_shared<int>(0);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(m_form->www2()->page(), &QWebEnginePage::loadStarted, this,
                          [loads, count, action, connection] {
                            if (++*loads != count) return;
                            QObject::disconnect(*connection);
                            action();
                          });
  }

 private slots:
  void initTestCase() {
    qunsetenv("VANTRELIS_DIRECTORY");
    m_form = std::make_unique<SessionWindow>(QStringList{QStringLiteral("vantrelis")});
    m_form->Create();
    m_form->resize(1152, 807);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QVERIFY(m_form->startPage().toString().endsWith(QStringLiteral("/pagesjaunes/index.aspx")));
    QVERIFY(WaitLoaded(m_form->wwwBrowser()));
    QCOMPARE(m_dialogs.reports, 0);
  }

  void cleanupTestCase() { m_form.reset(); }

  void aspirerFillsTheGrid() {
    openResults();
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);  // returns when the run ends
    QCOMPARE(m_dialogs.reports, 0);
    QVERIFY(!m_form->harvestRun()->Active());
    QVERIFY(m_form->glowButton("AdvGlowButton5")->isStateDown());  // stays down after the run
    ContactTable& table = m_form->table();
    m_form->Timer1Timer();
    const QByteArray shot = qgetenv("VANTRELIS_SCREENSHOT");
    if (!shot.isEmpty()) QVERIFY(m_form->grab().save(QString::fromLocal8Bit(shot)));
    QVERIFY2(table.RowCount() >= 10, qPrintable(QString::number(table.RowCount())));
    QCOMPARE(m_form->grid()->model()->rowCount(), table.RowCount());
    QStringList names;
    for (int row = 0; row < table.RowCount(); ++row) names << Name(*m_form, row);
    QVERIFY2(names.join('|').contains(QStringLiteral("boulangerie müller"), Qt::CaseInsensitive), qPrintable(names.join('|')));
    // The last listing stays pending until the table next settles.
    QCOMPARE(table.CommittedRowCount(), table.RowCount() - 1);
    // One notice at the end names the withdrawn listing, whose page holds none.
    QCOMPARE(m_dialogs.shown.filter(QStringLiteral("information:")).size(), 1);
    QVERIFY2(m_dialogs.shown.join('|').contains(
                 QStringLiteral("annonce-retiree.aspx?id=1006 : aucune fiche reconnue sur la page")),
             qPrintable(m_dialogs.shown.join('|')));
  }

  void pauseStopsTheRun() {
    m_form->table().ClearRows();
    openResults();
    // A click on Pause while the second listing loads, in the run's wait: its
    // row is still added, the third listing is asked for, and the run ends.
    onListingLoad(2, [this] { QTest::mouseClick(m_form->glowButton("SpeedButton6"), Qt::LeftButton); });
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);
    QVERIFY(!m_form->harvestRun()->Active());
    QVERIFY(m_form->harvestRun()->StopRequested());
    QVERIFY(m_form->glowButton("SpeedButton6")->isStateDown());
    QVERIFY(!m_form->glowButton("AdvGlowButton5")->isStateDown());
    QCOMPARE(m_form->table().RowCount(), 2);
    QCOMPARE(m_dialogs.reports, 0);
    QTest::mouseClick(m_form->glowButton("SpeedButton6"), Qt::LeftButton);  // released again
    QVERIFY(!m_form->harvestRun()->StopRequested());
  }

  void skippedListingsAreToldOnceAtTheEnd() {
    DemoServer site(QStringLiteral(VANTRELIS_TEST_DATA "/harvest/site"));
    QVERIFY(site.start());
    m_form->table().ClearRows();
    openResults(site.url(QStringLiteral("/resultats.html")));
    m_dialogs.shown.clear();
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);
    QCOMPARE(m_dialogs.reports, 0);
    QCOMPARE(m_form->table().RowCount(), 3);
    QCOMPARE(m_dialogs.shown.size(), 1);
    const QString notice = m_dialogs.shown.constFirst();
    QVERIFY2(notice.startsWith(QStringLiteral("information:1 fiche n'a pas pu être lue")), qPrintable(notice));
    QVERIFY2(notice.contains(site.url(QStringLiteral("/fiche/brochure-du-salon.zip")).toString()), qPrintable(notice));
    QVERIFY2(notice.contains(QStringLiteral("télécharger")), qPrintable(notice));
  }

  // Closing asked while a run has rows: "Non" leaves the window open and the
  // run goes on (until Pause, two listings later).
  void closingAnsweredNonLetsTheRunGoOn() {
    m_form->table().ClearRows();
    openResults();
    int rowsAtClose = -1;
    bool stayed = false;
    m_dialogs.shown.clear();
    m_dialogs.answers = {false};
    onListingLoad(3, [&] {
      rowsAtClose = m_form->table().RowCount();
      stayed = !m_form->close();
      onListingLoad(2, [this] { QTest::mouseClick(m_form->glowButton("SpeedButton6"), Qt::LeftButton); });
    });
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);  // returns when the run ends
    QVERIFY(stayed);
    QCOMPARE(rowsAtClose, 2);
    QCOMPARE(m_dialogs.shown.filter(QStringLiteral("question:")),
             QStringList{"question:La table contient 2 contacts qui n'ont pas été exportés. "
                         "Quitter quand même ? [Oui/Non]"});
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_form->harvestRun()->Active());
    QCOMPARE(m_form->table().RowCount(), 4);  // the listings loaded after the question
    QCOMPARE(m_dialogs.reports, 0);
    QTest::mouseClick(m_form->glowButton("SpeedButton6"), Qt::LeftButton);  // released again
  }

  void closingTheWindowEndsAWaitingRun() {
    m_form->table().ClearRows();
    openResults();
    // Closed while the first listing loads: the run ends in that wait, before
    // the listing's row, and no further listing is asked for.
    bool closed = false;
    int loadsAfterClose = 0;
    onListingLoad(1, [&] {
      m_form->close();
      closed = true;
      connect(m_form->www2()->page(), &QWebEnginePage::loadStarted, this, [&] { ++loadsAfterClose; });
    });
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);
    QVERIFY(closed);
    QCOMPARE(m_form->table().RowCount(), 0);
    QCOMPARE(loadsAfterClose, 0);
    QVERIFY(!m_form->isVisible());
    QVERIFY(!m_form->harvestRun()->Active());
    // No window is left on the screen: the program's event loop ends.
    for (QWidget* top : QApplication::topLevelWidgets()) QVERIFY2(!top->isVisible(), qPrintable(top->objectName()));
    QCOMPARE(m_dialogs.reports, 0);   // the run's end is no error
    // The window's browsers are gone with it, and nothing waits any more.
    m_form.reset();
  }
};

VANTRELIS_GUI_TEST_MAIN(HarvestWindowTest)
#include "harvest_window_test.moc"
