#include "app/batch_harvest.h"

#include <signal.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <csignal>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "app/demo_server.h"
#include "browser/real_clock.h"
#include "browser/webengine_browser.h"
#include "browser/webengine_setup.h"
#include "harvest/harvest_run.h"
#include "text/codepage.h"

namespace vantrelis {
namespace {

// Set by SIGINT/SIGTERM; copied into StopRequested on the GUI thread, which
// the run's waits keep turning.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int) { g_stopSignal = 1; }

// Routes SIGINT and SIGTERM to a stop request while it lives; a second
// signal takes the default action (the user insists), the old handlers come
// back afterwards.
class StopSignals {
 public:
  StopSignals() {
    g_stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &m_oldInt);
    sigaction(SIGTERM, &action, &m_oldTerm);
  }
  ~StopSignals() {
    sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &m_oldTerm, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction m_oldInt {};
  struct sigaction m_oldTerm {};
};

// Qt WebEngine cannot start twice in one process: once the application
// this command created is gone, no further harvest can run.
bool g_engineShutDown = false;

std::unique_ptr<QApplication> CreateApplicationIfNone() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  if (g_engineShutDown) {
    throw std::runtime_error("Une seule récolte est possible par commande vantrelis-batch");
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  PrepareWebEngineEnvironment();
  static int argc = 1;
  static char name[] = "vantrelis-batch";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

// What the user typed as a start address, made absolute ("host/path" and
// file paths are accepted as a browser's address bar would).
std::string StartAddress(const std::string& url) {
  const QUrl address = QUrl::fromUserInput(QString::fromLocal8Bit(url.c_str()));
  if (!address.isValid() || address.isEmpty()) {
    throw std::runtime_error("Adresse de départ invalide : « " + url + " »");
  }
  return address.toString(QUrl::FullyEncoded).toStdString();
}

// The harvest itself, with everything it needs; gone before the application.
void Harvest(ContactTable& table, const std::string& url, const std::function<void()>& afterListing) {
  std::unique_ptr<DemoServer> server;
  std::string start;
  if (url == "demo") {
    server = std::make_unique<DemoServer>();
    if (!server->start()) {
      throw std::runtime_error("Impossible de démarrer l'annuaire de démonstration");
    }
    start = server->url(QStringLiteral("/pagesjaunes/resultats.aspx")).toString().toStdString();
  } else {
    start = StartAddress(url);
  }

  QWebEngineView resultsView;
  QWebEngineView listingView;
  WebEngineBrowser www(&resultsView);
  WebEngineBrowser www2(&listingView);
  RealClock clock;
  BrowserDriver driver(clock);
  HarvestRun run(www, www2, table, driver);

  int32_t pages = 0;
  int32_t listings = 0;
  run.SetProgressCallback([&](const HarvestProgress& progress) {
    if (afterListing) afterListing();
    pages = progress.page;
    ++listings;
    std::cerr << "page " << progress.page << ", fiche " << progress.listing << '/' << progress.count
              << " : "
              << (progress.name.empty() ? std::string("(pas de fiche)")
                                        : Windows1252ToUtf8(progress.name))
              << std::endl;
  });

  StopSignals stopSignals;
  QTimer stopPoll;
  QObject::connect(&stopPoll, &QTimer::timeout, [] {
    if (g_stopSignal != 0) StopRequested = true;
  });
  stopPoll.start(50);

  table.SettleRow();
  const int32_t rowsBefore = table.CommittedRowCount();
  try {
    driver.Navigate(www, start);
    run.Button1Click();
  } catch (const BrowserAborted&) {
    table.SettleRow();
    throw std::runtime_error("Récolte interrompue : l'application se ferme");
  } catch (...) {
    // Rows harvested so far stay, as in the window.
    table.SettleRow();
    throw;
  }
  table.SettleRow();
  stopPoll.stop();
  const int32_t added = table.CommittedRowCount() - rowsBefore;
  if (listings == 0 && g_stopSignal == 0) {
    std::cerr << "Aucune fiche trouvée à l'adresse " << start
              << " : est-ce bien une page de résultats de l'annuaire ?" << std::endl;
    return;
  }
  std::cerr << (g_stopSignal != 0 ? "Récolte arrêtée à la demande : " : "Récolte terminée : ")
            << added << " contact" << (added > 1 ? "s" : "") << " ajouté" << (added > 1 ? "s" : "")
            << " depuis " << pages << " page" << (pages > 1 ? "s" : "") << " de résultats"
            << std::endl;
}

}  // namespace

void BatchHarvest(ContactTable& table, const std::string& url, const std::function<void()>& afterListing) {
  // Browsers, pages and the demo server all go before the application does,
  // which then shuts Chromium down: no engine process outlives the command.
  struct ApplicationScope {
    std::unique_ptr<QApplication> application;
    ~ApplicationScope() {
      if (!application) return;
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      application.reset();
      g_engineShutDown = true;
    }
  } scope{CreateApplicationIfNone()};
  Harvest(table, url, afterListing);
}

}  // namespace vantrelis
