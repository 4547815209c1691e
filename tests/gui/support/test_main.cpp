#include "test_main.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

#include "app/application.h"
#include "auto_dialogs.h"
#include "browser/webengine_setup.h"

namespace vantrelis::test_support {
namespace {

// Points XDG_STATE_HOME and XDG_DATA_HOME at folders of this test
// process's own, removed at its end, so that no session journal and no
// site data are ever written into the real home, and test processes that
// run at once never share them.
void UsePrivateStateFolders() {
  static QTemporaryDir state(QDir::tempPath() + QStringLiteral("/vantrelis-test-state-XXXXXX"));
  static QTemporaryDir data(QDir::tempPath() + QStringLiteral("/vantrelis-test-data-XXXXXX"));
  qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
  qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
}

}  // namespace

int RunQtTest(int argc, char** argv, TestApplication application,
              const std::function<std::unique_ptr<QObject>()>& makeTest) {
  UsePrivateStateFolders();
  std::optional<Application> program;
  std::optional<QCoreApplication> guiless;
  switch (application) {
    case TestApplication::Program:
      // Chromium's environment (its sandbox off as root) must be set before
      // the application object exists.
      PrepareWebEngineEnvironment();
      program.emplace(argc, argv);
      FailOnUnexpectedDialogs();
      break;
    case TestApplication::Guiless: guiless.emplace(argc, argv); break;
    case TestApplication::None: break;
  }
  const std::unique_ptr<QObject> test = makeTest();
  return QTest::qExec(test.get(), argc, argv);
}

}  // namespace vantrelis::test_support
