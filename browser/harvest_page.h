// A web page that never opens a window and never waits for a person:
// new windows, dialogs, log-in and certificate prompts are all declined,
// and the page itself can take the browser to http and https addresses only.
#pragma once

#include <QWebEnginePage>

namespace vantrelis {

class HarvestPage : public QWebEnginePage {
  Q_OBJECT

 public:
  explicit HarvestPage(QWebEngineProfile* profile, QObject* parent = nullptr);

  // The profile refused a download that this page's navigation to `url`
  // turned into: tells downloadRefused.
  void noteRefusedDownload(const QUrl& url);

 signals:
  // A person's click asked for a new window or tab (link target,
  // window.open) and was refused; the page itself stays where it is. What a
  // script asks for without a click is refused by the engine before it
  // gets here (see HarvestProfile()).
  void newWindowRefused();
  // The page, a link or a redirect asked for `url`, which is not an http or
  // https address; nothing was loaded.
  void navigationRefused(const QUrl& url);
  // A navigation to `url` answered with a file to download, which was refused.
  void downloadRefused(const QUrl& url);

 protected:
  QWebEnginePage* createWindow(WebWindowType type) override;
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                          const QStringList& acceptedMimeTypes) override;
  void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                        QString* result) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                const QString& sourceID) override;
};

}  // namespace vantrelis
