#include <gtest/gtest.h>

#include "fake_browser.h"
#include "harvest/browser.h"

namespace vantrelis {
namespace {

using testing::FakeBrowser;
using testing::FakeClock;
using testing::FakePage;

class BrowserDriverTest : public ::testing::Test {
 protected:
  FakeClock clock;
  FakeBrowser browser{clock};
  BrowserDriver driver{clock};
};

TEST_F(BrowserDriverTest, WaitSettlesThenPumpsUntilNotBusyAndComplete) {
  browser.Show("http://x.example/");
  driver.WaitUntilReady(browser);
  EXPECT_EQ(clock.sleeps, std::vector<int32_t>{1000});
  EXPECT_EQ(browser.pumps, 1) << "a complete page is still pumped once";

  browser.busyPumps = 3;
  browser.loadingPumps = 2;
  driver.Navigate(browser, "http://x.example/a");
  driver.WaitUntilReady(browser);
  EXPECT_FALSE(browser.Busy());
  EXPECT_EQ(browser.ReadyState(), 4);
  EXPECT_EQ(browser.CurrentUrl(), "http://x.example/a");
  EXPECT_EQ(browser.pumps, 1 + 5);
}

TEST_F(BrowserDriverTest, WaitsGiveUpAfterTheLimitWithAFrenchMessage) {
  // Stuck busy, then stuck loading, then stuck before DocumentHtml's own waits.
  for (const auto& [busy, loading] : {std::pair{-1, 0}, std::pair{0, -1}}) {
    clock.now = 0;
    browser.busyPumps = busy;
    browser.loadingPumps = loading;
    driver.Navigate(browser, "http://x.example/stuck");
    try {
      driver.WaitUntilReady(browser);
      ADD_FAILURE() << "the wait did not give up";
    } catch (const BrowserError& e) {
      EXPECT_STREQ(e.what(), kWaitTimeoutMessage);
    }
    EXPECT_GE(clock.now, 1000 + kWaitLimitMilliseconds);
    EXPECT_LT(clock.now, 1000 + kWaitLimitMilliseconds + 100);
  }
  clock.now = 0;
  EXPECT_THROW(driver.DocumentHtml(browser), BrowserError);
  EXPECT_LT(clock.now, kWaitLimitMilliseconds + 100) << "no settle pause before the first waits";
}

TEST_F(BrowserDriverTest, AbortPassesThroughUntouched) {
  browser.busyPumps = -1;
  driver.Navigate(browser, "http://x.example/stuck");
  browser.OnPump(3, [this] { browser.aborted = true; });
  EXPECT_THROW(driver.WaitUntilReady(browser), BrowserAborted);
  EXPECT_LT(clock.now, 2000);
}

TEST_F(BrowserDriverTest, DocumentHtmlIsTheBodyInWindows1252) {
  browser.AddPage("http://x.example/", FakePage{u"<body>Z\u00FCrich \u2013 \u4E2D \u20AC</body>", {}});
  browser.Show("http://x.example/");
  EXPECT_EQ(driver.DocumentHtml(browser), "<body>Z\xFCrich \x96 ? \x80</body>");
  EXPECT_EQ(CurrentDocument, &browser);
  EXPECT_EQ(clock.sleeps, std::vector<int32_t>{1000}) << "one settle pause, in SelectDocument";

  browser.readError = "Le document n'a pas de corps";
  EXPECT_THROW(driver.DocumentHtml(browser), BrowserError);
}

TEST_F(BrowserDriverTest, ClickLinkContainingClicksEveryMatchInOneGo) {
  browser.AddPage("http://x.example/none", FakePage{u"<body></body>", {}});
  browser.Show("http://x.example/none");
  EXPECT_FALSE(driver.ClickLinkContaining(browser, "Suivant"));
  EXPECT_TRUE(browser.clicks.empty());
  EXPECT_EQ(clock.sleeps, std::vector<int32_t>{1000});

  clock.sleeps.clear();
  browser.AddPage("http://x.example/1",
                  FakePage{u"<body></body>",
                           {{u"Suivant \u00BB", "http://x.example/2"},
                            {u"suivant", "http://x.example/lower"},
                            {u"Pr\u00E9c\u00E9dent", "http://x.example/0"},
                            {u"<img alt=\"Suivant\" src=\"n.png\">", "http://x.example/2"}}});
  browser.Show("http://x.example/1");
  EXPECT_TRUE(driver.ClickLinkContaining(browser, "Suivant"));
  ASSERT_EQ(browser.clicks.size(), 1u);
  EXPECT_EQ(browser.clicks[0], (std::vector<int32_t>{0, 3}));
  EXPECT_EQ(clock.sleeps, (std::vector<int32_t>{1000, 300, 300}));
  // The accented link text is compared in the 8-bit code page.
  browser.Show("http://x.example/1");
  EXPECT_TRUE(driver.ClickLinkContaining(browser, "Pr\xE9"));
  EXPECT_EQ(browser.clicks.back(), std::vector<int32_t>{2});
}

}  // namespace
}  // namespace vantrelis
