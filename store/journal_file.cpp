#include "store/journal_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "store/journal_format.h"
#include "store/posix_io.h"
#include "store/stored_row.h"
#include "store/table_change_log.h"

namespace vantrelis {
namespace {

// Written data is pushed to the disk in steps of this size, so that the
// flush at the end of an import finds little left to do.
constexpr uint64_t kWritebackStep = 8 << 20;

}  // namespace

JournalFile::JournalFile(int fd, const std::string& header, uint32_t seed)
    : m_fd(fd), m_seed(seed), m_header(header), m_size(header.size()), m_rangeStart(header.size()) {
  static_assert(kLoadRunBytes + static_cast<size_t>(kStoredRowMax) + journal::kRowsLoadedHead +
                    journal::kFrameSize <=
                kStageSize - kBlock);
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
}

JournalFile::~JournalFile() { std::free(m_stage); }

int JournalFile::Append(const char* data, size_t size) {
  if (m_stage == nullptr) return AppendBuffered(data, size);
  while (size > 0) {
    const size_t take = std::min(size, kStageSize - m_used);
    std::memcpy(m_stage + m_used, data, take);
    m_used += take;
    data += take;
    size -= take;
    if (m_used == kStageSize) {
      if (const int error = WriteFullAt(m_fd, m_stage, kStageSize, m_stageOffset)) return error;
      m_stageOffset += kStageSize;
      m_used = 0;
    }
  }
  return 0;
}

int JournalFile::AppendRecord(char* head, size_t headSize, const uint8_t* body, size_t bodySize) {
  if (m_stage == nullptr || headSize + bodySize > kStageSize - kBlock) {
    journal::SealRecord(head, headSize, body, bodySize, m_seed);
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
  journal::SealingCopy(at, headSize, reinterpret_cast<uint8_t*>(at + headSize), body, bodySize, m_seed);
  m_used += headSize + bodySize;
  // Written out as soon as there is a good part of it, so that little is
  // left to write when the journal must be durable.
  return m_used >= kWriteAt ? WriteWholeBlocks() : 0;
}

int JournalFile::Sync() {
  if (m_stage != nullptr) {
    // The whole blocks directly; the partial one through the page cache,
    // so that the file keeps its exact size. Only the partial block stays,
    // to be written again with what follows.
    if (const int error = WriteWholeBlocks()) return error;
    if (m_used > 0) {
      if (::fcntl(m_fd, F_SETFL, m_flags) != 0) return errno;
      const int error = WriteFullAt(m_fd, m_stage, m_used, m_stageOffset);
      if (::fcntl(m_fd, F_SETFL, m_flags | O_DIRECT) != 0 && error == 0) return errno;
      if (error != 0) return error;
    }
  }
  return ::fdatasync(m_fd) == 0 ? 0 : errno;
}

int JournalFile::Truncate() {
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

int JournalFile::WriteWholeBlocks() {
  const size_t whole = m_used / kBlock * kBlock;
  if (const int error = WriteFullAt(m_fd, m_stage, whole, m_stageOffset)) return error;
  std::memmove(m_stage, m_stage + whole, m_used - whole);
  m_stageOffset += whole;
  m_used -= whole;
  return 0;
}

int JournalFile::AppendBuffered(const char* data, size_t size) {
  if (const int error = WriteFullAt(m_fd, data, size, m_size)) return error;
  m_size += size;
  if (m_size - m_rangeStart >= kWritebackStep) {
    // Start writing this step out, and wait for the one before, so that a
    // long import never has much left to flush.
    (void)::sync_file_range(m_fd, static_cast<off_t>(m_rangeStart), static_cast<off_t>(m_size - m_rangeStart),
                            SYNC_FILE_RANGE_WRITE);
    if (m_previousLength > 0) {
      (void)::sync_file_range(
          m_fd, static_cast<off_t>(m_previousStart), static_cast<off_t>(m_previousLength),
          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    }
    m_previousStart = m_rangeStart;
    m_previousLength = m_size - m_rangeStart;
    m_rangeStart = m_size;
  }
  return 0;
}

}  // namespace vantrelis
