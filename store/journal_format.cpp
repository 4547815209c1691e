#include "store/journal_format.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "store/crc32c.h"
#include "store/posix_io.h"

namespace vantrelis::journal {
namespace {

constexpr char kMagic[8] = {'V', 'A', 'N', 'T', 'J', 'R', 'N', 'L'};
// Versions 1 and 2 are read by the older reader; anything past a few
// versions ahead is no later journal but a damaged one.
constexpr uint32_t kOldestVersion = 1;
constexpr uint32_t kLatestPlausibleVersion = 64;
// Opens every record frame: bytes that no text of the code page makes
// likely, so that a search for the next record after damage rarely stops
// where there is none.
constexpr uint8_t kMarker[4] = {0xFE, 'J', 'R', 0xFD};
// How much is read from the file at once.
constexpr size_t kReadBlock = size_t{1} << 20;

template <typename Bytes>
void PutU32(Bytes& out, uint32_t v) {
  const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                         static_cast<char>(v >> 24)};
  out.insert(out.end(), bytes, bytes + 4);
}

template <typename Bytes>
void PutU16(Bytes& out, uint16_t v) {
  const char bytes[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
  out.insert(out.end(), bytes, bytes + 2);
}

template <typename Bytes>
void PutSession(Bytes& out, const SessionId& id) {
  PutU32(out, static_cast<uint32_t>(id.started));
  PutU32(out, static_cast<uint32_t>(static_cast<uint64_t>(id.started) >> 32));
  PutU32(out, static_cast<uint32_t>(id.pid));
  PutU32(out, id.nonce);
}

void SetU32(char* p, uint32_t v) {
  p[0] = static_cast<char>(v);
  p[1] = static_cast<char>(v >> 8);
  p[2] = static_cast<char>(v >> 16);
  p[3] = static_cast<char>(v >> 24);
}

uint32_t U32At(const char* p) { return journal::GetU32(reinterpret_cast<const uint8_t*>(p)); }

// Starts a record of `kind` in `out`; returns where its frame begins.
size_t BeginRecord(JournalBytes& out, RecordKind kind) {
  const size_t start = out.size();
  out.resize(start + kFrameSize + 1);
  std::memcpy(out.data() + start, kMarker, sizeof kMarker);
  out[start + kFrameSize] = static_cast<char>(kind);
  return start;
}

// Fills in the payload length of the record begun at `start`.
void EndRecord(JournalBytes& out, size_t start) {
  SetU32(out.data() + start + 4, static_cast<uint32_t>(out.size() - start - kFrameSize));
}

uint32_t HeadChecksum(const char* frame, uint32_t seed) { return Crc32c(seed, frame, 8); }

// A frame whose marker, head checksum and length hold at `p`; its payload
// length, else -1.
int64_t FrameAt(const char* p, uint32_t seed) {
  if (std::memcmp(p, kMarker, sizeof kMarker) != 0) return -1;
  if (U32At(p + 8) != HeadChecksum(p, seed)) return -1;
  const uint32_t length = U32At(p + 4);
  if (length == 0 || length > kMaxPayload) return -1;
  return length;
}

// The bytes of a journal after its header, read in blocks: at least the
// bytes asked for are in memory at once, as long as the file has them.
class Window {
 public:
  explicit Window(int fd) : m_fd(fd) {}

  // Makes the `n` bytes at file offset `at` (never before an offset asked
  // for earlier) readable; null when the file ends before.
  const char* Bytes(uint64_t at, size_t n) {
    while (at + n > m_start + m_buffer.size()) {
      if (m_end) return nullptr;
      // Drop what lies before `at`, then read on.
      const size_t drop = static_cast<size_t>(std::min<uint64_t>(at - m_start, m_buffer.size()));
      m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(drop));
      m_start += drop;
      const size_t old = m_buffer.size();
      const size_t block = std::max(kReadBlock, n);
      m_buffer.resize(old + block);
      const ssize_t got = RetryOnInterrupt(
          [&] { return ::pread(m_fd, m_buffer.data() + old, block, static_cast<off_t>(m_start + old)); });
      m_buffer.resize(old + static_cast<size_t>(std::max<ssize_t>(got, 0)));
      if (got <= 0) m_end = true;
    }
    return m_buffer.data() + (at - m_start);
  }

 private:
  int m_fd;
  JournalBytes m_buffer;
  uint64_t m_start = kHeaderSize;
  bool m_end = false;
};

// A whole journal in memory, read as Window reads a file.
class Memory {
 public:
  explicit Memory(std::span<const char> bytes) : m_bytes(bytes) {}
  const char* Bytes(uint64_t at, size_t n) const {
    return at + n <= m_bytes.size() ? m_bytes.data() + at : nullptr;
  }

