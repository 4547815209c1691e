#include "store/journal_replay.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>

#include "store/contact_table.h"
#include "store/crc32c.h"
#include "store/posix_io.h"
#include "store/stored_row.h"
#include "store/stored_row_size.h"

namespace vantrelis {
namespace {

using journal::GetU16;
using journal::GetU32;
using journal::RecordKind;

constexpr uint8_t kStateDead = 0;
constexpr uint8_t kStateLinked = 1;
constexpr uint8_t kStateUnplaced = 2;
// No table holds as many rows: a slot beyond is not one of a real journal.
constexpr int32_t kSlotLimit = 1 << 26;
constexpr size_t kLongestAddress = 64 << 10;

// The text bytes of a stored row checked before, read without slack.
size_t StoredTextSizeChecked(const uint8_t* row) {
  size_t size = 0;
  for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
    if (row[f] != kNoValueLength) size += row[f];
  }
  return size;
}

bool ValidSlot(uint32_t slot) { return slot < static_cast<uint32_t>(kSlotLimit); }

bool ValidPlacement(int32_t before) {
  return before == kAtEnd || before == kInPlace || before == kUnplaced ||
         (before >= 0 && before < kSlotLimit);
}

// A row with its address, as Row and Open records hold them after their
// fixed fields.
struct AddressedRow {
  std::string_view address;
  std::span<const uint8_t> row;
};

std::optional<AddressedRow> ReadAddressedRow(std::span<const uint8_t> rest) {
  if (rest.size() < 2) return std::nullopt;
  const size_t addressSize = GetU16(rest.data());
  if (rest.size() < 2 + addressSize) return std::nullopt;
  const std::span<const uint8_t> row = rest.subspan(2 + addressSize);
  const size_t size = CheckedStoredRowSize(row);
  if (size == 0 || size != row.size()) return std::nullopt;
  return AddressedRow{std::string_view(reinterpret_cast<const char*>(rest.data() + 2), addressSize), row};
}

}  // namespace

JournalContents::JournalContents(bool keepRows) : m_keepRows(keepRows) {}
JournalContents::~JournalContents() = default;
JournalContents::JournalContents(JournalContents&&) noexcept = default;
JournalContents& JournalContents::operator=(JournalContents&&) noexcept = default;

bool JournalContents::Live(int32_t slot) const {
  if (m_keepRows) return EntryOfSlot(slot) >= 0;
  return slot >= 0 && static_cast<size_t>(slot) < m_live.size() && m_live[static_cast<size_t>(slot)];
}

int32_t JournalContents::EntryOfSlot(int32_t slot) const {
  if (slot < 0 || static_cast<size_t>(slot) >= m_slots.size()) return -1;
  return m_slots[static_cast<size_t>(slot)];
}

void JournalContents::Add(int32_t slot, const uint8_t* row, size_t size, size_t addressSize, int32_t before) {
  ++m_liveCount;
  if (before == kUnplaced) m_loading = true;  // also when the record of the load's start was lost
  if (!m_keepRows) {
    if (slot < 0) return;
    if (static_cast<size_t>(slot) >= m_live.size()) m_live.resize(static_cast<size_t>(slot) + 1);
    m_live[static_cast<size_t>(slot)] = true;
    return;
  }
  Entry entry;
  entry.row = row;
  entry.size = static_cast<uint32_t>(size);
  entry.addressSize = static_cast<uint16_t>(addressSize);
  entry.slot = slot;
  const auto index = static_cast<int32_t>(m_entries.size());
  m_entries.push_back(entry);
  if (slot >= 0) {
    if (static_cast<size_t>(slot) >= m_slots.size()) m_slots.resize(static_cast<size_t>(slot) + 1, -1);
    m_slots[static_cast<size_t>(slot)] = index;
  }
  if (m_loading) {
    m_entries[static_cast<size_t>(index)].state = kStateUnplaced;
  } else {
    Link(index, before);
  }
}

