// Conversions between Unicode and the Windows-1252 code page.
#include "text/codepage.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <array>
#include <string>

namespace vantrelis {
namespace {

// Unicode of the bytes 0x80-0x9F; the five bytes Windows-1252 leaves
// unassigned map to the C1 control of the same value so that nothing is lost.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t ByteToUnicode(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : static_cast<char16_t>(b);
}

// The byte of `c` in the code page, or -1.
int UnicodeToByte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == c) return 0x80 + i;
  return -1;
}

// Close ASCII stand-ins for characters outside the code page that have no
// useful decomposition; "" drops an invisible character.
const char* Substitute(char32_t c) {
  switch (c) {
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2015:
    case 0x2043:
    case 0x2212:
    case 0x2E3A:
    case 0x2E3B:
    case 0xFE58:
    case 0xFE63:
    case 0xFF0D: return "-";
    case 0x201B:
    case 0x2032:
    case 0x2035:
    case 0x02B9:
    case 0x02BC:
    case 0x02C8: return "'";
    case 0x201F:
    case 0x2033:
    case 0x2036:
    case 0x02BA:
    case 0x3003: return "\"";
    case 0x2000:
    case 0x2001:
    case 0x2002:
    case 0x2003:
    case 0x2004:
    case 0x2005:
    case 0x2006:
    case 0x2007:
    case 0x2008:
    case 0x2009:
    case 0x200A:
    case 0x202F:
    case 0x205F:
    case 0x3000:
    case 0x1680: return " ";
    case 0x200B:
    case 0x200C:
    case 0x200D:
    case 0x2060:
    case 0xFEFF: return "";
    case 0x2024: return ".";
    case 0x2025: return "..";
    case 0x2044:
    case 0x2215: return "/";
    case 0x2216: return "\\";
    case 0x2217: return "*";
    case 0x2223: return "|";
    case 0x2264: return "<=";
    case 0x2265: return ">=";
    case 0x2260: return "!=";
    case 0x2190: return "<-";
    case 0x2192: return "->";
    case 0x0141: return "L";
    case 0x0142: return "l";
    case 0x0110: return "D";
    case 0x0111: return "d";
    case 0x0131: return "i";
    case 0x0126: return "H";
    case 0x0127: return "h";
    case 0x0166: return "T";
    case 0x0167: return "t";
    case 0x0138: return "k";
    case 0x013F: return "L";
    case 0x0140: return "l";
    case 0x014A: return "N";
    case 0x014B: return "n";
    case 0x0132: return "IJ";
    case 0x0133: return "ij";
    case 0x0149: return "'n";
    case 0x017F: return "s";
    case 0x0180: return "b";
    case 0x0197: return "I";
    case 0x01B5: return "Z";
    case 0x01B6: return "z";
    case 0x0251: return "a";
    case 0x0261: return "g";
    case 0x1E9E: return "SS";
    default: return nullptr;
  }
}

bool IsCombiningMark(char32_t c) {
  const int8_t type = u_charType(static_cast<UChar32>(c));
  return type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_COMBINING_SPACING_MARK;
}

// Appends the best fit of one code point outside the code page: a stand-in,
// else its compatibility decomposition without combining marks ("ő" gives
// "o", the ligature "ﬁ" gives "fi"), else "?".
void AppendBestFit(char32_t c, std::string& out) {
  if (const char* s = Substitute(c)) {
    out.append(s);
    return;
  }
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfkd = unorm2_getNFKDInstance(&status);
  if (U_SUCCESS(status)) {
    UChar buffer[32];
    const int32_t n = unorm2_getDecomposition(nfkd, static_cast<UChar32>(c), buffer, 32, &status);
    if (U_SUCCESS(status) && n > 0) {
      std::string fit;
      bool complete = true;
      for (int32_t i = 0; i < n && complete;) {
        UChar32 d = buffer[i++];
        if (U16_IS_LEAD(d) && i < n && U16_IS_TRAIL(buffer[i])) d = U16_GET_SUPPLEMENTARY(d, buffer[i++]);
        if (IsCombiningMark(static_cast<char32_t>(d))) continue;
        const int b = UnicodeToByte(static_cast<char32_t>(d));
        if (b >= 0) {
          fit.push_back(static_cast<char>(b));
        } else if (const char* s = Substitute(static_cast<char32_t>(d))) {
          fit.append(s);
        } else {
          complete = false;
        }
      }
      if (complete && !fit.empty()) {
        out.append(fit);
        return;
      }
    }
  }
  out.push_back('?');
}

void AppendCodePoint(char32_t c, std::string& out) {
  const int b = UnicodeToByte(c);
  if (b >= 0)
    out.push_back(static_cast<char>(b));
  else
    AppendBestFit(c, out);
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence at `i` (well-formed per Unicode: no overlong
// forms, no surrogates, nothing above U+10FFFF) and advances `i`. An invalid
// sequence gives kInvalid and advances over its maximal invalid part.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = at(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra;
  char32_t c;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    extra = 1;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    extra = 2;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    extra = 3;
    c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    ++i;
    return kInvalid;
  }
  size_t k = i + 1;
  for (int n = 0; n < extra; ++n, ++k) {
    if (k >= s.size()) {
      i = k;
      return kInvalid;
    }
    const unsigned char b = at(k);
    const bool ok = n == 0 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xBF);
    if (!ok) {
      i = k;
      return kInvalid;
    }
    c = (c << 6) | (b & 0x3F);
  }
  i = k;
  return c;
}

// The UTF-8 form of a scalar value (no surrogate, at most U+10FFFF).
inline void EncodeUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::string Utf16ToWindows1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      AppendCodePoint(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back('?');  // unpaired surrogate
    } else {
      AppendCodePoint(u, out);
    }
  }
  return out;
}

std::string Utf8ToWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char32_t c = DecodeUtf8(text, i);
    if (c == kInvalid)
      out.push_back('?');
    else if (c < 0x80)
      out.push_back(static_cast<char>(c));
    else
      AppendCodePoint(c, out);
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size())
    if (DecodeUtf8(bytes, i) == kInvalid) return false;
  return true;
}

std::u16string Windows1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) out[i] = ByteToUnicode(static_cast<unsigned char>(text[i]));
  return out;
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (const char ch : text) EncodeUtf8(ByteToUnicode(static_cast<unsigned char>(ch)), out);
  return out;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
  const bool scalar = codePoint <= 0x10FFFF && (codePoint < 0xD800 || codePoint > 0xDFFF);
  EncodeUtf8(scalar ? codePoint : char32_t{0xFFFD}, out);
}

}  // namespace vantrelis
