// The program's start: environment, application object, main window with
// its splash screen, event loop.
#include <QIcon>
#include <memory>

#include "app/application.h"
#include "app/main_window.h"
#include "app/pictures.h"
#include "browser/webengine_setup.h"

namespace vantrelis {

int RunVantrelis(int argc, char** argv) {
  PrepareWebEngineEnvironment();
  Application app(argc, argv);
  app.setWindowIcon(ApplicationIcon());
  int result = 0;
  {
    TForm1 window(app.arguments());
    window.Create();
    window.showMaximized();
    result = Application::exec();
  }
  return result;
}

}  // namespace vantrelis
