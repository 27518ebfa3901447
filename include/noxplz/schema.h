// Creating the postal tables. Used by the tools and tests; the component
// itself never creates tables.
#pragma once

#include <string>
#include <string_view>

#include "noxplz/db.h"

namespace noxplz {

// The SQL dialect a schema script is written in.
enum class SchemaDialect { kSqlite, kPostgresql, kSqlserver };

// The compiled-in script of the nine postal tables and their indexes
// (schema/<dialect>/postal_tables.sql).
const char* postal_schema(SchemaDialect dialect);
const char* sqlite_postal_schema();

// The dialect of the database a connection string opens: SQLite, PostgreSQL
// (also through ODBC with a PostgreSQL driver), else SQL Server.
SchemaDialect schema_dialect(std::string_view connection_string);

// Runs the script of the connection's dialect on an open connection (the
// SQLite and PostgreSQL scripts keep existing tables; the SQL Server script,
// run batch by batch, stops at the first table that exists).
void create_postal_tables(Connection& connection);

// Opens (creating if missing) the SQLite file `path`, creates the postal
// tables if they are not there, and returns the open connection.
ConnectionPtr create_postal_database(const std::string& path);

// "Provider=SQLite;Data Source=<path>".
std::string sqlite_connection_string(const std::string& path);

}  // namespace noxplz
