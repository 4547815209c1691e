#include "app/application.h"

#include <QApplication>
#include <QIcon>

#include "app/dialogs.h"
#include "app/translations.h"
#include "harvest/browser_aborted.h"
#include "text/codepage.h"

namespace vantrelis {

QString ErrorReportText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > 46) return message + QLatin1Char('.');
  return message;
}

QString ExceptionMessage(const std::exception& error) {
  const std::string_view what = error.what();
  if (IsValidUtf8(what)) return QString::fromUtf8(what.data(), static_cast<qsizetype>(what.size()));
  const std::u16string wide = Windows1252ToUtf16(what);
  return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

void ReportException(std::exception_ptr error) {
  QString message;
  try {
    std::rethrow_exception(error);
  } catch (const BrowserAborted&) {
    return;
  } catch (const std::exception& e) {
    message = ExceptionMessage(e);
  } catch (...) {
    message = QStringLiteral("Erreur inattendue");
  }
  try {
    AppDialogs().errorReport(QApplication::activeWindow(), QString::fromLatin1(kApplicationTitle),
                             ErrorReportText(message));
  } catch (...) {
    // The report itself must never throw into the event loop.
  }
}

void RunGuarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    ReportException(std::current_exception());
  }
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // The title names the application (task bar, error boxes). It is not set
  // as the display name: X11 would append that to every window's caption.
  setApplicationName(QString::fromLatin1(kApplicationTitle));
  setDesktopFileName(QStringLiteral("vantrelis"));
  // French everywhere, the standard dialogs and buttons of Qt included.
  const QString folder = QtTranslationsFolder();
  if (!InstallQtTranslations(*this, ProgramLocale(QLocale::system()), folder))
    qWarning("Vantrelis : pas de traduction française de Qt dans %s ; les boîtes de dialogue "
             "standard resteront en anglais.", qUtf8Printable(folder));
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
