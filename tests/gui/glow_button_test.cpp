// The grouped two-state buttons: clicks flip the down state, a button going
// down puts its group's others up, keys run the handler without any change.
#include <QWidget>

#include "app/glow_button.h"
#include "support/auto_dialogs.h"
#include "support/test_main.h"

using vantrelis::GlowButton;

namespace {

struct Counted {
  GlowButton* button;
  int runs = 0;
};

}  // namespace

class GlowButtonTest : public QObject {
  Q_OBJECT
 private:
  QWidget m_toolbar;
  QWidget m_commandBar;
  Counted m_harvest{nullptr};
  Counted m_pause{nullptr};
  Counted m_import{nullptr};
  Counted m_export{nullptr};
  Counted m_clear{nullptr};
  GlowButton* m_otherGroup = nullptr;

  void make(Counted& c, QWidget* parent, const char* name, int x, int group = 2) {
    c.button = new GlowButton(QString::fromLatin1(name), parent);
    c.button->setGroupIndex(group);
    c.button->setGeometry(x, 0, 169, 40);
    connect(c.button, &GlowButton::activated, this, [&c] { ++c.runs; });
  }
  void resetAll() {
    for (Counted* c : {&m_harvest, &m_pause, &m_import, &m_export, &m_clear}) {
      c->button->setStateDown(false);
      c->runs = 0;
    }
    m_otherGroup->setStateDown(false);
  }

 private slots:
  void initTestCase() {
    make(m_harvest, &m_toolbar, "Aspirer", 0);
    make(m_pause, &m_toolbar, "Pause", 168);
    make(m_import, &m_commandBar, "Importer", 0);
    make(m_export, &m_commandBar, "Exporter", 176);
    make(m_clear, &m_commandBar, "Effacer", 352);
    // Same parent, another group number: not part of the group.
    m_otherGroup = new GlowButton(QStringLiteral("Autre"), &m_toolbar);
    m_otherGroup->setGroupIndex(3);
    m_otherGroup->setGeometry(400, 0, 100, 40);
    m_toolbar.resize(600, 40);
    m_commandBar.resize(600, 40);
    m_toolbar.show();
    m_commandBar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_toolbar));
  }

  void init() { resetAll(); }

  void tooltipAndPictureSize() {
    QCOMPARE(m_harvest.button->toolTip(), QStringLiteral("Commencer la recherche"));
    QCOMPARE(m_harvest.button->iconSize(), QSize(32, 32));
  }

  void pauseTwiceWithdrawsTheRequest() {
    m_otherGroup->setStateDown(true);
    QTest::mouseClick(m_harvest.button, Qt::LeftButton);
    QVERIFY(m_harvest.button->isStateDown());
    QTest::mouseClick(m_pause.button, Qt::LeftButton);
    QVERIFY(m_pause.button->isStateDown());
    QVERIFY(!m_harvest.button->isStateDown());
    QCOMPARE(m_harvest.runs, 1);  // putting it up did not run its handler
    QTest::mouseClick(m_pause.button, Qt::LeftButton);
    QVERIFY(!m_pause.button->isStateDown());
    QCOMPARE(m_pause.runs, 2);
    // Groups are per number: the other-number button was never touched.
    QVERIFY(m_otherGroup->isStateDown());
    // Groups are per parent: the command bar is untouched.
    QCOMPARE(m_import.runs + m_export.runs + m_clear.runs, 0);
  }

  void clickWhileDownGoesUpAndStillRuns() {
    QTest::mouseClick(m_harvest.button, Qt::LeftButton);
    QTest::mouseClick(m_harvest.button, Qt::LeftButton);
    QVERIFY(!m_harvest.button->isStateDown());
    QCOMPARE(m_harvest.runs, 2);
  }

  void exporterThenImporter() {
    QTest::mouseClick(m_export.button, Qt::LeftButton);
    QTest::mouseClick(m_import.button, Qt::LeftButton);
    QVERIFY(m_import.button->isStateDown());
    QVERIFY(!m_export.button->isStateDown());
    QCOMPARE(m_export.runs, 1);
    QCOMPARE(m_import.runs, 1);
  }

  void pressReleasedOutsideDoesNothing() {
    QTest::mousePress(m_clear.button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(m_clear.button, Qt::LeftButton, {}, QPoint(500, 5));
    QVERIFY(!m_clear.button->isStateDown());
    QCOMPARE(m_clear.runs, 0);
    // A right click is no click either.
    QTest::mouseClick(m_clear.button, Qt::RightButton);
    QVERIFY(!m_clear.button->isStateDown());
    QCOMPARE(m_clear.runs, 0);
  }

  void keysRunWithoutChangingState() {
    QTest::mouseClick(m_export.button, Qt::LeftButton);
    m_import.button->setFocus();
    QTest::keyClick(m_import.button, Qt::Key_Space);
    QTest::keyClick(m_import.button, Qt::Key_Return);
    QTest::keyClick(m_import.button, Qt::Key_Enter);
    QCOMPARE(m_import.runs, 3);
    QVERIFY(!m_import.button->isStateDown());
    QVERIFY(m_export.button->isStateDown());
  }

  void handlerErrorIsReportedAndStateKept() {
    vantrelis::test_support::AutoDialogs dialogs;
    QWidget panel;
    auto* failing = new GlowButton(QStringLiteral("Échec"), &panel);
    failing->resize(100, 30);
    connect(failing, &GlowButton::activated, this,
            [] { throw std::runtime_error("Le fichier est verrouillé"); });
    panel.show();
    QTest::mouseClick(failing, Qt::LeftButton);
    QCOMPARE(dialogs.reports, 1);
    QCOMPARE(dialogs.lastReportText, QStringLiteral("Le fichier est verrouillé."));
    QVERIFY(failing->isStateDown());
  }
};

VANTRELIS_GUI_TEST_MAIN(GlowButtonTest)
#include "glow_button_test.moc"
