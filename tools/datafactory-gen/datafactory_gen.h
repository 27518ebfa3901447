// Generator of realistic Datafactory Postalcode files: all nine record types
// in their fixed-width layouts, CR LF line ends, umlauts in the DOS bytes the
// import expects, and XX check records that match what was written (per
// record type and status group; PL, OE and GE under the status "G").
//
// Deterministic: the same options (seed included) give the same bytes.
// Optional deliberate faults let tests build every failure case of an import.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

namespace noxplz::datafactory {

struct GenOptions {
  uint64_t seed = 1;

  // Data records per type. The default is a small file of a few thousand records.
  int64_t st = 3000;
  int64_t pl = 160;
  int64_t pf = 120;
  int64_t ot = 100;
  int64_t orte = 90;  // OR records
  int64_t ge = 60;
  int64_t kg = 60;
  int64_t oe = 20;

  // --- deliberate faults ---
  // The first line is an unknown record type (a header), so the file fails
  // the validity test although every record after it is sound.
  bool header_line = false;
  // This many records of `wrong_end_mark_type` carry "#" instead of "$" as
  // their end mark (spread over that type's records; none is the first line).
  // The check records still count them, as a damaged delivery would.
  int wrong_end_marks = 0;
  std::string wrong_end_mark_type = "ST";
  // The first check record of this type states one record more than written.
  std::string wrong_count_type;
  // Lines of an unknown record type ("ZZ") spread through the file.
  int unknown_lines = 0;
  // Records of this type carry their type code in lower case ("or", ...).
  std::string lower_case_type;

  // The full delivery: about 1.1 million records.
  static GenOptions Full();
};

// What a generated file holds.
struct GenSummary {
  std::map<std::string, int64_t> records;  // data records written per type code
  int64_t check_records = 0;               // XX lines
  int64_t unknown_lines = 0;               // lines of unknown type (header included)
  int64_t lines = 0;                       // all lines
  int64_t bytes = 0;
  // What the check records state, keyed "PF1" (type code and status).
  struct Group {
    int64_t count = 0;
    int64_t date_sum = 0;
  };
  std::map<std::string, Group> groups;
};

// Writes a file to `out`; returns what it holds.
GenSummary generate(std::ostream& out, const GenOptions& options);
// Writes a file to `path` (replaced if present). Raises std::runtime_error
// when the file cannot be written.
GenSummary generate_file(const std::string& path, const GenOptions& options);

// The text in the file's DOS code page: ä ö ü Ä Ö Ü ß become the bytes 0x84
// 0x94 0x81 0x8E 0x99 0x9A 0xE1; other characters must be ASCII.
std::string to_dos_bytes(const std::string& utf8);

}  // namespace noxplz::datafactory
