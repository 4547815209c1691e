// The session journal file:
//
//   header (40 bytes): "VANTJRNL", version (u32, 2), header size (u32, 40),
//     session start in microseconds (i64), process id (i32), nonce (u32),
//     a reserved u32, then the CRC-32C of the 36 bytes before it;
//   records: payload length (u32), CRC-32C of the length's four bytes and
//     the payload (u32), payload.
//
// A payload starts with its kind: 1 + a TableOperation, then that
// operation's argument (SetFieldText: field byte and the stored text;
// MoveTo: the row as i32; LoadRow: nine length bytes, 255 for no value, then
// the texts as stored; LoadRows: the number of rows (u32), then the rows,
// each as a LoadRow's argument), or kAbsorbed with the sessions whose rows
// this journal took over. Numbers are little-endian.
//
// Version 1 had no LoadRows: its journals are read as they are.
//
// A clear of the whole table brings it back to the state of a new table, so
// the journal is then cut back to its header.
#include "store/session_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>

#include "store/crc32c.h"
#include "store/save_file.h"

namespace vantrelis {
namespace {

constexpr char kMagic[8] = {'V', 'A', 'N', 'T', 'J', 'R', 'N', 'L'};
constexpr uint32_t kVersion = 2;
constexpr uint32_t kOldestVersion = 1;
constexpr size_t kHeaderSize = 40;
constexpr size_t kFrameSize = 8;
constexpr uint32_t kMaxPayload = 4 << 20;
constexpr uint8_t kAbsorbed = 0x40;
constexpr uint8_t kLastOperation = static_cast<uint8_t>(TableOperation::LoadRows);
// A LoadRows payload: its kind, the row count, the rows.
constexpr size_t kLoadRowsHead = 5;
static_assert(kLoadRunBytes + kStoredRowMax + kLoadRowsHead <= kMaxPayload);

// Records are handed to the writer in blocks of about this size during an
// import; outside one, each change is handed over at once.
constexpr size_t kHandOffAt = 1 << 20;
// Runs of loaded rows the writer leaves queued while nothing else comes.
constexpr size_t kRunsBehind = 2;
// The writer is allowed this much behind before the table waits for it.
constexpr size_t kMaxQueued = 32 << 20;
// Written data is pushed to the disk in steps of this size, so that the
// flush at the end of an import finds little left to do.
constexpr uint64_t kWritebackStep = 8 << 20;

constexpr std::string_view kPrefix = "session-";
constexpr std::string_view kSuffix = ".journal";

template <typename Bytes>
void PutU32(Bytes& out, uint32_t v) {
  const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                         static_cast<char>(v >> 24)};
  out.insert(out.end(), bytes, bytes + 4);
}

template <typename Bytes>
void PutU64(Bytes& out, uint64_t v) {
  PutU32(out, static_cast<uint32_t>(v));
  PutU32(out, static_cast<uint32_t>(v >> 32));
}

uint32_t GetU32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint64_t GetU64(const char* p) { return GetU32(p) | (static_cast<uint64_t>(GetU32(p + 4)) << 32); }

template <typename Bytes>
void PutSession(Bytes& out, const SessionId& id) {
  PutU64(out, static_cast<uint64_t>(id.started));
  PutU32(out, static_cast<uint32_t>(id.pid));
  PutU32(out, id.nonce);
}

SessionId GetSession(const char* p) {
  return SessionId{static_cast<int64_t>(GetU64(p)), static_cast<int32_t>(GetU32(p + 8)), GetU32(p + 12)};
}

std::string Header(const SessionId& id) {
  std::string header(kMagic, sizeof kMagic);
  PutU32(header, kVersion);
  PutU32(header, kHeaderSize);
  PutSession(header, id);
  PutU32(header, 0);
  PutU32(header, Crc32c(0, header.data(), header.size()));
  return header;
}

// Starts a record in `out`; returns where its frame begins.
size_t BeginRecord(JournalBytes& out, uint8_t kind) {
  const size_t start = out.size();
  out.resize(start + kFrameSize + 1);
  out[start + kFrameSize] = static_cast<char>(kind);
  return start;
}

void SetU32(char* p, uint32_t v) {
  p[0] = static_cast<char>(v);
  p[1] = static_cast<char>(v >> 8);
  p[2] = static_cast<char>(v >> 16);
  p[3] = static_cast<char>(v >> 24);
}

// Fills in the length of the record begun at `start`; its checksum is
// left to the writer thread (FillChecksums).
void EndRecord(JournalBytes& out, size_t start) {
  SetU32(out.data() + start, static_cast<uint32_t>(out.size() - start - kFrameSize));
}

// Fills in the checksum of every record of a block of whole records.
void FillChecksums(JournalBytes& block) {
  char* p = block.data();
  char* const end = p + block.size();
  while (end - p >= static_cast<ptrdiff_t>(kFrameSize)) {
    const uint32_t length = GetU32(p);
    SetU32(p + 4, Crc32c(Crc32c(0, p, 4), p + kFrameSize, length));
    p += kFrameSize + length;
  }
}

// Loaded values are kept cut to their field's width. Loading them again
// gives what the table stored: its cut at a first NUL comes out the same.
const std::array<size_t, kFieldCount> kWidths = [] {
  std::array<size_t, kFieldCount> widths{};
  for (int32_t f = 0; f < kFieldCount; ++f) widths[static_cast<size_t>(f)] = static_cast<size_t>(FieldInfoOf(static_cast<Field>(f)).width);
  return widths;
}();

bool MayCommit(TableOperation op) {
  switch (op) {
    case TableOperation::InsertRow:
    case TableOperation::AppendRow:
    case TableOperation::CommitRow:
    case TableOperation::SettleRow:
    case TableOperation::MoveFirst:
    case TableOperation::MovePrior:
    case TableOperation::MoveNext:
    case TableOperation::MoveLast:
    case TableOperation::MoveTo:
    case TableOperation::BeginLoad:
    case TableOperation::EndLoad: return true;
    default: return false;
  }
}

int64_t NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Creates `folder` and the folders above it that are missing, each 0700;
// the journal folder itself is made private if it is ours.
bool MakeFolder(const std::string& folder) {
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return false;
  if (!S_ISDIR(info.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) (void)::chmod(folder.c_str(), 0700);
  return true;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// Puts the journal's bytes into its file, after the header. Where the file
// system allows direct I/O, the bytes go from memory to the disk without a
// copy in the page cache (most of what an import's journal would cost): they
// are gathered here and written in whole blocks; whenever the file must be
// durable, the last, partial block goes through the page cache.
// Elsewhere they are written as they come, pushed to the disk step by step.
class JournalFile {
 public:
  JournalFile(int fd, const std::string& header) : m_fd(fd), m_size(header.size()), m_rangeStart(header.size()) {
    m_flags = ::fcntl(fd, F_GETFL);
    if (m_flags >= 0 && ::fcntl(fd, F_SETFL, m_flags | O_DIRECT) == 0) {
      m_stage = static_cast<char*>(std::aligned_alloc(kBlock, kStageSize));
      if (m_stage == nullptr) {
        (void)::fcntl(fd, F_SETFL, m_flags);
      } else {
        std::memcpy(m_stage, header.data(), header.size());
        m_used = header.size();
      }
    }
    m_header = header;
  }
  ~JournalFile() { std::free(m_stage); }
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;

  // Each returns 0, or the errno of the failure.
  int Append(const char* data, size_t size) {
    if (m_stage == nullptr) return AppendBuffered(data, size);
    while (size > 0) {
      const size_t take = std::min(size, kStageSize - m_used);
      std::memcpy(m_stage + m_used, data, take);
      m_used += take;
      data += take;
      size -= take;
      if (m_used == kStageSize) {
        if (const int error = WriteAll(m_stage, kStageSize, m_stageOffset)) return error;
        m_stageOffset += kStageSize;
        m_used = 0;
      }
    }
    return 0;
  }

  // Appends one record: `head` (its frame, whose checksum is filled in
  // here, then the start of its payload), then `body`, the rest of the
  // payload.
  int AppendRecord(char* head, size_t headSize, const uint8_t* body, size_t bodySize) {
    if (m_stage == nullptr || headSize + bodySize > kStageSize - kBlock) {
      uint32_t crc = Crc32c(0, head, 4);
      crc = Crc32c(crc, head + kFrameSize, headSize - kFrameSize);
      SetU32(head + 4, Crc32c(crc, body, bodySize));
      if (const int error = Append(head, headSize)) return error;
      return Append(reinterpret_cast<const char*>(body), bodySize);
    }
    // Laid into the stage whole, its checksum made while it is copied; the
    // stage is written out first when the record does not fit.
    if (m_used + headSize + bodySize > kStageSize) {
      if (const int error = WriteWholeBlocks()) return error;
    }
    char* at = m_stage + m_used;
    std::memcpy(at, head, headSize);
    const uint32_t crc = Crc32c(Crc32c(0, at, 4), at + kFrameSize, headSize - kFrameSize);
    SetU32(at + 4, CopyCrc32c(crc, at + headSize, body, bodySize));
    m_used += headSize + bodySize;
    // Written out as soon as there is a good part of it, so that little is
    // left to write when the journal must be durable.
    return m_used >= kWriteAt ? WriteWholeBlocks() : 0;
  }

  int Sync() {
    if (m_stage != nullptr) {
      // The whole blocks directly; the partial one through the page cache,
      // so that the file keeps its exact size. Only the partial block stays,
      // to be written again with what follows.
      if (const int error = WriteWholeBlocks()) return error;
      if (m_used > 0) {
        if (::fcntl(m_fd, F_SETFL, m_flags) != 0) return errno;
        const int error = WriteAll(m_stage, m_used, m_stageOffset);
        if (::fcntl(m_fd, F_SETFL, m_flags | O_DIRECT) != 0 && error == 0) return errno;
        if (error != 0) return error;
      }
    }
    return ::fdatasync(m_fd) == 0 ? 0 : errno;
  }

  void Close() {
    ::close(m_fd);
    m_fd = -1;
  }

  int Truncate() {
    if (::ftruncate(m_fd, static_cast<off_t>(m_header.size())) != 0) return errno;
    m_size = m_header.size();
    m_rangeStart = m_size;
    m_previousLength = 0;
    if (m_stage != nullptr) {
      std::memcpy(m_stage, m_header.data(), m_header.size());
      m_used = m_header.size();
      m_stageOffset = 0;
    }
    return ::fdatasync(m_fd) == 0 ? 0 : errno;
  }

 private:
  static constexpr size_t kBlock = 4096;
  // Room for the largest run of loaded rows, and large writes.
  static constexpr size_t kStageSize = 4 << 20;
  static constexpr size_t kWriteAt = 1 << 20;
  static_assert(kLoadRunBytes + kStoredRowMax + kLoadRowsHead + kFrameSize <= kStageSize - kBlock);

  // Writes the stage's whole blocks; the partial one stays, at its start.
  int WriteWholeBlocks() {
    const size_t whole = m_used / kBlock * kBlock;
    if (const int error = WriteAll(m_stage, whole, m_stageOffset)) return error;
    std::memmove(m_stage, m_stage + whole, m_used - whole);
    m_stageOffset += whole;
    m_used -= whole;
    return 0;
  }

  int WriteAll(const char* data, size_t size, uint64_t offset) {
    while (size > 0) {
      const ssize_t n = ::pwrite(m_fd, data, size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return n < 0 ? errno : ENOSPC;
      data += n;
      size -= static_cast<size_t>(n);
      offset += static_cast<uint64_t>(n);
    }
    return 0;
  }

  int AppendBuffered(const char* data, size_t size) {
    if (const int error = WriteAll(data, size, m_size)) return error;
    m_size += size;
    if (m_size - m_rangeStart >= kWritebackStep) {
      // Start writing this step out, and wait for the one before, so that
      // a long import never has much left to flush.
      (void)::sync_file_range(m_fd, static_cast<off_t>(m_rangeStart), static_cast<off_t>(m_size - m_rangeStart),
                              SYNC_FILE_RANGE_WRITE);
      if (m_previousLength > 0) {
        (void)::sync_file_range(m_fd, static_cast<off_t>(m_previousStart), static_cast<off_t>(m_previousLength),
                                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
      }
      m_previousStart = m_rangeStart;
      m_previousLength = m_size - m_rangeStart;
      m_rangeStart = m_size;
    }
    return 0;
  }

  int m_fd;
  int m_flags = 0;  // the descriptor's flags without O_DIRECT
  std::string m_header;
  // Direct I/O: the bytes from m_stageOffset (a block boundary) on.
  char* m_stage = nullptr;
  size_t m_used = 0;
  uint64_t m_stageOffset = 0;
  // Buffered: the file's size and the steps pushed to the disk.
  uint64_t m_size;
  uint64_t m_rangeStart;
  uint64_t m_previousStart = 0;
  uint64_t m_previousLength = 0;
};

}  // namespace

std::string JournalFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/vantrelis";
  std::string home;
  if (const char* h = std::getenv("HOME"); h != nullptr && h[0] != '\0') {
    home = h;
  } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  return home + "/.local/state/vantrelis";
}

// ---------------------------------------------------------------------------
// Writing

struct SessionJournal::Job {
  enum Kind { kWrite, kWriteRows, kSync, kTruncate, kRemove, kStop, kClose } kind = kWrite;
  // kWrite: whole records; kWriteRows: the frame and head of a LoadRows record.
  JournalBytes data;
  // kWriteRows: the rows, in the table's storage, which `storage` keeps.
  std::span<const uint8_t> rows;
  std::shared_ptr<const void> storage;

  Job() = default;
  explicit Job(Kind k, JournalBytes bytes = {}) : kind(k), data(std::move(bytes)) {}
};

SessionJournal::SessionJournal(ContactTable& table, const std::string& folder, FailureHandler onFailure)
    : m_table(table), m_folder(folder), m_onFailure(std::move(onFailure)) {
  Open();
  if (m_fd >= 0) m_table.SetChangeLog(this);
}

SessionJournal::~SessionJournal() {
  if (m_fd < 0) {
    if (m_writer.joinable()) m_writer.join();  // closing the file after End
    return;
  }
  m_table.SetChangeLog(nullptr);
  if (!m_failed) HandOff(true);
  Stop();
  ::close(m_fd);
  m_fd = -1;
}

void SessionJournal::Open() {
  const auto cannot = [this](int error) {
    Fail("Impossible de créer le journal de session dans " + m_folder + " (" + FileErrorReason(error) +
         ") : la table reste utilisable, mais ses contacts ne pourront pas être récupérés après une panne");
  };
  if (m_folder.empty() || !MakeFolder(m_folder)) return cannot(m_folder.empty() ? ENOENT : errno);
  const int folder = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return cannot(errno);

  std::random_device device;
  m_id = SessionId{NowMicros(), static_cast<int32_t>(::getpid()), device()};
  char name[96];
  std::snprintf(name, sizeof name, "%.*s%lld-%d-%08x%.*s", static_cast<int>(kPrefix.size()), kPrefix.data(),
                static_cast<long long>(m_id.started), m_id.pid, m_id.nonce, static_cast<int>(kSuffix.size()),
                kSuffix.data());
  const std::string newName = std::string(".") + name + ".new";

  // Made unnamed and locked first, so that no other session ever sees it
  // unlocked; given its name only with its header on disk. That takes two
  // flushes, which the writer thread does while the session starts: until
  // the first point where the journal must be durable, which comes after
  // them, an unnamed file holds nothing that could be lost.
  int fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  int error = fd < 0 ? errno : 0;
  if (fd >= 0) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fchmod(fd, 0600) != 0) {
      error = errno;
      ::close(fd);
      fd = -1;
    } else {
      m_namingFolder = folder;
      m_name = name;
    }
  } else if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) {
    // A file system without unnamed files: a hidden name first, renamed
    // once the header is on disk.
    error = 0;
    fd = ::openat(folder, newName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const std::string header = Header(m_id);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fchmod(fd, 0600) != 0 ||
        ::pwrite(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()) ||
        ::fdatasync(fd) != 0 || ::renameat(folder, newName.c_str(), folder, name) != 0) {
      error = errno == 0 ? EIO : errno;
      if (fd >= 0) {
        (void)::unlinkat(folder, newName.c_str(), 0);
        ::close(fd);
        fd = -1;
      }
    } else {
      (void)::fsync(folder);
    }
  }
  if (m_namingFolder < 0) ::close(folder);
  if (fd < 0) return cannot(error);

