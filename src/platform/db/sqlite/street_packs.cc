#include "platform/db/sqlite/street_packs.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/db/recordsets.h"
#include "platform/db/sql_tokens.h"

namespace noxplz::sqlite {
namespace {

// The packed columns, in the order of the statement that writes the packs.
constexpr std::array<std::string_view, 6> kColumns = {"name46", "Plz", "HNRVon", "HNRBis", "HNR_Typ", "OTL_Schl"};
constexpr const char* kSectionsOfPlace =
    "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = ?1 order by Name46";
// Raised when the layout of a pack changes (or the order of NOXPLZ_CI):
// packs of another format are not read, and the next import writes them anew.
constexpr int kFormat = 1;
constexpr unsigned char kNullCell = 0xFF;

constexpr std::array<const char*, 3> kTriggers = {"STR_DA_PACK_ON_INSERT", "STR_DA_PACK_ON_UPDATE",
                                                  "STR_DA_PACK_ON_DELETE"};
constexpr const char* kCreateTable =
    "CREATE TABLE STR_DA_PACK (ALORT VARCHAR(8) COLLATE NOXPLZ_CI PRIMARY KEY, FORMAT INTEGER NOT NULL, "
    "SCHEMA_VERSION INTEGER NOT NULL, SECTIONS INTEGER NOT NULL, ROWS BLOB NOT NULL)";
// Before the change: a row that an INSERT or UPDATE OR REPLACE puts in the
// place of another (same rowid) takes that one away without firing any
// DELETE trigger, so its place is looked up then.
constexpr std::array<const char*, 3> kCreateTriggers = {
    "CREATE TRIGGER STR_DA_PACK_ON_INSERT BEFORE INSERT ON STR_DA BEGIN "
    "DELETE FROM STR_DA_PACK WHERE ALORT = NEW.ALORT; "
    "DELETE FROM STR_DA_PACK WHERE ALORT IN (SELECT ALORT FROM STR_DA WHERE rowid = NEW.rowid); END",
    "CREATE TRIGGER STR_DA_PACK_ON_UPDATE BEFORE UPDATE ON STR_DA BEGIN "
    "DELETE FROM STR_DA_PACK WHERE ALORT = OLD.ALORT OR ALORT = NEW.ALORT; "
    "DELETE FROM STR_DA_PACK WHERE ALORT IN (SELECT ALORT FROM STR_DA WHERE rowid = NEW.rowid); END",
    "CREATE TRIGGER STR_DA_PACK_ON_DELETE AFTER DELETE ON STR_DA BEGIN "
    "DELETE FROM STR_DA_PACK WHERE ALORT = OLD.ALORT; END"};

// A pack is the rows one after another, each cell as one byte and its text:
// kNullCell for NULL, else the number of blanks that pad the text on the
// right (the postal fields are padded to their width), then the text's
// length without them as a varint and its bytes.
void put_varint(std::string& out, size_t n) {
  while (n >= 0x80) {
    out.push_back(static_cast<char>((n & 0x7F) | 0x80));
    n >>= 7;
  }
  out.push_back(static_cast<char>(n));
}

bool get_varint(const unsigned char*& p, const unsigned char* end, size_t& n) {
  n = 0;
  for (int shift = 0; p < end && shift < 35; shift += 7) {
    const unsigned char b = *p++;
    n |= static_cast<size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return true;
  }
  return false;
}

// Appends the current row of `st` to `pack`; false for a value a pack does
// not hold (a number, or more than 254 blanks of padding).
bool pack_row(sqlite3_stmt* st, std::string& pack) {
  for (int c = 0; c < static_cast<int>(kColumns.size()); ++c) {
    const int type = sqlite3_column_type(st, c);
    if (type == SQLITE_NULL) {
      pack.push_back(static_cast<char>(kNullCell));
      continue;
    }
    if (type != SQLITE_TEXT) return false;
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
    size_t size = static_cast<size_t>(sqlite3_column_bytes(st, c));
    size_t pad = 0;
    while (size > 0 && text[size - 1] == ' ') --size, ++pad;
    if (pad >= kNullCell) return false;
    pack.push_back(static_cast<char>(pad));
    put_varint(pack, size);
    pack.append(text, size);
  }
  return true;
}

// SQLite's own account of a failure, taken at once (finalizing a statement
// still being stepped would reset it).
PackFailure failure(sqlite3* h, int rc, std::string statement) {
  return PackFailure{rc, sqlite3_extended_errcode(h), sqlite3_errmsg(h), std::move(statement)};
}

std::optional<PackFailure> run(sqlite3* h, const std::string& sql) {
  const int rc = sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return failure(h, rc, sql);
  return std::nullopt;
}

// Prepared statements that end with the scope.
struct Statement {
  sqlite3_stmt* st = nullptr;
  ~Statement() { sqlite3_finalize(st); }
};

// The rows of one pack, each cell found once when the pack is read.
// Like the connection's other record sets, it is closed with the connection.
class PackedRecordset final : public HeldRowsRecordset {
 public:
  PackedRecordset(std::weak_ptr<const void> connection, std::vector<std::string> names, std::vector<int> columns,
                  std::string pack, std::vector<uint32_t> cells, size_t rows)
      : HeldRowsRecordset(std::move(names), rows),
        connection_(std::move(connection)),
        columns_(std::move(columns)),
        pack_(std::move(pack)),
        cells_(std::move(cells)) {}

