#include "text/collation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <thread>

namespace vantrelis {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(CompareNoCase, CaseIgnoredAccentsAndPunctuationNot) {
  EXPECT_EQ(CompareNoCase("Info@Firma.CH", "info@firma.ch"), 0);
  EXPECT_EQ(CompareNoCase("", ""), 0);
  EXPECT_LT(CompareNoCase("a", "B"), 0);
  EXPECT_GT(CompareNoCase("b", "A"), 0);
  EXPECT_LT(CompareNoCase("", "a"), 0);
  EXPECT_NE(CompareNoCase("cote", "c\xF4te"), 0);
  EXPECT_EQ(CompareNoCase("\xC9"
                          "cole",
                          "\xE9"
                          "cole"),
            0);
  EXPECT_NE(CompareNoCase("a.b", "ab"), 0);
  EXPECT_NE(CompareNoCase("a-b", "a_b"), 0);
  // Bytes a collator may ignore still tell texts apart.
  EXPECT_NE(CompareNoCase("ab", "a\xADz"), 0);
  EXPECT_NE(CompareNoCase(std::string("a\x01"
                                      "b"),
                          "ab"),
            0);
  EXPECT_NE(CompareNoCase(std::string("a\0b", 3), "ab"), 0);
}

TEST(CompareNoCase, IsAConsistentOrderOnRandomTexts) {
  std::mt19937 rng(9);
  const std::string alphabet = "aAbB.-_@\xE9\xC9\xAD\x01 1";
  auto random = [&] {
    std::string s;
    for (int i = static_cast<int>(rng() % 5); i > 0; --i) s += alphabet[rng() % alphabet.size()];
    return s;
  };
  auto upper = [](std::string s) {
    for (char& c : s)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string a = random(), b = random(), c = random();
    const int ab = Sign(CompareNoCase(a, b)), bc = Sign(CompareNoCase(b, c)), ac = Sign(CompareNoCase(a, c));
    ASSERT_EQ(Sign(CompareNoCase(b, a)), -ab) << a << " / " << b;
    if (ab <= 0 && bc <= 0) {
      ASSERT_LE(ac, 0) << a << " / " << b << " / " << c;
    }
    ASSERT_EQ(CompareNoCase(a, upper(a)), 0) << a;
    if (ab == 0) {
      ASSERT_EQ(upper(a).size(), upper(b).size()) << a << " / " << b;
    }
    const std::string ka = NoCaseSortKey(a), kb = NoCaseSortKey(b);
    ASSERT_EQ(Sign(ka.compare(kb)), ab) << a << " / " << b;
  }
}

TEST(SortedNoCaseList, SortedFirstOneStays) {
  SortedNoCaseList list;
  EXPECT_TRUE(list.Empty());
  EXPECT_TRUE(list.Add("b@x.ch"));
  EXPECT_TRUE(list.Add("A@x.ch"));
  EXPECT_FALSE(list.Add("B@X.CH"));
  EXPECT_TRUE(list.Add("c@x.ch"));
  EXPECT_FALSE(list.Add("a@x.ch"));
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"A@x.ch", "b@x.ch", "c@x.ch"}));
  EXPECT_EQ(list.Size(), 3u);
}

TEST(CompareNoCase, WorksOnEveryThread) {
  int result = 1;
  std::thread worker([&] { result = CompareNoCase("ABC", "abc"); });
  worker.join();
  EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace vantrelis
