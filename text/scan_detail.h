// Building blocks shared by the text operations and the listing page parser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrelis::detail {

// 0-based offset of the first occurrence of `marker` at or after `from`
// (no length limit on the marker); npos if none or if `marker` is empty.
size_t FindBytes(std::string_view text, std::string_view marker, size_t from);

// The text that ExtractBetweenQuoteless searches: A-Z lowered, every '"' and
// '\'' removed. Searching it with ExtractBetween and markers transformed the
// same way gives exactly what ExtractBetweenQuoteless gives.
std::string LowerQuoteless(std::string_view text);

}  // namespace vantrelis::detail
