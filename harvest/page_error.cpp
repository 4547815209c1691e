// A page that cannot be read, and why.
#include "harvest/page_error.h"

#include <string>
#include <utility>

#include "harvest/messages.h"
#include "text/ascii.h"

namespace vantrelis {
namespace {

std::string ProblemMessage(const PageProblem& problem) {
  std::string where = messages::kPage;
  if (!problem.url.empty()) where += " " + problem.url;
  return where + messages::kCannotBeRead + DescribeProblem(problem);
}

}  // namespace

std::string DescribeProblem(const PageProblem& problem) {
  switch (problem.fault) {
    case PageFault::TimedOut: return messages::kNotLoadedWithin + problem.detail + messages::kSeconds;
    case PageFault::NoAnswer: return messages::kNoAnswerWithin + problem.detail + messages::kSeconds;
    case PageFault::RendererGone: return messages::kRendererGone;
    case PageFault::Download: return messages::kDownload;
    case PageFault::LoadFailed:
      return problem.detail.empty() ? std::string(messages::kLoadFailed)
                                    : messages::kLoadFailed + (" (" + problem.detail + ")");
    case PageFault::HttpError: return messages::kHttpError + problem.detail;
    case PageFault::RefusedAddress: return problem.detail;
    case PageFault::NotHtml: return messages::kNotHtml + (" (" + problem.detail + ")");
  }
  return messages::kUnreadable;
}

bool IsHtmlContentType(std::string_view contentType) {
  std::string type;
  for (char c : contentType.substr(0, contentType.find(';'))) {
    if (c != ' ' && c != '\t') type += AsciiLower(c);
  }
  return type == "text/html" || type == "application/xhtml+xml";
}

PageError::PageError(PageProblem problem)
    : BrowserError(ProblemMessage(problem)), m_problem(std::move(problem)) {}

}  // namespace vantrelis
