// Files made without a name in a folder (O_TMPFILE) and named only once
// complete, so that no one ever sees them half written: the safe save and
// the session journal both make their files so.
#pragma once

#include <string>

namespace vantrelis {

// Opens a new unnamed regular file of mode 0600 in the open folder `folder`
// with the access `flags` (O_WRONLY or O_RDWR); -1 with errno on failure.
int OpenUnnamedFile(int folder, int flags);

// Whether a failure of OpenUnnamedFile with `error` means that the file
// system has no unnamed files (a named temporary file must serve instead).
bool UnnamedFilesUnsupported(int error);

// Gives the unnamed file `fd` the name `name` in the open folder `folder`;
// false with errno (EEXIST when the name is taken) on failure.
bool LinkUnnamedFile(int fd, int folder, const std::string& name);

}  // namespace vantrelis
