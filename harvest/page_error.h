// A page that cannot be read, and why.
#pragma once

#include <string>
#include <string_view>

#include "harvest/browser_error.h"

namespace vantrelis {

// Why a page cannot be read.
enum class PageFault {
  TimedOut,        // the page did not complete within the wait limit
  NoAnswer,        // the page's renderer did not answer a script within the limit
  RendererGone,    // the renderer process of the page died
  Download,        // the address answered with a file to download
  LoadFailed,      // the network or the server failed the load
  HttpError,       // the server answered with an HTTP error status
  RefusedAddress,  // not an http or https address, or no valid address at all
  NotHtml,         // the document is not an HTML page
};

struct PageProblem {
  PageFault fault;
  std::string url;     // the address concerned (UTF-8), empty if none
  std::string detail;  // the engine's error text, the status, the type or the scheme
};

// The reason in French, without the address: "le délai de 30 s est dépassé".
std::string DescribeProblem(const PageProblem& problem);

// True for the documents the harvest reads: text/html, application/xhtml+xml.
bool IsHtmlContentType(std::string_view contentType);

// A page that cannot be read (it did not load, it is no HTML page, its
// renderer died...); the message names the address and the reason.
class PageError : public BrowserError {
 public:
  // The error for `problem`, its message in French.
  explicit PageError(PageProblem problem);
  const PageProblem& problem() const { return m_problem; }

 private:
  PageProblem m_problem;
};

}  // namespace vantrelis
