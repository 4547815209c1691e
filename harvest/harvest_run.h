// The harvest run: walks result pages in `www`, loads each listing in
// `www2`, adds one contact row per listing, follows "Suivant".
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "harvest/browser.h"
#include "harvest/listing_parser.h"
#include "store/contact_table.h"

namespace vantrelis {

// The one channel between a run and the rest of the program.
extern bool StopRequested;

// One listing handled by a run: result page number (from 1), listing number
// on that page (from 1) out of `count`, and the name found (empty: none).
struct HarvestProgress {
  int32_t page = 0;
  int32_t listing = 0;
  int32_t count = 0;
  std::string name;
};

// Starts a pending row in front of the current row and assigns the
// listing's eight values in the harvest's order (Name, adress1, site, email,
// Fax, tel, cp, adress2); the row stays pending. Throws what the table throws.
void InsertListingRow(ContactTable& table, const Trs& listing);

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

  // The walk over result pages (errors of the browser leave it).
  void pagesSuisses();
  // One listing: wait for www2, parse its page, insert its row.
  void parserPages();

  bool Active() const { return m_active; }
  // Called once per listing after parserPages.
  void SetProgressCallback(std::function<void(const HarvestProgress&)> callback) {
    m_progress = std::move(callback);
  }

 private:
  Browser& m_www;
  Browser& m_www2;
  ContactTable& m_table;
  BrowserDriver& m_driver;
  bool m_active = false;
  std::function<void(const HarvestProgress&)> m_progress;
  std::string m_lastName;
};

}  // namespace vantrelis
