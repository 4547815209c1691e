// What a harvest works with, owned apart from the window that shows it: the
// contact table with its journal, the two browsers, the clock, the driver
// and the run. Made before the window and destroyed after it, so that every
// widget that observes the table or drives a browser goes first.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "browser/real_clock.h"
#include "browser/webengine_browser.h"
#include "harvest/browser_driver.h"
#include "harvest/harvest_run.h"
#include "store/contact_table.h"
#include "store/session_journal.h"

class QWebEngineView;

namespace vantrelis {

// A harvest into one table: www and www2 on two given views, the clock they
// pause on, the driver and the run. The views may go first (their page goes
// with them); every later browser call then throws BrowserAborted.
class HarvestRig {
 public:
  // Installs the harvest's pages on `wwwView` and `www2View`; `table` and
  // `journal` (which makes each harvested row durable before the next
  // listing is loaded, when given) must outlive this object. Throws
  // BrowserError when a view is missing or the page script cannot be read.
  HarvestRig(ContactTable& table, SessionJournal* journal, QWebEngineView* wwwView, QWebEngineView* www2View);
  // The run goes before the browsers and the clock it uses.
  ~HarvestRig();
  HarvestRig(const HarvestRig&) = delete;
  HarvestRig& operator=(const HarvestRig&) = delete;

  WebEngineBrowser& www() { return m_www; }
  WebEngineBrowser& www2() { return m_www2; }
  RealClock& clock() { return m_clock; }
  BrowserDriver& driver() { return m_driver; }
  HarvestRun& run() { return m_run; }

  // Requests the run's stop and ends its wait or pause now: every wait and
  // pause from here on throws BrowserAborted (the window closes, a stop
  // signal came).
  void abortWaits();

 private:
  RealClock m_clock;
  BrowserDriver m_driver;
  WebEngineBrowser m_www;
  WebEngineBrowser m_www2;
  HarvestRun m_run;
};

// The window's session: a contact table of its own with its journal, and
// the harvest into that table once the window has its browser views.
class HarvestSession : public QObject {
  Q_OBJECT
 public:
  // Starts the table's journal in `journalFolder`; a journal that cannot be
  // created is told by journalFailed, and the table goes on without it.
  explicit HarvestSession(const std::string& journalFolder = JournalFolder(), QObject* parent = nullptr);
  // The session ends normally: the harvest goes, then the journal is
  // removed and the table discarded.
  ~HarvestSession() override;

  ContactTable& table() { return m_table; }
  SessionJournal& journal() { return m_journal; }

  // Makes the harvest on the window's two views (see HarvestRig), once;
  // each harvested row is durable before the next listing is loaded.
  // Throws std::logic_error when the session already has its browsers.
  HarvestRig& attachBrowsers(QWebEngineView* wwwView, QWebEngineView* www2View);
  // The harvest made by attachBrowsers, else null.
  HarvestRig* rig() const { return m_rig.get(); }

 signals:
  // The journal could not be created or written (French, told once, from the
  // event loop: a window made after the session hears it too).
  void journalFailed(const QString& message);

 private:
  ContactTable m_table;  // KADaoTable1
  SessionJournal m_journal;
  std::unique_ptr<HarvestRig> m_rig;
};

}  // namespace vantrelis
