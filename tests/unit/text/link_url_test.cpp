#include <gtest/gtest.h>

#include "text/link_url.h"

namespace vantrelis {
namespace {

TEST(DecodeHtmlEntities, DecodesTheReferencesOfAnAttributeValue) {
  EXPECT_EQ(DecodeHtmlEntities("a?x=1&amp;y=2&amp;amp;z"), "a?x=1&y=2&amp;z");
  EXPECT_EQ(DecodeHtmlEntities("&quot;&#39;&apos;&lt;&gt;"), "\"''<>");
  EXPECT_EQ(DecodeHtmlEntities("&#252;&#xFC;&#XfC;"), "\xC3\xBC\xC3\xBC\xC3\xBC");
  EXPECT_EQ(DecodeHtmlEntities("&#x20AC;&#128;"), "\xE2\x82\xAC\xE2\x82\xAC") << "0x80 names the euro sign";
  EXPECT_EQ(DecodeHtmlEntities("&#0;&#xD800;&#99999999999;"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  // Left alone: no ";", no digits, unknown names, a lone "&".
  EXPECT_EQ(DecodeHtmlEntities("&amp &#; &#x; &eacute; & &#12"), "&amp &#; &#x; &eacute; & &#12");
}

TEST(ResolveUrl, FollowsTheReferenceResolutionRules) {
  const std::string_view base = "http://a/b/c/d;p?q";
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
      {"g#s/../x", "http://a/b/c/g#s/../x"},
  };
  for (const auto& [reference, expected] : cases) {
    EXPECT_EQ(ResolveUrl(base, reference), expected) << "reference: " << reference;
  }
  EXPECT_EQ(ResolveUrl("http://h.example", "x/y"), "http://h.example/x/y");
  EXPECT_EQ(ResolveUrl("", "fiche/x.aspx"), "fiche/x.aspx") << "no base: unchanged";
  EXPECT_EQ(ResolveUrl("about:blank", "HTTPS://h.example/a/../b"), "HTTPS://h.example/b");
}

TEST(FollowableLink, DecodesTrimsAndResolvesLikeABrowser) {
  const std::string base = "http://127.0.0.1:8080/pagesjaunes/resultats.aspx?quoi=pain";
  EXPECT_EQ(FollowableLink("fiche/m\xFCller.aspx?id=7&amp;lang=fr", base),
            "http://127.0.0.1:8080/pagesjaunes/fiche/m\xC3\xBCller.aspx?id=7&lang=fr");
  EXPECT_EQ(FollowableLink(" /pagesjaunes/fiche/a\n.aspx\t ", base),
            "http://127.0.0.1:8080/pagesjaunes/fiche/a.aspx");
  EXPECT_EQ(FollowableLink("https://other.example/x", base), "https://other.example/x");
}

TEST(SameAddressTest, IgnoresFragmentsTrailingSlashEscapesAndAsciiCase) {
  EXPECT_TRUE(SameAddress("http://X.example/a/#b", "http://x.example/a"));
  EXPECT_TRUE(SameAddress("http://x.example/caf%C3%A9", "http://x.example/caf\xC3\xA9"));
  EXPECT_FALSE(SameAddress("http://x.example/a?p=1", "http://x.example/a?p=2"));
}

TEST(AddressSchemeTest, LowerCasedSchemeOrNothing) {
  EXPECT_EQ(AddressScheme("Http://x"), "http");
  EXPECT_EQ(AddressScheme("c:\\pages\\x.html"), "c");
  EXPECT_EQ(AddressScheme("/pages/x:y"), "");
}

}  // namespace
}  // namespace vantrelis
