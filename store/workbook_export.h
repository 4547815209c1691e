// Copies a table into a new spreadsheet workbook (.xlsx).
#pragma once

#include <stdexcept>
#include <string>

#include "store/contact_table.h"
#include "store/save_file.h"

namespace vantrelis {

// A workbook that could not be written; the message names the file and why.
class WorkbookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A table-to-worksheet copier bound to a DataSet: a header row of the
// visible fields' display labels, then one text row per table row.
class DataSetToExcel {
 public:
  explicit DataSetToExcel(DataSet& dataSet) : m_dataSet(dataSet) {}

  // Writes the workbook to `path` through SaveFile (replaced only once
  // complete). Moves the table to its first row (settling the open row),
  // walks it with Next and leaves it at its last row. Throws WorkbookError
  // in French; the library's own messages are not shown.
  void Export(const std::string& path);

 private:
  void Write(const std::string& path, const SaveTarget& file);
  DataSet& m_dataSet;
};

}  // namespace vantrelis
