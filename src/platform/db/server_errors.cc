#include "platform/db/server_errors.h"

#include "noxplz/db.h"
#include "platform/text.h"

namespace noxplz::db {
namespace {

constexpr size_t kStatementChars = 300;

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

}  // namespace

std::string statement_excerpt(std::string_view sql) {
  std::string s = text::trim(sql);
  if (text::length(s) > kStatementChars) s = text::left(s, kStatementChars) + " …";
  return s;
}

bool is_duplicate_key(const ServerDiagnostic& d) {
  if (d.sqlstate == "23505" || d.native == 2627 || d.native == 2601) return true;
  const std::string m = lower_ascii(d.message);
  return starts_with(d.sqlstate, "23") &&
         (m.find("duplicate key") != std::string::npos || m.find(std::string(kDuplicateKeyText)) != std::string::npos);
}

bool is_connection_failure(std::string_view sqlstate) {
  return starts_with(sqlstate, "08") || sqlstate == "57P01" || sqlstate == "57P02" || sqlstate == "57P03";
}

Error server_error(const ServerDiagnostic& d, std::string_view statement, int32_t timeout_seconds) {
  const std::string& s = d.sqlstate;
  std::string server = text::trim(d.message);
  while (!server.empty() && (server.back() == '\n' || server.back() == '\r')) server.pop_back();
  std::string origin = " (Server: " + server + (s.empty() ? "" : " [SQLSTATE " + s + "]") + ")";
  const std::string stmt = " (Anweisung: " + statement_excerpt(statement) + ")";

  if (is_duplicate_key(d)) {
    return Error(err::kDbIntegrity, "Verletzung der UNIQUE KEY-Einschränkung" +
                                        (d.constraint.empty() ? std::string() : " '" + d.constraint + "'") +
                                        ". Ein doppelter Schlüssel kann in das Objekt '" + d.table +
                                        "' nicht eingefügt werden." + origin);
  }
  if (starts_with(s, "23"))
    return Error(err::kDbIntegrity, "Verletzung einer Einschränkung" +
                                        (d.table.empty() ? std::string() : " der Tabelle '" + d.table + "'") + "." +
                                        origin + stmt);
  if (s == "57014" || s == "HYT00" || s == "HYT01")
    return Error(err::kDbTimeout, "Zeitüberschreitung: Die Anweisung wurde nach " + std::to_string(timeout_seconds) +
                                      " Sekunde(n) abgebrochen." + origin + stmt);
  if (is_connection_failure(s))
    return Error(err::kDbError, "Die Verbindung zum Datenbankserver ist abgebrochen." + origin);

  std::string what;
  if (s == "42P01" || s == "42S02")
    what = "Ungültiger Objektname: Die Tabelle oder Sicht gibt es in dieser Datenbank nicht.";
  else if (s == "42703" || s == "42S22")
    what = "Ungültiger Spaltenname: Die Spalte gibt es in dieser Tabelle nicht.";
  else if (s == "42601" || s == "42000")
    what = "Falsche Syntax in der SQL-Anweisung.";
  else if (s == "42501")
    what = "Keine Berechtigung für diesen Vorgang auf der Datenbank.";
  else if (s == "22001")
    what = "Zeichenfolgen- oder Binärdaten würden abgeschnitten: Der Wert ist länger als die Spalte.";
  else if (starts_with(s, "22"))
    what = "Ungültiger Wert in der SQL-Anweisung.";
  else if (s == "40P01" || s == "40001")
    what = "Die Anweisung wurde wegen eines Konflikts mit einer anderen Verbindung abgebrochen (Deadlock).";
  else if (s == "25P02")
    what = "Die Transaktion ist nach einem früheren Fehler abgebrochen; erst ein ROLLBACK macht sie wieder nutzbar.";
  else if (starts_with(s, "53"))
    what = "Dem Datenbankserver fehlen Ressourcen (Speicher oder Platz auf dem Datenträger).";
  else if (starts_with(s, "42"))
    what = "Die SQL-Anweisung ist ungültig.";
  else
    what = "Fehler des Datenbankservers.";
  return Error(err::kDbError, what + origin + stmt);
}

}  // namespace noxplz::db
