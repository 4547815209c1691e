// Finding the journals of sessions that did not end normally, checking that
// they are the user's own regular files, locking them one at a time and
// giving their rows back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/contact_table.h"
#include "store/journal_format.h"

namespace vantrelis {

class SessionJournal;

// Loads the rows the journal at `path` gives back into `table` (as
// AddRowsTo does for one journal, without taking the journal); false when
// the file cannot be read as a journal.
bool RebuildFromJournal(const std::string& path, ContactTable& table);

// The journals left by sessions that did not end normally, found in a
// folder. Finding them reads each once, holding no more than one open at a
// time; they are locked again, one small batch at a time, when their rows
// are taken, so that no other session takes them at the same time.
class JournalRecovery {
 public:
  // Runs between opening a journal and locking it (a seam for tests).
  using OpenHook = std::function<void(const std::string& name)>;

  // Reads every journal of `folder` that no running session holds. Files
  // that are not the user's own regular files are passed over and named in
  // a notice; a journal in a format this version does not know is left
  // alone; one whose header is damaged is moved aside at once; damage
  // further on costs only the damaged records, and is told.
  explicit JournalRecovery(const std::string& folder, OpenHook betweenOpenAndLock = {});
  ~JournalRecovery();
  JournalRecovery(const JournalRecovery&) = delete;
  JournalRecovery& operator=(const JournalRecovery&) = delete;

  // How many rows AddRowsTo would add.
  int32_t RowCount() const;
  // The number of journals found (those left alone not counted).
  int32_t JournalCount() const { return static_cast<int32_t>(m_found.size()); }
  // French notices about the files passed over, left alone or damaged.
  const std::vector<std::string>& Notices() const { return m_notices; }
  // The result page of the most recent session found that was harvesting
  // when it stopped; empty when none was.
  std::string ResumePage() const;
  // Whether that page's address opens it again: false on a site whose
  // result pages all share one address (the address then opens another).
  bool ResumePageReopens() const;
  // Keeps only the most recent session found that was harvesting; false,
  // keeping nothing, when none was.
  bool KeepOnlyResumable();

  // Adds the rows of every journal found, oldest session first, each in its
  // display order, to `table` as one load (as an import does). When
  // `journal` is given and writing, the rows are made durable there, noted
  // as taken over, and the journals they came from are then removed (one
  // that held damage is moved aside instead); otherwise the journals stay.
  // A journal removed or taken by another session meanwhile is passed over.
  // Throws what the table throws.
  void AddRowsTo(ContactTable& table, SessionJournal* journal);
  // Removes the journals found that AddRowsTo did not take (one that held
  // damage is moved aside instead).
  void RemoveJournals() noexcept;

  // Where journals that held damage are kept.
  static std::string DamagedFolder(const std::string& folder);

 private:
  struct Found;
  // The most recent journal found of a harvest that was going on; null when none is.
  const Found* LastHarvesting() const;
  class Taken;
  std::string m_folder;
  OpenHook m_hook;
  std::vector<std::unique_ptr<Found>> m_found;
  std::vector<std::string> m_notices;
};

}  // namespace vantrelis
