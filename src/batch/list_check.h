// The list check: every address of a list checked without a single question,
// with the corrections the postal tables leave no doubt about.
//
// Statuses: geprueft (right as given), korrigiert (exactly one right address
// differs from the given one), mehrdeutig (several candidates, listed),
// unbekannt (nothing found), fehlerhaft (the line cannot be read).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "batch/columns.h"
#include "batch/csv.h"

namespace noxplz {
class clsPlzManager;
class SimilarNames;
}  // namespace noxplz

namespace noxplz::batch {

enum class Status { Geprueft, Korrigiert, Mehrdeutig, Unbekannt, Fehlerhaft };
inline constexpr size_t kStatusCount = 5;
// "geprueft", "korrigiert", "mehrdeutig", "unbekannt", "fehlerhaft".
const char* status_name(Status status);

struct RowResult {
  Status status = Status::Unbekannt;
  // The right address (geprueft, korrigiert) in the postal tables' spelling.
  std::string plz, ort, strasse, hausnummer;
  std::string grund;                     // reason code, e.g. "bestaetigt"
  std::vector<std::string> vorschlaege;  // candidates ("PLZ Ort, Straße")
};

// Checks one address on the calling thread's session (the manager's), never
// asking. `names` holds the names read for the typo tolerance.
RowResult check_list_address(clsPlzManager& manager, const ListAddress& address, SimilarNames& names);

// The text of the Vorschlaege column: candidates joined by " | ".
std::string join_suggestions(const std::vector<std::string>& suggestions);

struct ListProgress {
  int64_t rows = 0;          // lines written so far (header excluded)
  uint64_t bytes_read = 0;   // of the input
  double seconds = 0;
};

struct ListSummary {
  std::array<int64_t, kStatusCount> counts{};
  int64_t rows = 0;
  double seconds = 0;
  int64_t unrepresentable = 0;  // characters written as "?" (Windows-1252 output)
};

struct ListRunOptions {
  // Every worker thread opens its own session with this connection string.
  std::string connection_string;
  int threads = 0;  // 0: one per processor core
  // Column mapping FELD=SPALTE,... (see find_columns).
  std::string columns;
  // The output: separator and line end follow the input.
  Encoding output_encoding = Encoding::Utf8;
  bool bom = true;
  // Called on the calling thread after every written block of lines.
  std::function<void(const ListProgress&)> progress;
  // A line that cannot be read (line number, German description), in order.
  std::function<void(int64_t line, const std::string& message)> problem;
};

// Reads the list (header first), checks every line on `options.threads`
// threads and writes every line to `out` in input order: its fields
// unchanged, then the result columns. Throws std::invalid_argument (German)
// when the list is empty or its header names no address column, and
// noxplz::Error when a session cannot start.
ListSummary check_list(CsvReader& reader, std::ostream& out, const ListRunOptions& options);

}  // namespace noxplz::batch