  m_fd = fd;
  m_path = m_folder + "/" + name;
  try {
    m_writer = std::thread([this] { WriterLoop(); });
  } catch (...) {
    if (m_namingFolder < 0) (void)::unlink(m_path.c_str());
    CloseNamingFolder();
    ::close(m_fd);
    m_fd = -1;
    cannot(EAGAIN);
  }
}

void SessionJournal::CloseNamingFolder() noexcept {
  if (m_namingFolder >= 0) ::close(m_namingFolder);
  m_namingFolder = -1;
}

int SessionJournal::GiveName() noexcept {
  const std::string header = Header(m_id);
  int error = 0;
  if (::pwrite(m_fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()) ||
      ::fdatasync(m_fd) != 0) {
    error = errno == 0 ? EIO : errno;
  } else {
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    const bool linked =
        ::linkat(AT_FDCWD, self.c_str(), m_namingFolder, m_name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        ::linkat(m_fd, "", m_namingFolder, m_name.c_str(), AT_EMPTY_PATH) == 0;
    if (!linked || ::fsync(m_namingFolder) != 0) error = errno;
  }
  CloseNamingFolder();
  return error;
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
  if (m_fd < 0) return;
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
    Fail("Impossible d'écrire le journal de session " + m_path +
         " (mémoire insuffisante) : ses derniers changements ne pourront pas être récupérés après une panne");
  }
}

