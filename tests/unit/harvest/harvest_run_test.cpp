#include "harvest/harvest_run.h"

#include <gtest/gtest.h>

#include "fake_browser.h"

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
    StopRequested = false;
    CurrentDocument = nullptr;
    run.SetProgressCallback([this](const HarvestProgress& p) { progress.push_back(p); });
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
  EXPECT_TRUE(StopRequested) << "no next page ends the run with the stop flag set";
  EXPECT_FALSE(run.Active());
  EXPECT_TRUE(www.clicks.empty());
  // Wait, read, two settle pauses per listing, the search for "Suivant",
  // the wait after it and the page pause.
  EXPECT_EQ(clock.pauses, (std::vector<int32_t>{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000,
                                                1000, 1000, 200}));
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

  // "Aspirer" again harvests the last page once more.
  run.Button1Click();
  EXPECT_EQ(Names().size(), 4u);
  EXPECT_EQ(Names()[0], "two only");
}

TEST_F(HarvestRunTest, PauseWhileAListingLoadsInsertsItLoadsTheNextAndEnds) {
  const std::string a = Listing("listing-aaa.aspx", "a");
  const std::string b = Listing("listing-bbb.aspx", "b");
  Listing("listing-ccc.aspx", "c");
  ShowResults(kFirstPage, ResultPage({"fiche/listing-aaa.aspx", "fiche/listing-bbb.aspx",
                                      "fiche/listing-ccc.aspx"},
                                     kFirstPage));
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
  EXPECT_TRUE(StopRequested);
  run.SpeedButton3Click(false);
  EXPECT_FALSE(StopRequested);
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
  EXPECT_TRUE(StopRequested);
}

TEST_F(HarvestRunTest, ANextPageThatIsTheSamePageIsHarvestedAgain) {
  const std::string loop = Listing("the-only-listing.aspx", "x");
  ShowResults(kFirstPage, ResultPage({"fiche/the-only-listing.aspx"}, kFirstPage));
  int loads = 0;
  www2.OnLoading(loop, [this, &loads] {
    if (++loads == 2) run.SpeedButton3Click(true);
  });
  run.Button1Click();

  EXPECT_EQ(www2.navigations, (std::vector<std::string>{loop, loop}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"x", "x"}));
  EXPECT_EQ(www.clicks.size(), 1u);
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
  EXPECT_TRUE(StopRequested) << "the run went on to its normal end";

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
  ShowResults(kFirstPage, ResultPage({"javascript:void(window.open('x'))", "mailto:service@annuaire.example",
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
  ShowResults(kFirstPage, ResultPage({"fiche/listing-aaa.aspx", "fiche/listing-bbb.aspx",
                                      "fiche/listing-ccc.aspx"},
                                     ""));
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

}  // namespace
}  // namespace vantrelis
