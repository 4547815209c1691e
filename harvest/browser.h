// What the harvest needs of an embedded browser, and the operations it runs
// on one: navigate, wait until the page is complete, read it, click links.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "harvest/clock.h"
#include "harvest/navigation_tracker.h"

namespace vantrelis {

// A browser operation that failed; the message is shown to the user.
class BrowserError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A page that cannot be read (it did not load, it is no HTML page, its
// renderer died...); the message names the address and the reason.
class PageError : public BrowserError {
 public:
  explicit PageError(PageProblem problem);
  const PageProblem& problem() const { return m_problem; }

 private:
  PageProblem m_problem;
};

// One embedded browser, seen through the few calls the harvest makes.
// Implementations throw BrowserError (PageError for a page that cannot be
// read) on failure and BrowserAborted once aborted.
class Browser {
 public:
  virtual ~Browser() = default;
  // The navigation state, fed by this browser's engine events.
  virtual NavigationTracker& Navigation() = 0;
  // Has the engine start loading `url` (UTF-8) and returns at once; the
  // caller told Navigation() of the request before.
  virtual void Load(const std::string& url) = 0;
  // Handles the application's events until `done()` holds: it is asked
  // again after every navigation event and at Navigation().NextWake().
  virtual void HandleEventsUntil(const std::function<bool()>& done) = 0;
  // The body element's serialized HTML (outerHTML), UTF-16.
  virtual std::u16string BodyOuterHtml() = 0;
  // innerHTML of every link of the document, in document order.
  virtual std::vector<std::u16string> LinkInnerHtmls() = 0;
  // Clicks the links at these indices of LinkInnerHtmls() in one go, in
  // order, before any event is processed; tells Navigation() what follows.
  virtual void ClickLinks(const std::vector<int32_t>& indices) = 0;
  // The address of the loaded document (UTF-8), empty if none.
  virtual std::string CurrentUrl() = 0;
};

// The browser whose document SelectDocument last chose and DocumentHtml
// reads; one for all browsers, null until a document is selected.
extern Browser* CurrentDocument;

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
  // Makes `browser`'s document the current one, then WaitUntilReady.
  void SelectDocument(Browser& browser);
  // The current document's body HTML as Windows-1252 text (best fit).
  std::string DocumentHtml(Browser& browser);
  // Clicks every link whose 8-bit inner HTML contains `text` (case-sensitive),
  // all in one go, then pauses 300 ms per click; true if any was clicked.
  bool ClickLinkContaining(Browser& browser, std::string_view text);

  Clock& clock() { return m_clock; }

 private:
  // Waits, without the settle pause, until the page is ready; PageError if not.
  void WaitForPage(Browser& browser);

  Clock& m_clock;
};

}  // namespace vantrelis
