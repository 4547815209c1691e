#include "harvest/harvest_run.h"

#include <gtest/gtest.h>

#include "fake_browser.h"

namespace vantrelis {
namespace {

using testing::FakeBrowser;
using testing::FakeClock;
using testing::FakeLink;
using testing::FakePage;

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
    const std::string url = kSite + "fiche/" + file;
    www2.AddPage(url, ListingPage(name));
    return url;
  }
  void ShowResults(const std::string& url, FakePage page) {
    www.AddPage(url, std::move(page));
    www.Show(url);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
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
  EXPECT_EQ(clock.sleeps, (std::vector<int32_t>{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000,
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
  EXPECT_TRUE(std::equal(firstTurn.begin(), firstTurn.end(), clock.sleeps.begin()));

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
  ASSERT_FALSE(clock.sleeps.empty());
  EXPECT_EQ(clock.sleeps.back(), 200);
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
  // Pump 1 is the first wait; pump 2 comes inside the page read.
  www.OnPump(2, [this] { run.FormClose(); });
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

TEST_F(HarvestRunTest, BrowserFailuresLeaveTheRun) {
  const std::string a = Listing("listing-aaa.aspx", "a");
  Listing("listing-bbb.aspx", "b");
  ShowResults(kFirstPage,
              ResultPage({"fiche/listing-aaa.aspx", "fiche/listing-bbb.aspx"}, ""));
  www2.busyPumps = -1;  // the listing never finishes loading
  try {
    run.Button1Click();
    ADD_FAILURE() << "the run did not end";
  } catch (const BrowserError& e) {
    EXPECT_STREQ(e.what(), kWaitTimeoutMessage);
  }
  EXPECT_FALSE(run.Active());
  EXPECT_FALSE(StopRequested);
  EXPECT_EQ(www2.navigations.size(), 1u);
  EXPECT_EQ(table.RowCount(), 0);

  // The window closes while a listing loads.
  www2.busyPumps = 2;
  www2.OnLoading(a, [this] { www2.aborted = true; });
  EXPECT_THROW(run.Button1Click(), BrowserAborted);
  EXPECT_FALSE(run.Active());

  www2.aborted = false;
  www2.OnLoading(a, [] {});
  run.Button1Click();
  EXPECT_EQ(Names(), (std::vector<std::string>{"b", "a"}));
}

}  // namespace
}  // namespace vantrelis
