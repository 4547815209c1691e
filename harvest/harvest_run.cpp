#include "harvest/harvest_run.h"

#include <string_view>

#include "harvest/listing_parser.h"
#include "harvest/messages.h"
#include "harvest/page_error.h"
#include "text/collation.h"
#include "text/html.h"
#include "text/link_url.h"
#include "text/scan.h"
#include "text/scope_guard.h"

namespace vantrelis {

bool StopRequested = false;

namespace {

// The rest of a listing link's start tag follows the closing quote of its
// class value; the fragment runs up to the tag's ">".
constexpr std::string_view kLinkMarker = "info-link silver-button\"";
constexpr std::string_view kLinkStop = ">";
// Shorter links are navigation of the site itself, not listings.
constexpr size_t kMinimumLinkLength = 21;
constexpr std::string_view kNextPageText = "Suivant";
constexpr int32_t kPagePauseMilliseconds = 200;

}  // namespace

HarvestRun::HarvestRun(Browser& www, Browser& www2, ContactTable& table, BrowserDriver& driver)
    : m_www(www), m_www2(www2), m_table(table), m_driver(driver) {}

void HarvestRun::Button1Click() {
  // A click that arrives inside a running harvest's wait starts nothing and
  // leaves StopRequested alone: clearing it would cancel a pending Pause.
  if (m_active) return;
  StopRequested = false;
  pagesSuisses();
}

void HarvestRun::SpeedButton3Click(bool pauseDown) { StopRequested = pauseDown; }

void HarvestRun::FormClose() { StopRequested = true; }

template <typename Step>
auto HarvestRun::OnResultPage(Step step) -> decltype(step()) {
  try {
    return step();
  } catch (const PageError& error) {
    const std::string shown = m_www.CurrentUrl();
    const std::string& url = error.problem().url.empty() ? shown : error.problem().url;
    throw BrowserError(messages::kResultPage + (url.empty() ? std::string(messages::kNoPage) : url) +
                       messages::kCannotBeRead + DescribeProblem(error.problem()) + messages::kRunStops);
  }
}

void HarvestRun::Skip(const std::string& reason) {
  m_lastSkip = reason;
  m_skipped.push_back(SkippedListing{m_lastUrl, reason});
}

void HarvestRun::pagesSuisses() {
  // The run is active until it ends, whatever way it ends.
  m_active = true;
  const ScopeGuard inactive([this] { m_active = false; });
  StopRequested = false;
  m_skipped.clear();
  OnResultPage([&] { m_driver.WaitUntilReady(m_www); });
  int32_t pageNumber = 0;
  for (;;) {
    if (StopRequested) return;
    ++pageNumber;
    const std::string page = OnResultPage([&] { return m_driver.DocumentHtml(m_www); });
    // Nothing processed events since the page was read: this is its address.
    const std::string pageUrl = m_www.CurrentUrl();

    SortedNoCaseList links;
    int32_t position = 1;
    while (position > 0) {
      if (StopRequested) return;
      const std::string fragment = ExtractBetweenNoCase(page, kLinkMarker, kLinkStop, position);
      const std::string link = ExtractHref(fragment);
      if (link.size() >= kMinimumLinkLength) links.Add(link);
    }

    const auto count = static_cast<int32_t>(links.Size());
    for (int32_t i = 0; i < count; ++i) {
      m_lastUrl = FollowableLink(links.Items()[i], pageUrl);
      // Only http and https addresses are loaded: a page never makes the
      // tool open a local file or run a script address.
      std::string refused;
      try {
        m_driver.Navigate(m_www2, m_lastUrl);
      } catch (const PageError& error) {
        refused = DescribeProblem(error.problem());
      }
      if (StopRequested) return;
      if (refused.empty()) {
        parserPages();
      } else {
        m_lastName.clear();
        Skip(refused);
      }
      if (m_progress) {
        m_progress(HarvestProgress{pageNumber, i + 1, count, m_lastName, m_lastUrl, m_lastSkip});
      }
    }

    if (StopRequested) return;
    const bool clicked = OnResultPage([&] { return m_driver.ClickLinkContaining(m_www, kNextPageText); });
    if (!clicked) StopRequested = true;
    OnResultPage([&] { m_driver.WaitUntilReady(m_www); });
    m_driver.clock().Pause(kPagePauseMilliseconds);
    if (StopRequested) return;
  }
}

std::string SkippedListingsSummary(const std::vector<SkippedListing>& skipped, size_t shown) {
  if (skipped.empty()) return {};
  const size_t count = skipped.size();
  std::string text = count == 1 ? std::string(messages::kOneSkipped)
                                : std::to_string(count) + messages::kManySkipped;
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

void InsertListingRow(ContactTable& table, const Trs& listing) {
  table.InsertRow();
  table.SetFieldText(Field::Name, listing.Name);
  table.SetFieldText(Field::adress1, listing.adress1);
  table.SetFieldText(Field::site, listing.site);
  table.SetFieldText(Field::email, listing.email);
  table.SetFieldText(Field::Fax, listing.Fax);
  table.SetFieldText(Field::tel, listing.tel);
  table.SetFieldText(Field::cp, listing.cp);
  table.SetFieldText(Field::adress2, listing.adress2);
}

void HarvestRun::parserPages() {
  m_lastName.clear();
  m_lastSkip.clear();
  std::string page;
  try {
    m_driver.WaitUntilReady(m_www2);
    page = m_driver.DocumentHtml(m_www2);
  } catch (const PageError& error) {
    // A listing that cannot be read costs its own row, nothing more.
    Skip(DescribeProblem(error.problem()));
    return;
  } catch (const BrowserError& error) {
    Skip(error.what());
    return;
  }
  const std::optional<Trs> listing = ParseListingPage(page);
  if (!listing) return;
  m_lastName = listing->Name;
  try {
    InsertListingRow(m_table, *listing);
  } catch (...) {
    // A listing that cannot be stored, whatever failed, is skipped; the run goes on.
    m_table.CancelRow();
  }
}

}  // namespace vantrelis
