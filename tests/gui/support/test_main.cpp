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

// Points XDG_STATE_HOME at a folder of this test process's own, removed at
// its end, so that no session journal is ever written into the real home.
void UsePrivateStateFolder() {
  static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/vantrelis-test-state-XXXXXX"));
  qputenv("XDG_STATE_HOME", QFile::encodeName(folder.path()));
}

}  // namespace

int RunQtTest(int argc, char** argv, TestApplication application,
              const std::function<std::unique_ptr<QObject>()>& makeTest) {
  UsePrivateStateFolder();
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
