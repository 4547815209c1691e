#include "text/scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace vantrelis {
namespace {

using namespace std::string_literals;

// Plain left-to-right search with the same contract as FindFrom.
int32_t NaiveFind(const std::string& text, const std::string& marker, int32_t start) {
  if (text.empty() || marker.empty() || start < 1 || marker.size() > 256) return 0;
  for (size_t p = static_cast<size_t>(start - 1); p + marker.size() <= text.size(); ++p)
    if (text.compare(p, marker.size(), marker) == 0) return static_cast<int32_t>(p + 1);
  return 0;
}

TEST(FindFrom, MatchesANaiveScanOnRandomTexts) {
  std::mt19937 rng(7);
  const std::string alphabet = "abAB\0\x80\xff"s;
  for (int round = 0; round < 20000; ++round) {
    std::string text, marker;
    const int n = static_cast<int>(rng() % 40), m = 1 + static_cast<int>(rng() % 5);
    for (int i = 0; i < n; ++i) text += alphabet[rng() % (round % 2 ? 2 : alphabet.size())];
    for (int i = 0; i < m; ++i) marker += alphabet[rng() % (round % 2 ? 2 : alphabet.size())];
    const int32_t start = static_cast<int32_t>(rng() % (n + 3)) - 1;
    ASSERT_EQ(FindFrom(text, marker, start), NaiveFind(text, marker, start))
        << "text '" << text << "' marker '" << marker << "' start " << start;
  }
}

TEST(FindFrom, Limits) {
  EXPECT_EQ(FindFrom("abc", "", 1), 0);
  EXPECT_EQ(FindFrom("", "a", 1), 0);
  EXPECT_EQ(FindFrom("abc", "c", 3), 3);
  EXPECT_EQ(FindFrom("abc", "c", 4), 0);
  EXPECT_EQ(FindFrom("abc", "bc", 3), 0);  // cannot fit
  EXPECT_EQ(FindFrom("abc", "a", 0), 0);
  EXPECT_EQ(FindFrom("a\0b"s, "\0b"s, 1), 2);
  const std::string m256(256, 'x'), m257(257, 'x');
  EXPECT_EQ(FindFrom("y" + m256, m256, 1), 2);
  EXPECT_EQ(FindFrom(m257, m257, 1), 0);
}

TEST(ExtractBetween, ValuePositionAndFailures) {
  int32_t pos = 1;
  EXPECT_EQ(ExtractBetween("<b>x</b>", "<b>", "</b>", pos), "x");
  EXPECT_EQ(pos, 9);
  EXPECT_EQ(ExtractBetween("<b>x</b>", "<b>", "</b>", pos), "");
  EXPECT_EQ(pos, 0);

  pos = 1;
  EXPECT_EQ(ExtractBetween("<b></b>", "<b>", "</b>", pos), "");
  EXPECT_EQ(pos, 8);  // empty value, but found

  pos = 1;
  EXPECT_EQ(ExtractBetween("<b>x", "<b>", "</b>", pos), "");
  EXPECT_EQ(pos, 0);
  pos = 1;
  EXPECT_EQ(ExtractBetween("xx<b>", "<b>", "x", pos), "");  // start marker ends the text
  EXPECT_EQ(pos, 0);
  pos = 3;
  EXPECT_EQ(ExtractBetween("abc", "a", "c", pos), "");  // position == length
  EXPECT_EQ(pos, 0);
  pos = 1;
  EXPECT_EQ(ExtractBetween("abc", "", "c", pos), "");
  EXPECT_EQ(pos, 0);

  // Walking all occurrences.
  const std::string text = "[1][22][]x[333]";
  std::string seen;
  pos = 1;
  for (int i = 0; i < 10 && pos != 0; ++i) seen += ExtractBetween(text, "[", "]", pos) + "|";
  EXPECT_EQ(seen, "1|22||333||");
}

TEST(ExtractBetween, NoCaseKeepsTheTextsCase) {
  int32_t pos = 1;
  EXPECT_EQ(ExtractBetweenNoCase("Tel PHONE: 044 123</span> x", "phone:", "</SPAN>", pos), " 044 123");
  EXPECT_EQ(pos, 26);
  pos = 1;
  // Only A-Z fold: an accented capital does not match its small letter.
  EXPECT_EQ(ExtractBetweenNoCase("x\xC9[v]", "\xE9[", "]", pos), "");
  EXPECT_EQ(pos, 0);
}

TEST(ExtractBetween, Quoteless) {
  int32_t pos = 1;
  EXPECT_EQ(ExtractBetweenQuoteless("<H1 class=\"n fn\">Caf\xE9 'Zur Post' AG</H1>", "<H1 class=\"n fn\">",
                                    "</H1>", pos),
            "caf\xE9 zur post ag");
  // Position counts in the quote-free text: 15 (marker) + 16 (value) + 5 + 1.
  EXPECT_EQ(pos, 37);
  pos = 1;
  EXPECT_EQ(ExtractBetweenQuoteless("<H1 class='n fn'>\xC9"
                                    "COLE SA</H1>",
                                    "<H1 class=\"n fn\">", "</H1>", pos),
            "\xC9"
            "cole sa");
  pos = 1;
  EXPECT_EQ(ExtractBetweenQuoteless("a\"'b", "\"'", "b", pos), "");
  EXPECT_EQ(pos, 0);
  // Handing the position back continues in the same text.
  const std::string text = "<i>'A'</i><i>\"B\"</i>";
  pos = 1;
  EXPECT_EQ(ExtractBetweenQuoteless(text, "<i>", "</i>", pos), "a");
  EXPECT_EQ(ExtractBetweenQuoteless(text, "<i>", "</i>", pos), "b");
}

TEST(ExtractBetween, QuotelessAgreesWithItsDefinitionOnRandomTexts) {
  // Long enough texts to cross the block-wise lowering and its tail.
  std::mt19937 rng(13);
  const std::string alphabet = "aAzZ@[\"'\x80\xC9]"s;
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int i = static_cast<int>(rng() % 70); i > 0; --i) text += alphabet[rng() % alphabet.size()];
    std::string transformed;
    for (char c : text)
      if (c != '"' && c != '\'') transformed += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    int32_t expectedPos = 1 + static_cast<int32_t>(rng() % 4), pos = expectedPos;
    const std::string expected = ExtractBetween(transformed, "[", "]", expectedPos);
    ASSERT_EQ(ExtractBetweenQuoteless(text, "[", "]", pos), expected) << text;
    ASSERT_EQ(pos, expectedPos) << text;
    ASSERT_EQ(ExtractBetweenQuoteless(text, "@", "", pos = 1), "");
  }
}

