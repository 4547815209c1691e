// What the table tests share: a stand-in for the grid, and a dump of a
// table's whole visible state for comparing two tables.
#pragma once

#include <cstdint>
#include <string>

#include "store/contact_table.h"
#include "store/journal_replay.h"

namespace vantrelis::test_support {

// A stand-in for the grid: it holds a cell edit and hands it over (as a
// phone number) whenever the table asks it to flush.
class FlushingGrid : public TableObserver {
 public:
  explicit FlushingGrid(ContactTable& t) : m_table(t) {}
  void FlushEdit() override {
    if (pending.empty()) return;
    m_table.EditRow();
    m_table.SetFieldText(Field::tel, pending);
    pending.clear();
  }
  std::string pending;

 private:
  ContactTable& m_table;
};

// Every displayed row with every field ("~" for no value) and its storage
// slot, then the current row, what is open and the two bounds.
inline std::string Dump(const ContactTable& t) {
  std::string out;
  for (int32_t r = 0; r < t.RowCount(); ++r) {
    for (int32_t f = 0; f < kFieldCount; ++f) {
      const auto v = t.FieldValue(r, static_cast<Field>(f));
      out += v ? std::string(*v) : "~";
      out += '|';
    }
    out += std::to_string(t.StorageSlot(r)) + "\n";
  }
  out += "current " + std::to_string(t.CurrentRow()) + " state " +
         std::to_string(static_cast<int>(t.State())) + " changed " + std::to_string(t.Changed()) + " start " +
         std::to_string(t.AtStart()) + " end " + std::to_string(t.AtEnd());
  return out;
}

// One line per stored row: every field ("~" for no value), then its
// listing address.
inline std::string RowLine(std::span<const uint8_t> row, std::string_view address) {
  std::string out;
  for (int32_t f = 0; f < kFieldCount; ++f) {
    const auto v = StoredValue(row.data(), static_cast<Field>(f));
    out += v ? std::string(*v) : "~";
    out += '|';
  }
  return out + std::string(address) + "\n";
}

// The committed rows of a table in display order, with their addresses.
inline std::string Rows(const ContactTable& t) {
  std::string out;
  for (int32_t r = 0; r < t.RowCount(); ++r) {
    if (t.IsPendingRow(r)) continue;
    std::string line;
    for (int32_t f = 0; f < kFieldCount; ++f) {
      const auto v = t.FieldValue(r, static_cast<Field>(f));
      line += v ? std::string(*v) : "~";
      line += '|';
    }
    out += line + std::string(t.RowAddress(r)) + "\n";
  }
  return out;
}

// The rows a journal's contents give back, in the same form.
inline std::string Rows(const JournalContents& contents) {
  std::string out;
  contents.ForEachRow(
      [&](std::span<const uint8_t> row, std::string_view address) { out += RowLine(row, address); });
  return out;
}

}  // namespace vantrelis::test_support
