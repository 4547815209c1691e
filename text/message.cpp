#include "text/message.h"

namespace vantrelis {

std::string WithFinalPeriod(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

std::string Counted(int64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count > 1 ? many : one);
}

}  // namespace vantrelis
