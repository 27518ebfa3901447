// The embedded default database: the provider "SQLite".
//
// Connection-string properties (keys lower case, as parse_connection_string
// gives them):
//   data source      the database file, created if missing (its directory
//                    must exist); ":memory:" for a private in-memory database
//   commit interval  milliseconds that a run of INSERT/UPDATE/DELETE
//                    statements may collect in one transaction before it is
//                    committed (default 200; 0 commits every statement alone)
//
// Statements are SQL Server text; the backend rewrites and registers what
// SQLite needs to answer them the same way (see sql_rewrite.h,
// dialect_functions.h).
//
// Data changes outside an explicit transaction are committed in groups: a
// statement that is no INSERT/UPDATE/DELETE, the end of the commit interval
// and closing the connection commit what was collected. To this connection
// every change is visible at once; other connections see it after the commit.
// Should a statement fail in a way that makes SQLite roll back the whole
// transaction (a time-out, a full disk), the statements collected before it
// are run again, so a failure never takes back earlier successful statements.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "noxplz/db.h"

namespace noxplz::sqlite {

std::unique_ptr<DbBackend> open_backend(const std::map<std::string, std::string>& properties);

}  // namespace noxplz::sqlite
