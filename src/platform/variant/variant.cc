#include "noxplz/variant.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "noxplz/error.h"
#include "platform/text.h"

namespace noxplz {
namespace {

[[noreturn]] void type_mismatch() { throw Error(err::kTypeMismatch, "Typen unverträglich"); }

// A whole or decimal number as the classic conversion accepts it (blanks around).
std::optional<double> parse_number(std::string_view s) {
  std::string t = text::trim(s);
  if (t.empty()) return std::nullopt;
  double value = 0;
  const char* b = t.data();
  if (*b == '+') ++b;
  auto [ptr, ec] = std::from_chars(b, t.data() + t.size(), value);
  if (ec != std::errc() || ptr != t.data() + t.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;  // "nan", "inf" are no numbers here
  return value;
}

}  // namespace

std::string Variant::as_text() && {
  if (type() == Type::Text) return std::move(std::get<std::string>(value_));
  return static_cast<const Variant&>(*this).as_text();
}

std::string Variant::as_text() const& {
  switch (type()) {
    case Type::Empty:
    case Type::Null:
      return {};
    case Type::Text:
      return std::get<std::string>(value_);
    case Type::Long:
      return std::to_string(std::get<int32_t>(value_));
    case Type::Boolean:
      return std::get<bool>(value_) ? "True" : "False";
  }
  return {};
}

int32_t Variant::as_long() const {
  switch (type()) {
    case Type::Empty:
      return 0;
    case Type::Null:
      throw Error(94, "Unzulässige Verwendung von Null");
    case Type::Long:
      return std::get<int32_t>(value_);
    case Type::Boolean:
      return std::get<bool>(value_) ? -1 : 0;
    case Type::Text: {
      auto v = parse_number(std::get<std::string>(value_));
      if (!v) type_mismatch();
      if (*v > std::numeric_limits<int32_t>::max() || *v < std::numeric_limits<int32_t>::min())
        throw Error(err::kOverflow, "Überlauf");
      return static_cast<int32_t>(*v);
    }
  }
  return 0;
}

bool Variant::as_bool() const {
  switch (type()) {
    case Type::Empty:
      return false;
    case Type::Null:
      throw Error(94, "Unzulässige Verwendung von Null");
    case Type::Long:
      return std::get<int32_t>(value_) != 0;
    case Type::Boolean:
      return std::get<bool>(value_);
    case Type::Text:
      return text_to_bool(std::get<std::string>(value_));
  }
  return false;
}

bool text_to_bool(std::string_view value) {
  std::string t = text::ascii_upper(text::trim(value));
  if (t == "TRUE" || t == "WAHR") return true;
  if (t == "FALSE" || t == "FALSCH") return false;
  if (auto v = parse_number(t)) return *v != 0;
  type_mismatch();
}

void VariantTable::ReDim(int32_t row_lower, int32_t row_upper, int32_t col_lower, int32_t col_upper) {
  // Counted in 64 bits: bounds near the ends of the 32-bit range must not wrap.
  const int64_t rows = int64_t{row_upper} - row_lower + 1, cols = int64_t{col_upper} - col_lower + 1;
  if (rows < 0 || cols < 0) throw Error(err::kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
  if (rows > std::numeric_limits<int32_t>::max() || cols > std::numeric_limits<int32_t>::max())
    throw Error(err::kOverflow, "Überlauf");
  row_lower_ = row_lower;
  row_upper_ = row_upper;
  col_lower_ = col_lower;
  col_upper_ = col_upper;
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  if (cells_ && cells_.use_count() == 1) {
    cells_->assign(n, Variant());
  } else {
    cells_ = n == 0 ? nullptr : std::make_shared<std::vector<Variant>>(n);
  }
}

bool VariantTable::SameCells(const VariantTable& other) const {
  return cells_ && cells_ == other.cells_ && row_lower_ == other.row_lower_ && row_upper_ == other.row_upper_ &&
         col_lower_ == other.col_lower_ && col_upper_ == other.col_upper_;
}

std::vector<Variant>& VariantTable::own_cells() {
  if (!cells_) {
    cells_ = std::make_shared<std::vector<Variant>>();
  } else if (cells_.use_count() > 1) {
    cells_ = std::make_shared<std::vector<Variant>>(*cells_);
  }
  return *cells_;
}

size_t VariantTable::index(int32_t row, int32_t col) const {
  if (row < row_lower_ || row > row_upper_ || col < col_lower_ || col > col_upper_)
    throw Error(err::kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
  return static_cast<size_t>(int64_t{row} - row_lower_) * static_cast<size_t>(int64_t{col_upper_} - col_lower_ + 1) +
         static_cast<size_t>(int64_t{col} - col_lower_);
}

const Variant& VariantTable::Get(int32_t row, int32_t col) const { return (*cells_)[index(row, col)]; }

void Variant::trim_blanks() {
  std::string* s = std::get_if<std::string>(&value_);
  if (!s) return;
  s->resize(text::unpadded_size(*s));
  if (!s->empty() && s->front() == ' ') s->erase(0, std::min(s->find_first_not_of(' '), s->size()));
}

void VariantTable::Set(int32_t row, int32_t col, Variant value) {
  const size_t i = index(row, col);
  own_cells()[i] = std::move(value);
}

int32_t VariantTable::LowerBound(int32_t dimension) const {
  if (dimension == 1) return row_lower_;
  if (dimension == 2) return col_lower_;
  throw Error(err::kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
}

int32_t VariantTable::UpperBound(int32_t dimension) const {
  if (dimension == 1) return row_upper_;
  if (dimension == 2) return col_upper_;
  throw Error(err::kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
}

void VariantTable::AppendRows(int32_t count) {
  if (count < 0) throw Error(err::kInvalidCall, "Ungültiger Prozeduraufruf oder ungültiges Argument");
  if (int64_t{row_upper_} + count - row_lower_ + 1 > std::numeric_limits<int32_t>::max())
    throw Error(err::kOverflow, "Überlauf");
  const size_t n = static_cast<size_t>(int64_t{row_upper_} + count - row_lower_ + 1) *
                   static_cast<size_t>(int64_t{col_upper_} - col_lower_ + 1);
  own_cells().resize(n);
  row_upper_ += count;
}

int32_t VariantTable::Find(int32_t start_row, int32_t column, const Variant& value, int32_t, int32_t,
                           int32_t) const {
  if (column < col_lower_ || column > col_upper_)
    throw Error(err::kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
  for (int32_t r = std::max(start_row, row_lower_); r <= row_upper_; ++r) {
    const Variant& cell = Get(r, column);
    if (cell == value) return r;
    // A text cell and a text value compare as texts (binary, case-sensitive).
    if (cell.type() == Variant::Type::Text && value.type() == Variant::Type::Text &&
        cell.as_text() == value.as_text())
      return r;
  }
  return -1;
}

}  // namespace noxplz
