#include "app/main_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <ctime>
#include <optional>
#include <stdexcept>

#include "app/application.h"
#include "app/busy_cursor.h"
#include "app/contact_grid.h"
#include "app/contact_grid_model.h"
#include "app/demo_server.h"
#include "app/glow_button.h"
#include "app/messages.h"
#include "app/navigator_bar.h"
#include "app/pictures.h"
#include "app/splash_screen.h"
#include "app/verification_window.h"
#include "browser/qt_text.h"
#include "store/csv_file.h"
#include "store/journal_recovery.h"
#include "text/link_url.h"

namespace vantrelis {
namespace {

// The answers to the recovery question, in the order of their buttons.
enum class RecoveryAnswer { Recover, Later, Delete };

constexpr int kGroupNumber = 2;
constexpr int kTimer1Interval = 4000;
constexpr const char* kStartPagePath = "/pagesjaunes/index.aspx";

// The designed layout, in pixels. Every region but the browser area keeps
// its height; the browser area takes what is left.
constexpr int kDesignedWidth = 1152;
constexpr int kDesignedHeight = 807;
constexpr int kToolbarHeight = 40;  // Panel4
constexpr QColor kToolbarColour(201, 199, 184);
constexpr int kSplitterHandle = 7;      // Splitter1
constexpr int kGridStartHeight = 131;   // DBGRID1 at start
constexpr int kGridMinimumHeight = 40;  // the splitter never hides the grid
constexpr int kCommandBarHeight = 39;   // Panel8
constexpr int kNavigatorHeight = 25;    // DBAdvNavigator1
constexpr int kStatusBarHeight = 21;    // Panel7
constexpr int kBrowserStartHeight = kDesignedHeight - kToolbarHeight - kCommandBarHeight - kNavigatorHeight -
                                    kStatusBarHeight - kSplitterHandle - kGridStartHeight;
constexpr int kWww2Width = 255;  // along www's right edge

// Controls placed inside their panel.
constexpr QRect kAspirerGeometry(0, 0, 169, 40);
constexpr QRect kPauseGeometry(168, 0, 169, 40);
constexpr QRect kSourceGeometry(352, 8, 89, 25);
constexpr QRect kMemo1Geometry(96, 368, 185, 89);
constexpr QRect kImportGeometry(0, 4, 169, 31);
constexpr QRect kExportGeometry(176, 4, 169, 31);
constexpr QRect kClearGeometry(352, 4, 169, 31);
constexpr QRect kLabel2Geometry(24, 0, 90, kStatusBarHeight);
constexpr QRect kLabel4Geometry(120, 0, 473, kStatusBarHeight);
// The third field of the status bar runs from after Label4 to the right edge.
constexpr int kRunStatusLeft = 600;

QStringList CsvFilters() {
  return {QStringLiteral(".csv (Excel) (*.csv)"), QStringLiteral(".txt (Texte) (*.txt)"),
          QStringLiteral("*.* (Tous) (*)")};
}

QWidget* Panel(const char* name, QWidget* parent, int height, const QColor* colour = nullptr) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QString::fromLatin1(name));
  if (height > 0) panel->setFixedHeight(height);
  if (colour != nullptr) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, *colour);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
  }
  return panel;
}

std::string LocalPath(const QString& name) { return QFile::encodeName(name).toStdString(); }

// What a screen reader says a glow button does: their common tooltip does
// not tell them apart.
QString GlowButtonDescription(const char* objectName) {
  static const struct {
    const char* name;
    const char* description;
  } kDescriptions[] = {
      {"AdvGlowButton5", "Récolter les fiches de la page de résultats affichée et des pages suivantes"},
      {"SpeedButton6", "Arrêter la récolte en cours ; un second clic annule la demande"},
      {"AdvGlowButton1", "Ajouter les lignes d'un fichier CSV"},
      {"AdvGlowButton2", "Exporter la table en CSV ou dans un classeur"},
      {"AdvGlowButton4", "Vider la table des contacts"},
  };
  for (const auto& entry : kDescriptions)
    if (qstrcmp(entry.name, objectName) == 0) return QString::fromUtf8(entry.description);
  return {};
}

}  // namespace

