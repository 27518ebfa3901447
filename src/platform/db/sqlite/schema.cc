// Creating the postal tables from the compiled-in scripts
// (schema/<dialect>/postal_tables.sql).
#include "noxplz/schema.h"

#include "platform/text.h"

namespace noxplz {

// Generated from the scripts at configure time.
extern const char* const kSqlitePostalSchema;
extern const char* const kPostgresqlPostalSchema;
extern const char* const kSqlserverPostalSchema;

const char* postal_schema(SchemaDialect dialect) {
  switch (dialect) {
    case SchemaDialect::kPostgresql:
      return kPostgresqlPostalSchema;
    case SchemaDialect::kSqlserver:
      return kSqlserverPostalSchema;
    case SchemaDialect::kSqlite:
      break;
  }
  return kSqlitePostalSchema;
}

const char* sqlite_postal_schema() { return kSqlitePostalSchema; }

SchemaDialect schema_dialect(std::string_view connection_string) {
  const std::string trimmed = text::trim(connection_string);
  if (trimmed.rfind("postgresql://", 0) == 0 || trimmed.rfind("postgres://", 0) == 0)
    return SchemaDialect::kPostgresql;
  auto properties = parse_connection_string(connection_string);
  const std::string provider = text::lower(properties["provider"]);
  if (provider == "sqlite") return SchemaDialect::kSqlite;
  if (provider == "postgresql") return SchemaDialect::kPostgresql;
  // ODBC: the driver says which server it talks to.
  if (text::lower(properties["driver"]).find("postgres") != std::string::npos ||
      text::lower(properties["dsn"]).find("postgres") != std::string::npos)
    return SchemaDialect::kPostgresql;
  return SchemaDialect::kSqlserver;
}

void create_postal_tables(Connection& connection) {
  const SchemaDialect dialect = schema_dialect(connection.ConnectionString());
  const std::string script = postal_schema(dialect);
  if (dialect != SchemaDialect::kSqlserver) {
    connection.Execute(script);
    return;
  }
  // T-SQL batches end at a line that says GO.
  std::string batch;
  size_t pos = 0;
  while (pos <= script.size()) {
    size_t end = script.find('\n', pos);
    if (end == std::string::npos) end = script.size();
    const std::string line = script.substr(pos, end - pos);
    if (text::ascii_upper(text::trim(line)) == "GO") {
      if (!text::trim(batch).empty()) connection.Execute(batch);
      batch.clear();
    } else {
      batch += line + "\n";
    }
    pos = end + 1;
  }
  bool only_comments = true;
  for (const std::string& line : text::split(batch, '\n')) {
    std::string t = text::trim(line);
    if (!t.empty() && t.rfind("--", 0) != 0) only_comments = false;
  }
  if (!only_comments) connection.Execute(batch);
}

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
