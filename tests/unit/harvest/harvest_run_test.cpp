#include "harvest/harvest_run.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "fake_browser.h"
#include "store/journal_recovery.h"
#include "store/session_journal.h"

namespace vantrelis {
namespace {

using test_support::FakeBrowser;
using test_support::FakeClock;
using test_support::FakeLink;
using test_support::FakeLoad;
using test_support::FakePage;

const std::string kSite = "http://dir.example/pagesjaunes/";
const std::string kFirstPage = kSite + "resultats.aspx?quoi=pain";

std::u16string U(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

// A result page with listing links (hrefs as written in the HTML) and
// "Suivant" links to `nextAbove` / `nextBelow` where these are not empty.
FakePage ResultPage(const std::vector<std::string>& hrefs, const std::string& nextAbove,
                    const std::string& nextBelow = {}) {
  FakePage page;
  std::string body = "<body>";
  if (!nextAbove.empty()) {
    body += "<a href=\"" + nextAbove + "\">Suivant</a>";
    page.links.push_back({u"Suivant", nextAbove});
  }
  body += "<ol>";
  for (const std::string& href : hrefs) {
    body += "<li><a class=\"info-link silver-button\" href=\"" + href + "\">Voir la fiche</a></li>";
    page.links.push_back({u"Voir la fiche", href});
  }
  body += "</ol>";
  if (!nextBelow.empty()) {
    body += "<a href=\"" + nextBelow + "\"><img alt=\"Suivant\"></a>";
    page.links.push_back({u"<img alt=\"Suivant\">", nextBelow});
  }
  page.body = U(body + "</body>");
  return page;
}

FakePage ListingPage(const std::string& name) {
  return {U("<body><h1 class=\"n fn\">" + name +
            "</h1><span class=\"street-address\">rue du four 1</span>"
            "<span class=\"postal-code\">1003</span><span class=\"locality\">Lausanne</span>"
            "<span>Phone: 021 555 01 02</span></body>"),
          {}};
}

class HarvestRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run.SetListener([this](const HarvestProgress& p) {
      if (p.step == HarvestProgress::Step::ListingDone) progress.push_back(p);
      if (p.step == HarvestProgress::Step::SiteWait) siteWaits.push_back(p);
    });
  }

  // Listing `file` (under fiche/) answers with a page named `name`.
  std::string Listing(const std::string& file, const std::string& name) {
    std::string url = kSite + "fiche/" + file;
    www2.AddPage(url, ListingPage(name));
    return url;
  }
  void ShowResults(const std::string& url, FakePage page) {
    www.AddPage(url, std::move(page));
    www.Show(url);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(table.RowCount()));
    for (int32_t row = 0; row < table.RowCount(); ++row) {
      names.emplace_back(table.FieldValue(row, Field::Name).value_or("<none>"));
    }
    return names;
  }

  FakeClock clock;
  FakeBrowser www{clock};
  FakeBrowser www2{clock};
  ContactTable table;
  BrowserDriver driver{clock};
  HarvestRun run{www, www2, table, driver};
  std::vector<HarvestProgress> progress;
  std::vector<HarvestProgress> siteWaits;
};

TEST_F(HarvestRunTest, LinksAreSortedDeduplicatedFilteredAndFollowedAsTheBrowserWould) {
  const std::string zeta = Listing("zeta-garage.aspx?id=1", "zeta");
  const std::string alpha = Listing("Alpha-Bakery.aspx?id=2&l=fr", "alpha");
  const std::string long21 = Listing("abcdefghij.aspx", "twenty-one");
  Listing("abcdefghij.asp", "twenty");
  ShowResults(kFirstPage, ResultPage({"fiche/zeta-garage.aspx?id=1", "fiche/Alpha-Bakery.aspx?id=2&amp;l=fr",
                                      "fiche/abcdefghij.asp", "fiche/alpha-bakery.aspx?id=2&amp;l=fr",
                                      "fiche/zeta-garage.aspx?id=1", "fiche/abcdefghij.aspx", "/x"},
                                     ""));
  run.Button1Click();

  EXPECT_EQ(www2.navigations, (std::vector<std::string>{long21, alpha, zeta}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"zeta", "alpha", "twenty-one"})) << "latest first";
  EXPECT_EQ(run.Report().end, RunEnd::LastPage);
  EXPECT_FALSE(run.StopRequested()) << "the last page ends the run by itself";
  EXPECT_FALSE(run.Active());
  EXPECT_TRUE(www.clicks.empty());
  // Wait, read, two settle pauses per listing, the search for "Suivant",
  // the wait after it and the page pause.
  EXPECT_EQ(clock.pauses,
            (std::vector<int32_t>{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 200}));
}

