// CRC-32C (Castagnoli), the checksum of the session journal's records.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrelis {

// Continues the CRC-32C `crc` (0 to start) over `size` bytes at `data`; uses
// the processor's CRC instruction where there is one.
uint32_t Crc32c(uint32_t crc, const void* data, size_t size);

// As Crc32c over `from`, copying the bytes to `to` on the way (the two do
// not overlap): one pass over memory instead of two.
uint32_t CopyCrc32c(uint32_t crc, void* to, const void* from, size_t size);

}  // namespace vantrelis
