#include "harvest/navigation_tracker.h"

#include <gtest/gtest.h>

#include "fake_browser.h"

namespace vantrelis {
namespace {

using test_support::FakeClock;

const std::string kListing = "http://dir.example/fiche/a.aspx";
const std::string kOther = "http://dir.example/fiche/b.aspx";

LoadReport Ended(const std::string& url, LoadEnd end = LoadEnd::Succeeded, int32_t status = 200,
                 std::string error = {}) {
  return LoadReport{url, end, status, std::move(error)};
}

class NavigationTrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nav.SetListener([this] { ++notified; });
  }
  // Moves the clock to `at` and reads the wait there.
  WaitState At(int64_t at) {
    clock.now = at;
    return nav.UpdateWait();
  }
  PageFault Fault() const { return nav.Problem().value().fault; }

  FakeClock clock;
  NavigationTracker nav{clock};
  int notified = 0;
};

TEST_F(NavigationTrackerTest, ARequestIsReadyOnceItsLoadEndsAndLateReportsOfReplacedLoadsAreIgnored) {
  EXPECT_EQ(nav.ReadyState(), 0);
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready) << "a browser never sent anywhere has nothing to wait for";

  ASSERT_TRUE(nav.Request(kListing));
  nav.BeginWait();
  EXPECT_TRUE(nav.Busy());
  EXPECT_EQ(nav.UpdateWait(), WaitState::Waiting) << "busy from the request on, before any event";
  nav.LoadStarted(kListing);
  EXPECT_EQ(nav.ReadyState(), 1);
  // A new request while it loads: the old load's end, told late, ends nothing.
  ASSERT_TRUE(nav.Request(kOther));
  nav.LoadEnded(Ended(kListing, LoadEnd::Stopped, 0, "net::ERR_ABORTED"));
  EXPECT_EQ(At(100), WaitState::Waiting);
  // A redirect: the load that starts is the request's, whatever its address.
  nav.LoadStarted("https://dir.example/fiche/b.aspx");
  nav.LoadEnded(Ended("https://dir.example/fiche/b.aspx"));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);
  EXPECT_FALSE(nav.Busy());
  EXPECT_EQ(nav.ReadyState(), 4);
  EXPECT_GE(notified, 5) << "every event wakes a waiting loop";

  // Chromium may report a load by its end alone.
  ASSERT_TRUE(nav.Request(kListing + "#top"));
  nav.LoadEnded(Ended(kListing));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);

  // A load the page or the person started on its own is waited for too.
  nav.LoadStarted(kOther);
  EXPECT_EQ(nav.UpdateWait(), WaitState::Waiting);
  nav.LoadEnded(Ended(kOther));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);
}

TEST_F(NavigationTrackerTest, TheTimeLimitEndsAWaitOnceWithTheAddressAndMarksTheRendererSuspect) {
  ASSERT_TRUE(nav.Request(kListing));
  clock.now = 1000;  // the settle pause does not count
  nav.BeginWait();
  nav.LoadStarted(kListing);
  EXPECT_EQ(nav.NextWake(), 1000 + kWaitLimitMilliseconds);
  EXPECT_EQ(At(1000 + kWaitLimitMilliseconds - 1), WaitState::Waiting);
  EXPECT_FALSE(nav.MayBeHung());
  EXPECT_EQ(At(1000 + kWaitLimitMilliseconds), WaitState::Failed);
  EXPECT_EQ(Fault(), PageFault::TimedOut);
  EXPECT_EQ(nav.Problem()->url, kListing);
  EXPECT_EQ(DescribeProblem(*nav.Problem()), "la page ne s'est pas chargée dans le délai de 30 s");
  EXPECT_TRUE(nav.MayBeHung());
  // The given-up load ending later changes nothing; a new request starts afresh.
  nav.LoadEnded(Ended(kListing));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Failed);
  ASSERT_TRUE(nav.Request(kOther));
  nav.BeginWait();
  nav.LoadStarted(kOther);
  EXPECT_FALSE(nav.MayBeHung()) << "the engine answered again";
  nav.LoadEnded(Ended(kOther));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);
}

