// The main window without a harvest: layout, grouped buttons, the file and
// clear commands through the dialog seam, the record count, the debug
// switch, the verification window and the application's error report.
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>

#include "app/application.h"
#include "app/contact_grid.h"
#include "app/glow_button.h"
#include "app/main_window.h"
#include "app/splash_screen.h"
#include "app/verification_window.h"
#include "harvest/harvest_run.h"
#include "store/csv_file.h"
#include "support/auto_dialogs.h"
#include "support/session_window.h"
#include "support/test_main.h"

using namespace vantrelis;

namespace {

// An object whose event handler fails, as a command handler would.
class Failing : public QObject {
 public:
  std::function<void()> fail;
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) fail();
    return QObject::event(e);
  }
};

void AddCommitted(ContactTable& table, const char* name) {
  table.AppendRow();
  table.SetFieldText(Field::Name, name);
  table.CommitRow();
}

// Refuses every change of a row's values, as a failing table would.
struct RefusingObserver : TableObserver {
  void RowChanged(int32_t) override { throw std::runtime_error("KADaoTable1: refusé"); }
};

// Runs `action` on the next widget of type W to be shown, from the event
// loop that shows it (a menu's or a box's own), while the object lives.
template <typename W>
class OnNextShown : public QObject {
 public:
  explicit OnNextShown(std::function<void(W*)> action) : m_action(std::move(action)) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~OnNextShown() override { QCoreApplication::instance()->removeEventFilter(this); }
  OnNextShown(const OnNextShown&) = delete;
  OnNextShown& operator=(const OnNextShown&) = delete;

  bool done() const { return m_done; }

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<W*>(watched);
    if (widget != nullptr && event->type() == QEvent::Show && !m_done) {
      m_done = true;
      QTimer::singleShot(0, widget, [widget, action = m_action] { action(widget); });
    }
    return false;
  }

 private:
  std::function<void(W*)> m_action;
  bool m_done = false;
};

}  // namespace

