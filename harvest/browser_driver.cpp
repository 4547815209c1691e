// The operations the harvest runs on a browser.
#include "harvest/browser_driver.h"

#include <vector>

#include "text/codepage.h"

namespace vantrelis {

namespace {
constexpr int32_t kSettleMilliseconds = 1000;
constexpr int32_t kClickPauseMilliseconds = 300;
}  // namespace

void BrowserDriver::Navigate(Browser& browser, const std::string& url) {
  if (browser.Navigation().Aborted()) throw BrowserAborted();
  browser.Navigate(url);
}

void BrowserDriver::WaitForPage(Browser& browser) {
  NavigationTracker& navigation = browser.Navigation();
  // One limit for the whole wait: a page that keeps loading, or one load
  // after the other, gets no more than that.
  navigation.BeginWait();
  WaitState state = navigation.UpdateWait();
  if (state == WaitState::Waiting) {
    browser.HandleEventsUntil([&] { return (state = navigation.UpdateWait()) != WaitState::Waiting; });
  }
  switch (state) {
    case WaitState::Ready: return;
    case WaitState::Failed: throw PageError(*navigation.Problem());
    case WaitState::Aborted:
    case WaitState::Waiting: break;
  }
  throw BrowserAborted();
}

void BrowserDriver::WaitUntilReady(Browser& browser) {
  m_clock.Pause(kSettleMilliseconds);
  WaitForPage(browser);
}

std::string BrowserDriver::DocumentHtml(Browser& browser) {
  WaitUntilReady(browser);
  return Utf16ToWindows1252(browser.BodyOuterHtml());
}

void BrowserDriver::AwaitLateNavigation(Browser& browser, int64_t milliseconds) {
  // A navigation already under way is the one awaited.
  if (!browser.Navigation().Busy()) browser.Navigation().ClickMayLoad(milliseconds);
  WaitUntilReady(browser);
}

bool BrowserDriver::ClickLinkContaining(Browser& browser, std::string_view text) {
  WaitUntilReady(browser);
  const std::vector<std::u16string> links = browser.LinkInnerHtmls();
  std::vector<int32_t> matches;
  for (size_t i = 0; i < links.size(); ++i) {
    if (Utf16ToWindows1252(links[i]).find(text) != std::string::npos) {
      matches.push_back(static_cast<int32_t>(i));
    }
  }
  if (matches.empty()) return false;
  // All in one go: the first click's navigation must not replace the
  // document before the others are clicked.
  browser.ClickLinks(matches);
  for (size_t i = 0; i < matches.size(); ++i) m_clock.Pause(kClickPauseMilliseconds);
  return true;
}

}  // namespace vantrelis
