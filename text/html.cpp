// Clean-up of HTML fragments cut out of a page into plain field values.
#include "text/html.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

#include "text/ascii.h"
#include "text/collation.h"
#include "text/scan.h"

namespace vantrelis {
namespace {

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// Byte classes of the e-mail expression: the local part [_a-zA-Z\d\-\.] and
// a domain label [_a-zA-Z\d\-].
struct EmailClasses {
  std::array<bool, 256> local{}, label{};
  constexpr EmailClasses() {
    for (int c = 0; c < 256; ++c) {
      label[c] = IsAsciiAlnum(static_cast<char>(c)) || c == '_' || c == '-';
      local[c] = label[c] || c == '.';
    }
  }
};
constexpr EmailClasses kEmail;

size_t FindByte(std::string_view text, char b, size_t from) {
  if (from >= text.size()) return std::string_view::npos;
  const void* hit = std::memchr(text.data() + from, b, text.size() - from);
  return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}

// The tag cut of CleanHtmlValue in one pass. Done round by round, each round
// cuts from the first bracket of either kind to the first bracket of the
// other kind; everything before that first bracket holds no bracket and is
// never touched again. When only one kind is left, the last round cuts from
// the first byte of the text as it then stands through that bracket.
void CutTagSpans(std::string& text) {
  std::string kept;
  size_t from = 0;
  for (;;) {
    size_t first = from;
    while (first < text.size() && text[first] != '<' && text[first] != '>') ++first;
    if (first == text.size()) {
      kept.append(text, from, std::string::npos);
      break;
    }
    const char other = text[first] == '<' ? '>' : '<';
    const size_t close = FindByte(text, other, first + 1);
    if (close == std::string_view::npos) {
      // Only one kind left: the text as it stands is `kept` + text[from..];
      // cutting from its first byte through `first` leaves what follows.
      kept.assign(text, first + 1, std::string::npos);
      break;
    }
    kept.append(text, from, first - from);
    from = close + 1;
  }
  text.swap(kept);
}

}  // namespace

std::string_view Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && Byte(text[b]) <= 0x20) ++b;
  while (e > b && Byte(text[e - 1]) <= 0x20) --e;
  return text.substr(b, e - b);
}

std::string ReplaceTagMatches(std::string_view text, std::string_view replacement) {
  // A match runs from a "<" to the first ">" after it. When a "<" has no ">"
  // after it, no later "<" has one either, so the rest is copied as it is.
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  for (;;) {
    const size_t open = FindByte(text, '<', from);
    const size_t close = open == std::string_view::npos ? open : FindByte(text, '>', open + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(from));
      return out;
    }
    out.append(text.substr(from, open - from));
    out.append(replacement);
    from = close + 1;
  }
}

std::vector<std::string_view> FindEmailMatches(std::string_view text) {
  // '@' belongs to no class and '.' to no label, so a match is the run of
  // local bytes right before an '@' (from the search start at the earliest),
  // the '@', one label, then every following ".label"; at least one of those.
  std::vector<std::string_view> matches;
  const size_t n = text.size();
  size_t searchStart = 0;
  size_t scan = 0;
  for (;;) {
    // Runs of '@' are common in hostile input: look at the next byte first.
    const size_t at = (scan < n && text[scan] == '@') ? scan : FindByte(text, '@', scan);
    if (at == std::string_view::npos) break;
    scan = at + 1;
    size_t begin = at;
    while (begin > searchStart && kEmail.local[Byte(text[begin - 1])]) --begin;
    if (begin == at) continue;
    size_t end = at + 1;
    while (end < n && kEmail.label[Byte(text[end])]) ++end;
    if (end == at + 1) continue;
    int groups = 0;
    while (end + 1 < n && text[end] == '.' && kEmail.label[Byte(text[end + 1])]) {
      end += 2;
      while (end < n && kEmail.label[Byte(text[end])]) ++end;
      ++groups;
    }
    if (groups == 0) continue;
    matches.push_back(text.substr(begin, end - begin));
    searchStart = scan = end;
  }
  return matches;
}

