// The time of the harvest and its fixed pauses.
#pragma once

#include <cstdint>
#include <functional>

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
  // Pauses as Pause does, but ends early, returning false, once `stop()`
  // holds; it is asked again whenever Wake() is called.
  virtual bool PauseUnless(int64_t milliseconds, const std::function<bool()>& stop) = 0;
  // Makes a running pause ask its stop condition again.
  virtual void Wake() {}
  // Milliseconds since an arbitrary start, never going back.
  virtual int64_t NowMilliseconds() = 0;
};

}  // namespace vantrelis
