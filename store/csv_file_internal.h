// Seams of the CSV file code that tests use to provoke failures.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace vantrelis::csv_internal {

// Writes bytes to a file descriptor as write(2) does.
using WriteFunction = ssize_t (*)(int fd, const void* data, size_t size);

// Replaces the function through which saving writes its bytes; nullptr
// restores write(2).
void SetWriteFunction(WriteFunction function);

// Reads files in blocks of `size` bytes, so that tests can split lines
// anywhere; 0 restores the usual size.
void SetReadBlockSize(size_t size);

}  // namespace vantrelis::csv_internal
