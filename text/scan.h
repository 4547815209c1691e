// Byte-string scanning: literal markers, in-place edits, tokens.
//
// Text is 8-bit (Windows-1252) and NUL is an ordinary byte. Positions are
// 1-based int32_t; 0 means "not found" or, for an in/out position, "nothing
// further". None of these functions throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrelis {

// Position of the first occurrence of `marker` at or after `start`; 0 if none.
// Markers longer than 256 bytes are never found (Boyer-Moore-Horspool table).
int32_t FindFrom(std::string_view text, std::string_view marker, int32_t start);

// The bytes between `startMarker` and the next `endMarker`, searching from
// `position`; `position` becomes the first position after the end marker,
// or 0 on failure (the value is then empty).
std::string ExtractBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                           int32_t& position);

// As ExtractBetween, markers matched ignoring A-Z case; the value keeps the
// text's own case.
std::string ExtractBetweenNoCase(std::string_view text, std::string_view startMarker,
                                 std::string_view endMarker, int32_t& position);

// As ExtractBetween on the text lowered (A-Z only) with every " and ' removed;
// the value comes from that transformed text and `position` counts in it.
std::string ExtractBetweenQuoteless(std::string_view text, std::string_view startMarker,
                                    std::string_view endMarker, int32_t& position);

// A text in the form ExtractBetweenQuoteless searches (A-Z lowered, every "
// and ' removed), made once for several extractions from the same text.
class QuotelessText {
 public:
  // Lowers and strips the quotes of `text` once.
  explicit QuotelessText(std::string_view text);

  // What ExtractBetweenQuoteless(text, startMarker, endMarker, position) gives.
  std::string ExtractBetween(std::string_view startMarker, std::string_view endMarker,
                             int32_t& position) const;

 private:
  std::string m_text;
};

// Replaces every non-overlapping occurrence of `search`, scanning the
// original text only; returns the number replaced (0 for an empty search).
int32_t ReplaceAll(std::string& text, std::string_view search, std::string_view replacement);

// Removes every byte equal to `b`; returns the new length.
int32_t DeleteChar(std::string& text, char b);

// Removes up to `count` bytes from `start` (1-based); returns the new length.
// A start below 1 counts from the first byte (the part of the range inside
// the text is removed).
int32_t DeleteRange(std::string& text, int32_t start, int32_t count);

// Number of bytes equal to `b` at or after `start`.
int32_t CountChar(std::string_view text, char b, int32_t start);

// The next token delimited by any byte of `delimiters`, from `position`;
// runs of delimiters are skipped and double quotes protect delimiters.
// `position` becomes the first position after the ending delimiter, or 0.
std::string NextToken(std::string_view text, std::string_view delimiters, int32_t& position);

}  // namespace vantrelis
