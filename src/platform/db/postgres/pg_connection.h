// One libpq connection: opening it with German messages, running text with
// a time limit, turning the server's errors into noxplz::Error.
#pragma once

#include <libpq-fe.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "noxplz/error.h"

namespace noxplz::postgres {

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

class PgConnection {
 public:
  // Connects; raises a German Error when the server cannot be reached or
  // refuses the login. Never waits longer than the connect timeout.
  static std::unique_ptr<PgConnection> Open(std::vector<std::pair<std::string, std::string>> params);
  ~PgConnection();

  PGconn* handle() const { return conn_; }

  // Runs `text` (one or more statements) under a limit of `timeout_seconds`
  // (0 = none) and returns its last result. A failure raises the German
  // Error, naming `original` (the statement as the caller wrote it).
  ResultPtr Run(const std::string& text, std::string_view original, int32_t timeout_seconds);

  // Runs a statement of our own and raises on failure.
  void Command(const std::string& text, int32_t timeout_seconds = 0);

  // The Error for a failed result (or the connection's error when `res` is null).
  Error MakeError(const PGresult* res, std::string_view statement, int32_t timeout_seconds) const;

  // Opens the connection again when the server dropped it (not while a
  // replace unit holds it: its transaction is gone, which the unit reports).
  void ReopenIfLost();
  bool Lost() const { return !conn_ || PQstatus(conn_) != CONNECTION_OK; }

  // Forgets what the session was set to (after a rollback took SET back).
  void ForgetSessionSettings() { statement_timeout_ = -1; }

  // Set while a replace unit owns the transaction.
  bool in_unit = false;

  // Waits until the socket can be read (or written) or the deadline passes;
  // false at the deadline. A deadline of zero waits without limit.
  bool WaitSocket(bool for_write, std::chrono::steady_clock::time_point deadline) const;

 private:
  explicit PgConnection(PGconn* conn, std::vector<std::pair<std::string, std::string>> params)
      : conn_(conn), params_(std::move(params)) {}
  void SetStatementTimeout(int32_t seconds);

  PGconn* conn_;
  std::vector<std::pair<std::string, std::string>> params_;
  int32_t statement_timeout_ = 0;  // what the session has set
};

// The German Error for a failed connection attempt.
Error connect_error(PGconn* conn, const std::vector<std::pair<std::string, std::string>>& params);

}  // namespace noxplz::postgres
