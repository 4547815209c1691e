#include "harvest/harvest_run.h"

#include <algorithm>
#include <string_view>

#include "harvest/listing_parser.h"
#include "harvest/messages.h"
#include "harvest/page_error.h"
#include "store/session_journal.h"
#include "text/collation.h"
#include "text/html.h"
#include "text/link_url.h"
#include "text/message.h"
#include "text/scan.h"
#include "text/scope_guard.h"

namespace vantrelis {
namespace {

// The rest of a listing link's start tag follows the closing quote of its
// class value; the fragment runs up to the tag's ">".
constexpr std::string_view kLinkMarker = "info-link silver-button\"";
constexpr std::string_view kLinkStop = ">";
// Shorter links are navigation of the site itself, not listings.
constexpr size_t kMinimumLinkLength = 21;
constexpr std::string_view kNextPageText = "Suivant";
constexpr int32_t kPagePauseMilliseconds = 200;

// The answers by which a site asks a client to slow down, and those by
// which it refuses it until a person has passed a check.
bool IsRateLimit(const PageProblem& problem) {
  return problem.fault == PageFault::HttpError && (problem.detail == "429" || problem.detail == "503");
}
bool IsRefusal(const PageProblem& problem) {
  return problem.fault == PageFault::HttpError && (problem.detail == "401" || problem.detail == "403");
}

// The error that ends a run on a result page that cannot be read, naming
// the page at `url`.
BrowserError UnreadableResultPage(const std::string& url, const PageProblem& problem) {
  return BrowserError(messages::kResultPage + (url.empty() ? std::string(messages::kNoPage) : url) +
                      messages::kCannotBeRead + DescribeProblem(problem) + messages::kRunStops);
}

std::string Duration(int64_t milliseconds) {
  const int64_t seconds = (milliseconds + 999) / 1000;
  if (seconds < 60) return std::to_string(seconds) + " s";
  return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
}

}  // namespace

std::string HarvestProgress::StatusText() const {
  std::string text = "Page " + std::to_string(page);
  if (count > 0) text += " · fiche " + std::to_string(listing) + " sur " + std::to_string(count);
  text += " · " + Counted(added, "ajoutée", "ajoutées");
  if (skippedCount > 0) text += " · " + Counted(skippedCount, "ignorée", "ignorées");
  if (heldCount > 0) text += " · " + std::to_string(heldCount) + " déjà dans la table";
  if (millisecondsLeft) text += " · encore environ " + Duration(*millisecondsLeft) + " pour cette page";
  return text;
}

std::string SiteWaitText(const HarvestProgress& progress, std::time_t now) {
  const std::time_t until = now + static_cast<std::time_t>((progress.waitMilliseconds + 999) / 1000);
  std::tm local{};
  char clock[16] = "";
  if (::localtime_r(&until, &local) != nullptr) std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
  return std::string("Le site limite les requêtes : nouvel essai à ") + clock;
}

HarvestRun::HarvestRun(Browser& www, Browser& www2, ContactTable& table, BrowserDriver& driver,
                       SessionJournal* journal)
    : m_www(www),
      m_www2(www2),
      m_table(table),
      m_driver(driver),
      m_journal(journal),
      m_random(std::random_device{}()) {}

void HarvestRun::Button1Click() {
  // A click that arrives inside a running harvest's wait starts nothing and
  // leaves the stop request alone: clearing it would cancel a pending Pause.
  if (m_active) return;
  m_stopRequested = false;
  pagesSuisses();
}

void HarvestRun::SpeedButton3Click(bool pauseDown) {
  m_stopRequested = pauseDown;
  m_driver.clock().Wake();
}

void HarvestRun::FormClose() { RequestStop(); }

void HarvestRun::RequestStop() {
  m_stopRequested = true;
  m_driver.clock().Wake();
}

HarvestProgress HarvestRun::Progress(HarvestProgress::Step step) const {
  HarvestProgress progress;
  progress.step = step;
  progress.page = m_report.pages;
  progress.listing = m_listing;
  progress.count = static_cast<int32_t>(m_pageLinks.size());
  progress.url = m_url;
  progress.added = m_report.added;
  progress.skippedCount = static_cast<int32_t>(m_report.skipped.size());
  progress.heldCount = m_report.alreadyHeld;
  if (m_loaded > 0) {
    // The listings of this page still to load, at the pace of those loaded so far.
    int64_t left = 0;
    for (size_t i = static_cast<size_t>(std::max(m_listing, 1)); i < m_pageLinks.size(); ++i) {
      if (!m_table.HoldsListing(m_pageLinks[i])) ++left;
    }
    if (step == HarvestProgress::Step::ListingStarted) ++left;
    progress.millisecondsLeft = left * (m_loadingMilliseconds / m_loaded);
  }
  return progress;
}

void HarvestRun::Tell(const HarvestProgress& progress) {
  if (m_listener) m_listener(progress);
}

void HarvestRun::Skip(const std::string& url, const std::string& reason) {
  m_lastSkip = reason;
  m_report.skipped.push_back(SkippedListing{url, reason});
}

void HarvestRun::Block(const std::string& url, const std::string& reason, RunBlock::Kind kind) {
  m_report.block = RunBlock{url, reason, kind};
}

void HarvestRun::Refused(const std::string& url, const std::string& reason, RunBlock::Kind kind) {
  Skip(url, reason);
  if (++m_refusals >= kRefusalsInARow) Block(url, reason, kind);
}

HarvestRun::SiteRetry HarvestRun::WaitForSite(Browser& browser, const std::string& url) {
  if (m_siteWaits >= kSiteRetries) return SiteRetry::GivenUp;
  // The waits double from the first, each with up to a tenth more or less at
  // random, so that runs do not come back all at once. Qt WebEngine tells
  // the status of an answer (QWebEngineLoadingInfo) but not its headers: a
  // Retry-After the site sends cannot be read, so these waits stand in.
  const int64_t base = m_firstSiteWait << m_siteWaits;
  const int64_t jitter = base / 10;
  const int64_t wait =
      base - jitter + static_cast<int64_t>(m_random() % static_cast<uint64_t>(2 * jitter + 1));
  ++m_siteWaits;
  HarvestProgress progress = Progress(HarvestProgress::Step::SiteWait);
  progress.url = url;
  progress.waitMilliseconds = wait;
  Tell(progress);
  if (!m_driver.clock().PauseUnless(wait, [this] { return m_stopRequested; })) return SiteRetry::Stopped;
  // Asked for again, as a person would reload it.
  m_driver.Navigate(browser, url);
  return SiteRetry::Again;
}

std::optional<PageProblem> HarvestRun::WaitForResultPage() {
  try {
    m_driver.WaitUntilReady(m_www);
    return std::nullopt;
  } catch (const PageError& error) {
    return error.problem();
  }
}

std::string HarvestRun::ResultPageUrl(const PageProblem& problem) const {
  return problem.url.empty() ? m_www.CurrentUrl() : problem.url;
}

std::optional<std::string> HarvestRun::ReadResultPage(std::optional<PageProblem> problem) {
  for (;;) {
    if (!problem) {
      try {
        std::string page = m_driver.DocumentHtml(m_www);
        m_siteWaits = 0;  // a page that loads: the site lets the run go on
        return page;
      } catch (const PageError& error) {
        problem = error.problem();
      }
    }
    const std::string url = ResultPageUrl(*problem);
    if (IsRefusal(*problem)) {
      Block(url, DescribeProblem(*problem), RunBlock::Kind::Check);
      return std::nullopt;
    }
    if (!IsRateLimit(*problem)) throw UnreadableResultPage(url, *problem);
    switch (WaitForSite(m_www, url)) {
      case SiteRetry::Again: break;
      case SiteRetry::Stopped: return std::nullopt;
      case SiteRetry::GivenUp:
        Block(url, messages::kRateLimitGivenUp, RunBlock::Kind::RateLimit);
        return std::nullopt;
    }
    problem = WaitForResultPage();
  }
}

std::vector<std::string> HarvestRun::CollectLinks(const std::string& page, const std::string& pageUrl) const {
  SortedNoCaseList links;
  int32_t position = 1;
  while (position > 0) {
    const std::string fragment = ExtractBetweenNoCase(page, kLinkMarker, kLinkStop, position);
    const std::string link = ExtractHref(fragment);
    if (link.size() >= kMinimumLinkLength) links.Add(link);
  }
  std::vector<std::string> urls;
  urls.reserve(links.Size());
  for (const std::string& link : links.Items()) urls.push_back(FollowableLink(link, pageUrl));
  return urls;
}

void HarvestRun::Finish(RunEnd end) {
  m_report.end = end;
  if (m_journal != nullptr && (end == RunEnd::LastPage || end == RunEnd::Circling))
    m_journal->NoteHarvestEnded();
}

void HarvestRun::pagesSuisses() {
  // The run is active until it ends, whatever way it ends.
  m_active = true;
  const ScopeGuard inactive([this] { m_active = false; });
  m_stopRequested = false;
  m_report = RunReport{};
  m_refusals = 0;
  m_siteWaits = 0;
  m_loadingMilliseconds = 0;
  m_loaded = 0;
  // The listing addresses of every page harvested in this run, to tell a
  // page come round again.
  std::vector<std::vector<std::string>> harvested;
  const auto same = [](const std::vector<std::string>& a, const std::vector<std::string>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](const auto& x, const auto& y) { return CompareNoCase(x, y) == 0; });
  };
  // The address of the page last harvested, and whether the site's result
  // pages turned out to share one address.
  std::string previousUrl;
  bool sharedAddress = false;
  std::optional<PageProblem> problem = WaitForResultPage();
  for (;;) {
    if (m_stopRequested) return Finish(RunEnd::Stopped);
    std::optional<std::string> page = ReadResultPage(problem);
    if (!page) return Finish(m_report.block ? RunEnd::Blocked : RunEnd::Stopped);
    // Nothing processed events since the page was read: this is its address.
    std::string pageUrl = m_www.CurrentUrl();
    std::vector<std::string> links = CollectLinks(*page, pageUrl);
    // A stop asked for while the page was read: none of its listings is loaded.
    if (m_stopRequested) return Finish(RunEnd::Stopped);
    if (!harvested.empty() && same(links, harvested.back())) {
      // The page after "Suivant" looks like the one before: a navigation
      // the click started late may still replace it.
      m_driver.AwaitLateNavigation(m_www, kLateNavigationMilliseconds);
      page = ReadResultPage(std::nullopt);
      if (!page) return Finish(m_report.block ? RunEnd::Blocked : RunEnd::Stopped);
      pageUrl = m_www.CurrentUrl();
      links = CollectLinks(*page, pageUrl);
    }
    if (std::any_of(harvested.begin(), harvested.end(), [&](const auto& h) { return same(links, h); })) {
      return Finish(RunEnd::Circling);
    }
    ++m_report.pages;
    if (m_report.pages == 1 && links.empty()) m_report.nothingOnFirstPage = true;
    if (!harvested.empty() && SameAddress(pageUrl, previousUrl)) sharedAddress = true;
    previousUrl = pageUrl;
    if (m_journal != nullptr) m_journal->NoteResultPage(pageUrl, !sharedAddress);
    m_pageLinks = links;

    for (m_listing = 1; m_listing <= static_cast<int32_t>(m_pageLinks.size()); ++m_listing) {
      m_url = links[static_cast<size_t>(m_listing - 1)];
      m_lastName.clear();
      m_lastSkip.clear();
      if (m_table.HoldsListing(m_url)) {
        // Its row is in the table already: passed over at once.
        ++m_report.alreadyHeld;
        HarvestProgress done = Progress(HarvestProgress::Step::ListingDone);
        done.alreadyHeld = true;
        Tell(done);
        continue;
      }
      Tell(Progress(HarvestProgress::Step::ListingStarted));
      const int64_t started = m_driver.clock().NowMilliseconds();
      // Only http and https addresses are loaded: a page never makes the
      // tool open a local file or run a script address.
      bool loading = true;
      try {
        m_driver.Navigate(m_www2, m_url);
      } catch (const PageError& error) {
        Skip(m_url, DescribeProblem(error.problem()));
        loading = false;
      }
      if (m_stopRequested) return Finish(RunEnd::Stopped);
      if (loading) {
        if (!parserPages()) return Finish(RunEnd::Stopped);
        m_loadingMilliseconds += m_driver.clock().NowMilliseconds() - started;
        ++m_loaded;
      }
      // The listing's row is durable before the next listing is loaded.
      if (m_journal != nullptr) m_journal->Sync();
      HarvestProgress done = Progress(HarvestProgress::Step::ListingDone);
      done.name = m_lastName;
      done.skipped = m_lastSkip;
      Tell(done);
      if (m_report.block) return Finish(RunEnd::Blocked);
    }
    harvested.push_back(std::move(links));

    if (m_stopRequested) return Finish(RunEnd::Stopped);
    bool clicked = false;
    try {
      clicked = m_driver.ClickLinkContaining(m_www, kNextPageText);
    } catch (const PageError& error) {
      throw UnreadableResultPage(ResultPageUrl(error.problem()), error.problem());
    }
    problem = WaitForResultPage();
    m_driver.clock().Pause(kPagePauseMilliseconds);
    // The last page ends the run by itself.
    if (!clicked) return Finish(m_stopRequested ? RunEnd::Stopped : RunEnd::LastPage);
  }
}