TEST(ReplaceAll, CountsAndResults) {
  std::string t = "aaa";
  EXPECT_EQ(ReplaceAll(t, "aa", "b"), 1);
  EXPECT_EQ(t, "ba");
  t = "a";
  EXPECT_EQ(ReplaceAll(t, "a", "aa"), 1);
  EXPECT_EQ(t, "aa");
  t = "abc";
  EXPECT_EQ(ReplaceAll(t, "", "x"), 0);
  EXPECT_EQ(t, "abc");
  t = "a.b.c";
  EXPECT_EQ(ReplaceAll(t, ".", ""), 2);
  EXPECT_EQ(t, "abc");
  t = "x\0y\0"s;
  EXPECT_EQ(ReplaceAll(t, "\0"s, "--"), 2);
  EXPECT_EQ(t, "x--y--");
  // More occurrences than one growth step of the position array.
  t = std::string(5000, 'a');
  EXPECT_EQ(ReplaceAll(t, "a", "bc"), 5000);
  EXPECT_EQ(t.size(), 10000u);
  EXPECT_EQ(t.substr(0, 4), "bcbc");
  // Searches longer than a marker are still replaced.
  const std::string longSearch(300, 'q');
  t = "<" + longSearch + ">";
  EXPECT_EQ(ReplaceAll(t, longSearch, "q"), 1);
  EXPECT_EQ(t, "<q>");
}

