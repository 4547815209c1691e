// The one seam through which the window asks questions, shows notices and
// file dialogs; tests install an automatic answerer in place of the real one.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <Qt>

class QWidget;

namespace vantrelis {

// What a file dialog opens with and, after a choice, what it holds.
struct FileDialogRequest {
  QString objectName;      // the dialog's component name
  QString title;           // empty: the platform's own title
  QStringList filters;     // "description (*.ext)" entries
  QString selectedFilter;  // in/out: the filter shown
  QString defaultSuffix;   // appended to a name typed without one
  QString fileName;        // in/out: the name shown at opening, then the one chosen
  bool confirmOverwrite = false;
};

enum class QuestionButtons { YesNo, OkCancel };

// What the verification window shows when a site stopped a harvest: the
// page that stopped it, and what happened and what to do (French).
struct VerificationRequest {
  QUrl page;
  QString text;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A Confirmation box; true when the answer lets the action go ahead (Yes or OK).
  virtual bool question(QWidget* parent, const QString& text, QuestionButtons buttons) = 0;
  // A Confirmation box with one button per answer (French captions, `answers`
  // in order); returns the index of the answer given. `defaultAnswer` is the
  // one Enter gives, `escapeAnswer` the one Escape or the close button give.
  virtual int choose(QWidget* parent, const QString& text, const QStringList& answers, int defaultAnswer,
                     int escapeAnswer) = 0;
  virtual void information(QWidget* parent, const QString& text) = 0;
  virtual void warning(QWidget* parent, const QString& text) = 0;
  virtual void error(QWidget* parent, const QString& text) = 0;
  // The application's error report: error icon, one OK, the given caption.
  virtual void errorReport(QWidget* parent, const QString& caption, const QString& text) = 0;
  // True when the user chose a file; the request then holds its name.
  virtual bool getSaveFileName(QWidget* parent, FileDialogRequest& request) = 0;
  virtual bool getOpenFileName(QWidget* parent, FileDialogRequest& request) = 0;
  // The verification window (see VerificationWindow) on the request's page;
  // true when the user chose "Reprendre", false for "Arrêter" or a close.
  virtual bool verify(QWidget* parent, const VerificationRequest& request) = 0;
};

// The window flags of every message box: a title bar with the close button
// only (no minimize, no maximize), at a fixed size.
Qt::WindowFlags MessageBoxFlags();

// The message boxes, and the file dialogs: Qt's own (French) unless the
// system's language is French (see UseNativeFileDialogs).
class QtDialogs : public Dialogs {
 public:
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
};

// The dialogs in use (the platform's unless replaced).
Dialogs& AppDialogs();
// Replaces the dialogs in use; nullptr restores the platform's. Not owned.
void SetAppDialogs(Dialogs* dialogs);

}  // namespace vantrelis
