// The size of a stored row (see stored_row.h), read in one 16-byte word
// where the processor allows: kept apart so that only the code that walks
// stored rows sees the processor's intrinsics.
#pragma once

#include <cstddef>
#include <cstdint>

#include "store/stored_row.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrelis {

// The number of text bytes in a stored row (which must have slack after it).
inline size_t StoredTextSize(const uint8_t* row) {
#if defined(__SSE2__)
  // The nine length bytes as one word (a stored row has at least nine
  // bytes and slack after it), no-value lengths and the rest zeroed, summed.
  const __m128i lengths = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
  const __m128i firstNine = _mm_set_epi8(0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i values =
      _mm_andnot_si128(_mm_cmpeq_epi8(lengths, _mm_set1_epi8(static_cast<char>(kNoValueLength))), firstNine);
  const __m128i sums = _mm_sad_epu8(_mm_and_si128(lengths, values), _mm_setzero_si128());
  return static_cast<size_t>(_mm_cvtsi128_si32(sums)) + static_cast<size_t>(_mm_extract_epi16(sums, 4));
#else
  size_t size = 0;
  for (size_t i = 0; i < static_cast<size_t>(kFieldCount); ++i) {
    if (row[i] != kNoValueLength) size += row[i];
  }
  return size;
#endif
}

// The number of bytes a stored row takes (it must have slack after it).
inline size_t StoredRowSize(const uint8_t* row) { return kFieldCount + StoredTextSize(row); }

}  // namespace vantrelis
