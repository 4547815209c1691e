// The session the window works on: made before the window, outliving it,
// and telling the window of a journal that could not be made.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <stdexcept>

#include "app/harvest_session.h"
#include "app/main_window.h"
#include "store/journal_recovery.h"
#include "support/auto_dialogs.h"
#include "support/test_main.h"

using namespace vantrelis;

namespace {

const QStringList kArguments{QStringLiteral("vantrelis")};

void AddCommitted(ContactTable& table, const char* name) {
  table.AppendRow();
  table.SetFieldText(Field::Name, name);
  table.CommitRow();
}

}  // namespace

class HarvestSessionTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;

 private slots:
  void initTestCase() {
    // A start page that is never answered: no directory is needed here.
    qputenv("VANTRELIS_DIRECTORY", "http://127.0.0.1:9/annuaire/");
    QVERIFY(m_dir.isValid());
  }

  void theWindowGoesFirstAndLeavesTheSessionWhole() {
    const QString folder = m_dir.filePath(QStringLiteral("journaux"));
    std::string journal;
    {
      HarvestSession session(folder.toStdString());
      journal = session.journal().Path();
      {
        TForm1 form(session, kArguments);
        QCOMPARE(&form.table(), &session.table());
        QCOMPARE(form.wwwBrowser(), &session.rig()->www());
        // One window per session: a second set of browsers would leave the
        // window driving the old ones.
        QVERIFY_THROWS_EXCEPTION(std::logic_error, session.attachBrowsers(form.www(), form.www2()));
        AddCommitted(form.table(), "A");
      }
      // The grid and the navigator no longer observe the table.
      AddCommitted(session.table(), "B");
      QCOMPARE(session.table().CommittedRowCount(), 2);
      // The views went with the window: the browsers refuse, they do not crash.
      QVERIFY_THROWS_EXCEPTION(BrowserAborted, session.rig()->www().CurrentUrl());
      // The journal lives as long as the session and kept every row.
      QVERIFY(session.journal().Writing());
      ContactTable rebuilt;
      QVERIFY(RebuildFromJournal(journal, rebuilt));
      QCOMPARE(rebuilt.CommittedRowCount(), 2);
    }
    // The session ended normally: its journal is gone.
    QVERIFY(!QFileInfo::exists(QString::fromStdString(journal)));
  }

  void aJournalThatCannotBeMadeIsToldToTheWindowMadeAfterIt() {
    test_support::AutoDialogs dialogs;
    // A file where the journal folder would go.
    const QString blocker = m_dir.filePath(QStringLiteral("fichier"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    HarvestSession session((blocker + QStringLiteral("/journaux")).toStdString());
    QVERIFY(!session.journal().Writing());
    TForm1 form(session, kArguments);
    QTRY_COMPARE(dialogs.shown.size(), 1);
    const QString shown = dialogs.shown.constFirst();
    QVERIFY2(shown.startsWith(QStringLiteral("warning:Impossible de créer le journal de session dans ")),
             qPrintable(shown));
    QVERIFY2(shown.endsWith(QStringLiteral("après une panne.")), qPrintable(shown));
    // The table goes on without a journal, and nothing more is told.
    AddCommitted(form.table(), "A");
    QCoreApplication::processEvents();
    QCOMPARE(form.table().CommittedRowCount(), 1);
    QCOMPARE(dialogs.shown.size(), 1);
  }

  // A journal folder refused as unsafe (its parent open to everyone) holds
  // for the whole session: said under the status bar, not in a box.
  void aRefusedJournalFolderIsSaidUnderTheStatusBar() {
    test_support::AutoDialogs dialogs;
    const QString open = m_dir.filePath(QStringLiteral("ouvert"));
    const QString folder = open + QStringLiteral("/vantrelis");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    HarvestSession session(folder.toStdString());
    QVERIFY(session.journal().FolderRefused());
    TForm1 form(session, kArguments);
    QTRY_VERIFY(form.findChild<QLabel*>(QStringLiteral("SessionNotice")) != nullptr);
    const QString notice = form.findChild<QLabel*>(QStringLiteral("SessionNotice"))->text();
    QVERIFY2(notice.startsWith(QStringLiteral("Vantrelis n'utilise pas le dossier des journaux ") + folder +
                               QStringLiteral(" : ")),
             qPrintable(notice));
    QVERIFY2(notice.endsWith(QStringLiteral("après une panne.")), qPrintable(notice));
    QVERIFY(form.statusBar()->isVisibleTo(&form));
    QCOMPARE(dialogs.shown, QStringList());
  }
};

VANTRELIS_GUI_TEST_MAIN(HarvestSessionTest)
#include "harvest_session_test.moc"