std::string StripTags(std::string_view text) {
  std::string work(text);
  ReplaceAll(work, "<br>", " ");
  ReplaceAll(work, "<BR>", " ");
  ReplaceAll(work, "&nbsp;", " ");
  return std::string(Trim(ReplaceTagMatches(work, "")));
}

void CleanHtmlValue(std::string& text) {
  DeleteChar(text, '\n');
  DeleteChar(text, '\r');
  DeleteChar(text, '\t');

  static constexpr std::pair<std::string_view, std::string_view> kReplacements[] = {
      {"\x95", ""},      {"&egrave;", "\xE8"}, {"&eacute;", "\xE9"}, {"#32;", " "},  {"&#149;", ""},
      {"&nbsp;", ""},    {"<br>", ""},         {"<BR>", ""},         {"<td>", ""},   {"<TD>", ""},
      {"</td>", ""},     {"</TD>", ""},        {"<B>;", ""},         {"</B>", ""},   {"<span>", ""},
      {"<SPAN>", ""},    {"</SPAN>", ""},      {"</span>", ""},      {"&amp;", "&"}, {"<strong>", ""},
      {"</strong>", ""}, {"<STRONG>", ""},     {"</STRONG>", ""},    {"<li>", ""},   {"</li>", ""},
      {"<b>", ""},       {"</b>", ""},         {"%3a", ":"},         {"%2f", "/"},
  };
  for (const auto& [search, replacement] : kReplacements) ReplaceAll(text, search, replacement);

  // Balance the brackets: at most one added by each test.
  if (CountChar(text, '<', 1) > CountChar(text, '>', 1)) text.push_back('>');
  if (CountChar(text, '>', 1) > CountChar(text, '<', 1)) text.insert(text.begin(), '<');

  const std::string_view trimmed = Trim(text);
  if (trimmed.size() != text.size()) text = std::string(trimmed);

  if (text.find('<') != std::string::npos) CutTagSpans(text);

  DeleteChar(text, '<');
  DeleteChar(text, '>');
}

std::string ExtractHref(std::string_view fragment) {
  static constexpr std::pair<std::string_view, std::string_view> kAttempts[] = {
      {"href=\"", "\""}, {"href='", "'"}, {"href=", " "}};
  for (const auto& [startMarker, endMarker] : kAttempts) {
    int32_t position = 1;
    std::string value = ExtractBetween(fragment, startMarker, endMarker, position);
    if (!value.empty()) return value;
  }
  return {};
}

std::string CollectEmails(std::string_view text) {
  // What adding the matches one by one to a SortedNoCaseList gives (sorted,
  // the first of equal addresses stays), without its quadratic cost and
  // without collating the same address again on pages that repeat it.
  std::unordered_set<std::string_view> seen;
  std::unordered_set<std::string> seenKeys;
  std::vector<std::pair<std::string, std::string_view>> entries;
  std::string_view previous;
  for (std::string_view address : FindEmailMatches(text)) {
    if (address == previous) continue;
    previous = address;
    if (!seen.insert(address).second) continue;
    std::string key = NoCaseSortKey(address);
    if (!seenKeys.insert(key).second) continue;
    entries.emplace_back(std::move(key), address);
  }
  std::sort(entries.begin(), entries.end());
  std::string joined;
  for (const auto& entry : entries) {
    if (!joined.empty()) joined.push_back(',');
    joined.append(entry.second);
  }
  return joined;
}

std::string DomainOfHost(std::string_view text) {
  std::string previous, last;
  size_t tokens = 0;
  int32_t position = 1;
  do {
    previous.swap(last);
    last = NextToken(text, ".", position);
    ++tokens;
  } while (position != 0);
  if (tokens < 2) return {};
  return previous + "." + last;
}

}  // namespace vantrelis
