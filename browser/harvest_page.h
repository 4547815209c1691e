// A web page that never opens a window and never waits for a person:
// new windows, dialogs, log-in and certificate prompts are all declined.
#pragma once

#include <QWebEnginePage>

class HarvestPage : public QWebEnginePage {
  Q_OBJECT

 public:
  explicit HarvestPage(QWebEngineProfile* profile, QObject* parent = nullptr);

 signals:
  // The page asked for a new window or tab (link target, window.open) and
  // was refused; the page itself stays where it is.
  void newWindowRefused();

 protected:
  QWebEnginePage* createWindow(WebWindowType type) override;
  QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                          const QStringList& acceptedMimeTypes) override;
  void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                        const QString& defaultValue, QString* result) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int lineNumber, const QString& sourceID) override;
};
