// ASCII character tests and case folding for byte text: only the ASCII
// letters and digits count, every byte from 0x80 up is left as it is (an
// accented capital such as 0xC9 is no letter here and is never folded).
#pragma once

namespace vantrelis {

// True for the ASCII digits 0-9.
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// True for the ASCII letters A-Z and a-z.
constexpr bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// True for the ASCII letters and digits.
constexpr bool IsAsciiAlnum(char c) { return IsAsciiAlpha(c) || IsAsciiDigit(c); }

// The value 0-15 of the hexadecimal digit `c` (either letter case), -1 for any other byte.
constexpr int HexDigitValue(char c) {
  if (IsAsciiDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True for the hexadecimal digits 0-9, a-f and A-F.
constexpr bool IsAsciiHexDigit(char c) { return HexDigitValue(c) >= 0; }

// `c` with A-Z lowered to a-z; every other byte unchanged.
constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

}  // namespace vantrelis
