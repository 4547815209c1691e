// A harvest started from the window against the bundled demo directory:
// "Aspirer" fills the grid, "Pause" stops a run, closing the window ends a
// run that waits for a page.
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QWebEngineView>

#include "app/contact_grid.h"
#include "app/glow_button.h"
#include "app/main_window.h"
#include "browser/webengine_browser.h"
#include "harvest/harvest_run.h"
#include "support/auto_dialogs.h"

using namespace vantrelis;

namespace {

// Waits (handling events) until the browser holds a complete page.
bool WaitLoaded(WebEngineBrowser* browser, int timeoutMs = 20000) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeoutMs) {
    QTest::qWait(50);
    if (!browser->CurrentUrl().empty() && !browser->Busy() && browser->ReadyState() == 4) return true;
  }
  return false;
}

QString Name(TForm1& form, int row) {
  return form.grid()->model()->index(row, static_cast<int>(GridColumn::Name)).data().toString();
}

}  // namespace

class HarvestWindowTest : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<TForm1> m_form;
  testing::AutoDialogs m_dialogs;

  void openResults() {
    const QUrl results = m_form->startPage().resolved(QUrl(QStringLiteral("resultats.aspx")));
    m_form->www()->setUrl(results);
    QTRY_VERIFY_WITH_TIMEOUT(m_form->wwwBrowser()->CurrentUrl().find("resultats.aspx") != std::string::npos, 20000);
    QVERIFY(WaitLoaded(m_form->wwwBrowser()));
  }

 private slots:
  void initTestCase() {
    qunsetenv("VANTRELIS_DIRECTORY");
    m_form = std::make_unique<TForm1>(QStringList{QStringLiteral("vantrelis")});
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

  }

  void pauseStopsTheRun() {
    m_form->table().ClearRows();
    openResults();
    QTimer::singleShot(2500, this, [this] { QTest::mouseClick(m_form->glowButton("SpeedButton6"), Qt::LeftButton); });
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);
    QVERIFY(!m_form->harvestRun()->Active());
    QVERIFY(StopRequested);
    QVERIFY(m_form->glowButton("SpeedButton6")->isStateDown());
    QVERIFY(!m_form->glowButton("AdvGlowButton5")->isStateDown());
    QVERIFY2(m_form->table().RowCount() < 8, qPrintable(QString::number(m_form->table().RowCount())));
    QCOMPARE(m_dialogs.reports, 0);
  }

  void closingTheWindowEndsAWaitingRun() {
    m_form->table().ClearRows();
    openResults();
    QElapsedTimer clock;
    qint64 closedAt = -1;
    QTimer::singleShot(1500, this, [&] {
      closedAt = clock.elapsed();
      m_form->close();
    });
    clock.start();
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);
    const qint64 endedAt = clock.elapsed();
    QVERIFY(closedAt >= 0);
    // A run left alone would go on for twenty listings of a second each.
    QVERIFY2(endedAt - closedAt < 5000, qPrintable(QString::number(endedAt - closedAt)));
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
