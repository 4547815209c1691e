// The harvest's clock on the real time of the machine.
#pragma once

#include "harvest/browser.h"

// Sleeps block the calling thread outright: no event is processed meanwhile.
class RealClock : public vantrelis::Clock {
 public:
  // Blocks the calling thread for `milliseconds` (nothing when 0 or less).
  void Sleep(int32_t milliseconds) override;
  // Milliseconds of a monotonic clock (steady_clock).
  int64_t NowMilliseconds() override;
};