  bool Eof() const override {
    CheckConnection();
    return HeldRowsRecordset::Eof();
  }
  void MoveNext() override {
    CheckConnection();
    HeldRowsRecordset::MoveNext();
  }
  Variant Field(std::string_view name) const override {
    CheckConnection();
    return HeldRowsRecordset::Field(name);
  }
  int32_t FieldIndex(std::string_view name) const override {
    CheckConnection();
    return HeldRowsRecordset::FieldIndex(name);
  }
  Variant FieldAt(int32_t index) const override {
    CheckConnection();
    return HeldRowsRecordset::FieldAt(index);
  }

 protected:
  Variant Value(size_t row, size_t column) const override {
    const size_t at = cells_[row * kColumns.size() + static_cast<size_t>(columns_[column])];
    const auto* p = reinterpret_cast<const unsigned char*>(pack_.data()) + at;
    const unsigned char pad = *p++;
    if (pad == kNullCell) return Variant::Null();
    size_t size = 0;
    get_varint(p, reinterpret_cast<const unsigned char*>(pack_.data() + pack_.size()), size);
    std::string value;
    value.reserve(size + pad);
    value.append(reinterpret_cast<const char*>(p), size);
    value.append(pad, ' ');
    return Variant(std::move(value));
  }
  void Release() override {
    std::string().swap(pack_);
    std::vector<uint32_t>().swap(cells_);
  }

 private:
  // A record set still on a row is closed with its connection; one read to
  // its end has let go of its statement already and stays at its end.
  void CheckConnection() const {
    if (connection_.expired() && !HeldRowsRecordset::Eof()) throw closed_object_error();
  }

