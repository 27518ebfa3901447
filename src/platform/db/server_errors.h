// German descriptions of the errors a database server reports, shared by the
// server backends (PostgreSQL, ODBC). The server's own text and the
// SQLSTATE are kept in the description; the German sentence in front tells
// the user what happened. A unique-key violation always says
// "doppelter Schlüssel" (kDuplicateKeyText), the text the import looks for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "noxplz/error.h"

namespace noxplz::db {

struct ServerDiagnostic {
  std::string sqlstate;  // five characters, may be empty
  int32_t native = 0;    // the server's own error number (SQL Server: 2627, …), 0 when none
  std::string message;   // the server's text
  std::string table;     // the table concerned, when the server names it
  std::string constraint;
};

// The Error for a failed statement. `timeout_seconds` is the statement's
// limit (named in a time-out message).
Error server_error(const ServerDiagnostic& d, std::string_view statement, int32_t timeout_seconds);

// Whether a diagnostic is a unique-key violation (PostgreSQL 23505, SQL Server
// 2627/2601, or a message that says so).
bool is_duplicate_key(const ServerDiagnostic& d);

// Whether the connection itself has failed (SQLSTATE class 08, a server
// shutting down).
bool is_connection_failure(std::string_view sqlstate);

// The first 300 characters of a statement, trimmed, for messages.
std::string statement_excerpt(std::string_view sql);

}  // namespace noxplz::db
