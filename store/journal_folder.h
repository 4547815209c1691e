// Where the session journals live, and whether that folder may be trusted
// with them: the journals hold the user's contacts, so no other user may
// plant, read or replace anything there.
#pragma once

#include <string>
#include <string_view>

#include "store/file_descriptor.h"
#include "store/journal_format.h"

namespace vantrelis {

// The folder of the journals: $XDG_STATE_HOME/vantrelis when that variable
// holds an absolute path, else ~/.local/state/vantrelis.
std::string JournalFolder();

// The journal folder, open, or why it is not.
struct JournalFolderAccess {
  FileDescriptor fd;    // the open folder; -1 when refused, missing or not opened
  std::string refusal;  // French: why the folder is not fit for journals (empty when it is)
  int error = 0;        // the errno of a folder that could not be made or opened
};

// Opens the journal folder at `path`, made first (mode 0700, with the
// folders above it that are missing) when `create`. The folder must belong
// to the user and give no one else write access, and so must its parent
// unless that is the user's home: otherwise it is refused. A folder of the
// user's own that is too open is made private (0700) first.
JournalFolderAccess OpenJournalFolder(const std::string& path, bool create);

// The name of session `id`'s journal in the journal folder:
// session-STARTED-PID-NONCE.journal.
std::string JournalFileName(const SessionId& id);
// True for a name with that start and end: the files recovery looks at.
bool IsJournalName(std::string_view name);

}  // namespace vantrelis
