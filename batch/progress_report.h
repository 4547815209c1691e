// What a harvest of vantrelis-batch writes on its error output while it
// runs: one line per listing on a pipe or in a file; on a terminal, one
// progress line rewritten in place, and lines of their own only for the
// listings that were skipped.
#pragma once

#include <iosfwd>
#include <string>

#include "harvest/harvest_run.h"

namespace vantrelis {

// The line of a listing the run is done with: the run's status text (as
// the window's status bar shows it), then the listing's name, or why it
// was skipped and its address, or that its row was in the table already.
std::string ListingLine(const HarvestProgress& progress);

class ProgressReport {
 public:
  // Writes on `out`; `terminal`: `out` is a terminal `columns` wide (0 when
  // the width is not known), where the progress line is cut to fit.
  ProgressReport(std::ostream& out, bool terminal, int columns = 0);
  // Clears the progress line.
  ~ProgressReport();
  ProgressReport(const ProgressReport&) = delete;
  ProgressReport& operator=(const ProgressReport&) = delete;

  // Tells one event of the run.
  void Tell(const HarvestProgress& progress);
  // Clears the progress line on a terminal, so that the next line written
  // starts on an empty one; nothing elsewhere.
  void Clear();

  // Whether standard error is a terminal, and its width (0 when unknown).
  static bool StandardErrorIsTerminal(int& columns);

 private:
  void Show(const std::string& text);
  void Line(const std::string& text);

  std::ostream& m_out;
  bool m_terminal;
  int m_columns;
  bool m_shown = false;  // a progress line is on the terminal
};

}  // namespace vantrelis
