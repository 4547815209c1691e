// The session journal's file format: a header, then records, each in a
// frame of its own that can be found again after damage.
//
//   header (40 bytes): "VANTJRNL", version (u32, 3), header size (u32, 40),
//     session start in microseconds (i64), process id (i32), nonce (u32),
//     a reserved u32, then the CRC-32C of the 36 bytes before it;
//   record frame (16 bytes): marker (u32), payload length (u32), the
//     CRC-32C of the marker and length, the CRC-32C of the payload; both
//     checksums start from the session's nonce, so that no text a page put
//     into a row can pass for a record of its own. Then the payload.
//
// A payload starts with its kind; each record holds a whole row or one
// whole change (RecordKind). Numbers are little-endian. Journals of versions
// 1 and 2 logged the table's operations one by one; they are still read.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrelis {

// One session: when it started (microseconds since the epoch), its process
// and a random number that tells apart sessions of one process.
struct SessionId {
  int64_t started = 0;
  int32_t pid = 0;
  uint32_t nonce = 0;
  friend auto operator<=>(const SessionId&, const SessionId&) = default;
};

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

namespace journal {

inline constexpr uint32_t kVersion = 3;
inline constexpr size_t kHeaderSize = 40;
inline constexpr size_t kFrameSize = 16;
inline constexpr uint32_t kMaxPayload = 4 << 20;

enum class RecordKind : uint8_t {
  Row = 1,       // a committed row: slot, placement, pending number, address, row
  Open,          // the pending row as it stood: number, placement, address, row
  DropOpen,      // the pending row of that number went uncommitted
  Delete,        // the row in a slot was deleted
  LoadBegun,     // rows stored from here on wait for LoadEnded to be placed
  RowsLoaded,    // rows of a load in consecutive slots: first slot, count, rows
  LoadEnded,     // the display order is the storage order
  Absorbed,      // these sessions' rows are in this journal now
  ResultPage,    // the result page a harvest is working on: whether its address reopens it, its address
  HarvestEnded,  // the harvest came to its last result page
};

// The payload bytes of a RowsLoaded record before its rows.
inline constexpr size_t kRowsLoadedHead = 9;

// How the first bytes of a file read as a journal header.
enum class HeaderState {
  Complete,  // a journal of this or an older version this one reads
  Empty,     // shorter than a header whose start is right: holds nothing
  Damaged,   // named as a journal but its header does not check
  Later,     // a journal of a later version: left as it is
};

struct Header {
  SessionId id;
  uint32_t version = 0;
};

// The header bytes of a journal of this version for `id`.
std::string HeaderBytes(const SessionId& id);
// Reads and checks the header at the start of the open file `fd`.
HeaderState ReadHeader(int fd, Header& header);

// Records written into a buffer, with their frame; the checksums are left
// to SealRecords (the writer thread computes them).
void AppendRow(JournalBytes& out, int32_t slot, int32_t before, uint32_t serial, std::string_view address,
               std::span<const uint8_t> row);
void AppendOpen(JournalBytes& out, uint32_t serial, int32_t before, std::string_view address,
                std::span<const uint8_t> row);
void AppendNumber(JournalBytes& out, RecordKind kind, uint32_t number);  // DropOpen, Delete
void AppendMark(JournalBytes& out, RecordKind kind);                     // LoadBegun, LoadEnded, HarvestEnded
void AppendAbsorbed(JournalBytes& out, const std::vector<SessionId>& sessions);
void AppendResultPage(JournalBytes& out, std::string_view url, bool addressReopens);
// The frame and payload head of a RowsLoaded record whose `rowBytes` bytes
// of rows follow apart.
void AppendRowsLoadedHead(JournalBytes& out, int32_t firstSlot, int32_t rowCount, size_t rowBytes);

// Fills in the checksums of every record in a block of whole records.
void SealRecords(char* block, size_t size, uint32_t seed);
// Fills in the checksums of one record whose frame and payload start are
// `head` and whose payload ends with `body`.
void SealRecord(char* head, size_t headSize, const uint8_t* body, size_t bodySize, uint32_t seed);
// Seals as SealRecord does, while copying `body` to `to`.
void SealingCopy(char* head, size_t headSize, uint8_t* to, const uint8_t* body, size_t bodySize,
                 uint32_t seed);

// What reading the records of a journal found besides its records.
struct ScanReport {
  int32_t damaged = 0;   // stretches of unreadable bytes followed by intact records
  bool tornEnd = false;  // bytes after the last intact record (a write cut short)
};

// Calls `visit` with the kind and payload of every intact record after the
// header of the journal open as `fd`, in order; a stretch of damage is
// passed over to the next intact record. A record whose payload `visit`
// refuses counts as damage. Read errors end the scan as a torn end does.
using RecordVisitor = std::function<bool(RecordKind kind, std::span<const uint8_t> payload)>;
ScanReport ScanRecords(int fd, uint32_t seed, const RecordVisitor& visit);
// The same over a whole journal in memory (`bytes`, its header included);
// the payloads given to `visit` point into `bytes`.
ScanReport ScanRecords(std::span<const char> bytes, uint32_t seed, const RecordVisitor& visit);

// Little-endian numbers in payloads.
uint32_t GetU32(const uint8_t* p);
uint16_t GetU16(const uint8_t* p);
SessionId GetSession(const uint8_t* p);
inline constexpr size_t kSessionBytes = 16;

}  // namespace journal
}  // namespace vantrelis