void JournalContents::Link(int32_t index, int32_t beforeSlot) {
  Entry& entry = m_entries[static_cast<size_t>(index)];
  const int32_t before = EntryOfSlot(beforeSlot);
  if (before < 0 || m_entries[static_cast<size_t>(before)].state != kStateLinked) {
    entry.prev = m_tail;
    entry.next = -1;
    if (m_tail >= 0) m_entries[static_cast<size_t>(m_tail)].next = index;
    if (m_head < 0) m_head = index;
    m_tail = index;
  } else {
    Entry& next = m_entries[static_cast<size_t>(before)];
    entry.prev = next.prev;
    entry.next = before;
    if (next.prev >= 0) {
      m_entries[static_cast<size_t>(next.prev)].next = index;
    } else {
      m_head = index;
    }
    next.prev = index;
  }
  entry.state = kStateLinked;
}

void JournalContents::Unlink(int32_t index) {
  Entry& entry = m_entries[static_cast<size_t>(index)];
  if (entry.state != kStateLinked) return;
  if (entry.prev >= 0) {
    m_entries[static_cast<size_t>(entry.prev)].next = entry.next;
  } else {
    m_head = entry.next;
  }
  if (entry.next >= 0) {
    m_entries[static_cast<size_t>(entry.next)].prev = entry.prev;
  } else {
    m_tail = entry.prev;
  }
  entry.prev = entry.next = -1;
}

void JournalContents::Kill(int32_t slot) {
  if (!Live(slot)) return;
  --m_liveCount;
  if (!m_keepRows) {
    m_live[static_cast<size_t>(slot)] = false;
    return;
  }
  const int32_t index = EntryOfSlot(slot);
  Unlink(index);
  m_entries[static_cast<size_t>(index)].state = kStateDead;
  m_slots[static_cast<size_t>(slot)] = -1;
}

void JournalContents::Salvage() {
  if (!m_open) return;
  auto bytes = std::make_unique<std::string>(std::move(m_open->bytes));
  const size_t addressSize = m_open->addressSize;
  const int32_t before = m_open->before;
  m_open.reset();
  const auto* start = reinterpret_cast<const uint8_t*>(bytes->data());
  const bool wasLoading = m_loading;
  m_loading = false;  // a pending row is placed at once
  Add(-1, start + addressSize, bytes->size() - addressSize, addressSize, before);
  m_loading = wasLoading;
  if (m_keepRows) m_owned.push_back(std::move(bytes));
}

void JournalContents::EndOpenRow(uint32_t serial) {
  if (!m_open) return;
  // The pending row that was kept ended with a commit whose record is lost
  // when a record about another pending row comes first.
  if (m_open->serial != serial) {
    Salvage();
  } else {
    m_open.reset();
  }
}

void JournalContents::EndLoad() {
  m_loading = false;
  if (!m_keepRows) return;
  // The display order becomes the storage order; rows whose slot was lost
  // keep their order after them.
  std::vector<int32_t> unslotted;
  for (int32_t at = m_head; at >= 0; at = m_entries[static_cast<size_t>(at)].next) {
    if (m_entries[static_cast<size_t>(at)].slot < 0) unslotted.push_back(at);
  }
  m_head = m_tail = -1;
  for (const int32_t index : m_slots) {
    if (index >= 0) Link(index, kAtEnd);
  }
  for (const int32_t index : unslotted) Link(index, kAtEnd);
}

