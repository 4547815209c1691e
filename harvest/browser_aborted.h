// The end of a browser operation that was told to stop.
#pragma once

#include <stdexcept>

namespace vantrelis {

// The browsers were aborted (the window closes, the command was told to
// stop) while an operation waited: not an error to report, the run ends.
class BrowserAborted : public std::runtime_error {
 public:
  BrowserAborted() : std::runtime_error("browser operation aborted: application closing") {}
};

}  // namespace vantrelis
