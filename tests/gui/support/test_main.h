// The one main of the GUI tests: every test file ends with one of the macros
// below instead of QtTest's own, so that what a test process needs before its
// test object exists is done in one place.
#pragma once

#include <QObject>
#include <QtTest>

#include <functional>
#include <memory>

namespace vantrelis::test_support {

// The application object a test runs under.
enum class TestApplication {
  // The program's own (French, with its error report), after the browser
  // engine's environment is prepared: widgets and web views.
  Program,
  // A QCoreApplication: event loop, timers and sockets, no widgets.
  Guiless,
  // None at all: plain functions.
  None,
};

// Runs the QtTest object that `makeTest` creates once the application object
// exists, and returns QTest::qExec's status. Session journals and site data
// of the process go to private folders, removed at its end.
int RunQtTest(int argc, char** argv, TestApplication application,
              const std::function<std::unique_ptr<QObject>()>& makeTest);

}  // namespace vantrelis::test_support

// main() for the QtTest class `TestClass` under `application`.
#define VANTRELIS_TEST_MAIN_WITH(TestClass, application)                                                  \
  int main(int argc, char** argv) {                                                                       \
    return vantrelis::test_support::RunQtTest(argc, argv, application, []() -> std::unique_ptr<QObject> { \
      QTEST_SET_MAIN_SOURCE_PATH                                                                          \
      return std::make_unique<TestClass>();                                                               \
    });                                                                                                   \
  }

// Widgets and browsers, under the program's application object.
#define VANTRELIS_GUI_TEST_MAIN(TestClass) \
  VANTRELIS_TEST_MAIN_WITH(TestClass, vantrelis::test_support::TestApplication::Program)
// An event loop without widgets.
#define VANTRELIS_GUILESS_TEST_MAIN(TestClass) \
  VANTRELIS_TEST_MAIN_WITH(TestClass, vantrelis::test_support::TestApplication::Guiless)
// No application object.
#define VANTRELIS_APPLESS_TEST_MAIN(TestClass) \
  VANTRELIS_TEST_MAIN_WITH(TestClass, vantrelis::test_support::TestApplication::None)
