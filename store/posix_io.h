// Calls to the system that a signal may interrupt before they did anything.
#pragma once

#include <cerrno>

namespace vantrelis {

// Runs `call` (a system call returning a negative value on failure) again
// for as long as it fails with EINTR; returns its last result, errno set as
// it left it.
template <typename Call>
auto RetryOnInterrupt(Call&& call) -> decltype(call()) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

}  // namespace vantrelis