// A field of the status bar that shows as much of its text as fits, cut
// with "…", and the whole text in its tooltip.
class StatusField : public QLabel {
 public:
  explicit StatusField(QWidget* parent) : QLabel(parent) {
    // However long its text, it never widens the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
  }
  const QString& wholeText() const { return m_text; }
  void setWholeText(const QString& text) {
    m_text = text;
    setToolTip(text);
    fit();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    fit();
  }

 private:
  void fit() { setText(fontMetrics().elidedText(m_text, Qt::ElideRight, contentsRect().width())); }
  QString m_text;
};

TForm1::TForm1(HarvestSession& session, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), m_session(session), m_arguments(arguments), m_unsaved(session.table()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Vantrelis"));
  // A journal that cannot be written is told once the window is up, and
  // the table goes on without it: a journal folder refused as unsafe holds
  // for the whole session, and is said under the status bar.
  connect(&m_session, &HarvestSession::journalFailed, this, [this](const QString& message) {
    if (m_session.journal().FolderRefused()) {
      showSessionNotice(ErrorReportText(message));
    } else {
      AppDialogs().warning(this, ErrorReportText(message));
    }
  });
  setWindowIcon(ApplicationIcon());
  // The designed size, centred on the screen for when the window is restored.
  resize(kDesignedWidth, kDesignedHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - kDesignedWidth) / 2,
         area.top() + (area.height() - kDesignedHeight) / 2);
  }

  m_saveDialog2.objectName = QStringLiteral("SaveDialog2");
  m_saveDialog2.title = QStringLiteral("Sauve projet prospection");
  m_saveDialog2.filters = CsvFilters();
  m_saveDialog2.selectedFilter = m_saveDialog2.filters.constFirst();
  m_saveDialog2.defaultSuffix = QStringLiteral("csv");
  m_saveDialog2.confirmOverwrite = true;
  m_openDialog2.objectName = QStringLiteral("OpenDialog2");
  m_openDialog2.filters = CsvFilters();
  m_openDialog2.selectedFilter = m_openDialog2.filters.constFirst();
  m_openDialog2.defaultSuffix = QStringLiteral("csv");

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Panel1 (toolbar and browsers) over the grid, with the splitter between.
  m_splitter = new QSplitter(Qt::Vertical, central);
  m_splitter->setObjectName(QStringLiteral("Splitter1"));
  m_splitter->setHandleWidth(kSplitterHandle);
  m_splitter->setChildrenCollapsible(false);
  auto* panel1 = Panel("Panel1", m_splitter, 0);
  auto* panel1Layout = new QVBoxLayout(panel1);
  panel1Layout->setContentsMargins(0, 0, 0, 0);
  panel1Layout->setSpacing(0);
  panel1Layout->addWidget(buildToolbar());
  panel1Layout->addWidget(buildBrowserArea(), 1);
  m_splitter->addWidget(panel1);

  m_model = new ContactGridModel(m_session.table(), this);
  // The model tells of a failed edit; the window reports it.
  connect(m_model, &ContactGridModel::editFailed, this, &ShowErrorReport);
  m_grid = new ContactGrid(m_model, m_splitter);
  m_grid->setMinimumHeight(kGridMinimumHeight);
  m_splitter->addWidget(m_grid);
  m_splitter->setStretchFactor(0, 1);
  m_splitter->setStretchFactor(1, 0);
  m_splitter->setSizes({kBrowserStartHeight, kGridStartHeight});
  column->addWidget(m_splitter, 1);

  column->addWidget(buildCommandBar());
  m_navigator = new NavigatorBar(m_model, central);
  column->addWidget(m_navigator);
  connect(m_navigator, &NavigatorBar::refreshRequested, m_grid->viewport(), qOverload<>(&QWidget::update));
  column->addWidget(buildStatusBar());
  setCentralWidget(central);

  m_popupMenu3 = new QMenu(this);
  m_popupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
  QAction* csv = m_popupMenu3->addAction(QStringLiteral("Exporter données au format CSV"));
  csv->setObjectName(QStringLiteral("ExporterdonnesauformatCSV1"));
  connect(csv, &QAction::triggered, this, Guarded(this, &TForm1::ExporterdonnesauformatCSV1Click));
  QAction* excel = m_popupMenu3->addAction(QStringLiteral("Exporter données EXCEL"));
  excel->setObjectName(QStringLiteral("ExporterdonnesEXCEL1"));
  connect(excel, &QAction::triggered, this, Guarded(this, &TForm1::ExporterdonnesEXCEL1Click));

  m_timer1 = new QTimer(this);
  m_timer1->setObjectName(QStringLiteral("Timer1"));
  m_timer1->setInterval(kTimer1Interval);
  connect(m_timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
  m_timer1->start();

  m_splash = new SplashScreen(this);
}

