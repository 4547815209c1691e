// Locale-aware comparison that ignores letter case, for sorted lists of
// links and e-mail addresses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrelis {

// <0, 0 or >0 as `a` sorts before, equal to or after `b` (Windows-1252 texts)
// under the user's locale (LC_ALL/LC_COLLATE/LANG), ignoring letter case.
// Texts that differ only in ASCII letter case always compare equal.
int CompareNoCase(std::string_view a, std::string_view b);

// A byte string whose order (std::string's operator<) is the order of
// CompareNoCase: equal keys exactly for texts that compare equal.
std::string NoCaseSortKey(std::string_view text);

// A sorted list without duplicates under CompareNoCase: adding a text equal
// to one already present leaves the list unchanged (the first one stays).
class SortedNoCaseList {
 public:
  // Adds `text` unless an equal entry exists; returns whether it was added.
  bool Add(std::string_view text);
  const std::vector<std::string>& Items() const { return m_items; }
  bool Empty() const { return m_items.empty(); }
  size_t Size() const { return m_items.size(); }

 private:
  std::vector<std::string> m_items;
};

}  // namespace vantrelis
