#include "text/html.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

#include "text/scan.h"

namespace vantrelis {
namespace {

using namespace std::string_literals;

std::string Cleaned(std::string text) {
  CleanHtmlValue(text);
  return text;
}

TEST(StripTags, BreaksSpacesAndTags) {
  EXPECT_EQ(StripTags("<span class=x>8001</span>&nbsp;Z\xFCrich"), "8001 Z\xFCrich");
  EXPECT_EQ(StripTags("  Z\xFCrich<br>Kreis 4 "), "Z\xFCrich Kreis 4");
  EXPECT_EQ(StripTags("a<b"), "a<b");
  EXPECT_EQ(StripTags("1 < 2 > 0"), "1  0");
  EXPECT_EQ(StripTags("\xA0x\xA0"), "\xA0x\xA0");  // no-break space is not trimmed
  EXPECT_EQ(StripTags("<a\n href=x>y\0z</a>"s), "y\0z"s);
}

TEST(CleanHtmlValue, ReplacementsInTheirOrder) {
  EXPECT_EQ(Cleaned("\r\n  M\xFCller &amp; Co <b>AG</b>\r\n"), "M\xFCller & Co AG");
  EXPECT_EQ(Cleaned("Tel &#32;1"), "Tel & 1");
  EXPECT_EQ(Cleaned("&amp;nbsp;"), "&nbsp;");
  EXPECT_EQ(Cleaned("%3A"), "%3A");
  EXPECT_EQ(Cleaned("%3a%2f"), ":/");
  EXPECT_EQ(Cleaned("A <B>; B"), "A  B");
  EXPECT_EQ(Cleaned("Caf&eacute; \x95 Cr&egrave;me"), "Caf\xE9  Cr\xE8me");
}

TEST(CleanHtmlValue, BracketBalancingAndCuts) {
  EXPECT_EQ(Cleaned("a<b"), "a");
  EXPECT_EQ(Cleaned("a>b<c>d"), "bd");
  EXPECT_EQ(Cleaned("a < b"), "a ");
  // One kind left after a cut: from the first byte through that bracket.
  EXPECT_EQ(Cleaned("x>y>z"), "z");
  EXPECT_EQ(Cleaned("p<i>q>r"), "r");
  EXPECT_EQ(Cleaned("no brackets"), "no brackets");
  EXPECT_EQ(Cleaned("a>b"), "b");  // "<" put in front, "<a>" cut
  EXPECT_EQ(Cleaned(""), "");
  EXPECT_EQ(Cleaned("<b></b>"), "");
}

// CleanHtmlValue's tag cutting done literally, round by round, as the
// reference for the one-pass version.
std::string CutLiterally(std::string text) {
  for (;;) {
    const int32_t i = FindFrom(text, ">", 1), j = FindFrom(text, "<", 1);
    const int32_t lo = std::min(i, j), hi = std::max(i, j);
    if (hi == 0) break;
    DeleteRange(text, lo, hi - lo + 1);
    if (lo == 0) break;
  }
  return text;
}

TEST(CleanHtmlValue, MatchesTheRoundByRoundCutOnRandomValues) {
  std::mt19937 rng(11);
  const std::string alphabet = "<>xy ";  // none of the fixed replacements can apply
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 14);
    for (int k = 0; k < n; ++k) text += alphabet[rng() % alphabet.size()];
    // Brackets balanced and the value trimmed, the cut done literally, then
    // the brackets left over removed.
    std::string expected = text;
    if (CountChar(expected, '<', 1) > CountChar(expected, '>', 1)) expected += '>';
    if (CountChar(expected, '>', 1) > CountChar(expected, '<', 1)) expected = "<" + expected;
    expected = std::string(Trim(expected));
    if (expected.find('<') != std::string::npos) expected = CutLiterally(expected);
    DeleteChar(expected, '<');
    DeleteChar(expected, '>');
    ASSERT_EQ(Cleaned(text), expected) << "input '" << text << "'";
  }
}

TEST(ExtractHref, ThreeAttempts) {
  EXPECT_EQ(ExtractHref(" href=\"/x/y\" class=z"), "/x/y");
  EXPECT_EQ(ExtractHref(" href='/x/y'"), "/x/y");
  EXPECT_EQ(ExtractHref(" href=/x/y class=z"), "/x/y");
  EXPECT_EQ(ExtractHref(" href=\"\" class=z"), "\"\"");
  EXPECT_EQ(ExtractHref(" href=/x>Go</a> next"), "/x>Go</a>");
  EXPECT_EQ(ExtractHref(" href=/x>Go</a>"), "");
  EXPECT_EQ(ExtractHref(" HREF=\"/x\" "), "");
}

