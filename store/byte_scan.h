// Byte scanning for the contact file: runs of plain text copied up to the
// next byte that means something (a line break, a quote, a ;, a %), and the
// writer's test for bytes that need coding. Each comes in a portable form
// and, where the processor has SSE2 (every x86-64), in 16-byte words; `scan`
// names the one in use.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrelis {

// CR, LF and NUL end a line of the file.
inline bool IsLineBreak(char c) { return c == '\r' || c == '\n' || c == '\0'; }

namespace scan_portable {

// Copies bytes from `p` to `out` up to the first line break, `stopA` or
// `stopB`; `out` never passes `limit` (bytes beyond it are left out).
// Returns where it stopped: at that byte, or `end`.
template <char stopA, char stopB>
inline const char* CopyText(const char* p, const char* end, uint8_t*& out, uint8_t* limit) {
  for (; p < end; ++p) {
    const char c = *p;
    if (c == stopA || c == stopB || IsLineBreak(c)) break;
    if (out < limit) *out++ = static_cast<uint8_t>(c);
  }
  return p;
}

// The first line break in [p, end), or end.
inline const char* SkipToBreak(const char* p, const char* end) {
  while (p < end && !IsLineBreak(*p)) ++p;
  return p;
}

// Whether [p, p + size) holds a byte that the writer codes: % CR LF NUL ".
inline bool HasCodedByte(const uint8_t* p, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const uint8_t c = p[i];
    if (c == '%' || c == '\r' || c == '\n' || c == '\0' || c == '"') return true;
  }
  return false;
}

// Copies `size` bytes.
inline void CopyBytes(char* out, const uint8_t* in, size_t size) { std::memcpy(out, in, size); }

}  // namespace scan_portable

#if defined(__SSE2__)
namespace scan_sse2 {

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline __m128i Is(__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }
inline __m128i Breaks(__m128i v) {
  return _mm_or_si128(_mm_or_si128(Is(v, '\r'), Is(v, '\n')), _mm_cmpeq_epi8(v, _mm_setzero_si128()));
}
inline unsigned FirstBit(unsigned mask) { return static_cast<unsigned>(__builtin_ctz(mask)); }

// As scan_portable::CopyText; writes whole 16-byte words, so up to 16 bytes
// past `limit` may be written over.
template <char stopA, char stopB>
inline const char* CopyText(const char* p, const char* end, uint8_t*& out, uint8_t* limit) {
  while (end - p >= 16) {
    const __m128i v = Load(p);
    const unsigned stops = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(Breaks(v), _mm_or_si128(Is(v, stopA), Is(v, stopB)))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    if (stops != 0) {
      const unsigned n = FirstBit(stops);
      out = std::min(out + n, limit);
      return p + n;
    }
    p += 16;
    out = std::min(out + 16, limit);
  }
  return scan_portable::CopyText<stopA, stopB>(p, end, out, limit);
}

inline const char* SkipToBreak(const char* p, const char* end) {
  while (end - p >= 16) {
    const unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(Breaks(Load(p))));
    if (stops != 0) return p + FirstBit(stops);
    p += 16;
  }
  return scan_portable::SkipToBreak(p, end);
}

// As scan_portable::HasCodedByte; reads whole 16-byte words, so up to 15
// bytes past the range must be readable.
inline bool HasCodedByte(const uint8_t* p, size_t size) {
  for (size_t i = 0; i < size; i += 16) {
    const __m128i v = Load(p + i);
    unsigned coded = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(Breaks(v), _mm_or_si128(Is(v, '%'), Is(v, '"')))));
    if (size - i < 16) coded &= (1u << (size - i)) - 1;
    if (coded != 0) return true;
  }
  return false;
}

// Copies `size` bytes in whole 16-byte words: up to 15 bytes past either
// range are read or written over.
inline void CopyBytes(char* out, const uint8_t* in, size_t size) {
  for (size_t i = 0; i < size; i += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Load(in + i));
}

}  // namespace scan_sse2
namespace scan = scan_sse2;
#else
namespace scan = scan_portable;
#endif

}  // namespace vantrelis
