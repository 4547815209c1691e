#include "store/journal_recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "store/file_descriptor.h"
#include "store/journal_folder.h"
#include "store/journal_replay.h"
#include "store/posix_io.h"
#include "store/session_journal.h"
#include "store/stored_row.h"
#include "text/message.h"

namespace vantrelis {
namespace {

constexpr const char* kDamagedName = "damaged";
// Journals locked at once while their rows are taken.
constexpr size_t kBatch = 32;

// Loads the rows of a journal that holds nothing but loads of rows (an
// import's journal) straight into `table` as its records are read: their
// order in the file is their display order. False when the header cannot
// be read.
bool StreamLoadedRows(int fd, ContactTable& table) {
  journal::Header header;
  if (journal::ReadHeader(fd, header) != journal::HeaderState::Complete) return false;
  journal::ScanRecords(fd, header.id.nonce, [&](journal::RecordKind kind, std::span<const uint8_t> payload) {
    if (kind != journal::RecordKind::RowsLoaded || payload.size() < journal::kRowsLoadedHead) return true;
    std::span<const uint8_t> rows = payload.subspan(journal::kRowsLoadedHead);
    while (!rows.empty()) {
      const size_t size = CheckedStoredRowSize(rows);
      if (size == 0) return false;
      std::memcpy(table.LoadRowSpace(), rows.data(), size);
      table.LoadStoredRow();
      rows = rows.subspan(size);
    }
    return true;
  });
  return true;
}

std::string List(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// The names in the open folder `folder` that look like journals, sorted.
std::vector<std::string> JournalNames(int folder) {
  std::vector<std::string> names;
  FileDescriptor listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (listing.get() < 0) return names;
  DIR* dir = ::fdopendir(listing.get());
  if (dir == nullptr) return names;
  listing.release();  // the listing owns it now
  while (dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (IsJournalName(name)) names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

enum class Opened { Journal, Odd, Foreign, Held, Gone };

// Opens the journal `name` of `folder` for reading, checked to be a regular
// file of the user's own, locked, and still the file of that name.
Opened OpenJournal(int folder, const std::string& name, const JournalRecovery::OpenHook& hook,
                   FileDescriptor& fd) {
  struct stat named {};
  if (::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) return Opened::Gone;
  if (!S_ISREG(named.st_mode)) return Opened::Odd;
  if (named.st_uid != ::geteuid()) return Opened::Foreign;
  // Never follows a link, never waits for a writer of a pipe put there meanwhile.
  fd.reset(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? Opened::Gone : Opened::Odd;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return Opened::Odd;
  if (info.st_uid != ::geteuid()) return Opened::Foreign;
  if (hook) hook(name);
  // A journal its session still holds is that session's.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return Opened::Held;
  // Locked: still linked under its name? A session that ended normally,
  // or another recovery, may have removed it between the open and the lock.
  struct stat now {};
  if (::fstat(fd.get(), &info) != 0 || info.st_nlink == 0) return Opened::Gone;
  if (::fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(now, info))
    return Opened::Gone;
  return Opened::Journal;
}

// The damaged/ folder beside the journals, made if missing; -1 when it
// cannot be had as a private folder of the user's own.
FileDescriptor OpenDamagedFolder(int folder) {
  if (::mkdirat(folder, kDamagedName, 0700) != 0 && errno != EEXIST) return FileDescriptor();
  FileDescriptor damaged(::openat(folder, kDamagedName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (damaged.get() < 0 || ::fstat(damaged.get(), &info) != 0 || info.st_uid != ::geteuid())
    return FileDescriptor();
  if ((info.st_mode & 077) != 0) (void)::fchmod(damaged.get(), 0700);
  return damaged;
}

// Moves the journal `name` into the damaged/ folder; false when it cannot.
bool MoveAside(int folder, const std::string& name) {
  const FileDescriptor damaged = OpenDamagedFolder(folder);
  if (damaged.get() < 0) return false;
  if (::renameat(folder, name.c_str(), damaged.get(), name.c_str()) != 0) return false;
  (void)::fsync(damaged.get());
  return true;
}

}  // namespace

struct JournalRecovery::Found {
  std::string name;
  SessionId id;
  int32_t rows = 0;
  int32_t damaged = 0;
  std::vector<SessionId> absorbed;
  bool absorbedElsewhere = false;
  std::string resultPage;
  bool resultPageReopens = true;
  // It holds nothing but loads of rows, in the order of their slots.
  bool onlyLoads = false;
  bool taken = false;  // its rows were taken (or it was found gone)
  bool done = false;   // removed, moved aside or found gone
};

std::string JournalRecovery::DamagedFolder(const std::string& folder) { return folder + "/" + kDamagedName; }

JournalRecovery::JournalRecovery(const std::string& folder, OpenHook betweenOpenAndLock)
    : m_folder(folder), m_hook(std::move(betweenOpenAndLock)) {
  // A folder refused as unsafe is never read; the session's journal tells why.
  const JournalFolderAccess access = OpenJournalFolder(folder, false);
  if (access.fd.get() < 0) return;
  const int dir = access.fd.get();

  std::vector<std::string> odd;
  std::vector<std::string> foreign;
  for (const std::string& name : JournalNames(dir)) {
    const std::string path = folder + "/" + name;
    FileDescriptor fd;
    switch (OpenJournal(dir, name, m_hook, fd)) {
      case Opened::Odd: odd.push_back(name); continue;
      case Opened::Foreign: foreign.push_back(name); continue;
      case Opened::Held:
      case Opened::Gone: continue;
      case Opened::Journal: break;
    }
    JournalContents contents(false);
    const JournalRead read = ReadJournal(fd.get(), contents);
    switch (read.header) {
      case journal::HeaderState::Later:
        m_notices.push_back(
            "Le journal de session " + path +
            " est dans un format que cette version de Vantrelis ne connaît pas : il est laissé "
            "tel quel");
        continue;
      case journal::HeaderState::Damaged:
        // Nothing of it can be read: kept aside, never removed unread.
        if (MoveAside(dir, name)) {
          m_notices.push_back("Le journal de session " + path +
                              " est illisible (son en-tête est endommagé) : il a "
                              "été mis de côté dans " +
                              DamagedFolder(folder));
        } else {
          m_notices.push_back("Le journal de session " + path +
                              " est illisible (son en-tête est endommagé) : il est laissé tel quel");
        }
        continue;
      case journal::HeaderState::Empty:
      case journal::HeaderState::Complete: break;
    }
    auto found = std::make_unique<Found>();
    found->name = name;
    found->id = read.id;
    found->rows = contents.RowCount();
    found->damaged = read.scan.damaged;
    found->absorbed = contents.Absorbed();
    found->resultPage = contents.ResultPage();
    found->resultPageReopens = contents.ResultPageReopens();
    found->onlyLoads = contents.OnlyLoads();
    if (found->damaged > 0) {
      m_notices.push_back("Journal de session " + path + " : " +
                          Counted(found->damaged, "enregistrement", "enregistrements") +
                          (found->damaged > 1 ? " illisibles ignorés" : " illisible ignoré") +
                          " ; une fois ses contacts repris, il sera mis de côté dans " +
                          DamagedFolder(folder));
    }
    m_found.push_back(std::move(found));
  }
  if (!odd.empty()) {
    m_notices.push_back("Ces fichiers du dossier des journaux " + folder +
                        " ne sont pas des journaux ordinaires (lien, dossier, tube ou périphérique) et sont "
                        "ignorés : " +
                        List(odd));
  }
  if (!foreign.empty()) {
    m_notices.push_back("Ces fichiers du dossier des journaux " + folder +
                        " appartiennent à un autre utilisateur et sont ignorés : " + List(foreign));
  }
  std::stable_sort(m_found.begin(), m_found.end(),
                   [](const auto& a, const auto& b) { return a->id < b->id; });

  // A journal whose rows another one found here took over gives none itself.
  std::set<SessionId> absorbed;
  for (const auto& found : m_found) absorbed.insert(found->absorbed.begin(), found->absorbed.end());
  for (const auto& found : m_found) found->absorbedElsewhere = absorbed.count(found->id) > 0;
}

JournalRecovery::~JournalRecovery() = default;

int32_t JournalRecovery::RowCount() const {
  int32_t rows = 0;
  for (const auto& found : m_found) {
    if (!found->absorbedElsewhere && !found->taken) rows += found->rows;
  }
  return rows;
}

const JournalRecovery::Found* JournalRecovery::LastHarvesting() const {
  for (auto found = m_found.rbegin(); found != m_found.rend(); ++found) {
    if (!(*found)->resultPage.empty()) return found->get();
  }
  return nullptr;
}

std::string JournalRecovery::ResumePage() const {
  const Found* last = LastHarvesting();
  return last == nullptr ? std::string() : last->resultPage;
}

bool JournalRecovery::ResumePageReopens() const {
  const Found* last = LastHarvesting();
  return last == nullptr || last->resultPageReopens;
}

bool JournalRecovery::KeepOnlyResumable() {
  const Found* last = LastHarvesting();
  std::erase_if(m_found, [last](const std::unique_ptr<Found>& found) { return found.get() != last; });
  if (m_found.empty()) return false;
  m_found.front()->absorbedElsewhere = false;
  return true;
}

// A journal found, locked again to be taken or removed.
class JournalRecovery::Taken {
 public:
  Taken(Found& found, FileDescriptor fd) : m_found(found), m_fd(std::move(fd)) {}

  // Removes the file, or moves it aside when it held damage; while it is
  // still locked, so that no one takes it meanwhile.
  void Dispose(int folder) noexcept {
    if (m_found.damaged > 0) {
      (void)MoveAside(folder, m_found.name);
    } else {
      (void)::unlinkat(folder, m_found.name.c_str(), 0);
    }
    m_found.done = true;
  }

 private:
  Found& m_found;
  FileDescriptor m_fd;
};

void JournalRecovery::AddRowsTo(ContactTable& table, SessionJournal* journal) {
  const JournalFolderAccess access = OpenJournalFolder(m_folder, false);
  if (access.fd.get() < 0) return;
  const int dir = access.fd.get();
  const bool keepAside = journal == nullptr || !journal->Writing();
  table.BeginLoad();
  try {
    for (size_t first = 0; first < m_found.size(); first += kBatch) {
      std::vector<Taken> batch;
      std::vector<SessionId> taken;
      for (size_t i = first; i < std::min(first + kBatch, m_found.size()); ++i) {
        Found& found = *m_found[i];
        if (found.taken || found.done) continue;
        found.taken = true;
        FileDescriptor fd;
        if (OpenJournal(dir, found.name, m_hook, fd) != Opened::Journal) {
          found.done = true;  // removed or taken meanwhile
          continue;
        }
        if (found.onlyLoads) {
          // As found: its rows stream in, in the order of the file.
          taken.push_back(found.id);
          taken.insert(taken.end(), found.absorbed.begin(), found.absorbed.end());
          if (!found.absorbedElsewhere && !StreamLoadedRows(fd.get(), table)) continue;
        } else {
          JournalContents contents(true);
          const JournalRead read = ReadJournal(fd.get(), contents);
          if (read.header != journal::HeaderState::Complete && read.header != journal::HeaderState::Empty)
            continue;
          taken.push_back(found.id);
          taken.insert(taken.end(), contents.Absorbed().begin(), contents.Absorbed().end());
          if (!found.absorbedElsewhere) {
            contents.ForEachRow([&](std::span<const uint8_t> row, std::string_view address) {
              std::memcpy(table.LoadRowSpace(), row.data(), row.size());
              table.LoadStoredRow(address);
            });
          }
        }
        batch.emplace_back(found, std::move(fd));
      }
      if (keepAside) continue;  // the journals stay the only copy on disk
      // Durable here first, then gone there.
      std::sort(taken.begin(), taken.end());
      taken.erase(std::unique(taken.begin(), taken.end()), taken.end());
      journal->NoteAbsorbed(taken);
      if (!journal->Writing()) continue;
      for (Taken& t : batch) t.Dispose(dir);
      (void)::fsync(dir);
    }
  } catch (...) {
    table.EndLoad();
    throw;
  }
  table.EndLoad();
}

void JournalRecovery::RemoveJournals() noexcept {
  const JournalFolderAccess access = OpenJournalFolder(m_folder, false);
  if (access.fd.get() < 0) return;
  const int dir = access.fd.get();
  bool removed = false;
  for (const auto& found : m_found) {
    if (found->done) continue;
    FileDescriptor fd;
    if (OpenJournal(dir, found->name, m_hook, fd) != Opened::Journal) continue;
    Taken(*found, std::move(fd)).Dispose(dir);
    removed = true;
  }
  if (removed) (void)::fsync(dir);
}

bool RebuildFromJournal(const std::string& path, ContactTable& table) {
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return false;
  JournalContents contents(true);
  const JournalRead read = ReadJournal(fd.get(), contents);
  if (read.header != journal::HeaderState::Complete && read.header != journal::HeaderState::Empty)
    return false;
  table.BeginLoad();
  try {
    contents.ForEachRow([&](std::span<const uint8_t> row, std::string_view address) {
      std::memcpy(table.LoadRowSpace(), row.data(), row.size());
      table.LoadStoredRow(address);
    });
  } catch (...) {
    table.EndLoad();
    throw;
  }
  table.EndLoad();
  return true;
}

}  // namespace vantrelis
