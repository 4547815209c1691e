// The owner of one open file descriptor, closed when the owner goes.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace vantrelis {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  // The descriptor, -1 when none is held.
  int get() const { return m_fd; }
  // Closes the one held (if any) and holds `fd` instead.
  void reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }
  // Gives up the descriptor without closing it.
  int release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }
  // Closes now; the error number of a failed close(2), else 0.
  int Close() {
    const int fd = m_fd;
    m_fd = -1;
    if (fd < 0 || ::close(fd) == 0) return 0;
    return errno;
  }

 private:
  int m_fd;
};

}  // namespace vantrelis
