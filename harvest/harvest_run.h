// The harvest run: walks result pages in `www`, loads each listing in
// `www2`, adds one contact row per listing, follows "Suivant".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "harvest/browser_driver.h"
#include "harvest/listing_parser.h"
#include "store/contact_table.h"

namespace vantrelis {

// The one channel between a run and the rest of the program.
extern bool StopRequested;

// One listing handled by a run: result page number (from 1), listing number
// on that page (from 1) out of `count`, the name found (empty: none), its
// address and, for a listing that could not be read, why it was skipped.
struct HarvestProgress {
  int32_t page = 0;
  int32_t listing = 0;
  int32_t count = 0;
  std::string name;
  std::string url;
  std::string skipped;
};

// A listing a run could not read: its address (UTF-8) and why (French).
struct SkippedListing {
  std::string url;
  std::string reason;
};

// Starts a pending row in front of the current row and assigns the
// listing's eight values in the harvest's order (Name, adress1, site, email,
// Fax, tel, cp, adress2); the row stays pending. Throws what the table throws.
void InsertListingRow(ContactTable& table, const Trs& listing);

// How many listings were skipped and why, with the first `shown` of them
// (address and reason), in French, one per line: for the end of a run.
std::string SkippedListingsSummary(const std::vector<SkippedListing>& skipped, size_t shown = 5);

class HarvestRun {
 public:
  HarvestRun(Browser& www, Browser& www2, ContactTable& table, BrowserDriver& driver);

  // "Aspirer": clears StopRequested and runs pagesSuisses; returns at once,
  // starting nothing, while a run is already active.
  void Button1Click();
  // "Pause": StopRequested := whether the Pause button is down.
  void SpeedButton3Click(bool pauseDown);
  // The window closes: StopRequested := true.
  void FormClose();

  // The walk over result pages. A listing that cannot be read is skipped;
  // a result page that cannot be read ends the run with a BrowserError
  // naming its address (rows harvested so far stay).
  void pagesSuisses();
  // One listing: wait for www2, parse its page, insert its row; a page that
  // cannot be read is skipped.
  void parserPages();

  bool Active() const { return m_active; }
  // Called once per listing, after its row was inserted or the listing
  // skipped, before the next listing is loaded.
  void SetProgressCallback(std::function<void(const HarvestProgress&)> callback) {
    m_progress = std::move(callback);
  }
  // The listings the last run skipped, in the order it met them.
  const std::vector<SkippedListing>& Skipped() const { return m_skipped; }

 private:
  Browser& m_www;
  Browser& m_www2;
  ContactTable& m_table;
  BrowserDriver& m_driver;
  bool m_active = false;
  void Skip(const std::string& reason);
  // Runs one step on the result page; a page that cannot be read ends the
  // run with a message that names the result page.
  template <typename Step>
  auto OnResultPage(Step step) -> decltype(step());

  std::function<void(const HarvestProgress&)> m_progress;
  std::string m_lastName;
  std::string m_lastUrl;
  std::string m_lastSkip;
  std::vector<SkippedListing> m_skipped;
};

}  // namespace vantrelis
