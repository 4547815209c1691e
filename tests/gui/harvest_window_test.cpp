// A harvest started from the window against the bundled demo directory:
// "Aspirer" fills the grid, the status bar tells where the run stands,
// "Pause" stops a run, listings that cannot be read are told of once,
// closing the window ends a run that waits for a page. Against a directory
// that pushes back: a rate limit is waited out, a check is passed in the
// verification window and the run resumed, a changed layout stops the run.
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/demo_server.h"

#include "app/contact_grid.h"
#include "app/glow_button.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/verification_window.h"
#include "browser/webengine_browser.h"
#include "harvest/harvest_run.h"
#include "support/auto_dialogs.h"
#include "support/pushback_site.h"
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

// The names in the grid, in lower case (as harvested names are), sorted.
QStringList Names(TForm1& form) {
  QStringList names;
  for (int row = 0; row < form.table().RowCount(); ++row) names << Name(form, row).toLower();
  names.sort();
  return names;
}

// The answer of `script` run in `page`, once it came (null when none came
// within the safety limit).
QVariant Evaluate(QWebEnginePage* page, const QString& script) {
  bool answered = false;
  QVariant answer;
  page->runJavaScript(script, [&](const QVariant& value) {
    answer = value;
    answered = true;
  });
  if (!QTest::qWaitFor([&] { return answered; }, 20000)) return {};
  return answer;
}

