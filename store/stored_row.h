// The stored form of one contact row, shared by everything that keeps rows
// as bytes: the table's row arena, the session journal and the CSV reader.
//
// A stored row is kFieldCount length bytes in field order (kNoValueLength
// for a field with no value), then the texts back to back in field order,
// each already cut at its first NUL and to its field's width. At least
// kStoredRowSlack readable bytes follow every stored row in memory, so that
// readers may load it in whole 16-byte words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrelis {

// The nine fields in table order (also the CSV and workbook column order).
enum class Field : uint8_t { Name, email, tel, Fax, Category, adress1, adress2, site, cp };
inline constexpr int32_t kFieldCount = 9;

// Maximum stored length in bytes of each field, in field order.
inline constexpr std::array<uint8_t, kFieldCount> kFieldWidths{120, 65, 15, 15, 160, 200, 30, 140, 20};

inline constexpr uint8_t kNoValueLength = 255;
inline constexpr int32_t kStoredRowMax = kFieldCount + 765;
inline constexpr int32_t kStoredRowSlack = 32;

// The values of one row in field order; nullopt for a field with no value.
using RowValues = std::array<std::optional<std::string_view>, kFieldCount>;

// The stored form of a text assigned to `field`: cut at its first NUL, then
// to the field's width.
inline std::string_view CutToField(Field field, std::string_view text) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const size_t width = kFieldWidths[static_cast<size_t>(field)];
  return text.size() > width ? text.substr(0, width) : text;
}

// Writes `values` in stored form at `out` (room for kStoredRowMax bytes),
// each cut as CutToField does; returns the number of bytes written.
inline size_t PackStoredRow(const RowValues& values, uint8_t* out) {
  size_t offset = kFieldCount;
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (!values[f]) {
      out[f] = kNoValueLength;
      continue;
    }
    const std::string_view text = CutToField(static_cast<Field>(f), *values[f]);
    out[f] = static_cast<uint8_t>(text.size());
    if (!text.empty()) std::memcpy(out + offset, text.data(), text.size());
    offset += text.size();
  }
  return offset;
}

// The value of `field` in a stored row; nullopt for no value.
inline std::optional<std::string_view> StoredValue(const uint8_t* row, Field field) {
  const auto f = static_cast<size_t>(field);
  if (row[f] == kNoValueLength) return std::nullopt;
  size_t offset = kFieldCount;
  for (size_t i = 0; i < f; ++i) {
    if (row[i] != kNoValueLength) offset += row[i];
  }
  return std::string_view(reinterpret_cast<const char*>(row + offset), row[f]);
}

// Every value of a stored row, viewing its bytes.
inline RowValues StoredValues(const uint8_t* row) {
  RowValues values;
  size_t offset = kFieldCount;
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (row[f] == kNoValueLength) continue;
    values[f] = std::string_view(reinterpret_cast<const char*>(row + offset), row[f]);
    offset += row[f];
  }
  return values;
}

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

// The size of the stored row at the start of `bytes`, read without slack;
// 0 when it is not a well-formed one (too short, a length beyond its
// field's width, a NUL in its texts).
inline size_t CheckedStoredRowSize(std::span<const uint8_t> bytes) {
  if (bytes.size() < static_cast<size_t>(kFieldCount)) return 0;
  size_t size = kFieldCount;
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (bytes[f] == kNoValueLength) continue;
    if (bytes[f] > kFieldWidths[f]) return 0;
    size += bytes[f];
  }
  if (size > bytes.size()) return 0;
  if (std::memchr(bytes.data() + kFieldCount, 0, size - kFieldCount) != nullptr) return 0;
  return size;
}

}  // namespace vantrelis
