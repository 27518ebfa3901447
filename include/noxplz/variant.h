// Variant values and the two-dimensional VariantTable in which lookups hand
// their rows to the searches, the choice lists and the search dialog.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace noxplz {

class Variant {
 public:
  enum class Type { Empty, Null, Text, Long, Boolean };
  struct NullTag {};

  Variant() = default;
  Variant(NullTag) : value_(NullValue{}) {}
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(std::string_view text) : value_(std::string(text)) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(int32_t number) : value_(number) {}
  Variant(bool flag) : value_(flag) {}

  static Variant Null() { return Variant(NullTag{}); }

  Type type() const { return static_cast<Type>(value_.index()); }
  bool is_empty() const { return type() == Type::Empty; }
  bool is_null() const { return type() == Type::Null; }

  // Text form: Empty and Null give "", Long its decimal digits, Boolean "True"/"False".
  // A value about to go away hands its text over instead of copying it.
  std::string as_text() const&;
  std::string as_text() &&;
  // The text of a Text value without a copy, valid while the value lives
  // unchanged; nullptr for any other type.
  const std::string* text_if() const { return std::get_if<std::string>(&value_); }
  // Removes the blanks at both ends of a Text value, in place; values of
  // other types stay as they are.
  void trim_blanks();
  // Numeric form; a text that is no whole number raises error 13.
  int32_t as_long() const;
  // Boolean form with the classic text conversion ("True"/"False" in any case, numbers).
  bool as_bool() const;

  friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

 private:
  struct EmptyValue {
    bool operator==(const EmptyValue&) const = default;
  };
  struct NullValue {
    bool operator==(const NullValue&) const = default;
  };
  std::variant<EmptyValue, NullValue, std::string, int32_t, bool> value_;
};

// Classic text-to-Boolean conversion: "True"/"False" in any letter case
// (blanks around allowed) or a number (0 = False, anything else = True).
// Anything else raises error 13 (type mismatch).
bool text_to_bool(std::string_view text);

// Table of Variants with explicit bounds in both dimensions (1 = rows,
// 2 = columns). Any access outside the bounds raises error 9.
//
// Result convention of the lookups: n rows found are rows 0..n-1, row n is
// empty, so UpperBound(1) is the number of rows found.
//
// Copies share their cells until one of them is changed, so handing over a
// list of tens of thousands of rows costs no copy of them.
class VariantTable {
 public:
  VariantTable() = default;  // no rows, no columns (bounds 0..-1)

  // All cells become empty.
  void ReDim(int32_t row_lower, int32_t row_upper, int32_t col_lower, int32_t col_upper);
  const Variant& Get(int32_t row, int32_t col) const;
  void Set(int32_t row, int32_t col, Variant value);
  int32_t LowerBound(int32_t dimension) const;
  int32_t UpperBound(int32_t dimension) const;
  // Adds `count` empty rows after the last one.
  void AppendRows(int32_t count = 1);
  // First row at or after `start_row` whose cell in `column` equals `value`
  // exactly (case-sensitive), or -1. The three options are accepted as the
  // component passes them (0, 1, 0) and change nothing.
  int32_t Find(int32_t start_row, int32_t column, const Variant& value, int32_t option1 = 0,
               int32_t option2 = 1, int32_t option3 = 0) const;

  // True when this table is an unchanged copy of `other` (or the other way
  // round): both hold the very same cells.
  bool SameCells(const VariantTable& other) const;

  // Convenience for readers: the cell as text.
  std::string Text(int32_t row, int32_t col) const { return Get(row, col).as_text(); }

 private:
  size_t index(int32_t row, int32_t col) const;
  // The cells for writing: a copy of its own first when another table shares them.
  std::vector<Variant>& own_cells();

  int32_t row_lower_ = 0, row_upper_ = -1, col_lower_ = 0, col_upper_ = -1;
  std::shared_ptr<std::vector<Variant>> cells_;  // null while there are none
};

using VariantTablePtr = std::shared_ptr<VariantTable>;

}  // namespace noxplz
