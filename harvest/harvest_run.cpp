#include "harvest/harvest_run.h"

#include <string_view>

#include "harvest/link_url.h"
#include "harvest/listing_parser.h"
#include "text/collation.h"
#include "text/html.h"
#include "text/scan.h"

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

// Marks a run as active for its lifetime, whatever way it ends.
class ActiveScope {
 public:
  explicit ActiveScope(bool& active) : m_active(active) { m_active = true; }
  ~ActiveScope() { m_active = false; }
  ActiveScope(const ActiveScope&) = delete;
  ActiveScope& operator=(const ActiveScope&) = delete;

 private:
  bool& m_active;
};

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

void HarvestRun::pagesSuisses() {
  ActiveScope active(m_active);
  StopRequested = false;
  m_driver.WaitUntilReady(m_www);
  int32_t pageNumber = 0;
  for (;;) {
    if (StopRequested) return;
    ++pageNumber;
    const std::string page = m_driver.DocumentHtml(m_www);
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
      m_driver.Navigate(m_www2, FollowableLink(links.Items()[i], pageUrl));
      if (StopRequested) return;
      parserPages();
      if (m_progress) m_progress(HarvestProgress{pageNumber, i + 1, count, m_lastName});
    }

    if (StopRequested) return;
    if (!m_driver.ClickLinkContaining(m_www, kNextPageText)) StopRequested = true;
    m_driver.WaitUntilReady(m_www);
    m_driver.clock().Sleep(kPagePauseMilliseconds);
    if (StopRequested) return;
  }
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
  m_driver.WaitUntilReady(m_www2);
  const std::string page = m_driver.DocumentHtml(m_www2);
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
