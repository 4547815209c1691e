// Cuts one directory listing page into the values of one contact.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrelis {

// The directory's own customer-care address, removed from every e-mail list.
inline constexpr std::string_view CustomerCareAddress = "service.clients@annuaire.example";

// The eight values of one listing (Category is never harvested).
struct Trs {
  std::string Name, adress1, cp, adress2, tel, Fax, site, email;
};

// The listing's values, or nullopt when the page holds no listing (no name
// marker, or only blanks and control bytes between the name markers).
std::optional<Trs> ParseListingPage(std::string_view page);

}  // namespace vantrelis
