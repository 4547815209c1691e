#include "harvester/batch_harvester.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QSocketNotifier>
#include <QUrl>
#include <QWebEngineView>

#include <iostream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "app/demo_server.h"
#include "app/harvest_session.h"
#include "app/site_profile.h"
#include "batch/progress_report.h"
#include "batch/site_data.h"
#include "batch/stop_signals.h"
#include "browser/webengine_setup.h"
#include "text/message.h"
#include "text/scope_guard.h"

namespace vantrelis {
namespace {

std::unique_ptr<QApplication> CreateApplicationIfNone() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
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

// What the user can do about a harvest the site stopped.
std::string BlockAdvice(RunBlock::Kind kind) {
  switch (kind) {
    case RunBlock::Kind::Check: break;
    case RunBlock::Kind::RateLimit: return "Reprenez la récolte plus tard avec vantrelis-batch --resume.";
    case RunBlock::Kind::NoListing:
      return "Si le site demande une vérification, faites-la dans la fenêtre de Vantrelis, puis reprenez "
             "la récolte avec vantrelis-batch --resume ; si ses pages ont changé, elles ne peuvent plus "
             "être lues.";
  }
  return "Ouvrez cette page dans la fenêtre de Vantrelis et faites ce qu'elle demande, puis reprenez la "
         "récolte avec vantrelis-batch --resume.";
}

}  // namespace

// What the harvests of the command share, made in this order and gone in
// the reverse one: the site data lock before the application exists and
// after it is gone (the engine writes the last files as it shuts down),
// the profile and the demo servers while it lives.
struct BatchHarvester::Engine {
  SiteDataLock siteData{SiteDataFolder()};
  std::unique_ptr<QApplication> application = CreateApplicationIfNone();
  // Made before the browsers and gone after them: the profile's cookies
  // reach the disk however the harvests end.
  std::unique_ptr<SiteProfile> profile = std::make_unique<SiteProfile>(siteData);
  std::vector<std::unique_ptr<DemoServer>> demos;
  DemoServer* demo = nullptr;  // the one "demo" harvests, once started

  Engine() {
    if (!profile->kept()) {
      std::cerr << "vantrelis-batch : " << profile->privateSessionNotice().toStdString() << std::endl;
    }
  }
  ~Engine() {
    // The servers and the profile go before the application does, which
    // then shuts Chromium down: no engine process outlives the command.
    demos.clear();
    profile.reset();
    if (application) {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      application.reset();
    }
  }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The first result page of the bundled demo directory, served for the
  // whole command: a second "demo" harvest finds its listings again.
  std::string DemoStart() {
    if (demo == nullptr) {
      auto server = std::make_unique<DemoServer>();
      if (!server->start()) throw std::runtime_error("Impossible de démarrer l'annuaire de démonstration");
      demo = demos.emplace_back(std::move(server)).get();
    }
    return demo->url(QStringLiteral("/pagesjaunes/resultats.aspx")).toString().toStdString();
  }

  // The address a resumed harvest starts from. A harvest of the demo
  // directory recorded a page of a server that ended with its command: the
  // demo is served again on that port, where nothing answers any more, so
  // that the listings' addresses are those of the rows taken back.
  std::string ResumeStart(const std::string& recorded) {
    const QUrl url(QString::fromStdString(recorded));
    const int port = url.port();
    if (url.scheme() != QLatin1String("http") || url.host() != QLatin1String("127.0.0.1") || port <= 0 ||
        !url.path().startsWith(QLatin1String("/pagesjaunes/"))) {
      return StartAddress(recorded);
    }
    for (const auto& server : demos) {
      if (server->baseUrl().port() == port) return recorded;
    }
    auto server = std::make_unique<DemoServer>();  // makes the demo's pages readable
    if (QFile::exists(QStringLiteral(":/demo") + url.path()) && server->start(static_cast<quint16>(port))) {
      demos.push_back(std::move(server));
    }
    return recorded;
  }
};

BatchHarvester::BatchHarvester() = default;

BatchHarvester::~BatchHarvester() { ShutDown(); }

void BatchHarvester::ShutDown() {
  if (!m_engine) return;
  m_engine.reset();
  m_shutDown = true;
}

void BatchHarvester::operator()(ContactTable& table, const HarvestRequest& request, SessionJournal* journal) {
  // Qt WebEngine cannot start again in a process where it was shut down.
  if (m_shutDown)
    throw std::runtime_error("Le navigateur de la récolte a déjà été arrêté dans cette commande");
  if (!m_engine) m_engine = std::make_unique<Engine>();
  // The engine shuts down after the command's last harvest, however it ends.
  const ScopeGuard lastHarvest([this, last = request.last] {
    if (last) ShutDown();
  });
  Engine& engine = *m_engine;

  std::string start;
  if (request.resume) {
    start = engine.ResumeStart(request.url);
  } else if (request.url == "demo") {
    start = engine.DemoStart();
  } else {
    start = StartAddress(request.url);
  }

  // The same browsers, driver and run as the window's, on views never
  // shown; gone before the engine is shut down.
  QWebEngineView resultsView;
  QWebEngineView listingView;
  HarvestRig rig(table, journal, &resultsView, &listingView);
  HarvestRun& run = rig.run();

  int columns = 0;
  const bool terminal = ProgressReport::StandardErrorIsTerminal(columns);
  ProgressReport progress(std::cerr, terminal, columns);
  run.SetListener([&progress](const HarvestProgress& step) { progress.Tell(step); });

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
    progress.Clear();
    const int32_t added = table.CommittedRowCount() - rowsBefore;
    std::cerr << how << Counted(added, "contact", "contacts") << (added > 1 ? " ajoutés" : " ajouté")
              << " depuis " << Counted(run.Report().pages, "page", "pages") << " de résultats" << std::endl;
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
  progress.Clear();
  const RunReport& report = run.Report();
  if (stopped || StopSignals::Received() != 0 || report.end == RunEnd::Stopped) {
    summary("Récolte arrêtée à la demande : ");
    return;
  }
  if (report.end == RunEnd::Blocked && report.block) {
    // The listings that stopped it gave no row: a resume loads them again.
    summary("Récolte arrêtée par le site : ");
    throw HarvestBlocked(BlockMessage(*report.block) + "\n" + BlockAdvice(report.block->kind));
  }
  if (report.nothingOnFirstPage && report.pages == 1) {
    std::cerr << "Aucune fiche trouvée à l'adresse " << start
              << " : est-ce bien une page de résultats de l'annuaire ?" << std::endl;
    return;
  }
  summary("Récolte terminée : ");
}

}  // namespace vantrelis
