#include "store/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vantrelis {

std::string HomeFolder() {
  if (const char* h = std::getenv("HOME"); h != nullptr && h[0] != '\0') return h;
  if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr)
    return user->pw_dir;
  return {};
}

std::string ProgramFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return std::string(value) + "/vantrelis";
  return HomeFolder() + "/" + fallback + "/vantrelis";
}

bool MakePrivateFolders(const std::string& folder) {
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return false;
  if (!S_ISDIR(info.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) (void)::chmod(folder.c_str(), 0700);
  return true;
}

}  // namespace vantrelis
