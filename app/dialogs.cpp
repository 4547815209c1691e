#include "app/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "app/messages.h"
#include "app/translations.h"
#include "app/verification_window.h"

namespace vantrelis {
namespace {

Dialogs* g_override = nullptr;

// A modal box with the French captions; returns the button that was pressed.
QMessageBox::ButtonRole ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                const QString& text, bool yesNo, bool okCancel) {
  // A title bar with only the close button: a box is never minimized or
  // maximized away from the question it asks.
  QMessageBox box(icon, title, text, QMessageBox::NoButton, parent, MessageBoxFlags());
  // Messages carry names of files and pages: never read them as mark-up.
  box.setTextFormat(Qt::PlainText);
  QPushButton* first = nullptr;
  QPushButton* second = nullptr;
  if (yesNo) {
    first = box.addButton(QStringLiteral("&Oui"), QMessageBox::YesRole);
    second = box.addButton(QStringLiteral("&Non"), QMessageBox::NoRole);
  } else if (okCancel) {
    first = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    second = box.addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
  } else {
    first = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  }
  box.setDefaultButton(first);
  if (second) box.setEscapeButton(second);
  box.exec();
  return box.clickedButton() == first ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
}

// Qt's own dialog unless the desktop's speaks French; chosen before any
// other property of the dialog, as QFileDialog requires.
void ChooseDialogKind(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, !UseNativeFileDialogs(QLocale::system()));
}

void PrepareFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setObjectName(request.objectName);
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  dialog.setNameFilters(request.filters);
  if (!request.selectedFilter.isEmpty()) dialog.selectNameFilter(request.selectedFilter);
  dialog.setDefaultSuffix(request.defaultSuffix);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled(true);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
}

}  // namespace

Qt::WindowFlags MessageBoxFlags() {
  return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
         Qt::MSWindowsFixedSizeDialogHint;
}

bool QtDialogs::question(QWidget* parent, const QString& text, QuestionButtons buttons) {
  return ShowBox(parent, QMessageBox::Question, QStringLiteral("Confirmation"), text,
                 buttons == QuestionButtons::YesNo,
                 buttons == QuestionButtons::OkCancel) == QMessageBox::AcceptRole;
}

int QtDialogs::choose(QWidget* parent, const QString& text, const QStringList& answers, int defaultAnswer,
                      int escapeAnswer) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"), text, QMessageBox::NoButton, parent,
                  MessageBoxFlags());
  box.setTextFormat(Qt::PlainText);
  QList<QPushButton*> buttons;
  for (int i = 0; i < answers.size(); ++i) {
    // The role only places the button; the answer is told by its index.
    const QMessageBox::ButtonRole role = i == defaultAnswer  ? QMessageBox::AcceptRole
                                         : i == escapeAnswer ? QMessageBox::RejectRole
                                                             : QMessageBox::DestructiveRole;
    buttons << box.addButton(answers.at(i), role);
  }
  if (defaultAnswer >= 0 && defaultAnswer < buttons.size()) box.setDefaultButton(buttons.at(defaultAnswer));
  if (escapeAnswer >= 0 && escapeAnswer < buttons.size()) box.setEscapeButton(buttons.at(escapeAnswer));
  box.exec();
  const auto clicked = static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
  return clicked >= 0 ? clicked : escapeAnswer;
}

void QtDialogs::information(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Information, QStringLiteral("Information"), text, false, false);
}

void QtDialogs::warning(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Warning, QStringLiteral("Avertissement"), text, false, false);
}

void QtDialogs::error(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Critical, QStringLiteral("Erreur"), text, false, false);
}

void QtDialogs::errorReport(QWidget* parent, const QString& caption, const QString& text) {
  ShowBox(parent, QMessageBox::Critical, caption, text, false, false);
}

bool QtDialogs::getSaveFileName(QWidget* parent, FileDialogRequest& request) {
  QFileDialog dialog(parent);
  ChooseDialogKind(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The overwrite question is asked here, in French, rather than by the dialog.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  PrepareFileDialog(dialog, request);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      request.selectedFilter = dialog.selectedNameFilter();
      return false;
    }
    const QString name = dialog.selectedFiles().constFirst();
    if (request.confirmOverwrite && QFileInfo::exists(name) &&
        !question(&dialog, QString::fromUtf8(messages::kReplaceFileQuestion).arg(QFileInfo(name).fileName()),
                  QuestionButtons::YesNo)) {
      continue;
    }
    request.fileName = name;
    request.selectedFilter = dialog.selectedNameFilter();
    return true;
  }
}

bool QtDialogs::getOpenFileName(QWidget* parent, FileDialogRequest& request) {
  QFileDialog dialog(parent);
  ChooseDialogKind(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // The name typed need not exist: the caller decides what a missing file means.
  dialog.setFileMode(QFileDialog::AnyFile);
  PrepareFileDialog(dialog, request);
  const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  request.selectedFilter = dialog.selectedNameFilter();
  if (chosen) request.fileName = dialog.selectedFiles().constFirst();
  return chosen;
}

bool QtDialogs::verify(QWidget* parent, const VerificationRequest& request) {
  VerificationWindow window(request, parent);
  return window.exec() == QDialog::Accepted;
}

Dialogs& AppDialogs() {
  static QtDialogs platform;
  return g_override ? *g_override : platform;
}

void SetAppDialogs(Dialogs* dialogs) { g_override = dialogs; }

}  // namespace vantrelis
