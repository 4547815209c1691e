// Turning a link cut out of page HTML into the address a browser follows.
#include "text/link_url.h"

#include <cstdint>

#include "text/ascii.h"
#include "text/codepage.h"
#include "text/html.h"

namespace vantrelis {
namespace {

// Decodes the numeric reference whose digits start at `text[i]` (after "&#");
// on success appends the character and returns the index after ";", else 0.
size_t DecodeNumeric(std::string_view text, size_t i, std::string& out) {
  int base = 10;
  if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  }
  uint32_t value = 0;
  bool overflow = false;
  size_t digits = 0;
  for (; i < text.size(); ++i, ++digits) {
    const int d = base == 16 ? HexDigitValue(text[i]) : (IsAsciiDigit(text[i]) ? text[i] - '0' : -1);
    if (d < 0) break;
    if (value > 0x10FFFF) {
      overflow = true;
    } else {
      value = value * base + static_cast<uint32_t>(d);
    }
  }
  if (digits == 0 || i >= text.size() || text[i] != ';') return 0;
  if (overflow || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    value = 0xFFFD;
  }
  if (value >= 0x80 && value <= 0x9F) {
    // As browsers do: these code points name the Windows-1252 characters.
    out += Windows1252ToUtf8(std::string(1, static_cast<char>(value)));
  } else {
    AppendUtf8(out, value);
  }
  return i + 1;
}

struct UriParts {
  bool hasScheme = false, hasAuthority = false, hasQuery = false, hasFragment = false;
  std::string_view scheme, authority, path, query, fragment;
};

UriParts ParseUri(std::string_view s) {
  UriParts u;
  // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
  if (!s.empty() && IsAsciiAlpha(s[0])) {
    size_t i = 1;
    while (i < s.size() &&
           (IsAsciiAlpha(s[i]) || IsAsciiDigit(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.')) {
      ++i;
    }
    if (i < s.size() && s[i] == ':') {
      u.hasScheme = true;
      u.scheme = s.substr(0, i);
      s.remove_prefix(i + 1);
    }
  }
  if (const size_t hash = s.find('#'); hash != std::string_view::npos) {
    u.hasFragment = true;
    u.fragment = s.substr(hash + 1);
    s = s.substr(0, hash);
  }
  if (const size_t q = s.find('?'); q != std::string_view::npos) {
    u.hasQuery = true;
    u.query = s.substr(q + 1);
    s = s.substr(0, q);
  }
  if (s.starts_with("//")) {
    u.hasAuthority = true;
    const size_t end = s.find('/', 2);
    u.authority = s.substr(2, end == std::string_view::npos ? std::string_view::npos : end - 2);
    s = end == std::string_view::npos ? std::string_view() : s.substr(end);
  }
  u.path = s;
  return u;
}

// RFC 3986, 5.2.4.
std::string RemoveDotSegments(std::string_view input) {
  std::string output;
  auto dropLastSegment = [&output] {
    const size_t slash = output.rfind('/');
    output.erase(slash == std::string::npos ? 0 : slash);
  };
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.remove_prefix(3);
    } else if (input.starts_with("./") || input.starts_with("/./")) {
      input.remove_prefix(2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../")) {
      input.remove_prefix(3);
      dropLastSegment();
    } else if (input == "/..") {
      input = "/";
      dropLastSegment();
    } else if (input == "." || input == "..") {
      input = {};
    } else {
      const size_t next = input.find('/', input[0] == '/' ? 1 : 0);
      const size_t n = next == std::string_view::npos ? input.size() : next;
      output.append(input.substr(0, n));
      input.remove_prefix(n);
    }
  }
  return output;
}

std::string Recompose(const UriParts& u, const std::string& path) {
  std::string out;
  if (u.hasScheme) out.append(u.scheme).append(":");
  if (u.hasAuthority) out.append("//").append(u.authority);
  out += path;
  if (u.hasQuery) out.append("?").append(u.query);
  if (u.hasFragment) out.append("#").append(u.fragment);
  return out;
}

}  // namespace

std::string DecodeHtmlEntities(std::string_view text) {
  static constexpr struct {
    std::string_view name;
    char value;
  } kNamed[] = {{"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}, {"lt;", '<'}, {"gt;", '>'}};
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '&') {
      out += c;
      ++i;
      continue;
    }
    const std::string_view rest = text.substr(i + 1);
    if (rest.starts_with('#')) {
      if (const size_t next = DecodeNumeric(text, i + 2, out); next != 0) {
        i = next;
        continue;
      }
    } else {
      bool decoded = false;
      for (const auto& entity : kNamed) {
        if (rest.starts_with(entity.name)) {
          out += entity.value;
          i += 1 + entity.name.size();
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    out += c;
    ++i;
  }
  return out;
}

std::string ResolveUrl(std::string_view base, std::string_view reference) {
  const UriParts b = ParseUri(base);
  const UriParts r = ParseUri(reference);
  if (r.hasScheme) return Recompose(r, RemoveDotSegments(r.path));
  if (!b.hasScheme) return std::string(reference);

  UriParts t;
  std::string path;
  t.hasScheme = true;
  t.scheme = b.scheme;
  if (r.hasAuthority) {
    t.hasAuthority = true;
    t.authority = r.authority;
    path = RemoveDotSegments(r.path);
    t.hasQuery = r.hasQuery;
    t.query = r.query;
  } else {
    t.hasAuthority = b.hasAuthority;
    t.authority = b.authority;
    if (r.path.empty()) {
      path = std::string(b.path);
      t.hasQuery = r.hasQuery || b.hasQuery;
      t.query = r.hasQuery ? r.query : b.query;
    } else {
      if (r.path.starts_with('/')) {
        path = RemoveDotSegments(r.path);
      } else {
        std::string merged;
        if (b.hasAuthority && b.path.empty()) {
          merged = "/";
        } else if (const size_t slash = b.path.rfind('/'); slash != std::string_view::npos) {
          merged = std::string(b.path.substr(0, slash + 1));
        }
        merged.append(r.path);
        path = RemoveDotSegments(merged);
      }
      t.hasQuery = r.hasQuery;
      t.query = r.query;
    }
  }
  t.hasFragment = r.hasFragment;
  t.fragment = r.fragment;
  return Recompose(t, path);
}

std::string FollowableLink(std::string_view link, std::string_view base) {
  const std::string decoded = DecodeHtmlEntities(Windows1252ToUtf8(link));
  const std::string_view value = Trim(decoded);
  std::string cleaned;
  cleaned.reserve(value.size());
  for (const char c : value) {
    if (c != '\t' && c != '\n' && c != '\r') cleaned += c;
  }
  return ResolveUrl(base, cleaned);
}

namespace {

// The address without its fragment and one trailing slash, percent escapes
// decoded and ASCII letters in lower case: the form SameAddress compares.
std::string Comparable(std::string_view url) {
  if (const size_t hash = url.find('#'); hash != std::string_view::npos) url = url.substr(0, hash);
  if (!url.empty() && url.back() == '/') url.remove_suffix(1);
  std::string out;
  out.reserve(url.size());
  for (size_t i = 0; i < url.size(); ++i) {
    if (url[i] == '%' && i + 2 < url.size()) {
      const int high = HexDigitValue(url[i + 1]);
      const int low = HexDigitValue(url[i + 2]);
      if (high >= 0 && low >= 0) {
        out += AsciiLower(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out += AsciiLower(url[i]);
  }
  return out;
}

}  // namespace

bool SameAddress(std::string_view a, std::string_view b) { return Comparable(a) == Comparable(b); }

std::string AddressScheme(std::string_view url) {
  size_t i = 0;
  while (i < url.size() && static_cast<unsigned char>(url[i]) <= 0x20) ++i;  // as browsers trim
  const size_t start = i;
  for (; i < url.size(); ++i) {
    const char c = url[i];
    if (c == ':') break;
    // A scheme starts with a letter; digits, "+", "-" and "." may follow.
    const bool notFirst = IsAsciiDigit(c) || c == '+' || c == '-' || c == '.';
    if (!IsAsciiAlpha(c) && !(i > start && notFirst)) return {};
  }
  if (i == url.size() || i == start) return {};
  std::string scheme(url.substr(start, i - start));
  for (char& c : scheme) c = AsciiLower(c);
  return scheme;
}

}  // namespace vantrelis
