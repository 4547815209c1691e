// The one way every file of the program is saved: the new content is
// written unnamed beside the target and takes the target's name only once it
// is complete, so that the target holds the whole old or the whole new file
// at every moment and a failed or killed save leaves nothing behind.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace vantrelis {

// A file that could not be created, written or opened; the message is the
// French text shown to the user.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a save's writer puts the new content.
struct SaveTarget {
  int fd = -1;         // open for writing, at offset 0
  std::string name;    // a name that opens the same file (for libraries that open by name)
  std::string folder;  // the target's folder, for the writer's own scratch files; empty: none
};

// The French reason for a system error number, such as "disque plein".
std::string FileErrorReason(int error);

// Replaces the file at `path` with what `write` puts into the target it is
// given. A symbolic link is written through; an existing file keeps its
// owner, group and mode; a pipe or a device is written directly. Throws
// FileError "Impossible de créer le fichier <path> : <reason>" when no new
// file can be made beside the target or the target may not be written, and
// "Erreur d'écriture dans le flux du fichier <path> : <reason>" when the
// content cannot be made durable. Whatever `write` throws is passed on after
// the new file has been discarded.
void SaveFile(const std::string& path, const std::function<void(const SaveTarget&)>& write);

namespace save_internal {

// Makes saves act as on a file system without unnamed files (for tests of
// the named-temporary path); false restores the normal behaviour.
void SetUnnamedFilesDisabled(bool disabled);

}  // namespace save_internal

}  // namespace vantrelis