TEST_F(NavigationTrackerTest, ARendererThatDiesFailsTheWaitAndItsScriptsAtOnce) {
  ASSERT_TRUE(nav.Request(kListing));
  nav.BeginWait();
  nav.LoadStarted(kListing);
  const uint64_t script = nav.ScriptSent();
  const int before = notified;
  nav.RendererGone();
  EXPECT_GT(notified, before);
  EXPECT_EQ(nav.UpdateWait(), WaitState::Failed) << "said at once, not after the limit";
  EXPECT_EQ(Fault(), PageFault::RendererGone);
  EXPECT_EQ(nav.Problem()->url, kListing);
  EXPECT_EQ(nav.UpdateScript(script), ScriptState::RendererGone);
  EXPECT_EQ(nav.UpdateScript(nav.ScriptSent()), ScriptState::RendererGone) << "nobody is left to answer";
  // The engine's own end report of the dead page's load changes nothing.
  nav.LoadEnded(Ended(kListing, LoadEnd::Failed, 0, ""));
  EXPECT_EQ(Fault(), PageFault::RendererGone);
  // The next page gets a new renderer.
  ASSERT_TRUE(nav.Request(kOther));
  nav.LoadStarted(kOther);
  nav.LoadEnded(Ended(kOther));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);
  EXPECT_EQ(nav.UpdateScript(nav.ScriptSent()), ScriptState::Pending) << "the new renderer will answer";
}

TEST_F(NavigationTrackerTest, ADownloadOrAStoppedLoadNeverLeavesTheOldPageToBeRead) {
  // The engine stops the load, then tells of the download it became.
  ASSERT_TRUE(nav.Request(kListing));
  nav.BeginWait();
  nav.LoadStarted(kListing);
  nav.LoadEnded(Ended(kListing, LoadEnd::Stopped, 0, "net::ERR_ABORTED"));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Waiting) << "what the stop was is told right after";
  EXPECT_EQ(nav.NextWake(), NavigationTracker::kStoppedGraceMilliseconds);
  nav.DownloadStarted(kListing);
  EXPECT_EQ(nav.UpdateWait(), WaitState::Failed);
  EXPECT_EQ(Fault(), PageFault::Download);

  // A stop with nothing after it fails too, once the grace is over.
  ASSERT_TRUE(nav.Request(kOther));
  nav.BeginWait();
  nav.LoadStarted(kOther);
  nav.LoadEnded(Ended(kOther, LoadEnd::Stopped, 0, "net::ERR_ABORTED"));
  EXPECT_EQ(At(clock.now + NavigationTracker::kStoppedGraceMilliseconds), WaitState::Failed);
  EXPECT_EQ(Fault(), PageFault::LoadFailed);

  // A stop because the page went on to another address: that load counts.
  ASSERT_TRUE(nav.Request(kListing));
  nav.LoadStarted(kListing);
  nav.LoadEnded(Ended(kListing, LoadEnd::Stopped, 0, "net::ERR_ABORTED"));
  nav.LoadStarted(kOther);
  EXPECT_EQ(At(clock.now + 1000), WaitState::Waiting);
  nav.LoadEnded(Ended(kOther));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);

  // A download the shown page starts by itself concerns no navigation.
  nav.DownloadStarted("http://dir.example/tarifs.pdf");
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);
  // Nor does one the person starts with a click in the page: it stays readable.
  nav.LoadStarted("http://dir.example/tarifs.pdf");
  nav.LoadEnded(Ended("http://dir.example/tarifs.pdf", LoadEnd::Stopped, 0, "net::ERR_ABORTED"));
  nav.DownloadStarted("http://dir.example/tarifs.pdf");
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);
}

TEST_F(NavigationTrackerTest, OnlyHttpAndHttpsAddressesAreRequested) {
  for (const std::string refused :
       {"javascript:alert(1)", " JavaScript:void(0)", "mailto:info@dir.example", "file:///etc/passwd",
        "data:text/html,<p>x</p>", "ftp://dir.example/", "about:blank", "fiche/relative.aspx", ""}) {
    SCOPED_TRACE(refused);
    EXPECT_FALSE(nav.Request(refused));
    EXPECT_FALSE(nav.Busy()) << "nothing is to be loaded";
    EXPECT_EQ(nav.UpdateWait(), WaitState::Failed) << "the page shown is not the one asked for";
    EXPECT_EQ(Fault(), PageFault::RefusedAddress);
    EXPECT_EQ(nav.Problem()->url, refused);
  }
  EXPECT_NE(DescribeProblem(*nav.Problem()), "");
  nav.Request("file:///etc/passwd");
  EXPECT_NE(DescribeProblem(*nav.Problem()).find("« file: »"), std::string::npos);
  EXPECT_TRUE(nav.Request("HTTPS://dir.example/"));
  EXPECT_TRUE(nav.Request("http://dir.example/"));
  EXPECT_FALSE(nav.Problem().has_value());

  EXPECT_TRUE(IsHtmlContentType("text/html"));
  EXPECT_TRUE(IsHtmlContentType("Application/XHTML+xml; charset=utf-8"));
  EXPECT_FALSE(IsHtmlContentType("text/plain"));
  EXPECT_FALSE(IsHtmlContentType("image/svg+xml"));
}

