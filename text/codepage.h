// Conversions between Unicode and the Windows-1252 code page.
#pragma once

#include <string>
#include <string_view>

namespace vantrelis {

// UTF-16 to Windows-1252 with a best fit: a character outside the code page
// becomes a similar one where there is one (a letter without its accent,
// typographic punctuation as ASCII), otherwise "?". Unpaired surrogates give "?".
std::string Utf16ToWindows1252(std::u16string_view text);

// UTF-8 to Windows-1252 with the same best fit; invalid sequences give "?".
std::string Utf8ToWindows1252(std::string_view text);

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 to UTF-16 / UTF-8 (the five unassigned bytes map to U+0081 etc.).
std::u16string Windows1252ToUtf16(std::string_view text);
std::string Windows1252ToUtf8(std::string_view text);

// Appends the UTF-8 form of the Unicode scalar value `codePoint` to `out`;
// a surrogate or a value above U+10FFFF appends U+FFFD instead.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace vantrelis