TEST(CollectEmails, SortedUniqueJoined) {
  EXPECT_EQ(CollectEmails("Write to Info@Firma.ch or info@firma.ch."), "Info@Firma.ch");
  EXPECT_EQ(CollectEmails("<a href=\"mailto:b@x.ch\">b@x.ch</a>, a@y.ch"), "a@y.ch,b@x.ch");
  EXPECT_EQ(CollectEmails("user@localhost and nothing else"), "");
  EXPECT_EQ(CollectEmails(""), "");
  // Punctuation keeps addresses apart.
  EXPECT_EQ(CollectEmails("a.b@x.ch ab@x.ch"), "a.b@x.ch,ab@x.ch");
}

TEST(DomainOfHost, LastTwoLabels) {
  EXPECT_EQ(DomainOfHost("alpha.beta.gamma"), "beta.gamma");
  EXPECT_EQ(DomainOfHost("scheme://alpha.beta.gamma/"), "beta.gamma/");
  EXPECT_EQ(DomainOfHost("a.b."), "b.");
  EXPECT_EQ(DomainOfHost("gamma"), "");
  EXPECT_EQ(DomainOfHost(""), "");
  EXPECT_EQ(DomainOfHost("..x..y"), "x.y");
}

// Random texts over a small alphabet rich in the expressions' special bytes.
std::string RandomText(std::mt19937& rng, const std::string& alphabet, int maxLength) {
  std::string text;
  const int n = static_cast<int>(rng() % (maxLength + 1));
  for (int i = 0; i < n; ++i) text += alphabet[rng() % alphabet.size()];
  return text;
}

TEST(TagMatcher, AgreesWithABacktrackingEngine) {
  const std::regex tag("<[^>]*>");
  std::mt19937 rng(3);
  const std::string alphabet = "<>a \n\x80<>A1\0"s;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomText(rng, alphabet, 16);
    ASSERT_EQ(ReplaceTagMatches(text, "#"), std::regex_replace(text, tag, "#")) << "input '" << text << "'";
  }
}

TEST(EmailMatcher, AgreesWithABacktrackingEngine) {
  const std::regex email("[_a-zA-Z\\d\\-\\.]+@[_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+");
  std::mt19937 rng(5);
  const std::string alphabets[] = {"a@.-_ \n", "a@.", "aA1@.-_<>\x80 \0"s};
  for (int round = 0; round < 60000; ++round) {
    const std::string text = RandomText(rng, alphabets[round % 3], 18);
    std::vector<std::string> expected;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), email); it != std::sregex_iterator(); ++it)
      expected.push_back(it->str());
    std::vector<std::string> got;
    for (std::string_view m : FindEmailMatches(text)) got.emplace_back(m);
    ASSERT_EQ(got, expected) << "input '" << text << "'";
  }
}

TEST(EmailMatcher, TrickyInputs) {
  using Views = std::vector<std::string_view>;
  EXPECT_EQ(FindEmailMatches("a@b@c.d"), (Views{"b@c.d"}));
  EXPECT_EQ(FindEmailMatches("a@b..c"), Views{});
  EXPECT_EQ(FindEmailMatches("x.@y.z."), (Views{"x.@y.z"}));
  EXPECT_EQ(FindEmailMatches("-@-.-"), (Views{"-@-.-"}));
  EXPECT_EQ(FindEmailMatches("a@b.c@d.e"), (Views{"a@b.c"}));
  EXPECT_EQ(FindEmailMatches("a@b.c d@e.f"), (Views{"a@b.c", "d@e.f"}));
}

TEST(Matchers, AdversarialInputsFinish) {
  // Inputs on which a backtracking engine goes quadratic or worse; here
  // they only need to come out right.
  const size_t n = 1 << 20;
  EXPECT_EQ(ReplaceTagMatches(std::string(n, '<'), "").size(), n);
  EXPECT_EQ(StripTags(std::string(n, '<') + ">").size(), 0u);
  EXPECT_TRUE(FindEmailMatches(std::string(n, 'a')).empty());
  EXPECT_TRUE(FindEmailMatches(std::string(n, '@')).empty());
  std::string dots;
  for (size_t i = 0; i < n / 2; ++i) dots += "a@";
  EXPECT_TRUE(FindEmailMatches(dots).empty());
  std::string labels = "a@b";
  while (labels.size() < n) labels += ".c";
  EXPECT_EQ(FindEmailMatches(labels).size(), 1u);
  std::string tags;
  while (tags.size() < n) tags += "<a>x";
  std::string value = tags;
  CleanHtmlValue(value);
  EXPECT_EQ(value, std::string(n / 4, 'x'));
}

}  // namespace
}  // namespace vantrelis