TEST(DeleteAndCount, RangesAndBytes) {
  std::string t = "abcdef";
  EXPECT_EQ(DeleteRange(t, 3, 2), 4);
  EXPECT_EQ(t, "abef");
  t = "abc";
  EXPECT_EQ(DeleteRange(t, 2, 10), 1);
  EXPECT_EQ(t, "a");
  t = "abc";
  EXPECT_EQ(DeleteRange(t, 4, 1), 3);
  EXPECT_EQ(DeleteRange(t, 1, 0), 3);
  EXPECT_EQ(DeleteRange(t, 0, 2), 2);  // positions 0 and 1: only the first byte is in the text
  EXPECT_EQ(t, "bc");
  EXPECT_EQ(DeleteRange(t, -5, 3), 2);  // entirely before the text
  EXPECT_EQ(DeleteRange(t, 2, INT32_MAX), 1);
  EXPECT_EQ(t, "b");

  t = "line one\nline two";
  EXPECT_EQ(DeleteChar(t, '\n'), 16);
  EXPECT_EQ(t, "line oneline two");
  t = "\0a\0"s;
  EXPECT_EQ(DeleteChar(t, '\0'), 1);

  EXPECT_EQ(CountChar("<a><b>", '<', 1), 2);
  EXPECT_EQ(CountChar("<a><b>", '<', 4), 1);
  EXPECT_EQ(CountChar("<a><b>", '<', 7), 0);
  EXPECT_EQ(CountChar("<a><b>", '<', 0), 0);
}

std::vector<std::string> Tokens(std::string_view text, std::string_view delimiters,
                                std::vector<int32_t>* positions = nullptr) {
  std::vector<std::string> out;
  int32_t pos = 1;
  do {
    out.push_back(NextToken(text, delimiters, pos));
    if (positions) positions->push_back(pos);
  } while (pos != 0 && out.size() < 100);
  return out;
}

using Strings = std::vector<std::string>;

TEST(NextToken, DelimiterRunsQuotesAndEnds) {
  std::vector<int32_t> positions;
  EXPECT_EQ(Tokens("alpha.beta.ch", ".", &positions), (Strings{"alpha", "beta", "ch"}));
  EXPECT_EQ(positions, (std::vector<int32_t>{7, 12, 0}));
  EXPECT_EQ(Tokens("a..b", "."), (Strings{"a", "b"}));
  EXPECT_EQ(Tokens(".a.b", "."), (Strings{"a", "b"}));
  EXPECT_EQ(Tokens("a.", "."), (Strings{"a", ""}));
  EXPECT_EQ(Tokens("a..", "."), (Strings{"a", ""}));
  EXPECT_EQ(Tokens("\"a.b\".c", "."), (Strings{"\"a.b\"", "c"}));
  EXPECT_EQ(Tokens("\"a.b.c", "."), (Strings{"\"a.b.c"}));  // quote never closed
  EXPECT_EQ(Tokens("", "."), (Strings{""}));
  EXPECT_EQ(Tokens("a b,c", " ,"), (Strings{"a", "b", "c"}));
  // A quote that is itself a delimiter: opening never, closing yes.
  EXPECT_EQ(Tokens("x\"y\"z", "\""), (Strings{"x\"y", "z"}));

  int32_t pos = 1;
  EXPECT_EQ(NextToken("a.b", "", pos), "");
  EXPECT_EQ(pos, 0);
  pos = 4;
  EXPECT_EQ(NextToken("a.b", ".", pos), "");
  EXPECT_EQ(pos, 0);
  // A delimiter set longer than 256 bytes holds no delimiter.
  pos = 1;
  EXPECT_EQ(NextToken("a.b", std::string(257, '.'), pos), "a.b");
  EXPECT_EQ(pos, 0);
}

}  // namespace
}  // namespace vantrelis
