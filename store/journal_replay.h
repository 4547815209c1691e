// Reading a session journal back: its records, applied one by one, give the
// rows of the session in their display order, each whole or not at all.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/journal_format.h"

namespace vantrelis {

// The rows of one journal as its records leave them. Each record names the
// rows it concerns by their storage slot, so that a record lost to damage
// costs the change it held and nothing else.
class JournalContents {
 public:
  // `keepRows`: keep the rows to load them, or only count them (which
  // needs no memory per row).
  explicit JournalContents(bool keepRows);
  ~JournalContents();
  JournalContents(JournalContents&&) noexcept;
  JournalContents& operator=(JournalContents&&) noexcept;

  // Applies one record; false, applying nothing, when its payload is not
  // well formed. Kept rows point into the payload: its bytes must live as
  // long as the contents (see Hold).
  bool Apply(journal::RecordKind kind, std::span<const uint8_t> payload);
  // Keeps alive the bytes that the records applied point into.
  void Hold(std::shared_ptr<const void> bytes) { m_held = std::move(bytes); }
  // Adds a whole row after the last, copied (for journals of the older versions).
  void AddRow(std::span<const uint8_t> row, std::string_view address);
  void AddAbsorbed(const SessionId& id) { m_absorbed.push_back(id); }
  bool KeepsRows() const { return m_keepRows; }
  // The journal has no more records: a load cut short ends as a failed one
  // does, and the pending row is settled (it holds values, or it would not
  // have been written).
  void Finish();

  // The rows the journal gives back (once finished).
  int32_t RowCount() const { return m_liveCount; }
  // Calls `fn` with each row in display order, in stored form with its
  // listing address (kept rows only, once finished).
  void ForEachRow(
      const std::function<void(std::span<const uint8_t> row, std::string_view address)>& fn) const;
  // Whether the journal held nothing but loads of rows into consecutive
  // new slots (an import's): their order in the file is their display order.
  bool OnlyLoads() const { return m_onlyLoads; }
  // The sessions whose rows this journal took over.
  const std::vector<SessionId>& Absorbed() const { return m_absorbed; }
  // The result page of a harvest that was under way when the journal ends;
  // empty when none was.
  std::string ResultPage() const { return m_harvestEnded ? std::string() : m_resultPage; }
  // Whether that page's address opens it again (it does not on a site whose
  // result pages all share one address).
  bool ResultPageReopens() const { return m_resultPageReopens; }

 private:
  // A kept row: its bytes (the address right before them), its slot (-1
  // for a row whose slot was lost with a damaged record) and its place.
  struct Entry {
    const uint8_t* row = nullptr;
    uint32_t size = 0;
    uint16_t addressSize = 0;
    uint8_t state = 0;  // dead, in the display order, or waiting for the end of a load
    int32_t slot = -1;
    int32_t prev = -1;
    int32_t next = -1;
  };
  struct OpenRow {
    uint32_t serial = 0;
    int32_t before = -1;
    std::string bytes;  // the address then the row
    uint16_t addressSize = 0;
  };

  bool Live(int32_t slot) const;
  int32_t EntryOfSlot(int32_t slot) const;
  // A new live row; its address lies right before `row`.
  void Add(int32_t slot, const uint8_t* row, size_t size, size_t addressSize, int32_t before);
  void Link(int32_t entry, int32_t beforeSlot);
  void Unlink(int32_t entry);
  void Kill(int32_t slot);
  // A pending row whose commit record was lost: kept as a row at its place.
  void Salvage();
  // A record about pending row `serial` ends the one kept before, if other.
  void EndOpenRow(uint32_t serial);
  void EndLoad();

  bool m_keepRows;
  int32_t m_liveCount = 0;
  bool m_loading = false;
  // Counting: which slots hold a row.
  std::vector<bool> m_live;
  // Keeping: the rows, the entry of each slot (-1 for none), the order.
  std::vector<Entry> m_entries;
  std::vector<int32_t> m_slots;
  int32_t m_head = -1;
  int32_t m_tail = -1;
  std::shared_ptr<const void> m_held;
  std::vector<std::unique_ptr<std::string>> m_owned;  // rows copied in: the address then the row
  std::optional<OpenRow> m_open;
  std::vector<SessionId> m_absorbed;
  std::string m_resultPage;
  bool m_resultPageReopens = true;
  bool m_harvestEnded = false;
  bool m_onlyLoads = true;
  int32_t m_nextLoadedSlot = 0;
};

// What reading a journal file found.
struct JournalRead {
  journal::HeaderState header = journal::HeaderState::Damaged;
  SessionId id;
  journal::ScanReport scan;
};

// Reads the journal open as `fd` into `contents` and finishes them (a
// contents that keeps rows holds the journal's bytes); a header that is not
// Complete leaves them empty.
JournalRead ReadJournal(int fd, JournalContents& contents);

}  // namespace vantrelis
