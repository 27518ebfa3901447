// The embedded default database: the provider "SQLite".
//
// Connection-string properties (keys lower case, as parse_connection_string
// gives them):
//   data source      the database file, created if missing (its directory
//                    must exist); ":memory:" for a private in-memory database
//   commit interval  milliseconds that a group of data changes may collect
//                    before it is committed (default 200; 0 commits every
//                    statement on its own)
//   busy timeout     milliseconds to wait for a lock held by another
//                    connection before the statement fails (default 5000)
//
// Statements are SQL Server text; the backend rewrites and registers what
// SQLite needs to answer them the same way (see sql_rewrite.h,
// dialect_functions.h).
//
// A long run of INSERT/UPDATE/DELETE statements outside an explicit
// transaction (an import: a thousand of them without any other statement in
// between) is committed in groups instead of one by one. A group ends with the
// next statement that is no INSERT/UPDATE/DELETE, at the end of the commit
// interval (also while no statement comes: a thread of the backend commits
// it), and when the connection is closed. This connection sees every
// change at once; other connections see a group once it is committed. Should
// a statement fail in a way that makes SQLite roll back the whole transaction
// (a time-out, a full disk), the statements of the group before it are run
// again, so a failure never takes back earlier successful statements.
//
// An import replaces the postal tables in one replace unit (db.h): one
// write transaction on the WAL journal, so every other connection reads the
// old tables until COMMIT, and nothing of the import survives a failure, a
// rollback or the end of the process. The tables' non-unique indexes are
// dropped inside the transaction and built again just before COMMIT, and
// the journal is checkpointed into the database file afterwards. One import
// at a time: the unit holds an advisory lock on "<database>-importlock".
#pragma once

#include <map>
#include <memory>
#include <string>

#include "noxplz/db.h"

namespace noxplz::sqlite {

std::unique_ptr<DbBackend> open_backend(const std::map<std::string, std::string>& properties);

}  // namespace noxplz::sqlite
