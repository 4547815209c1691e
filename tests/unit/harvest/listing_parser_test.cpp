#include "harvest/listing_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrelis {
namespace {

struct PageParts {
  std::string nameTag = "<H1 class=\"n fn\">";
  std::string name = "Boulangerie Dupont";
  std::string street = "Rue du Lac 12";
  std::string postal = "1003";
  std::string locality = "Lausanne";
  std::string phone = "<SPAN class=tel>Phone: 021 312 45 67</SPAN>";
  std::string fax = "<SPAN class=fax>Fax: 021 312 45 68</SPAN>";
  std::string site = "<td>Site web: <a href=\"http://www.dupont.ch\">www.dupont.ch</a></td>";
  std::string mails = "<a href=\"mailto:info@dupont.ch\">info@dupont.ch</a>";
  std::string footer = "<p>Contact</p>";
};

std::string Page(const PageParts& p) {
  return "<DIV id=main>" + p.nameTag + p.name + "</H1>\n<DIV class=adr>" + "<SPAN class=\"street-address\">" +
         p.street + "</SPAN> " + "<SPAN class=\"postal-code\">" + p.postal + "</SPAN> " +
         "<SPAN class='locality'>" + p.locality + "</SPAN></DIV>\n" + p.phone + "\n" + p.fax +
         "\n<table><tr>" + p.site + "</tr></table>\n" + p.mails + "\n" + p.footer + "</DIV>";
}

TEST(ParseListingPage, TypicalListing) {
  const auto r = ParseListingPage(Page({}));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Name, "boulangerie dupont");
  EXPECT_EQ(r->adress1, "rue du lac 12");
  EXPECT_EQ(r->cp, "1003");
  EXPECT_EQ(r->adress2, "lausanne");
  EXPECT_EQ(r->tel, "021 312 45 67");
  EXPECT_EQ(r->Fax, "021 312 45 68");
  EXPECT_EQ(r->site, "http://www.dupont.ch");
  EXPECT_EQ(r->email, "info@dupont.ch");
}

TEST(ParseListingPage, NoListing) {
  EXPECT_FALSE(ParseListingPage(""));
  EXPECT_FALSE(ParseListingPage("<html><body>Aucun r\xE9sultat</body></html>"));
  PageParts blank;
  blank.name = " \r\n\t \n";
  EXPECT_FALSE(ParseListingPage(Page(blank)));
  PageParts open;
  open.name = "Name without end";
  EXPECT_FALSE(ParseListingPage(open.nameTag + open.name));
}

TEST(ParseListingPage, NameSpellingsAndCleaning) {
  PageParts p;
  p.name = "<b></b>";  // only mark-up: a listing with an empty name
  auto r = ParseListingPage(Page(p));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Name, "");

  p.name = "Caf\xE9 L'Ours SA";
  r = ParseListingPage(Page(p));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Name, "caf\xE9 lours sa");

  p.name =
      "\xC9"
      "COLE M\xDCLLER &amp; FILS";
  p.street = "PLACE D'ARMES 3";
  p.locality = "GEN\xC8VE<br>Cedex";
  r = ParseListingPage(Page(p));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Name,
            "\xC9"
            "cole m\xDCller & fils");
  EXPECT_EQ(r->adress1, "place darmes 3");
  EXPECT_EQ(r->adress2, "gen\xC8vecedex");

  for (const char* tag : {"<h1 class=\"n fn\">", "<H1 CLASS='N FN'>", "<h1 class=n fn>"}) {
    p.nameTag = tag;
    p.name = "X";
    r = ParseListingPage(Page(p));
    ASSERT_TRUE(r) << tag;
    EXPECT_EQ(r->Name, "x");
  }
}

TEST(ParseListingPage, PhoneFaxAndSite) {
  PageParts p;
  p.phone = "<span>PHONE:<b>+41 21</b> 312</span> <span>phone: 099</span>";
  p.fax = "";
  p.site = "";
  const auto r = ParseListingPage(Page(p));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->tel, "+41 21 312");  // first occurrence, page's case and tags stripped
  EXPECT_EQ(r->Fax, "");
  EXPECT_EQ(r->site, "");
  EXPECT_EQ(r->email, "info@dupont.ch");
}

TEST(ParseListingPage, EmailFallbackAndCustomerCareAddress) {
  PageParts p;
  p.mails = "";
  p.footer = "";
  p.site = "";
  EXPECT_EQ(ParseListingPage(Page(p))->email, "");

  p.site = "<td>Site web: <a href=\"http://www.boulangerie.dupont.ch/\">x</a></td>";
  EXPECT_EQ(ParseListingPage(Page(p))->email, "contact@dupont.ch/");

  p.site = "<td>Site web: <a href='intranet'>x</a></td>";
  EXPECT_EQ(ParseListingPage(Page(p))->email, "contact@");

  // The page's only address is the directory's own: empty even with a site.
  p.footer = "<p>service.clients@annuaire.example</p>";
  EXPECT_EQ(ParseListingPage(Page(p))->email, "");

  // First, in the middle, and last of the sorted list: only as the last
  // one does it leave the comma before it behind.
  p.site = "";
  p.mails = "t@dupont.ch";
  EXPECT_EQ(ParseListingPage(Page(p))->email, "t@dupont.ch");
  p.mails = "a@dupont.ch zz@dupont.ch";
  EXPECT_EQ(ParseListingPage(Page(p))->email, "a@dupont.ch,zz@dupont.ch");
  p.mails = "b@dupont.ch a@dupont.ch";
  EXPECT_EQ(ParseListingPage(Page(p))->email, "a@dupont.ch,b@dupont.ch,");
}

TEST(ParseListingPage, HostileBytesDoNotBreakIt) {
  PageParts p;
  p.name = std::string("A\0B\x81\xFF", 5);
  p.street = "\"\"''";
  const auto r = ParseListingPage(Page(p));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Name, std::string("a\0b\x81\xFF", 5));
  EXPECT_EQ(r->adress1, "");

  // Pages built to make naive matching slow still come out right.
  const size_t n = 1 << 20;
  EXPECT_FALSE(ParseListingPage(std::string(n, '<')));
  EXPECT_FALSE(ParseListingPage(std::string(n, '@')));
  std::string phones;
  while (phones.size() < n) phones += "phone:";
  EXPECT_FALSE(ParseListingPage(phones));
  p.name = std::string(n, '<');
  const auto brackets = ParseListingPage(Page(p));
  ASSERT_TRUE(brackets);
  EXPECT_EQ(brackets->Name, "");
}

}  // namespace
}  // namespace vantrelis
