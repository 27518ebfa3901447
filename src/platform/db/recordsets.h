// What the backends' record sets share: the errors of a closed record set,
// of a read without a current row and of an unknown field, and a record set
// over rows read completely (the server backends).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/error.h"

namespace noxplz {

inline Error closed_object_error() {
  return Error(3704, "Der Vorgang ist für ein geschlossenes Objekt nicht zugelassen.");
}

inline Error no_current_record_error() {
  return Error(3021,
               "Entweder BOF oder EOF ist True, oder der aktuelle Datensatz wurde gelöscht. "
               "Der angeforderte Vorgang benötigt einen aktuellen Datensatz.");
}

inline Error unknown_field_error(std::string_view name) {
  return Error(err::kDbItemNotFound,
               "Das Feld \"" + std::string(name) + "\" ist in der Datensatzgruppe nicht vorhanden.");
}

// A record set over `rows` rows held in memory: position, closing and the
// field lookup (names compared without regard to case); the backend gives
// the values and releases what holds them.
class HeldRowsRecordset : public Recordset {
 public:
  bool Eof() const override {
    if (closed_) throw closed_object_error();
    return row_ >= rows_;
  }
  void MoveNext() override {
    CheckRow();
    ++row_;
  }
  Variant Field(std::string_view name) const override {
    CheckRow();
    return Value(row_, static_cast<size_t>(FieldIndex(name)));
  }
  int32_t FieldIndex(std::string_view name) const override;
  Variant FieldAt(int32_t index) const override {
    CheckRow();
    if (index < 0 || static_cast<size_t>(index) >= names_.size()) return Recordset::FieldAt(index);  // raises
    return Value(row_, static_cast<size_t>(index));
  }
  std::vector<std::string> FieldNames() const override { return names_; }
  void Close() override {
    closed_ = true;
    Release();
  }

 protected:
  HeldRowsRecordset(std::vector<std::string> names, size_t rows) : names_(std::move(names)), rows_(rows) {}
  virtual Variant Value(size_t row, size_t column) const = 0;
  virtual void Release() = 0;

 private:
  void CheckRow() const {
    if (closed_) throw closed_object_error();
    if (row_ >= rows_) throw no_current_record_error();
  }

  std::vector<std::string> names_;
  size_t rows_;
  size_t row_ = 0;
  bool closed_ = false;
};

}  // namespace noxplz
