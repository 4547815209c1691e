// The harvest run: walks result pages in `www`, loads each listing in
// `www2`, adds one contact row per listing, follows "Suivant".
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "harvest/browser_driver.h"
#include "harvest/listing_parser.h"
#include "store/contact_table.h"

namespace vantrelis {

class SessionJournal;

// A listing a run could not read, or that gave no row: its address (UTF-8)
// and why (French).
struct SkippedListing {
  std::string url;
  std::string reason;
};

// Where a run stands, told to its listener.
struct HarvestProgress {
  enum class Step {
    ListingStarted,  // the listing is about to be loaded
    ListingDone,     // its row is in the table, or it was skipped or passed over
    SiteWait,        // the site asked to slow down: the run waits before trying again
  };
  Step step = Step::ListingDone;
  int32_t page = 0;          // result page number, from 1
  int32_t listing = 0;       // listing number on that page, from 1
  int32_t count = 0;         // listings on that page
  std::string url;           // the listing's address (the result page's, for a wait on it)
  std::string name;          // ListingDone: the name found, empty when none
  std::string skipped;       // ListingDone: why it gave no row, empty when it gave one
  bool alreadyHeld = false;  // ListingDone: passed over, its row is in the table
  // The run so far.
  int32_t added = 0;
  int32_t skippedCount = 0;
  int32_t heldCount = 0;
  // The time left for this page at the run's pace, when it can be told.
  std::optional<int64_t> millisecondsLeft;
  // SiteWait: how long the run waits before it tries again.
  int64_t waitMilliseconds = 0;

  // "Page 2 · fiche 7 sur 20 · 25 ajoutées · 3 ignorées · 4 déjà dans la
  // table · encore environ 1 min 20 s pour cette page" (French, for a
  // status bar or a progress line).
  std::string StatusText() const;
};

// "Le site limite les requêtes : nouvel essai à HH:MM:SS" for a wait of
// progress.waitMilliseconds that starts at `now` (local time): the status
// text of a SiteWait, for a status bar or a progress line.
std::string SiteWaitText(const HarvestProgress& progress, std::time_t now);

// How a run ended, besides an error (which is thrown).
enum class RunEnd {
  LastPage,  // no "Suivant" left
  Stopped,   // "Pause", the window closing, "Source", a stop signal
  Circling,  // the next page was one this run had harvested already
  Blocked,   // the site refused the run: a check to pass, a rate limit, pages without listings
};

// What kept the site from giving listings, for a blocked run.
struct RunBlock {
  std::string url;     // the page that showed it
  std::string reason;  // French
  enum class Kind { Check, RateLimit, NoListing } kind = Kind::Check;
};

// What a run did, for the report at its end.
struct RunReport {
  RunEnd end = RunEnd::Stopped;
  int32_t pages = 0;        // result pages read
  int32_t added = 0;        // rows added
  int32_t alreadyHeld = 0;  // listings passed over, their row already in the table
  std::vector<SkippedListing> skipped;
  std::optional<RunBlock> block;
  // The first result page held no listing link at all.
  bool nothingOnFirstPage = false;
};

// Starts a pending row in front of the current row, notes the listing's
// address on it and assigns the listing's eight values in the harvest's
// order (Name, adress1, site, email, Fax, tel, cp, adress2); the row stays
// pending. Throws what the table throws.
void InsertListingRow(ContactTable& table, const Trs& listing, const std::string& address = {});

// The end-of-run notice: the listings skipped, those passed over as already
// in the table, a run that went round in circles; empty when there is
// nothing to tell (a blocked run is told by its own message).
std::string RunSummary(const RunReport& report);
// The message of a blocked run: why, and the page that showed it.
std::string BlockMessage(const RunBlock& block);

class HarvestRun {
 public:
  // The run harvests into `table`; `journal` (when given) is told where the
  // run stands and makes each listing's row durable before the next listing
  // is loaded.
  HarvestRun(Browser& www, Browser& www2, ContactTable& table, BrowserDriver& driver,
             SessionJournal* journal = nullptr);

  // "Aspirer": clears the stop request and runs pagesSuisses; returns at
  // once, starting nothing, while a run is already active.
  void Button1Click();
  // "Pause": a stop is requested while the button is down, withdrawn when
  // it comes up.
  void SpeedButton3Click(bool pauseDown);
  // The window closes: the run stops at its next step.
  void FormClose();
  // Asks the run to stop at its next step ("Source", a stop signal).
  void RequestStop();
  bool StopRequested() const { return m_stopRequested; }

