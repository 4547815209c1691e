// The semicolon-separated contact file: writing and reading.
#pragma once

#include <string>

#include "store/contact_table.h"
#include "store/save_file.h"

namespace vantrelis {

// Writes every committed row in display order to `path` through SaveFile:
// the file is replaced only once every line is written. Throws FileError.
void SaveCsvFile(const ContactTable& table, const std::string& path);

// Settles the open row, then adds one committed row per line of `path` and
// resets the display order to the storage order. Throws FileError.
void LoadCsvFile(ContactTable& table, const std::string& path);

}  // namespace vantrelis
