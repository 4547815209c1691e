// Clean-up of HTML fragments cut out of a page into plain field values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrelis {

// Blanks for <br>, <BR> and &nbsp;, every "<...>" tag removed, then trimmed
// (bytes <= 0x20 at both ends).
std::string StripTags(std::string_view text);

// Cleans a value in place: control bytes, entities and a fixed list of tags
// removed, then brackets balanced and what is left of tags cut out.
void CleanHtmlValue(std::string& text);

// The href target of an anchor fragment ("...", '...' or up to a blank); empty if none.
std::string ExtractHref(std::string_view fragment);

// Every e-mail address of the text, sorted and de-duplicated ignoring case
// (locale-aware), joined by ","; empty if none.
std::string CollectEmails(std::string_view text);

// The last two "."-separated labels of `text` joined by "."; empty if fewer.
std::string DomainOfHost(std::string_view text);

// Replaces every match of "<[^>]*>" by `replacement` (leftmost-first, linear time).
std::string ReplaceTagMatches(std::string_view text, std::string_view replacement);

// Every match of the e-mail expression
// "[_a-zA-Z\d\-\.]+@[_a-zA-Z\d\-]+(\.[_a-zA-Z\d\-]+)+", left to right,
// each search starting where the previous match ended (linear time).
std::vector<std::string_view> FindEmailMatches(std::string_view text);

// Trims every byte <= 0x20 from both ends.
std::string_view Trim(std::string_view text);

}  // namespace vantrelis
