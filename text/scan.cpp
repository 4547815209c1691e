// Byte-string scanning: literal markers, in-place edits, tokens.
#include "text/scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "text/ascii.h"

namespace vantrelis {
namespace {

constexpr size_t kMaxMarker = 256;

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// Byte tables: A-Z lowered, and whether a byte survives the quote removal.
struct ByteTables {
  std::array<unsigned char, 256> lower{};
  std::array<unsigned char, 256> keep{};
  constexpr ByteTables() {
    for (int b = 0; b < 256; ++b) {
      lower[b] = static_cast<unsigned char>(AsciiLower(static_cast<char>(b)));
      keep[b] = (b == '"' || b == '\'') ? 0 : 1;
    }
  }
};
constexpr ByteTables kTables;

struct Identity {
  unsigned char operator()(char c) const { return Byte(c); }
};

struct FoldAscii {
  unsigned char operator()(char c) const { return kTables.lower[Byte(c)]; }
};

// Boyer-Moore-Horspool over `text` viewed through `fold` (the marker is
// already folded). Returns the 0-based offset of the first occurrence at or
// after `from`, or npos. The window is compared from its last byte backwards;
// after a mismatch at text byte c found after k comparisons, the window's
// last byte moves to the mismatch plus max(shift[c], k), which never passes
// over an occurrence.
template <typename Fold>
size_t Horspool(std::string_view text, std::string_view marker, size_t from, Fold fold) {
  const size_t n = text.size();
  const size_t m = marker.size();
  if (m == 0 || from > n || n - from < m) return std::string_view::npos;
  if (m == 1) {
    if constexpr (std::is_same_v<Fold, Identity>) {
      const void* hit = std::memchr(text.data() + from, marker[0], n - from);
      return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
    }
    const unsigned char want = Byte(marker[0]);
    for (size_t i = from; i < n; ++i)
      if (fold(text[i]) == want) return i;
    return std::string_view::npos;
  }
  std::array<size_t, 256> shift;
  shift.fill(m);
  for (size_t i = 0; i + 1 < m; ++i) shift[Byte(marker[i])] = m - 1 - i;
  // The same table indexed by the unfolded byte, and with 0 for the bytes
  // that fold to the marker's last byte, so that the skip loop needs one
  // table load per window and no folding.
  std::array<size_t, 256> skip;
  const unsigned char last = Byte(marker[m - 1]);
  for (int b = 0; b < 256; ++b) {
    const unsigned char f = fold(static_cast<char>(b));
    skip[b] = f == last ? 0 : shift[f];
  }

  size_t end = from + m - 1;  // index of the window's last byte
  while (end < n) {
    // Mismatch at the last byte: k = 1 and shift[c] >= 1.
    size_t step;
    while ((step = skip[Byte(text[end])]) != 0) {
      end += step;
      if (end >= n) return std::string_view::npos;
    }
    unsigned char c = 0;
    size_t k = 1;
    while (k < m) {
      c = fold(text[end - k]);
      if (c != Byte(marker[m - 1 - k])) break;
      ++k;
    }
    if (k == m) return end - (m - 1);
    // Mismatch at text index end - k after k + 1 comparisons.
    end = end - k + std::max(shift[c], k + 1);
  }
  return std::string_view::npos;
}

std::string LowerAsciiCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// The shared steps of the extraction family on `searched` seen through
// `fold`; the value is copied from `searched` itself.
template <typename Fold>
std::string Extract(std::string_view searched, std::string_view s, std::string_view e, int32_t& position,
                    Fold fold) {
  const int64_t len = static_cast<int64_t>(searched.size());
  if (position < 1 || position >= len || s.empty() || e.empty()) {
    position = 0;
    return {};
  }
  const size_t p = Horspool(searched, s, static_cast<size_t>(position - 1), fold);
  if (p == std::string_view::npos) {
    position = 0;
    return {};
  }
  const size_t v = p + s.size();
  const size_t q = Horspool(searched, e, v, fold);
  if (q == std::string_view::npos) {
    position = 0;
    return {};
  }
  position = static_cast<int32_t>(q + e.size() + 1);
  return std::string(searched.substr(v, q - v));
}

// 0-based offset of the first occurrence of `marker` at or after `from`
// (no length limit on the marker); npos if none or if `marker` is empty.
size_t FindBytes(std::string_view text, std::string_view marker, size_t from) {
  return Horspool(text, marker, from, Identity{});
}

// The text that ExtractBetweenQuoteless searches: A-Z lowered, every '"' and
// '\'' removed.
std::string LowerQuoteless(std::string_view text) {
  std::string out;
  out.resize(text.size());
  char* dst = out.data();
  const char* src = text.data();
  const size_t size = text.size();
  size_t i = 0, n = 0;
#ifdef __SSE2__
  // Sixteen bytes at a time while they hold no quote (most of a page).
  const __m128i dq = _mm_set1_epi8('"'), sq = _mm_set1_epi8('\'');
  const __m128i beforeA = _mm_set1_epi8('A' - 1), afterZ = _mm_set1_epi8('Z' + 1);
  const __m128i caseBit = _mm_set1_epi8(0x20);
  while (i + 16 <= size) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(v, dq), _mm_cmpeq_epi8(v, sq));
    if (_mm_movemask_epi8(quotes) != 0) {
      for (const size_t stop = i + 16; i < stop; ++i) {
        const unsigned char b = Byte(src[i]);
        dst[n] = static_cast<char>(kTables.lower[b]);
        n += kTables.keep[b];
      }
      continue;
    }
    // Signed compares: bytes from 0x80 up are negative and never in A-Z.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, beforeA), _mm_cmpgt_epi8(afterZ, v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n), _mm_or_si128(v, _mm_and_si128(upper, caseBit)));
    i += 16;
    n += 16;
  }
#endif
  // Branch-free: every byte is written, a quote is then overwritten.
  for (; i < size; ++i) {
    const unsigned char b = Byte(src[i]);
    dst[n] = static_cast<char>(kTables.lower[b]);
    n += kTables.keep[b];
  }
  out.resize(n);
  return out;
}

}  // namespace

