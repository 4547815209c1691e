#include "app/application.h"

#include <QApplication>
#include <QIcon>

#include "app/dialogs.h"
#include "app/engine_output.h"
#include "app/messages.h"
#include "app/translations.h"
#include "browser/qt_text.h"
#include "harvest/browser_aborted.h"
#include "text/codepage.h"
#include "text/message.h"

namespace vantrelis {
namespace {

// The BrowserAborted that ends a run because the program closes.
bool IsAbort(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const BrowserAborted&) {
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

QString ErrorReportText(const QString& message) {
  return QString::fromStdString(WithFinalPeriod(message.toStdString()));
}

QString ExceptionMessage(const std::exception& error) {
  const std::string_view what = error.what();
  if (IsValidUtf8(what)) return QString::fromUtf8(what.data(), static_cast<qsizetype>(what.size()));
  return Windows1252ToQString(what);
}

QString ExceptionMessage(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return ExceptionMessage(e);
  } catch (...) {
    return QString::fromUtf8(kUnexpectedError);
  }
}

void ShowErrorReport(const QString& message) {
  try {
    AppDialogs().errorReport(QApplication::activeWindow(), QString::fromLatin1(kApplicationTitle),
                             ErrorReportText(message));
  } catch (...) {
    // The report itself must never throw into the event loop.
  }
}

void ReportException(const std::exception_ptr& error) {
  if (!IsAbort(error)) ShowErrorReport(ExceptionMessage(error));
}

void RunGuarded(const std::function<void()>& handler) {
  std::exception_ptr failure;
  try {
    handler();
  } catch (...) {
    failure = std::current_exception();
  }
  // Reported once the handler is unwound: the box's own event loop does not
  // run inside a catch block.
  if (failure) ReportException(failure);
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // The title names the application (task bar, error boxes). It is not set
  // as the display name: X11 would append that to every window's caption.
  setApplicationName(QString::fromLatin1(kApplicationTitle));
  setDesktopFileName(QStringLiteral("vantrelis"));
  // French everywhere, the standard dialogs and buttons of Qt included.
  const QString folder = QtTranslationsFolder();
  if (!InstallQtTranslations(*this, ProgramLocale(QLocale::system()), folder))
    qCWarning(lcVantrelis,
              "Vantrelis : pas de traduction française de Qt dans %s ; les boîtes de dialogue "
              "standard resteront en anglais.",
              qUtf8Printable(folder));
}

Application::~Application() = default;

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportException(std::current_exception());
    return false;
  }
}

}  // namespace vantrelis
