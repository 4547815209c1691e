// The session journal: the rows of a session's contact table, kept on disk
// while the session lives, so that the rows of a session that did not end
// normally (a crash, a kill, a power cut) can be given back by the next.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "store/contact_table.h"
#include "store/file_descriptor.h"
#include "store/journal_folder.h"
#include "store/journal_format.h"

namespace vantrelis {

// Keeps the journal of one table for as long as it lives: a file in the
// journal folder (checked and made private, see OpenJournalFolder) of mode
// 0600, locked against every other session, holding a header and then one
// record per row or change, each in a frame with its checksums.
//
// A row reaches the journal whole: a committed row (harvested, imported,
// made or edited in the grid) as one record, and the harvest's pending row,
// whole, on Sync. Records are written by a writer thread, so that a large
// import is not held up by the disk: an import's rows are copied from the
// table's storage, a run of them per record, while the import goes on.
// They are made durable at the points that matter: when a row is committed
// or deleted, at the end of an import, and whenever Sync is called (the
// harvest calls it once per listing). When the journal cannot be created or
// written, the failure handler is told once, in French, and the table goes
// on without a journal.
class SessionJournal final : public TableChangeLog {
 public:
  using FailureHandler = std::function<void(const std::string& message)>;

  // Starts the journal of `table`, which must be new (no change made yet),
  // in `folder`, and becomes the table's change log. Never throws: a journal
  // that cannot be created tells `onFailure`.
  SessionJournal(ContactTable& table, const std::string& folder, FailureHandler onFailure = {});
  // Stops being the table's log; the file stays (and, unlocked, is one of a
  // session that did not end normally) unless End was called.
  ~SessionJournal() override;
  SessionJournal(const SessionJournal&) = delete;
  SessionJournal& operator=(const SessionJournal&) = delete;

  // TableChangeLog: appends the change's record.
  void Record(const TableChange& change) noexcept override;

  // Makes every record so far durable, and the table's pending row with
  // them when it holds values; returns once it is on disk.
  void Sync() noexcept;
  // The session ends normally: the journal is removed, durably; nothing is
  // recorded afterwards. The file is closed by the writer thread, which the
  // destructor waits for.
  void End() noexcept;
  // Records that the rows of these sessions' journals are now in this one,
  // so that a later recovery does not give them back twice; durable on return.
  void NoteAbsorbed(const std::vector<SessionId>& sessions) noexcept;
  // Records that a harvest works on the result page at `url` (durable with
  // the next listing), or that it came to its last result page (durable at
  // once), so that a recovery knows where an interrupted harvest stood.
  // `addressReopens`: false when the site's result pages share one address.
  void NoteResultPage(const std::string& url, bool addressReopens = true) noexcept;
  void NoteHarvestEnded() noexcept;
  // True while a harvest noted a result page and not its end: the journal
  // then knows where a --resume would go on.
  bool HarvestUnfinished() const { return !m_resultPage.empty(); }

  // False once the journal could not be created or written, or has ended.
  bool Writing() const { return m_file.get() >= 0 && !m_failed; }
  // True when the journal folder was refused as unsafe (see
  // OpenJournalFolder): the session runs without a journal.
  bool FolderRefused() const { return m_folderRefused; }
  const std::string& Path() const { return m_path; }
  SessionId Id() const { return m_id; }

 private:
  struct Job;
  void Open();
  // Writer thread: puts the header on disk, then the file's name in the
  // folder; returns 0 or the errno of the failure.
  int GiveName(int fd) noexcept;
  void WriteOpenRow();
  void WriteNotes();
  // Writes what the table has left to tell, then `write`'s records, and
  // hands them to the writer (waiting until they are durable when
  // `durable`); a failure to make them fails the journal.
  template <typename Write>
  void WriteAfterTable(Write&& write, bool durable) noexcept;
  void Fail(const std::string& reason) noexcept;
  void FailForMemory() noexcept;
  void CheckWriter() noexcept;
  void HandOff(bool wait) noexcept;
  void Enqueue(Job job, bool wait) noexcept;
  void WriterLoop(int fd);
  void Stop() noexcept;

  ContactTable& m_table;
  std::string m_folder;
  FailureHandler m_onFailure;
  std::string m_path;
  std::string m_name;
  SessionId m_id;
  std::string m_header;  // the journal's header bytes
  FileDescriptor m_folderFd;
  FileDescriptor m_file;
  // The file is unnamed until the writer has put its header on disk.
  bool m_unnamed = false;
  bool m_failed = false;
  bool m_folderRefused = false;
  bool m_loading = false;
  JournalBytes m_buffer;  // records not yet handed to the writer

  // The pending row last written whole (Sync), until it is committed or dropped.
  uint32_t m_openSerial = 0;
  std::string m_openAddress;
  std::vector<uint8_t> m_openRow;
  // What a clear must not forget: the sessions taken over, the harvest's page.
  std::vector<SessionId> m_absorbed;
  std::string m_resultPage;
  bool m_resultPageReopens = true;

  // The writer thread and what it has to do.
  std::thread m_writer;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_done;
  std::deque<Job> m_jobs;
  std::vector<JournalBytes> m_spare;  // written blocks, kept for reuse
  size_t m_queuedBytes = 0;
  uint64_t m_posted = 0;
  uint64_t m_finished = 0;
  std::atomic<int> m_writeError = 0;  // errno of the first failed write, set by the writer
};

}  // namespace vantrelis
