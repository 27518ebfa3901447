// The street sections of each place packed into one value (STR_DA_PACK), so
// that the list of all streets of a large place is read in one piece
// instead of row by row.
//
// A place's pack holds exactly the rows, in exactly the order, that
//   SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA
//   WHERE Alort = '<key>' order by Name46
// returns: the import writes it by running that statement, in the same
// transaction that loads STR_DA. Triggers on STR_DA delete the pack of every
// place a later change touches, whichever program writes it, and a pack is
// read only while the schema is the one it was written under (so the
// triggers are there and the statement orders as it did); a place without
// a pack is read from STR_DA as before. A query for some of those columns,
// in any order, with the same condition and order, is answered from the
// pack.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"

namespace noxplz::sqlite {

// What a query the packs can answer asks for.
struct PackedQuery {
  std::string key;           // the place key as the query gives it
  std::vector<int> columns;  // the selected columns' places among the packed ones
};

// The query `sql` (SQL Server text, as the component writes it), when the
// packs can answer it.
std::optional<PackedQuery> packed_query(std::string_view sql);

// A failed SQLite call while the packs were written or dropped.
struct PackFailure {
  int rc;
  int extended_rc;
  std::string message;  // SQLite's
  std::string statement;
};

// Within a write transaction that replaces STR_DA: drops the guarding
// triggers (a bulk load would fire them for every row) and the packs, so
// that nothing reads a pack of the old rows meanwhile.
std::optional<PackFailure> suspend_street_packs(sqlite3* h);

// Within that transaction, after STR_DA is loaded and its indexes are
// built: makes the pack table and its triggers anew and writes every
// place's pack.
std::optional<PackFailure> write_street_packs(sqlite3* h);

// Reads the packs of one connection; the statement is prepared once.
class StreetPackReader {
 public:
  StreetPackReader() = default;
  StreetPackReader(const StreetPackReader&) = delete;
  StreetPackReader& operator=(const StreetPackReader&) = delete;
  ~StreetPackReader() { Finalize(); }

  // The answer to `query` from the place's pack; nullptr when the place has
  // none, the database has no packs, or the pack cannot be read: the query
  // then runs on STR_DA, which reports any fault of the database itself.
  // The record set is closed once `connection` has expired.
  RecordsetPtr Read(sqlite3* h, const PackedQuery& query, std::weak_ptr<const void> connection);
  void Finalize();

 private:
  sqlite3_stmt* statement_ = nullptr;  // a place's pack
  sqlite3_stmt* names_ = nullptr;      // the packed columns' names, never stepped to a row
};

}  // namespace noxplz::sqlite
