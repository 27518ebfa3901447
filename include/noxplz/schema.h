// Creating the postal tables in a new embedded (SQLite) database. Used by the
// tools and tests; the component itself never creates tables.
#pragma once

#include <string>

#include "noxplz/db.h"

namespace noxplz {

// The SQLite script of the nine postal tables and their indexes.
const char* sqlite_postal_schema();

// Runs the SQLite script on an open SQLite connection (existing tables are kept).
void create_postal_tables(Connection& connection);

// Opens (creating if missing) the SQLite file `path`, creates the postal
// tables if they are not there, and returns the open connection.
ConnectionPtr create_postal_database(const std::string& path);

// "Provider=SQLite;Data Source=<path>".
std::string sqlite_connection_string(const std::string& path);

}  // namespace noxplz
