// The harvest's browser interface over a Qt WebEngine view.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <optional>
#include <vector>

#include "browser/live_wait.h"
#include "browser/real_clock.h"
#include "harvest/browser.h"

class QWebEngineLoadingInfo;
class QWebEngineView;

namespace vantrelis {

class HarvestPage;

// Runs on the GUI thread. It only translates: the engine's events go to its
// NavigationTracker, which decides when a wait is over; every call that
// needs an answer from the page waits for it with the window kept live.
class WebEngineBrowser : public QObject, public Browser {
  Q_OBJECT

 public:
  // Installs a HarvestPage of HarvestProfile() on `view`; every wait lasts at
  // most `waitLimitMs`.
  explicit WebEngineBrowser(QWebEngineView* view, QObject* parent = nullptr,
                            int64_t waitLimitMs = kWaitLimitMilliseconds);
  ~WebEngineBrowser() override;

  // The view the pages are shown in (null once it was destroyed).
  QWebEngineView* view() const;

  // Ends every wait now and makes every later call throw BrowserAborted;
  // for the close of the window, a stop signal and the end of the application.
  void abortWaits();
  // True once abortWaits() ran.
  bool aborted() const { return m_navigation.Aborted(); }
  // A navigation is asked for or in progress.
  bool Busy() const { return m_navigation.Busy(); }
  // 0 never loaded, 1 loading or failed, 4 complete.
  int32_t ReadyState() const { return m_navigation.ReadyState(); }

  NavigationTracker& Navigation() override { return m_navigation; }
  void Navigate(const std::string& url) override;
  void HandleEventsUntil(const std::function<bool()>& done) override;
  std::u16string BodyOuterHtml() override;
  std::vector<std::u16string> LinkInnerHtmls() override;
  void ClickLinks(const std::vector<int32_t>& indices) override;
  std::string CurrentUrl() override;

 signals:
  // A person's click on the page asked for a new window and was refused.
  void newWindowRefused();

 private:
  void onLoadingChanged(const QWebEngineLoadingInfo& info);
  // HandleEventsUntil, also asking `done` again at the clock time `alsoAt`.
  void waitUntil(const std::function<bool()>& done, std::optional<int64_t> alsoAt);
  HarvestPage* livePage() const;
  // Runs `call` of the page script in the page's isolated world and waits
  // for its answer; PageError when none comes within the wait limit or the
  // renderer dies meanwhile.
  QVariant evaluate(const QString& call);
  // A renderer stuck in a script blocks every later page of the browser:
  // one that does not answer at once is ended, and the next load gets a
  // new one.
  void replaceStuckRenderer();
  std::string describeUrl() const;

  QPointer<QWebEngineView> m_view;
  QPointer<HarvestPage> m_page;
  RealClock m_time;
  NavigationTracker m_navigation;
  LiveWait m_wait;
  // Addresses of the loads reported while a click script ran, in order.
  bool m_recordStarts = false;
  std::vector<QUrl> m_startedUrls;
};

}  // namespace vantrelis