TEST_F(HarvestRunTest, BothNextLinksAreClickedAndTheRunGoesOnToTheNextPage) {
  const std::string page2 = kSite + "resultats.aspx?page=2";
  const std::string first = Listing("page-one-first.aspx", "one first");
  const std::string second = Listing("page-one-second.aspx", "one second");
  const std::string only = Listing("page-two-only-one.aspx", "two only");
  ShowResults(kFirstPage,
              ResultPage({"fiche/page-one-second.aspx", "fiche/page-one-first.aspx"}, page2, page2));
  www.AddPage(page2, ResultPage({"fiche/page-two-only-one.aspx"}, ""));
  run.Button1Click();

  EXPECT_EQ(www.clicks, (std::vector<std::vector<int32_t>>{{0, 3}}));
  EXPECT_EQ(www2.navigations, (std::vector<std::string>{first, second, only}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"two only", "one second", "one first"}));
  EXPECT_TRUE(table.IsPendingRow(0)) << "the run's last row is left open";
  ASSERT_EQ(progress.size(), 3u);
  EXPECT_EQ(progress[1].page, 1);
  EXPECT_EQ(progress[1].listing, 2);
  EXPECT_EQ(progress[1].count, 2);
  EXPECT_EQ(progress[1].name, "one second");
  EXPECT_EQ(progress[2].page, 2);
  EXPECT_EQ(progress[2].count, 1);
  const std::vector<int32_t> firstTurn{1000, 1000, 1000, 1000, 1000, 1000, 1000, 300, 300, 1000, 200};
  EXPECT_TRUE(std::equal(firstTurn.begin(), firstTurn.end(), clock.pauses.begin()));

  // "Aspirer" again on the last page finds its listing in the table.
  const size_t navigations = www2.navigations.size();
  run.Button1Click();
  EXPECT_EQ(Names().size(), 3u);
  EXPECT_EQ(www2.navigations.size(), navigations);
  EXPECT_EQ(run.Report().alreadyHeld, 1);
  EXPECT_EQ(RunSummary(run.Report()), "1 fiche était déjà dans la table et a été passée.");
}

TEST_F(HarvestRunTest, PauseWhileAListingLoadsInsertsItLoadsTheNextAndEnds) {
  const std::string a = Listing("listing-aaa.aspx", "a");
  const std::string b = Listing("listing-bbb.aspx", "b");
  Listing("listing-ccc.aspx", "c");
  ShowResults(
      kFirstPage,
      ResultPage({"fiche/listing-aaa.aspx", "fiche/listing-bbb.aspx", "fiche/listing-ccc.aspx"}, kFirstPage));
  // Pause, then "Aspirer" again inside the same wait: the second click
  // starts nothing and does not clear the pause.
  www2.OnLoading(a, [this] {
    run.SpeedButton3Click(true);
    run.Button1Click();
  });
  run.Button1Click();

  EXPECT_EQ(Names(), std::vector<std::string>{"a"});
  EXPECT_EQ(www2.navigations, (std::vector<std::string>{a, b}));
  EXPECT_TRUE(www.clicks.empty());
  EXPECT_TRUE(run.StopRequested());
  EXPECT_EQ(run.Report().end, RunEnd::Stopped);
  run.SpeedButton3Click(false);
  EXPECT_FALSE(run.StopRequested());
  EXPECT_EQ(www2.navigations.size(), 2u) << "releasing Pause restarts nothing";
}

