// CRC-32C with the SSE 4.2 instruction where the processor has it, else
// eight table lookups per eight bytes. Long runs go in three streams
// side by side, over three parts of its bytes, so that the instruction's
// latency is hidden, and joins their results by the shift rule: the CRC
// register after bytes A then B is that after A alone multiplied by
// x^(8 |B|) modulo the polynomial, plus that after B alone from zero.
#include "store/crc32c.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace vantrelis {
namespace {

constexpr uint32_t kPolynomial = 0x82F63B78u;  // reflected Castagnoli

using Tables = std::array<std::array<uint32_t, 256>, 8>;

Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}

uint32_t Software(uint32_t crc, const unsigned char* p, size_t size) {
  static const Tables t = MakeTables();
  // The eight-byte steps read words in little-endian order.
  while (std::endian::native == std::endian::little && size >= 8) {
    uint32_t low;
    uint32_t high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + 4, 4);
    low ^= crc;
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    p += 8;
    size -= 8;
  }
  while (size-- > 0) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
  return crc;
}

// a * b modulo the polynomial, both in the reflected bit order.
uint32_t MultiplyModP(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t m = 1u << 31; m != 0; m >>= 1) {
    if (a & m) product ^= b;
    b = (b & 1) ? (b >> 1) ^ kPolynomial : b >> 1;
  }
  return product;
}

// x^(8 * bytes) modulo the polynomial: what a register is multiplied by when
// that many zero bytes go through it.
uint32_t ShiftOperator(size_t bytes) {
  static const std::array<uint32_t, 64> powers = [] {
    // x^(2^k) for k = 0..63.
    std::array<uint32_t, 64> t{};
    t[0] = 1u << 30;  // x^1
    for (size_t k = 1; k < t.size(); ++k) t[k] = MultiplyModP(t[k - 1], t[k - 1]);
    return t;
  }();
  uint32_t result = 1u << 31;  // x^0
  for (size_t k = 3; bytes != 0; bytes >>= 1, ++k) {
    if (bytes & 1) result = MultiplyModP(powers[k], result);
  }
  return result;
}

uint32_t CopySoftware(uint32_t crc, unsigned char* to, const unsigned char* from, size_t size) {
  std::memcpy(to, from, size);
  return Software(crc, from, size);
}

#if defined(__x86_64__)
// The CRC instruction over `size` bytes at `from`, copying them to `to` on
// the way when `kCopy`. Long runs go in three streams side by side, whose
// registers are joined at the end by the shift rule.
template <bool kCopy>
__attribute__((target("sse4.2"))) uint32_t HardwareStreams(uint32_t crc, unsigned char* to,
                                                           const unsigned char* from, size_t size) {
  uint64_t a = crc;
  if (size >= size_t{3} * 1024) {
    const size_t third = size / 3 / 8 * 8;
    uint64_t b = 0;
    uint64_t c = 0;
    for (size_t at = 0; at < third; at += 8) {
      uint64_t wa;
      uint64_t wb;
      uint64_t wc;
      std::memcpy(&wa, from + at, 8);
      std::memcpy(&wb, from + third + at, 8);
      std::memcpy(&wc, from + 2 * third + at, 8);
      if constexpr (kCopy) {
        std::memcpy(to + at, &wa, 8);
        std::memcpy(to + third + at, &wb, 8);
        std::memcpy(to + 2 * third + at, &wc, 8);
      }
      a = _mm_crc32_u64(a, wa);
      b = _mm_crc32_u64(b, wb);
      c = _mm_crc32_u64(c, wc);
    }
    const uint32_t shift = ShiftOperator(third);
    a = MultiplyModP(shift, MultiplyModP(shift, static_cast<uint32_t>(a)) ^ static_cast<uint32_t>(b)) ^
        static_cast<uint32_t>(c);
    from += 3 * third;
    if constexpr (kCopy) to += 3 * third;
    size -= 3 * third;
  }
  for (; size >= 8; size -= 8, from += 8) {
    uint64_t word;
    std::memcpy(&word, from, 8);
    if constexpr (kCopy) {
      std::memcpy(to, &word, 8);
      to += 8;
    }
    a = _mm_crc32_u64(a, word);
  }
  auto c32 = static_cast<uint32_t>(a);
  for (; size > 0; --size) {
    if constexpr (kCopy) *to++ = *from;
    c32 = _mm_crc32_u8(c32, *from++);
  }
  return c32;
}

uint32_t CopyHardware(uint32_t crc, unsigned char* to, const unsigned char* from, size_t size) {
  return HardwareStreams<true>(crc, to, from, size);
}

uint32_t Hardware(uint32_t crc, const unsigned char* p, size_t size) {
  return HardwareStreams<false>(crc, nullptr, p, size);
}
#endif

}  // namespace

uint32_t Crc32c(uint32_t crc, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  crc = ~crc;
#if defined(__x86_64__)
  static const bool hardware = __builtin_cpu_supports("sse4.2");
  crc = hardware ? Hardware(crc, p, size) : Software(crc, p, size);
#else
  crc = Software(crc, p, size);
#endif
  return ~crc;
}

uint32_t CopyCrc32c(uint32_t crc, void* to, const void* from, size_t size) {
  auto* out = static_cast<unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  crc = ~crc;
#if defined(__x86_64__)
  static const bool hardware = __builtin_cpu_supports("sse4.2");
  crc = hardware ? CopyHardware(crc, out, in, size) : CopySoftware(crc, out, in, size);
#else
  crc = CopySoftware(crc, out, in, size);
#endif
  return ~crc;
}

}  // namespace vantrelis
