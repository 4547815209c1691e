#include "batch/progress_report.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <ctime>
#include <ostream>

#include "text/codepage.h"

namespace vantrelis {
namespace {

// Back to the start of the line, and the line cleared from there.
constexpr const char* kRewind = "\r\x1b[K";

// `text` (UTF-8) cut to `columns` characters at most, each character taken
// as one column wide.
std::string FitTo(const std::string& text, int columns) {
  if (columns <= 0) return text;
  int characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A character starts at every byte that does not continue one.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > columns) {
      return text.substr(0, i);
    }
  }
  return text;
}

}  // namespace

std::string ListingLine(const HarvestProgress& progress) {
  std::string line = progress.StatusText() + " : ";
  if (!progress.skipped.empty()) {
    line += "ignorée, " + progress.url + " : " + progress.skipped;
  } else if (progress.alreadyHeld) {
    line += "déjà dans la table, passée (" + progress.url + ")";
  } else if (progress.name.empty()) {
    line += "(pas de fiche)";
  } else {
    line += Windows1252ToUtf8(progress.name);
  }
  return line;
}

ProgressReport::ProgressReport(std::ostream& out, bool terminal, int columns)
    : m_out(out), m_terminal(terminal), m_columns(columns) {}

ProgressReport::~ProgressReport() { Clear(); }

bool ProgressReport::StandardErrorIsTerminal(int& columns) {
  columns = 0;
  if (::isatty(STDERR_FILENO) == 0) return false;
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0) columns = size.ws_col;
  return true;
}

void ProgressReport::Tell(const HarvestProgress& progress) {
  switch (progress.step) {
    case HarvestProgress::Step::ListingStarted:
      if (m_terminal) Show(progress.StatusText());
      break;
    case HarvestProgress::Step::ListingDone:
      // On a terminal only a skipped listing keeps a line of its own.
      if (!m_terminal || !progress.skipped.empty()) {
        Line(ListingLine(progress));
      } else {
        Show(ListingLine(progress));
      }
      break;
    case HarvestProgress::Step::SiteWait: {
      const std::string text = SiteWaitText(progress, std::time(nullptr));
      if (m_terminal) {
        Show(text);
      } else {
        Line(text + " (" + progress.url + ")");
      }
      break;
    }
  }
}

void ProgressReport::Clear() {
  if (!m_shown) return;
  m_out << kRewind << std::flush;
  m_shown = false;
}

void ProgressReport::Show(const std::string& text) {
  // One column is kept free: a line that fills the terminal would wrap
  // before the next rewind, which then rewrites only its last part.
  m_out << kRewind << FitTo(text, m_columns - 1) << std::flush;
  m_shown = true;
}

void ProgressReport::Line(const std::string& text) {
  Clear();
  m_out << text << std::endl;
}

}  // namespace vantrelis
