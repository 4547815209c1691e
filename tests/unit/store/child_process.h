// Runs part of a test in a child process: to kill it mid-way, to give it a
// small private file system that fills up, or to run it as an ordinary user
// (the tests run as root, for whom no file is read-only).
#pragma once

#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <functional>
#include <string>

namespace vantrelis::test_support {

inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNoGroup = 65534;

// What the child reported: its exit status and the text `body` returned
// (or "exception: ..." when it threw).
struct ChildResult {
  int status = -1;
  std::string report;
  bool Skipped() const { return report.starts_with("skip: "); }
};

// Runs `body` in a forked child and waits for it.
inline ChildResult RunInChild(const std::function<std::string()>& body) {
  int channel[2];
  if (::pipe(channel) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(channel[0]);
    std::string report;
    try {
      report = body();
    } catch (const std::exception& e) {
      report = std::string("exception: ") + e.what();
    } catch (...) {
      report = "exception";
    }
    (void)!::write(channel[1], report.data(), report.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  ChildResult result;
  char block[4096];
  ssize_t n;
  while ((n = ::read(channel[0], block, sizeof block)) > 0)
    result.report.append(block, static_cast<size_t>(n));
  ::close(channel[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = status;
  return result;
}

// In the child: mounts a tmpfs of `kilobytes` on `folder` in a mount
// namespace of its own, gone with the child. Empty on success, else why not.
inline std::string MountSmallDisk(const std::string& folder, int kilobytes) {
  if (::unshare(CLONE_NEWNS) != 0) return "skip: no private mount namespace here";
  if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return "skip: mounts cannot be made private";
  const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0700";
  if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
    return "skip: no tmpfs can be mounted";
  return {};
}

// In the child: goes on as the user nobody when running as root. Empty on
// success (or when already an ordinary user), else why not.
inline std::string BecomeOrdinaryUser() {
  if (::geteuid() != 0) return {};
  if (::setgroups(0, nullptr) != 0 || ::setgid(kNoGroup) != 0 || ::setuid(kNobody) != 0) {
    return "skip: cannot become the user nobody";
  }
  return {};
}

}  // namespace vantrelis::test_support
