// Reading and writing address lists as German spreadsheet programs write
// them: ";" by default, "," and tab recognised, fields quoted with "" where
// they hold the separator, a quote or a line break, lines ended by CR LF, LF
// or a lone CR, in UTF-8 (with or without byte order mark) or Windows-1252.
//
// The reader never drops a line: a record it cannot read comes back with a
// German `problem` and the fields it could make out, so the caller can pass
// it through.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace noxplz::batch {

enum class Encoding { Utf8, Windows1252 };

// "UTF-8" / "Windows-1252", as messages name them.
std::string encoding_name(Encoding encoding);
// Parses a user's name of an encoding ("utf-8", "utf8", "windows-1252",
// "cp1252", "ansi", "latin1", "iso-8859-1", case-insensitive).
std::optional<Encoding> parse_encoding(std::string_view name);

bool is_valid_utf8(std::string_view bytes);

// The encoding of a file from its first bytes: a byte order mark or valid
// UTF-8 with non-ASCII characters says UTF-8, bytes that are no UTF-8 say
// Windows-1252; plain ASCII counts as UTF-8.
struct EncodingGuess {
  Encoding encoding = Encoding::Utf8;
  bool bom = false;
};
EncodingGuess detect_encoding(std::string_view prefix);

// The separator of a header line: the most frequent of ";", "," and tab
// outside quotes, ";" on a tie or when none occurs.
char detect_separator(std::string_view line);

// Splits one logical line into fields. Returns false when a quoted field is
// still open at the end (the fields then hold what was read, the open field
// running to the end of the text).
bool split_fields(std::string_view line, char separator, std::vector<std::string>& fields);

struct CsvRecord {
  int64_t line = 0;                 // first physical line, counted from 1
  int64_t lines = 1;                // physical lines the record spans
  std::vector<std::string> fields;  // UTF-8
  std::string problem;              // German; empty when the record was read cleanly
};

struct CsvReaderOptions {
  std::optional<Encoding> encoding;  // unset: detected
  std::optional<char> separator;     // unset: detected from the first line
  // A quoted field may span lines; a quote still open after this many
  // lines is taken as a broken line, and reading goes on after it.
  int max_record_lines = 50;
};

class CsvReader {
 public:
  CsvReader(std::istream& in, CsvReaderOptions options = {});

  // The next record; false at the end of the input.
  bool next(CsvRecord& record);

  Encoding encoding() const { return encoding_; }
  bool bom() const { return bom_; }
  char separator() const { return separator_; }
  // "\r\n" when the first line ended with CR LF, else "\n".
  const std::string& line_end() const { return line_end_; }
  uint64_t bytes_read() const { return bytes_read_; }
  // Lines of a file taken for UTF-8 that were no UTF-8 and were read as
  // Windows-1252 (every line is decoded on its own unless the encoding was given).
  int64_t lines_read_as_windows1252() const { return fallback_lines_; }

 private:
  bool read_physical_line(std::string& line, bool& too_long);
  std::string decode(std::string raw);

  std::istream& in_;
  CsvReaderOptions options_;
  Encoding encoding_ = Encoding::Utf8;
  bool bom_ = false;
  char separator_ = ';';
  bool separator_known_ = false;
  std::string line_end_ = "\n";
  bool line_end_known_ = false;
  uint64_t bytes_read_ = 0;
  int64_t next_line_ = 1;
  int64_t fallback_lines_ = 0;
  std::string peeked_;          // first block, read for the encoding guess
  size_t peeked_pos_ = 0;
  std::vector<std::string> pushed_back_;  // decoded lines to read again (next one last)
};

struct CsvWriterOptions {
  char separator = ';';
  Encoding encoding = Encoding::Utf8;
  bool bom = true;  // only for UTF-8
  std::string line_end = "\r\n";
};

class CsvWriter {
 public:
  CsvWriter(std::ostream& out, CsvWriterOptions options);
  void write(const std::vector<std::string>& fields);
  // Characters that Windows-1252 cannot hold, written as "?".
  int64_t unrepresentable() const { return unrepresentable_; }

 private:
  std::ostream& out_;
  CsvWriterOptions options_;
  bool started_ = false;
  int64_t unrepresentable_ = 0;
};

// A field as the writer puts it: quoted when it holds the separator, a
// quote or a line break.
std::string quote_field(std::string_view field, char separator);

// UTF-8 to Windows-1252; characters it lacks become "?" and are counted.
std::string utf8_to_windows1252(std::string_view utf8, int64_t* unrepresentable = nullptr);

}  // namespace noxplz::batch
