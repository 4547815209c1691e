// The program's start: environment, application object, the session, main
// window with its splash screen, event loop.
#include <QIcon>
#include <QLabel>
#include <QStatusBar>
#include <memory>

#include "app/application.h"
#include "app/harvest_session.h"
#include "app/main_window.h"
#include "app/pictures.h"
#include "app/site_profile.h"
#include "browser/webengine_setup.h"

namespace vantrelis {

int RunVantrelis(int argc, char** argv) {
  PrepareWebEngineEnvironment();
  // The site data folder is this program's until the engine has shut down,
  // after the application object.
  const SiteDataLock siteData(SiteDataFolder());
  Application app(argc, argv);
  QApplication::setWindowIcon(ApplicationIcon());
  int result = 0;
  {
    // The browser profile outlives every page on it and goes before the
    // application: its cookies reach the disk when the window closes.
    const SiteProfile profile(siteData);
    // Made before the window and gone after it: the table and the browsers
    // outlive every widget that shows or drives them.
    HarvestSession session;
    TForm1 window(session, QCoreApplication::arguments());
    // A profile that cannot be kept is told once, for the whole session.
    if (!profile.kept()) window.statusBar()->addWidget(new QLabel(profile.privateSessionNotice()), 1);
    window.Create();
    window.showMaximized();
    result = Application::exec();
  }
  return result;
}

}  // namespace vantrelis