// The widgets go with the window; the session they observe and drive
// outlives them, and its run no longer tells this window where it stands.
TForm1::~TForm1() {
  if (m_rig != nullptr) m_rig->run().SetListener({});
}

GlowButton* TForm1::addGlowButton(QWidget* parent, const char* name, const QString& caption, int picture,
                                  const QRect& geometry, void (TForm1::*handler)()) {
  auto* button = new GlowButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(caption);
  button->setAccessibleDescription(GlowButtonDescription(name));
  button->setGroupIndex(kGroupNumber);
  button->setIcon(ButtonIcon(static_cast<ButtonPicture>(picture)));
  button->setGeometry(geometry);
  connect(button, &GlowButton::activated, this, handler);
  return button;
}

QWidget* TForm1::buildToolbar() {
  QWidget* panel4 = Panel("Panel4", nullptr, kToolbarHeight, &kToolbarColour);
  addGlowButton(panel4, "AdvGlowButton5", QStringLiteral("Aspirer"), static_cast<int>(ButtonPicture::Harvest),
                kAspirerGeometry, &TForm1::Button1Click);
  m_pauseButton =
      addGlowButton(panel4, "SpeedButton6", QStringLiteral("Pause"), static_cast<int>(ButtonPicture::Pause),
                    kPauseGeometry, &TForm1::SpeedButton3Click);
  m_sourceButton = new QPushButton(QStringLiteral("Source"), panel4);
  m_sourceButton->setObjectName(QStringLiteral("BoutonCodeSOurce"));
  m_sourceButton->setGeometry(kSourceGeometry);
  m_sourceButton->hide();
  connect(m_sourceButton, &QPushButton::clicked, this, Guarded(this, &TForm1::BoutonCodeSOurceClick));
  return panel4;
}

QWidget* TForm1::buildBrowserArea() {
  QWidget* panel2 = Panel("Panel2", nullptr, 0);
  auto* row = new QHBoxLayout(panel2);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  m_www = new QWebEngineView(panel2);
  m_www->setObjectName(QStringLiteral("www"));
  m_www2 = new QWebEngineView(panel2);
  m_www2->setObjectName(QStringLiteral("www2"));
  m_www2->setFixedWidth(kWww2Width);
  row->addWidget(m_www, 1);
  row->addWidget(m_www2);
  m_rig = &m_session.attachBrowsers(m_www, m_www2);
  connect(&m_rig->www(), &WebEngineBrowser::newWindowRefused, this, &TForm1::wwwNewWindow2);
  connect(&m_rig->www2(), &WebEngineBrowser::newWindowRefused, this, &TForm1::www2NewWindow2);
  m_rig->run().SetListener([this](const HarvestProgress& progress) { showRunProgress(progress); });

  // The debug view's text box lies over www.
  m_memo1 = new QPlainTextEdit(QStringLiteral("Memo1"), panel2);
  m_memo1->setObjectName(QStringLiteral("Memo1"));
  m_memo1->setGeometry(kMemo1Geometry);
  m_memo1->hide();
  return panel2;
}

