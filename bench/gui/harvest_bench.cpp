// A harvest of the bundled demo directory with the real browser engine:
// what the run costs beyond the pauses it must make, and how much processor
// time our process uses meanwhile.
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWebEngineView>

#include <chrono>
#include <cstdlib>

#include "app/demo_server.h"
#include "browser/real_clock.h"
#include "browser/webengine_browser.h"
#include "browser/webengine_setup.h"
#include "harvest/harvest_run.h"

namespace {

// The real clock, adding up every pause the run makes.
class CountingClock : public RealClock {
 public:
  void Pause(int32_t milliseconds) override {
    sleptMilliseconds += milliseconds;
    RealClock::Pause(milliseconds);
  }
  int64_t sleptMilliseconds = 0;
};

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One full harvest per iteration; counters: the time per listing beyond
// the fixed pauses, and the process's processor time as a share of the
// wall time of one core.
void BM_HarvestDemoDirectory(benchmark::State& state) {
  DemoServer server;
  if (!server.start()) {
    state.SkipWithError("demo server did not start");
    return;
  }
  const std::string start =
      server.url(QStringLiteral("/pagesjaunes/resultats.aspx")).toString().toStdString();
  double overheadPerListing = 0;
  double processorShare = 0;
  int64_t listings = 0;
  for (auto _ : state) {
    QWebEngineView resultsView;
    QWebEngineView listingView;
    WebEngineBrowser www(&resultsView);
    WebEngineBrowser www2(&listingView);
    CountingClock clock;
    vantrelis::BrowserDriver driver(clock);
    vantrelis::ContactTable table;
    vantrelis::HarvestRun run(www, www2, table, driver);
    listings = 0;
    run.SetProgressCallback([&](const vantrelis::HarvestProgress&) { ++listings; });

    const auto wallStart = std::chrono::steady_clock::now();
    const double processorStart = ProcessorSeconds();
    driver.Navigate(www, start);
    run.Button1Click();
    const double processor = ProcessorSeconds() - processorStart;
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();

    if (listings == 0) {
      state.SkipWithError("no listing harvested");
      return;
    }
    overheadPerListing = (wallMs - static_cast<double>(clock.sleptMilliseconds)) / listings;
    processorShare = 100.0 * processor * 1000.0 / wallMs;
    state.SetIterationTime(wallMs / 1000.0);
  }
  state.counters["listings"] = static_cast<double>(listings);
  state.counters["ms_per_listing_beyond_pauses"] = overheadPerListing;
  state.counters["cpu_percent_of_one_core"] = processorShare;
}
BENCHMARK(BM_HarvestDemoDirectory)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  PrepareWebEngineEnvironment();
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
