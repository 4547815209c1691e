// The time of the harvest and its fixed pauses.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace vantrelis {

// The browsers were aborted (the window closes, the command was told to
// stop) while an operation waited: not an error to report, the run ends.
class BrowserAborted : public std::runtime_error {
 public:
  BrowserAborted() : std::runtime_error("browser operation aborted: application closing") {}
};

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
