// The window's spreadsheet export: the table as a new workbook, opened for
// the user in the desktop's program for .xlsx files.
#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>

#include "store/contact_table.h"

namespace vantrelis {

// Opens a file's URL in the desktop's program for it; false when none could.
using UrlOpener = std::function<bool(const QUrl&)>;

// A free name for a workbook exported at `when` in `folder`, such as
// "Vantrelis-2026-12-09_08-15-02-123.xlsx"; where that name is taken, "-2",
// "-3"... go before the extension. The file is created empty to reserve it.
QString reserveWorkbookPath(const QString& folder, const QDateTime& when);

// Writes the workbook of `table` to a new file in `folder` (the user's
// temporary folder when empty) and opens it with `open` (the desktop's
// default when empty). Returns the file's path. Throws WorkbookError when the
// file cannot be written, std::runtime_error naming the file when nothing
// could open it (the file stays for the user to find).
QString exportWorkbookAndOpen(DataSet& table, const UrlOpener& open = {}, const QString& folder = {});

}  // namespace vantrelis
