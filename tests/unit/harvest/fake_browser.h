// A scriptable Browser and a Clock that never really waits, for driving
// the browser operations and the harvest run without a browser engine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "harvest/browser.h"
#include "harvest/browser_error.h"
#include "harvest/clock.h"
#include "harvest/page_error.h"

namespace vantrelis::test_support {

// Time moves only when someone pauses or a browser waits for its next event.
class FakeClock : public Clock {
 public:
  void Pause(int32_t milliseconds) override {
    if (aborted) throw BrowserAborted();
    pauses.push_back(milliseconds);
    now += milliseconds;
    if (auto hook = m_pauseHooks.find(static_cast<int32_t>(pauses.size())); hook != m_pauseHooks.end()) {
      hook->second();
    }
    if (aborted) throw BrowserAborted();
  }
  bool PauseUnless(int64_t milliseconds, const std::function<bool()>& stop) override {
    if (aborted) throw BrowserAborted();
    waits.push_back(milliseconds);
    if (m_waitHook) m_waitHook();
    if (aborted) throw BrowserAborted();
    if (stop()) return false;
    now += milliseconds;
    return true;
  }
  int64_t NowMilliseconds() override { return now; }
  // Runs `hook` at the start of every PauseUnless, as an event handled in it.
  void OnWait(std::function<void()> hook) { m_waitHook = std::move(hook); }
  // Runs `hook` during the pause with this number (1-based), as an event
  // handled in it.
  void OnPause(int32_t pause, std::function<void()> hook) { m_pauseHooks[pause] = std::move(hook); }

  int64_t now = 0;
  bool aborted = false;
  std::vector<int32_t> pauses;
  std::vector<int64_t> waits;  // those of PauseUnless

 private:
  std::map<int32_t, std::function<void()>> m_pauseHooks;
  std::function<void()> m_waitHook;
};

struct FakeLink {
  std::u16string innerHtml;
  std::string target;  // where a click navigates
  // A script link: the click's navigation starts only this long after it,
  // unknown to the browser until then.
  int32_t lateMilliseconds = 0;
};

struct FakePage {
  std::u16string body;  // the body's outer HTML
  std::vector<FakeLink> links;
};

// How a load of one address goes.
struct FakeLoad {
  enum Outcome { Loads, Fails, HttpError, Download, Never, RendererDies };
  Outcome outcome = Loads;
  int32_t milliseconds = 30;  // from the request to its end
  int32_t httpStatus = 404;
  std::string errorText = "net::ERR_CONNECTION_REFUSED";
};

// Pages by address. A load starts 1 ms after it was asked for and ends as
// its FakeLoad says (by default: the page, after 30 ms).
class FakeBrowser : public Browser {
 public:
  explicit FakeBrowser(FakeClock& clock) : m_clock(clock), m_navigation(clock) {}

  void AddPage(const std::string& url, FakePage page) { pages[url] = std::move(page); }
  void Behave(const std::string& url, FakeLoad load) { m_loads[url] = std::move(load); }
  // The next loads of `url` go as `loads` say, one each, before Behave's.
  void BehaveNext(const std::string& url, std::vector<FakeLoad> loads) {
    for (FakeLoad& load : loads) m_nextLoads[url].push_back(std::move(load));
  }
  // Shows `url` at once, as if it had finished loading earlier.
  void Show(const std::string& url) {
    current = url;
    m_navigation.LoadStarted(url);
    m_navigation.LoadEnded(LoadReport{url, LoadEnd::Succeeded, 200, {}});
  }
  // Runs `hook` when the load of `url` starts (an event handled in a wait).
  void OnLoading(const std::string& url, std::function<void()> hook) { m_loadHooks[url] = std::move(hook); }
  // Runs `hook` while the next body read waits for its answer.
  void OnRead(std::function<void()> hook) { m_readHook = std::move(hook); }
  // Ends every wait from now on, as closing the window does.
  void Abort() { m_navigation.Abort(); }

  NavigationTracker& Navigation() override { return m_navigation; }

  void Navigate(const std::string& url) override {
    if (!m_navigation.Request(url)) throw PageError(*m_navigation.Problem());
    Load(url);
  }