QWidget* TForm1::buildCommandBar() {
  QWidget* panel8 = Panel("Panel8", nullptr, kCommandBarHeight);
  addGlowButton(panel8, "AdvGlowButton1", QStringLiteral("Importer base de données"),
                static_cast<int>(ButtonPicture::Import), kImportGeometry, &TForm1::Button6Click);
  addGlowButton(panel8, "AdvGlowButton2", QStringLiteral("Exporter base de données"),
                static_cast<int>(ButtonPicture::Export), kExportGeometry, &TForm1::Button4Click);
  addGlowButton(panel8, "AdvGlowButton4", QStringLiteral("Effacer toutes les données"),
                static_cast<int>(ButtonPicture::Clear), kClearGeometry, &TForm1::Buttontest);
  return panel8;
}

QWidget* TForm1::buildStatusBar() {
  QWidget* panel7 = Panel("Panel7", nullptr, kStatusBarHeight);
  auto* label2 = new QLabel(QStringLiteral("Status: OK"), panel7);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->setGeometry(kLabel2Geometry);
  m_label4 = new QLabel(QStringLiteral("Enregistrements:0"), panel7);
  m_label4->setObjectName(QStringLiteral("Label4"));
  m_label4->setGeometry(kLabel4Geometry);
  // Label2 and Label4 keep their places; the third field takes the rest.
  m_runStatus = new StatusField(panel7);
  m_runStatus->setObjectName(QStringLiteral("RunStatus"));
  auto* row = new QHBoxLayout(panel7);
  row->setContentsMargins(kRunStatusLeft, 0, 0, 0);
  row->addWidget(m_runStatus);
  return panel7;
}

QString TForm1::runStatus() const { return m_runStatus->wholeText(); }

void TForm1::showSessionNotice(const QString& text) {
  auto* notice = new QLabel(text);
  notice->setObjectName(QStringLiteral("SessionNotice"));
  notice->setTextFormat(Qt::PlainText);
  // A long notice takes two lines rather than widening the window.
  notice->setWordWrap(true);
  statusBar()->addWidget(notice, 1);
}

void TForm1::showRunProgress(const HarvestProgress& progress) {
  if (progress.step == HarvestProgress::Step::SiteWait) {
    m_runStatus->setWholeText(QString::fromStdString(SiteWaitText(progress, std::time(nullptr))));
    return;
  }
  m_runStatus->setWholeText(QString::fromStdString(progress.StatusText()));
}

GlowButton* TForm1::glowButton(const char* objectName) const {
  return findChild<GlowButton*>(QString::fromLatin1(objectName));
}

void TForm1::Create() {
  m_splash->Show();
  RunGuarded([this] { FormCreate(); });
  // The question comes once the window is up: after the splash is gone.
  if (QWidget* splash = m_splash->window()) {
    connect(splash, &QObject::destroyed, this,
            [this] { QTimer::singleShot(0, this, &TForm1::offerRecovery); });
  } else {
    QTimer::singleShot(0, this, &TForm1::offerRecovery);
  }
}

