// ParseListingPage on arbitrary bytes: never crashes, and what it gives
// keeps the shape its clean-up promises.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "harvest/listing_parser.h"
#include "text/html.h"

using namespace vantrelis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const auto listing = ParseListingPage(page);
  if (!listing) return 0;
  const Trs& r = *listing;
  auto check = [](bool condition) {
    if (!condition) std::abort();
  };
  // Quote-free, lowered values; the name and locality hold no bracket.
  for (const std::string* value : {&r.Name, &r.adress1, &r.cp, &r.adress2})
    check(value->find_first_of("\"'ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos);
  check(r.Name.find_first_of("<>\n\r\t") == std::string::npos);
  check(r.adress2.find_first_of("<>") == std::string::npos);
  check(Trim(r.tel).size() == r.tel.size() && Trim(r.Fax).size() == r.Fax.size());
  for (const std::string* value : {&r.Name, &r.adress1, &r.cp, &r.adress2, &r.tel, &r.Fax, &r.site, &r.email})
    check(value->size() <= page.size() + 16);
  return 0;
}