using Mode = test_support::PushbackSite::Mode;

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
    // The status bar's third field as each listing starts loading.
    QStringList statuses;
    const QMetaObject::Connection watch = connect(m_form->www2()->page(), &QWebEnginePage::loadStarted, this,
                                                  [&] { statuses << m_form->runStatus(); });
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);  // returns when the run ends
    disconnect(watch);
    QVERIFY2(statuses.size() >= 10, qPrintable(statuses.join('|')));
    QVERIFY2(statuses.at(0).startsWith(QStringLiteral("Page 1 · fiche 1 sur ")), qPrintable(statuses.at(0)));
    // From the second listing on, the rows added and the time left at the run's pace.
    QVERIFY2(statuses.at(1).startsWith(QStringLiteral("Page 1 · fiche 2 sur ")), qPrintable(statuses.at(1)));
    QVERIFY2(statuses.at(1).contains(QStringLiteral(" · 1 ajoutée · encore environ ")),
             qPrintable(statuses.at(1)));
    QVERIFY2(statuses.at(1).endsWith(QStringLiteral(" pour cette page")), qPrintable(statuses.at(1)));
    QVERIFY2(statuses.filter(QStringLiteral("Page 2 · fiche 1 sur ")).size() == 1,
             qPrintable(statuses.join('|')));
    // Cleared when the run ends.
    QCOMPARE(m_form->runStatus(), QString());
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("RunStatus"))->text(), QString());
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
    QVERIFY2(names.join('|').contains(QStringLiteral("boulangerie müller"), Qt::CaseInsensitive),
             qPrintable(names.join('|')));
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
    QVERIFY2(notice.startsWith(QStringLiteral("information:1 fiche n'a pas pu être lue")),
             qPrintable(notice));
    QVERIFY2(notice.contains(site.url(QStringLiteral("/fiche/brochure-du-salon.zip")).toString()),
             qPrintable(notice));
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

  // A listing that answers 429 twice is loaded again after each wait, the
  // status bar saying when, and gives its row once.
  void aRateLimitIsWaitedOut() {
    test_support::PushbackSite site;
    QVERIFY(site.start());
    m_form->table().ClearRows();
    openResults(site.results(Mode::RateLimit));
    m_form->harvestRun()->SetFirstSiteWait(5);
    QStringList statuses;
    const QMetaObject::Connection watch = connect(m_form->www2()->page(), &QWebEnginePage::loadStarted, this,
                                                  [&] { statuses << m_form->runStatus(); });
    m_dialogs.shown.clear();
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);
    disconnect(watch);
    m_form->harvestRun()->SetFirstSiteWait(HarvestRun::kFirstSiteWaitMilliseconds);
    QCOMPARE(m_dialogs.reports, 0);
    QCOMPARE(m_dialogs.shown, QStringList());  // nothing skipped, nothing to tell
    QCOMPARE(m_form->harvestRun()->Report().end, RunEnd::LastPage);
    QStringList expected;
    for (int n = 1; n <= test_support::PushbackSite::kListings; ++n)
      expected << test_support::PushbackSite::name(n).toLower();
    QCOMPARE(Names(*m_form), expected);
    QCOMPARE(site.requests(site.listing(Mode::RateLimit, 2)), 3);
    // The listing's first load, then its two loads after a wait.
    QCOMPARE(statuses.size(), test_support::PushbackSite::kListings + 2);
    QVERIFY2(statuses.at(1).startsWith(QStringLiteral("Page 1 · fiche 2 sur 6 · 1 ajoutée")),
             qPrintable(statuses.at(1)));
    const QRegularExpression waiting(
        QStringLiteral("^Le site limite les requêtes : nouvel essai à \\d\\d:\\d\\d:\\d\\d$"));
    QVERIFY2(waiting.match(statuses.at(2)).hasMatch(), qPrintable(statuses.at(2)));
    QVERIFY2(waiting.match(statuses.at(3)).hasMatch(), qPrintable(statuses.at(3)));
    QVERIFY2(statuses.at(4).startsWith(QStringLiteral("Page 1 · fiche 3 sur 6 · 2 ajoutées")),
             qPrintable(statuses.at(4)));
    QCOMPARE(m_form->runStatus(), QString());
  }

  // Pause in a rate limit's wait (a long one) ends it at once: the window
  // answers during the wait, and the listing is not asked for again.
  void pauseEndsARateLimitWait() {
    test_support::PushbackSite site;
    QVERIFY(site.start());
    m_form->table().ClearRows();
    openResults(site.results(Mode::RateLimit));
    m_form->harvestRun()->SetFirstSiteWait(int64_t{10} * 60 * 1000);
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
      if (!m_form->runStatus().startsWith(QStringLiteral("Le site limite les requêtes"))) return;
      watch.stop();
      QTest::mouseClick(m_form->glowButton("SpeedButton6"), Qt::LeftButton);
    });
    watch.start(10);
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);
    m_form->harvestRun()->SetFirstSiteWait(HarvestRun::kFirstSiteWaitMilliseconds);
    QVERIFY(!watch.isActive());
    QCOMPARE(m_form->harvestRun()->Report().end, RunEnd::Stopped);
    QCOMPARE(m_form->table().RowCount(), 1);
    QCOMPARE(site.requests(site.listing(Mode::RateLimit, 2)), 1);
    QCOMPARE(site.requests(site.listing(Mode::RateLimit, 3)), 0);
    QCOMPARE(m_form->runStatus(), QString());
    QCOMPARE(m_dialogs.reports, 0);
    QTest::mouseClick(m_form->glowButton("SpeedButton6"), Qt::LeftButton);  // released again
  }

  // A site that asks for a check from the fourth listing on stops the run
  // after three refusals; the check passed in the verification window (its
  // cookie is the harvest's) and "Reprendre" harvest the rest: each listing once.
  void aCheckIsPassedInTheVerificationWindow() {
    test_support::PushbackSite site;
    QVERIFY(site.start());
    m_form->table().ClearRows();
    openResults(site.results(Mode::Check));
    const QUrl blocked = site.listing(Mode::Check, 6);
    QString title;
    QUrl shownPage;
    bool modal = false;
    m_dialogs.onVerification = [&](VerificationWindow& window) {
      title = window.windowTitle();
      modal = window.isModal() && window.isVisible();
      shownPage = window.view()->url();
      QWebEnginePage* page = window.view()->page();
      QTRY_COMPARE_WITH_TIMEOUT(Evaluate(page, QStringLiteral("document.forms.length")).toInt(), 1, 20000);
      Evaluate(page, QStringLiteral("document.forms[0].submit(); true"));
      QTRY_VERIFY_WITH_TIMEOUT(Evaluate(page, QStringLiteral("document.body ? document.body.innerText : ''"))
                                   .toString()
                                   .contains(QStringLiteral("Vérification faite")),
                               20000);
      QTest::mouseClick(window.resumeButton(), Qt::LeftButton);
    };
    m_dialogs.shown.clear();
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"),
                      Qt::LeftButton);  // returns when the resumed run ends
    QCOMPARE(m_dialogs.reports, 0);
    QVERIFY(!m_dialogs.onVerification);
    QCOMPARE(title, QStringLiteral("Vérification demandée par le site"));
    QVERIFY(modal);
    QCOMPARE(shownPage, blocked);
    QCOMPARE(m_dialogs.shown.size(), 2);
    const QString verification = m_dialogs.shown.at(0);
    QVERIFY2(verification.startsWith(
                 QStringLiteral("verification:") + blocked.toString() +
                 QStringLiteral(" Le site demande une vérification (ou refuse l'accès) : la "
                                "récolte s'est arrêtée sur la page ") +
                 blocked.toString() + QStringLiteral(" (le serveur a répondu par l'erreur HTTP 403")),
             qPrintable(verification));
    QVERIFY2(verification.endsWith(QString::fromUtf8(messages::kVerificationCheckAdvice)),
             qPrintable(verification));
    // The resumed run passed over the listings harvested before the check.
    QCOMPARE(m_dialogs.shown.at(1),
             QStringLiteral("information:3 fiches étaient déjà dans la table et ont été passées."));
    QCOMPARE(m_form->harvestRun()->Report().end, RunEnd::LastPage);
    QStringList expected;
    for (int n = 1; n <= test_support::PushbackSite::kListings; ++n)
      expected << test_support::PushbackSite::name(n).toLower();
    QCOMPARE(Names(*m_form), expected);
    // Listings 4 to 6 refused once, then harvested; the verification window
    // showed the sixth.
    for (int n = 1; n <= test_support::PushbackSite::kListings; ++n)
      QCOMPARE(site.requests(site.listing(Mode::Check, n)), n <= 3 ? 1 : n < 6 ? 2 : 3);
    QCOMPARE(m_form->runStatus(), QString());
  }

  // Listing pages that lost their name markers stop the run after three,
  // with the message in the verification window; "Arrêter" leaves it
  // stopped, and the table keeps what it held.
  void aChangedLayoutStopsTheRun() {
    test_support::PushbackSite site;
    QVERIFY(site.start());
    ContactTable& table = m_form->table();
    table.ClearRows();
    table.AppendRow();
    table.SetFieldText(Field::Name, "Ligne gardee");
    table.CommitRow();
    openResults(site.results(Mode::NewLayout));
    int loads = 0;
    const QMetaObject::Connection watch =
        connect(m_form->www2()->page(), &QWebEnginePage::loadStarted, this, [&] { ++loads; });
    m_dialogs.shown.clear();
    m_dialogs.verifications = {false};
    QTest::mouseClick(m_form->glowButton("AdvGlowButton5"), Qt::LeftButton);
    disconnect(watch);
    QCOMPARE(m_dialogs.reports, 0);
    QCOMPARE(loads, 3);
    QCOMPARE(site.requests(site.listing(Mode::NewLayout, 4)), 0);
    const QUrl third = site.listing(Mode::NewLayout, 3);
    QCOMPARE(
        m_dialogs.shown,
        QStringList{QStringLiteral("verification:") + third.toString() +
                    QStringLiteral(" Le site ne montre plus de fiches sous la forme attendue (vérification "
                                   "demandée, ou pages modifiées) : la récolte s'est arrêtée sur la page ") +
                    third.toString() + QStringLiteral(" (aucune fiche reconnue sur la page)\n\n") +
                    QString::fromUtf8(messages::kVerificationLayoutAdvice)});
    QCOMPARE(m_form->harvestRun()->Report().end, RunEnd::Blocked);
    QCOMPARE(table.RowCount(), 1);
    QCOMPARE(Name(*m_form, 0), QStringLiteral("Ligne gardee"));
    QCOMPARE(m_form->runStatus(), QString());
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
    for (QWidget* top : QApplication::topLevelWidgets())
      QVERIFY2(!top->isVisible(), qPrintable(top->objectName()));
    QCOMPARE(m_dialogs.reports, 0);  // the run's end is no error
    // The window's browsers are gone with it, and nothing waits any more.
    m_form.reset();
  }
};

VANTRELIS_GUI_TEST_MAIN(HarvestWindowTest)
#include "harvest_window_test.moc"
