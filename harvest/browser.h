// What the harvest needs of an embedded browser: navigate, wait until the
// page is complete, read it, click links.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "harvest/navigation_tracker.h"

namespace vantrelis {

// One embedded browser, seen through the few calls the harvest makes.
// Implementations throw BrowserError (PageError for a page that cannot be
// read) on failure and BrowserAborted once aborted.
class Browser {
 public:
  virtual ~Browser() = default;
  // The navigation state, fed by this browser's engine events.
  virtual NavigationTracker& Navigation() = 0;
  // Records the request for `url` (UTF-8) in Navigation() and has the
  // engine start loading it; returns at once. Throws PageError, loading
  // nothing, for an address that is not http or https or that the engine
  // does not take.
  virtual void Navigate(const std::string& url) = 0;
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

}  // namespace vantrelis
