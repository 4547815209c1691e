// Cuts one directory listing page into the values of one contact.
#include "harvest/listing_parser.h"

#include <string>

#include "text/html.h"
#include "text/scan.h"

namespace vantrelis {
namespace {

// ExtractBetweenQuoteless from position 1, on a page lowered and freed of
// quotes once for all four fields that use it.
std::string QuotelessField(const QuotelessText& page, std::string_view startMarker,
                           std::string_view endMarker) {
  int32_t position = 1;
  return page.ExtractBetween(startMarker, endMarker, position);
}

std::string NoCaseField(std::string_view page, std::string_view startMarker, std::string_view endMarker) {
  int32_t position = 1;
  return ExtractBetweenNoCase(page, startMarker, endMarker, position);
}

}  // namespace

std::optional<Trs> ParseListingPage(std::string_view page) {
  const QuotelessText quoteless(page);

  Trs r;
  r.Name = QuotelessField(quoteless, "<H1 class=\"n fn\">", "</H1>");
  r.adress1 = QuotelessField(quoteless, "<SPAN class=street-address>", "</SPAN>");
  r.cp = QuotelessField(quoteless, "<SPAN class=postal-code>", "</SPAN>");
  r.adress2 = QuotelessField(quoteless, "<SPAN class=locality>", "</SPAN>");
  CleanHtmlValue(r.adress2);
  r.adress2 = StripTags(r.adress2);
  r.tel = StripTags(NoCaseField(page, "phone:", "</SPAN>"));
  r.Fax = StripTags(NoCaseField(page, "Fax:", "</SPAN>"));
  r.site = ExtractHref(NoCaseField(page, "Site web:", "</td>"));
  r.email = CollectEmails(page);

  // The fallback is decided before the directory's own address is removed:
  // a page whose only address is that one ends with an empty e-mail.
  if (r.email.empty() && !r.site.empty()) r.email = "contact@" + DomainOfHost(r.site);
  ReplaceAll(r.email, std::string(CustomerCareAddress) + ",", "");
  ReplaceAll(r.email, CustomerCareAddress, "");

  if (Trim(r.Name).empty()) return std::nullopt;
  CleanHtmlValue(r.Name);
  return r;
}

}  // namespace vantrelis