  std::weak_ptr<const void> connection_;
  std::vector<int> columns_;
  std::string pack_;
  std::vector<uint32_t> cells_;  // where each cell starts, row by row
};

// Where each of the `rows` rows' cells starts in `pack`; false when the pack
// is not laid out as its format says.
bool find_cells(const std::string& pack, size_t rows, std::vector<uint32_t>& cells) {
  if (pack.size() > UINT32_MAX || rows > pack.size() / kColumns.size()) return false;  // a cell takes a byte at least
  cells.resize(rows * kColumns.size());
  const auto* begin = reinterpret_cast<const unsigned char*>(pack.data());
  const unsigned char* p = begin;
  const unsigned char* const end = begin + pack.size();
  for (uint32_t& cell : cells) {
    if (p >= end) return false;
    cell = static_cast<uint32_t>(p - begin);
    if (*p++ == kNullCell) continue;
    size_t size = 0;
    if (!get_varint(p, end, size) || size > static_cast<size_t>(end - p)) return false;
    p += size;
  }
  return p == end;
}

}  // namespace

std::optional<PackedQuery> packed_query(std::string_view sql) {
  // Most statements are ruled out without splitting them into tokens.
  if (sql.size() < 50 || sql.size() > 300 || !sql::iequals(sql.substr(0, 7), "SELECT ")) return std::nullopt;
  bool names_table = false;
  for (size_t i = 7; i + 6 <= sql.size() && !names_table; ++i) names_table = sql::iequals(sql.substr(i, 6), "Str_DA");
  if (!names_table) return std::nullopt;
  std::vector<sql::Token> tokens;
  for (const sql::Token& t : sql::tokenize(sql))
    if (sql::significant(t)) tokens.push_back(t);
  PackedQuery query;
  size_t i = 1;
  auto word = [&](std::string_view w) {
    if (i >= tokens.size() || tokens[i].kind != sql::TokenKind::kWord || !sql::iequals(tokens[i].text, w))
      return false;
    ++i;
    return true;
  };
  for (bool more = true; more;) {
    if (i >= tokens.size() || tokens[i].kind != sql::TokenKind::kWord) return std::nullopt;
    int found = -1;
    for (size_t c = 0; c < kColumns.size(); ++c)
      if (sql::iequals(tokens[i].text, kColumns[c])) found = static_cast<int>(c);
    if (found < 0) return std::nullopt;
    query.columns.push_back(found);
    ++i;
    more = i < tokens.size() && tokens[i].text == ",";
    if (more) ++i;
  }
  if (!word("FROM") || !word("Str_DA") || !word("WHERE") || !word("Alort")) return std::nullopt;
  if (i >= tokens.size() || tokens[i].text != "=") return std::nullopt;
  ++i;
  if (i >= tokens.size() || tokens[i].kind != sql::TokenKind::kString) return std::nullopt;
  query.key = sql::string_value(tokens[i]);
  ++i;
  if (!word("order") || !word("by") || !word("Name46") || i != tokens.size()) return std::nullopt;
  return query;
}

std::optional<PackFailure> suspend_street_packs(sqlite3* h) {
  for (const char* name : kTriggers)
    if (auto failed = run(h, std::string("DROP TRIGGER IF EXISTS ") + name)) return failed;
  // The table goes too: the import makes it anew, in the layout of this version.
  return run(h, "DROP TABLE IF EXISTS STR_DA_PACK");
}

std::optional<PackFailure> write_street_packs(sqlite3* h) {
  if (auto failed = suspend_street_packs(h)) return failed;
  if (auto failed = run(h, kCreateTable)) return failed;
  for (const char* create : kCreateTriggers)
    if (auto failed = run(h, create)) return failed;
  // The schema as it stands once the triggers are made: a pack is read only
  // while it is unchanged (no index, trigger or table changed since, which
  // could change the statement's order or leave changes unguarded).
  Statement cookie, places, sections, insert;
  int rc = sqlite3_prepare_v2(h, "PRAGMA schema_version", -1, &cookie.st, nullptr);
  if (rc != SQLITE_OK || (rc = sqlite3_step(cookie.st)) != SQLITE_ROW) return failure(h, rc, "PRAGMA schema_version");
  const int64_t schema_version = sqlite3_column_int64(cookie.st, 0);
  sqlite3_reset(cookie.st);
  const char* places_sql = "SELECT DISTINCT ALORT FROM STR_DA WHERE ALORT IS NOT NULL";
  const char* insert_sql =
      "INSERT INTO STR_DA_PACK (ALORT, FORMAT, SCHEMA_VERSION, SECTIONS, ROWS) VALUES (?1, ?2, ?3, ?4, ?5)";
  if ((rc = sqlite3_prepare_v2(h, places_sql, -1, &places.st, nullptr)) != SQLITE_OK)
    return failure(h, rc, places_sql);
  if ((rc = sqlite3_prepare_v2(h, kSectionsOfPlace, -1, &sections.st, nullptr)) != SQLITE_OK)
    return failure(h, rc, kSectionsOfPlace);
  if ((rc = sqlite3_prepare_v2(h, insert_sql, -1, &insert.st, nullptr)) != SQLITE_OK)
    return failure(h, rc, insert_sql);
  const auto longest = static_cast<size_t>(sqlite3_limit(h, SQLITE_LIMIT_LENGTH, -1));
  std::string pack;
  // One key per place as the statement's condition tells places apart (the
  // column's collation): DISTINCT compares under it too.
  while ((rc = sqlite3_step(places.st)) == SQLITE_ROW) {
    sqlite3_bind_value(sections.st, 1, sqlite3_column_value(places.st, 0));
    pack.clear();
    int64_t rows = 0;
    bool packable = true;
    while ((rc = sqlite3_step(sections.st)) == SQLITE_ROW) {
      packable = packable && pack_row(sections.st, pack);
      ++rows;
    }
    if (rc != SQLITE_DONE) return failure(h, rc, kSectionsOfPlace);
    sqlite3_reset(sections.st);
    if (!packable || rows == 0 || pack.size() > UINT32_MAX || pack.size() > longest) continue;
    sqlite3_bind_value(insert.st, 1, sqlite3_column_value(places.st, 0));
    sqlite3_bind_int(insert.st, 2, kFormat);
    sqlite3_bind_int64(insert.st, 3, schema_version);
    sqlite3_bind_int64(insert.st, 4, rows);
    rc = sqlite3_bind_blob64(insert.st, 5, pack.data(), pack.size(), SQLITE_STATIC);
    if (rc == SQLITE_OK) rc = sqlite3_step(insert.st);
    if (rc != SQLITE_DONE) return failure(h, rc, insert_sql);
    sqlite3_reset(insert.st);
  }
  if (rc != SQLITE_DONE) return failure(h, rc, places_sql);
  return std::nullopt;
}

RecordsetPtr StreetPackReader::Read(sqlite3* h, const PackedQuery& query, std::weak_ptr<const void> connection) {
  // Only while the schema is the one the packs were written under (so the
  // triggers still guard them, and the statement still orders as it did),
  // and no temporary table hides the STR_DA they were written from. Asked in
  // the same statement, so of the same state of the database.
  if (!statement_ &&
      sqlite3_prepare_v3(h,
                         "SELECT SECTIONS, ROWS FROM main.STR_DA_PACK WHERE ALORT = ?1 AND FORMAT = ?2 AND "
                         "SCHEMA_VERSION = (SELECT schema_version FROM pragma_schema_version) AND NOT EXISTS "
                         "(SELECT 1 FROM temp.sqlite_master WHERE name = 'STR_DA' COLLATE NOCASE)",
                         -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr) != SQLITE_OK) {
    statement_ = nullptr;  // no packs in this database (yet)
    return nullptr;
  }
  // The names as SQLite gives them for the columns (as the table declares them).
  if (!names_ && sqlite3_prepare_v3(h, "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM main.Str_DA WHERE 0",
                                    -1, SQLITE_PREPARE_PERSISTENT, &names_, nullptr) != SQLITE_OK) {
    names_ = nullptr;
    return nullptr;
  }
  sqlite3_bind_text(statement_, 1, query.key.data(), static_cast<int>(query.key.size()), SQLITE_STATIC);
  sqlite3_bind_int(statement_, 2, kFormat);
  std::string pack;
  int64_t rows = 0;
  const int rc = sqlite3_step(statement_);
  const bool found = rc == SQLITE_ROW;
  if (found) {
    rows = sqlite3_column_int64(statement_, 0);
    const void* blob = sqlite3_column_blob(statement_, 1);
    pack.assign(static_cast<const char*>(blob ? blob : ""), static_cast<size_t>(sqlite3_column_bytes(statement_, 1)));
  }
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) Finalize();  // the table is gone, say: prepared anew next time
  std::vector<uint32_t> cells;
  if (!found || rows <= 0 || !find_cells(pack, static_cast<size_t>(rows), cells)) return nullptr;
  // Stepped once so that a changed table is prepared anew before its names are read.
  if (sqlite3_step(names_) != SQLITE_DONE) {
    sqlite3_reset(names_);
    return nullptr;
  }
  sqlite3_reset(names_);
  std::vector<std::string> names;
  for (int c : query.columns) {
    const char* name = sqlite3_column_name(names_, c);
    names.emplace_back(name ? name : "");
  }
  return std::make_shared<PackedRecordset>(std::move(connection), std::move(names), query.columns, std::move(pack), std::move(cells),
                                           static_cast<size_t>(rows));
}

void StreetPackReader::Finalize() {
  sqlite3_finalize(statement_);
  sqlite3_finalize(names_);
  statement_ = names_ = nullptr;
}

}  // namespace noxplz::sqlite
