// The headless harvest of vantrelis-batch: a real browser, no window shown.
#pragma once

#include <functional>
#include <string>

#include "store/contact_table.h"

namespace vantrelis {

class SessionJournal;

// Harvests from the result page at `url` ("demo": the bundled demo
// directory's first result page) into `table` until no "Suivant" link is
// left or a stop signal (see StopSignals) ends it, then settles the open
// row; each listing's row is durable in `journal` (when given) before the
// next listing is loaded. Prints one line per listing on stderr (address
// and reason for a skipped one) and a summary. Throws std::runtime_error
// (French message) when the harvest fails, a start page that cannot be
// loaded included; the rows harvested before stay in `table`.
void BatchHarvest(ContactTable& table, const std::string& url, SessionJournal* journal = nullptr);

}  // namespace vantrelis
