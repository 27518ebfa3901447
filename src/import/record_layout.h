// The nine record types of a Datafactory Postalcode file in one table: field
// columns and widths, record length, target table, counter and progress label.
// The INSERT heads, the cutting of a line and its VALUES text all come from
// this table, so the nine record routines are one procedure.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "manager/session.h"

namespace noxplz::import {

struct Field {
  std::string_view column;
  int width;
  // The INSERT head follows this column's comma with two blanks (as the
  // statements were always written).
  bool two_blanks = false;
  // Written as a bare whole number instead of a quoted text (XX Satzzahl).
  bool bare_number = false;
};

struct RecordLayout {
  std::string_view code;    // "GE"
  std::string_view table;   // "GROSS_DA"
  int record_length;        // position of the end mark "$"
  std::vector<Field> fields;  // in file order, end mark not included
  int32_t RecordCounters::*counter;  // nullptr for check records
  std::string_view count_label;      // progress label, empty for check records

  // "Falsche Satzlänge bei den GE-Sätzen, Import nicht möglich!"
  std::string wrong_length_message() const;
  // "Fehler beim Import der GE-Sätze!"
  std::string error_message() const;
};

// Order of the types as the import tests them: GE KG OE OR OT PF PL ST XX.
enum RecordType : int { kGE, kKG, kOE, kOR, kOT, kPF, kPL, kST, kXX, kRecordTypes };

const std::array<RecordLayout, kRecordTypes>& record_layouts();

// Record type of a line: its first two bytes in upper case; -1 when none of the nine.
int record_type_of(std::string_view line);

// "Insert INTO KGS_DA  (versionkennung,...,name ) ".
std::string insert_head(const RecordLayout& layout);

// Cuts `line` (raw file bytes) by the layout and appends the VALUES text
// ("Values ( 'A','B',...')") to `values`. Returns whether the end mark at the
// record length is "$". Raises error 13 for a check record whose count is no
// number, like the conversion of the count always did.
bool build_values(const RecordLayout& layout, std::string_view line, std::string& values);

// Cuts `line` by the layout into the values the VALUES text would hold
// between its quotes, converted (a check record's count as its number),
// one string per field in `values` (resized; buffers reused). Returns
// whether the end mark is "$". Raises error 13 like build_values.
bool cut_values(const RecordLayout& layout, std::string_view line, std::vector<std::string>& values);

// The whole-number conversion of a check record's count: blanks around an
// optional sign and digits; anything else raises error 13.
int32_t to_whole_number(std::string_view field);

}  // namespace noxplz::import
