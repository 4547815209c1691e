// Locale-aware comparison that ignores letter case (ICU collator).
#include "text/collation.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "text/codepage.h"

namespace vantrelis {
namespace {

// The ICU locale name of the user's collation setting: the first non-empty
// of LC_ALL, LC_COLLATE and LANG without its code set and modifier
// ("fr_CH.UTF-8@euro" gives "fr_CH"); the root locale for C and POSIX.
std::string UserCollationLocale() {
  const char* value = nullptr;
  for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != '\0') {
      value = v;
      break;
    }
  }
  if (value == nullptr) return "";
  std::string locale(value);
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale == "C" || locale == "POSIX") return "";
  return locale;
}

struct CollatorDeleter {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorDeleter>;

CollatorPtr OpenCollator() {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(UserCollationLocale().c_str(), &status);
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    collator = ucol_open("", &status);
    if (U_FAILURE(status)) return nullptr;
  }
  // Secondary strength: accents count, letter case does not. Punctuation
  // stays significant, so "a.b@x.ch" and "ab@x.ch" remain two addresses.
  ucol_setStrength(collator, UCOL_SECONDARY);
  status = U_ZERO_ERROR;
  ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
  return CollatorPtr(collator);
}

UCollator* ThreadCollator() {
  thread_local CollatorPtr collator = OpenCollator();
  return collator.get();
}

int Sign(int v) { return (v > 0) - (v < 0); }

// Code unit by code unit after simple lower-casing: orders texts that the
// collator finds equal although they differ in more than letter case (for
// example by a character the collator ignores), so that such texts are not
// taken for one another.
int CompareLowered(const std::u16string& a, const std::u16string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const UChar32 x = u_tolower(a[i]);
    const UChar32 y = u_tolower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return Sign(static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size()));
}

}  // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
  const std::u16string wa = Windows1252ToUtf16(a);
  const std::u16string wb = Windows1252ToUtf16(b);
  if (UCollator* collator = ThreadCollator()) {
    const UCollationResult r =
        ucol_strcoll(collator, reinterpret_cast<const UChar*>(wa.data()), static_cast<int32_t>(wa.size()),
                     reinterpret_cast<const UChar*>(wb.data()), static_cast<int32_t>(wb.size()));
    if (r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  }
  return CompareLowered(wa, wb);
}

std::string NoCaseSortKey(std::string_view text) {
  const std::u16string wide = Windows1252ToUtf16(text);
  std::string key;
  if (UCollator* collator = ThreadCollator()) {
    // The collator's key ends in its only zero byte, so whether it differs
    // is settled before the tie-break below is reached.
    uint8_t buffer[256];
    const UChar* data = reinterpret_cast<const UChar*>(wide.data());
    const int32_t length = static_cast<int32_t>(wide.size());
    int32_t needed = ucol_getSortKey(collator, data, length, buffer, sizeof buffer);
    if (needed <= static_cast<int32_t>(sizeof buffer)) {
      key.assign(reinterpret_cast<const char*>(buffer), static_cast<size_t>(needed));
    } else {
      key.resize(static_cast<size_t>(needed));
      needed = ucol_getSortKey(collator, data, length, reinterpret_cast<uint8_t*>(key.data()), needed);
      key.resize(static_cast<size_t>(needed));
    }
  }
  // Tie-break as in CompareLowered: lowered code units, most significant byte first.
  key.reserve(key.size() + 2 * wide.size());
  for (const char16_t u : wide) {
    const UChar32 lower = u_tolower(u);
    key.push_back(static_cast<char>((lower >> 8) & 0xFF));
    key.push_back(static_cast<char>(lower & 0xFF));
  }
  return key;
}

bool SortedNoCaseList::Add(std::string_view text) {
  // Binary search for the first entry not sorting before `text`.
  size_t lo = 0, hi = m_items.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (CompareNoCase(m_items[mid], text) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo < m_items.size() && CompareNoCase(m_items[lo], text) == 0) return false;
  m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(lo), std::string(text));
  return true;
}

}  // namespace vantrelis
