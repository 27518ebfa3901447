// The replace unit of the PostgreSQL backend: one transaction that the
// import holds from the deletion of the old rows to COMMIT, so every other
// connection reads the old rows (MVCC) until then, and a rollback, a lost
// connection or a crash leaves them. The rows go in with COPY FROM STDIN in
// batches, each under a savepoint; a batch the server refuses is loaded
// again row by row, so a refused row is reported on its own and the rest
// go in.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"
#include "platform/db/postgres/pg_connection.h"

namespace noxplz::postgres {

class PgConnection;
class PgCopyInserter;

class PgReplaceUnit final : public ReplaceUnit {
 public:
  // Begins the unit over `tables` on `pg`: BEGIN, an advisory lock per
  // schema (a second import is refused at once), then the tables locked
  // against other writers (readers go on), waited for up to `lock_wait_ms`.
  // `slot` points at the backend's record of its open unit; the unit clears
  // it when it ends.
  static std::unique_ptr<PgReplaceUnit> Begin(PgConnection& pg, std::span<const std::string_view> tables,
                                              int lock_wait_ms, PgReplaceUnit** slot);
  ~PgReplaceUnit() override;

  std::unique_ptr<RowInserter> PrepareInsert(std::string_view table,
                                             std::span<const std::string_view> columns) override;
  void Commit() override;
  void Rollback() override;
  bool Broken() const override;

  // Ends the open COPY, so the held rows are in: before any other statement.
  void SendAll();
  // The connection is closing: the unit ends with it, uncommitted.
  void Detach();

 private:
  friend class PgCopyInserter;
  PgReplaceUnit(PgConnection& pg, PgReplaceUnit** slot) : pg_(&pg), slot_(slot) {}

  // Makes `inserter` the one whose COPY is open, ending another's first.
  void OpenCopy(PgCopyInserter& inserter);
  // Ends the COPY of `inserter` and records the outcome of its batch.
  void EndBatch(PgCopyInserter& inserter);
  // Hands the rows not yet sent to libpq.
  void Push(PgCopyInserter& inserter);
  // Ends the open COPY and returns its result (success or the server's
  // refusal); raises when the connection fails.
  ResultPtr FinishCopy(const std::string& copy_sql);
  // Loads the rows of a refused batch one by one, each under a savepoint.
  void ReplayRows(PgCopyInserter& inserter);
  // An inserter goes away: rows it still held are taken back, and the unit
  // can no longer be committed.
  void Forget(PgCopyInserter& inserter);
  void End();
  // Marks the unit broken and raises `e`.
  [[noreturn]] void Fail(Error e);

  PgConnection* pg_;
  PgReplaceUnit** slot_;
  std::vector<PgCopyInserter*> inserters_;
  PgCopyInserter* copying_ = nullptr;  // whose COPY is open
  bool open_ = true;
  bool broken_ = false;
};

// The text of one value in COPY's text format: backslash, tab, line feed
// and carriage return escaped.
void append_copy_value(std::string& out, std::string_view value);

}  // namespace noxplz::postgres