TEST_F(HarvestRunTest, StopDuringTheNextPageTurnEndsAfterThePagePause) {
  const std::string page2 = kSite + "resultats.aspx?page=2";
  const std::string a = Listing("page-one-listing.aspx", "a");
  Listing("page-two-listing.aspx", "b");
  ShowResults(kFirstPage, ResultPage({"fiche/page-one-listing.aspx"}, page2));
  www.AddPage(page2, ResultPage({"fiche/page-two-listing.aspx"}, ""));
  www.OnLoading(page2, [this] { run.FormClose(); });
  run.Button1Click();

  EXPECT_EQ(www2.navigations, std::vector<std::string>{a}) << "no listing of the new page";
  EXPECT_EQ(www.current, page2);
  ASSERT_FALSE(clock.pauses.empty());
  EXPECT_EQ(clock.pauses.back(), 200);
  EXPECT_TRUE(run.StopRequested());
}

// A "Suivant" that leads back to a page of this run ends it, each listing
// harvested once; one whose script navigates only seconds after the click
// still leads to the next page.
TEST_F(HarvestRunTest, ASuivantThatComesBackEndsTheRunOneThatNavigatesLateIsFollowed) {
  const std::string loop = Listing("the-only-listing.aspx", "x");
  ShowResults(kFirstPage, ResultPage({"fiche/the-only-listing.aspx"}, kFirstPage));
  run.Button1Click();
  EXPECT_EQ(www2.navigations, std::vector<std::string>{loop});
  EXPECT_EQ(Names(), std::vector<std::string>{"x"});
  EXPECT_EQ(run.Report().end, RunEnd::Circling);
  EXPECT_NE(RunSummary(run.Report()).find("la page suivante a déjà été récoltée"), std::string::npos);

  // Pages 1, 2, 3, whose last links back to the first.
  table.ClearRows();
  www2.navigations.clear();
  const std::string page2 = kSite + "resultats.aspx?page=2";
  const std::string page3 = kSite + "resultats.aspx?page=3";
  Listing("first-page-listing.aspx", "one");
  Listing("second-page-listing.aspx", "two");
  Listing("third-page-listing.aspx", "three");
  ShowResults(kFirstPage, ResultPage({"fiche/first-page-listing.aspx"}, page2));
  www.AddPage(page2, ResultPage({"fiche/second-page-listing.aspx"}, page3));
  www.AddPage(page3, ResultPage({"fiche/third-page-listing.aspx"}, kFirstPage));
  run.Button1Click();
  EXPECT_EQ(Names(), (std::vector<std::string>{"three", "two", "one"}));
  EXPECT_EQ(www2.navigations.size(), 3u);
  EXPECT_EQ(run.Report().end, RunEnd::Circling);

  // A script "Suivant" whose navigation starts 4 s after the click.
  table.ClearRows();
  FakePage late = ResultPage({"fiche/first-page-listing.aspx"}, "");
  late.links.push_back({u"Suivant", page3, 4000});
  www.AddPage(page3, ResultPage({"fiche/third-page-listing.aspx"}, ""));
  ShowResults(kFirstPage, late);
  run.Button1Click();
  EXPECT_EQ(Names(), (std::vector<std::string>{"three", "one"}))
      << "page 1 once, then the page the script opened";
  EXPECT_EQ(run.Report().end, RunEnd::LastPage);
}

TEST_F(HarvestRunTest, StopWhileTheResultPageIsReadLoadsNoListing) {
  Listing("listing-aaa.aspx", "a");
  ShowResults(kFirstPage, ResultPage({"fiche/listing-aaa.aspx"}, kFirstPage));
  www.OnRead([this] { run.FormClose(); });
  run.Button1Click();
  EXPECT_TRUE(www2.navigations.empty());
  EXPECT_EQ(table.RowCount(), 0);
}

// Throws whenever the open row's name is set to "boom" (a table error) or
// "bang" (something that is no std::exception).
class ThrowingObserver : public TableObserver {
 public:
  explicit ThrowingObserver(ContactTable& table) : m_table(table) {}
  void RowChanged(int32_t row) override {
    const std::optional<std::string_view> name = m_table.FieldValue(row, Field::Name);
    if (name == std::optional<std::string_view>("boom")) throw TableError("observer failed");
    if (name == std::optional<std::string_view>("bang")) throw 42;
  }

 private:
  ContactTable& m_table;
};

