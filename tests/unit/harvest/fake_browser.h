// A scriptable Browser and a Clock that never really sleeps, for driving
// the browser operations and the harvest run without a browser engine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "harvest/browser.h"

namespace vantrelis::testing {

// Time moves only when someone sleeps or a browser pumps events.
class FakeClock : public Clock {
 public:
  void Sleep(int32_t milliseconds) override {
    sleeps.push_back(milliseconds);
    now += milliseconds;
  }
  int64_t NowMilliseconds() override { return now; }

  int64_t now = 0;
  std::vector<int32_t> sleeps;
};

struct FakeLink {
  std::u16string innerHtml;
  std::string target;  // where a click navigates
};

struct FakePage {
  std::u16string body;  // the body's outer HTML
  std::vector<FakeLink> links;
};

// Pages by address. A navigation keeps the browser busy for `busyPumps`
// calls of ProcessPendingMessages, then not complete for `loadingPumps`
// more; a negative count never ends. Each pump advances the clock by
// `pumpMilliseconds` and runs the hooks registered for its number.
class FakeBrowser : public Browser {
 public:
  explicit FakeBrowser(FakeClock& clock) : m_clock(clock) {}

  void AddPage(const std::string& url, FakePage page) { pages[url] = std::move(page); }
  // Shows `url` at once, as if it had finished loading earlier.
  void Show(const std::string& url) {
    current = m_pending = url;
    m_busyLeft = m_loadingLeft = 0;
  }
  // Runs `hook` during the pump with this number (1-based, counted over the
  // browser's life).
  void OnPump(int32_t pump, std::function<void()> hook) { m_hooks[pump] = std::move(hook); }
  // Runs `hook` during the first pump after a navigation to `url`.
  void OnLoading(const std::string& url, std::function<void()> hook) {
    m_loadHooks[url] = std::move(hook);
  }

  void Navigate(const std::string& url) override {
    if (aborted) throw BrowserAborted();
    if (navigateError) throw BrowserError(*navigateError);
    navigations.push_back(url);
    m_pending = url;
    m_busyLeft = busyPumps;
    m_loadingLeft = loadingPumps;
    m_loadHookDue = true;
  }
  bool Busy() override {
    ++busyReads;
    return m_busyLeft != 0;
  }
  int32_t ReadyState() override { return m_busyLeft != 0 || m_loadingLeft != 0 ? 1 : 4; }
  std::u16string BodyOuterHtml() override {
    if (aborted) throw BrowserAborted();
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
    for (int32_t i : indices) Navigate(links.at(static_cast<size_t>(i)).target);
  }
  std::string CurrentUrl() override { return current; }
  void ProcessPendingMessages() override {
    if (aborted) throw BrowserAborted();
    ++pumps;
    m_clock.now += pumpMilliseconds;
    if (auto hook = m_hooks.find(pumps); hook != m_hooks.end()) hook->second();
    if (m_loadHookDue) {
      m_loadHookDue = false;
      if (auto hook = m_loadHooks.find(m_pending); hook != m_loadHooks.end()) hook->second();
    }
    if (m_busyLeft > 0) {
      --m_busyLeft;
    } else if (m_busyLeft == 0 && m_loadingLeft > 0) {
      --m_loadingLeft;
    }
    if (m_busyLeft == 0 && m_loadingLeft == 0) current = m_pending;
  }

  std::map<std::string, FakePage> pages;
  std::string current;
  int32_t busyPumps = 2;
  int32_t loadingPumps = 1;
  int32_t pumpMilliseconds = 5;
  int32_t pumps = 0;
  int32_t busyReads = 0;
  bool aborted = false;
  std::optional<std::string> navigateError;
  std::optional<std::string> readError;
  std::vector<std::string> navigations;
  std::vector<std::vector<int32_t>> clicks;

 private:
  const FakePage& Page() const {
    static const FakePage kMissing{u"<body>Page introuvable</body>", {}};
    const auto page = pages.find(current);
    return page == pages.end() ? kMissing : page->second;
  }

  FakeClock& m_clock;
  std::string m_pending;
  int32_t m_busyLeft = 0;
  int32_t m_loadingLeft = 0;
  bool m_loadHookDue = false;
  std::map<int32_t, std::function<void()>> m_hooks;
  std::map<std::string, std::function<void()>> m_loadHooks;
};

}  // namespace vantrelis::testing
