// Any records, well framed or damaged, read back as a recovery reads them:
// counting and keeping give the same number of rows, every row given back
// is a whole, well-formed row, and the rows load into a table.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "store/contact_table.h"
#include "store/crc32c.h"
#include "store/journal_format.h"
#include "store/journal_replay.h"
#include "store/stored_row.h"

namespace {

using namespace vantrelis;

constexpr uint32_t kSeed = 0x5EEDu;

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// The input as a journal: a header, then records whose payloads the input
// gives (a byte of twice the length, plus one to damage the record, then
// the payload), framed and sealed as the writer does.
std::string Journal(const uint8_t* data, size_t size) {
  std::string bytes = journal::HeaderBytes(SessionId{1, 2, kSeed});
  for (size_t at = 0; at < size;) {
    const size_t length = data[at++];
    const size_t take = std::min(length / 2, size - at);
    if (take == 0) break;
    const std::string payload(reinterpret_cast<const char*>(data + at), take);
    at += take;
    std::string frame = std::string(
        "\xFE"
        "JR\xFD",
        4);
    PutU32(frame, static_cast<uint32_t>(payload.size()));
    PutU32(frame, Crc32c(kSeed, frame.data(), 8));
    PutU32(frame, Crc32c(kSeed, payload.data(), payload.size()) ^ (length & 1 ? 1u : 0u));
    bytes += frame + payload;
  }
  return bytes;
}

int32_t Read(const std::string& bytes, JournalContents& contents) {
  journal::ScanRecords(std::span<const char>(bytes.data(), bytes.size()), kSeed,
                       [&](journal::RecordKind kind, std::span<const uint8_t> payload) {
                         return contents.Apply(kind, payload);
                       });
  contents.Finish();
  return contents.RowCount();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = Journal(data, size);
  JournalContents counted(false);
  JournalContents kept(true);
  const int32_t count = Read(bytes, counted);
  if (Read(bytes, kept) != count) std::abort();
  int32_t rows = 0;
  ContactTable table;
  table.BeginLoad();
  kept.ForEachRow([&](std::span<const uint8_t> row, std::string_view address) {
    const size_t size = CheckedStoredRowSize(row);
    if (size == 0 || size != row.size()) std::abort();
    std::memcpy(table.LoadRowSpace(), row.data(), row.size());
    table.LoadStoredRow(address);
    ++rows;
  });
  table.EndLoad();
  if (rows != count || table.CommittedRowCount() != count) std::abort();
  return 0;
}
