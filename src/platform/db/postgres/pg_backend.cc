#include "platform/db/postgres/pg_backend.h"

#include <libpq-fe.h>
#include <poll.h>

#include <chrono>
#include <charconv>
#include <cstring>
#include <limits>
#include <utility>

#include "noxplz/error.h"
#include "platform/db/postgres/pg_connection.h"
#include "platform/db/postgres/pg_replace_unit.h"
#include "platform/db/postgres/pg_rewrite.h"
#include "platform/db/recordsets.h"
#include "platform/db/server_errors.h"
#include "platform/text.h"

namespace noxplz::postgres {
namespace {


// Type OIDs of the built-in types whose values become numbers or Booleans.
constexpr Oid kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kOidOid = 26, kNumericOid = 1700;

Variant value_of(const PGresult* res, int row, int col) {
  if (PQgetisnull(res, row, col)) return Variant::Null();
  const char* v = PQgetvalue(res, row, col);
  const size_t n = static_cast<size_t>(PQgetlength(res, row, col));
  switch (PQftype(res, col)) {
    case kBoolOid:
      return Variant(n > 0 && v[0] == 't');
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid:
    case kNumericOid: {
      int64_t number = 0;
      auto r = std::from_chars(v, v + n, number);
      if (r.ec == std::errc() && r.ptr == v + n && number >= std::numeric_limits<int32_t>::min() &&
          number <= std::numeric_limits<int32_t>::max())
        return Variant(static_cast<int32_t>(number));
      return Variant(std::string(v, n));
    }
    default:
      return Variant(std::string(v, n));
  }
}

// A record set over a complete result, held in memory.
class PgRecordset final : public HeldRowsRecordset {
 public:
  explicit PgRecordset(ResultPtr result)
      : HeldRowsRecordset(field_names(result.get()), static_cast<size_t>(PQntuples(result.get()))),
        result_(std::move(result)) {}

 private:
  static std::vector<std::string> field_names(const PGresult* res) {
    std::vector<std::string> names;
    for (int i = 0; i < PQnfields(res); ++i) names.emplace_back(PQfname(res, i));
    return names;
  }
  Variant Value(size_t row, size_t column) const override {
    return value_of(result_.get(), static_cast<int>(row), static_cast<int>(column));
  }
  void Release() override { result_.reset(); }

  ResultPtr result_;
};

bool changes_rows(const PGresult* res) {
  const char* status = PQcmdStatus(const_cast<PGresult*>(res));
  for (const char* verb : {"INSERT", "UPDATE", "DELETE", "MERGE"})
    if (std::strncmp(status, verb, std::strlen(verb)) == 0) return true;
  return false;
}

class PgBackend final : public DbBackend {
 public:
  PgBackend(std::unique_ptr<PgConnection> connection, int lock_wait_ms)
      : pg_(std::move(connection)), lock_wait_ms_(lock_wait_ms) {}
  ~PgBackend() override {
    if (unit_) unit_->Detach();
  }

  RecordsetPtr Execute(std::string_view sql, int32_t& records_affected, int32_t timeout_seconds) override {
    records_affected = -1;
    // Rows the import still holds go in first: the statement must see them.
    if (unit_) unit_->SendAll();
    // Within a read scope a lost connection is reported, not opened again:
    // a fresh one would read another state of the data.
    if (!reading_) pg_->ReopenIfLost();
    const std::string text = rewrite_sql(sql);
    ResultPtr res = pg_->Run(text, sql, timeout_seconds);
    switch (PQresultStatus(res.get())) {
      case PGRES_TUPLES_OK:
        return std::make_shared<PgRecordset>(std::move(res));
      case PGRES_COMMAND_OK:
        if (changes_rows(res.get())) {
          const char* n = PQcmdTuples(res.get());
          records_affected = (n && *n) ? std::atoi(n) : 0;
        }
        return nullptr;
      default:
        return nullptr;
    }
  }

  std::unique_ptr<ReplaceUnit> BeginReplace(std::span<const std::string_view> tables) override {
    if (unit_) throw import_running_error();
    return PgReplaceUnit::Begin(*pg_, tables, lock_wait_ms_, &unit_);
  }

