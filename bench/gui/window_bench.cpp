// The window at start-up and with a table of a million rows: the time from
// the program's start to the window shown with its start page loaded, a
// 1,000,000-row CSV import through the window with the grid repainted, and
// a jump to the grid's last row.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/application.h"
#include "app/contact_grid.h"
#include "app/main_window.h"
#include "browser/webengine_browser.h"
#include "browser/webengine_setup.h"
#include "store/csv_file.h"
#include "store/session_journal.h"

namespace {

using namespace vantrelis;

constexpr int32_t kRows = 1000000;

int g_argc = 1;
char g_program[] = "window_bench";
char* g_argv[] = {g_program, nullptr};
std::unique_ptr<Application> g_app;
QElapsedTimer g_sinceStart;

// Answers the import's open dialog with one file name; notices (a journal
// that cannot be made) are not shown.
class ImportDialogs : public QtDialogs {
 public:
  QString file;
  bool getOpenFileName(QWidget*, FileDialogRequest& request) override {
    request.fileName = file;
    return true;
  }
  void warning(QWidget*, const QString&) override {}
};

bool WaitLoaded(WebEngineBrowser* browser, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < timeoutMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!browser->CurrentUrl().empty() && !browser->Busy() && browser->ReadyState() == 4) return true;
  }
  return false;
}

void EnsureApplication() {
  if (g_app) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qunsetenv("VANTRELIS_DIRECTORY");
  PrepareWebEngineEnvironment();
  g_app = std::make_unique<Application>(g_argc, g_argv);
}

// Start-up as the program does it, up to the start page loaded in www; the
// first iteration includes the application and browser engine start.
void BM_StartToStartPageLoaded(benchmark::State& state) {
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    const bool first = !g_app;
    EnsureApplication();
    HarvestSession session;
    auto form = std::make_unique<TForm1>(session, QStringList{QStringLiteral("vantrelis")});
    form->Create();
    form->showMaximized();
    if (!WaitLoaded(form->wwwBrowser(), 30000)) {
      state.SkipWithError("start page not loaded");
      return;
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    state.SetIterationTime(seconds);
    // The first start counted from main(): application, browser engine, window.
    if (first) state.counters["first_from_main_s"] = static_cast<double>(g_sinceStart.nsecsElapsed()) / 1e9;
    form.reset();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_StartToStartPageLoaded)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// Writes the 1,000,000-row file the import reads.
QString WriteMillionRowFile(const QTemporaryDir& dir) {
  ContactTable source;
  source.BeginLoad();
  char buffer[160];
  for (int32_t i = 0; i < kRows; ++i) {
    source.AppendRow();
    std::snprintf(buffer, sizeof buffer, "P\xe2tisserie Dupont & Fils %d", i);
    source.SetFieldText(Field::Name, buffer);
    std::snprintf(buffer, sizeof buffer, "info%d@dupont.example", i);
    source.SetFieldText(Field::email, buffer);
    source.SetFieldText(Field::tel, "021 312 45 67");
    source.SetFieldText(Field::adress1, "avenue de la gare 12");
    source.SetFieldText(Field::cp, "1003");
    source.SetFieldText(Field::adress2, "lausanne");
    source.SetFieldText(Field::site, "www.dupont.example");
    source.CommitRow();
  }
  source.EndLoad();
  QString path = dir.filePath(QStringLiteral("million.csv"));
  SaveCsvFile(source, path.toStdString());
  return path;
}

// "Importer base de données" with a 1,000,000-row file, then the grid
// repainted; then a jump to the last row (Ctrl+End) and the grid repainted.
// With the session journal (1), as always, and without it (0: its folder
// cannot be made), to show what the journal costs.
void BM_ImportMillionRowsIntoWindow(benchmark::State& state) {
  EnsureApplication();
  QTemporaryDir dir;
  const QString file = WriteMillionRowFile(dir);
  ImportDialogs dialogs;
  dialogs.file = file;
  SetAppDialogs(&dialogs);
  const QByteArray savedState = qgetenv("XDG_STATE_HOME");
  const bool journaled = state.range(0) != 0;
  if (!journaled) qputenv("XDG_STATE_HOME", QFile::encodeName(file) + "/state");
  // The session makes its journal when it is built: the folder counts then.
  auto session = std::make_unique<HarvestSession>();
  auto form = std::make_unique<TForm1>(*session, QStringList{QStringLiteral("vantrelis")});
  if (!journaled) {
    if (savedState.isNull()) {
      qunsetenv("XDG_STATE_HOME");
    } else {
      qputenv("XDG_STATE_HOME", savedState);
    }
  }
  form->resize(1152, 807);
  form->show();
  QCoreApplication::processEvents();
  double scrollSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    form->table().ClearRows();
    // The clear cuts the journal back, which the writer does on its own
    // time (freeing the blocks of a large file takes a while): as between a
    // person's clear and their next import, it is done before the import.
    if (form->journal() != nullptr) form->journal()->Sync();
    QCoreApplication::processEvents();
    state.ResumeTiming();
    form->Button6Click();
    form->grid()->viewport()->repaint();
    QCoreApplication::processEvents();
    state.PauseTiming();
    if (form->grid()->model()->rowCount() != kRows) {
      state.SkipWithError("import incomplete");
      break;
    }
    QElapsedTimer clock;
    clock.start();
    form->grid()->setFocus();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::sendEvent(form->grid(), &end);
    form->grid()->viewport()->repaint();
    QCoreApplication::processEvents();
    scrollSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (form->table().CurrentRow() != kRows - 1) state.SkipWithError("not at the last row");
    state.ResumeTiming();
  }
  state.counters["scroll_to_end_ms"] = scrollSeconds * 1000;
  SetAppDialogs(nullptr);
  form.reset();
}
BENCHMARK(BM_ImportMillionRowsIntoWindow)
    ->ArgName("journal")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  g_sinceStart.start();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The window and its browsers are gone; the application object goes last.
  g_app.reset();
  return 0;
}