void SessionJournal::WriterLoop() {
  int error = m_namingFolder >= 0 ? GiveName() : 0;
  if (error != 0) {
    std::lock_guard lock(m_mutex);
    m_writeError.store(error);
  }
  JournalFile file(m_fd, Header(m_id));
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
          FillChecksums(job.data);
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
    // that did not end normally.
    if (job.kind == Job::kRemove) (void)::unlink(m_path.c_str());
    if (job.kind == Job::kClose) file.Close();
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

void SessionJournal::AppendRecord(const TableChange& change) {
  const size_t start = BeginRecord(m_buffer, static_cast<uint8_t>(static_cast<uint8_t>(change.operation) + 1));
  switch (change.operation) {
    case TableOperation::SetFieldText:
      m_buffer.push_back(static_cast<char>(change.field));
      m_buffer.insert(m_buffer.end(), change.text.begin(), change.text.end());
      break;
    case TableOperation::MoveTo: PutU32(m_buffer, static_cast<uint32_t>(change.row)); break;
    default: break;
  }
  EndRecord(m_buffer, start);
}

void SessionJournal::AppendLoadRow(const RowValues& values) {
  // The bulk of an import: the record is sized once and filled in place.
  size_t length = 1 + kFieldCount;
  for (size_t f = 0; f < kFieldCount; ++f) {
    if (values[f]) length += std::min(values[f]->size(), kWidths[f]);
  }
  const size_t start = m_buffer.size();
  m_buffer.resize(start + kFrameSize + length);
  char* frame = m_buffer.data() + start;
  SetU32(frame, static_cast<uint32_t>(length));
  frame[kFrameSize] = static_cast<char>(static_cast<uint8_t>(TableOperation::LoadRow) + 1);
  char* lengths = frame + kFrameSize + 1;
  char* text = lengths + kFieldCount;
  for (size_t f = 0; f < kFieldCount; ++f) {
    if (!values[f]) {
      lengths[f] = static_cast<char>(kNoValueLength);
      continue;
    }
    const size_t n = std::min(values[f]->size(), kWidths[f]);
    lengths[f] = static_cast<char>(n);
    std::memcpy(text, values[f]->data(), n);
    text += n;
  }
}

void SessionJournal::AppendLoadedRows(const TableChange& change) {
  // The rows go from the table's storage to the file as they are: the
  // writer fills in the checksum and writes them while the load goes on.
  HandOff(false);  // what came before them first
  Job job(Job::kWriteRows);
  job.rows = change.storedRows;
  job.storage = change.storage;
  job.data.resize(kFrameSize + kLoadRowsHead);
  SetU32(job.data.data(), static_cast<uint32_t>(kLoadRowsHead + change.storedRows.size()));
  job.data[kFrameSize] = static_cast<char>(static_cast<uint8_t>(TableOperation::LoadRows) + 1);
  SetU32(job.data.data() + kFrameSize + 1, static_cast<uint32_t>(change.rowCount));
  Enqueue(std::move(job), false);
}

void SessionJournal::Record(const TableChange& change) noexcept {
  if (!Writing()) return;
  const TableOperation op = change.operation;
  try {
    if (op == TableOperation::LoadRows) {
      AppendLoadedRows(change);
      m_unsyncedData = true;
      CheckWriter();
      return;
    }
    if (op == TableOperation::ClearRows && !m_loading) {
      // The table is as new again: so is the journal.
      m_buffer.clear();
      m_unsyncedData = false;
      Enqueue(Job(Job::kTruncate), false);
      CheckWriter();
      return;
    }
    if (op == TableOperation::LoadRow) {
      AppendLoadRow(*change.values);
    } else {
      AppendRecord(change);
    }

    bool durableNow = false;
    switch (op) {
      case TableOperation::SetFieldText:
      case TableOperation::LoadRow: m_unsyncedData = true; break;
      case TableOperation::DeleteRow: durableNow = true; break;
      default: durableNow = m_unsyncedData && MayCommit(op); break;
    }
    if (op == TableOperation::BeginLoad) m_loading = true;
    if (op == TableOperation::EndLoad) m_loading = false;
    if (durableNow) {
      HandOff(true);
      m_unsyncedData = false;
    } else if (!m_loading || m_buffer.size() >= kHandOffAt) {
      HandOff(false);
    }
    if (op == TableOperation::EndLoad) {
      // The blocks kept for the import's pace are not needed any more.
      std::lock_guard lock(m_mutex);
      m_spare.clear();
    }
    CheckWriter();
  } catch (...) {
    Fail("Impossible d'écrire le journal de session " + m_path +
         " (mémoire insuffisante) : ses derniers changements ne pourront pas être récupérés après une panne");
  }
}

void SessionJournal::Sync() noexcept {
  if (!Writing()) return;
  m_table.FlushChangeLog();
  HandOff(true);
  m_unsyncedData = false;
  CheckWriter();
}

void SessionJournal::NoteAbsorbed(const std::vector<SessionId>& sessions) noexcept {
  if (!Writing() || sessions.empty()) return;
  try {
    const size_t start = BeginRecord(m_buffer, kAbsorbed);
    PutU32(m_buffer, static_cast<uint32_t>(sessions.size()));
    for (const SessionId& id : sessions) PutSession(m_buffer, id);
    EndRecord(m_buffer, start);
  } catch (...) {
    m_buffer.clear();
    return;
  }
  Sync();
}

void SessionJournal::End() noexcept {
  if (m_fd < 0) return;
  m_table.SetChangeLog(nullptr);
  // The writer gives the file its name: it removes it too, after that.
  // Closing gives the file's blocks back, which takes a while for a large
  // journal: the writer does it while the session goes on ending.
  Enqueue(Job(Job::kRemove), true);
  Enqueue(Job(Job::kClose), false);
  m_fd = -1;
  m_buffer.clear();
}

// ---------------------------------------------------------------------------
// Reading

namespace {

enum class HeaderState { Complete, Torn, Unknown };

HeaderState ReadHeader(int fd, SessionId& id) {
  char header[kHeaderSize];
  size_t got = 0;
  while (got < kHeaderSize) {
    const ssize_t n = ::pread(fd, header + got, kHeaderSize - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  // A header cut short is one of a journal whose creation did not end; it
  // holds nothing. Anything else not ours is left alone.
  if (std::memcmp(header, kMagic, std::min(got, sizeof kMagic)) != 0) return HeaderState::Unknown;
  if (got < 12) return HeaderState::Torn;
  if (const uint32_t version = GetU32(header + 8); version < kOldestVersion || version > kVersion) {
    return HeaderState::Unknown;
  }
  if (got < kHeaderSize) return HeaderState::Torn;
  if (GetU32(header + 12) != kHeaderSize || GetU32(header + 36) != Crc32c(0, header, 36)) {
    return HeaderState::Unknown;
  }
  id = GetSession(header + 16);
  return HeaderState::Complete;
}

// Applies one record's payload to `table`; false when it is not a record this
// version writes (then it and everything after it are dropped).
bool ApplyRecord(const char* p, size_t size, ContactTable& table, std::vector<SessionId>& absorbed) {
  const auto kind = static_cast<uint8_t>(p[0]);
  if (kind == kAbsorbed) {
    if (size < 5) return false;
    const uint32_t count = GetU32(p + 1);
    if (size != 5 + static_cast<size_t>(count) * 16) return false;
    for (uint32_t i = 0; i < count; ++i) absorbed.push_back(GetSession(p + 5 + size_t{i} * 16));
    return true;
  }
  if (kind == 0 || kind > kLastOperation + 1) return false;
  TableChange change;
  change.operation = static_cast<TableOperation>(kind - 1);
  RowValues values;
  switch (change.operation) {
    case TableOperation::SetFieldText:
      if (size < 2 || static_cast<uint8_t>(p[1]) >= kFieldCount) return false;
      change.field = static_cast<Field>(p[1]);
      change.text = std::string_view(p + 2, size - 2);
      break;
    case TableOperation::MoveTo:
      if (size != 5) return false;
      change.row = static_cast<int32_t>(GetU32(p + 1));
      break;
    case TableOperation::LoadRow: {
      if (size < 1 + kFieldCount) return false;
      size_t at = 1 + kFieldCount;
      for (int32_t f = 0; f < kFieldCount; ++f) {
        const auto length = static_cast<uint8_t>(p[1 + f]);
        if (length == kNoValueLength) continue;
        if (at + length > size) return false;
        values[static_cast<size_t>(f)] = std::string_view(p + at, length);
        at += length;
      }
      if (at != size) return false;
      change.values = &values;
      break;
    }
    case TableOperation::LoadRows:
      // The table checks the rows before it loads any.
      if (size < kLoadRowsHead || GetU32(p + 1) > static_cast<uint32_t>(INT32_MAX)) return false;
      change.rowCount = static_cast<int32_t>(GetU32(p + 1));
      change.storedRows = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(p) + kLoadRowsHead, size - kLoadRowsHead);
      break;
    default:
      if (size != 1) return false;
      break;
  }
  try {
    table.Apply(change);
  } catch (...) {
    return false;
  }
  return true;
}

// Applies every complete, intact record after the header, in order.
void Replay(int fd, ContactTable& table, std::vector<SessionId>& absorbed) {
  std::string buffer;
  size_t pos = 0;
  off_t offset = kHeaderSize;
  bool end = false;
  const auto have = [&](size_t n) {
    while (buffer.size() - pos < n) {
      if (end) return false;
      buffer.erase(0, pos);
      pos = 0;
      const size_t old = buffer.size();
      const size_t block = std::max<size_t>(1 << 20, n);
      buffer.resize(old + block);
      ssize_t got;
      do {
        got = ::pread(fd, buffer.data() + old, block, offset);
      } while (got < 0 && errno == EINTR);
      buffer.resize(old + static_cast<size_t>(std::max<ssize_t>(got, 0)));
      if (got <= 0) end = true;
      offset += std::max<ssize_t>(got, 0);
    }
    return true;
  };
  for (;;) {
    if (!have(kFrameSize)) return;
    const uint32_t length = GetU32(buffer.data() + pos);
    const uint32_t crc = GetU32(buffer.data() + pos + 4);
    if (length == 0 || length > kMaxPayload) return;
    if (!have(kFrameSize + length)) return;
    uint32_t actual = Crc32c(0, buffer.data() + pos, 4);
    actual = Crc32c(actual, buffer.data() + pos + kFrameSize, length);
    if (actual != crc) return;
    if (!ApplyRecord(buffer.data() + pos + kFrameSize, length, table, absorbed)) return;
    pos += kFrameSize + length;
  }
}

}  // namespace

bool RebuildFromJournal(const std::string& path, ContactTable& table) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  SessionId id;
  std::vector<SessionId> absorbed;
  const HeaderState state = ReadHeader(fd, id);
  if (state == HeaderState::Complete) Replay(fd, table, absorbed);
  ::close(fd);
  return state != HeaderState::Unknown;
}

struct JournalRecovery::Found {
  std::string name;
  int fd = -1;
  SessionId id;
  std::unique_ptr<ContactTable> table;
  std::vector<SessionId> absorbed;
  bool absorbedElsewhere = false;
  ~Found() {
    if (fd >= 0) ::close(fd);
  }
};

JournalRecovery::JournalRecovery(const std::string& folder) : m_folder(folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.starts_with(kPrefix) && name.ends_with(kSuffix)) names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());

  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    auto found = std::make_unique<Found>();
    found->name = name;
    found->fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (found->fd < 0 || ::fstat(found->fd, &info) != 0 || !S_ISREG(info.st_mode)) continue;
    // A journal its session still holds is that session's.
    if (::flock(found->fd, LOCK_EX | LOCK_NB) != 0) continue;
    found->table = std::make_unique<ContactTable>();
    switch (ReadHeader(found->fd, found->id)) {
      case HeaderState::Unknown:
        m_notices.push_back("Le journal de session " + path +
                            " est dans un format que cette version de Vantrelis ne connaît pas : il est laissé "
                            "tel quel");
        continue;
      case HeaderState::Torn: break;
      case HeaderState::Complete: Replay(found->fd, *found->table, found->absorbed); break;
    }
    // As it stood: an import cut short ends as a failed one does, the open
    // row is settled.
    try {
      found->table->EndLoad();
      found->table->SettleRow();
    } catch (...) {
      found->table->CancelRow();
    }
    m_found.push_back(std::move(found));
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
    if (!found->absorbedElsewhere && found->table) rows += found->table->CommittedRowCount();
  }
  return rows;
}

