#include "text/ascii.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>

namespace vantrelis {
namespace {

// Every byte against the C library in the "C" locale, which knows ASCII only:
// bytes from 0x80 up are neither letters nor digits and are never folded.
TEST(Ascii, AgreesWithTheCLocaleOnEveryByte) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const bool ascii = b < 0x80;
    EXPECT_EQ(IsAsciiDigit(c), ascii && std::isdigit(b) != 0) << b;
    EXPECT_EQ(IsAsciiAlpha(c), ascii && std::isalpha(b) != 0) << b;
    EXPECT_EQ(IsAsciiAlnum(c), ascii && std::isalnum(b) != 0) << b;
    EXPECT_EQ(IsAsciiHexDigit(c), ascii && std::isxdigit(b) != 0) << b;
    EXPECT_EQ(AsciiLower(c), ascii ? static_cast<char>(std::tolower(b)) : c) << b;
    const char digit[2] = {c, '\0'};
    const long value = std::strtol(digit, nullptr, 16);
    EXPECT_EQ(HexDigitValue(c), IsAsciiHexDigit(c) ? static_cast<int>(value) : -1) << b;
  }
}

}  // namespace
}  // namespace vantrelis
