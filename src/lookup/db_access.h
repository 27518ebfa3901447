// Small helpers the lookups share: the thread's connection, a record set
// that is closed on every way out, and trimmed cell values.
#pragma once

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/variant.h"
#include "platform/text.h"

namespace noxplz::lookup {

// Runs a statement on the thread's shared connection (error 91 without one).
inline RecordsetPtr run(const std::string& sql) {
  const ConnectionPtr& connection = session().connection;
  if (!connection) throw Error(err::kObjectNotSet, "Objektvariable oder With-Blockvariable nicht festgelegt");
  return connection->Execute(sql);
}

// A text as an SQL string literal.
inline std::string quoted(std::string_view value) { return "'" + sql_quote(value) + "'"; }

// Calls `row` for every row of a record set, then closes it (also when
// `row` or a step fails).
template <class F>
void for_each_row(RecordsetPtr rs, F&& row) {
  try {
    for (; !rs->Eof(); rs->MoveNext()) row(*rs);
  } catch (...) {
    try {
      rs->Close();
    } catch (...) {
    }
    throw;
  }
  rs->Close();
}

// The same for a statement on the thread's connection, or on `connection`.
template <class F>
void for_each_row(const std::string& sql, F&& row) {
  for_each_row(run(sql), std::forward<F>(row));
}
template <class F>
void for_each_row(Connection& connection, const std::string& sql, F&& row) {
  for_each_row(connection.Execute(sql), std::forward<F>(row));
}
// A query on `connection` with `values` bound to its ? markers.
template <class F>
void for_each_row(Connection& connection, std::string_view sql, std::span<const std::string_view> values, F&& row) {
  for_each_row(connection.ExecuteBound(sql, values), std::forward<F>(row));
}
template <class F>
void for_each_row(Connection& connection, std::string_view sql, std::initializer_list<std::string_view> values,
                  F&& row) {
  for_each_row(connection.ExecuteBound(sql, std::span<const std::string_view>(values.begin(), values.size())),
               std::forward<F>(row));
}

// Holds a record set and closes it when it goes out of scope, ignoring any
// error of the close.
class ScopedRecordset {
 public:
  explicit ScopedRecordset(RecordsetPtr rs) : rs_(std::move(rs)) {}
  ~ScopedRecordset() { close(); }
  ScopedRecordset(const ScopedRecordset&) = delete;
  ScopedRecordset& operator=(const ScopedRecordset&) = delete;

  Recordset* operator->() const { return rs_.get(); }
  Recordset& operator*() const { return *rs_; }
  void close() noexcept {
    if (!rs_) return;
    try {
      rs_->Close();
    } catch (...) {
    }
    rs_.reset();
  }

 private:
  RecordsetPtr rs_;
};

// Reads the fields `names` of a record set's rows by position: each name is
// looked up on its first read (raising as Field does) and its position kept
// for the following rows. Lists read several fields of tens of thousands of rows.
template <size_t N>
class Fields {
 public:
  Fields(const Recordset& rs, std::array<std::string_view, N> names) : rs_(rs), names_(names) {}

  // Field names_[i] of the current row.
  Variant operator[](size_t i) const {
    if (at_[i] < 0) at_[i] = rs_.FieldIndex(names_[i]);
    return rs_.FieldAt(at_[i]);
  }
  // That field as trimmed text (Recordset::TrimmedTextAt).
  void text(size_t i, std::string& out) const {
    if (at_[i] < 0) at_[i] = rs_.FieldIndex(names_[i]);
    rs_.TrimmedTextAt(at_[i], out);
  }

 private:
  const Recordset& rs_;
  std::array<std::string_view, N> names_;
  mutable std::array<int32_t, N> at_ = filled(-1);

  static constexpr std::array<int32_t, N> filled(int32_t v) {
    std::array<int32_t, N> a{};
    a.fill(v);
    return a;
  }
};

// A field value trimmed; a null value stays null. The text is trimmed in
// place (lists read this for every row of tens of thousands).
inline Variant trimmed(Variant v) {
  if (v.is_null()) return v;
  if (!v.text_if()) v = Variant(std::move(v).as_text());
  v.trim_blanks();
  return v;
}

// Shows "fixed\nNUMBER / description" for a caught exception.
void show_lookup_error(std::string_view fixed_text, const std::exception& e);

}  // namespace noxplz::lookup
