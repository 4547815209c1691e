// The window's start after sessions that did not end normally: one question
// once the splash is gone; "Récupérer" takes their rows back (and opens the
// result page of an interrupted harvest, which "Aspirer" goes on with),
// "Plus tard" leaves them for the next start, "Supprimer" removes them once
// confirmed.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include "app/contact_grid.h"
#include "app/demo_server.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/splash_screen.h"
#include "browser/webengine_browser.h"
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
  bool busyAtQuestion = false;  // the question under a wait cursor
  int choose(QWidget* parent, const QString& text, const QStringList& captions, int defaultAnswer,
             int escapeAnswer) override {
    if (form != nullptr && form->splash()->window() != nullptr) splashUpAtQuestion = true;
    if (QGuiApplication::overrideCursor() != nullptr) busyAtQuestion = true;
    return AutoDialogs::choose(parent, text, captions, defaultAnswer, escapeAnswer);
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

QStringList JournalFiles() { return QDir(QString::fromStdString(JournalFolder())).entryList(QDir::Files); }

// The journal files once the windows' own are surely there: a session's
// journal is named by its writer thread, which Sync waits for.
QStringList JournalFilesAfterSync(std::initializer_list<TForm1*> forms) {
  for (TForm1* form : forms) form->journal()->Sync();
  return JournalFiles();
}

// The recovery question for `rows` contacts, as AutoDialogs notes it.
QString Question(int rows) {
  return QStringLiteral(
             "choice:La session précédente s'est interrompue avec %1 contact%2.\n"
             "« Récupérer » les ajoute à la table ; « Plus tard » les garde de côté, et la "
             "question reviendra au prochain démarrage ; « Supprimer » les efface. "
             "[Récupérer/Plus tard/Supprimer]")
      .arg(rows)
      .arg(rows > 1 ? QStringLiteral("s") : QString());
}

QStringList Names(const ContactTable& table) {
  QStringList names;
  table.ForEachCommittedRow(
      [&](auto value) { names << QString::fromStdString(std::string(*value(Field::Name))); });
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

  void recupererTakesBackTheRowsOfEverySession() {
    LeaveInterruptedSession({QStringLiteral("A1"), QStringLiteral("A2")});
    LeaveInterruptedSession({QStringLiteral("B1")});
    QCOMPARE(JournalFiles().size(), 2);
    WatchingDialogs dialogs;
    dialogs.choices = {0};
    auto form = start(dialogs);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.constFirst(), Question(3));
    QVERIFY(!dialogs.splashUpAtQuestion);
    QVERIFY(!dialogs.busyAtQuestion);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
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
    // Recovered rows were never exported: closing asks first.
    dialogs.answers = {false};
    QVERIFY(!form->close());
    QCOMPARE(dialogs.shown.constLast(),
             QStringLiteral("question:La table contient 3 contacts qui n'ont pas été exportés. "
                            "Quitter quand même ? [Oui/Non]"));
    dialogs.answers = {true};
    QVERIFY(form->close());
    // Closing the window ends the session normally: nothing is left.
    form.reset();
    QVERIFY(JournalFiles().isEmpty());
  }

  // "Plus tard", or Escape, leaves the journal and asks again at the next
  // start; "Supprimer" asks once more, and its "Non" goes back to the choice.
  void plusTardAndSupprimer() {
    LeaveInterruptedSession({QStringLiteral("only")});
    WatchingDialogs dialogs;
    dialogs.choices = {1};
    auto form = start(dialogs);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.constFirst(), Question(1));
    QCOMPARE(form->table().RowCount(), 0);
    QCOMPARE(JournalFilesAfterSync({form.get()}).size(), 2);  // the old one and the window's own
    form.reset();
    QCOMPARE(JournalFiles().size(), 1);

    dialogs.shown.clear();
    dialogs.choices = {};  // Escape
    form = start(dialogs);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    form.reset();
    QCOMPARE(JournalFiles().size(), 1);

    dialogs.shown.clear();
    dialogs.choices = {2, 2};
    dialogs.answers = {false, true};
    form = start(dialogs);
    QTRY_COMPARE(dialogs.shown.size(), 4);
    const QString confirm =
        QStringLiteral("question:Supprimer définitivement le contact de la session interrompue ? [Oui/Non]");
    QCOMPARE(dialogs.shown, (QStringList{Question(1), confirm, Question(1), confirm}));
    QCOMPARE(form->table().RowCount(), 0);
    QCOMPARE(JournalFilesAfterSync({form.get()}).size(), 1);  // the window's own
    // Nothing to lose: no question.
    QVERIFY(form->close());
    QCOMPARE(dialogs.shown.size(), 4);
    form.reset();
    QVERIFY(JournalFiles().isEmpty());
  }

  void supprimerNamesEveryContactAndSession() {
    LeaveInterruptedSession({QStringLiteral("A1"), QStringLiteral("A2")});
    LeaveInterruptedSession({QStringLiteral("B1")});
    WatchingDialogs dialogs;
    dialogs.choices = {2};
    dialogs.answers = {true};
    auto form = start(dialogs);
    QTRY_COMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown.constLast(),
             QStringLiteral("question:Supprimer définitivement les 3 contacts des 2 sessions interrompues ? "
                            "[Oui/Non]"));
    form.reset();
    QVERIFY(JournalFiles().isEmpty());
  }

  void recupererReopensTheInterruptedHarvest_data() {
    QTest::addColumn<bool>("reopens");
    QTest::newRow("its own address") << true;
    QTest::newRow("one address for every result page") << false;
  }

  // The result page of a session killed in a harvest opens in www instead of
  // the start page; "Aspirer" there passes over the listing whose row came back.
  void recupererReopensTheInterruptedHarvest() {
    QFETCH(bool, reopens);
    DemoServer site(QStringLiteral(VANTRELIS_TEST_DATA "/harvest/site"));
    QVERIFY(site.start());
    const std::string results = site.url(QStringLiteral("/resultats.html")).toString().toStdString();
    {
      ContactTable table;
      SessionJournal journal(table, JournalFolder());
      journal.NoteResultPage(results, reopens);
      table.InsertRow();
      table.SetRowAddress(
          site.url(QStringLiteral("/fiche/boulangerie-du-lac.html")).toString().toStdString());
      table.SetFieldText(Field::Name, "Boulangerie du Lac");
      journal.Sync();
    }
    WatchingDialogs dialogs;
    dialogs.choices = {0};
    auto form = start(dialogs);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    WebEngineBrowser* www = form->wwwBrowser();
    QTRY_VERIFY_WITH_TIMEOUT(www->CurrentUrl() == results && !www->Busy() && www->ReadyState() == 4, 20000);
    QCOMPARE(form->runStatus(),
             QString::fromUtf8(reopens ? messages::kResumeStatus : messages::kResumeElsewhereStatus));
    form->Button1Click();  // returns when the run ends
    QCOMPARE(form->runStatus(), QString());
    form->table().SettleRow();  // the last listing's row, still pending
    QStringList names = Names(form->table());
    for (QString& name : names) name = name.toLower();
    names.sort();
    QCOMPARE(names, (QStringList{"boulangerie du lac", "cordonnerie martin", "droguerie centrale"}));
    QCOMPARE(dialogs.shown.size(), 2);
    QVERIFY2(dialogs.shown.constLast().endsWith(
                 QStringLiteral("\n\n1 fiche était déjà dans la table et a été passée.")),
             qPrintable(dialogs.shown.constLast()));
    QCOMPARE(dialogs.reports, 0);
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
