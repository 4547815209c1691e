#include "app/workbook_opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <stdexcept>

#include "app/busy_cursor.h"
#include "app/messages.h"
#include "store/workbook_export.h"

namespace vantrelis {

QString reserveWorkbookPath(const QString& folder, const QDateTime& when) {
  const QString stem =
      QStringLiteral("Vantrelis-") + when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss-zzz"));
  const QDir dir(folder);
  for (int attempt = 1;; ++attempt) {
    const QString name =
        attempt == 1 ? stem + QStringLiteral(".xlsx") : QStringLiteral("%1-%2.xlsx").arg(stem).arg(attempt);
    QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return path;
    // A name that exists is skipped; any other failure is the folder's.
    if (!file.exists()) {
      throw WorkbookError(QString::fromUtf8(messages::kWorkbookNotWritten)
                              .arg(QDir::toNativeSeparators(path), file.errorString())
                              .toStdString());
    }
  }
}

QString exportWorkbookAndOpen(DataSet& table, const UrlOpener& open, const QString& folder) {
  QString target = folder;
  if (target.isEmpty()) target = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  QString path = reserveWorkbookPath(target, QDateTime::currentDateTime());
  try {
    const BusyCursor writing;
    DataSetToExcel(table).Export(QFile::encodeName(path).toStdString());
  } catch (...) {
    QFile::remove(path);
    throw;
  }

  const QUrl url = QUrl::fromLocalFile(path);
  const bool opened = open ? open(url) : QDesktopServices::openUrl(url);
  if (!opened) {
    throw std::runtime_error(
        QString::fromUtf8(messages::kWorkbookNotOpened).arg(QDir::toNativeSeparators(path)).toStdString());
  }
  return path;
}

}  // namespace vantrelis
