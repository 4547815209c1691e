// Saving a file: an unnamed file (O_TMPFILE) in the target's folder is
// written, made durable and only then linked into place; where the file
// system has no unnamed files, a temporary name locked by its writer is used,
// and later saves into that folder remove such names once their writer is
// gone.
#include "store/save_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <string_view>

#include "store/file_descriptor.h"
#include "store/unnamed_file.h"
#include "text/ascii.h"

namespace vantrelis {
namespace {

bool g_unnamedDisabled = false;

// A temporary name older than this whose writer's process id is in use again
// by another program is also stale.
constexpr time_t kStaleAfterSeconds = 600;
constexpr std::string_view kTempMarker = ".vantrelis-";
constexpr std::string_view kTempSuffix = ".tmp";

[[noreturn]] void CannotCreate(const std::string& path, const std::string& reason) {
  throw FileError("Impossible de créer le fichier " + path + " : " + reason);
}

[[noreturn]] void CannotWrite(const std::string& path, int error) {
  throw FileError("Erreur d'écriture dans le flux du fichier " + path + " : " + FileErrorReason(error));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file that opening `path` would write: symbolic links followed to their
// end, also to a target that does not exist yet.
std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string link(4096, '\0');
    const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n < 0) return current;
    link.resize(static_cast<size_t>(n));
    if (link.starts_with('/')) {
      current = link;
    } else {
      const size_t slash = current.rfind('/');
      current = slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
    }
  }
  errno = ELOOP;
  return {};
}

// The mode a new file gets: 0666 less the process's umask.
mode_t NewFileMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("Umask:")) {
      const unsigned long mask = std::strtoul(line.c_str() + 6, nullptr, 8);
      return static_cast<mode_t>(0666 & ~mask);
    }
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~mask;
}

std::string TempName(const std::string& base) {
  static std::mt19937_64 random(std::random_device{}() ^ static_cast<uint64_t>(::getpid()) << 32);
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, "%s%d-%012llx%s", kTempMarker.data(), static_cast<int>(::getpid()),
                static_cast<unsigned long long>(random() & 0xffffffffffffULL), kTempSuffix.data());
  // The target's name, shortened so that the whole name always fits.
  return "." + base.substr(0, 180) + suffix;
}

// The writer's process id of a temporary name made by a save, or 0 when
// `name` is not one.
pid_t TempWriter(std::string_view name) {
  if (!name.starts_with('.') || !name.ends_with(kTempSuffix)) return 0;
  const size_t marker = name.rfind(kTempMarker);
  if (marker == std::string_view::npos) return 0;
  std::string_view rest = name.substr(marker + kTempMarker.size());
  rest.remove_suffix(kTempSuffix.size());
  const size_t dash = rest.find('-');
  if (dash == std::string_view::npos || dash == 0 || rest.size() - dash != 13) return 0;
  pid_t pid = 0;
  for (char c : rest.substr(0, dash)) {
    if (!IsAsciiDigit(c)) return 0;
    pid = pid * 10 + (c - '0');
  }
  for (char c : rest.substr(dash + 1)) {
    if (!IsAsciiDigit(c) && !(c >= 'a' && c <= 'f')) return 0;  // lower-case hexadecimal only
  }
  return pid;
}

// Removes the temporary names of earlier saves into this folder whose
// writer is gone: no lock held on them, and their process ended (or the
// name is old enough for its process id to have been reused).
void RemoveStaleTemporaries(int folder) {
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* dir = ::fdopendir(listing);
  if (dir == nullptr) {
    ::close(listing);
    return;
  }
  const time_t now = std::time(nullptr);
  while (dirent* entry = ::readdir(dir)) {
    const pid_t writer = TempWriter(entry->d_name);
    if (writer <= 0) continue;
    FileDescriptor fd(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;  // its writer is at work
    const bool running = ::kill(writer, 0) == 0 || errno == EPERM;
    if (running && now - info.st_mtime < kStaleAfterSeconds) continue;  // may be about to lock it
    (void)::unlinkat(folder, entry->d_name, 0);
  }
  ::closedir(dir);
}

// Writes straight into a target that is not a regular file (a pipe, a device).
void SaveDirect(const std::string& path, const std::string& target,
                const std::function<void(const SaveTarget&)>& write) {
  FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) CannotCreate(path, FileErrorReason(errno));
  write(SaveTarget{fd.get(), target, {}});
  if (const int error = fd.Close()) CannotWrite(path, error);
}

