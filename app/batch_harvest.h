// The headless harvest of vantrelis-batch: a real browser, no window shown.
#pragma once

#include <functional>
#include <string>

#include "store/contact_table.h"

namespace vantrelis {

// Harvests from the result page at `url` ("demo": the bundled demo
// directory's first result page) into `table` until no "Suivant" link is
// left or SIGINT/SIGTERM asks for a stop, then settles the open row.
// Prints one progress line per listing on stderr, after `afterListing` ran
// (the row of the listing is in the table then, the next one not yet
// loaded). Throws std::runtime_error (French message) when the harvest fails.
void BatchHarvest(ContactTable& table, const std::string& url, const std::function<void()>& afterListing = {});

}  // namespace vantrelis