int32_t FindFrom(std::string_view text, std::string_view marker, int32_t start) {
  if (text.empty() || marker.empty() || start < 1 || marker.size() > kMaxMarker) return 0;
  const int64_t n = static_cast<int64_t>(text.size());
  if (start > n || start + static_cast<int64_t>(marker.size()) - 1 > n) return 0;
  const size_t at = Horspool(text, marker, static_cast<size_t>(start - 1), Identity{});
  return at == std::string_view::npos ? 0 : static_cast<int32_t>(at + 1);
}

std::string ExtractBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                           int32_t& position) {
  if (startMarker.size() > kMaxMarker || endMarker.size() > kMaxMarker) {
    position = 0;
    return {};
  }
  return Extract(text, startMarker, endMarker, position, Identity{});
}

std::string ExtractBetweenNoCase(std::string_view text, std::string_view startMarker,
                                 std::string_view endMarker, int32_t& position) {
  if (startMarker.size() > kMaxMarker || endMarker.size() > kMaxMarker) {
    position = 0;
    return {};
  }
  // Folding on the fly keeps every byte where it is, so positions and the
  // copied value refer to the caller's text.
  return Extract(text, LowerAsciiCopy(startMarker), LowerAsciiCopy(endMarker), position, FoldAscii{});
}

std::string ExtractBetweenQuoteless(std::string_view text, std::string_view startMarker,
                                    std::string_view endMarker, int32_t& position) {
  return QuotelessText(text).ExtractBetween(startMarker, endMarker, position);
}

QuotelessText::QuotelessText(std::string_view text) : m_text(LowerQuoteless(text)) {}

std::string QuotelessText::ExtractBetween(std::string_view startMarker, std::string_view endMarker,
                                          int32_t& position) const {
  // The markers are transformed as the text was, so they match it byte for byte.
  return vantrelis::ExtractBetween(m_text, LowerQuoteless(startMarker), LowerQuoteless(endMarker), position);
}

int32_t ReplaceAll(std::string& text, std::string_view search, std::string_view replacement) {
  if (search.empty() || text.size() < search.size()) return 0;
  // First pass: where the occurrences are, in the original text only.
  std::vector<size_t> found;
  size_t at = FindBytes(text, search, 0);
  while (at != std::string_view::npos) {
    if (found.size() == found.capacity()) found.reserve(found.size() + 1024);
    found.push_back(at);
    at = FindBytes(text, search, at + search.size());
  }
  if (found.empty()) return 0;

  // Second pass: the new text, allocated once at its final length.
  const size_t newSize = text.size() - found.size() * search.size() + found.size() * replacement.size();
  std::string out;
  out.resize(newSize);
  char* dst = out.data();
  size_t from = 0;
  for (size_t hit : found) {
    std::memcpy(dst, text.data() + from, hit - from);
    dst += hit - from;
    if (!replacement.empty()) std::memcpy(dst, replacement.data(), replacement.size());
    dst += replacement.size();
    from = hit + search.size();
  }
  std::memcpy(dst, text.data() + from, text.size() - from);
  text.swap(out);
  return static_cast<int32_t>(found.size());
}

int32_t DeleteChar(std::string& text, char b) {
  text.erase(std::remove(text.begin(), text.end(), b), text.end());
  return static_cast<int32_t>(text.size());
}

int32_t DeleteRange(std::string& text, int32_t start, int32_t count) {
  const int64_t len = static_cast<int64_t>(text.size());
  if (len == 0 || count <= 0 || start > len) return static_cast<int32_t>(len);
  // The part of [start, start + count) that lies inside [1, len].
  const int64_t first = std::max<int64_t>(start, 1);
  const int64_t endExclusive = std::min<int64_t>(static_cast<int64_t>(start) + count, len + 1);
  if (endExclusive > first)
    text.erase(static_cast<size_t>(first - 1), static_cast<size_t>(endExclusive - first));
  return static_cast<int32_t>(text.size());
}

int32_t CountChar(std::string_view text, char b, int32_t start) {
  if (text.empty() || start < 1 || start > static_cast<int64_t>(text.size())) return 0;
  return static_cast<int32_t>(std::count(text.begin() + (start - 1), text.end(), b));
}

std::string NextToken(std::string_view text, std::string_view delimiters, int32_t& position) {
  const int64_t len = static_cast<int64_t>(text.size());
  if (position < 1 || position > len || delimiters.empty()) {
    position = 0;
    return {};
  }
  std::array<bool, 256> isDelimiter{};
  if (delimiters.size() <= kMaxMarker)
    for (char c : delimiters) isDelimiter[Byte(c)] = true;

  int64_t pos = position;
  for (;;) {
    // d: first delimiter at or after pos, outside double-quoted stretches.
    int64_t d = 0;
    bool quoted = false;
    for (int64_t i = pos; i <= len; ++i) {
      const char c = text[static_cast<size_t>(i - 1)];
      if (c == '"') quoted = !quoted;
      if (!quoted && isDelimiter[Byte(c)]) {
        d = i;
        break;
      }
    }
    if (d != 0 && d == pos) {
      ++pos;  // skip a run of delimiters
      continue;
    }
    if (d > 0) {
      position = static_cast<int32_t>(d + 1);
      return std::string(text.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(d - pos)));
    }
    position = 0;
    if (pos > len) return {};
    return std::string(text.substr(static_cast<size_t>(pos - 1)));
  }
}

}  // namespace vantrelis
