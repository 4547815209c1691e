// The time of the harvest and its fixed pauses.
#pragma once

#include <cstdint>

#include "harvest/browser_aborted.h"

namespace vantrelis {

// Milliseconds of a monotonic clock, and the run's fixed pauses.
class Clock {
 public:
  virtual ~Clock() = default;
  // Pauses `milliseconds` while the window lives: events are handled
  // meanwhile. Ends early only when the browsers are aborted, by throwing
  // BrowserAborted.
  virtual void Pause(int32_t milliseconds) = 0;
  // Milliseconds since an arbitrary start, never going back.
  virtual int64_t NowMilliseconds() = 0;
};

}  // namespace vantrelis