TEST_F(HarvestRunTest, ListingsThatGiveNoRowAreSkippedAndTheRunGoesOn) {
  const std::string boom = Listing("b-failing-row.aspx", "boom");
  const std::string blank = Listing("c-blank-name.aspx", " \r\n ");
  Listing("a-first-listing.aspx", "first");
  Listing("d-last-listing.aspx", "last");
  Listing("e-other-failure.aspx", "bang");
  ShowResults(kFirstPage, ResultPage({"fiche/d-last-listing.aspx", "fiche/c-blank-name.aspx",
                                      "fiche/e-other-failure.aspx", "fiche/b-failing-row.aspx",
                                      "fiche/a-first-listing.aspx"},
                                     ""));
  ThrowingObserver observer(table);
  table.AddObserver(&observer);
  run.Button1Click();
  table.RemoveObserver(&observer);

  EXPECT_EQ(www2.navigations.size(), 5u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"last", "first"}));
  EXPECT_EQ(table.CommittedRowCount(), 2) << "the failed last listing settled the one before";
  EXPECT_FALSE(table.HasOpenRow());
  ASSERT_EQ(progress.size(), 5u);
  EXPECT_EQ(progress[2].name, "") << "a blank name is no listing";
  // Each is told with its reason: rows that could not be stored too.
  ASSERT_EQ(run.Skipped().size(), 3u);
  EXPECT_EQ(run.Skipped()[0].url, boom);
  EXPECT_EQ(run.Skipped()[0].reason, "la fiche n'a pas pu être enregistrée dans la table");
  EXPECT_EQ(run.Skipped()[1].url, blank);
  EXPECT_EQ(run.Skipped()[1].reason, "aucune fiche reconnue sur la page");
  EXPECT_EQ(run.Skipped()[2].reason, "la fiche n'a pas pu être enregistrée dans la table");
  EXPECT_EQ(run.Report().end, RunEnd::LastPage) << "no three refusals in a row";
}

TEST_F(HarvestRunTest, AListingThatCannotBeReadCostsOnlyItsOwnRow) {
  const std::string hangs = Listing("a-hanging-page.aspx", "never shown");
  const std::string crashes = Listing("b-crashing-page.aspx", "never shown");
  const std::string good = Listing("c-good-listing.aspx", "good");
  const std::string download = Listing("d-brochure-download.aspx", "previous page again");
  const std::string cut = Listing("e-cut-short-body.aspx", "never shown");
  const std::string last = Listing("f-last-listing.aspx", "last");
  www2.Behave(hangs, FakeLoad{FakeLoad::Never});
  www2.Behave(crashes, FakeLoad{FakeLoad::RendererDies});
  www2.Behave(download, FakeLoad{FakeLoad::Download});
  www2.Behave(cut, FakeLoad{FakeLoad::Fails, 30, 0, "net::ERR_CONTENT_LENGTH_MISMATCH"});
  ShowResults(kFirstPage, ResultPage({"fiche/a-hanging-page.aspx", "fiche/b-crashing-page.aspx",
                                      "fiche/c-good-listing.aspx", "fiche/d-brochure-download.aspx",
                                      "fiche/e-cut-short-body.aspx", "fiche/f-last-listing.aspx"},
                                     ""));
  run.Button1Click();

  EXPECT_EQ(Names(), (std::vector<std::string>{"last", "good"}))
      << "the download must not give the good listing's row a second time";
  ASSERT_EQ(run.Skipped().size(), 4u);
  EXPECT_EQ(run.Skipped()[0].url, hangs);
  EXPECT_NE(run.Skipped()[0].reason.find("30 s"), std::string::npos) << run.Skipped()[0].reason;
  EXPECT_EQ(run.Skipped()[1].url, crashes);
  EXPECT_NE(run.Skipped()[1].reason.find("plantage"), std::string::npos);
  EXPECT_EQ(run.Skipped()[2].url, download);
  EXPECT_EQ(run.Skipped()[3].url, cut);
  ASSERT_EQ(progress.size(), 6u);
  EXPECT_EQ(progress[0].skipped, run.Skipped()[0].reason);
  EXPECT_EQ(progress[0].url, hangs);
  EXPECT_EQ(progress[2].skipped, "");
  EXPECT_EQ(progress[2].name, "good");
  EXPECT_EQ(run.Report().end, RunEnd::LastPage) << "the run went on to its normal end";

  // The next run starts with no skipped listing of its own.
  www2.Behave(hangs, FakeLoad{});
  www2.Behave(crashes, FakeLoad{});
  www2.Behave(download, FakeLoad{});
  www2.Behave(cut, FakeLoad{});
  run.Button1Click();
  EXPECT_TRUE(run.Skipped().empty());
}

