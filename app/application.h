// The application object: its title, and the error report that catches every
// exception leaving a handler before it can cross Qt's event loop.
#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

namespace vantrelis {

// The application title: error-box caption and name on the task bar.
inline constexpr const char* kApplicationTitle = "KorvalenCH";

// The text of a box that tells of a failure (the error report, a journal's
// notice): the message, with "." appended when it is not empty and its last
// character's code is above 46 (WithFinalPeriod).
QString ErrorReportText(const QString& message);

// An exception's message as text (UTF-8, or Windows-1252 when not UTF-8).
QString ExceptionMessage(const std::exception& error);
// The message of any exception: that of a std::exception, else "Erreur
// inattendue".
QString ExceptionMessage(const std::exception_ptr& error);

// Shows the error report for `message`: ErrorReportText, the application
// title as caption, over the active window. Never throws.
void ShowErrorReport(const QString& message);

// Shows the error report for the exception given; a BrowserAborted is not
// reported (the run ended because the program closes).
void ReportException(const std::exception_ptr& error);

// Runs `handler`; any exception leaving it is reported, never rethrown.
void RunGuarded(const std::function<void()>& handler);

// A slot for connect() that runs the member `handler` of `receiver` as
// RunGuarded does: a handler's error never unwinds through Qt.
template <typename Receiver>
auto Guarded(Receiver* receiver, void (Receiver::*handler)()) {
  return [receiver, handler] { RunGuarded([receiver, handler] { (receiver->*handler)(); }); };
}

class Application : public QApplication {
  Q_OBJECT
 public:
  Application(int& argc, char** argv);
  ~Application() override;

  // Delivers the event; an exception leaving the receiver is reported here.
  bool notify(QObject* receiver, QEvent* event) override;
};

// The program: environment, application, session, window, splash, event loop.
int RunVantrelis(int argc, char** argv);

}  // namespace vantrelis
