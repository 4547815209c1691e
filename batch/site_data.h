// The browser profile the window and vantrelis-batch share on disk (the
// sites' cookies and storage, the HTTP cache): where it lives, the lock that
// gives it to one program at a time, and its removal
// (vantrelis-batch --forget-site-data).
#pragma once

#include <string>

namespace vantrelis {

// $XDG_DATA_HOME/vantrelis (an XDG_DATA_HOME that is not an absolute path is
// ignored), else ~/.local/share/vantrelis.
std::string SiteDataFolder();

// The lock of a site data folder, held while the object lives: any other
// holder, in this process or another, finds it busy. The lock goes with
// the process, so a program that crashed leaves no stale lock behind.
class SiteDataLock {
 public:
  enum class State {
    Held,    // this object holds the folder
    Busy,    // another program holds it
    Failed,  // the folder or its lock file cannot be made
  };

  // Creates `folder` (and the folders above it that are missing, 0700) and
  // takes its lock without waiting.
  explicit SiteDataLock(std::string folder);
  ~SiteDataLock();
  SiteDataLock(const SiteDataLock&) = delete;
  SiteDataLock& operator=(const SiteDataLock&) = delete;

  State state() const { return m_state; }
  bool Held() const { return m_state == State::Held; }
  const std::string& Folder() const { return m_folder; }
  // Why the lock is not held (French, naming the folder); empty when held.
  const std::string& Problem() const { return m_problem; }

  // Removes everything in the folder but the lock file; the lock must be
  // held. Throws std::runtime_error (French, naming the first entry that
  // could not be removed and why) after trying every entry.
  void EmptyFolder() const;

 private:
  std::string m_folder;
  int m_fd = -1;
  State m_state = State::Failed;
  std::string m_problem;
};

// The lock file's name inside the folder.
inline constexpr const char* kSiteDataLockName = "vantrelis.lock";

}  // namespace vantrelis
