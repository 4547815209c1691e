#include "text/codepage.h"

#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include <string>

namespace vantrelis {
namespace {

using namespace std::string_literals;

TEST(Codepage, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf16ToWindows1252(Windows1252ToUtf16(all)), all);
  const std::string utf8 = Windows1252ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(Utf8ToWindows1252(utf8), all);
  EXPECT_EQ(Windows1252ToUtf16("\x80\x81\x9F"), u"\u20AC\u0081\u0178");
  EXPECT_EQ(Windows1252ToUtf8("Z\xFCrich \x80"), "Z\xC3\xBCrich \xE2\x82\xAC");
}

TEST(Codepage, BestFitOutsideTheCodePage) {
  // Letters lose their accents; typographic signs become ASCII; the
  // typographic signs that the code page has keep their own byte.
  EXPECT_EQ(Utf16ToWindows1252(u"Dvo\u0159\u00E1k \u0141\u00F3d\u017A \u0150rs"),
            "Dvor\xE1k L\xF3"
            "dz Ors");
  EXPECT_EQ(Utf16ToWindows1252(u"a\u2010b\u2212c\u2002d\u202Fe\u200Bf"), "a-b-c d ef");
  EXPECT_EQ(Utf16ToWindows1252(u"\u2019\u201C\u2026\u2013\u20AC"), "\x92\x93\x85\x96\x80");
  EXPECT_EQ(Utf16ToWindows1252(u"\uFB01n \uFF21"), "fin A");
  EXPECT_EQ(Utf16ToWindows1252(u"\u4E2D\u0080"), "??");
  // e + combining acute stays two characters: the mark alone has no fit.
  EXPECT_EQ(Utf16ToWindows1252(u"e\u0301"), "e?");
}

TEST(Codepage, BrokenInput) {
  EXPECT_EQ(Utf16ToWindows1252(u"a\xD800"
                               u"b\xDC00"),
            "a?b?");
  EXPECT_EQ(Utf16ToWindows1252(u"\xD83D\xDE00!"), "?!");  // an emoji has no fit
  EXPECT_FALSE(IsValidUtf8("\xC3"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80 \0"s));
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_EQ(Utf8ToWindows1252("a\xC3(b\xE2\x82z\xFF"), "a?(b?z?");
  EXPECT_EQ(Utf8ToWindows1252("caf\xC3\xA9 \xC5\x93uvre"), "caf\xE9 \x9Cuvre");
}

TEST(Codepage, AppendUtf8AgreesWithIcuOnEveryCodePoint) {
  std::string ours, icu;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    ours.clear();
    AppendUtf8(ours, c);
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    uint8_t buffer[U8_MAX_LENGTH];
    int32_t length = 0;
    U8_APPEND_UNSAFE(buffer, length, surrogate ? 0xFFFD : static_cast<UChar32>(c));
    icu.assign(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
    ASSERT_EQ(ours, icu) << "U+" << std::hex << static_cast<uint32_t>(c);
  }
  ours.clear();
  AppendUtf8(ours, 0x110000);
  AppendUtf8(ours, 0xFFFFFFFF);
  EXPECT_EQ(ours, "\xEF\xBF\xBD\xEF\xBF\xBD") << "no character: U+FFFD";
}

}  // namespace
}  // namespace vantrelis
