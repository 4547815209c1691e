// The headless harvest of vantrelis-batch: a real browser, no window shown.
#pragma once

#include <functional>
#include <string>

#include "store/contact_table.h"

namespace vantrelis {

// Harvests from the result page at `url` ("demo": the bundled demo
// directory's first result page) into `table` until no "Suivant" link is
// left or a stop signal (see StopSignals) ends it, then settles the open
// row. Prints one line per listing on stderr (address and reason for a
// skipped one), after `afterListing` ran (the listing's row is in the table
// then, the next listing not yet loaded), and a summary. Throws
// std::runtime_error (French message) when the harvest fails, a start page
// that cannot be loaded included; the rows harvested before stay in `table`.
void BatchHarvest(ContactTable& table, const std::string& url,
                  const std::function<void()>& afterListing = {});

}  // namespace vantrelis
