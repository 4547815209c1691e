// The semicolon-separated contact file: writing and reading.
#pragma once

#include <stdexcept>
#include <string>

#include "store/contact_table.h"

namespace vantrelis {

// A file that could not be created, written or opened; the message is the
// French text shown to the user.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes every committed row in display order to `path` (replacing it only
// once every line is written). Throws FileError.
void SaveCsvFile(const ContactTable& table, const std::string& path);

// Settles the open row, then adds one committed row per line of `path` and
// resets the display order to the storage order. Throws FileError.
void LoadCsvFile(ContactTable& table, const std::string& path);

}  // namespace vantrelis