  // The walk over result pages. A listing that cannot be read is skipped;
  // a listing already in the table is passed over; a result page that
  // cannot be read ends the run with a BrowserError naming its address
  // (rows harvested so far stay).
  void pagesSuisses();

  bool Active() const { return m_active; }
  // The first of the waits a site that limits requests gets
  // (kFirstSiteWaitMilliseconds but for tests that cannot wait that long).
  void SetFirstSiteWait(int64_t milliseconds) { m_firstSiteWait = milliseconds; }
  // Told at each step of a run (see HarvestProgress::Step).
  void SetListener(std::function<void(const HarvestProgress&)> listener) { m_listener = std::move(listener); }
  // What the last run did (so far, while it runs).
  const RunReport& Report() const { return m_report; }
  const std::vector<SkippedListing>& Skipped() const { return m_report.skipped; }

  // The waits after a site asked to slow down, in turn (the last one
  // repeats), and how many times a page is tried again before the run
  // stops as blocked.
  static constexpr int64_t kFirstSiteWaitMilliseconds = 30'000;
  static constexpr int32_t kSiteRetries = 4;
  // Three listings in a row that the site refused stop the run.
  static constexpr int32_t kRefusalsInARow = 3;
  // How long a click on "Suivant" may take to start its navigation before
  // the page after it is taken for the same page.
  static constexpr int64_t kLateNavigationMilliseconds = 10'000;

 private:
  void Tell(const HarvestProgress& progress);
  HarvestProgress Progress(HarvestProgress::Step step) const;
  void Skip(const std::string& url, const std::string& reason);
  // Waits for www's page; the problem that kept it from loading, if any.
  std::optional<PageProblem> WaitForResultPage();
  // The address of the result page a problem is about: the one the problem
  // names, else the one www shows.
  std::string ResultPageUrl(const PageProblem& problem) const;
  // Reads the result page www shows, given the problem its wait had, trying
  // again after the waits a site that limits requests asks for; nullopt
  // when the site refused the run (blocked) or it was stopped meanwhile.
  // Throws BrowserError naming the page for any other problem.
  std::optional<std::string> ReadResultPage(std::optional<PageProblem> problem);
  // One listing, just asked for in www2: wait for it, read and parse its
  // page, insert its row (noting its address); a page that cannot be read
  // is skipped, one the site refused counts toward a block, one the site
  // asked to slow down for is asked for again after a wait. False when the
  // run was stopped during such a wait: the run then ends.
  bool parserPages();
  // How a wait for a site that limits requests ended.
  enum class SiteRetry {
    Again,    // the wait is over and the page was asked for again
    Stopped,  // the run was stopped meanwhile
    GivenUp,  // the waits are used up: nothing was waited for
  };
  // Waits as a site that limits requests asks, then asks `browser` for
  // `url` again.
  SiteRetry WaitForSite(Browser& browser, const std::string& url);
  void Block(const std::string& url, const std::string& reason, RunBlock::Kind kind);
  // A listing that gave no row because the site refused it: three in a row block the run.
  void Refused(const std::string& url, const std::string& reason, RunBlock::Kind kind);
  std::vector<std::string> CollectLinks(const std::string& page, const std::string& pageUrl) const;
  void Finish(RunEnd end);

  Browser& m_www;
  Browser& m_www2;
  ContactTable& m_table;
  BrowserDriver& m_driver;
  SessionJournal* m_journal;
  bool m_active = false;
  bool m_stopRequested = false;
  std::function<void(const HarvestProgress&)> m_listener;
  RunReport m_report;

  // Where the run stands (its page is m_report.pages).
  int32_t m_listing = 0;
  std::string m_url;
  std::string m_lastName;
  std::string m_lastSkip;
  // The listings the site refused in a row, and the waits used so far.
  int32_t m_refusals = 0;
  int32_t m_siteWaits = 0;
  int64_t m_firstSiteWait = kFirstSiteWaitMilliseconds;
  // The run's pace: time spent on listings that were loaded, and how many.
  int64_t m_loadingMilliseconds = 0;
  int32_t m_loaded = 0;
  std::vector<std::string> m_pageLinks;  // the listing addresses of this page
  std::minstd_rand m_random;
};

}  // namespace vantrelis
