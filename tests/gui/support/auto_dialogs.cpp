#include "auto_dialogs.h"

namespace vantrelis::test_support {

AutoDialogs::AutoDialogs() { SetAppDialogs(this); }

AutoDialogs::~AutoDialogs() { SetAppDialogs(nullptr); }

bool AutoDialogs::question(QWidget*, const QString& text, QuestionButtons buttons) {
  shown << QStringLiteral("question:") + text +
               (buttons == QuestionButtons::YesNo ? QStringLiteral(" [Oui/Non]") : QStringLiteral(" [OK/Annuler]"));
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

void AutoDialogs::information(QWidget*, const QString& text) { shown << QStringLiteral("information:") + text; }

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

}  // namespace vantrelis::test_support
