// The program's start: its version, the display it needs, the environment,
// application object, the session, main window with its splash screen,
// event loop.
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/application.h"
#include "app/engine_output.h"
#include "app/harvest_session.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/pictures.h"
#include "app/site_profile.h"
#include "browser/webengine_setup.h"

namespace vantrelis {
namespace {

bool HasArgument(int argc, char** argv, std::initializer_list<const char*> names) {
  for (int i = 1; i < argc; ++i) {
    for (const char* name : names)
      if (std::strcmp(argv[i], name) == 0) return true;
  }
  return false;
}

// True when Qt is told of a window system to reach: a platform chosen (in
// QT_QPA_PLATFORM or on the command line), a display named on the command
// line, or DISPLAY or WAYLAND_DISPLAY set.
bool DisplayNamed(int argc, char** argv) {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
  if (HasArgument(argc, argv, {"-platform", "--platform", "-display", "--display"})) return true;
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int RunVantrelis(int argc, char** argv) {
  if (HasArgument(argc, argv, {"--version"})) {
    std::printf("vantrelis %s\n", VANTRELIS_VERSION);
    return 0;
  }
  // Without a display Qt would abort with its own English message.
  if (!DisplayNamed(argc, argv)) {
    std::fprintf(stderr, "%s\n", messages::kWindowWithoutDisplay);
    return 1;
  }
  KeepEngineOutputQuiet(messages::kWindowWithoutDisplay);
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
    if (!profile.kept()) window.showSessionNotice(profile.privateSessionNotice());
    window.Create();
    window.showMaximized();
    result = Application::exec();
  }
  return result;
}

}  // namespace vantrelis
