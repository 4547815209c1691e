// A stand-in for the grid in table tests: it holds a cell edit and hands it
// over (as a phone number) whenever the table asks it to flush.
#pragma once

#include <string>

#include "store/contact_table.h"

namespace vantrelis::test_support {

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

}  // namespace vantrelis::test_support