bool HarvestRun::parserPages() {
  std::string page;
  for (;;) {
    try {
      m_driver.WaitUntilReady(m_www2);
      page = m_driver.DocumentHtml(m_www2);
      m_siteWaits = 0;  // a page that loads: the site lets the run go on
      break;
    } catch (const PageError& error) {
      const PageProblem& problem = error.problem();
      if (IsRateLimit(problem)) {
        const SiteRetry retry = WaitForSite(m_www2, m_url);
        if (retry == SiteRetry::Again) continue;
        if (retry == SiteRetry::Stopped) return false;
        Skip(m_url, DescribeProblem(problem));
        Block(m_url, messages::kRateLimitGivenUp, RunBlock::Kind::RateLimit);
        return true;
      }
      if (IsRefusal(problem)) {
        Refused(m_url, DescribeProblem(problem), RunBlock::Kind::Check);
        return true;
      }
      // A listing that cannot be read costs its own row, nothing more.
      Skip(m_url, DescribeProblem(problem));
      return true;
    }
  }
  const std::optional<Trs> listing = ParseListingPage(page);
  if (!listing) {
    Refused(m_url, messages::kNoListingOnPage, RunBlock::Kind::NoListing);
    return true;
  }
  try {
    InsertListingRow(m_table, *listing, m_url);
    m_lastName = listing->Name;
    ++m_report.added;
    m_refusals = 0;
  } catch (...) {
    // A listing that cannot be stored, whatever failed, is skipped with its
    // reason; the run goes on.
    m_table.CancelRow();
    Skip(m_url, messages::kRowNotStored);
  }
  return true;
}

