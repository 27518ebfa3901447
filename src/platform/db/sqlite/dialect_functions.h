// The collation and functions that make SQLite answer SQL Server statements:
// NOXPLZ_CI (see german_collation.h), LIKE with SQL Server patterns, and the
// T-SQL string functions the rewrite maps to (noxplz_right, noxplz_left,
// noxplz_len), and noxplz_street_key, which the schema indexes for the address
// checks. Registered on every connection the backend opens.
#pragma once

struct sqlite3;

namespace noxplz::sqlite {

inline constexpr const char* kCollationName = "NOXPLZ_CI";

// Returns an SQLite result code (SQLITE_OK on success).
int register_dialect_functions(sqlite3* db);

}  // namespace noxplz::sqlite
