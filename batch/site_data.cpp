#include "batch/site_data.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "store/save_file.h"
#include "store/user_folders.h"

namespace vantrelis {
namespace {

std::string CannotPrepare(const std::string& folder, int error) {
  return "Impossible de préparer le dossier des données des sites " + folder + " (" + FileErrorReason(error) +
         ")";
}

}  // namespace

std::string SiteDataFolder() { return ProgramFolder("XDG_DATA_HOME", ".local/share"); }

SiteDataLock::SiteDataLock(std::string folder) : m_folder(std::move(folder)) {
  while (m_folder.size() > 1 && m_folder.back() == '/') m_folder.pop_back();
  if (!MakePrivateFolders(m_folder)) {
    m_problem = CannotPrepare(m_folder, errno);
    return;
  }
  const std::string path = m_folder + "/" + kSiteDataLockName;
  // Close-on-exec: the engine's helper processes must not hold the lock
  // after this program ends.
  m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (m_fd < 0) {
    m_problem = CannotPrepare(m_folder, errno);
    return;
  }
  if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
    m_state = State::Held;
    return;
  }
  const int error = errno;
  ::close(m_fd);
  m_fd = -1;
  if (error == EWOULDBLOCK) {
    m_state = State::Busy;
    m_problem = "Les données des sites de " + m_folder + " sont utilisées par un autre programme Vantrelis";
  } else {
    m_problem = CannotPrepare(m_folder, error);
  }
}

SiteDataLock::~SiteDataLock() {
  if (m_fd >= 0) ::close(m_fd);  // releases the lock
}

void SiteDataLock::EmptyFolder() const {
  if (!Held()) throw std::logic_error("SiteDataLock::EmptyFolder sans le verrou de " + m_folder);
  namespace fs = std::filesystem;
  std::string failure;
  auto note = [&failure](const std::string& what, const std::error_code& code) {
    if (failure.empty())
      failure = "Impossible d'effacer " + what + " (" + FileErrorReason(code.value()) + ")";
  };
  // Listed first, removed after: the listing does not change under the walk.
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator entry(m_folder, error), end; !error && entry != end; entry.increment(error)) {
    // The lock file stays: a program that opened it to wait for the lock
    // must hold the same file as the next one.
    if (entry->path().filename() != kSiteDataLockName) entries.push_back(entry->path());
  }
  if (error) note(m_folder, error);
  for (const fs::path& entry : entries) {
    std::error_code removal;
    fs::remove_all(entry, removal);
    if (removal) note(entry.string(), removal);
  }
  if (!failure.empty()) throw std::runtime_error(failure);
}

}  // namespace vantrelis