bool JournalContents::Apply(RecordKind kind, std::span<const uint8_t> payload) {
  const uint8_t* p = payload.data();
  const size_t size = payload.size();
  if (kind == RecordKind::Row || kind == RecordKind::Open || kind == RecordKind::DropOpen ||
      kind == RecordKind::Delete) {
    m_onlyLoads = false;
  }
  switch (kind) {
    case RecordKind::Row: {
      if (size < 13) return false;
      const uint32_t slot = GetU32(p + 1);
      const auto before = static_cast<int32_t>(GetU32(p + 5));
      const uint32_t serial = GetU32(p + 9);
      const auto row = ReadAddressedRow(payload.subspan(13));
      if (!row || !ValidSlot(slot) || !ValidPlacement(before)) return false;
      if (serial != 0) EndOpenRow(serial);
      const auto at = static_cast<int32_t>(slot);
      const uint8_t* bytes = row->row.data();
      if (before == kInPlace && Live(at)) {
        // An edited row takes its new values and keeps its place.
        if (m_keepRows) {
          Entry& entry = m_entries[static_cast<size_t>(EntryOfSlot(at))];
          entry.row = bytes;
          entry.size = static_cast<uint32_t>(row->row.size());
          entry.addressSize = static_cast<uint16_t>(row->address.size());
        }
        return true;
      }
      // A slot is taken again only once its row was deleted; an edited row
      // whose first record was lost comes last.
      Kill(at);
      Add(at, bytes, row->row.size(), row->address.size(), before == kInPlace ? kAtEnd : before);
      return true;
    }
    case RecordKind::Open: {
      if (size < 9) return false;
      const uint32_t serial = GetU32(p + 1);
      const auto before = static_cast<int32_t>(GetU32(p + 5));
      const auto row = ReadAddressedRow(payload.subspan(9));
      if (!row || serial == 0 || !ValidPlacement(before)) return false;
      EndOpenRow(serial);
      m_open =
          OpenRow{serial, before,
                  std::string(reinterpret_cast<const char*>(p + 11), row->address.size() + row->row.size()),
                  static_cast<uint16_t>(row->address.size())};
      return true;
    }
    case RecordKind::DropOpen:
      if (size != 5) return false;
      if (m_open && m_open->serial == GetU32(p + 1)) {
        m_open.reset();
      } else {
        Salvage();
      }
      return true;
    case RecordKind::Delete:
      if (size != 5 || !ValidSlot(GetU32(p + 1))) return false;
      Kill(static_cast<int32_t>(GetU32(p + 1)));
      return true;
    case RecordKind::LoadBegun:
      if (size != 1) return false;
      m_loading = true;
      return true;
    case RecordKind::RowsLoaded: {
      if (size < journal::kRowsLoadedHead) return false;
      const uint32_t first = GetU32(p + 1);
      const uint32_t count = GetU32(p + 5);
      if (!ValidSlot(first) || count > static_cast<uint32_t>(kSlotLimit) - first) return false;
      // Checked whole first, so that a run not well formed loads nothing.
      const std::span<const uint8_t> rows = payload.subspan(journal::kRowsLoadedHead);
      size_t at = 0;
      uint32_t found = 0;
      for (; at < rows.size() && found <= count; ++found) {
        const size_t rowSize = CheckedStoredRowSize(rows.subspan(at));
        if (rowSize == 0) return false;
        at += rowSize;
      }
      if (found != count) return false;
      if (static_cast<int32_t>(first) != m_nextLoadedSlot) m_onlyLoads = false;
      m_nextLoadedSlot = static_cast<int32_t>(first + count);
      at = 0;
      for (uint32_t i = 0; i < count; ++i) {
        const auto slot = static_cast<int32_t>(first + i);
        const size_t rowSize = kFieldCount + StoredTextSizeChecked(rows.data() + at);
        Kill(slot);
        Add(slot, rows.data() + at, rowSize, 0, kUnplaced);
        at += rowSize;
      }
      return true;
    }
    case RecordKind::LoadEnded:
      if (size != 1) return false;
      EndLoad();
      return true;
    case RecordKind::Absorbed: {
      if (size < 5) return false;
      const uint32_t count = GetU32(p + 1);
      if (size != 5 + size_t{count} * journal::kSessionBytes) return false;
      for (uint32_t i = 0; i < count; ++i) m_absorbed.push_back(journal::GetSession(p + 5 + size_t{i} * 16));
      return true;
    }
    case RecordKind::ResultPage:
      if (size < 3 || size > kLongestAddress || p[1] > 1) return false;
      m_resultPageReopens = p[1] == 0;
      m_resultPage.assign(reinterpret_cast<const char*>(p + 2), size - 2);
      m_harvestEnded = false;
      return true;
    case RecordKind::HarvestEnded:
      if (size != 1) return false;
      m_harvestEnded = true;
      return true;
  }
  return false;
}

void JournalContents::AddRow(std::span<const uint8_t> row, std::string_view address) {
  m_onlyLoads = false;
  auto bytes = std::make_unique<std::string>(address);
  bytes->append(reinterpret_cast<const char*>(row.data()), row.size());
  const bool wasLoading = m_loading;
  m_loading = false;
  Add(-1, reinterpret_cast<const uint8_t*>(bytes->data()) + address.size(), row.size(), address.size(),
      kAtEnd);
  m_loading = wasLoading;
  if (m_keepRows) m_owned.push_back(std::move(bytes));
}

