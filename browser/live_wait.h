// The nested event loops of the harvest's waits and pauses: the window
// keeps handling input, painting and timers while the run waits.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QEventLoop;

namespace vantrelis {

// Runs on the GUI thread. Waits may nest (a command run inside a wait can
// wait in turn); wake() and abort() reach all of them.
class LiveWait : public QObject {
  Q_OBJECT

 public:
  explicit LiveWait(QObject* parent = nullptr);
  ~LiveWait() override;

  // Handles events until `done()` holds, asking it again after every wake()
  // and at the time `nextWake()` gives (milliseconds of `now()`). Does not
  // return while a mouse button is held down over the application's windows
  // (up to kHeldButtonLimitMs), so that a click pressed in a wait is also
  // released, and its command run, in it. False once aborted.
  bool run(const std::function<bool()>& done, const std::function<std::optional<int64_t>()>& nextWake,
           const std::function<int64_t()>& now);
  // Makes every running wait ask its condition again.
  void wake();
  // Ends every running wait and makes every later run() return false.
  void abort();
  bool aborted() const { return m_aborted; }

  // The longest a held mouse button keeps a finished wait going.
  static constexpr int kHeldButtonLimitMs = 10'000;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Running {
    QEventLoop* loop;
    bool* woke;
  };
  std::vector<Running> m_running;
  bool m_aborted = false;
  int m_watchingRelease = 0;
};

}  // namespace vantrelis
