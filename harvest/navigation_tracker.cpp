#include "harvest/navigation_tracker.h"

#include <algorithm>

#include "harvest/messages.h"
#include "text/link_url.h"

namespace vantrelis {
namespace {

std::string Seconds(int64_t milliseconds) { return std::to_string((milliseconds + 999) / 1000); }

}  // namespace

NavigationTracker::NavigationTracker(Clock& clock, int64_t waitLimit)
    : m_clock(clock), m_waitLimit(waitLimit) {}

void NavigationTracker::Notify() {
  if (m_listener) m_listener();
}

std::string NavigationTracker::PendingUrl() const {
  if (m_pending != Pending::None) return m_pendingUrl;
  return m_loadUrl;
}

void NavigationTracker::Supersede() {
  // Chromium may still report the end of the load that a new request
  // replaces: such a late report must not end the new one.
  if (m_loading && !m_loadUrl.empty()) m_superseded.push_back(m_loadUrl);
  if (m_superseded.size() > 8) m_superseded.erase(m_superseded.begin());
  m_loading = false;
}

bool NavigationTracker::IsSuperseded(const std::string& url) {
  const auto found = std::find_if(m_superseded.begin(), m_superseded.end(),
                                  [&](const std::string& old) { return SameAddress(old, url); });
  if (found == m_superseded.end()) return false;
  m_superseded.erase(found);
  return true;
}

void NavigationTracker::StartNavigation(Pending kind, const std::string& url) {
  Supersede();
  m_pending = kind;
  m_pendingUrl = url;
  m_pendingSince = m_clock.NowMilliseconds();
  m_possibleFirstCheck.reset();
  m_stoppedUntil.reset();
  m_problem.reset();
  m_everLoaded = true;
  m_programNavigation = true;
}

bool NavigationTracker::Request(const std::string& url) {
  const std::string scheme = AddressScheme(url);
  if (scheme != "http" && scheme != "https") {
    Refuse(url, scheme.empty() ? std::string(messages::kNoWebAddress)
                               : messages::kSchemeBefore + scheme + messages::kSchemeNotFollowed);
    return false;
  }
  StartNavigation(Pending::Request, url);
  Notify();
  return true;
}

void NavigationTracker::Refuse(const std::string& url, const std::string& why) {
  // Nothing is loaded: the page shown stays, and must not be read for this address.
  Supersede();
  m_pending = Pending::None;
  m_stoppedUntil.reset();
  m_problem = PageProblem{PageFault::RefusedAddress, url, why};
  Notify();
}

void NavigationTracker::ClickRequested(const std::string& target) {
  StartNavigation(Pending::Click, target);
  Notify();
}

void NavigationTracker::ClickMayLoad(int64_t milliseconds) {
  StartNavigation(Pending::Possible, std::string());
  m_possibleFor = milliseconds;
  Notify();
}

void NavigationTracker::LoadStarted(const std::string& url) {
  Alive();
  m_rendererDead = false;
  m_everLoaded = true;
  if (m_pending == Pending::None) {
    if (m_loading) Supersede();
    m_programNavigation = false;
  }
  // Whatever load starts now is what the request, the click or the page's
  // own script led to (redirects and scripts may change the address).
  m_pending = Pending::None;
  m_loading = true;
  m_loadUrl = url;
  m_stoppedUntil.reset();
  m_problem.reset();
  Notify();
}

void NavigationTracker::LoadEnded(const LoadReport& report) {
  Alive();
  if (m_pending == Pending::Request || m_pending == Pending::Click) {
    // Chromium may fold a load into its end report alone: a report on the
    // awaited address ends the wait for its start. Other reports are about
    // loads the request replaced.
    if (!SameAddress(report.url, m_pendingUrl)) {
      IsSuperseded(report.url);
      return;
    }
  } else if (m_loading) {
    if (!SameAddress(report.url, m_loadUrl) && IsSuperseded(report.url)) return;
  } else if (m_pending == Pending::None && IsSuperseded(report.url)) {
    return;
  }
  ApplyEnd(report);
  Notify();
}

void NavigationTracker::ApplyEnd(const LoadReport& report) {
  m_pending = Pending::None;
  m_loading = false;
  m_loadUrl = report.url;
  m_stoppedUntil.reset();
  switch (report.end) {
    case LoadEnd::Succeeded: m_problem.reset(); break;
    case LoadEnd::Failed:
      if (report.httpStatus >= 400) {
        m_problem = PageProblem{PageFault::HttpError, report.url, std::to_string(report.httpStatus)};
      } else {
        m_problem = PageProblem{PageFault::LoadFailed, report.url, report.errorText};
      }
      break;
    case LoadEnd::Stopped:
      // A load the person started (a link to a file, say) leaves the page
      // shown as it was.
      if (!m_programNavigation) {
        m_problem.reset();
        break;
      }
      // The engine gave up the load without a document of its own: a
      // download, or a load that another replaced, is told right after.
      m_problem = PageProblem{PageFault::LoadFailed, report.url, messages::kLoadInterrupted};
      m_stoppedUntil = m_clock.NowMilliseconds() + kStoppedGraceMilliseconds;
      break;
  }
}

void NavigationTracker::DownloadStarted(const std::string& url) {
  const bool navigating = m_pending != Pending::None || m_loading || m_stoppedUntil.has_value();
  // A download the shown page or the person started leaves the page as it was.
  if (!navigating || !m_programNavigation) return;
  Supersede();
  m_pending = Pending::None;
  m_loading = false;
  m_stoppedUntil.reset();
  m_problem = PageProblem{PageFault::Download, url, {}};
  Notify();
}

void NavigationTracker::NavigationRefused(const std::string& url) {
  // A clicked link the engine declined loads nothing: the click is done.
  if (m_pending == Pending::Click && SameAddress(url, m_pendingUrl)) {
    m_pending = Pending::None;
    Notify();
  }
}

void NavigationTracker::RendererGone() {
  ++m_rendererEpoch;
  m_rendererDead = true;
  m_mayBeHung = false;
  Supersede();
  m_pending = Pending::None;
  m_stoppedUntil.reset();
  m_problem = PageProblem{PageFault::RendererGone, m_loadUrl.empty() ? m_pendingUrl : m_loadUrl, {}};
  Notify();
}

uint64_t NavigationTracker::ScriptSent() {
  const uint64_t ticket = m_nextTicket++;
  m_scripts[ticket] = ScriptRecord{m_clock.NowMilliseconds(), m_rendererEpoch, false, m_rendererDead};
  return ticket;
}

void NavigationTracker::ScriptAnswered(uint64_t ticket) {
  Alive();
  if (auto script = m_scripts.find(ticket); script != m_scripts.end()) script->second.answered = true;
  Notify();
}

void NavigationTracker::Abort() {
  m_aborted = true;
  Notify();
}

void NavigationTracker::BeginWait() { m_waitDeadline = m_clock.NowMilliseconds() + m_waitLimit; }

WaitState NavigationTracker::UpdateWait() {
  if (m_aborted) return WaitState::Aborted;
  const int64_t now = m_clock.NowMilliseconds();
  if (m_stoppedUntil) {
    if (now < *m_stoppedUntil) return WaitState::Waiting;
    m_stoppedUntil.reset();
  }
  if (m_problem) return WaitState::Failed;
  if (m_pending == Pending::Click && now - m_pendingSince >= kClickNoStartMilliseconds) {
    m_pending = Pending::None;  // the click navigated nowhere after all
  }
  if (m_pending == Pending::Possible) {
    // Counted from the first look after the click, so that the fixed
    // pauses before the wait do not use it up.
    if (!m_possibleFirstCheck) m_possibleFirstCheck = now;
    if (now - *m_possibleFirstCheck >= m_possibleFor) m_pending = Pending::None;
  }
  if (m_pending == Pending::None && !m_loading) return WaitState::Ready;
  if (m_waitDeadline && now >= *m_waitDeadline) {
    m_problem = PageProblem{PageFault::TimedOut, PendingUrl(), Seconds(m_waitLimit)};
    m_mayBeHung = true;
    Supersede();
    m_pending = Pending::None;
    m_waitDeadline.reset();
    return WaitState::Failed;
  }
  return WaitState::Waiting;
}

ScriptState NavigationTracker::UpdateScript(uint64_t ticket) {
  if (m_aborted) return ScriptState::Aborted;
  const auto script = m_scripts.find(ticket);
  if (script == m_scripts.end()) return ScriptState::NoAnswer;
  if (script->second.answered) return ScriptState::Answered;
  if (script->second.rendererEpoch != m_rendererEpoch || script->second.sentToDeadRenderer) {
    return ScriptState::RendererGone;
  }
  if (m_clock.NowMilliseconds() - script->second.sentAt >= m_waitLimit) {
    m_mayBeHung = true;
    return ScriptState::NoAnswer;
  }
  return ScriptState::Pending;
}

void NavigationTracker::ForgetScript(uint64_t ticket) { m_scripts.erase(ticket); }

std::optional<int64_t> NavigationTracker::NextWake() const {
  std::optional<int64_t> wake;
  auto earliest = [&wake](int64_t at) {
    if (!wake || at < *wake) wake = at;
  };
  if (m_stoppedUntil) earliest(*m_stoppedUntil);
  if (m_pending == Pending::Click) earliest(m_pendingSince + kClickNoStartMilliseconds);
  if (m_pending == Pending::Possible) {
    earliest(m_possibleFirstCheck ? *m_possibleFirstCheck + m_possibleFor : m_clock.NowMilliseconds());
  }
  if (m_waitDeadline && (m_pending != Pending::None || m_loading)) earliest(*m_waitDeadline);
  for (const auto& [ticket, script] : m_scripts) {
    if (!script.answered && script.rendererEpoch == m_rendererEpoch && !script.sentToDeadRenderer) {
      earliest(script.sentAt + m_waitLimit);
    }
  }
  return wake;
}

bool NavigationTracker::Busy() const {
  return m_pending != Pending::None || m_loading || m_stoppedUntil.has_value();
}

int32_t NavigationTracker::ReadyState() const {
  if (!m_everLoaded) return 0;
  return Busy() || m_problem ? 1 : 4;
}

}  // namespace vantrelis
