// The session journal's writer: records are made on the table's thread and
// written, made durable and finally removed by a writer thread of its own.
// A clear of the whole table brings it back to the state of a new table, so
// the journal is then cut back to its header.
#include "store/session_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <random>

#include "store/journal_file.h"
#include "store/posix_io.h"
#include "store/save_file.h"
#include "store/unnamed_file.h"

namespace vantrelis {
namespace {

// Records are handed to the writer in blocks of about this size during an
// import; outside one, each change is handed over at once.
constexpr size_t kHandOffAt = 1 << 20;
// Runs of loaded rows the writer leaves queued while nothing else comes.
constexpr size_t kRunsBehind = 2;
// The writer is allowed this much behind before the table waits for it.
constexpr size_t kMaxQueued = 32 << 20;

int64_t NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

struct SessionJournal::Job {
  enum Kind { kWrite, kWriteRows, kSync, kTruncate, kRemove, kStop, kClose } kind = kWrite;
  // kWrite: whole records; kWriteRows: the frame and head of a RowsLoaded record.
  JournalBytes data;
  // kWriteRows: the rows, in the table's storage, which `storage` keeps.
  std::span<const uint8_t> rows;
  std::shared_ptr<const void> storage;
  // kClose: the file's descriptor, closed by the writer.
  int fd = -1;

