// The operations the harvest runs on a browser: navigate, wait until the
// page is complete, read it, click links.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "harvest/browser.h"
#include "harvest/browser_aborted.h"
#include "harvest/browser_error.h"
#include "harvest/clock.h"
#include "harvest/page_error.h"

namespace vantrelis {

// The browser operations of the harvest, over a Browser and a Clock.
class BrowserDriver {
 public:
  explicit BrowserDriver(Clock& clock) : m_clock(clock) {}

  // Starts loading `url` (UTF-8) in `browser`; throws PageError, loading
  // nothing, for an address that is not http or https or not valid.
  void Navigate(Browser& browser, const std::string& url);
  // Settle pause of 1000 ms, then waits (handling events) until the last
  // navigation has ended with a document; throws PageError when it ended
  // without one or the wait limit passed.
  void WaitUntilReady(Browser& browser);
  // `browser`'s document, once ready (WaitUntilReady): its body HTML as
  // Windows-1252 text (best fit).
  std::string DocumentHtml(Browser& browser);
  // Clicks every link whose 8-bit inner HTML contains `text` (case-sensitive),
  // all in one go, then pauses 300 ms per click; true if any was clicked.
  bool ClickLinkContaining(Browser& browser, std::string_view text);

  // After a click whose page came back unchanged: waits, the window live,
  // up to `milliseconds` for a navigation the click may still start, and
  // then for its page, as WaitUntilReady does.
  void AwaitLateNavigation(Browser& browser, int64_t milliseconds);

  Clock& clock() { return m_clock; }

 private:
  // Waits, without the settle pause, until the page is ready; PageError if not.
  void WaitForPage(Browser& browser);

  Clock& m_clock;
};

}  // namespace vantrelis
