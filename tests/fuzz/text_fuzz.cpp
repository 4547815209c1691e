// Every text operation on arbitrary bytes and positions, with the
// invariants that must hold whatever the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "text/codepage.h"
#include "text/collation.h"
#include "text/html.h"
#include "text/scan.h"

using namespace vantrelis;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

int32_t NaiveFind(std::string_view text, std::string_view marker, int32_t start) {
  if (text.empty() || marker.empty() || start < 1 || marker.size() > 256) return 0;
  for (size_t p = static_cast<size_t>(start - 1); p + marker.size() <= text.size(); ++p)
    if (text.substr(p, marker.size()) == marker) return static_cast<int32_t>(p + 1);
  return 0;
}

// After a successful extraction, the value stands right before the end
// marker, which ends at position - 1, and the start marker right before it.
void CheckExtraction(std::string_view t, std::string_view s, std::string_view e, const std::string& value,
                     int32_t before, int32_t after, bool noCase) {
  if (after == 0) {
    Check(value.empty());
    return;
  }
  Check(after > before);
  const size_t endOfE = static_cast<size_t>(after - 1);
  Check(endOfE >= e.size() + value.size() + s.size() && endOfE <= t.size());
  const size_t q = endOfE - e.size(), v = q - value.size(), p = v - s.size();
  Check(p + 1 >= static_cast<size_t>(before));
  auto same = [&](std::string_view x, std::string_view y) { return noCase ? EqualNoCase(x, y) : x == y; };
  Check(same(t.substr(q, e.size()), e));
  Check(t.substr(v, value.size()) == value);
  Check(same(t.substr(p, s.size()), s));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string a = in.ConsumeRandomLengthString(300);
  const std::string b = in.ConsumeRandomLengthString(12);
  const std::string c = in.ConsumeRandomLengthString(12);
  const int32_t position = in.ConsumeIntegralInRange<int32_t>(-2, static_cast<int32_t>(a.size()) + 2);
  const std::string text = in.ConsumeRemainingBytesAsString();

  for (std::string_view t : {std::string_view(text), std::string_view(a)}) {
    Check(FindFrom(t, b, position) == NaiveFind(t, b, position));
    Check(FindFrom(t, b, 1) == NaiveFind(t, b, 1));

    int32_t pos = position;
    std::string value = ExtractBetween(t, b, c, pos);
    CheckExtraction(t, b, c, value, position, pos, false);
    pos = position;
    value = ExtractBetweenNoCase(t, b, c, pos);
    CheckExtraction(t, b, c, value, position, pos, true);
    pos = position;
    value = ExtractBetweenQuoteless(t, b, c, pos);
    Check(value.find_first_of("\"'ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos);
    Check(pos == 0 || pos > position);

    std::string edited(t);
    const int32_t count = ReplaceAll(edited, b, c);
    if (b.empty() || count == 0) {
      Check(edited == t);
    } else {
      Check(count >= 1 && static_cast<size_t>(count) <= t.size() / b.size());
      Check(static_cast<int64_t>(edited.size()) ==
            static_cast<int64_t>(t.size()) +
                (static_cast<int64_t>(c.size()) - static_cast<int64_t>(b.size())) * count);
    }

    const char byte = b.empty() ? '<' : b[0];
    edited = t;
    const int32_t counted = CountChar(t, byte, 1);
    Check(counted == std::count(t.begin(), t.end(), byte));
    Check(DeleteChar(edited, byte) == static_cast<int32_t>(t.size()) - counted);
    Check(edited.find(byte) == std::string::npos);
    Check(CountChar(t, byte, position) <= counted);

    edited = t;
    const int32_t length = in.remaining_bytes() == 0 ? static_cast<int32_t>(a.size() % 7) : 3;
    const int32_t left = DeleteRange(edited, position, length);
    Check(left == static_cast<int32_t>(edited.size()) && edited.size() <= t.size());
    if (position >= 1) {
      const int64_t removed =
          std::max<int64_t>(0, std::min<int64_t>(length, static_cast<int64_t>(t.size()) - position + 1));
      Check(static_cast<int64_t>(edited.size()) == static_cast<int64_t>(t.size()) - removed);
    }

    // Tokens: positions move strictly forward until 0.
    pos = position;
    int32_t previous = pos;
    for (size_t steps = 0;; ++steps) {
      Check(steps <= t.size() + 1);
      const std::string token = NextToken(t, b, pos);
      Check(token.size() <= t.size());
      if (pos == 0) break;
      Check(pos > previous);
      previous = pos;
    }

    // Cleaning leaves no bracket and no line break; stripping leaves no tag.
    std::string cleaned(t);
    CleanHtmlValue(cleaned);
    Check(cleaned.find_first_of("<>\n\r\t") == std::string::npos);
    const std::string stripped = StripTags(t);
    Check(Trim(stripped).size() == stripped.size());
    const size_t open = stripped.find('<');
    Check(open == std::string::npos || stripped.find('>', open) == std::string::npos);

    ExtractHref(t);
    DomainOfHost(t);
    const std::string emails = CollectEmails(t);
    Check(emails.find_first_of(" \"'") == std::string::npos);

    if (t.size() <= 48) {
      static const std::regex tag("<[^>]*>");
      static const std::regex email("[_a-zA-Z\\d\\-\\.]+@[_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+");
      const std::string owned(t);
      Check(ReplaceTagMatches(t, "#") == std::regex_replace(owned, tag, "#"));
      const auto found = FindEmailMatches(t);
      size_t k = 0;
      for (auto it = std::sregex_iterator(owned.begin(), owned.end(), email); it != std::sregex_iterator();
           ++it, ++k)
        Check(k < found.size() && found[k] == it->str());
      Check(k == found.size());
    }

    // Conversions: the code page survives both round trips.
    Check(Utf16ToWindows1252(Windows1252ToUtf16(t)) == t);
    const std::string utf8 = Windows1252ToUtf8(t);
    Check(IsValidUtf8(utf8) && Utf8ToWindows1252(utf8) == t);
    Utf8ToWindows1252(t);
    std::u16string wide(t.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
      wide[i] =
          static_cast<char16_t>(static_cast<uint8_t>(t[2 * i]) | (static_cast<uint8_t>(t[2 * i + 1]) << 8));
    Utf16ToWindows1252(wide);
  }

  // Comparison: antisymmetric, case-blind for A-Z, keys in the same order.
  const int ab = CompareNoCase(a, b), ba = CompareNoCase(b, a);
  Check((ab > 0) == (ba < 0) && (ab == 0) == (ba == 0));
  std::string upper = a;
  for (char& ch : upper)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
  Check(CompareNoCase(a, upper) == 0);
  const int keys = NoCaseSortKey(a).compare(NoCaseSortKey(b));
  Check((keys > 0) == (ab > 0) && (keys == 0) == (ab == 0));
  return 0;
}