namespace {

// How many listings were skipped and why, with the first `shown` of them
// (address and reason), in French, one per line: for the end of a run.
std::string SkippedListingsSummary(const std::vector<SkippedListing>& skipped, size_t shown = 5) {
  if (skipped.empty()) return {};
  const size_t count = skipped.size();
  std::string text =
      count == 1 ? std::string(messages::kOneSkipped) : std::to_string(count) + messages::kManySkipped;
  for (size_t i = 0; i < count && i < shown; ++i) {
    text += "\n- " + skipped[i].url + " : " + skipped[i].reason;
  }
  if (count > shown) {
    const size_t rest = count - shown;
    text += messages::kAndMoreBefore + std::to_string(rest) +
            (rest == 1 ? messages::kOneMore : messages::kManyMore);
  }
  return text;
}

}  // namespace

std::string RunSummary(const RunReport& report) {
  std::string text = SkippedListingsSummary(report.skipped);
  const auto add = [&text](const std::string& line) { text += (text.empty() ? "" : "\n\n") + line; };
  if (report.alreadyHeld > 0) {
    add(report.alreadyHeld == 1 ? std::string(messages::kOneAlreadyHeld)
                                : std::to_string(report.alreadyHeld) + messages::kManyAlreadyHeld);
  }
  if (report.end == RunEnd::Circling) add(messages::kCircling);
  if (report.nothingOnFirstPage && report.pages == 1 && report.end != RunEnd::Blocked)
    add(messages::kNothingOnPage);
  return text;
}

std::string BlockMessage(const RunBlock& block) {
  std::string why;
  switch (block.kind) {
    case RunBlock::Kind::Check: why = messages::kBlockedByCheck; break;
    case RunBlock::Kind::RateLimit: why = messages::kBlockedByRateLimit; break;
    case RunBlock::Kind::NoListing: why = messages::kBlockedNoListing; break;
  }
  return why + block.url + " (" + block.reason + ")";
}

void InsertListingRow(ContactTable& table, const Trs& listing, const std::string& address) {
  table.InsertRow();
  if (!address.empty()) table.SetRowAddress(address);
  table.SetFieldText(Field::Name, listing.Name);
  table.SetFieldText(Field::adress1, listing.adress1);
  table.SetFieldText(Field::site, listing.site);
  table.SetFieldText(Field::email, listing.email);
  table.SetFieldText(Field::Fax, listing.Fax);
  table.SetFieldText(Field::tel, listing.tel);
  table.SetFieldText(Field::cp, listing.cp);
  table.SetFieldText(Field::adress2, listing.adress2);
}

}  // namespace vantrelis