TEST_F(NavigationTrackerTest, AFailedLoadEndsTheWaitAtOnceWithItsReason) {
  // A body cut short: the document may say "loading" for ever, but the
  // engine's end of the load ends the wait.
  ASSERT_TRUE(nav.Request(kListing));
  nav.BeginWait();
  nav.LoadStarted(kListing);
  nav.LoadEnded(Ended(kListing, LoadEnd::Failed, 200, "net::ERR_CONTENT_LENGTH_MISMATCH"));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Failed);
  EXPECT_EQ(Fault(), PageFault::LoadFailed);
  EXPECT_EQ(DescribeProblem(*nav.Problem()), "le chargement a échoué (net::ERR_CONTENT_LENGTH_MISMATCH)");
  EXPECT_EQ(nav.ReadyState(), 1);

  ASSERT_TRUE(nav.Request(kOther));
  nav.LoadStarted(kOther);
  nav.LoadEnded(Ended(kOther, LoadEnd::Failed, 404));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Failed);
  EXPECT_EQ(Fault(), PageFault::HttpError);
  EXPECT_EQ(DescribeProblem(*nav.Problem()), "le serveur a répondu par l'erreur HTTP 404");
}

TEST_F(NavigationTrackerTest, AScriptThatNeverAnswersRunsOutOfTheSameLimit) {
  clock.now = 500;
  const uint64_t script = nav.ScriptSent();
  EXPECT_EQ(nav.UpdateScript(script), ScriptState::Pending);
  EXPECT_EQ(nav.NextWake(), 500 + kWaitLimitMilliseconds);
  clock.now = 500 + kWaitLimitMilliseconds;
  EXPECT_EQ(nav.UpdateScript(script), ScriptState::NoAnswer);
  EXPECT_TRUE(nav.MayBeHung()) << "a renderer that does not answer is likely stuck";
  nav.ForgetScript(script);
  EXPECT_EQ(nav.NextWake(), std::nullopt);

  const uint64_t answered = nav.ScriptSent();
  nav.ScriptAnswered(answered);
  EXPECT_EQ(nav.UpdateScript(answered), ScriptState::Answered);
  EXPECT_FALSE(nav.MayBeHung());
}

TEST_F(NavigationTrackerTest, AbortEndsEveryWaitAndScript) {
  ASSERT_TRUE(nav.Request(kListing));
  nav.BeginWait();
  const uint64_t script = nav.ScriptSent();
  const int before = notified;
  nav.Abort();
  EXPECT_GT(notified, before) << "the waiting loop must wake";
  EXPECT_EQ(nav.UpdateWait(), WaitState::Aborted);
  EXPECT_EQ(nav.UpdateScript(script), ScriptState::Aborted);
  nav.LoadStarted(kListing);
  nav.LoadEnded(Ended(kListing));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Aborted) << "for good";
}

TEST_F(NavigationTrackerTest, ClicksThatMayLoadNothingEndTheirWaitByThemselves) {
  // A link whose click navigated nowhere after all.
  nav.ClickRequested(kOther);
  nav.BeginWait();
  EXPECT_EQ(At(NavigationTracker::kClickNoStartMilliseconds - 1), WaitState::Waiting);
  EXPECT_EQ(At(NavigationTracker::kClickNoStartMilliseconds), WaitState::Ready);
  // A link the engine declined (a local file, say) is done at once.
  nav.ClickRequested("file:///etc/passwd");
  nav.NavigationRefused("file:///etc/passwd");
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);

  // A script link: busy for a short while counted from the first look.
  nav.ClickMayLoad();
  clock.now = 50'000;
  nav.BeginWait();
  EXPECT_EQ(nav.UpdateWait(), WaitState::Waiting);
  EXPECT_EQ(nav.NextWake(), 50'000 + NavigationTracker::kPossibleLoadMilliseconds);
  EXPECT_EQ(At(50'000 + NavigationTracker::kPossibleLoadMilliseconds), WaitState::Ready);
  // ...unless a load starts meanwhile, which is then waited for.
  nav.ClickMayLoad();
  EXPECT_EQ(nav.UpdateWait(), WaitState::Waiting);
  nav.LoadStarted(kOther);
  EXPECT_EQ(At(clock.now + 5000), WaitState::Waiting);
  nav.LoadEnded(Ended(kOther));
  EXPECT_EQ(nav.UpdateWait(), WaitState::Ready);
}

}  // namespace
}  // namespace vantrelis