  // Starts the load of `url` as the engine would.
  void Load(const std::string& url) {
    navigations.push_back(url);
    FakeLoad how = m_loads.count(url) != 0 ? m_loads[url] : FakeLoad{};
    if (auto next = m_nextLoads.find(url); next != m_nextLoads.end() && !next->second.empty()) {
      how = next->second.front();
      next->second.erase(next->second.begin());
    }
    const int64_t start = m_clock.now + 1;
    Schedule(start, [this, url] {
      m_navigation.LoadStarted(url);
      if (auto hook = m_loadHooks.find(url); hook != m_loadHooks.end()) hook->second();
    });
    const int64_t end = m_clock.now + how.milliseconds;
    switch (how.outcome) {
      case FakeLoad::Loads:
        Schedule(end, [this, url] {
          current = url;
          m_navigation.LoadEnded(LoadReport{url, LoadEnd::Succeeded, 200, {}});
        });
        break;
      case FakeLoad::Fails:
        Schedule(end, [this, url, how] {
          current = url;
          m_navigation.LoadEnded(LoadReport{url, LoadEnd::Failed, 0, how.errorText});
        });
        break;
      case FakeLoad::HttpError:
        Schedule(end, [this, url, how] {
          current = url;
          m_navigation.LoadEnded(LoadReport{url, LoadEnd::Failed, how.httpStatus, {}});
        });
        break;
      case FakeLoad::Download:
        Schedule(end, [this, url] {
          m_navigation.LoadEnded(LoadReport{url, LoadEnd::Stopped, 0, "net::ERR_ABORTED"});
          m_navigation.DownloadStarted(url);
        });
        break;
      case FakeLoad::RendererDies: Schedule(end, [this] { m_navigation.RendererGone(); }); break;
      case FakeLoad::Never: break;
    }
  }

  void HandleEventsUntil(const std::function<bool()>& done) override {
    ++waits;
    while (!done()) {
      if (m_navigation.Aborted()) throw BrowserAborted();
      std::optional<int64_t> next = m_navigation.NextWake();
      if (!m_events.empty() && (!next || m_events.begin()->first < *next)) next = m_events.begin()->first;
      if (!next) throw std::logic_error("fake browser: this wait would never end");
      if (*next > m_clock.now) m_clock.now = *next;
      while (!m_events.empty() && m_events.begin()->first <= m_clock.now) {
        auto event = m_events.begin()->second;
        m_events.erase(m_events.begin());
        event();
      }
    }
  }

  std::u16string BodyOuterHtml() override {
    if (m_readHook) {
      auto hook = std::move(m_readHook);
      m_readHook = nullptr;
      hook();
    }
    if (m_navigation.Aborted()) throw BrowserAborted();
    if (readError) throw BrowserError(*readError);
    return Page().body;
  }
  std::vector<std::u16string> LinkInnerHtmls() override {
    std::vector<std::u16string> out;
    for (const FakeLink& link : Page().links) out.push_back(link.innerHtml);
    return out;
  }
  void ClickLinks(const std::vector<int32_t>& indices) override {
    clicks.push_back(indices);
    const std::vector<FakeLink> links = Page().links;  // the document clicked in
    for (int32_t i : indices) {
      const FakeLink& link = links.at(static_cast<size_t>(i));
      if (link.lateMilliseconds > 0) {
        m_navigation.ClickMayLoad();
        Schedule(m_clock.now + link.lateMilliseconds, [this, target = link.target] { Load(target); });
        continue;
      }
      m_navigation.ClickRequested(link.target);
      Load(link.target);
    }
  }
  std::string CurrentUrl() override { return current; }

  std::map<std::string, FakePage> pages;
  std::string current;
  int32_t waits = 0;
  std::optional<std::string> readError;
  std::vector<std::string> navigations;
  std::vector<std::vector<int32_t>> clicks;

 private:
  void Schedule(int64_t at, std::function<void()> event) { m_events.emplace(at, std::move(event)); }
  const FakePage& Page() const {
    static const FakePage kMissing{u"<body>Page introuvable</body>", {}};
    const auto page = pages.find(current);
    return page == pages.end() ? kMissing : page->second;
  }

  FakeClock& m_clock;
  NavigationTracker m_navigation;
  std::multimap<int64_t, std::function<void()>> m_events;
  std::map<std::string, FakeLoad> m_loads;
  std::map<std::string, std::vector<FakeLoad>> m_nextLoads;
  std::map<std::string, std::function<void()>> m_loadHooks;
  std::function<void()> m_readHook;
};

}  // namespace vantrelis::test_support
