// A page that cannot be read, and why.
#include "harvest/page_error.h"

#include <string>
#include <utility>

namespace vantrelis {
namespace {

std::string ProblemMessage(const PageProblem& problem) {
  const std::string where = problem.url.empty() ? std::string("La page") : "La page " + problem.url;
  return where + " ne peut pas être lue : " + DescribeProblem(problem);
}

}  // namespace

PageError::PageError(PageProblem problem)
    : BrowserError(ProblemMessage(problem)), m_problem(std::move(problem)) {}

}  // namespace vantrelis
