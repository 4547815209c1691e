#include "text/message.h"

namespace vantrelis {

std::string WithFinalPeriod(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

}  // namespace vantrelis
