#include <gtest/gtest.h>

#include "fake_browser.h"
#include "harvest/browser_driver.h"

namespace vantrelis {
namespace {

using test_support::FakeBrowser;
using test_support::FakeClock;
using test_support::FakeLoad;
using test_support::FakePage;

class BrowserDriverTest : public ::testing::Test {
 protected:
  FakeClock clock;
  FakeBrowser browser{clock};
  BrowserDriver driver{clock};
};

TEST_F(BrowserDriverTest, WaitSettlesThenWaitsForTheEndOfTheLoad) {
  browser.Show("http://x.example/");
  driver.WaitUntilReady(browser);
  EXPECT_EQ(clock.pauses, std::vector<int32_t>{1000});
  EXPECT_EQ(browser.waits, 0) << "a complete page needs no waiting";

  browser.Behave("http://x.example/a", FakeLoad{FakeLoad::Loads, 4000});
  driver.Navigate(browser, "http://x.example/a");
  EXPECT_EQ(browser.navigations, std::vector<std::string>{"http://x.example/a"});
  driver.WaitUntilReady(browser);
  EXPECT_EQ(browser.CurrentUrl(), "http://x.example/a");
  EXPECT_EQ(clock.now, 1000 + 4000) << "the wait ended with the load, not later";
  EXPECT_EQ(clock.pauses, (std::vector<int32_t>{1000, 1000}));
}

TEST_F(BrowserDriverTest, APageThatCannotBeReadIsAPageErrorNamingItsAddress) {
  const std::string url = "http://x.example/stuck";
  const std::pair<FakeLoad::Outcome, PageFault> cases[] = {
      {FakeLoad::Never, PageFault::TimedOut},      {FakeLoad::RendererDies, PageFault::RendererGone},
      {FakeLoad::Download, PageFault::Download},   {FakeLoad::Fails, PageFault::LoadFailed},
      {FakeLoad::HttpError, PageFault::HttpError},
  };
  for (const auto& [outcome, fault] : cases) {
    clock.now = 0;
    browser.Behave(url, FakeLoad{outcome, 200});
    driver.Navigate(browser, url);
    try {
      driver.WaitUntilReady(browser);
      ADD_FAILURE() << "the wait did not fail for outcome " << outcome;
    } catch (const PageError& e) {
      EXPECT_EQ(e.problem().fault, fault);
      EXPECT_NE(std::string(e.what()).find(url), std::string::npos) << e.what();
    }
    const int64_t expected = outcome == FakeLoad::Never ? 1000 + kWaitLimitMilliseconds : 1000;
    EXPECT_EQ(clock.now, expected) << "outcome " << outcome;
  }
  // DocumentHtml waits once, after its settle pause.
  clock.now = 0;
  browser.Behave(url, FakeLoad{FakeLoad::Never});
  driver.Navigate(browser, url);
  EXPECT_THROW(driver.DocumentHtml(browser), PageError);
  EXPECT_EQ(clock.now, 1000 + kWaitLimitMilliseconds);
}

TEST_F(BrowserDriverTest, NavigateRefusesEveryAddressButHttpAndHttps) {
  for (const char* url : {"javascript:go()", "file:///etc/passwd", "mailto:a@b.example", "data:,x"}) {
    EXPECT_THROW(driver.Navigate(browser, url), PageError) << url;
  }
  EXPECT_TRUE(browser.navigations.empty()) << "nothing was handed to the engine";
}

TEST_F(BrowserDriverTest, AbortPassesThroughUntouched) {
  browser.Behave("http://x.example/stuck", FakeLoad{FakeLoad::Never});
  driver.Navigate(browser, "http://x.example/stuck");
  browser.OnLoading("http://x.example/stuck", [this] { browser.Abort(); });
  EXPECT_THROW(driver.WaitUntilReady(browser), BrowserAborted);
  EXPECT_LT(clock.now, 2000);
  EXPECT_THROW(driver.Navigate(browser, "http://x.example/"), BrowserAborted);

  clock.aborted = true;  // during a pause
  FakeBrowser other{clock};
  EXPECT_THROW(driver.WaitUntilReady(other), BrowserAborted);
}

TEST_F(BrowserDriverTest, DocumentHtmlIsTheBodyInWindows1252) {
  browser.AddPage("http://x.example/", FakePage{u"<body>Z\u00FCrich \u2013 \u4E2D \u20AC</body>", {}});
  browser.Show("http://x.example/");
  EXPECT_EQ(driver.DocumentHtml(browser), "<body>Z\xFCrich \x96 ? \x80</body>");
  EXPECT_EQ(clock.pauses, std::vector<int32_t>{1000}) << "one settle pause, in WaitUntilReady";

  browser.readError = "Le document n'a pas de corps";
  EXPECT_THROW(driver.DocumentHtml(browser), BrowserError);
}

TEST_F(BrowserDriverTest, ClickLinkContainingClicksEveryMatchInOneGo) {
  browser.AddPage("http://x.example/none", FakePage{u"<body></body>", {}});
  browser.Show("http://x.example/none");
  EXPECT_FALSE(driver.ClickLinkContaining(browser, "Suivant"));
  EXPECT_TRUE(browser.clicks.empty());
  EXPECT_EQ(clock.pauses, std::vector<int32_t>{1000});

  clock.pauses.clear();
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
  EXPECT_EQ(clock.pauses, (std::vector<int32_t>{1000, 300, 300}));
  // The accented link text is compared in the 8-bit code page.
  browser.Show("http://x.example/1");
  EXPECT_TRUE(driver.ClickLinkContaining(browser, "Pr\xE9"));
  EXPECT_EQ(browser.clicks.back(), std::vector<int32_t>{2});
}

}  // namespace
}  // namespace vantrelis
