// Committed rows packed in large blocks. Blocks start small, so that a
// small table stays small, and double up to a ceiling. The large ones come
// straight from mmap and are given memory a megabyte ahead of the rows, in
// one call each, rather than by a page fault every 4 kB. (Huge pages would
// spare more faults, but asking for them stalls on compaction once the page
// cache has filled the memory, as after copying large files.)
#include "store/row_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "store/stored_row.h"
#include "store/stored_row_size.h"

namespace vantrelis {
namespace {

constexpr size_t kFirstBlock = size_t{64} << 10;
constexpr size_t kLargestBlock = size_t{16} << 20;
// Blocks from this size on are mapped.
constexpr size_t kMappedBlock = size_t{2} << 20;
// How far ahead of the rows a mapped block is given memory.
constexpr size_t kFillAhead = size_t{1} << 20;
// Room that Space() guarantees: the largest row and the slack after it.
constexpr size_t kRowRoom = size_t{kStoredRowMax} + size_t{kStoredRowSlack};
// Dead bytes below this are never worth a compaction.
constexpr size_t kCompactFloor = size_t{4} << 20;

}  // namespace

RowArena::~RowArena() = default;

RowArena::Block RowArena::Allocate(size_t size) {
  Block block;
  block.size = size;
  // Should the owner's own allocation fail, shared_ptr gives the memory back.
  if (size >= kMappedBlock) {
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) throw std::bad_alloc();
    block.data = static_cast<uint8_t*>(data);
    block.memory.reset(block.data, [size](uint8_t* p) { ::munmap(p, size); });
    return block;
  }
  block.data = static_cast<uint8_t*>(std::malloc(size));
  if (block.data == nullptr) throw std::bad_alloc();
  block.memory.reset(block.data, [](uint8_t* p) { std::free(p); });
  return block;
}

void RowArena::AddBlock(size_t atLeast) {
  size_t size = m_blocks.empty() ? kFirstBlock : std::min(m_blocks.back().size * 2, kLargestBlock);
  size = std::max(size, atLeast);
  m_blocks.reserve(m_blocks.size() + 1);
  m_bases.reserve(m_blocks.size() + 1);
  Block block = Allocate(size);
  m_bases.push_back(block.data);
  m_blocks.push_back(std::move(block));
  m_used = 0;
  m_filled = 0;
}

uint8_t* RowArena::Space() {
  if (m_blocks.empty() || m_blocks.back().size - m_used < kRowRoom) AddBlock(kRowRoom);
  const Block& block = m_blocks.back();
#ifdef MADV_POPULATE_WRITE
  if (block.size >= kMappedBlock && m_used + kRowRoom > m_filled) {
    // Kernels without it, or short of memory, fault the pages in as usual.
    const size_t upTo = std::min(block.size, (m_used + kRowRoom + kFillAhead) / kFillAhead * kFillAhead);
    (void)::madvise(block.data + m_filled, upTo - m_filled, MADV_POPULATE_WRITE);
    m_filled = upTo;
  }
#endif
  return block.data + m_used;
}

void RowArena::Put(int32_t slot) {
  const uint8_t* row = m_blocks.back().data + m_used;
  const size_t size = StoredRowSize(row);
  const uint64_t entry = (static_cast<uint64_t>(m_blocks.size() - 1) << 32) | m_used;
  if (slot == SlotCount()) {
    m_slots.push_back(entry);
  } else {
    if (IsLive(slot)) m_deadBytes += StoredRowSize(Row(slot));
    m_slots[static_cast<size_t>(slot)] = entry;
  }
  m_used += size;
  m_liveBytes += size;
  MaybeCompact();
}

void RowArena::Free(int32_t slot) {
  const size_t size = StoredRowSize(Row(slot));
  m_slots[static_cast<size_t>(slot)] = kNoRow;
  m_liveBytes -= size;
  m_deadBytes += size;
  MaybeCompact();
}

void RowArena::Clear() {
  m_blocks.clear();
  m_blocks.shrink_to_fit();
  m_bases.clear();
  m_bases.shrink_to_fit();
  m_slots.clear();
  m_slots.shrink_to_fit();
  m_used = 0;
  m_liveBytes = 0;
  m_deadBytes = 0;
}

void RowArena::MaybeCompact() {
  if (m_deadBytes < kCompactFloor || m_deadBytes < m_liveBytes) return;
  RowArena fresh;
  try {
    fresh.m_slots.reserve(m_slots.size());
    for (size_t slot = 0; slot < m_slots.size(); ++slot) {
      if (m_slots[slot] == kNoRow) {
        fresh.m_slots.push_back(kNoRow);
        continue;
      }
      const uint8_t* row = Row(static_cast<int32_t>(slot));
      std::memcpy(fresh.Space(), row, StoredRowSize(row));
      fresh.Put(static_cast<int32_t>(slot));
    }
  } catch (const std::bad_alloc&) {
    return;  // short of memory: the dead bytes stay until later
  }
  std::swap(m_slots, fresh.m_slots);
  std::swap(m_blocks, fresh.m_blocks);
  std::swap(m_bases, fresh.m_bases);
  std::swap(m_used, fresh.m_used);
  std::swap(m_filled, fresh.m_filled);
  std::swap(m_liveBytes, fresh.m_liveBytes);
  std::swap(m_deadBytes, fresh.m_deadBytes);
}

}  // namespace vantrelis
