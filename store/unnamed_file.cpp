#include "store/unnamed_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vantrelis {

int OpenUnnamedFile(int folder, int flags) {
  return ::openat(folder, ".", O_TMPFILE | flags | O_CLOEXEC, 0600);
}

bool UnnamedFilesUnsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

bool LinkUnnamedFile(int fd, int folder, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno == EEXIST) return false;
  // Without /proc, naming an unnamed file takes the descriptor itself (a
  // privilege ordinary users lack).
  return ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0;
}

}  // namespace vantrelis
