#include "store/crc32c.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vantrelis {
namespace {

TEST(Crc32c, CheckValueAndContinuation) {
  EXPECT_EQ(Crc32c(0, "123456789", 9), 0xE3069283u);
  EXPECT_EQ(Crc32c(Crc32c(0, "1234", 4), "56789", 5), 0xE3069283u);
  EXPECT_EQ(Crc32c(0, "", 0), 0u);
}

// The copying form gives the checksum of the bytes and copies them exactly,
// whatever their length and alignment, around the lengths where it splits
// its work in three and with a checksum carried in; so does the plain
// checksum, which also splits long runs in three.
TEST(Crc32c, CopyingGivesTheSameChecksumAndTheSameBytes) {
  std::mt19937 random(5);
  std::vector<unsigned char> source((1 << 20) + 64);
  for (unsigned char& byte : source) byte = static_cast<unsigned char>(random());
  std::vector<size_t> sizes{0, 1, 7, 8, 9, 3071, 3072, 3073, 3 * 1024 + 23, 65536, (1 << 20) + 13};
  for (int i = 0; i < 200; ++i) sizes.push_back(random() % 20000);
  for (const size_t size : sizes) {
    const size_t from = random() % 16;
    const size_t to = random() % 16;
    const uint32_t seed = random() % 2 ? 0 : static_cast<uint32_t>(random());
    std::vector<unsigned char> copy(size + 32, 0xAA);
    // In pieces too short to be split, continued from one to the next.
    uint32_t pieces = seed;
    for (size_t at = 0; at < size; at += 1000) {
      pieces = Crc32c(pieces, source.data() + from + at, std::min<size_t>(1000, size - at));
    }
    ASSERT_EQ(Crc32c(seed, source.data() + from, size), pieces) << "size " << size;
    ASSERT_EQ(CopyCrc32c(seed, copy.data() + to, source.data() + from, size), pieces) << "size " << size;
    ASSERT_TRUE(std::equal(source.begin() + static_cast<ptrdiff_t>(from),
                           source.begin() + static_cast<ptrdiff_t>(from + size),
                           copy.begin() + static_cast<ptrdiff_t>(to)))
        << "size " << size;
    ASSERT_EQ(copy[to + size], 0xAA) << "nothing written past the end";
    if (to > 0) {
      ASSERT_EQ(copy[to - 1], 0xAA);
    }
  }
}

}  // namespace
}  // namespace vantrelis