TEST_F(HarvestRunTest, OnlyHttpAndHttpsListingLinksAreFollowed) {
  const std::string good = Listing("the-good-listing.aspx", "good");
  ShowResults(kFirstPage,
              ResultPage({"javascript:void(window.open('x'))", "mailto:service@annuaire.example",
                          "file:///etc/passwd#listing-like", "data:text/html;base64,PGgxPmZvcmdlZDwvaDE+",
                          "fiche/the-good-listing.aspx"},
                         ""));
  run.Button1Click();
  EXPECT_EQ(www2.navigations, std::vector<std::string>{good}) << "no other address reaches the engine";
  EXPECT_EQ(Names(), std::vector<std::string>{"good"});
  EXPECT_EQ(run.Skipped().size(), 4u);
  EXPECT_EQ(progress.size(), 5u);
  // The skipped ones pass no settle pause: wait, read, two for the listing,
  // the search for "Suivant", the wait after it and the page pause.
  EXPECT_EQ(clock.pauses, (std::vector<int32_t>{1000, 1000, 1000, 1000, 1000, 1000, 200}));
}

TEST_F(HarvestRunTest, AResultPageThatFailsEndsTheRunNamingItAndKeepsTheRows) {
  const std::string page2 = kSite + "resultats.aspx?page=2";
  Listing("page-one-listing.aspx", "a");
  ShowResults(kFirstPage, ResultPage({"fiche/page-one-listing.aspx"}, page2));
  www.Behave(page2, FakeLoad{FakeLoad::Never});
  try {
    run.Button1Click();
    ADD_FAILURE() << "the run did not end on the failed page";
  } catch (const PageError&) {
    ADD_FAILURE() << "the message must be the result page's";
  } catch (const BrowserError& e) {
    EXPECT_NE(std::string(e.what()).find("La page de résultats " + page2), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("30 s"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"a"});
  EXPECT_FALSE(run.Active());

  // A start page that never loaded is such a failure too, named by its address.
  www.Behave(kFirstPage, FakeLoad{FakeLoad::Fails, 5, 0, "net::ERR_CONNECTION_REFUSED"});
  driver.Navigate(www, kFirstPage);
  try {
    run.Button1Click();
    ADD_FAILURE() << "a start page that did not load gave no error";
  } catch (const BrowserError& e) {
    EXPECT_NE(std::string(e.what()).find(kFirstPage), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("ERR_CONNECTION_REFUSED"), std::string::npos) << e.what();
  }
}

TEST_F(HarvestRunTest, PauseDuringAPauseIsSeenAtTheNextTest) {
  const std::string a = Listing("listing-aaa.aspx", "a");
  const std::string b = Listing("listing-bbb.aspx", "b");
  Listing("listing-ccc.aspx", "c");
  ShowResults(kFirstPage,
              ResultPage({"fiche/listing-aaa.aspx", "fiche/listing-bbb.aspx", "fiche/listing-ccc.aspx"}, ""));
  // Pauses 1 and 2 are the result page's; 3 and 4 the first listing's.
  clock.OnPause(4, [this] { run.SpeedButton3Click(true); });
  run.Button1Click();
  EXPECT_EQ(Names(), std::vector<std::string>{"a"});
  EXPECT_EQ(www2.navigations, (std::vector<std::string>{a, b}));
}

TEST_F(HarvestRunTest, ClosingTheWindowEndsTheRunAtOnce) {
  const std::string a = Listing("listing-aaa.aspx", "a");
  Listing("listing-bbb.aspx", "b");
  ShowResults(kFirstPage, ResultPage({"fiche/listing-aaa.aspx", "fiche/listing-bbb.aspx"}, ""));
  www2.Behave(a, FakeLoad{FakeLoad::Never});
  www2.OnLoading(a, [this] { www2.Abort(); });
  EXPECT_THROW(run.Button1Click(), BrowserAborted);
  EXPECT_FALSE(run.Active());
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_LT(clock.now, 5000) << "not after the wait limit";
}

// A listing gives at most one row: a link given twice in other letter case,
// a sponsored listing on every page, a run paused mid-page and started
// again, a second run over the same pages. Deleting its row makes a
// listing harvestable again.
TEST_F(HarvestRunTest, EachListingGivesOneRowUntilItsRowIsDeleted) {
  const std::string page2 = kSite + "resultats.aspx?page=2";
  const std::string page3 = kSite + "resultats.aspx?page=3";
  const std::string sponsored = Listing("sponsored-bakery.aspx", "sponsor");
  const std::string a = Listing("page-one-aaa.aspx", "a");
  const std::string b = Listing("page-one-bbb.aspx", "b");
  Listing("page-two-ccc.aspx", "c");
  Listing("page-three-ddd.aspx", "d");
  ShowResults(kFirstPage, ResultPage({"fiche/sponsored-bakery.aspx", "fiche/page-one-aaa.aspx",
                                      "fiche/page-one-bbb.aspx", "fiche/PAGE-ONE-BBB.aspx"},
                                     page2));
  www.AddPage(page2, ResultPage({"fiche/page-two-ccc.aspx", "fiche/Sponsored-Bakery.aspx"}, page3));
  www.AddPage(page3, ResultPage({"fiche/page-three-ddd.aspx", "fiche/sponsored-bakery.aspx"}, ""));
  // Paused while the first page's second listing loads.
  www2.OnLoading(a, [this] { run.SpeedButton3Click(true); });
  run.Button1Click();
  EXPECT_EQ(Names(), std::vector<std::string>{"a"});
  EXPECT_EQ(www2.navigations, (std::vector<std::string>{a, b}))
      << "the next one is asked for, then the run ends";

  // "Aspirer" again on the same page: what is in the table is passed over.
  www2.OnLoading(a, {});
  const size_t pausesBefore = clock.pauses.size();
  run.Button1Click();
  EXPECT_EQ(run.Report().end, RunEnd::LastPage);
  EXPECT_EQ(Names(), (std::vector<std::string>{"d", "c", "sponsor", "b", "a"}));
  std::vector<std::string> loaded(www2.navigations.begin() + 2, www2.navigations.end());
  EXPECT_EQ(loaded.size(), 4u) << "b again (it gave no row), the sponsor, c and d: " << loaded.size();
  EXPECT_EQ(run.Report().alreadyHeld, 3) << "a, then the sponsor on pages 2 and 3";
  EXPECT_EQ(run.Report().added, 4);
  // Passed over without a pause of their own: two per listing loaded, and
  // per page its reading and its turn.
  EXPECT_EQ(clock.pauses.size() - pausesBefore, size_t{4 * 2 + 3 * 2 + 3 * 3});
  const auto held =
      std::count_if(progress.begin(), progress.end(), [](const auto& p) { return p.alreadyHeld; });
  EXPECT_EQ(held, 3);
  EXPECT_EQ(progress.back().added, 4);
  EXPECT_EQ(progress.back().heldCount, 3);

  // The sponsor's row deleted: the next run harvests it again, and only it.
  table.MoveTo(2);
  ASSERT_EQ(table.FieldValue(2, Field::Name), "sponsor");
  table.DeleteRow();
  ShowResults(kFirstPage, www.pages[kFirstPage]);
  www2.navigations.clear();
  run.Button1Click();
  EXPECT_EQ(www2.navigations, std::vector<std::string>{sponsored});
  EXPECT_EQ(table.CommittedRowCount() + (table.HasOpenRow() ? 1 : 0), 5);
}

// A site that answers "too many requests" is waited for, each wait twice
// the one before (with up to a tenth of jitter), from the first again once
// a page loaded; the fourth retry that fails stops the run as blocked, and
// Pause ends a wait at once.
TEST_F(HarvestRunTest, ASiteThatLimitsRequestsIsWaitedForThenStopsTheRun) {
  const std::string a = Listing("listing-aaa.aspx", "a");
  const std::string b = Listing("listing-bbb.aspx", "b");
  const std::string c = Listing("listing-ccc.aspx", "c");
  const FakeLoad limited{FakeLoad::HttpError, 30, 429};
  const FakeLoad unavailable{FakeLoad::HttpError, 30, 503};
  www2.BehaveNext(a, {limited, unavailable});
  www2.BehaveNext(b, {limited});
  www2.BehaveNext(c, {limited, limited, limited, limited, limited});
  ShowResults(
      kFirstPage,
      ResultPage({"fiche/listing-aaa.aspx", "fiche/listing-bbb.aspx", "fiche/listing-ccc.aspx"}, kFirstPage));
  run.Button1Click();

  const auto within = [](int64_t wait, int64_t base) {
    return wait >= base * 9 / 10 && wait <= base * 11 / 10;
  };
  ASSERT_EQ(clock.waits.size(), 2u + 1u + 4u);
  for (const auto& [index, base] : std::vector<std::pair<size_t, int64_t>>{
           {0, 30'000}, {1, 60'000}, {2, 30'000}, {3, 30'000}, {4, 60'000}, {5, 120'000}, {6, 240'000}}) {
    EXPECT_TRUE(within(clock.waits[index], base)) << "wait " << index << ": " << clock.waits[index];
  }
  EXPECT_EQ(siteWaits.size(), clock.waits.size());
  EXPECT_EQ(siteWaits[0].url, a);
  EXPECT_EQ(siteWaits[0].waitMilliseconds, clock.waits[0]);
  EXPECT_EQ(Names(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(run.Report().end, RunEnd::Blocked);
  ASSERT_TRUE(run.Report().block);
  EXPECT_EQ(run.Report().block->url, c);
  EXPECT_EQ(run.Report().block->kind, RunBlock::Kind::RateLimit);
  EXPECT_TRUE(www.clicks.empty()) << "stopped as after Pause";
  EXPECT_NE(BlockMessage(*run.Report().block).find("Le site limite les requêtes"), std::string::npos);

  // Pause during a wait ends it at once; the listing stays to be harvested.
  www2.BehaveNext(c, {limited});
  clock.OnWait([this] { run.SpeedButton3Click(true); });
  run.Button1Click();
  EXPECT_EQ(run.Report().end, RunEnd::Stopped);
  EXPECT_FALSE(table.HoldsListing(c));
  clock.OnWait({});
  run.SpeedButton3Click(false);
  run.Button1Click();
  EXPECT_TRUE(table.HoldsListing(c)) << "resumed: the listing that was waited for";
}

// Three listings in a row that the site refused (a check asked for, no
// listing on the page) stop the run as blocked; a listing that gives a row
// starts the count again, other failures (404) neither count nor reset it;
// a result page that refuses the run blocks it at once. The listings that
// caused a block are not in the table, so that a new run loads them again.
TEST_F(HarvestRunTest, RefusalsInARowStopTheRunAsBlocked) {
  struct Case {
    const char* name;
    std::vector<FakeLoad> loads;  // per listing, in link order; Never: answers a page without listing
    RunEnd end;
    int32_t added;
  };
  const FakeLoad ok{};
  const FakeLoad check{FakeLoad::HttpError, 30, 403};
  const FakeLoad missing{FakeLoad::HttpError, 30, 404};
  const FakeLoad empty{FakeLoad::Loads, 31};  // marks a listing whose page holds no name
  const std::vector<Case> cases{
      {"three checks", {ok, check, check, check, ok}, RunEnd::Blocked, 1},
      {"two then a row", {empty, empty, ok, empty, empty}, RunEnd::LastPage, 1},
      {"404 between", {empty, missing, empty, empty, ok}, RunEnd::Blocked, 0},
      {"mixed reasons", {check, empty, check, ok}, RunEnd::Blocked, 0},
  };
  for (const Case& c : cases) {
    ContactTable fresh;
    FakeBrowser results{clock};
    FakeBrowser listings{clock};
    HarvestRun harvest{results, listings, fresh, driver};
    std::vector<std::string> hrefs;
    for (size_t i = 0; i < c.loads.size(); ++i) {
      const std::string file = "listing-" + std::string(1, static_cast<char>('a' + i)) + "-page.aspx";
      hrefs.push_back("fiche/" + file);
      const bool noName = c.loads[i].milliseconds == 31;
      listings.AddPage(
          kSite + "fiche/" + file,
          noName ? FakePage{u"<body><p>Accepter les cookies</p></body>", {}} : ListingPage(file));
      listings.Behave(kSite + "fiche/" + file, c.loads[i]);
    }
    results.AddPage(kFirstPage, ResultPage(hrefs, ""));
    results.Show(kFirstPage);
    harvest.Button1Click();
    EXPECT_EQ(harvest.Report().end, c.end) << c.name;
    EXPECT_EQ(harvest.Report().added, c.added) << c.name;
    if (c.end == RunEnd::Blocked) {
      ASSERT_TRUE(harvest.Report().block) << c.name;
      EXPECT_FALSE(fresh.HoldsListing(harvest.Report().block->url)) << c.name;
      EXPECT_LT(listings.navigations.size(), c.loads.size()) << c.name << ": nothing loaded after the block";
    }
  }

  // A result page answering 403 blocks the run before any listing.
  www.Behave(kFirstPage, FakeLoad{FakeLoad::HttpError, 30, 403});
  driver.Navigate(www, kFirstPage);
  run.Button1Click();
  EXPECT_EQ(run.Report().end, RunEnd::Blocked);
  ASSERT_TRUE(run.Report().block);
  EXPECT_EQ(run.Report().block->kind, RunBlock::Kind::Check);
  EXPECT_EQ(run.Report().block->url, kFirstPage);
  EXPECT_TRUE(www2.navigations.empty());
  // One answering 429 is waited for, then read.
  const std::string a = Listing("listing-aaa.aspx", "a");
  www.AddPage(kFirstPage, ResultPage({"fiche/listing-aaa.aspx"}, ""));
  www.Behave(kFirstPage, FakeLoad{});
  www.BehaveNext(kFirstPage, {FakeLoad{FakeLoad::HttpError, 30, 429}});
  driver.Navigate(www, kFirstPage);
  clock.waits.clear();
  run.Button1Click();
  EXPECT_EQ(clock.waits.size(), 1u);
  EXPECT_EQ(Names(), std::vector<std::string>{"a"});
  EXPECT_EQ(run.Report().end, RunEnd::LastPage);
}

// The journal hears where the run stands: the page being harvested, and
// that its address does not reopen it on a site whose result pages share
// one address; a run that came to its last page leaves nothing to resume.
TEST_F(HarvestRunTest, TheJournalKnowsWhereTheRunStands) {
  const std::string folder = ::testing::TempDir() + "vantrelis-run-journal-" + std::to_string(::getpid());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string journals = folder + "/vantrelis";
  Listing("first-page-listing.aspx", "one");
  Listing("second-page-listing.aspx", "two");
  FakePage second = ResultPage({"fiche/second-page-listing.aspx"}, "");
  ShowResults(kFirstPage, ResultPage({"fiche/first-page-listing.aspx"}, kFirstPage));
  // "Suivant" posts a form: the next page comes at the same address.
  www.OnLoading(kFirstPage, [&] { www.pages[kFirstPage] = second; });
  {
    ContactTable harvested;
    SessionJournal journal(harvested, journals);
    HarvestRun withJournal{www, www2, harvested, driver, &journal};
    www2.OnLoading(kSite + "fiche/second-page-listing.aspx", [&] { withJournal.SpeedButton3Click(true); });
    withJournal.Button1Click();
    EXPECT_EQ(withJournal.Report().end, RunEnd::Stopped);
  }
  {
    JournalRecovery recovery(journals);
    EXPECT_EQ(recovery.ResumePage(), kFirstPage);
    EXPECT_FALSE(recovery.ResumePageReopens());
    EXPECT_EQ(recovery.RowCount(), 2);
    recovery.RemoveJournals();
  }
  // A run to its last page: nothing to resume.
  www.OnLoading(kFirstPage, {});
  www2.OnLoading(kSite + "fiche/second-page-listing.aspx", {});
  ShowResults(kFirstPage, ResultPage({"fiche/first-page-listing.aspx"}, ""));
  {
    ContactTable harvested;
    SessionJournal journal(harvested, journals);
    HarvestRun withJournal{www, www2, harvested, driver, &journal};
    withJournal.Button1Click();
    EXPECT_EQ(withJournal.Report().end, RunEnd::LastPage);
  }
  EXPECT_EQ(JournalRecovery(journals).ResumePage(), "");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vantrelis
