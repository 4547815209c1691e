// Puts a session journal's bytes into its file. Where the file system allows
// direct I/O, the bytes go from memory to the disk without a copy in the
// page cache (most of what an import's journal would cost): they are
// gathered and written in whole blocks; whenever the file must be durable,
// the last, partial block goes through the page cache. Elsewhere they are
// written as they come, pushed to the disk step by step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrelis {

class JournalFile {
 public:
  // The journal open as `fd` (not owned), which holds `header` and nothing
  // after it; records are sealed with `seed`.
  JournalFile(int fd, const std::string& header, uint32_t seed);
  ~JournalFile();
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;

  // Each returns 0, or the errno of the failure.

  // Appends whole, sealed records.
  int Append(const char* data, size_t size);
  // Appends one record: `head` (its frame and the start of its payload,
  // sealed here) then `body`, the rest of its payload.
  int AppendRecord(char* head, size_t headSize, const uint8_t* body, size_t bodySize);
  // Makes everything appended so far durable.
  int Sync();
  // Cuts the file back to its header, durably.
  int Truncate();

 private:
  static constexpr size_t kBlock = 4096;
  // Room for the largest run of loaded rows, and large writes.
  static constexpr size_t kStageSize = 4 << 20;
  static constexpr size_t kWriteAt = 1 << 20;

  int WriteWholeBlocks();
  int AppendBuffered(const char* data, size_t size);

  int m_fd;
  uint32_t m_seed;
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

}  // namespace vantrelis
