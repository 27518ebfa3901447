#include "platform/db/postgres/pg_connection.h"

#include <poll.h>

#include <chrono>
#include <thread>

#include "platform/db/server_errors.h"
#include "platform/text.h"

namespace noxplz::postgres {
namespace {

using Clock = std::chrono::steady_clock;

// How much longer than the server's own statement limit the client waits
// before it cancels, and how long a cancelled statement may take to end.
constexpr auto kClientGrace = std::chrono::seconds(10);
constexpr auto kCancelGrace = std::chrono::seconds(5);

std::string trimmed_message(const char* msg) {
  std::string s = msg ? msg : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  // libpq prefixes "connection to server at … failed: "; keep it, it names the server.
  return s;
}

bool contains(const std::string& s, std::string_view part) { return s.find(part) != std::string::npos; }

std::string param(const std::vector<std::pair<std::string, std::string>>& params, std::string_view key) {
  std::string value;
  for (const auto& [k, v] : params)
    if (k == key) value = v;
  return value;
}

// Notices (a DROP … CASCADE naming what it dropped, say) are no errors; a
// component loaded into a host application prints nothing of its own.
void ignore_notice(void*, const char*) {}

}  // namespace

Error connect_error(PGconn* conn, const std::vector<std::pair<std::string, std::string>>& params) {
  const std::string msg = trimmed_message(conn ? PQerrorMessage(conn) : "zu wenig Speicher");
  std::string host = conn && PQhost(conn) ? PQhost(conn) : param(params, "host");
  std::string port = conn && PQport(conn) ? PQport(conn) : param(params, "port");
  std::string user = conn && PQuser(conn) ? PQuser(conn) : param(params, "user");
  std::string db = conn && PQdb(conn) ? PQdb(conn) : param(params, "dbname");
  const std::string server = "\"" + host + (port.empty() ? "" : ":" + port) + "\"";
  std::string what;
  if (contains(msg, "password authentication failed") || contains(msg, "no password supplied") ||
      contains(msg, "password is required"))
    what = "Die Anmeldung am PostgreSQL-Server " + server + " ist fehlgeschlagen: Benutzername oder Kennwort für \"" +
           user + "\" ist falsch.";
  else if (contains(msg, "does not exist") && contains(msg, "database"))
    what = "Die Datenbank \"" + db + "\" gibt es auf dem PostgreSQL-Server " + server + " nicht.";
  else if (contains(msg, "role") && contains(msg, "does not exist"))
    what = "Den Benutzer \"" + user + "\" gibt es auf dem PostgreSQL-Server " + server + " nicht.";
  else if (contains(msg, "Connection refused"))
    what = "Der PostgreSQL-Server " + server +
           " ist nicht erreichbar (Verbindung abgelehnt). Läuft der Server, und stimmen Rechnername und Port?";
  else if (contains(msg, "timeout expired"))
    what = "Zeitüberschreitung beim Verbinden mit dem PostgreSQL-Server " + server + ".";
  else if (contains(msg, "could not translate host name"))
    what = "Der Rechnername \"" + host + "\" ist unbekannt.";
  else if (contains(msg, "no pg_hba.conf entry"))
    what = "Der PostgreSQL-Server " + server + " lässt diesen Rechner oder Benutzer nicht zu (pg_hba.conf).";
  else
    what = "Die Verbindung zum PostgreSQL-Server " + server + " kann nicht hergestellt werden.";
  return Error(err::kDbOpenFailed, what + " (" + msg + ")");
}

std::unique_ptr<PgConnection> PgConnection::Open(std::vector<std::pair<std::string, std::string>> params) {
  std::vector<const char*> keys, values;
  for (const auto& [k, v] : params) {
    keys.push_back(k.c_str());
    values.push_back(v.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 1);
  if (!conn || PQstatus(conn) != CONNECTION_OK) {
    Error e = connect_error(conn, params);
    if (conn) PQfinish(conn);
    throw e;
  }
  PQsetNoticeProcessor(conn, ignore_notice, nullptr);
  auto pg = std::unique_ptr<PgConnection>(new PgConnection(conn, std::move(params)));
  // Backslashes in literals stand for themselves, as on SQL Server.
  pg->Command("SET standard_conforming_strings = on");
  return pg;
}

PgConnection::~PgConnection() {
  if (conn_) PQfinish(conn_);
}

bool PgConnection::WaitSocket(bool for_write, Clock::time_point deadline) const {
  pollfd fd{PQsocket(conn_), static_cast<short>(for_write ? POLLOUT : POLLIN), 0};
  for (;;) {
    int wait_ms = -1;
    if (deadline != Clock::time_point{}) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      wait_ms = static_cast<int>(std::min<long long>(left, 1000 * 60 * 60));
    }
    int rc = poll(&fd, 1, wait_ms);
    if (rc > 0) return true;
    if (rc == 0) {
      if (deadline != Clock::time_point{} && Clock::now() >= deadline) return false;
      continue;
    }
    if (errno != EINTR) return true;  // let libpq report the socket's error
  }
}

void PgConnection::SetStatementTimeout(int32_t seconds) {
  if (seconds == statement_timeout_) return;
  ResultPtr r(PQexec(conn_, ("SET statement_timeout = " + std::to_string(int64_t{seconds} * 1000)).c_str()));
  if (r && PQresultStatus(r.get()) == PGRES_COMMAND_OK) statement_timeout_ = seconds;
  // Otherwise (a transaction that already failed) it is tried again next time.
}

ResultPtr PgConnection::Run(const std::string& text, std::string_view original, int32_t timeout_seconds) {
  if (!conn_) {
    db::ServerDiagnostic d{"08003", 0, "Die Verbindung besteht nicht mehr.", {}, {}};
    throw db::server_error(d, original, timeout_seconds);
  }
  SetStatementTimeout(timeout_seconds);
  if (!PQsendQuery(conn_, text.c_str())) throw MakeError(nullptr, original, timeout_seconds);

  Clock::time_point deadline{};
  if (timeout_seconds > 0) deadline = Clock::now() + std::chrono::seconds(timeout_seconds) + kClientGrace;
  bool cancelled = false;
  ResultPtr last, error;
  for (;;) {
    while (PQisBusy(conn_)) {
      if (!WaitSocket(false, deadline)) {
        if (cancelled) {
          // The server does not answer: the connection is given up and
          // opened again at the next statement.
          PQfinish(conn_);
          conn_ = nullptr;
          db::ServerDiagnostic d{"57014", 0, "Der Server antwortet nicht.", {}, {}};
          throw db::server_error(d, original, timeout_seconds);
        }
        if (PGcancel* c = PQgetCancel(conn_)) {
          char buf[256];
          PQcancel(c, buf, sizeof buf);
          PQfreeCancel(c);
        }
        cancelled = true;
        deadline = Clock::now() + kCancelGrace;
        continue;
      }
      if (!PQconsumeInput(conn_)) throw MakeError(nullptr, original, timeout_seconds);
    }
    PGresult* r = PQgetResult(conn_);
    if (!r) break;
    switch (PQresultStatus(r)) {
      case PGRES_COPY_IN:
        PQputCopyEnd(conn_, "COPY FROM STDIN ist über eine Anweisung nicht möglich");
        PQclear(r);
        break;
      case PGRES_COPY_OUT: {
        char* buf = nullptr;
        while (PQgetCopyData(conn_, &buf, 0) > 0) PQfreemem(buf);
        PQclear(r);
        break;
      }
      case PGRES_FATAL_ERROR:
      case PGRES_BAD_RESPONSE:
      case PGRES_NONFATAL_ERROR:
        if (!error) error.reset(r);
        else PQclear(r);
        break;
      default:
        last.reset(r);
        break;
    }
    if (PQstatus(conn_) != CONNECTION_OK) break;
  }
  if (error) throw MakeError(error.get(), original, timeout_seconds);
  if (PQstatus(conn_) != CONNECTION_OK) throw MakeError(nullptr, original, timeout_seconds);
  if (!last) last.reset(PQmakeEmptyPGresult(conn_, PGRES_EMPTY_QUERY));
  return last;
}

void PgConnection::Command(const std::string& text, int32_t timeout_seconds) { Run(text, text, timeout_seconds); }

Error PgConnection::MakeError(const PGresult* res, std::string_view statement, int32_t timeout_seconds) const {
  db::ServerDiagnostic d;
  auto field = [&](int code) {
    const char* v = res ? PQresultErrorField(res, code) : nullptr;
    return std::string(v ? v : "");
  };
  d.sqlstate = field(PG_DIAG_SQLSTATE);
  d.message = field(PG_DIAG_MESSAGE_PRIMARY);
  if (std::string detail = field(PG_DIAG_MESSAGE_DETAIL); !detail.empty()) d.message += " " + detail;
  d.table = field(PG_DIAG_TABLE_NAME);
  d.constraint = field(PG_DIAG_CONSTRAINT_NAME);
  if (d.message.empty()) d.message = trimmed_message(res ? PQresultErrorMessage(res) : PQerrorMessage(conn_));
  if (d.message.empty()) d.message = trimmed_message(PQerrorMessage(conn_));
  if (d.sqlstate.empty() && PQstatus(conn_) != CONNECTION_OK) d.sqlstate = "08006";
  return db::server_error(d, statement, timeout_seconds);
}

void PgConnection::ReopenIfLost() {
  if (!Lost() || in_unit) return;
  PGconn* fresh = nullptr;
  {
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : params_) {
      keys.push_back(k.c_str());
      values.push_back(v.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    fresh = PQconnectdbParams(keys.data(), values.data(), 1);
  }
  if (!fresh || PQstatus(fresh) != CONNECTION_OK) {
    Error e = connect_error(fresh, params_);
    if (fresh) PQfinish(fresh);
    throw Error(e.number, "Die Verbindung zum Datenbankserver ist abgebrochen und lässt sich nicht wieder herstellen. " +
                              e.description);
  }
  if (conn_) PQfinish(conn_);
  conn_ = fresh;
  PQsetNoticeProcessor(conn_, ignore_notice, nullptr);
  statement_timeout_ = 0;
  Command("SET standard_conforming_strings = on");
}

}  // namespace noxplz::postgres
