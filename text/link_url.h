// Turning a link cut out of page HTML into the address a browser follows.
#pragma once

#include <string>
#include <string_view>

namespace vantrelis {

// Decodes the character references of an HTML attribute value: &amp; &quot;
// &apos; &lt; &gt; and numeric ones (&#NN; &#xNN;), written as UTF-8; a
// numeric reference to no valid character gives U+FFFD. Other text, unknown
// names and references without their ";" stay as they are.
std::string DecodeHtmlEntities(std::string_view text);

// Resolves `reference` against the absolute address `base` (RFC 3986,
// section 5.2, dot segments removed). An absolute reference is returned
// normalized the same way; without a usable base (empty or without a
// scheme) the reference is returned unchanged.
std::string ResolveUrl(std::string_view base, std::string_view reference);

// The address a browser follows for a link cut out of a page: `link` is
// Windows-1252 text as found in the HTML (entities not decoded); `base` is
// the page's address (UTF-8). Entities decoded, blanks around the value and
// tabs and line breaks inside it removed, resolved against `base`; UTF-8.
std::string FollowableLink(std::string_view link, std::string_view base);

// True when `a` and `b` name the same document: fragments, one trailing
// slash, percent-encoding and the letter case of ASCII letters aside.
bool SameAddress(std::string_view a, std::string_view b);

// The scheme of `url` in lower case ("" when it has none).
std::string AddressScheme(std::string_view url);

}  // namespace vantrelis