 private:
  std::span<const char> m_bytes;
};

template <typename Source>
ScanReport Scan(Source& source, uint32_t seed, const RecordVisitor& visit) {
  ScanReport report;
  uint64_t at = kHeaderSize;
  // Set while a search for the next intact record runs, after damage.
  bool searching = false;
  for (;;) {
    const char* frame = source.Bytes(at, kFrameSize);
    if (frame == nullptr) {
      // The file ends here: whatever was not read whole is a torn end.
      report.tornEnd = searching || source.Bytes(at, 1) != nullptr;
      return report;
    }
    const int64_t length = FrameAt(frame, seed);
    const char* record = length < 0 ? nullptr : source.Bytes(at, kFrameSize + static_cast<size_t>(length));
    const bool intact = record != nullptr &&
                        U32At(record + 12) == Crc32c(seed, record + kFrameSize, static_cast<size_t>(length));
    if (!intact) {
      // Damage, or the end of a record cut short: look for the next intact
      // record one byte on.
      searching = true;
      ++at;
      continue;
    }
    if (searching) {
      ++report.damaged;
      searching = false;
    }
    const auto* payload = reinterpret_cast<const uint8_t*>(record + kFrameSize);
    const auto kind = static_cast<RecordKind>(payload[0]);
    if (!visit(kind, std::span<const uint8_t>(payload, static_cast<size_t>(length)))) ++report.damaged;
    at += kFrameSize + static_cast<uint64_t>(length);
  }
}

}  // namespace

uint32_t GetU32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

SessionId GetSession(const uint8_t* p) {
  const uint64_t started = GetU32(p) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
  return SessionId{static_cast<int64_t>(started), static_cast<int32_t>(GetU32(p + 8)), GetU32(p + 12)};
}

std::string HeaderBytes(const SessionId& id) {
  std::string header(kMagic, sizeof kMagic);
  PutU32(header, kVersion);
  PutU32(header, kHeaderSize);
  PutSession(header, id);
  PutU32(header, 0);
  PutU32(header, Crc32c(0, header.data(), header.size()));
  return header;
}

HeaderState ReadHeader(int fd, Header& header) {
  char bytes[kHeaderSize];
  const size_t got = ReadFullAt(fd, bytes, kHeaderSize, 0);
  // A file shorter than a header, with the header's start, is one whose
  // creation did not end: it holds nothing. A later version may lay out
  // its header otherwise: its version alone tells it. A version that is no
  // version at all is damage.
  if (std::memcmp(bytes, kMagic, std::min(got, sizeof kMagic)) != 0) return HeaderState::Damaged;
  if (got < 12) return HeaderState::Empty;
  const uint32_t version = U32At(bytes + 8);
  if (version > kVersion)
    return version <= kLatestPlausibleVersion ? HeaderState::Later : HeaderState::Damaged;
  if (got < kHeaderSize) return HeaderState::Empty;
  const bool checks = U32At(bytes + 12) == kHeaderSize && U32At(bytes + 36) == Crc32c(0, bytes, 36);
  if (!checks || version < kOldestVersion) return HeaderState::Damaged;
  header.version = version;
  header.id = GetSession(reinterpret_cast<const uint8_t*>(bytes + 16));
  return HeaderState::Complete;
}

