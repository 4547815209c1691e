// Automatic answers for every message box and file dialog of the window,
// installed in place of the platform's for the life of the object.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

#include "app/dialogs.h"

namespace vantrelis {
class VerificationWindow;
}

namespace vantrelis::test_support {

class AutoDialogs : public Dialogs {
 public:
  AutoDialogs();
  ~AutoDialogs() override;

  // Answers given in turn to questions; an empty queue answers no/cancel.
  std::deque<bool> answers;
  // Answers given in turn to choices, as indexes; an empty queue gives the
  // Escape answer.
  std::deque<int> choices;
  // File names given in turn to file dialogs; an empty string cancels.
  std::deque<QString> fileNames;
  // Answers given in turn to verification windows ("Reprendre" when true);
  // an empty queue answers "Arrêter".
  std::deque<bool> verifications;
  // When set, a verification window is really shown (modal, with its page)
  // and this is called from its event loop, once, to act on it; a window it
  // leaves open is then closed as "Arrêter".
  std::function<void(VerificationWindow&)> onVerification;

  // What was shown, in order: "question:<text> [Oui/Non]", "choice:<text>
  // [Récupérer/Plus tard/Supprimer]", "error:<text>", "verification:<page>
  // <text>", ...
  QStringList shown;
  // The last file dialog's request as it was when the dialog opened.
  FileDialogRequest lastSaveRequest;
  FileDialogRequest lastOpenRequest;
  QString lastReportCaption;
  QString lastReportText;
  int reports = 0;

  bool question(QWidget* parent, const QString& text, QuestionButtons buttons) override;
  int choose(QWidget* parent, const QString& text, const QStringList& answers, int defaultAnswer,
             int escapeAnswer) override;
  void information(QWidget* parent, const QString& text) override;
  void warning(QWidget* parent, const QString& text) override;
  void error(QWidget* parent, const QString& text) override;
  void errorReport(QWidget* parent, const QString& caption, const QString& text) override;
  bool getSaveFileName(QWidget* parent, FileDialogRequest& request) override;
  bool getOpenFileName(QWidget* parent, FileDialogRequest& request) override;
  bool verify(QWidget* parent, const VerificationRequest& request) override;

 private:
  bool nextFile(FileDialogRequest& request);
};

// From now on, while no AutoDialogs is installed, any message box or file
// dialog fails the running test at once, naming what it would have shown,
// instead of waiting for a click that never comes.
void FailOnUnexpectedDialogs();

}  // namespace vantrelis::test_support
