// The harvest's clock on the real time of the machine.
#pragma once

#include <memory>

#include "harvest/clock.h"

namespace vantrelis {

class LiveWait;

// Pauses handle the application's events while they last (a live window);
// abort() ends a running pause and every later one at once.
class RealClock : public Clock {
 public:
  RealClock();
  ~RealClock() override;

  // Handles events for `milliseconds` (nothing when 0 or less); throws
  // BrowserAborted once abort() ran or the application quits.
  void Pause(int32_t milliseconds) override;
  bool PauseUnless(int64_t milliseconds, const std::function<bool()>& stop) override;
  void Wake() override;
  // Milliseconds of a monotonic clock (steady_clock).
  int64_t NowMilliseconds() override;
  // Ends the pauses: the window closes or the command was told to stop.
  void abort();

 private:
  std::unique_ptr<LiveWait> m_wait;
};

}  // namespace vantrelis
