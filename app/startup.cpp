// The program's start: environment, application object, the session, main
// window with its splash screen, event loop.
#include <QIcon>
#include <memory>

#include "app/application.h"
#include "app/harvest_session.h"
#include "app/main_window.h"
#include "app/pictures.h"
#include "browser/webengine_setup.h"

namespace vantrelis {

int RunVantrelis(int argc, char** argv) {
  PrepareWebEngineEnvironment();
  Application app(argc, argv);
  QApplication::setWindowIcon(ApplicationIcon());
  int result = 0;
  {
    // Made before the window and gone after it: the table and the browsers
    // outlive every widget that shows or drives them.
    HarvestSession session;
    TForm1 window(session, QCoreApplication::arguments());
    window.Create();
    window.showMaximized();
    result = Application::exec();
  }
  return result;
}

}  // namespace vantrelis
