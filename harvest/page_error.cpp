// A page that cannot be read, and why.
#include "harvest/page_error.h"

#include <string>
#include <utility>

#include "harvest/messages.h"

namespace vantrelis {
namespace {

std::string ProblemMessage(const PageProblem& problem) {
  std::string where = messages::kPage;
  if (!problem.url.empty()) where += " " + problem.url;
  return where + messages::kCannotBeRead + DescribeProblem(problem);
}

}  // namespace

PageError::PageError(PageProblem problem)
    : BrowserError(ProblemMessage(problem)), m_problem(std::move(problem)) {}

}  // namespace vantrelis