void TForm1::offerRecovery() {
  if (m_recoveryOffered) return;
  m_recoveryOffered = true;
  RunGuarded([this] {
    std::optional<BusyCursor> reading(std::in_place);
    JournalRecovery recovery(JournalFolder());
    reading.reset();
    for (const std::string& notice : recovery.Notices())
      AppDialogs().warning(this, ErrorReportText(QString::fromStdString(notice)));
    if (recovery.JournalCount() == 0) return;
    const int32_t rows = recovery.RowCount();
    if (rows == 0) {
      recovery.RemoveJournals();  // nothing in them to give back
      return;
    }
    const QString text = QString::fromUtf8(messages::kRecoveryQuestion)
                             .arg(QString::number(rows), rows > 1 ? QStringLiteral("s") : QString());
    QStringList answers;
    for (const char* answer : messages::kRecoveryAnswers) answers << QString::fromUtf8(answer);
    const int32_t sessions = recovery.JournalCount();
    const QString deleteText =
        QString::fromUtf8(messages::kRecoveryDeleteQuestion)
            .arg(rows > 1 ? QStringLiteral("les %1 contacts").arg(rows) : QStringLiteral("le contact"),
                 sessions > 1 ? QStringLiteral("des %1 sessions interrompues").arg(sessions)
                              : QStringLiteral("de la session interrompue"));
    for (;;) {
      // Escape and the close button leave everything for later.
      const auto answer = static_cast<RecoveryAnswer>(
          AppDialogs().choose(this, text, answers, static_cast<int>(RecoveryAnswer::Recover),
                              static_cast<int>(RecoveryAnswer::Later)));
      if (answer == RecoveryAnswer::Recover) break;
      if (answer == RecoveryAnswer::Delete) {
        if (!AppDialogs().question(this, deleteText, QuestionButtons::YesNo)) continue;
        recovery.RemoveJournals();
      }
      // Later: the journals stay, unlocked, for the next start.
      return;
    }
    // Where an interrupted harvest stood, read before its journal is taken.
    const std::string resumePage = recovery.ResumePage();
    const bool reopens = resumePage.empty() || recovery.ResumePageReopens();
    const BusyCursor loading;
    // A load: its end counts as one change of the table (UnsavedChanges).
    m_model->rebuildAround([&] { recovery.AddRowsTo(m_session.table(), &m_session.journal()); });
    // Their rows now live in this session's journal; without one, the old
    // journals stay as the only copy on disk.
    if (m_session.journal().Writing()) recovery.RemoveJournals();
    if (resumePage.empty()) return;
    // FormCreate opened the start page: the result page the harvest was on
    // takes its place, and "Aspirer" there passes over the rows taken back.
    m_rig->driver().Navigate(m_rig->www(), resumePage);
    m_runStatus->setWholeText(
        QString::fromUtf8(reopens ? messages::kResumeStatus : messages::kResumeElsewhereStatus));
  });
}

void TForm1::FormCreate() {
  // The debug view is chosen from the first argument, whatever happens to
  // the start page.
  m_debugView = m_arguments.size() > 1 && m_arguments.at(1) == QStringLiteral("debug");
  m_sourceButton->setVisible(m_debugView);
  m_memo1->setVisible(m_debugView);
  if (m_debugView) m_memo1->raise();

  QString base = qEnvironmentVariable("VANTRELIS_DIRECTORY");
  while (base.endsWith(QLatin1Char('/'))) base.chop(1);
  if (!base.isEmpty()) {
    m_startPage = QUrl(base + QLatin1String(kStartPagePath));
  } else {
    if (m_demoServer == nullptr) {
      m_demoServer = new DemoServer(QStringLiteral(":/demo"), this);
      if (!m_demoServer->start()) {
        delete m_demoServer;
        m_demoServer = nullptr;
        throw std::runtime_error(messages::kDemoDirectoryFailed);
      }
    }
    m_startPage = m_demoServer->url(QLatin1String(kStartPagePath));
  }
  m_rig->driver().Navigate(m_rig->www(), m_startPage.toString(QUrl::FullyEncoded).toStdString());
}

void TForm1::Button1Click() {
  HarvestRun& run = m_rig->run();
  // A click inside a running harvest's wait starts nothing (and reports nothing).
  if (run.Active()) return;
  // What the field said before the run (a recovery's word) is done with.
  m_runStatus->setWholeText({});
  for (;;) {
    // A failed run is reported here: the notice of skipped listings follows.
    RunGuarded([&run] { run.Button1Click(); });
    m_runStatus->setWholeText({});
    // The window closing ended the run: nobody is left to read a notice.
    if (m_closed) return;
    if (!run.Report().block) break;
    // The site stopped the run: the user deals with its page in the
    // verification window, then resumes it or leaves it stopped (the rows
    // stay, and "Aspirer" resumes it later).
    const RunBlock block = *run.Report().block;
    if (!AppDialogs().verify(this, VerificationRequestFor(block)) || m_closed) return;
    RunGuarded([this, &block] {
      // A result page refused: www still shows the refusal, and loads the page again.
      if (SameAddress(block.url, m_rig->www().CurrentUrl()))
        m_rig->driver().Navigate(m_rig->www(), block.url);
    });
    // "Reprendre": the listings already in the table are passed over.
  }
  const std::string summary = RunSummary(run.Report());
  if (!summary.empty()) AppDialogs().information(this, QString::fromStdString(summary));
}

