#include "batch/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace vantrelis {
namespace {

volatile std::sig_atomic_t g_received = 0;
int g_pipe[2] = {-1, -1};
struct sigaction g_oldInt {};
struct sigaction g_oldTerm {};

extern "C" void OnStopSignal(int signal) {
  const int saved = errno;
  if (g_received == 0) g_received = signal;
  if (g_pipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
  }
  errno = saved;
}

}  // namespace

StopSignals::StopSignals() {
  g_received = 0;
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_pipe[0] = g_pipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_oldInt);
  sigaction(SIGTERM, &action, &g_oldTerm);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &g_oldInt, nullptr);
  sigaction(SIGTERM, &g_oldTerm, nullptr);
  for (int& end : g_pipe) {
    if (end >= 0) ::close(end);
    end = -1;
  }
}

int StopSignals::Received() { return g_received; }

int StopSignals::WakeDescriptor() { return g_pipe[0]; }

void StopSignals::Drain() {
  char bytes[64];
  while (g_pipe[0] >= 0 && ::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace vantrelis
