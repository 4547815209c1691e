// The waits and pauses that keep the window live: events are handled in
// them, a click pressed in one is released in it too, abort ends them.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "browser/live_wait.h"
#include "browser/real_clock.h"
#include "support/test_main.h"

using vantrelis::LiveWait;
using vantrelis::RealClock;

class LiveWaitTest : public QObject {
  Q_OBJECT

 private slots:
  void aPauseHandlesEventsAndAbortEndsIt() {
    RealClock clock;
    bool handled = false;
    QTimer::singleShot(0, this, [&] { handled = true; });
    clock.Pause(50);
    QVERIFY2(handled, "a timer due during the pause ran in it");

    QTimer::singleShot(0, this, [&] { clock.abort(); });
    QVERIFY_THROWS_EXCEPTION(vantrelis::BrowserAborted, clock.Pause(60'000));
    QVERIFY_THROWS_EXCEPTION(vantrelis::BrowserAborted, clock.Pause(1));
  }

  void aClickPressedInAWaitIsReleasedInIt() {
    QPushButton button(QStringLiteral("Pause"));
    button.resize(120, 40);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    bool clicked = false;
    connect(&button, &QPushButton::clicked, this, [&] { clicked = true; });

    // The press lands in the wait; the wait's condition then holds at
    // once, but the wait goes on until the release has been handled.
    LiveWait wait;
    bool pressed = false;
    QTimer::singleShot(0, this, [&] {
      QTest::mousePress(&button, Qt::LeftButton);
      pressed = true;
      wait.wake();
      QTimer::singleShot(0, this, [&] { QTest::mouseRelease(&button, Qt::LeftButton); });
    });
    const bool finished =
        wait.run([&] { return pressed; }, [] { return std::optional<int64_t>(); }, [] { return int64_t{0}; });
    QVERIFY(finished);
    QVERIFY2(clicked, "the wait returned between the press and the release");
  }

  void nestedWaitsAllEndOnAbort() {
    LiveWait wait;
    bool innerEnded = false;
    // Timer events (not posted calls) reach a loop nested in a handler.
    QTimer::singleShot(1, this, [&] {
      QTimer::singleShot(1, this, [&] { wait.abort(); });
      innerEnded =
          !wait.run([] { return false; }, [] { return std::optional<int64_t>(); }, [] { return int64_t{0}; });
    });
    QVERIFY(
        !wait.run([] { return false; }, [] { return std::optional<int64_t>(); }, [] { return int64_t{0}; }));
    QVERIFY(innerEnded);
  }
};

VANTRELIS_GUI_TEST_MAIN(LiveWaitTest)
#include "live_wait_test.moc"
