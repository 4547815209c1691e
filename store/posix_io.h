// Small helpers around calls to the system: retrying those a signal may
// interrupt before they did anything, reading and writing whole ranges of
// a file, telling two files apart.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

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

// Returns how many of `size` bytes at `offset` were read into `data`: fewer
// only at the end of the file or on a failure, which leaves errno set.
inline size_t ReadFullAt(int fd, void* data, size_t size, uint64_t offset) {
  auto* to = static_cast<char*>(data);
  size_t got = 0;
  while (got < size) {
    const ssize_t n =
        RetryOnInterrupt([&] { return ::pread(fd, to + got, size - got, static_cast<off_t>(offset + got)); });
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

// Returns 0 once all `size` bytes of `data` are written at `offset`, else
// the errno of the failure (ENOSPC when the system wrote nothing), which
// errno also holds.
inline int WriteFullAt(int fd, const void* data, size_t size, uint64_t offset) {
  const auto* from = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = RetryOnInterrupt([&] { return ::pwrite(fd, from, size, static_cast<off_t>(offset)); });
    if (n < 0) return errno;
    if (n == 0) {
      errno = ENOSPC;
      return ENOSPC;
    }
    from += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return 0;
}

// True when both describe the same file.
inline bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace vantrelis