void AppendRow(JournalBytes& out, int32_t slot, int32_t before, uint32_t serial, std::string_view address,
               std::span<const uint8_t> row) {
  const size_t start = BeginRecord(out, RecordKind::Row);
  PutU32(out, static_cast<uint32_t>(slot));
  PutU32(out, static_cast<uint32_t>(before));
  PutU32(out, serial);
  PutU16(out, static_cast<uint16_t>(address.size()));
  out.insert(out.end(), address.begin(), address.end());
  out.insert(out.end(), row.begin(), row.end());
  EndRecord(out, start);
}

void AppendOpen(JournalBytes& out, uint32_t serial, int32_t before, std::string_view address,
                std::span<const uint8_t> row) {
  const size_t start = BeginRecord(out, RecordKind::Open);
  PutU32(out, serial);
  PutU32(out, static_cast<uint32_t>(before));
  PutU16(out, static_cast<uint16_t>(address.size()));
  out.insert(out.end(), address.begin(), address.end());
  out.insert(out.end(), row.begin(), row.end());
  EndRecord(out, start);
}

void AppendNumber(JournalBytes& out, RecordKind kind, uint32_t number) {
  const size_t start = BeginRecord(out, kind);
  PutU32(out, number);
  EndRecord(out, start);
}

void AppendMark(JournalBytes& out, RecordKind kind) { EndRecord(out, BeginRecord(out, kind)); }

void AppendAbsorbed(JournalBytes& out, const std::vector<SessionId>& sessions) {
  const size_t start = BeginRecord(out, RecordKind::Absorbed);
  PutU32(out, static_cast<uint32_t>(sessions.size()));
  for (const SessionId& id : sessions) PutSession(out, id);
  EndRecord(out, start);
}

void AppendResultPage(JournalBytes& out, std::string_view url, bool addressReopens) {
  const size_t start = BeginRecord(out, RecordKind::ResultPage);
  out.push_back(addressReopens ? 0 : 1);
  out.insert(out.end(), url.begin(), url.end());
  EndRecord(out, start);
}

void AppendRowsLoadedHead(JournalBytes& out, int32_t firstSlot, int32_t rowCount, size_t rowBytes) {
  const size_t start = BeginRecord(out, RecordKind::RowsLoaded);
  PutU32(out, static_cast<uint32_t>(firstSlot));
  PutU32(out, static_cast<uint32_t>(rowCount));
  SetU32(out.data() + start + 4, static_cast<uint32_t>(kRowsLoadedHead + rowBytes));
}

void SealRecords(char* block, size_t size, uint32_t seed) {
  char* p = block;
  char* const end = p + size;
  while (end - p >= static_cast<std::ptrdiff_t>(kFrameSize)) {
    const uint32_t length = U32At(p + 4);
    SetU32(p + 8, HeadChecksum(p, seed));
    SetU32(p + 12, Crc32c(seed, p + kFrameSize, length));
    p += kFrameSize + length;
  }
}

void SealRecord(char* head, size_t headSize, const uint8_t* body, size_t bodySize, uint32_t seed) {
  SetU32(head + 8, HeadChecksum(head, seed));
  const uint32_t crc = Crc32c(seed, head + kFrameSize, headSize - kFrameSize);
  SetU32(head + 12, Crc32c(crc, body, bodySize));
}

void SealingCopy(char* head, size_t headSize, uint8_t* to, const uint8_t* body, size_t bodySize,
                 uint32_t seed) {
  SetU32(head + 8, HeadChecksum(head, seed));
  SetU32(head + 12, CopyCrc32c(Crc32c(seed, head + kFrameSize, headSize - kFrameSize), to, body, bodySize));
}

ScanReport ScanRecords(int fd, uint32_t seed, const RecordVisitor& visit) {
  Window window(fd);
  return Scan(window, seed, visit);
}

ScanReport ScanRecords(std::span<const char> bytes, uint32_t seed, const RecordVisitor& visit) {
  Memory memory(bytes);
  return Scan(memory, seed, visit);
}

}  // namespace vantrelis::journal
