#include "auto_dialogs.h"

#include <QByteArray>
#include <QTimer>
#include <QtTest>
#include <utility>

#include "app/verification_window.h"

namespace vantrelis::test_support {

namespace {

// The dialogs of a test process that expects none.
class UnexpectedDialogs : public Dialogs {
 public:
  bool question(QWidget*, const QString& text, QuestionButtons) override { return fail("question", text); }
  int choose(QWidget*, const QString& text, const QStringList&, int, int escapeAnswer) override {
    fail("choice", text);
    return escapeAnswer;
  }
  void information(QWidget*, const QString& text) override { fail("information", text); }
  void warning(QWidget*, const QString& text) override { fail("warning", text); }
  void error(QWidget*, const QString& text) override { fail("error", text); }
  void errorReport(QWidget*, const QString& caption, const QString& text) override {
    fail("error report", caption + QStringLiteral(": ") + text);
  }
  bool getSaveFileName(QWidget*, FileDialogRequest& request) override {
    return fail("save dialog", request.title);
  }
  bool getOpenFileName(QWidget*, FileDialogRequest& request) override {
    return fail("open dialog", request.title);
  }
  bool verify(QWidget*, const VerificationRequest& request) override {
    return fail("verification window", request.text);
  }

 private:
  static bool fail(const char* what, const QString& text) {
    const QByteArray message = QByteArray("unexpected ") + what + ": " + text.toUtf8();
    QTest::qFail(message.constData(), __FILE__, __LINE__);
    return false;
  }
};

// What a test process goes back to when its AutoDialogs ends.
Dialogs* g_unexpected = nullptr;

}  // namespace

void FailOnUnexpectedDialogs() {
  static UnexpectedDialogs unexpected;
  g_unexpected = &unexpected;
  SetAppDialogs(g_unexpected);
}

AutoDialogs::AutoDialogs() { SetAppDialogs(this); }

AutoDialogs::~AutoDialogs() { SetAppDialogs(g_unexpected); }

bool AutoDialogs::question(QWidget*, const QString& text, QuestionButtons buttons) {
  shown << QStringLiteral("question:") + text +
               (buttons == QuestionButtons::YesNo ? QStringLiteral(" [Oui/Non]")
                                                  : QStringLiteral(" [OK/Annuler]"));
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

int AutoDialogs::choose(QWidget*, const QString& text, const QStringList& captions, int, int escapeAnswer) {
  shown << QStringLiteral("choice:") + text + QStringLiteral(" [") + captions.join(QLatin1Char('/')) +
               QLatin1Char(']');
  if (choices.empty()) return escapeAnswer;
  const int answer = choices.front();
  choices.pop_front();
  return answer;
}

void AutoDialogs::information(QWidget*, const QString& text) {
  shown << QStringLiteral("information:") + text;
}

void AutoDialogs::warning(QWidget*, const QString& text) { shown << QStringLiteral("warning:") + text; }

void AutoDialogs::error(QWidget*, const QString& text) { shown << QStringLiteral("error:") + text; }

void AutoDialogs::errorReport(QWidget*, const QString& caption, const QString& text) {
  shown << QStringLiteral("report:") + text;
  lastReportCaption = caption;
  lastReportText = text;
  ++reports;
}

bool AutoDialogs::nextFile(FileDialogRequest& request) {
  if (fileNames.empty() || fileNames.front().isEmpty()) {
    if (!fileNames.empty()) fileNames.pop_front();
    return false;
  }
  request.fileName = fileNames.front();
  fileNames.pop_front();
  return true;
}

bool AutoDialogs::getSaveFileName(QWidget*, FileDialogRequest& request) {
  shown << QStringLiteral("save:") + request.title;
  lastSaveRequest = request;
  return nextFile(request);
}

bool AutoDialogs::getOpenFileName(QWidget*, FileDialogRequest& request) {
  shown << QStringLiteral("open:") + request.title;
  lastOpenRequest = request;
  return nextFile(request);
}

bool AutoDialogs::verify(QWidget* parent, const VerificationRequest& request) {
  shown << QStringLiteral("verification:") + request.page.toString() + QLatin1Char(' ') + request.text;
  if (onVerification) {
    VerificationWindow window(request, parent);
    const auto act = std::exchange(onVerification, nullptr);
    QTimer::singleShot(0, &window, [&window, act] {
      act(window);
      if (window.isVisible()) window.reject();
    });
    return window.exec() == QDialog::Accepted;
  }
  if (verifications.empty()) return false;
  const bool answer = verifications.front();
  verifications.pop_front();
  return answer;
}

}  // namespace vantrelis::test_support