void TForm1::SpeedButton3Click() { m_rig->run().SpeedButton3Click(m_pauseButton->isStateDown()); }

void TForm1::Button6Click() {
  if (!AppDialogs().getOpenFileName(this, m_openDialog2)) return;
  const QFileInfo file(m_openDialog2.fileName);
  if (!file.exists() || file.isDir()) return;
  const BusyCursor loading;
  LoadCsvFile(m_session.table(), LocalPath(m_openDialog2.fileName));
}

void TForm1::Button4Click() { m_popupMenu3->exec(QCursor::pos()); }

void TForm1::Buttontest() {
  if (!AppDialogs().question(this, QString::fromUtf8(messages::kClearAllQuestion), QuestionButtons::YesNo))
    return;
  m_session.table().ClearRows();
  // Emptied on purpose: nothing is left to lose.
  m_unsaved.markSaved();
  m_grid->viewport()->repaint();
}

void TForm1::BoutonCodeSOurceClick() {
  // A browser that was never sent anywhere has no document to wait for.
  if (m_rig->www2().CurrentUrl().empty()) {
    m_memo1->setPlainText(QString());
  } else {
    m_memo1->setPlainText(Windows1252ToQString(m_rig->driver().DocumentHtml(m_rig->www2())));
  }
  m_rig->run().RequestStop();
}

void TForm1::ExporterdonnesauformatCSV1Click() {
  if (!AppDialogs().question(this, QString::fromUtf8(messages::kExportCsvQuestion), QuestionButtons::YesNo))
    return;
  if (!AppDialogs().getSaveFileName(this, m_saveDialog2)) return;
  const BusyCursor saving;
  SaveCsvFile(m_session.table(), LocalPath(m_saveDialog2.fileName));
  m_unsaved.markSaved();
}

void TForm1::ExporterdonnesEXCEL1Click() {
  // A workbook that nothing could open is reported as a failure: the table
  // stays unsaved, and closing still asks.
  exportWorkbookAndOpen(m_session.table(), m_workbookOpener, m_workbookFolder);
  m_unsaved.markSaved();
}

void TForm1::Timer1Timer() {
  try {
    m_label4->setText(QStringLiteral("Enr:") + QString::number(m_session.table().CommittedRowCount()));
  } catch (...) {
    // A failed count leaves the label as it was.
  }
}

void TForm1::FormClose() {
  if (m_closed) return;
  m_closed = true;
  // A run waiting for a page or pausing ends now instead of after its wait.
  m_rig->abortWaits();
  m_timer1->stop();
}

bool TForm1::closeConfirmed() {
  // A cell edit in progress is part of what would be lost.
  RunGuarded([this] { m_grid->flushEdit(); });
  if (!m_unsaved.changed()) return true;
  const int32_t contacts = m_unsaved.contactCount();
  if (contacts == 0) return true;
  const QString text = contacts == 1 ? QString::fromUtf8(messages::kUnsavedCloseQuestionOne)
                                     : QString::fromUtf8(messages::kUnsavedCloseQuestion).arg(contacts);
  return AppDialogs().question(this, text, QuestionButtons::YesNo);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The question comes before anything stops: a run goes on after "Non".
  if (!m_closed && !closeConfirmed()) {
    event->ignore();
    return;
  }
  RunGuarded([this] { FormClose(); });
  event->accept();
}

void TForm1::wwwNewWindow2() {
  // The page's request for a new window was already refused; nothing opens.
}

void TForm1::www2NewWindow2() {}

}  // namespace vantrelis
