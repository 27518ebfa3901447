#include "platform/db/postgres/pg_replace_unit.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "noxplz/error.h"
#include "platform/db/postgres/pg_connection.h"
#include "platform/db/server_errors.h"

namespace noxplz::postgres {
namespace {

// The rows go to the server in pieces of this size while the file is read,
// so the server loads while the importer reads ...
constexpr size_t kChunkBytes = 64 * 1024;
// ... and a batch ends at this size. Each batch has a savepoint: a refused
// batch is loaded again row by row, and few batches keep the number of
// subtransactions small (beyond 64 they slow every other session's
// snapshots down).
constexpr size_t kBatchBytes = 8 * 1024 * 1024;

// The first key of the advisory import lock ("NoxP"); the second is the
// schema of the tables, so imports into different schemas do not collide.
constexpr int kLockClass = 0x4E6F7850;

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

// A table or column name as PostgreSQL keeps an unquoted one: lower case.
std::string quoted_name(std::string_view name) {
  std::string out = "\"";
  for (char c : lower_ascii(name)) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string literal(std::string_view s) { return "'" + sql_quote(s) + "'"; }

std::string sqlstate_of(const PGresult* r) {
  const char* v = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  return v ? v : "";
}

// A refusal that concerns the rows rather than the statement: a bad value,
// a key, a check, a trigger.
bool refuses_rows(std::string_view sqlstate) {
  const std::string_view cls = sqlstate.substr(0, 2);
  return cls == "22" || cls == "23" || cls == "P0" || cls == "54";
}

std::string seconds_text(int ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + (ms == 1000 ? " Sekunde" : " Sekunden");
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f Sekunden", ms / 1000.0);
  std::string s = buf;
  std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

Error closed_unit() {
  return Error(err::kDbError, "Der Import ist auf dieser Verbindung bereits beendet; es können keine Zeilen mehr "
                              "geladen werden.");
}

}  // namespace

void append_copy_value(std::string& out, std::string_view value) {
  size_t run = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const char* escaped = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
    if (!escaped) continue;
    out.append(value.data() + run, i - run);
    out += escaped;
    run = i + 1;
  }
  out.append(value.data() + run, value.size() - run);
}

// Collects the rows of one table as COPY text; the unit sends them.
class PgCopyInserter final : public RowInserter {
 public:
  PgCopyInserter(PgReplaceUnit* unit, size_t columns, std::string copy_sql, std::string stage_copy_sql,
                 std::string merge_sql, std::string truncate_sql)
      : unit_(unit),
        columns_(columns),
        copy_sql_(std::move(copy_sql)),
        stage_copy_sql_(std::move(stage_copy_sql)),
        merge_sql_(std::move(merge_sql)),
        truncate_sql_(std::move(truncate_sql)) {}
  ~PgCopyInserter() override {
    if (unit_) unit_->Forget(*this);
  }

  int32_t Insert(std::span<const std::string_view> values) override {
    if (!unit_ || !unit_->open_) throw closed_unit();
    if (values.size() != columns_)
      throw Error(err::kDbError, "Die Anzahl der Werte (" + std::to_string(values.size()) +
                                     ") passt nicht zur Anzahl der Spalten (" + std::to_string(columns_) + ").");
    unit_->OpenCopy(*this);
    for (size_t i = 0; i < values.size(); ++i) {
      if (i) batch_ += '\t';
      append_copy_value(batch_, values[i]);
    }
    batch_ += '\n';
    ++rows_;
    if (batch_.size() >= kBatchBytes)
      unit_->EndBatch(*this);
    else if (batch_.size() - sent_ >= kChunkBytes)
      unit_->Push(*this);
    return kPending;
  }

  Outcomes TakeOutcomes(bool all) override {
    if (all && unit_ && unit_->copying_ == this) unit_->EndBatch(*this);
    return std::exchange(outcomes_, Outcomes{});
  }

 private:
  friend class PgReplaceUnit;
  bool staged() const { return !stage_copy_sql_.empty(); }

