// Creating the postal tables in an embedded database from the compiled-in
// script (schema/sqlite/postal_tables.sql).
#include "noxplz/schema.h"

namespace noxplz {

extern const char* const kSqlitePostalSchema;  // generated from the script at configure time

const char* sqlite_postal_schema() { return kSqlitePostalSchema; }

void create_postal_tables(Connection& connection) { connection.Execute(kSqlitePostalSchema); }

ConnectionPtr create_postal_database(const std::string& path) {
  ConnectionPtr connection = open_connection(sqlite_connection_string(path));
  create_postal_tables(*connection);
  return connection;
}

std::string sqlite_connection_string(const std::string& path) {
  // A path with a ';' or a quote, or with blanks at either end, goes in quotes.
  bool plain = path.find_first_of(";\"'") == std::string::npos &&
               (path.empty() || (path.front() != ' ' && path.back() != ' '));
  if (plain) return "Provider=SQLite;Data Source=" + path;
  std::string quoted = "\"";
  for (char c : path) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return "Provider=SQLite;Data Source=" + quoted + "\"";
}

}  // namespace noxplz
