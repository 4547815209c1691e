#include "store/journal_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "store/posix_io.h"
#include "store/user_folders.h"

namespace vantrelis {
namespace {

constexpr std::string_view kPrefix = "session-";
constexpr std::string_view kSuffix = ".journal";

std::string ParentOf(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : folder.substr(0, slash);
}

// Why a folder may not hold the journals, or empty when it may.
std::string Unfit(const std::string& path, const struct stat& info) {
  if (info.st_uid != ::geteuid()) return "le dossier " + path + " appartient à un autre utilisateur";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return "le dossier " + path + " peut être modifié par d'autres utilisateurs";
  }
  return {};
}

}  // namespace

std::string JournalFolder() { return ProgramFolder("XDG_STATE_HOME", ".local/state"); }

JournalFolderAccess OpenJournalFolder(const std::string& path, bool create) {
  JournalFolderAccess access;
  if (path.empty()) {
    access.error = ENOENT;
    return access;
  }
  if (create && !MakePrivateFolders(path)) {
    access.error = errno;
    return access;
  }
  // The parent first: whoever may write there could have put anything in
  // the folder's place.
  const std::string parent = ParentOf(path);
  struct stat parentInfo {};
  if (::stat(parent.c_str(), &parentInfo) != 0) {
    access.error = errno;
    return access;
  }
  struct stat homeInfo {};
  const std::string home = HomeFolder();
  const bool parentIsHome =
      !home.empty() && ::stat(home.c_str(), &homeInfo) == 0 && SameFile(parentInfo, homeInfo);
  if (!parentIsHome) {
    access.refusal = Unfit(parent, parentInfo);
    if (!access.refusal.empty()) return access;
  }
  FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat info {};
  if (folder.get() < 0 || ::fstat(folder.get(), &info) != 0) {
    access.error = errno;
    return access;
  }
  if (info.st_uid != ::geteuid()) {
    access.refusal = Unfit(path, info);
    return access;
  }
  // Ours but open to others: made private before anything is written or read.
  if ((info.st_mode & 077) != 0 && ::fchmod(folder.get(), 0700) != 0) {
    access.error = errno;
    return access;
  }
  access.fd = std::move(folder);
  return access;
}

std::string JournalFileName(const SessionId& id) {
  char name[96];
  std::snprintf(name, sizeof name, "%.*s%lld-%d-%08x%.*s", static_cast<int>(kPrefix.size()), kPrefix.data(),
                static_cast<long long>(id.started), id.pid, id.nonce, static_cast<int>(kSuffix.size()),
                kSuffix.data());
  return name;
}

bool IsJournalName(std::string_view name) { return name.starts_with(kPrefix) && name.ends_with(kSuffix); }

}  // namespace vantrelis
