// The session journal: every change of a session's contact table, kept on
// disk while the session lives, so that the rows of a session that did not
// end normally (a crash, a kill, a power cut) can be given back by the next.
#pragma once

#include <atomic>
#include <compare>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "store/contact_table.h"

namespace vantrelis {

// The folder of the journals: $XDG_STATE_HOME/vantrelis when that variable
// holds an absolute path, else ~/.local/state/vantrelis.
std::string JournalFolder();

// One session: when it started (microseconds since the epoch), its process
// and a random number that tells apart sessions of one process.
// Bytes of journal records; growing them leaves the new bytes to be written
// rather than clearing them first.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  using std::allocator<T>::allocator;
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using JournalBytes = std::vector<char, UninitializedAllocator<char>>;

struct SessionId {
  int64_t started = 0;
  int32_t pid = 0;
  uint32_t nonce = 0;
  friend auto operator<=>(const SessionId&, const SessionId&) = default;
};

// Keeps the journal of one table for as long as it lives: a file in the
// journal folder (made 0700) of mode 0600, locked against every other
// session, holding a versioned header and then one record per change of the
// table, each with its length and checksum. The table's own operations are
// recorded as the table reports them, so that applying them again rebuilds
// the same table.
//
// Records are written as they come, by a writer thread, so that a large
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

  // Makes every record so far durable; returns once it is on disk.
  void Sync() noexcept;
  // The session ends normally: the journal is removed; nothing is recorded
  // afterwards. The file is closed by the writer thread, which the
  // destructor waits for.
  void End() noexcept;
  // Records that the rows of these sessions' journals are now in this one,
  // so that a later recovery does not give them back twice.
  void NoteAbsorbed(const std::vector<SessionId>& sessions) noexcept;

  // False once the journal could not be created or written, or has ended.
  bool Writing() const { return m_fd >= 0 && !m_failed; }
  const std::string& Path() const { return m_path; }
  SessionId Id() const { return m_id; }

 private:
  struct Job;
  void Open();
  // Writer thread: puts the header on disk, then the file's name in the
  // folder; returns 0 or the errno of the failure.
  int GiveName() noexcept;
  void CloseNamingFolder() noexcept;
  void AppendRecord(const TableChange& change);
  void AppendLoadRow(const RowValues& values);
  void AppendLoadedRows(const TableChange& change);
  void Fail(const std::string& reason) noexcept;
  void CheckWriter() noexcept;
  void HandOff(bool wait) noexcept;
  void Enqueue(Job job, bool wait) noexcept;
  void WriterLoop();
  void Stop() noexcept;

  ContactTable& m_table;
  std::string m_folder;
  FailureHandler m_onFailure;
  std::string m_path;
  SessionId m_id;
  int m_fd = -1;
  // Until the writer has named the file: the folder and the name.
  int m_namingFolder = -1;
  std::string m_name;
  bool m_failed = false;
  bool m_loading = false;
  bool m_unsyncedData = false;
  JournalBytes m_buffer;  // records not yet handed to the writer

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
  bool m_stopping = false;
};

// Applies the records of the journal at `path` to `table`, a new one: the
// table then stands as it did when the last complete record was written, its
// open row still open. False, with nothing applied, when the file cannot be
// read or is not in a format this version knows.
bool RebuildFromJournal(const std::string& path, ContactTable& table);

// The journals left by sessions that did not end normally, found in a folder
// and rebuilt. Each is locked while this object holds it, so that no other
// session recovers it at the same time; the files stay unless removed.
class JournalRecovery {
 public:
  // Looks at every journal of `folder` that no running session holds. A
  // journal cut short gives back every complete record; one in a format this
  // version does not know is left alone, with a notice.
  explicit JournalRecovery(const std::string& folder);
  ~JournalRecovery();
  JournalRecovery(const JournalRecovery&) = delete;
  JournalRecovery& operator=(const JournalRecovery&) = delete;

  // How many rows AddRowsTo would add: those of every journal's table once
  // its open row is settled.
  int32_t RowCount() const;
  // The number of journals found (those left alone not counted).
  int32_t JournalCount() const { return static_cast<int32_t>(m_found.size()); }
  // French notices about journals left alone.
  const std::vector<std::string>& Notices() const { return m_notices; }

  // Adds the rows of every journal, oldest session first, each in its display
  // order, after the rows of `table`; the current row becomes the one that
  // was current in the last journal. Once added, the rows are noted as
  // absorbed by `journal` (when given) and made durable there. Throws what
  // the table throws.
  void AddRowsTo(ContactTable& table, SessionJournal* journal);
  // Removes the journals found; they are of no further use.
  void RemoveJournals() noexcept;

 private:
  struct Found;
  std::string m_folder;
  std::vector<std::unique_ptr<Found>> m_found;
  std::vector<std::string> m_notices;
};

}  // namespace vantrelis