void JournalContents::Finish() {
  if (m_loading) EndLoad();
  Salvage();
}

void JournalContents::ForEachRow(
    const std::function<void(std::span<const uint8_t> row, std::string_view address)>& fn) const {
  if (!m_keepRows) return;
  for (int32_t at = m_head; at >= 0; at = m_entries[static_cast<size_t>(at)].next) {
    const Entry& entry = m_entries[static_cast<size_t>(at)];
    fn(std::span<const uint8_t>(entry.row, entry.size),
       std::string_view(reinterpret_cast<const char*>(entry.row) - entry.addressSize, entry.addressSize));
  }
}

namespace {

// Journals of versions 1 and 2 logged the table's operations one by one, in
// frames of a length and a checksum without a marker; they are replayed on
// a table of their own, up to the first record that does not check.
namespace legacy {

constexpr size_t kFrameSize = 8;
constexpr uint8_t kAbsorbed = 0x40;
// The operations, numbered as those journals wrote them (their kind less one).
enum Operation : uint8_t {
  kInsertRow,
  kAppendRow,
  kEditRow,
  kSetFieldText,
  kCommitRow,
  kCancelRow,
  kSettleRow,
  kDeleteRow,
  kClearRows,
  kMoveFirst,
  kMovePrior,
  kMoveNext,
  kMoveLast,
  kMoveTo,
  kBeginLoad,
  kLoadRow,
  kEndLoad,
  kLoadRows,
};

bool ApplyOperation(const uint8_t* p, size_t size, ContactTable& table, JournalContents& contents) {
  if (p[0] == kAbsorbed) {
    if (size < 5) return false;
    const uint32_t count = GetU32(p + 1);
    if (size != 5 + size_t{count} * 16) return false;
    for (uint32_t i = 0; i < count; ++i) contents.AddAbsorbed(journal::GetSession(p + 5 + size_t{i} * 16));
    return true;
  }
  if (p[0] == 0 || p[0] > kLoadRows + 1) return false;
  const auto operation = static_cast<Operation>(p[0] - 1);
  if (operation != kSetFieldText && operation != kMoveTo && operation != kLoadRow && operation != kLoadRows &&
      size != 1) {
    return false;
  }
  switch (operation) {
    case kInsertRow: table.InsertRow(); break;
    case kAppendRow: table.AppendRow(); break;
    case kEditRow: table.EditRow(); break;
    case kSetFieldText:
      if (size < 2 || p[1] >= kFieldCount) return false;
      table.SetFieldText(static_cast<Field>(p[1]),
                         std::string_view(reinterpret_cast<const char*>(p + 2), size - 2));
      break;
    case kCommitRow: table.CommitRow(); break;
    case kCancelRow: table.CancelRow(); break;
    case kSettleRow: table.SettleRow(); break;
    case kDeleteRow: table.DeleteRow(); break;
    case kClearRows: table.ClearRows(); break;
    case kMoveFirst: table.MoveFirst(); break;
    case kMovePrior: table.MovePrior(); break;
    case kMoveNext: table.MoveNext(); break;
    case kMoveLast: table.MoveLast(); break;
    case kMoveTo:
      if (size != 5) return false;
      table.MoveTo(static_cast<int32_t>(GetU32(p + 1)));
      break;
    case kBeginLoad: table.BeginLoad(); break;
    case kLoadRow: {
      // Nine length bytes, 255 for no value, then the texts.
      if (size < 1 + kFieldCount) return false;
      RowValues values;
      size_t at = 1 + kFieldCount;
      for (size_t f = 0; f < static_cast<size_t>(kFieldCount); ++f) {
        const uint8_t length = p[1 + f];
        if (length == kNoValueLength) continue;
        if (at + length > size) return false;
        values[f] = std::string_view(reinterpret_cast<const char*>(p + at), length);
        at += length;
      }
      if (at != size) return false;
      table.LoadRow(values);
      break;
    }
    case kEndLoad: table.EndLoad(); break;
    case kLoadRows: {
      if (size < 5 || GetU32(p + 1) > static_cast<uint32_t>(INT32_MAX)) return false;
      const std::span<const uint8_t> rows(p + 5, size - 5);
      std::vector<size_t> sizes;
      for (size_t at = 0; at < rows.size();) {
        const size_t rowSize = CheckedStoredRowSize(rows.subspan(at));
        if (rowSize == 0) return false;
        sizes.push_back(rowSize);
        at += rowSize;
      }
      if (sizes.size() != GetU32(p + 1)) return false;
      const uint8_t* row = rows.data();
      for (const size_t rowSize : sizes) {
        std::memcpy(table.LoadRowSpace(), row, rowSize);
        table.LoadStoredRow();
        row += rowSize;
      }
      break;
    }
  }
  return true;
}

journal::ScanReport Replay(int fd, JournalContents& contents) {
  journal::ScanReport report;
  ContactTable table;
  JournalBytes buffer;
  off_t offset = journal::kHeaderSize;
  const auto read = [&](size_t n) {
    buffer.resize(n);
    const size_t got = ReadFullAt(fd, buffer.data(), n, static_cast<uint64_t>(offset));
    offset += static_cast<off_t>(got);
    buffer.resize(got);
    return got == n;
  };
  for (;;) {
    if (!read(kFrameSize)) {
      report.tornEnd = !buffer.empty();
      break;
    }
    const uint32_t length = GetU32(reinterpret_cast<const uint8_t*>(buffer.data()));
    const uint32_t crc = GetU32(reinterpret_cast<const uint8_t*>(buffer.data()) + 4);
    char lengthBytes[4];
    std::memcpy(lengthBytes, buffer.data(), 4);
    if (length == 0 || length > journal::kMaxPayload || !read(length)) {
      report.tornEnd = true;
      break;
    }
    if (Crc32c(Crc32c(0, lengthBytes, 4), buffer.data(), length) != crc) {
      report.tornEnd = true;
      break;
    }
    bool applied = false;
    try {
      applied = ApplyOperation(reinterpret_cast<const uint8_t*>(buffer.data()), length, table, contents);
    } catch (...) {
      applied = false;
    }
    if (!applied) {
      report.tornEnd = true;
      break;
    }
  }
  // As it stood: an import cut short ends as a failed one does, the open
  // row is settled.
  try {
    table.EndLoad();
    table.SettleRow();
  } catch (...) {
    table.CancelRow();
  }
  for (int32_t i = 0; i < table.StoredRowCount(); ++i) {
    const uint8_t* row = table.StoredRow(i);
    contents.AddRow(std::span<const uint8_t>(row, StoredRowSize(row)), {});
  }
  return report;
}

}  // namespace legacy

// The whole content of the open file `fd`, in memory given all at once (a
// large journal would otherwise fault its pages in one by one); `size` is
// what could be read.
std::shared_ptr<const char> ReadWholeFile(int fd, size_t& size) {
  size = 0;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_size <= 0) return {};
  const auto length = static_cast<size_t>(info.st_size);
  void* memory =
      ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  std::shared_ptr<const char> bytes(static_cast<const char*>(memory),
                                    [length](const char* p) { ::munmap(const_cast<char*>(p), length); });
  size = ReadFullAt(fd, memory, length, 0);
  return bytes;
}

}  // namespace

JournalRead ReadJournal(int fd, JournalContents& contents) {
  JournalRead read;
  journal::Header header;
  read.header = journal::ReadHeader(fd, header);
  if (read.header != journal::HeaderState::Complete) return read;
  read.id = header.id;
  const auto apply = [&](RecordKind kind, std::span<const uint8_t> payload) {
    return contents.Apply(kind, payload);
  };
  if (header.version < journal::kVersion) {
    read.scan = legacy::Replay(fd, contents);
  } else if (!contents.KeepsRows()) {
    read.scan = journal::ScanRecords(fd, header.id.nonce, apply);
  } else {
    // Kept rows point into the journal's bytes, read whole at once.
    size_t size = 0;
    std::shared_ptr<const char> bytes = ReadWholeFile(fd, size);
    read.scan = journal::ScanRecords(std::span<const char>(bytes.get(), size), header.id.nonce, apply);
    contents.Hold(std::move(bytes));
  }
  contents.Finish();
  return read;
}

}  // namespace vantrelis