// The new file while it is written: removes its temporary name, if it has
// one, unless it was put in place.
class NewFile {
 public:
  NewFile(int folder, const std::string& path) : m_folder(folder), m_path(path) {}
  ~NewFile() {
    m_fd.reset(-1);
    if (!m_tempName.empty()) (void)::unlinkat(m_folder, m_tempName.c_str(), 0);
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Opens the new file unnamed, or under a locked temporary name where the
  // file system cannot.
  void Open(const std::string& base) {
    if (!g_unnamedDisabled) {
      m_fd.reset(OpenUnnamedFile(m_folder, O_WRONLY));
      if (m_fd.get() >= 0) {
        // Locked as a named temporary is, for the moment it has a name.
        (void)::flock(m_fd.get(), LOCK_EX);
        m_unnamed = true;
        return;
      }
      if (!UnnamedFilesUnsupported(errno)) CannotCreate(m_path, FileErrorReason(errno));
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = TempName(base);
      m_fd.reset(::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
      if (m_fd.get() >= 0) {
        m_tempName = name;
        (void)::flock(m_fd.get(), LOCK_EX);
        return;
      }
      if (errno != EEXIST) break;
    }
    CannotCreate(m_path, FileErrorReason(errno));
  }

  int fd() const { return m_fd.get(); }
  // A name that opens this very file.
  std::string Name(const std::string& folderPath) const {
    if (m_unnamed) return "/proc/self/fd/" + std::to_string(m_fd.get());
    return folderPath + "/" + m_tempName;
  }

  // Gives the complete file the name `base`, durably.
  void PutInPlace(const std::string& base, bool targetExists) {
    if (::fsync(m_fd.get()) != 0) CannotWrite(m_path, errno);
    if (m_unnamed) {
      // A new target can take the file's name at once; an existing one is
      // replaced by a rename from a temporary name.
      if (!targetExists && Link(base)) {
        SyncFolder();
        Finish();
        return;
      }
      for (int attempt = 0; m_tempName.empty(); ++attempt) {
        const std::string name = TempName(base);
        if (Link(name)) {
          m_tempName = name;
        } else if (errno != EEXIST || attempt >= 100) {
          CannotCreate(m_path, FileErrorReason(errno));
        }
      }
      SyncFolder();
    }
    if (::renameat(m_folder, m_tempName.c_str(), m_folder, base.c_str()) != 0) {
      CannotCreate(m_path, FileErrorReason(errno));
    }
    m_tempName.clear();
    SyncFolder();
    Finish();
  }

 private:
  bool Link(const std::string& name) { return LinkUnnamedFile(m_fd.get(), m_folder, name); }

  void SyncFolder() {
    if (::fsync(m_folder) != 0 && errno != EINVAL) CannotWrite(m_path, errno);
  }

  void Finish() {
    if (const int error = m_fd.Close()) CannotWrite(m_path, error);
  }

  int m_folder;
  const std::string& m_path;
  FileDescriptor m_fd;
  std::string m_tempName;
  bool m_unnamed = false;
};

}  // namespace

std::string FileErrorReason(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "accès refusé";
    case ENOENT: return "dossier introuvable";
    case ENOTDIR: return "un élément du chemin n'est pas un dossier";
    case EISDIR: return "c'est un dossier";
    case ENOSPC: return "disque plein";
    case EDQUOT: return "quota disque dépassé";
    case EROFS: return "système de fichiers en lecture seule";
    case ENAMETOOLONG: return "nom de fichier trop long";
    case ELOOP: return "trop de liens symboliques";
    case EXDEV: return "dossier sur un autre système de fichiers";
    case EIO: return "erreur d'entrée-sortie du disque";
    case ETXTBSY:
    case EBUSY: return "fichier occupé";
    case EMFILE:
    case ENFILE: return "trop de fichiers ouverts";
    case ENOMEM: return "mémoire insuffisante";
    default: return "erreur système " + std::to_string(error);
  }
}

void SaveFile(const std::string& path, const std::function<void(const SaveTarget&)>& write) {
  if (path.empty()) CannotCreate(path, "nom de fichier vide");
  const std::string target = ResolveLinks(path);
  if (target.empty()) CannotCreate(path, FileErrorReason(errno));
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) CannotCreate(path, FileErrorReason(errno));
  if (exists && S_ISDIR(existing.st_mode)) CannotCreate(path, FileErrorReason(EISDIR));
  if (exists && !S_ISREG(existing.st_mode)) return SaveDirect(path, target, write);
  if (target.ends_with('/')) CannotCreate(path, FileErrorReason(EISDIR));
  if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    CannotCreate(path, (existing.st_mode & 0222) == 0 ? std::string("fichier en lecture seule")
                                                      : FileErrorReason(errno));
  }

  const std::string folderPath = FolderOf(target);
  const std::string base = BaseOf(target);
  FileDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) CannotCreate(path, FileErrorReason(errno));
  RemoveStaleTemporaries(folder.get());

  NewFile file(folder.get(), path);
  file.Open(base);
  struct stat made {};
  if (::fstat(file.fd(), &made) != 0) CannotCreate(path, FileErrorReason(errno));
  if (exists && (made.st_uid != existing.st_uid || made.st_gid != existing.st_gid) &&
      ::fchown(file.fd(), existing.st_uid, existing.st_gid) != 0) {
    // Only the owner's own or a privileged save may give the file back its
    // owner; anyone else would take the file away from them.
    CannotCreate(path, "son propriétaire et son groupe ne pourraient pas être conservés");
  }

  write(SaveTarget{file.fd(), file.Name(folderPath), folderPath});

  // The mode last, so that a writer that opened the name was not refused.
  (void)::fchmod(file.fd(), exists ? existing.st_mode & 07777 : NewFileMode());
  file.PutInPlace(base, exists);
}

namespace save_internal {
void SetUnnamedFilesDisabled(bool disabled) { g_unnamedDisabled = disabled; }
}  // namespace save_internal

}  // namespace vantrelis