  Job() = default;
  explicit Job(Kind k, JournalBytes bytes = {}) : kind(k), data(std::move(bytes)) {}
};

SessionJournal::SessionJournal(ContactTable& table, const std::string& folder, FailureHandler onFailure)
    : m_table(table), m_folder(folder), m_onFailure(std::move(onFailure)) {
  Open();
  if (m_file.get() >= 0) m_table.SetChangeLog(this);
}

SessionJournal::~SessionJournal() {
  if (m_file.get() < 0) {
    if (m_writer.joinable()) m_writer.join();  // closing the file after End
    return;
  }
  m_table.SetChangeLog(nullptr);
  if (!m_failed) HandOff(true);
  Stop();
}

void SessionJournal::Open() {
  const auto cannot = [this](int error) {
    Fail("Impossible de créer le journal de session dans " + m_folder + " (" + FileErrorReason(error) +
         ") : la table reste utilisable, mais ses contacts ne pourront pas être récupérés après une panne");
  };
  JournalFolderAccess folder = OpenJournalFolder(m_folder, true);
  if (!folder.refusal.empty()) {
    m_folderRefused = true;
    Fail("Vantrelis n'utilise pas le dossier des journaux " + m_folder + " : " + folder.refusal +
         ". La table reste utilisable, mais ses contacts ne pourront pas être récupérés après une panne");
    return;
  }
  if (folder.fd.get() < 0) return cannot(folder.error);
  m_folderFd = std::move(folder.fd);

  std::random_device device;
  m_id = SessionId{NowMicros(), static_cast<int32_t>(::getpid()), device()};
  m_name = JournalFileName(m_id);
  m_header = journal::HeaderBytes(m_id);
  const std::string newName = "." + m_name + ".new";

  // Made unnamed and locked first, so that no other session ever sees it
  // unlocked; given its name only with its header on disk. That takes two
  // flushes, which the writer thread does while the session starts: until
  // the first point where the journal must be durable, which comes after
  // them, an unnamed file holds nothing that could be lost.
  FileDescriptor file(OpenUnnamedFile(m_folderFd.get(), O_RDWR));
  int error = file.get() < 0 ? errno : 0;
  if (file.get() >= 0) {
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 || ::fchmod(file.get(), 0600) != 0) {
      error = errno;
      file.reset(-1);
    } else {
      m_unnamed = true;
    }
  } else if (UnnamedFilesUnsupported(error)) {
    // A file system without unnamed files: a hidden name first, renamed
    // once the header is on disk.
    error = 0;
    file.reset(::openat(m_folderFd.get(), newName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (file.get() < 0 || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0 || ::fchmod(file.get(), 0600) != 0 ||
        WriteFullAt(file.get(), m_header.data(), m_header.size(), 0) != 0 || ::fdatasync(file.get()) != 0 ||
        ::renameat(m_folderFd.get(), newName.c_str(), m_folderFd.get(), m_name.c_str()) != 0) {
      error = errno == 0 ? EIO : errno;
      if (file.get() >= 0) {
        (void)::unlinkat(m_folderFd.get(), newName.c_str(), 0);
        file.reset(-1);
      }
    } else {
      (void)::fsync(m_folderFd.get());
    }
  }
  if (file.get() < 0) return cannot(error);

  m_file = std::move(file);
  m_path = m_folder + "/" + m_name;
  try {
    m_writer = std::thread([this, fd = m_file.get()] { WriterLoop(fd); });
  } catch (...) {
    if (!m_unnamed) (void)::unlinkat(m_folderFd.get(), m_name.c_str(), 0);
    m_file.reset(-1);
    cannot(EAGAIN);
  }
}

int SessionJournal::GiveName(int fd) noexcept {
  if (const int error = WriteFullAt(fd, m_header.data(), m_header.size(), 0)) return error;
  if (::fdatasync(fd) != 0) return errno;
  if (!LinkUnnamedFile(fd, m_folderFd.get(), m_name) || ::fsync(m_folderFd.get()) != 0) return errno;
  return 0;
}

void SessionJournal::Fail(const std::string& message) noexcept {
  if (m_failed) return;
  m_failed = true;
  m_buffer.clear();
  m_buffer.shrink_to_fit();
  if (!m_onFailure) return;
  try {
    m_onFailure(message);
  } catch (...) {
    // Telling the user must not break the table's operation.
  }
}

void SessionJournal::FailForMemory() noexcept {
  Fail("Impossible d'écrire le journal de session " + m_path +
       " (mémoire insuffisante) : ses derniers changements ne pourront pas être récupérés après une panne");
}

void SessionJournal::CheckWriter() noexcept {
  const int error = m_writeError.load(std::memory_order_relaxed);
  if (error == 0 || m_failed) return;
  Fail("Impossible d'écrire le journal de session " + m_path + " (" + FileErrorReason(error) +
       ") : la table reste utilisable, mais ses derniers changements ne pourront pas être récupérés après "
       "une panne ; exportez les contacts pour les garder");
}

void SessionJournal::Enqueue(Job job, bool wait) noexcept {
  std::unique_lock lock(m_mutex);
  m_done.wait(lock, [this] { return m_queuedBytes < kMaxQueued; });
  m_queuedBytes += job.data.size();
  m_jobs.push_back(std::move(job));
  const uint64_t ticket = ++m_posted;
  m_wake.notify_one();
  if (wait) m_done.wait(lock, [this, ticket] { return m_finished >= ticket; });
}

void SessionJournal::HandOff(bool wait) noexcept {
  if (m_file.get() < 0) return;
  try {
    if (!m_buffer.empty()) {
      Job job{Job::kWrite, std::move(m_buffer)};
      m_buffer = JournalBytes();
      // During an import the next block fills up at once: a block the
      // writer is done with is used again, its memory already in place.
      if (m_loading) {
        {
          std::lock_guard lock(m_mutex);
          if (!m_spare.empty()) {
            m_buffer = std::move(m_spare.back());
            m_spare.pop_back();
          }
        }
        m_buffer.reserve(kHandOffAt + 4096);
      }
      Enqueue(std::move(job), false);
    }
    if (wait) Enqueue(Job(Job::kSync), true);
  } catch (...) {
    FailForMemory();
  }
}

void SessionJournal::WriterLoop(int fd) {
  int error = m_unnamed ? GiveName(fd) : 0;
  if (error != 0) {
    std::lock_guard lock(m_mutex);
    m_writeError.store(error);
  }
  JournalFile file(fd, m_header, m_id.nonce);
  for (;;) {
    Job job;
    {
      std::unique_lock lock(m_mutex);
      // A run of loaded rows is taken once something has come after it: by
      // then the table has stored the next run, and this one's bytes have
      // left the cache of the processor that stored them, from where they
      // are read several times slower than from memory.
      m_wake.wait(lock, [this] {
        if (m_jobs.empty()) return false;
        if (m_jobs.size() > kRunsBehind) return true;
        return std::any_of(m_jobs.begin(), m_jobs.end(),
                           [](const Job& j) { return j.kind != Job::kWriteRows; });
      });
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    if (error == 0) {
      switch (job.kind) {
        case Job::kWrite:
          journal::SealRecords(job.data.data(), job.data.size(), m_id.nonce);
          error = file.Append(job.data.data(), job.data.size());
          break;
        case Job::kWriteRows:
          error = file.AppendRecord(job.data.data(), job.data.size(), job.rows.data(), job.rows.size());
          break;
        case Job::kSync: error = file.Sync(); break;
        case Job::kTruncate: error = file.Truncate(); break;
        case Job::kRemove:
        case Job::kStop:
        case Job::kClose: break;
      }
    }
    // Removed while still locked, so that no other session takes it for one
    // that did not end normally, and durably, so that a power cut just after
    // does not offer its rows again.
    if (job.kind == Job::kRemove && ::unlinkat(m_folderFd.get(), m_name.c_str(), 0) == 0) {
      (void)::fsync(m_folderFd.get());
    }
    if (job.kind == Job::kClose) (void)FileDescriptor(job.fd).Close();
    std::lock_guard lock(m_mutex);
    m_queuedBytes -= job.data.size();
    ++m_finished;
    if (job.data.capacity() >= kHandOffAt && m_spare.size() < kMaxQueued / kHandOffAt) {
      job.data.clear();
      m_spare.push_back(std::move(job.data));
    }
    if (error != 0 && m_writeError.load() == 0) m_writeError.store(error);
    m_done.notify_all();
    if (job.kind == Job::kStop || job.kind == Job::kClose) return;
  }
}

void SessionJournal::Stop() noexcept {
  if (!m_writer.joinable()) return;
  Enqueue(Job(Job::kStop), false);
  m_writer.join();
}

void SessionJournal::Record(const TableChange& change) noexcept {
  if (!Writing()) return;
  try {
    bool durableNow = false;
    switch (change.event) {
      case TableEvent::RowStored: {
        const bool sameAsOpen =
            change.pendingSerial != 0 && change.pendingSerial == m_openSerial &&
            change.address == m_openAddress &&
            std::equal(change.rows.begin(), change.rows.end(), m_openRow.begin(), m_openRow.end());
        if (change.pendingSerial != 0 && change.pendingSerial == m_openSerial) m_openSerial = 0;
        journal::AppendRow(m_buffer, change.slot, change.before, change.pendingSerial, change.address,
                           change.rows);
        // A row already on disk whole, as the pending row it was, is safe
        // until the next point of durability.
        durableNow = change.before != kUnplaced && !m_loading && !sameAsOpen;
        break;
      }
      case TableEvent::RowDeleted:
        journal::AppendNumber(m_buffer, journal::RecordKind::Delete, static_cast<uint32_t>(change.slot));
        durableNow = true;
        break;
      case TableEvent::PendingDropped:
        if (change.pendingSerial == 0 || change.pendingSerial != m_openSerial) return;
        m_openSerial = 0;
        journal::AppendNumber(m_buffer, journal::RecordKind::DropOpen, change.pendingSerial);
        durableNow = true;
        break;
      case TableEvent::Cleared:
        // The table is as new again: so is the journal, but for what the
        // session took over and where its harvest stands.
        m_buffer.clear();
        m_openSerial = 0;
        Enqueue(Job(Job::kTruncate), false);
        WriteNotes();
        durableNow = !m_buffer.empty();
        break;
      case TableEvent::LoadBegun:
        m_loading = true;
        journal::AppendMark(m_buffer, journal::RecordKind::LoadBegun);
        break;
      case TableEvent::RowsLoaded: {
        // The rows go from the table's storage to the file as they are: the
        // writer seals them and writes them while the load goes on.
        HandOff(false);  // what came before them first
        Job job(Job::kWriteRows);
        job.rows = change.rows;
        job.storage = change.storage;
        journal::AppendRowsLoadedHead(job.data, change.slot, change.rowCount, change.rows.size());
        Enqueue(std::move(job), false);
        CheckWriter();
        return;
      }
      case TableEvent::LoadEnded:
        m_loading = false;
        journal::AppendMark(m_buffer, journal::RecordKind::LoadEnded);
        durableNow = true;
        break;
    }
    if (durableNow) {
      HandOff(true);
    } else if (!m_loading || m_buffer.size() >= kHandOffAt) {
      HandOff(false);
    }
    if (change.event == TableEvent::LoadEnded) {
      // The blocks kept for the import's pace are not needed any more.
      std::lock_guard lock(m_mutex);
      m_spare.clear();
    }
    CheckWriter();
  } catch (...) {
    FailForMemory();
  }
}

void SessionJournal::WriteOpenRow() {
  std::optional<ContactTable::PendingRowImage> pending = m_table.PendingRow();
  if (!pending) return;
  if (pending->serial == m_openSerial && pending->address == m_openAddress && pending->row == m_openRow)
    return;
  journal::AppendOpen(m_buffer, pending->serial, pending->before, pending->address, pending->row);
  m_openSerial = pending->serial;
  m_openAddress = std::move(pending->address);
  m_openRow = std::move(pending->row);
}

void SessionJournal::WriteNotes() {
  if (!m_absorbed.empty()) journal::AppendAbsorbed(m_buffer, m_absorbed);
  if (!m_resultPage.empty()) journal::AppendResultPage(m_buffer, m_resultPage, m_resultPageReopens);
}

template <typename Write>
void SessionJournal::WriteAfterTable(Write&& write, bool durable) noexcept {
  try {
    m_table.FlushChangeLog();
    write();
  } catch (...) {
    FailForMemory();
    return;
  }
  HandOff(durable);
  CheckWriter();
}

void SessionJournal::Sync() noexcept {
  if (!Writing()) return;
  WriteAfterTable([this] { WriteOpenRow(); }, true);
}

void SessionJournal::NoteAbsorbed(const std::vector<SessionId>& sessions) noexcept {
  if (!Writing() || sessions.empty()) return;
  try {
    m_table.FlushChangeLog();
    journal::AppendAbsorbed(m_buffer, sessions);
    m_absorbed.insert(m_absorbed.end(), sessions.begin(), sessions.end());
  } catch (...) {
    FailForMemory();
    return;
  }
  Sync();
}

void SessionJournal::NoteResultPage(const std::string& url, bool addressReopens) noexcept {
  if (!Writing() || url.empty()) return;
  WriteAfterTable(
      [&] {
        journal::AppendResultPage(m_buffer, url, addressReopens);
        m_resultPage = url;
        m_resultPageReopens = addressReopens;
      },
      false);
}

void SessionJournal::NoteHarvestEnded() noexcept {
  if (!Writing() || m_resultPage.empty()) return;
  WriteAfterTable(
      [this] {
        journal::AppendMark(m_buffer, journal::RecordKind::HarvestEnded);
        m_resultPage.clear();
      },
      true);
}

void SessionJournal::End() noexcept {
  if (m_file.get() < 0) return;
  m_table.SetChangeLog(nullptr);
  // The writer gives the file its name: it removes it too, after that.
  // Closing gives the file's blocks back, which takes a while for a large
  // journal: the writer does it while the session goes on ending.
  m_buffer.clear();
  Enqueue(Job(Job::kRemove), true);
  Job close(Job::kClose);
  close.fd = m_file.release();
  Enqueue(std::move(close), false);
}

}  // namespace vantrelis
