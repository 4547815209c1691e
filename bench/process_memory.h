// Resident memory of the benchmark process, read from /proc/self/status.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace vantrelis::bench {

// The value in kB of a /proc/self/status line such as "VmHWM:"; -1 if absent.
inline long ProcStatusKb(std::string_view key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
  }
  return -1;
}

// Peak resident memory of this process in kB.
inline long PeakRssKb() { return ProcStatusKb("VmHWM:"); }

// Current resident memory of this process in kB.
inline long CurrentRssKb() { return ProcStatusKb("VmRSS:"); }

}  // namespace vantrelis::bench
