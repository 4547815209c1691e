#include "harvest/browser.h"

#include "text/codepage.h"

namespace vantrelis {

Browser* CurrentDocument = nullptr;

namespace {
constexpr int32_t kSettleMilliseconds = 1000;
constexpr int32_t kClickPauseMilliseconds = 300;

// Processes events while `pending` holds; BrowserError once the clock
// reaches `deadline`.
template <typename Pending>
void PumpWhile(Browser& browser, Clock& clock, int64_t deadline, Pending pending) {
  while (pending()) {
    if (clock.NowMilliseconds() >= deadline) throw BrowserError(kWaitTimeoutMessage);
    browser.ProcessPendingMessages();
  }
}

}  // namespace

void BrowserDriver::Navigate(Browser& browser, const std::string& url) { browser.Navigate(url); }

void BrowserDriver::WaitUntilReady(Browser& browser) {
  m_clock.Sleep(kSettleMilliseconds);
  browser.ProcessPendingMessages();
  // One limit for the whole wait: a page that stays busy and then never
  // completes must not get twice the time.
  const int64_t deadline = m_clock.NowMilliseconds() + kWaitLimitMilliseconds;
  PumpWhile(browser, m_clock, deadline, [&] { return browser.Busy(); });
  PumpWhile(browser, m_clock, deadline, [&] { return browser.ReadyState() < 4; });
}

void BrowserDriver::SelectDocument(Browser& browser) {
  CurrentDocument = &browser;
  WaitUntilReady(browser);
}

std::string BrowserDriver::DocumentHtml(Browser& browser) {
  const int64_t deadline = m_clock.NowMilliseconds() + kWaitLimitMilliseconds;
  PumpWhile(browser, m_clock, deadline, [&] { return browser.ReadyState() < 4; });
  PumpWhile(browser, m_clock, deadline, [&] { return browser.Busy(); });
  SelectDocument(browser);
  return Utf16ToWindows1252(CurrentDocument->BodyOuterHtml());
}

bool BrowserDriver::ClickLinkContaining(Browser& browser, std::string_view text) {
  SelectDocument(browser);
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
  for (size_t i = 0; i < matches.size(); ++i) m_clock.Sleep(kClickPauseMilliseconds);
  return true;
}

}  // namespace vantrelis