  PgReplaceUnit* unit_;  // null once the unit has ended
  const size_t columns_;
  const std::string copy_sql_;        // COPY into the table
  const std::string stage_copy_sql_;  // COPY into its staging table (tables with a unique key)
  const std::string merge_sql_;       // staging table into the table, duplicates left out
  const std::string truncate_sql_;    // empties the staging table
  std::string batch_;                 // the batch's rows as COPY text
  size_t sent_ = 0;                   // bytes of batch_ handed to libpq
  int64_t rows_ = 0;
  Outcomes outcomes_;
};

std::unique_ptr<PgReplaceUnit> PgReplaceUnit::Begin(PgConnection& pg, std::span<const std::string_view> tables,
                                                    int lock_wait_ms, PgReplaceUnit** slot) {
  pg.ReopenIfLost();
  if (PQtransactionStatus(pg.handle()) != PQTRANS_IDLE)
    throw Error(err::kDbError, "Auf dieser Verbindung ist noch eine Transaktion offen; der Import kann nicht als eine "
                               "Einheit beginnen. Es wurde nichts verändert.");
  pg.Command("BEGIN");
  pg.in_unit = true;
  try {
    // The tables that exist (a missing one is reported by the statement that uses it).
    std::string names;
    for (std::string_view t : tables) names += (names.empty() ? "" : ", ") + literal(t);
    std::vector<std::string> existing;
    if (!names.empty()) {
      const std::string sql = "SELECT n FROM unnest(ARRAY[" + names +
                              "]::text[]) WITH ORDINALITY AS t(n, i) WHERE to_regclass(n) IS NOT NULL ORDER BY i";
      ResultPtr r = pg.Run(sql, sql, 0);
      for (int i = 0; i < PQntuples(r.get()); ++i) existing.emplace_back(PQgetvalue(r.get(), i, 0));
    }
    // One import per schema, across processes: refused at once.
    const std::string schema =
        existing.empty() ? "(SELECT oid FROM pg_namespace WHERE nspname = current_schema())"
                         : "(SELECT relnamespace FROM pg_class WHERE oid = to_regclass(" + literal(existing[0]) + "))";
    const std::string lock_sql =
        "SELECT pg_try_advisory_xact_lock(" + std::to_string(kLockClass) + ", COALESCE(" + schema + ", 0)::int4)";
    ResultPtr lock = pg.Run(lock_sql, lock_sql, 0);
    if (std::strcmp(PQgetvalue(lock.get(), 0, 0), "t") != 0) throw import_running_error();
    // Other writers are waited for, readers go on: SHARE ROW EXCLUSIVE
    // blocks INSERT, UPDATE and DELETE, never SELECT.
    if (!existing.empty()) {
      std::string lock_tables;
      for (const std::string& t : existing) lock_tables += (lock_tables.empty() ? "" : ", ") + quoted_name(t);
      pg.Command("SET LOCAL lock_timeout = " + std::to_string(std::max(lock_wait_ms, 1)));
      try {
        pg.Command("LOCK TABLE " + lock_tables + " IN SHARE ROW EXCLUSIVE MODE");
      } catch (const Error& e) {
        if (e.description.find("55P03") == std::string::npos) throw;
        throw Error(err::kDbError, "Die Postdaten-Tabellen sind durch ein anderes Programm zum Schreiben gesperrt; "
                                   "nach " + seconds_text(lock_wait_ms) +
                                       " Warten wurde der Import nicht begonnen. Es wurde nichts verändert. "
                                       "Versuchen Sie es erneut, wenn das andere Programm fertig ist.");
      }
      pg.Command("SET LOCAL lock_timeout = 0");
    }
    std::unique_ptr<PgReplaceUnit> unit(new PgReplaceUnit(pg, slot));
    *slot = unit.get();
    return unit;
  } catch (...) {
    if (!pg.Lost()) ResultPtr(PQexec(pg.handle(), "ROLLBACK"));
    pg.in_unit = false;
    pg.ForgetSessionSettings();
    throw;
  }
}

PgReplaceUnit::~PgReplaceUnit() {
  try {
    Rollback();
  } catch (...) {
    // Nothing to report to in a destructor; the server takes back what the connection leaves open.
  }
}

std::unique_ptr<RowInserter> PgReplaceUnit::PrepareInsert(std::string_view table,
                                                          std::span<const std::string_view> columns) {
  if (!open_ || !pg_) throw closed_unit();
  SendAll();
  std::string cols;
  for (std::string_view c : columns) cols += (cols.empty() ? "" : ", ") + quoted_name(c);
  const std::string name = quoted_name(table);
  std::string copy_sql = "COPY " + name + " (" + cols + ") FROM STDIN";
  const std::string probe = "SELECT to_regclass(" + literal(table) +
                            ") IS NOT NULL, EXISTS (SELECT 1 FROM pg_index WHERE indrelid = to_regclass(" +
                            literal(table) + ") AND indisunique)";
  ResultPtr r = pg_->Run(probe, probe, 0);
  if (std::strcmp(PQgetvalue(r.get(), 0, 0), "t") != 0) {
    db::ServerDiagnostic d{"42P01", 0, "relation " + name + " does not exist", std::string(table), {}};
    throw db::server_error(d, copy_sql, 0);
  }
  std::string stage_copy_sql, merge_sql, truncate_sql;
  if (std::strcmp(PQgetvalue(r.get(), 0, 1), "t") == 0) {
    // A unique key: the batch goes through a staging table and joins the
    // table with ON CONFLICT DO NOTHING, so duplicates cost no replay.
    const std::string stage = "pg_temp." + quoted_name("noxplz_stage_" + lower_ascii(table));
    pg_->Command("CREATE TEMP TABLE IF NOT EXISTS " + stage.substr(8) + " (LIKE " + name + ") ON COMMIT DROP");
    stage_copy_sql = "COPY " + stage + " (" + cols + ") FROM STDIN";
    merge_sql = "INSERT INTO " + name + " (" + cols + ") SELECT " + cols + " FROM " + stage +
                " ORDER BY ctid ON CONFLICT DO NOTHING";
    truncate_sql = "TRUNCATE " + stage;
  }
  auto inserter = std::make_unique<PgCopyInserter>(this, columns.size(), std::move(copy_sql),
                                                   std::move(stage_copy_sql), std::move(merge_sql),
                                                   std::move(truncate_sql));
  inserters_.push_back(inserter.get());
  return inserter;
}

void PgReplaceUnit::Fail(Error e) {
  broken_ = true;
  throw e;
}

void PgReplaceUnit::OpenCopy(PgCopyInserter& ins) {
  if (copying_ == &ins) return;
  if (copying_) EndBatch(*copying_);
  pg_->Command("SAVEPOINT noxplz_batch");
  const std::string& sql = ins.staged() ? ins.stage_copy_sql_ : ins.copy_sql_;
  ResultPtr r(PQexec(pg_->handle(), sql.c_str()));
  if (PQresultStatus(r.get()) != PGRES_COPY_IN) Fail(pg_->MakeError(r.get(), sql, 0));
  copying_ = &ins;
}

void PgReplaceUnit::Push(PgCopyInserter& ins) {
  const size_t n = ins.batch_.size() - ins.sent_;
  if (n > 0 && PQputCopyData(pg_->handle(), ins.batch_.data() + ins.sent_, static_cast<int>(n)) != 1)
    Fail(pg_->MakeError(nullptr, ins.copy_sql_, 0));
  ins.sent_ = ins.batch_.size();
}

ResultPtr PgReplaceUnit::FinishCopy(const std::string& sql) {
  if (PQputCopyEnd(pg_->handle(), nullptr) != 1) Fail(pg_->MakeError(nullptr, sql, 0));
  ResultPtr result;
  while (PGresult* r = PQgetResult(pg_->handle())) {
    if (!result || PQresultStatus(r) != PGRES_COMMAND_OK)
      result.reset(r);
    else
      PQclear(r);
  }
  if (!result || pg_->Lost()) Fail(pg_->MakeError(result.get(), sql, 0));
  return result;
}

void PgReplaceUnit::EndBatch(PgCopyInserter& ins) {
  copying_ = nullptr;
  const std::string& sql = ins.staged() ? ins.stage_copy_sql_ : ins.copy_sql_;
  Push(ins);
  ResultPtr r = FinishCopy(sql);
  std::string failed_sql = sql;
  if (PQresultStatus(r.get()) == PGRES_COMMAND_OK) {
    if (!ins.staged()) {
      ins.outcomes_.inserted += std::atoll(PQcmdTuples(r.get()));
    } else {
      failed_sql = ins.merge_sql_;
      r.reset(PQexec(pg_->handle(), ins.merge_sql_.c_str()));
      if (PQresultStatus(r.get()) == PGRES_COMMAND_OK) {
        const int64_t inserted = std::atoll(PQcmdTuples(r.get()));
        ins.outcomes_.inserted += inserted;
        ins.outcomes_.duplicates += ins.rows_ - inserted;
        pg_->Command(ins.truncate_sql_);
      }
    }
  }
  if (PQresultStatus(r.get()) == PGRES_COMMAND_OK) {
    pg_->Command("RELEASE SAVEPOINT noxplz_batch");
  } else {
    Error e = pg_->MakeError(r.get(), failed_sql, 0);
    if (pg_->Lost()) Fail(std::move(e));
    pg_->Command("ROLLBACK TO SAVEPOINT noxplz_batch");
    // A statement that fails for another reason than its rows would fail
    // for every row: the unit cannot go on.
    if (!refuses_rows(sqlstate_of(r.get()))) Fail(std::move(e));
    ReplayRows(ins);
    pg_->Command("RELEASE SAVEPOINT noxplz_batch");
  }
  ins.batch_.clear();
  ins.sent_ = 0;
  ins.rows_ = 0;
}

void PgReplaceUnit::ReplayRows(PgCopyInserter& ins) {
  std::string_view rest = ins.batch_;
  while (!rest.empty()) {
    const size_t end = rest.find('\n') + 1;
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end);
    pg_->Command("SAVEPOINT noxplz_row");
    ResultPtr r(PQexec(pg_->handle(), ins.copy_sql_.c_str()));
    if (PQresultStatus(r.get()) == PGRES_COPY_IN) {
      if (PQputCopyData(pg_->handle(), line.data(), static_cast<int>(line.size())) != 1)
        Fail(pg_->MakeError(nullptr, ins.copy_sql_, 0));
      r = FinishCopy(ins.copy_sql_);
    }
    if (PQresultStatus(r.get()) == PGRES_COMMAND_OK) {
      pg_->Command("RELEASE SAVEPOINT noxplz_row");
      ++ins.outcomes_.inserted;
      continue;
    }
    Error e = pg_->MakeError(r.get(), ins.copy_sql_, 0);
    if (pg_->Lost()) Fail(std::move(e));
    pg_->Command("ROLLBACK TO SAVEPOINT noxplz_row");
    pg_->Command("RELEASE SAVEPOINT noxplz_row");
    if (e.description.find(kDuplicateKeyText) != std::string::npos)
      ++ins.outcomes_.duplicates;
    else
      ins.outcomes_.refused.push_back(std::move(e));
  }
}

void PgReplaceUnit::SendAll() {
  if (open_ && pg_ && copying_) EndBatch(*copying_);
}

void PgReplaceUnit::Forget(PgCopyInserter& ins) {
  std::erase(inserters_, &ins);
  if (copying_ != &ins) return;
  // Rows nobody will hear of are taken back, and the unit cannot be committed.
  copying_ = nullptr;
  broken_ = true;
  if (!pg_ || pg_->Lost()) return;
  PQputCopyEnd(pg_->handle(), "Import beendet");
  while (PGresult* r = PQgetResult(pg_->handle())) PQclear(r);
}

void PgReplaceUnit::Commit() {
  if (!open_ || !pg_) throw closed_unit();
  try {
    SendAll();
    if (Broken())
      throw Error(err::kDbError, "Die Datenbank hat die Transaktion des Imports zurückgenommen; die bisherigen "
                                 "Postdaten bleiben unverändert erhalten.");
    ResultPtr r(PQexec(pg_->handle(), "COMMIT"));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) throw pg_->MakeError(r.get(), "COMMIT", 0);
    if (std::strcmp(PQcmdStatus(r.get()), "COMMIT") != 0)
      throw Error(err::kDbError, "Die Datenbank hat die Transaktion des Imports zurückgenommen; die bisherigen "
                                 "Postdaten bleiben unverändert erhalten.");
  } catch (...) {
    Rollback();
    throw;
  }
  End();
}