// Each test function gets a window and a folder of its own.
class MainWindowTest : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<TForm1> m_form;
  std::unique_ptr<QTemporaryDir> m_folder;

  GlowButton* button(const char* name) const { return m_form->glowButton(name); }
  QString label4() const { return m_form->findChild<QLabel*>(QStringLiteral("Label4"))->text(); }
  QString filePath(const QString& name) const { return m_folder->filePath(name); }

 private slots:
  void initTestCase() {
    // A start page that is never answered: these tests need no directory.
    qputenv("VANTRELIS_DIRECTORY", "http://127.0.0.1:9/annuaire/");
  }

  void init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_form = std::make_unique<SessionWindow>(QStringList{QStringLiteral("vantrelis")});
    m_form->FormCreate();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
  }

  void cleanup() {
    m_form.reset();
    m_folder.reset();
  }

  void layoutFollowsTheDesign() {
    QCOMPARE(m_form->objectName(), QStringLiteral("Form1"));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Vantrelis"));
    QCOMPARE(m_form->startPage().toString(),
             QStringLiteral("http://127.0.0.1:9/annuaire/pagesjaunes/index.aspx"));
    auto* toolbar = m_form->findChild<QWidget*>(QStringLiteral("Panel4"));
    QCOMPARE(toolbar->height(), 40);
    QCOMPARE(toolbar->palette().color(QPalette::Window), QColor(201, 199, 184));
    QCOMPARE(button("AdvGlowButton5")->geometry(), QRect(0, 0, 169, 40));
    QCOMPARE(button("SpeedButton6")->geometry(), QRect(168, 0, 169, 40));
    QCOMPARE(button("AdvGlowButton1")->geometry(), QRect(0, 4, 169, 31));
    QCOMPARE(button("AdvGlowButton2")->geometry(), QRect(176, 4, 169, 31));
    QCOMPARE(button("AdvGlowButton4")->geometry(), QRect(352, 4, 169, 31));
    QCOMPARE(button("AdvGlowButton4")->text(), QStringLiteral("Effacer toutes les données"));
    QCOMPARE(m_form->www2()->width(), 255);
    QCOMPARE(m_form->www2()->geometry().right(), m_form->www()->parentWidget()->width() - 1);
    QCOMPARE(m_form->findChild<QSplitter*>(QStringLiteral("Splitter1"))->handleWidth(), 7);
    QCOMPARE(m_form->grid()->height(), 131);
    QCOMPARE(m_form->findChild<QWidget*>(QStringLiteral("Panel8"))->height(), 39);
    QCOMPARE(m_form->findChild<QWidget*>(QStringLiteral("DBAdvNavigator1"))->height(), 25);
    QCOMPARE(m_form->findChild<QWidget*>(QStringLiteral("Panel7"))->height(), 21);
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("Status: OK"));
    QCOMPARE(label4(), QStringLiteral("Enregistrements:0"));
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("Label2"))->geometry(), QRect(24, 0, 90, 21));
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("Label4"))->geometry(), QRect(120, 0, 473, 21));
    // The third field, empty without a run, runs from after Label4 to the right edge.
    auto* runStatus = m_form->findChild<QLabel*>(QStringLiteral("RunStatus"));
    QCOMPARE(runStatus->text(), QString());
    QCOMPARE(runStatus->geometry().left(), 600);
    QCOMPARE(runStatus->geometry().right(),
             m_form->findChild<QWidget*>(QStringLiteral("Panel7"))->width() - 1);
    // Nothing under the status bar in a session that keeps its journal.
    QVERIFY(m_form->findChild<QLabel*>(QStringLiteral("SessionNotice")) == nullptr);
    // Only the browser area grows with the window.
    m_form->resize(1152, 1000);
    QTRY_COMPARE(m_form->grid()->height(), 131);
    m_form->resize(1152, 807);
    QVERIFY(m_form->findChild<QPushButton*>(QStringLiteral("BoutonCodeSOurce"))->isHidden());
    QVERIFY(m_form->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->isHidden());
  }

  void pauseTwiceWithdrawsTheStopRequest() {
    QVERIFY(!m_form->harvestRun()->StopRequested());
    QTest::mouseClick(button("SpeedButton6"), Qt::LeftButton);
    QVERIFY(m_form->harvestRun()->StopRequested());
    QTest::mouseClick(button("SpeedButton6"), Qt::LeftButton);
    QVERIFY(!m_form->harvestRun()->StopRequested());
  }

  void exportMenuDismissedThenImporterPutsExporterUp() {
    test_support::AutoDialogs dialogs;
    const OnNextShown<QMenu> escape([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
    QTest::mouseClick(button("AdvGlowButton2"), Qt::LeftButton);  // returns when the menu is closed
    QVERIFY(escape.done());
    QVERIFY(dialogs.shown.isEmpty());  // Escape on the menu: nothing happens
    QVERIFY(button("AdvGlowButton2")->isStateDown());
    QTest::mouseClick(button("AdvGlowButton1"), Qt::LeftButton);  // open dialog, cancelled
    QVERIFY(button("AdvGlowButton1")->isStateDown());
    QVERIFY(!button("AdvGlowButton2")->isStateDown());
    QCOMPARE(dialogs.shown, QStringList{"open:"});
    QVERIFY(!button("AdvGlowButton1")->isStateDown() || !button("AdvGlowButton4")->isStateDown());
  }

  void exportMenuHoldsBothItems() {
    const auto actions = m_form->exportMenu()->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->objectName(), QStringLiteral("ExporterdonnesauformatCSV1"));
    QCOMPARE(actions[0]->text(), QStringLiteral("Exporter données au format CSV"));
    QCOMPARE(actions[1]->text(), QStringLiteral("Exporter données EXCEL"));
  }

  void clearAsksAndClears() {
    test_support::AutoDialogs dialogs;
    AddCommitted(m_form->table(), "A");
    m_form->table().InsertRow();
    dialogs.answers = {false};
    m_form->Buttontest();
    QCOMPARE(dialogs.shown, QStringList{"question:Effacer TOUTES les données ? [Oui/Non]"});
    QCOMPARE(m_form->table().RowCount(), 2);  // the open row as well
    QVERIFY(m_form->table().HasOpenRow());
    dialogs.answers = {true};
    m_form->Buttontest();
    QCOMPARE(m_form->table().RowCount(), 0);
    QCOMPARE(m_form->grid()->model()->rowCount(), 0);
  }

  void csvExportAndImportThroughTheDialogs() {
    test_support::AutoDialogs dialogs;
    AddCommitted(m_form->table(), "Boulangerie M\xFCller");
    AddCommitted(m_form->table(), "Caf\xE9 de l'Ours");
    const QString file = filePath(QStringLiteral("contacts.csv"));

    dialogs.answers = {false};  // No: no dialog
    m_form->ExporterdonnesauformatCSV1Click();
    QCOMPARE(dialogs.shown.size(), 1);

    dialogs.answers = {true};
    dialogs.fileNames = {file};
    m_form->ExporterdonnesauformatCSV1Click();
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(dialogs.lastSaveRequest.objectName, QStringLiteral("SaveDialog2"));
    QCOMPARE(dialogs.lastSaveRequest.title, QStringLiteral("Sauve projet prospection"));
    QCOMPARE(dialogs.lastSaveRequest.filters,
             (QStringList{".csv (Excel) (*.csv)", ".txt (Texte) (*.txt)", "*.* (Tous) (*)"}));
    QCOMPARE(dialogs.lastSaveRequest.defaultSuffix, QStringLiteral("csv"));
    QVERIFY(dialogs.lastSaveRequest.confirmOverwrite);
    QVERIFY(dialogs.lastSaveRequest.fileName.isEmpty());  // nothing held at the first use

    // Cancelling the dialog writes nothing; the dialog still holds the name.
    QFile::remove(file);
    dialogs.answers = {true};
    dialogs.fileNames = {QString()};
    m_form->ExporterdonnesauformatCSV1Click();
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(dialogs.lastSaveRequest.fileName, file);
    dialogs.answers = {true};
    dialogs.fileNames = {file};
    m_form->ExporterdonnesauformatCSV1Click();

    // Import adds to the rows already there.
    dialogs.fileNames = {file};
    m_form->Button6Click();
    QCOMPARE(m_form->table().CommittedRowCount(), 4);
    QCOMPARE(dialogs.lastOpenRequest.objectName, QStringLiteral("OpenDialog2"));
    QCOMPARE(dialogs.lastOpenRequest.title, QString());
    QCOMPARE(dialogs.lastOpenRequest.defaultSuffix, QStringLiteral("csv"));
    // A name that is no file, or a folder: nothing, no message.
    dialogs.fileNames = {filePath(QStringLiteral("absent.csv"))};
    m_form->Button6Click();
    dialogs.fileNames = {m_folder->path()};
    m_form->Button6Click();
    QCOMPARE(m_form->table().CommittedRowCount(), 4);
    QCOMPARE(dialogs.lastOpenRequest.fileName, filePath(QStringLiteral("absent.csv")));
    QCOMPARE(dialogs.reports, 0);
  }

  void exportErrorIsReportedThroughTheButton() {
    test_support::AutoDialogs dialogs;
    // Through the menu item: a folder that does not exist cannot be written.
    dialogs.answers = {true};
    dialogs.fileNames = {filePath(QStringLiteral("absent/contacts.csv"))};
    m_form->exportMenu()->actions()[0]->trigger();
    QCOMPARE(dialogs.reports, 1);
    QCOMPARE(dialogs.lastReportCaption, QStringLiteral("KorvalenCH"));
    QVERIFY(dialogs.lastReportText.contains(QStringLiteral("contacts.csv")));
    // The wait cursor of the export is gone with the failure.
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
  }

  void excelExportOpensANewWorkbook() {
    test_support::AutoDialogs dialogs;
    AddCommitted(m_form->table(), "Fromagerie");
    m_form->table().InsertRow();
    m_form->table().SetFieldText(Field::Name, "pending");
    QList<QUrl> opened;
    bool canOpen = true;
    const QString folder = filePath(QStringLiteral("classeurs"));
    QDir().mkpath(folder);
    m_form->setWorkbookTarget(
        [&](const QUrl& url) {
          opened << url;
          return canOpen;
        },
        folder);
    m_form->exportMenu()->actions()[1]->trigger();
    QCOMPARE(dialogs.reports, 0);
    QCOMPARE(opened.size(), 1);
    QVERIFY(opened[0].toLocalFile().endsWith(QStringLiteral(".xlsx")));
    QVERIFY(QFileInfo(opened[0].toLocalFile()).size() > 0);
    QVERIFY(!m_form->table().HasOpenRow());  // the export settled the pending row
    QCOMPARE(m_form->table().CommittedRowCount(), 2);
    // Nothing to open it with: reported, naming the file that stays.
    canOpen = false;
    m_form->exportMenu()->actions()[1]->trigger();
    QCOMPARE(dialogs.reports, 1);
    QVERIFY(dialogs.lastReportText.contains(QFileInfo(opened[1].toLocalFile()).fileName()));
    QVERIFY(QFileInfo::exists(opened[1].toLocalFile()));
    m_form->setWorkbookTarget({}, {});
  }

  void recordCountAfterATick() {
    QCOMPARE(m_form->findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), 4000);
    for (const char* name : {"A", "B", "C"}) AddCommitted(m_form->table(), name);
    m_form->table().InsertRow();
    m_form->table().SetFieldText(Field::Name, "pending");
    m_form->Timer1Timer();
    QCOMPARE(label4(), QStringLiteral("Enr:3"));  // the pending row is not counted
    m_form->table().CommitRow();
    m_form->Timer1Timer();
    QCOMPARE(label4(), QStringLiteral("Enr:4"));
  }

  void errorReportText() {
    QCOMPARE(ErrorReportText(QStringLiteral("Fichier introuvable")), QStringLiteral("Fichier introuvable."));
    QCOMPARE(ErrorReportText(QStringLiteral("Terminé.")), QStringLiteral("Terminé."));
    QCOMPARE(ErrorReportText(QString()), QString());
    QCOMPARE(ErrorReportText(QStringLiteral("Quoi ?")), QStringLiteral("Quoi ?."));       // '?' is 63
    QCOMPARE(ErrorReportText(QStringLiteral("Vraiment!")), QStringLiteral("Vraiment!"));  // '!' is 33
    QCOMPARE(ErrorReportText(QStringLiteral("chemin /")), QStringLiteral("chemin /."));   // '/' is 47
    QCOMPARE(ErrorReportText(QStringLiteral("a-")), QStringLiteral("a-"));                // '-' is 45
  }

  void errorLeavingAHandlerIsReportedAndTheLoopGoesOn() {
    test_support::AutoDialogs dialogs;
    Failing target;
    target.fail = [] { throw TableError("Champ 'x' non trouvé"); };
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&target, &event);
    QCOMPARE(dialogs.reports, 1);
    QCOMPARE(dialogs.lastReportCaption, QStringLiteral("KorvalenCH"));
    QCOMPARE(dialogs.lastReportText, QStringLiteral("KADaoTable1: Champ 'x' non trouvé."));
    // Bytes that are no UTF-8 are read as Windows-1252.
    target.fail = [] { throw std::runtime_error("Z\xFCrich"); };
    QCoreApplication::sendEvent(&target, &event);
    QCOMPARE(dialogs.lastReportText, QStringLiteral("Zürich."));
    // The end of a run because the program closes is no error.
    target.fail = [] { throw BrowserAborted(); };
    QCoreApplication::sendEvent(&target, &event);
    QCOMPARE(dialogs.reports, 2);
    // Posted events too, through the event loop.
    target.fail = [] { throw std::runtime_error("posté"); };
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QTRY_COMPARE(dialogs.reports, 3);
  }

  void aFailedGridEditIsReportedByTheWindow() {
    test_support::AutoDialogs dialogs;
    AddCommitted(m_form->table(), "A");
    RefusingObserver refusing;
    m_form->table().AddObserver(&refusing);
    QAbstractItemModel* model = m_form->grid()->model();
    const bool stored = model->setData(model->index(0, 0), QStringLiteral("B"));
    m_form->table().RemoveObserver(&refusing);
    QVERIFY(!stored);
    QCOMPARE(dialogs.reports, 1);
    QCOMPARE(dialogs.lastReportCaption, QStringLiteral("KorvalenCH"));
    QCOMPARE(dialogs.lastReportText, QStringLiteral("KADaoTable1: refusé."));
  }

  // Closing asks while the table holds changes that no export saved: "Non"
  // keeps the window, "Oui" closes it and the program's loop ends.
  void closingAChangedTableAsksFirst() {
    test_support::AutoDialogs dialogs;
    AddCommitted(m_form->table(), "A");
    dialogs.answers = {false};
    QVERIFY(!m_form->close());
    QCOMPARE(dialogs.shown, QStringList{"question:La table contient 1 contact qui n'a pas été exporté. "
                                        "Quitter quand même ? [Oui/Non]"});
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_form->table().CommittedRowCount(), 1);
    // A value typed into a new row, its editor still open, counts too.
    m_form->grid()->setFocus();
    m_form->table().MoveLast();
    QTest::keyClick(m_form->grid(), Qt::Key_Down);
    QTest::keyClicks(m_form->grid(), "B");
    QVERIFY(m_form->grid()->openEditor() != nullptr);
    dialogs.shown.clear();
    dialogs.answers = {false};
    QVERIFY(!m_form->close());
    QCOMPARE(dialogs.shown, QStringList{"question:La table contient 2 contacts qui n'ont pas été exportés. "
                                        "Quitter quand même ? [Oui/Non]"});
    QCOMPARE(QString::fromStdString(std::string(m_form->table().FieldValue(1, Field::Name).value_or(""))),
             QStringLiteral("B"));
    dialogs.answers = {true};
    QVERIFY(m_form->close());
    // No window is left on the screen: the program's event loop ends.
    for (QWidget* top : QApplication::topLevelWidgets())
      QVERIFY2(!top->isVisible(), qPrintable(top->objectName()));
    // Closed once: a later close asks nothing.
    dialogs.shown.clear();
    m_form->show();
    QVERIFY(m_form->close());
    QVERIFY(dialogs.shown.isEmpty());
  }

  // What leaves nothing to lose: the window closes without a question.
  void closingWithoutAQuestion_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("empty table") << 0;
    QTest::newRow("blank new row") << 1;
    QTest::newRow("exported to CSV") << 2;
    QTest::newRow("exported as a workbook") << 3;
    QTest::newRow("cleared") << 4;
  }
  void closingWithoutAQuestion() {
    QFETCH(int, how);
    test_support::AutoDialogs dialogs;
    ContactTable& table = m_form->table();
    if (how >= 2) AddCommitted(table, "A");
    switch (how) {
      case 1: table.InsertRow(); break;
      case 2:
        dialogs.answers = {true};
        dialogs.fileNames = {filePath(QStringLiteral("saved.csv"))};
        m_form->ExporterdonnesauformatCSV1Click();
        break;
      case 3:
        m_form->setWorkbookTarget([](const QUrl&) { return true; }, m_folder->path());
        m_form->ExporterdonnesEXCEL1Click();
        break;
      case 4:
        dialogs.answers = {true};
        m_form->Buttontest();
        break;
      default: break;
    }
    dialogs.shown.clear();
    QVERIFY(m_form->close());
    QVERIFY(dialogs.shown.isEmpty());
    m_form->setWorkbookTarget({}, {});
  }

  // After an export, each change of the table counts; what changes nothing
  // does not.
  void whatCountsAsAChangeAfterAnExport() {
    test_support::AutoDialogs dialogs;
    ContactTable& table = m_form->table();
    const QString csv = filePath(QStringLiteral("saved.csv"));
    const struct {
      const char* name;
      std::function<void()> act;
      bool changes;
    } cases[] = {
        {"a row added", [&] { AddCommitted(table, "C"); }, true},
        {"a row edited",
         [&] {
           table.MoveFirst();
           table.EditRow();
           table.SetFieldText(Field::tel, "021");
           table.CommitRow();
         },
         true},
        {"a row deleted",
         [&] {
           table.MoveFirst();
           table.DeleteRow();
         },
         true},
        {"a file imported",
         [&] {
           dialogs.fileNames = {csv};
           m_form->Button6Click();
         },
         true},
        {"a value typed into a new row",
         [&] {
           table.InsertRow();
           table.SetFieldText(Field::Name, "D");
         },
         true},
        {"a new row cancelled",
         [&] {
           table.InsertRow();
           table.SetFieldText(Field::Name, "E");
           table.CancelRow();
         },
         false},
        {"an edit opened and settled unchanged",
         [&] {
           table.EditRow();
           table.SettleRow();
         },
         false},
        {"moves",
         [&] {
           table.MoveLast();
           table.MoveFirst();
         },
         false},
        {"an export that failed",
         [&] {
           AddCommitted(table, "F");
           dialogs.answers = {true};
           dialogs.fileNames = {filePath(QStringLiteral("absent/contacts.csv"))};
           m_form->exportMenu()->actions()[0]->trigger();
         },
         true},
        {"a workbook nothing could open",
         [&] {
           AddCommitted(table, "G");
           m_form->setWorkbookTarget([](const QUrl&) { return false; }, m_folder->path());
           m_form->exportMenu()->actions()[1]->trigger();
           m_form->setWorkbookTarget({}, {});
         },
         true},
    };
    AddCommitted(table, "A");
    AddCommitted(table, "B");
    for (const auto& c : cases) {
      table.SettleRow();
      dialogs.answers = {true};
      dialogs.fileNames = {csv};
      m_form->ExporterdonnesauformatCSV1Click();
      QVERIFY2(!m_form->unsavedChanges().changed(), c.name);
      c.act();
      QVERIFY2(m_form->unsavedChanges().changed() == c.changes, c.name);
    }
  }

  void platformBoxesShowTheirTextAsWritten() {
    // What the open box shows; then its button at `answer` is pressed.
    struct Seen {
      QString title, text;
      Qt::TextFormat format = Qt::AutoText;
      QMessageBox::Icon icon = QMessageBox::NoIcon;
      QStringList buttons;
    };
    auto answerNextBox = [](Seen& seen, int answer) {
      return std::make_unique<OnNextShown<QMessageBox>>([&seen, answer](QMessageBox* box) {
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.format = box->textFormat();
        seen.icon = box->icon();
        QList<QAbstractButton*> buttons = box->buttons();
        std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton* a, QAbstractButton* b) {
          return box->buttonRole(a) < box->buttonRole(b);
        });
        for (QAbstractButton* b : buttons) seen.buttons << b->text();
        if (answer < buttons.size()) buttons[answer]->click();
      });
    };
    QtDialogs platform;
    // Texts that look like mark-up (a page's or a file's name) stay as written.
    const QString odd = QStringLiteral("<b>Caf\u00e9</b> &amp; <i>fils</i>.csv ?");
    Seen seen;
    auto answering = answerNextBox(seen, 1);
    QVERIFY(!platform.question(nullptr, odd, QuestionButtons::YesNo));
    QCOMPARE(seen.title, QStringLiteral("Confirmation"));
    QCOMPARE(seen.text, odd);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.icon, QMessageBox::Question);
    QCOMPARE(seen.buttons, (QStringList{"&Oui", "&Non"}));
    seen = {};
    answering = answerNextBox(seen, 0);
    QVERIFY(platform.question(nullptr, QStringLiteral("Supprimer l'enregistrement ?"),
                              QuestionButtons::OkCancel));
    QCOMPARE(seen.buttons, (QStringList{"OK", "Annuler"}));
    seen = {};
    answering = answerNextBox(seen, 0);
    platform.errorReport(nullptr, QStringLiteral("KorvalenCH"), odd + QLatin1Char('.'));
    QCOMPARE(seen.title, QStringLiteral("KorvalenCH"));
    QCOMPARE(seen.text, odd + QLatin1Char('.'));
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons, QStringList{"OK"});
    // A choice: one button per answer, the index of the one pressed; Escape
    // gives the answer named for it.
    const QStringList answers{"Récupérer", "Plus tard", "Supprimer"};
    QPointer<QMessageBox> chooser;
    for (const int pressed : {0, 1, 2}) {
      const OnNextShown<QMessageBox> press([&](QMessageBox* box) {
        chooser = box;
        for (QAbstractButton* b : box->buttons())
          if (b->text() == answers.at(pressed)) b->click();
      });
      QCOMPARE(platform.choose(nullptr, odd, answers, 0, 1), pressed);
    }
    const OnNextShown<QMessageBox> escape([&](QMessageBox* box) {
      seen.title = box->windowTitle();
      seen.text = box->text();
      seen.format = box->textFormat();
      seen.buttons.clear();
      for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
      seen.buttons.sort();
      QCOMPARE(box->defaultButton()->text(), answers.at(0));
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(platform.choose(nullptr, odd, answers, 0, 1), 1);
    QCOMPARE(seen.title, QStringLiteral("Confirmation"));
    QCOMPARE(seen.text, odd);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.buttons, (QStringList{"Plus tard", "Récupérer", "Supprimer"}));
  }

  // The platform's verification window: its title, its page on a view of its
  // own, its text as written; "Reprendre" answers true, "Arrêter" and Escape false.
  void verificationWindowOfThePlatform() {
    QtDialogs platform;
    const VerificationRequest request{QUrl(QStringLiteral("http://127.0.0.1:9/controle/fiche.html")),
                                      QStringLiteral("<b>Le site</b> demande une vérification.")};
    for (const char* press : {"Reprendre", "Arreter", "Escape"}) {
      QString title, text, page;
      QStringList buttons;
      const OnNextShown<VerificationWindow> answer([&](VerificationWindow* window) {
        title = window->windowTitle();
        text = window->findChild<QLabel*>(QStringLiteral("VerificationText"))->text();
        page = window->view()->url().toString();
        buttons << window->resumeButton()->text() << window->stopButton()->text();
        if (qstrcmp(press, "Escape") == 0) {
          QTest::keyClick(window, Qt::Key_Escape);
        } else {
          QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(press)), Qt::LeftButton);
        }
      });
      QCOMPARE(platform.verify(m_form.get(), request), qstrcmp(press, "Reprendre") == 0);
      QCOMPARE(title, QStringLiteral("Vérification demandée par le site"));
      QCOMPARE(text, request.text);
      QCOMPARE(page, request.page.toString());
      QCOMPARE(buttons, (QStringList{"Reprendre", "Arrêter"}));
    }
  }

  void splashShownOnceAndGoneAtTheFirstTurnsOfTheLoop() {
    SessionWindow form(QStringList{QStringLiteral("vantrelis")});
    form.Create();
    QWidget* splash = form.splash()->window();
    QVERIFY(splash != nullptr && splash->isVisible());
    QCOMPARE(splash->size(), QSize(401 + 2, 300 + 2));  // the picture in a one-pixel frame
    QVERIFY(splash->windowFlags().testFlag(Qt::WindowTransparentForInput));
    QVERIFY(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(splash->geometry().topLeft() + QPoint(1, 1),
             QPoint((screen.width() - 401) / 2, (screen.height() - 300) / 2));
    // The running event loop removes it (the limit only keeps a fault from hanging the test).
    QSignalSpy removed(splash, &QObject::destroyed);
    QVERIFY(removed.wait(20000));
    QVERIFY(form.splash()->window() == nullptr);
    form.Create();  // shown once per run
    QVERIFY(form.splash()->window() == nullptr);
  }

  void debugSwitch_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("debug");
    QTest::newRow("debug") << QStringList{"vantrelis", "debug"} << true;
    QTest::newRow("capital") << QStringList{"vantrelis", "Debug"} << false;
    QTest::newRow("longer") << QStringList{"vantrelis", "debugx"} << false;
    QTest::newRow("second") << QStringList{"vantrelis", "x", "debug"} << false;
    QTest::newRow("none") << QStringList{"vantrelis"} << false;
  }

  void debugSwitch() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, debug);
    SessionWindow form(arguments);
    form.FormCreate();
    QCOMPARE(form.debugView(), debug);
    QCOMPARE(!form.findChild<QPushButton*>(QStringLiteral("BoutonCodeSOurce"))->isHidden(), debug);
    auto* memo = form.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    QCOMPARE(!memo->isHidden(), debug);
    QCOMPARE(memo->geometry(), QRect(96, 368, 185, 89));
    if (debug) {
      QCOMPARE(memo->toPlainText(), QStringLiteral("Memo1"));
      QVERIFY(!form.harvestRun()->StopRequested());
      form.BoutonCodeSOurceClick();  // www2 never loaded: empty, no wait
      QVERIFY(form.harvestRun()->StopRequested());
      QCOMPARE(memo->toPlainText(), QString());
    }
  }
};

VANTRELIS_GUI_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
