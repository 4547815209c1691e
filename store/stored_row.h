// The stored form of one contact row, shared by everything that keeps rows
// as bytes: the table's row arena, the session journal and the CSV reader.
//
// A stored row is kFieldCount length bytes in field order (kNoValueLength
// for a field with no value), then the texts back to back in field order,
// each already cut at its first NUL and to its field's width. At least
// kStoredRowSlack readable bytes follow every stored row in memory, so that
// readers may load it in whole 16-byte words (see stored_row_size.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

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
