// The navigation state of one embedded browser: what was asked of it, what
// its engine has reported since, and whether a wait for it is over. Fed by
// the engine's events and read against an injected clock, so the browser
// adapter only translates events and the rules are tested without an engine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "harvest/clock.h"
#include "harvest/page_error.h"

namespace vantrelis {

// The longest any wait for a browser lasts: a page to complete, or the
// page's renderer to answer a script.
inline constexpr int64_t kWaitLimitMilliseconds = 30'000;

// How the engine reported the end of a load.
enum class LoadEnd { Succeeded, Failed, Stopped };

struct LoadReport {
  std::string url;
  LoadEnd end = LoadEnd::Succeeded;
  int32_t httpStatus = 0;  // the response's status, 0 when none came
  std::string errorText;   // the engine's text for a failure
};

enum class WaitState { Waiting, Ready, Failed, Aborted };
enum class ScriptState { Pending, Answered, NoAnswer, RendererGone, Aborted };

class NavigationTracker {
 public:
  // `waitLimit`: the length of every wait (kWaitLimitMilliseconds but in tests).
  explicit NavigationTracker(Clock& clock, int64_t waitLimit = kWaitLimitMilliseconds);

  // The program asks for `url`; false, with the fault RefusedAddress, unless
  // it is an http or https address (nothing is to be loaded then).
  bool Request(const std::string& url);
  // The address `url` was not handed to the engine (`why`: French text).
  void Refuse(const std::string& url, const std::string& why);
  // A clicked link will load `target` in this page; a click that after all
  // loads nothing counts as done after kClickNoStartMilliseconds.
  void ClickRequested(const std::string& target);
  // A click whose effect only the page's scripts know: a load may follow
  // within `milliseconds` of waiting (kPossibleLoadMilliseconds unless
  // told), or not.
  void ClickMayLoad(int64_t milliseconds = kPossibleLoadMilliseconds);

  // A load of the page started (the program's, the person's or the page's own).
  void LoadStarted(const std::string& url);
  // A load ended: with a document, with an error page, or stopped without one.
  void LoadEnded(const LoadReport& report);
  // A navigation turned into a download, which was refused.
  void DownloadStarted(const std::string& url);
  // The engine declined a navigation that the page itself asked for.
  void NavigationRefused(const std::string& url);
  // The renderer process of the page ended, whatever the reason.
  void RendererGone();
  // A script was sent to the page; its answer is told with ScriptAnswered.
  uint64_t ScriptSent();
  void ScriptAnswered(uint64_t ticket);
  // Ends every wait; every later wait and script is Aborted at once.
  void Abort();
  bool Aborted() const { return m_aborted; }

  // Starts the time limit of a wait for the page.
  void BeginWait();
  // Brings the wait up to the clock's time (a limit that passed ends it,
  // a click that started nothing counts as done) and tells where it stands:
  // Ready once the last navigation has ended with a document, Failed with
  // Problem() set, Waiting otherwise.
  WaitState UpdateWait();
  // Brings the script's state up to the clock's time (a limit that passed
  // marks the renderer as maybe hung) and tells it.
  ScriptState UpdateScript(uint64_t ticket);
  // Drops the record of a script whose state was read.
  void ForgetScript(uint64_t ticket);
  // The clock time at which UpdateWait() or UpdateScript() may change without any
  // event (a limit expires), if there is one.
  std::optional<int64_t> NextWake() const;

  // Why the last navigation cannot be read, if it cannot.
  const std::optional<PageProblem>& Problem() const { return m_problem; }
  // A navigation is asked for or in progress (no time limit applied).
  bool Busy() const;
  // 0 never loaded anything, 1 loading or failed, 4 complete.
  int32_t ReadyState() const;
  // A wait or a script ran out of time with no sign of life since: the
  // renderer may be stuck in a script and should be replaced.
  bool MayBeHung() const { return m_mayBeHung; }
  int64_t WaitLimit() const { return m_waitLimit; }

  // Called after every event and request, so that a waiting loop wakes.
  void SetListener(std::function<void()> listener) { m_listener = std::move(listener); }

  // A click expected to load may not: after this long without the load's
  // start, it is taken to have loaded nothing.
  static constexpr int64_t kClickNoStartMilliseconds = 10'000;
  // A click whose effect only scripts know counts as loading this long.
  static constexpr int64_t kPossibleLoadMilliseconds = 500;
  // A load that the engine stopped is followed, this soon, by the download
  // it turned into or by the load that replaced it.
  static constexpr int64_t kStoppedGraceMilliseconds = 250;

 private:
  enum class Pending { None, Request, Click, Possible };

  struct ScriptRecord {
    int64_t sentAt = 0;
    uint64_t rendererEpoch = 0;
    bool answered = false;
    bool sentToDeadRenderer = false;
  };

  void StartNavigation(Pending kind, const std::string& url);
  void Supersede();
  void ApplyEnd(const LoadReport& report);
  void Alive() { m_mayBeHung = false; }
  void Notify();
  std::string PendingUrl() const;
  bool IsSuperseded(const std::string& url);

  Clock& m_clock;
  int64_t m_waitLimit;
  std::function<void()> m_listener;
  bool m_aborted = false;
  bool m_everLoaded = false;
  bool m_mayBeHung = false;

  Pending m_pending = Pending::None;
  std::string m_pendingUrl;
  int64_t m_pendingSince = 0;
  std::optional<int64_t> m_possibleFirstCheck;
  int64_t m_possibleFor = kPossibleLoadMilliseconds;

  bool m_loading = false;
  std::string m_loadUrl;
  // The navigation under way was asked for by the program (a request or a
  // click), not started by the person or the page itself.
  bool m_programNavigation = false;
  // Loads replaced by a later request, whose late end reports are ignored.
  std::vector<std::string> m_superseded;
  std::optional<int64_t> m_stoppedUntil;

  std::optional<PageProblem> m_problem;
  std::optional<int64_t> m_waitDeadline;

  uint64_t m_rendererEpoch = 0;
  // The renderer died and no load has started a new one since.
  bool m_rendererDead = false;
  uint64_t m_nextTicket = 1;
  std::map<uint64_t, ScriptRecord> m_scripts;
};

}  // namespace vantrelis
