#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

#include "app/workbook_opener.h"
#include "store/contact_table.h"
#include "store/workbook_export.h"
#include "support/test_main.h"

using namespace vantrelis;

class WorkbookOpenerTest : public QObject {
  Q_OBJECT

 private slots:
  void namesAreTimedAndNeverReused();
  void exportsThenOpensTheNewFile();
  void openingFailureNamesTheFile();
  void unwritableFolderLeavesNothing();
};

void WorkbookOpenerTest::namesAreTimedAndNeverReused() {
  QTemporaryDir dir;
  const QDateTime when(QDate(2026, 12, 9), QTime(8, 15, 2, 123));
  const QString first = reserveWorkbookPath(dir.path(), when);
  const QString second = reserveWorkbookPath(dir.path(), when);
  const QString third = reserveWorkbookPath(dir.path(), when);
  QCOMPARE(QFileInfo(first).fileName(), QStringLiteral("Vantrelis-2026-12-09_08-15-02-123.xlsx"));
  QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("Vantrelis-2026-12-09_08-15-02-123-2.xlsx"));
  QCOMPARE(QFileInfo(third).fileName(), QStringLiteral("Vantrelis-2026-12-09_08-15-02-123-3.xlsx"));
  QVERIFY(QFile::exists(first) && QFile::exists(second) && QFile::exists(third));
}

void WorkbookOpenerTest::exportsThenOpensTheNewFile() {
  QTemporaryDir dir;
  ContactTable table;
  table.InsertRow();
  table.SetFieldText(Field::Name, "pending");

  QList<QUrl> opened;
  const UrlOpener open = [&opened](const QUrl& url) {
    opened.append(url);
    return true;
  };
  const QString first = exportWorkbookAndOpen(table, open, dir.path());
  const QString second = exportWorkbookAndOpen(table, open, dir.path());

  QVERIFY(first != second);
  QCOMPARE(opened, (QList<QUrl>{QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}));
  for (const QString& path : {first, second}) {
    QCOMPARE(QFileInfo(path).dir().canonicalPath(), QDir(dir.path()).canonicalPath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(2), QByteArray("PK"));  // a zip container, the .xlsx format
  }
  // The export settled the pending row.
  QCOMPARE(table.CommittedRowCount(), 1);
  QVERIFY(!table.HasOpenRow());
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void WorkbookOpenerTest::openingFailureNamesTheFile() {
  QTemporaryDir dir;
  ContactTable table;
  QString message;
  try {
    exportWorkbookAndOpen(
        table, [](const QUrl&) { return false; }, dir.path());
    QFAIL("no error");
  } catch (const std::runtime_error& e) {
    message = QString::fromUtf8(e.what());
  }
  const QStringList files = QDir(dir.path()).entryList(QDir::Files);
  QCOMPARE(files.size(), 1);
  QVERIFY2(message.contains(QDir(dir.path()).filePath(files.first())), qPrintable(message));
}

void WorkbookOpenerTest::unwritableFolderLeavesNothing() {
  QTemporaryDir dir;
  ContactTable table;
  bool called = false;
  const QString missing = dir.filePath(QStringLiteral("missing"));
  QVERIFY_THROWS_EXCEPTION(WorkbookError, exportWorkbookAndOpen(
                                              table,
                                              [&called](const QUrl&) {
                                                called = true;
                                                return true;
                                              },
                                              missing));
  QVERIFY(!called);
  QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

VANTRELIS_GUILESS_TEST_MAIN(WorkbookOpenerTest)
#include "workbook_opener_test.moc"
