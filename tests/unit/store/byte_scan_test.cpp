#include "store/byte_scan.h"

#include <gtest/gtest.h>

#include "store/contact_table.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace vantrelis {
namespace {

#if defined(__SSE2__)
// The word-at-a-time scans agree with the portable ones on every start,
// length and width, and never let the copy pass its width. Like a stored
// row, the text is followed by kStoredRowSlack readable bytes; they are NULs,
// which every scan stops at, so a word scan that let a byte past its range
// count would disagree.
TEST(ByteScan, WordScansAgreeWithThePortableOnes) {
  std::mt19937 random(77);
  const std::string alphabet = std::string("\"%;\r\n\0abc", 9);
  constexpr size_t kTextSize = 96;
  for (int round = 0; round < 300; ++round) {
    std::string text(kTextSize + kStoredRowSlack, '\0');
    std::fill_n(text.begin(), kTextSize, 'x');
    const unsigned specials = random() % 4;
    for (unsigned i = 0; i < specials; ++i) text[random() % kTextSize] = alphabet[random() % alphabet.size()];
    for (size_t from = 0; from < 40; ++from) {
      const size_t length = random() % (kTextSize - from + 1);
      const char* p = text.data() + from;
      const char* end = p + length;
      const size_t width = random() % 40;

      std::vector<uint8_t> portableOut(width + 32, 0xEE);
      std::vector<uint8_t> wordOut(width + 32, 0xEE);
      uint8_t* portableAt = portableOut.data();
      uint8_t* wordAt = wordOut.data();
      const char* portableStop =
          scan_portable::CopyText<'"', '%'>(p, end, portableAt, portableOut.data() + width);
      const char* wordStop = scan_sse2::CopyText<'"', '%'>(p, end, wordAt, wordOut.data() + width);
      ASSERT_EQ(wordStop, portableStop) << round << " " << from;
      ASSERT_EQ(wordAt - wordOut.data(), portableAt - portableOut.data());
      ASSERT_LE(static_cast<size_t>(wordAt - wordOut.data()), width);
      ASSERT_TRUE(std::equal(portableOut.data(), portableAt, wordOut.data()));

      portableAt = portableOut.data();
      wordAt = wordOut.data();
      const char* portableUnquoted =
          scan_portable::CopyText<';', '%'>(p, end, portableAt, portableOut.data() + width);
      const char* wordUnquoted = scan_sse2::CopyText<';', '%'>(p, end, wordAt, wordOut.data() + width);
      ASSERT_EQ(wordUnquoted, portableUnquoted);
      ASSERT_EQ(wordAt - wordOut.data(), portableAt - portableOut.data());

      ASSERT_EQ(scan_sse2::SkipToBreak(p, end), scan_portable::SkipToBreak(p, end));
      const auto* bytes = reinterpret_cast<const uint8_t*>(p);
      ASSERT_EQ(scan_sse2::HasCodedByte(bytes, length), scan_portable::HasCodedByte(bytes, length))
          << round << " " << from << " " << length;
    }
  }
}
#endif

}  // namespace
}  // namespace vantrelis