void JournalRecovery::AddRowsTo(ContactTable& table, SessionJournal* journal) {
  std::vector<SessionId> taken;
  int32_t current = -1;
  for (const auto& found : m_found) {
    taken.push_back(found->id);
    taken.insert(taken.end(), found->absorbed.begin(), found->absorbed.end());
    if (found->absorbedElsewhere || !found->table) continue;
    table.SettleRow();
    const int32_t base = table.RowCount();
    found->table->ForEachCommittedRow([&](auto value) {
      table.AppendRow();
      for (int32_t f = 0; f < kFieldCount; ++f) {
        if (const auto text = value(static_cast<Field>(f))) table.SetFieldText(static_cast<Field>(f), *text);
      }
      table.CommitRow();
    });
    if (found->table->CurrentRow() >= 0) current = base + found->table->CurrentRow();
    found->table.reset();
  }
  if (current >= 0 && current < table.RowCount()) table.MoveTo(current);
  if (journal != nullptr) {
    std::sort(taken.begin(), taken.end());
    taken.erase(std::unique(taken.begin(), taken.end()), taken.end());
    journal->NoteAbsorbed(taken);
  }
}

void JournalRecovery::RemoveJournals() noexcept {
  for (const auto& found : m_found) (void)::unlink((m_folder + "/" + found->name).c_str());
  if (!m_found.empty()) SyncFolder(m_folder);
  m_found.clear();
}

}  // namespace vantrelis
