// A page that cannot be read, and why.
#pragma once

#include "harvest/browser_error.h"
#include "harvest/navigation_tracker.h"

namespace vantrelis {

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
