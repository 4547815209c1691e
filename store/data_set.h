// A generic row source for exporters that know nothing of contacts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrelis {

class DataSet {
 public:
  virtual ~DataSet() = default;
  virtual int32_t FieldCount() const = 0;
  virtual std::string_view FieldName(int32_t index) const = 0;
  // Display label, or the field name where it has none.
  virtual std::string_view DisplayLabel(int32_t index) const = 0;
  virtual bool FieldVisible(int32_t index) const = 0;
  // Settles the open row, then moves to the first row.
  virtual void First() = 0;
  // Settles, then moves to the next row (at the end: stays, AtEnd() true).
  virtual void Next() = 0;
  virtual bool Eof() const = 0;
  // The current row's value of a field; nullopt for no value.
  virtual std::optional<std::string_view> FieldText(int32_t index) const = 0;
};

}  // namespace vantrelis
