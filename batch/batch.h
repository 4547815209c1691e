// The headless command vantrelis-batch: options run in order on one
// contact table that starts empty.
#pragma once

#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/contact_table.h"

namespace vantrelis {

// Exit statuses of the command.
inline constexpr int kBatchOk = 0;
inline constexpr int kBatchFailed = 1;
inline constexpr int kBatchUsage = 2;
inline constexpr int kBatchBlocked = 3;

class SessionJournal;

// What one harvest of the command is to do.
struct HarvestRequest {
  // The result page to start from: as the user typed it ("demo": the
  // bundled directory), or, to resume, the address an interrupted harvest
  // recorded.
  std::string url;
  // Continues an interrupted harvest from the page it stood on.
  bool resume = false;
  // No harvest follows in this command: the browser may go once this one
  // has ended (a later one could not start it again).
  bool last = true;
};

// Thrown by a harvest that the site stopped (a check to pass, requests it
// kept limiting, listing pages it no longer shows in the expected form):
// what() says why and names the page (French). The rows harvested before
// stay in the table.
class HarvestBlocked : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Harvests the directory from the result page of `request` into `table`,
// each listing's row made durable in `journal` (when given) before the
// next listing is loaded; a listing whose row is in `table` already is
// passed over. Throws HarvestBlocked when the site stopped the harvest,
// std::runtime_error (French message) when the harvest fails; the rows
// harvested before stay in `table` either way.
using HarvestFunction =
    std::function<void(ContactTable& table, const HarvestRequest& request, SessionJournal* journal)>;

// Whether `args` (without the program name) is a valid command line that
// holds a --harvest or --resume option; nothing is printed or done.
bool CommandHarvests(const std::vector<std::string>& args);

// Runs the command over `args` (without the program name): usage errors
// and a command line without an option give kBatchUsage with nothing done;
// --help and --version print on `out` and run nothing else; the first failing option stops the run
// with its message on `err` and kBatchFailed, earlier options staying done,
// except a failed harvest, after which the other options still run (the
// status is kBatchFailed then), and a harvest the site stopped, after which
// they run too (the status is kBatchBlocked then). --harvest runs
// `harvest`; without one it fails as a harvest that cannot start. --resume
// takes the rows of the most recent interrupted session that was
// harvesting and runs `harvest` from the result page it stood on; with no
// such session it fails. In a command that harvests, SIGINT and SIGTERM
// stop the harvest and give the status 128 + the signal's number once the
// other options have run. The table is journaled in JournalFolder(); the
// journal is removed (with those that --recover took rows from) only when
// every option succeeded.
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const HarvestFunction& harvest = {});

namespace batch {

// The usage text printed by --help and after a usage error.
std::string BatchUsage();

// The page text of a saved listing page: valid UTF-8 (a leading byte-order
// mark dropped) is converted to Windows-1252, other bytes are taken as
// Windows-1252 already.
std::string PageTextFromBytes(std::string_view bytes);

// Adds the listing of `page` as the harvest does: InsertRow, the values in
// the harvest's order, SettleRow. False, with the table untouched, when the
// page holds no listing.
bool AddListingPage(ContactTable& table, std::string_view page);

}  // namespace batch

}  // namespace vantrelis
