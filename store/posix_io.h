// Small helpers around calls to the system: retrying those a signal may
// interrupt before they did anything, telling two files apart.
#pragma once

#include <sys/stat.h>

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

// True when both describe the same file.
inline bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace vantrelis
