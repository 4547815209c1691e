// Storage of the contact table's committed rows: every row in its stored
// form (see contact_table.h), packed back to back in a few large blocks,
// found through one entry per storage slot. Adding a row allocates nothing
// but, now and then, a new block; dropping the table frees a few blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vantrelis {

class RowArena {
 public:
  RowArena() = default;
  ~RowArena();
  RowArena(const RowArena&) = delete;
  RowArena& operator=(const RowArena&) = delete;

  // Number of slots, the free ones included.
  int32_t SlotCount() const { return static_cast<int32_t>(m_slots.size()); }
  // Whether `slot` holds a row.
  bool IsLive(int32_t slot) const { return m_slots[static_cast<size_t>(slot)] != kNoRow; }
  // The stored row in a live slot.
  const uint8_t* Row(int32_t slot) const {
    const uint64_t entry = m_slots[static_cast<size_t>(slot)];
    return m_bases[static_cast<size_t>(entry >> 32)] + static_cast<uint32_t>(entry);
  }
  // Shared ownership of the block that holds the row in a live slot: its
  // bytes stay as they are for as long as the keeper lives, even once the
  // arena is cleared, compacted or gone (a row's bytes never change while
  // it is stored).
  std::shared_ptr<const void> KeeperOf(int32_t slot) const {
    return m_blocks[static_cast<size_t>(m_slots[static_cast<size_t>(slot)] >> 32)].memory;
  }

  // Room for one row in stored form at the end of the storage, with
  // kStoredRowSlack bytes more that may be written over; valid until the
  // next call that changes the arena. Throws std::bad_alloc.
  uint8_t* Space();
  // Puts the row written into Space() into `slot`: a slot of its own when
  // `slot` is SlotCount(), else in place of what the slot held. Throws
  // std::bad_alloc (for a new slot) with nothing changed.
  void Put(int32_t slot);
  // Empties a live slot; its bytes are reclaimed once enough are dead.
  void Free(int32_t slot);
  // Drops every row and slot and gives the memory back.
  void Clear();

 private:
  struct Block {
    uint8_t* data = nullptr;
    size_t size = 0;
    // Owns the memory (from mmap for large blocks, else from malloc); it is
    // given back once the arena and every keeper have let go of it.
    std::shared_ptr<uint8_t> memory;
  };
  static constexpr uint64_t kNoRow = ~uint64_t{0};

  void AddBlock(size_t atLeast);
  static Block Allocate(size_t size);
  // Copies the live rows into fresh blocks when dead bytes outweigh them.
  void MaybeCompact();

  std::vector<uint64_t> m_slots;  // block index << 32 | offset, or kNoRow
  std::vector<Block> m_blocks;
  std::vector<uint8_t*> m_bases;  // m_blocks[i].data
  size_t m_used = 0;              // bytes used in the last block
  size_t m_filled = 0;            // bytes of the last block given memory
  size_t m_liveBytes = 0;
  size_t m_deadBytes = 0;
};

}  // namespace vantrelis
