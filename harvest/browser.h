// What the harvest needs of an embedded browser, and the operations it runs
// on one: navigate, wait until the page is complete, read it, click links.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantrelis {

// A browser operation that failed; the message is shown to the user.
class BrowserError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The application is quitting while an operation waited: not an error to
// report, the run simply ends.
class BrowserAborted : public std::runtime_error {
 public:
  BrowserAborted() : std::runtime_error("browser operation aborted: application closing") {}
};

// Fixed pauses and the time; Sleep processes no events.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void Sleep(int32_t milliseconds) = 0;
  virtual int64_t NowMilliseconds() = 0;
};

// One embedded browser, seen through the few calls the harvest makes.
// Implementations throw BrowserError on failure and BrowserAborted when the
// application is quitting.
class Browser {
 public:
  virtual ~Browser() = default;
  // Starts loading `url` (UTF-8) and returns at once.
  virtual void Navigate(const std::string& url) = 0;
  // True while a navigation or download is in progress.
  virtual bool Busy() = 0;
  // 0..4, 4 meaning the document is complete.
  virtual int32_t ReadyState() = 0;
  // The body element's serialized HTML (outerHTML), UTF-16.
  virtual std::u16string BodyOuterHtml() = 0;
  // innerHTML of every link of the document, in document order.
  virtual std::vector<std::u16string> LinkInnerHtmls() = 0;
  // Clicks the links at these indices of LinkInnerHtmls() in one go, in
  // order, before any event is processed.
  virtual void ClickLinks(const std::vector<int32_t>& indices) = 0;
  // The address of the loaded document (UTF-8), empty if none.
  virtual std::string CurrentUrl() = 0;
  // Lets the application handle pending events; blocks briefly (a few ms)
  // when there are none, so that waiting loops do not spin.
  virtual void ProcessPendingMessages() = 0;
};

// The longest a wait for a page may last before it gives up.
inline constexpr int64_t kWaitLimitMilliseconds = 120'000;
inline constexpr const char* kWaitTimeoutMessage = "La page ne répond pas (délai de 120 s dépassé)";

// The browser whose document SelectDocument last chose and DocumentHtml
// reads; one for all browsers, null until a document is selected.
extern Browser* CurrentDocument;

// The browser operations of the harvest, over a Browser and a Clock.
class BrowserDriver {
 public:
  explicit BrowserDriver(Clock& clock) : m_clock(clock) {}

  // Starts loading `url` (UTF-8) in `browser`.
  void Navigate(Browser& browser, const std::string& url);
  // Settle pause of 1000 ms, then waits (processing events) until the
  // browser is not busy and its document complete; throws BrowserError
  // after kWaitLimitMilliseconds.
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
  Clock& m_clock;
};

}  // namespace vantrelis
