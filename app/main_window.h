// The main window: two browsers, the contact grid and its navigator, the
// harvest and file commands, the record count and the debug view.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QUrl>

#include "app/dialogs.h"
#include "app/harvest_session.h"
#include "app/unsaved_changes.h"
#include "app/workbook_opener.h"
#include "harvest/browser_driver.h"
#include "store/contact_table.h"

class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTimer;
class QWebEngineView;

namespace vantrelis {

class DemoServer;
class WebEngineBrowser;
class ContactGrid;
class ContactGridModel;
class GlowButton;
class NavigatorBar;
class SplashScreen;
class StatusField;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // The window of `session`, which must outlive it: the window installs
  // the session's browsers on its views. `arguments` are the program's (the
  // first one is the program itself).
  TForm1(HarvestSession& session, const QStringList& arguments, QWidget* parent = nullptr);
  ~TForm1() override;

  // The creation event: shows the splash, then runs FormCreate (its error
  // is reported and start-up goes on); once the splash is gone, offers the
  // rows of interrupted sessions.
  void Create();

  ContactTable& table() { return m_session.table(); }
  // The journal of this window's table (see SessionJournal).
  SessionJournal* journal() const { return &m_session.journal(); }
  ContactGrid* grid() const { return m_grid; }
  NavigatorBar* navigator() const { return m_navigator; }
  GlowButton* glowButton(const char* objectName) const;
  QWebEngineView* www() const { return m_www; }
  QWebEngineView* www2() const { return m_www2; }
  WebEngineBrowser* wwwBrowser() const { return &m_rig->www(); }
  WebEngineBrowser* www2Browser() const { return &m_rig->www2(); }
  HarvestRun* harvestRun() const { return &m_rig->run(); }
  SplashScreen* splash() const { return m_splash; }
  QMenu* exportMenu() const { return m_popupMenu3; }
  bool debugView() const { return m_debugView; }
  // Where "Exporter données EXCEL" writes its workbook and what opens it
  // (defaults: the temporary folder, the desktop's program).
  void setWorkbookTarget(UrlOpener opener, QString folder) {
    m_workbookOpener = std::move(opener);
    m_workbookFolder = std::move(folder);
  }
  // The start page opened by FormCreate (empty before).
  QUrl startPage() const { return m_startPage; }
  // What of the table no export has saved yet.
  const UnsavedChanges& unsavedChanges() const { return m_unsaved; }
  // The status bar's third field, whole (the field shows what fits of it):
  // where a running harvest stands, else what "Aspirer" would do next.
  QString runStatus() const;
  // Adds a notice that holds for the whole session (a private browser
  // profile, a journal folder refused) under the window's status bar.
  void showSessionNotice(const QString& text);

 public slots:
  // "Aspirer": starts a harvest run (returns when it ends), the status bar
  // telling where it stands. A run the site stopped shows the verification
  // window, whose "Reprendre" runs again from the page www shows; otherwise
  // one notice tells of the listings skipped or passed over, if any.
  void Button1Click();
  // "Pause": a stop is requested while the button is down.
  void SpeedButton3Click();
  // "Importer base de données": adds the rows of a CSV file the user picks.
  void Button6Click();
  // "Exporter base de données": the export menu at the mouse pointer.
  void Button4Click();
  // "Effacer toutes les données": empties the table after a confirmation.
  void Buttontest();
  // "Source" (debug view): shows www2's HTML and requests a stop.
  void BoutonCodeSOurceClick();
  // Writes the committed rows to a CSV file the user names.
  void ExporterdonnesauformatCSV1Click();
  // Opens the table as a new spreadsheet workbook.
  void ExporterdonnesEXCEL1Click();
  // Shows the count of committed rows; a failure leaves the label as it was.
  void Timer1Timer();
  // Opens the directory's start page in www and reads the debug switch.
  void FormCreate();
  // Requests the stop of a run and ends every wait and pause at once.
  void FormClose();
  // Asks once whether to take back the rows of sessions that did not end
  // normally: "Récupérer" adds them to the table (and when one of them was
  // harvesting, www opens its result page and the status bar says that
  // "Aspirer" goes on with it), "Plus tard" leaves their
  // journals for the next start, "Supprimer" removes the journals once a
  // second question confirms it (its "Non" asks the first one again).
  void offerRecovery();
  // A page's new window was refused; nothing opens.
  void wwwNewWindow2();
  void www2NewWindow2();

 protected:
  // Asks first when the table holds changes no export has saved; "Non"
  // leaves the window open and a running harvest going.
  void closeEvent(QCloseEvent* event) override;

 private:
  // True when the window may close: nothing unsaved, or the user agrees.
  bool closeConfirmed();
  QWidget* buildToolbar();
  // The two views, with the session's browsers installed on them.
  QWidget* buildBrowserArea();
  QWidget* buildCommandBar();
  QWidget* buildStatusBar();
  GlowButton* addGlowButton(QWidget* parent, const char* name, const QString& caption, int picture,
                            const QRect& geometry, void (TForm1::*handler)());
  // The status bar's third field shows `progress` (a run's step or wait).
  void showRunProgress(const HarvestProgress& progress);

  HarvestSession& m_session;
  HarvestRig* m_rig = nullptr;  // the session's, made on this window's views
  const QStringList m_arguments;
  UnsavedChanges m_unsaved;
  bool m_debugView = false;
  bool m_closed = false;
  bool m_recoveryOffered = false;

  ContactGridModel* m_model = nullptr;
  ContactGrid* m_grid = nullptr;
  NavigatorBar* m_navigator = nullptr;
  QSplitter* m_splitter = nullptr;
  QWebEngineView* m_www = nullptr;
  QWebEngineView* m_www2 = nullptr;
  QPlainTextEdit* m_memo1 = nullptr;
  QPushButton* m_sourceButton = nullptr;
  GlowButton* m_pauseButton = nullptr;
  QLabel* m_label4 = nullptr;
  StatusField* m_runStatus = nullptr;  // the status bar's third field
  QMenu* m_popupMenu3 = nullptr;
  QTimer* m_timer1 = nullptr;
  SplashScreen* m_splash = nullptr;
  DemoServer* m_demoServer = nullptr;
  QUrl m_startPage;

  UrlOpener m_workbookOpener;
  QString m_workbookFolder;
  FileDialogRequest m_saveDialog2;
  FileDialogRequest m_openDialog2;
};

}  // namespace vantrelis
