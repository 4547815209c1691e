// SIGINT and SIGTERM as a request to stop, for vantrelis-batch: the first
// one stops the harvest, the command still finishes its other options, and
// it then exits with the signal's status.
#pragma once

namespace vantrelis {

class StopSignals {
 public:
  // Routes SIGINT and SIGTERM to a stop request while it lives (every
  // further signal is only noted: the files being written are completed);
  // the former handlers come back afterwards.
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first stop signal received while one lived (SIGINT or SIGTERM), 0 if none.
  static int Received();
  // A descriptor that becomes readable when a stop signal arrives (for an
  // event loop's notifier); -1 while no StopSignals lives.
  static int WakeDescriptor();
  // Drains the descriptor after it became readable.
  static void Drain();
  // The exit status for a command stopped by `signal`: 128 + its number.
  static int ExitStatus(int signal) { return 128 + signal; }
};

}  // namespace vantrelis