  // Reads that belong together (an address check) see one snapshot: a
  // read-only transaction at REPEATABLE READ, so an import committed between
  // two of their statements cannot mix old and new rows in one answer. Not
  // inside a transaction of this connection (its own import reads its rows).
  // The server tells no data version: nothing is kept across scopes.
  std::optional<uint64_t> BeginRead() override {
    if (read_depth_ == 0 && !unit_) {
      pg_->ReopenIfLost();
      if (PQtransactionStatus(pg_->handle()) == PQTRANS_IDLE) {
        pg_->Command("BEGIN TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY");
        reading_ = true;
      }
    }
    ++read_depth_;
    return std::nullopt;
  }

  void EndRead() override {
    if (read_depth_ == 0 || --read_depth_ > 0 || !reading_) return;
    reading_ = false;
    // A failed statement aborted the transaction (and any SET in it).
    const bool failed = PQtransactionStatus(pg_->handle()) == PQTRANS_INERROR;
    ResultPtr(PQexec(pg_->handle(), failed ? "ROLLBACK" : "COMMIT"));
    if (failed) pg_->ForgetSessionSettings();
  }

 private:
  std::unique_ptr<PgConnection> pg_;
  const int lock_wait_ms_;
  PgReplaceUnit* unit_ = nullptr;  // the open replace unit
  int read_depth_ = 0;             // open BeginRead() calls
  bool reading_ = false;           // the read transaction of the outermost one is open
};

std::string property(const std::map<std::string, std::string>& p, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    auto it = p.find(key);
    if (it != p.end() && !it->second.empty()) return it->second;
  }
  return {};
}

bool is_uri(std::string_view s) {
  return s.substr(0, 13) == "postgresql://" || s.substr(0, 11) == "postgres://";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> libpq_parameters(const std::map<std::string, std::string>& p) {
  // Defaults first: a URI and the explicit properties override them.
  std::vector<std::pair<std::string, std::string>> params = {
      {"connect_timeout", "10"},
      {"application_name", "NoxPlz"},
      // A server that goes away is noticed within seconds, not hours.
      {"keepalives", "1"},
      {"keepalives_idle", "10"},
      {"keepalives_interval", "5"},
      {"keepalives_count", "3"},
  };
  std::string uri = property(p, {"uri", "connection uri"});
  std::string host = property(p, {"host", "server", "data source", "address", "addr"});
  if (uri.empty() && is_uri(host)) {
    uri = host;
    host.clear();
  }
  if (!uri.empty()) params.emplace_back("dbname", uri);  // expanded by libpq
  auto add = [&](const char* keyword, std::string value) {
    if (!value.empty()) params.emplace_back(keyword, std::move(value));
  };
  add("host", host);
  add("port", property(p, {"port"}));
  add("dbname", property(p, {"database", "initial catalog", "dbname"}));
  add("user", property(p, {"user id", "uid", "user", "username"}));
  add("password", property(p, {"password", "pwd"}));
  add("connect_timeout", property(p, {"connect timeout", "connection timeout", "timeout", "connect_timeout"}));
  add("sslmode", property(p, {"ssl mode", "sslmode"}));
  if (std::string path = property(p, {"search path", "schema"}); !path.empty()) {
    // Blanks and backslashes are escaped for libpq's options syntax.
    std::string escaped;
    for (char c : path) {
      if (c == ' ' || c == '\\') escaped += '\\';
      escaped += c;
    }
    params.emplace_back("options", "-c search_path=" + escaped);
  }
  // Texts travel as UTF-8 whatever the server's or the client's locale.
  params.emplace_back("client_encoding", "UTF8");
  return params;
}

std::unique_ptr<DbBackend> open_backend(const std::map<std::string, std::string>& properties) {
  // How long an import waits for other writers (ms), as on SQLite.
  int lock_wait_ms = 5000;
  if (std::string v = property(properties, {"busy timeout"}); !v.empty()) {
    int ms = 0;
    auto r = std::from_chars(v.data(), v.data() + v.size(), ms);
    if (r.ec == std::errc() && ms >= 0) lock_wait_ms = ms;
  }
  return std::make_unique<PgBackend>(PgConnection::Open(libpq_parameters(properties)), lock_wait_ms);
}

}  // namespace noxplz::postgres
