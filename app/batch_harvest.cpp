#include "app/batch_harvest.h"

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <iostream>
#include <memory>
#include <stdexcept>

#include "app/demo_server.h"
#include "app/harvest_session.h"
#include "app/site_profile.h"
#include "batch/stop_signals.h"
#include "browser/webengine_setup.h"
#include "text/codepage.h"

namespace vantrelis {
namespace {

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

std::string Plural(int32_t count, const char* word) {
  return std::to_string(count) + " " + word + (count > 1 ? "s" : "");
}

// The harvest itself, with everything it needs; gone before the application.
void Harvest(ContactTable& table, const std::string& url, SessionJournal* journal,
             const SiteDataLock& siteData) {
  // Made before the browsers and gone after them: the profile's cookies
  // reach the disk however the harvest ends.
  const SiteProfile profile(siteData);
  if (!profile.kept()) {
    std::cerr << "vantrelis-batch : " << profile.privateSessionNotice().toStdString() << std::endl;
  }
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

  // The same browsers, driver and run as the window's, on views never shown.
  QWebEngineView resultsView;
  QWebEngineView listingView;
  HarvestRig rig(table, journal, &resultsView, &listingView);
  HarvestRun& run = rig.run();

  int32_t pages = 0;
  int32_t listings = 0;
  run.SetListener([&](const HarvestProgress& progress) {
    if (progress.step != HarvestProgress::Step::ListingDone) return;
    pages = progress.page;
    ++listings;
    std::cerr << "page " << progress.page << ", fiche " << progress.listing << '/' << progress.count << " : ";
    if (!progress.skipped.empty()) {
      std::cerr << "ignorée, " << progress.url << " : " << progress.skipped;
    } else if (progress.alreadyHeld) {
      std::cerr << "déjà dans la table, passée (" << progress.url << ")";
    } else {
      std::cerr << (progress.name.empty() ? std::string("(pas de fiche)") : Windows1252ToUtf8(progress.name));
    }
    std::cerr << std::endl;
  });

  // A stop signal ends the current wait or pause at once, as closing the
  // window does; the run then ends as after "Pause".
  auto stop = [&] { rig.abortWaits(); };
  std::unique_ptr<QSocketNotifier> signalNotifier;
  if (StopSignals::WakeDescriptor() >= 0) {
    signalNotifier = std::make_unique<QSocketNotifier>(StopSignals::WakeDescriptor(), QSocketNotifier::Read);
    QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [&] {
      StopSignals::Drain();
      stop();
    });
  }
  if (StopSignals::Received() != 0) stop();

  table.SettleRow();
  const int32_t rowsBefore = table.CommittedRowCount();
  auto summary = [&](const char* how) {
    const int32_t added = table.CommittedRowCount() - rowsBefore;
    std::cerr << how << Plural(added, "contact") << (added > 1 ? " ajoutés" : " ajouté") << " depuis "
              << Plural(pages, "page") << " de résultats" << std::endl;
    const std::string told = RunSummary(run.Report());
    if (!told.empty()) std::cerr << told << std::endl;
  };
  bool stopped = false;
  try {
    rig.driver().Navigate(rig.www(), start);
    run.Button1Click();
  } catch (const BrowserAborted&) {
    stopped = true;
  } catch (...) {
    // Rows harvested so far stay, as in the window; the command goes on.
    table.SettleRow();
    summary("Récolte interrompue par une erreur : ");
    throw;
  }
  table.SettleRow();
  if (stopped || StopSignals::Received() != 0) {
    summary("Récolte arrêtée à la demande : ");
    return;
  }
  if (listings == 0) {
    std::cerr << "Aucune fiche trouvée à l'adresse " << start
              << " : est-ce bien une page de résultats de l'annuaire ?" << std::endl;
    return;
  }
  summary("Récolte terminée : ");
}

}  // namespace

void BatchHarvest(ContactTable& table, const std::string& url, SessionJournal* journal) {
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
  };
  // The site data folder is this command's until the engine has shut down.
  const SiteDataLock siteData(SiteDataFolder());
  ApplicationScope scope{CreateApplicationIfNone()};
  Harvest(table, url, journal, siteData);
}

}  // namespace vantrelis
