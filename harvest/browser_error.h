// A browser operation that failed.
#pragma once

#include <stdexcept>

namespace vantrelis {

// A browser operation that failed; the message is shown to the user.
class BrowserError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vantrelis
