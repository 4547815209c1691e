// The window's start after sessions that did not end normally: one question
// once the splash is gone, "Oui" takes their rows back, "Non" removes them.
#include <QDir>
#include <QFileInfo>

#include "app/contact_grid.h"
#include "app/main_window.h"
#include "app/splash_screen.h"
#include "store/journal_recovery.h"
#include "store/session_journal.h"
#include "support/auto_dialogs.h"
#include "support/session_window.h"
#include "support/test_main.h"

using namespace vantrelis;

namespace {

// Answers like AutoDialogs, noting whether the splash was still up when a
// question came.
class WatchingDialogs : public test_support::AutoDialogs {
 public:
  TForm1* form = nullptr;
  bool splashUpAtQuestion = false;
  bool question(QWidget* parent, const QString& text, QuestionButtons buttons) override {
    if (form != nullptr && form->splash()->window() != nullptr) splashUpAtQuestion = true;
    return AutoDialogs::question(parent, text, buttons);
  }
};

// Leaves a journal as a session killed with these rows would (the last one
// still pending).
void LeaveInterruptedSession(const QStringList& names) {
  ContactTable table;
  SessionJournal journal(table, JournalFolder());
  for (const QString& name : names) {
    table.InsertRow();
    table.SetFieldText(Field::Name, name.toStdString());
  }
  journal.Sync();
}

QStringList JournalFiles() {
  return QDir(QString::fromStdString(JournalFolder())).entryList(QDir::Files);
}

// The journal files once the windows' own are surely there: a session's
// journal is named by its writer thread, which Sync waits for.
QStringList JournalFilesAfterSync(std::initializer_list<TForm1*> forms) {
  for (TForm1* form : forms) form->journal()->Sync();
  return JournalFiles();
}

QStringList Names(const ContactTable& table) {
  QStringList names;
  table.ForEachCommittedRow([&](auto value) { names << QString::fromStdString(std::string(*value(Field::Name))); });
  return names;
}

}  // namespace

class RecoveryWindowTest : public QObject {
  Q_OBJECT
 private:
  // Starts the window as the program does and waits for its question.
  std::unique_ptr<TForm1> start(WatchingDialogs& dialogs) {
    std::unique_ptr<TForm1> form = std::make_unique<SessionWindow>(QStringList{QStringLiteral("vantrelis")});
    dialogs.form = form.get();
    form->Create();
    form->showMaximized();
    return form;
  }

 private slots:
  void initTestCase() {
    // A start page that is never answered: no directory is needed here.
    qputenv("VANTRELIS_DIRECTORY", "http://127.0.0.1:9/annuaire/");
  }

  void cleanup() { QDir(QString::fromStdString(JournalFolder())).removeRecursively(); }

  void ouiTakesBackTheRowsOfEverySession() {
    LeaveInterruptedSession({QStringLiteral("A1"), QStringLiteral("A2")});
    LeaveInterruptedSession({QStringLiteral("B1")});
    QCOMPARE(JournalFiles().size(), 2);
    WatchingDialogs dialogs;
    dialogs.answers = {true};
    auto form = start(dialogs);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.constFirst(),
             QStringLiteral("question:La session précédente s'est interrompue avec 3 contacts. "
                            "Les récupérer ? [Oui/Non]"));
    QVERIFY(!dialogs.splashUpAtQuestion);
    // Oldest session first, each as it was shown; pending rows committed.
    QCOMPARE(Names(form->table()), (QStringList{"A2", "A1", "B1"}));
    QCOMPARE(form->grid()->model()->rowCount(), 3);
    QVERIFY(!form->table().HasOpenRow());
    // The rows are this session's now: its journal alone holds them.
    const QStringList files = JournalFilesAfterSync({form.get()});
    QCOMPARE(files.size(), 1);
    QCOMPARE(QFileInfo(QString::fromStdString(form->journal()->Path())).fileName(), files.constFirst());
    ContactTable rebuilt;
    QVERIFY(RebuildFromJournal(form->journal()->Path(), rebuilt));
    QCOMPARE(Names(rebuilt), Names(form->table()));
    // Closing the window ends the session normally: nothing is left.
    form.reset();
    QVERIFY(JournalFiles().isEmpty());
  }

  void nonRemovesTheirJournals() {
    LeaveInterruptedSession({QStringLiteral("only")});
    WatchingDialogs dialogs;
    dialogs.answers = {false};
    auto form = start(dialogs);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.constFirst(),
             QStringLiteral("question:La session précédente s'est interrompue avec 1 contact. "
                            "Les récupérer ? [Oui/Non]"));
    QCOMPARE(form->table().RowCount(), 0);
    QCOMPARE(JournalFilesAfterSync({form.get()}).size(), 1);  // the window's own
    form.reset();
    QVERIFY(JournalFiles().isEmpty());
  }

  void nothingToAskAfterSessionsThatEndedNormally() {
    WatchingDialogs dialogs;
    {
      auto first = start(dialogs);
      // A second window at once keeps its own journal and asks nothing.
      auto second = start(dialogs);
      QTRY_VERIFY(first->splash()->window() == nullptr && second->splash()->window() == nullptr);
      QCoreApplication::processEvents();
      QCOMPARE(JournalFilesAfterSync({first.get(), second.get()}).size(), 2);
    }
    QVERIFY(dialogs.shown.isEmpty());
    QVERIFY(JournalFiles().isEmpty());
  }
};

VANTRELIS_GUI_TEST_MAIN(RecoveryWindowTest)
#include "recovery_window_test.moc"