void PgReplaceUnit::Rollback() {
  if (!open_) return;
  if (pg_ && !pg_->Lost()) {
    if (copying_) {
      PQputCopyEnd(pg_->handle(), "Import abgebrochen");
      while (PGresult* r = PQgetResult(pg_->handle())) PQclear(r);
    }
    if (PQtransactionStatus(pg_->handle()) != PQTRANS_IDLE) ResultPtr(PQexec(pg_->handle(), "ROLLBACK"));
  }
  End();
}

bool PgReplaceUnit::Broken() const {
  if (!open_ || broken_ || !pg_ || pg_->Lost()) return true;
  const PGTransactionStatusType s = PQtransactionStatus(pg_->handle());
  return !(s == PQTRANS_INTRANS || (s == PQTRANS_ACTIVE && copying_));
}

void PgReplaceUnit::Detach() {
  if (pg_) pg_->in_unit = false;
  pg_ = nullptr;
  End();
}

void PgReplaceUnit::End() {
  open_ = false;
  copying_ = nullptr;
  for (PgCopyInserter* ins : inserters_) ins->unit_ = nullptr;
  inserters_.clear();
  if (pg_) {
    pg_->in_unit = false;
    // SET commands of the transaction are gone with it.
    pg_->ForgetSessionSettings();
  }
  if (slot_ && *slot_ == this) *slot_ = nullptr;
  slot_ = nullptr;
}

}  // namespace noxplz::postgres
