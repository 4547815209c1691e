// The folders the program keeps its own files in, below the user's home.
#pragma once

#include <string>

namespace vantrelis {

// The user's home folder: $HOME, else the password database's; empty when
// neither tells.
std::string HomeFolder();

// `<$variable>/vantrelis` when the environment variable `variable` (such as
// XDG_STATE_HOME) holds an absolute path, else `<home>/<fallback>/vantrelis`.
std::string ProgramFolder(const char* variable, const char* fallback);

// Creates `folder` and the folders above it that are missing, each 0700,
// and makes the folder itself private (0700) when it is the user's; false
// with errno set when it cannot be made or is no folder.
bool MakePrivateFolders(const std::string& folder);

}  // namespace vantrelis
