// The server database PostgreSQL: the provider "PostgreSQL", over libpq.
//
// Connection-string properties (keys lower case, as parse_connection_string
// gives them):
//   host (server, data source)        host name or address; default localhost
//   port                              default 5432
//   database (initial catalog)        database name
//   user id (uid, user)               login
//   password (pwd)                    password
//   connect timeout                   seconds to wait for the server (default 10)
//   ssl mode (sslmode)                libpq's sslmode
//   search path (schema)              the schemas that hold the postal tables
//                                     (PostgreSQL's search_path), e.g. "plz"
//   uri                               a libpq URI (postgresql://…); other
//                                     properties override its parts
//   busy timeout                      ms an import waits for other writers
//                                     of the postal tables (default 5000)
// A connection string that is itself a libpq URI ("postgresql://…" or
// "postgres://…") names this provider too.
//
// Statements are SQL Server text, rewritten by pg_rewrite.h. Record sets are
// read completely into memory (client-side cursor). A connection that the
// server dropped is opened again at the next statement outside a replace
// unit. The replace unit: pg_replace_unit.h.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "noxplz/db.h"

namespace noxplz::postgres {

std::unique_ptr<DbBackend> open_backend(const std::map<std::string, std::string>& properties);

// libpq keywords and values for the properties (in libpq's order of
// precedence: later entries override earlier ones).
std::vector<std::pair<std::string, std::string>> libpq_parameters(
    const std::map<std::string, std::string>& properties);

}  // namespace noxplz::postgres
