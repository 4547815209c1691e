#include "browser/live_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>

#include "text/scope_guard.h"

namespace vantrelis {
namespace {

bool MouseButtonHeld() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr &&
         QGuiApplication::mouseButtons() != Qt::NoButton;
}

}  // namespace

LiveWait::LiveWait(QObject* parent) : QObject(parent) {
  if (auto* app = QCoreApplication::instance())
    connect(app, &QCoreApplication::aboutToQuit, this, &LiveWait::abort);
}

LiveWait::~LiveWait() { abort(); }

bool LiveWait::run(const std::function<bool()>& done, const std::function<std::optional<int64_t>()>& nextWake,
                   const std::function<int64_t()>& now) {
  QElapsedTimer held;
  for (;;) {
    if (m_aborted) return false;
    const bool finished = done();
    bool holding = false;
    if (finished) {
      if (!MouseButtonHeld()) return true;
      if (!held.isValid()) held.start();
      if (held.elapsed() >= kHeldButtonLimitMs) return true;
      holding = true;
    }
    QEventLoop loop;
    bool woke = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, [&] {
      woke = true;
      loop.quit();
    });
    if (holding) {
      // Only the release is awaited now; the filter wakes the wait.
      timer.start(static_cast<int>(kHeldButtonLimitMs - held.elapsed()));
    } else if (const std::optional<int64_t> at = nextWake()) {
      timer.start(static_cast<int>(std::clamp<int64_t>(*at - now(), 0, int64_t{24} * 3600 * 1000)));
    }
    if (holding && m_watchingRelease++ == 0) QCoreApplication::instance()->installEventFilter(this);
    m_running.push_back(Running{&loop, &woke});
    {
      const ScopeGuard leave([&] {
        m_running.erase(std::find_if(m_running.begin(), m_running.end(),
                                     [&](const Running& r) { return r.loop == &loop; }));
        if (holding && --m_watchingRelease == 0) QCoreApplication::instance()->removeEventFilter(this);
      });
      loop.exec();
    }
    if (!woke && !m_aborted) {
      // The loop ended with neither a wake nor its timer: the application
      // is quitting.
      m_aborted = true;
    }
  }
}

void LiveWait::wake() {
  for (const Running& running : m_running) {
    *running.woke = true;
    running.loop->quit();
  }
}

void LiveWait::abort() {
  m_aborted = true;
  for (const Running& running : m_running) running.loop->quit();
}

bool LiveWait::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    // Handled first, then the waits look again: the click's command has run.
    // A timer, not a posted call: posted calls do not reach a loop nested in
    // the handler of another posted call.
    QTimer::singleShot(1, Qt::PreciseTimer, this, &LiveWait::wake);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vantrelis
