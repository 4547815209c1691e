// The harvest's browser interface over a Qt WebEngine view.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <vector>

#include "harvest/browser.h"

class QEventLoop;
class QWebEngineLoadingInfo;
class QWebEngineView;
class HarvestPage;

// Runs on the GUI thread. Every call that needs an answer from the page waits
// for it in a local event loop, so window events go on being handled.
class WebEngineBrowser : public QObject, public vantrelis::Browser {
  Q_OBJECT

 public:
  // Installs a HarvestPage of HarvestProfile() on `view`.
  explicit WebEngineBrowser(QWebEngineView* view, QObject* parent = nullptr);
  ~WebEngineBrowser() override;

  // The view the pages are shown in (null once it was destroyed).
  QWebEngineView* view() const;

  // Ends every wait now and makes every later call throw BrowserAborted;
  // for the close of the window and the end of the application.
  void abortWaits();
  // True once abortWaits() ran.
  bool aborted() const { return m_aborted; }

  void Navigate(const std::string& url) override;
  bool Busy() override;
  int32_t ReadyState() override;
  std::u16string BodyOuterHtml() override;
  std::vector<std::u16string> LinkInnerHtmls() override;
  void ClickLinks(const std::vector<int32_t>& indices) override;
  std::string CurrentUrl() override;
  void ProcessPendingMessages() override;

 signals:
  // The page asked for a new window and was refused.
  void newWindowRefused();

 private:
  void onLoadingChanged(const QWebEngineLoadingInfo& info);
  void expectNavigation(const QUrl& target);
  void throwIfAborted() const;
  HarvestPage* livePage() const;
  // Runs `script` in the page's isolated world and waits for its answer;
  // an invalid QVariant when none came within `timeoutMs`.
  QVariant evaluate(const QString& script, int timeoutMs, bool* timedOut = nullptr);

  QPointer<QWebEngineView> m_view;
  QPointer<HarvestPage> m_page;
  bool m_aborted = false;
  // A navigation was asked for and Chromium has not reported its start yet.
  bool m_awaitingStart = false;
  QUrl m_expectedUrl;
  bool m_sawAnyStart = false;
  // The awaited load may not come at all (see kPossibleLoadLimitMs).
  bool m_possibleLoadOnly = false;
  QElapsedTimer m_possibleLoadClock;
  // Addresses of the loads reported while a click script ran, in order.
  bool m_recordStarts = false;
  std::vector<QUrl> m_startedUrls;
  QElapsedTimer m_sinceRequest;
  bool m_everLoaded = false;
  bool m_rendererGone = false;
  // Loops waiting for a script's answer; a dead renderer ends them.
  std::vector<QEventLoop*> m_waits;
  // Loops of ProcessPendingMessages; only the end of the browser ends them.
  std::vector<QEventLoop*> m_idleWaits;
};
