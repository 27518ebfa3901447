#include "platform/db/sqlite/sqlite_backend.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "noxplz/error.h"
#include "platform/db/recordsets.h"
#include "platform/db/sql_tokens.h"
#include "platform/db/sqlite/dialect_functions.h"
#include "platform/db/sqlite/german_collation.h"
#include "platform/db/sqlite/query_rewrite.h"
#include "platform/db/sqlite/sql_rewrite.h"
#include "platform/db/sqlite/street_packs.h"
#include "platform/text.h"

namespace noxplz::sqlite {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBusyTimeoutMs = 5000;
constexpr int kDefaultCommitIntervalMs = 200;
constexpr size_t kMaxBatchStatements = 20000;
constexpr int kBulkRunLength = 1000;  // data changes in a row before they are grouped
constexpr size_t kStatementCacheSize = 24;
constexpr size_t kQueryCacheSize = 32;
constexpr size_t kStatementCharsInMessage = 300;
constexpr int kProgressInstructions = 1000;
// How long a read transaction may be kept for the next read scope (see
// SqliteBackend::BeginRead): the longest it keeps other connections'
// checkpoints waiting after the last scope.
constexpr auto kReadHold = std::chrono::milliseconds(20);

std::string statement_excerpt(std::string_view sql) {
  std::string s = text::trim(sql);
  if (text::length(s) > kStatementCharsInMessage) s = text::left(s, kStatementCharsInMessage) + " …";
  return s;
}

// "UNIQUE constraint failed: T.a, T.b" -> "T".
std::string table_of_constraint_message(std::string_view msg) {
  size_t colon = msg.find(": ");
  if (colon == std::string_view::npos) return {};
  std::string_view rest = msg.substr(colon + 2);
  size_t dot = rest.find('.');
  size_t end = std::min(dot, rest.find_first_of(", "));
  return std::string(rest.substr(0, end));
}

class SqliteRecordset;
class SqliteRowInserter;

using ColumnNames = std::shared_ptr<const std::vector<std::string>>;

// A prepared query kept for its next run with other values.
struct CachedQuery {
  std::string text;  // with ? for the lifted literals
  sqlite3_stmt* statement = nullptr;
  ColumnNames names;
  bool in_use = false;  // a record set is reading it
};

// What a backend shares with the record sets it handed out: the handle, the
// time limit of the statement being stepped and the prepared queries.
struct Database {
  sqlite3* handle = nullptr;
  // Atomic: the committer thread's COMMIT may run the progress handler.
  std::atomic<bool> has_deadline = false;
  // The limit starts with the first progress call of a step (after a
  // thousand instructions): a row read at once costs no look at the clock.
  std::atomic<bool> deadline_pending = false;
  std::chrono::seconds limit{0};
  Clock::time_point deadline;
  std::atomic<bool> timed_out = false;
  // Set by a failure after which a transaction cannot go on (full disk, I/O
  // error, corruption); read by the replace unit.
  mutable std::atomic<bool> hard_failure = false;
  std::unordered_set<SqliteRecordset*> open_sets;
  // Expires when the connection closes: record sets that hold their rows
  // (the street packs) are closed with it.
  std::shared_ptr<const char> open = std::make_shared<const char>();
  std::vector<CachedQuery> queries;  // most recently used first
  // Inserters holding rows not yet written: any other statement writes them first.
  std::unordered_set<SqliteRowInserter*> holding;

  ~Database() { Close(); }
  void Close();

  // A record set is done with a cached query: ready for its next run.
  void ReturnQuery(sqlite3_stmt* st) {
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    for (CachedQuery& q : queries)
      if (q.statement == st) q.in_use = false;
  }

  // sqlite3_step under a time limit of `timeout_seconds` (0 = none).
  int Step(sqlite3_stmt* st, int32_t timeout_seconds) {
    timed_out = false;
    if (timeout_seconds > 0) {
      limit = std::chrono::seconds(timeout_seconds);
      deadline_pending = true;
      has_deadline = true;
    }
    int rc = sqlite3_step(st);
    has_deadline = false;
    return rc;
  }

  // The Error for a failed call; read before the statement is reset.
  Error MakeError(int rc, std::string_view sql, int32_t timeout_seconds) const {
    return ErrorOf(rc, handle ? sqlite3_extended_errcode(handle) : rc,
                   handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc), sql, timeout_seconds);
  }

  // The Error for a failure while the street packs were written or dropped.
  Error ErrorOf(const PackFailure& failed) const {
    return ErrorOf(failed.rc, failed.extended_rc, failed.message, failed.statement, 0);
  }

  // The Error for a failure SQLite reported as `ext` / `msg`.
  Error ErrorOf(int rc, int ext, const std::string& msg, std::string_view sql, int32_t timeout_seconds) const {
    const std::string stmt = statement_excerpt(sql);
    switch (rc & 0xFF) {
      case SQLITE_FULL:
      case SQLITE_IOERR:
      case SQLITE_CORRUPT:
      case SQLITE_NOMEM:
      case SQLITE_NOTADB:
      case SQLITE_CANTOPEN:
      case SQLITE_READONLY:
      case SQLITE_PROTOCOL:
        hard_failure = true;
        break;
      default:
        break;
    }
    if ((rc & 0xFF) == SQLITE_FULL)
      return Error(err::kDbError, "Die Datenbank oder der Datenträger ist voll: " + msg + " (Anweisung: " + stmt + ")");
    if ((rc & 0xFF) == SQLITE_INTERRUPT && timed_out) {
      return Error(err::kDbTimeout, "Zeitüberschreitung: Die Anweisung wurde nach " +
                                        std::to_string(timeout_seconds) +
                                        " Sekunde(n) abgebrochen (Anweisung: " + stmt + ").");
    }
    if (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY) {
      const char* kind = ext == SQLITE_CONSTRAINT_PRIMARYKEY ? "PRIMARY KEY" : "UNIQUE KEY";
      return Error(err::kDbIntegrity, std::string("Verletzung der ") + kind +
                                          "-Einschränkung. Ein doppelter Schlüssel kann in das Objekt '" +
                                          table_of_constraint_message(msg) +
                                          "' nicht eingefügt werden. (" + msg + ")");
    }
    if ((rc & 0xFF) == SQLITE_CONSTRAINT)
      return Error(err::kDbIntegrity, "Verletzung einer Einschränkung: " + msg + " (Anweisung: " + stmt + ")");
    if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED)
      return Error(err::kDbError, "Die Datenbank ist gesperrt: " + msg + " (Anweisung: " + stmt + ")");
    return Error(err::kDbError, "SQL-Fehler: " + msg + " (Anweisung: " + stmt + ")");
  }
};

int on_progress(void* data) {
  auto* db = static_cast<Database*>(data);
  if (!db->has_deadline) return 0;
  if (db->deadline_pending.exchange(false)) {
    db->deadline = Clock::now() + db->limit;
    return 0;
  }
  if (Clock::now() < db->deadline) return 0;
  db->timed_out = true;
  return 1;  // interrupts the statement
}

// A column of the current row, read under the connection's mutex taken
// once: the value is fetched once and its type and bytes read from it,
// instead of three column calls that each take the mutex (a list of all
// streets reads hundreds of thousands of fields).
class LockedColumn {
 public:
  LockedColumn(sqlite3_stmt* st, int i) : mutex_(sqlite3_db_mutex(sqlite3_db_handle(st))) {
    sqlite3_mutex_enter(mutex_);
    value_ = sqlite3_column_value(st, i);
  }
  ~LockedColumn() { sqlite3_mutex_leave(mutex_); }
  LockedColumn(const LockedColumn&) = delete;
  LockedColumn& operator=(const LockedColumn&) = delete;

  int type() const { return sqlite3_value_type(value_); }
  sqlite3_int64 integer() const { return sqlite3_value_int64(value_); }
  // A float as the shortest text that reads back the same.
  std::string real_text() const {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, sqlite3_value_double(value_));
    return std::string(buf, res.ptr);
  }
  std::string_view bytes() const {
    const char* p = static_cast<const char*>(sqlite3_value_blob(value_));
    return std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(value_)));
  }

 private:
  sqlite3_mutex* mutex_;
  sqlite3_value* value_;
};

// column_value(st, i) as text without the blanks at either end, the blanks
// never copied (the postal tables' fields are padded to their width).
void trimmed_column_text(sqlite3_stmt* st, int i, std::string& out) {
  const LockedColumn column(st, i);
  switch (column.type()) {
    case SQLITE_NULL:
      out.clear();
      return;
    case SQLITE_INTEGER:
      out = std::to_string(column.integer());
      return;
    case SQLITE_FLOAT:
      out = column.real_text();
      return;
    default: {
      out.assign(text::trim_view(column.bytes()));
    }
  }
}

Variant column_value(sqlite3_stmt* st, int i) {
  const LockedColumn column(st, i);
  switch (column.type()) {
    case SQLITE_NULL:
      return Variant::Null();
    case SQLITE_INTEGER: {
      const sqlite3_int64 n = column.integer();
      if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max())
        return Variant(static_cast<int32_t>(n));
      return Variant(std::to_string(n));
    }
    case SQLITE_FLOAT:
      return Variant(column.real_text());
    default:
      return Variant(std::string(column.bytes()));
  }
}

// Field names compare without regard to case: plain ASCII directly, other
// names as the text module compares them.
bool same_field_name(std::string_view a, std::string_view b) {
  if (a == b) return true;  // mostly written as selected
  for (std::string_view s : {a, b})
    for (char c : s)
      if (static_cast<unsigned char>(c) & 0x80) return text::equals_ci(a, b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y && ((x | 0x20) != (y | 0x20) || (x | 0x20) < 'a' || (x | 0x20) > 'z')) return false;
  }
  return true;
}

// A forward-only record set over a statement that is stepped as it is read.
// The statement is released as soon as the last row has been passed: a
// cached query goes back to the cache, any other is finalized.
class SqliteRecordset final : public Recordset {
 public:
  // `st` is positioned on its first row, or null for a result without rows.
  SqliteRecordset(std::shared_ptr<Database> db, sqlite3_stmt* st, ColumnNames names, int32_t timeout_seconds,
                  std::string_view sql, bool cached = false)
      : db_(std::move(db)), st_(st), names_(std::move(names)), timeout_(timeout_seconds), cached_(cached) {
    if (st_) {
      sql_ = std::string(sql);
      db_->open_sets.insert(this);
    }
  }
  ~SqliteRecordset() override { Release(); }

  bool Eof() const override {
    if (closed_) throw closed_object_error();
    return st_ == nullptr;
  }

  void MoveNext() override {
    CheckCurrentRow();
    int rc = db_->Step(st_, timeout_);
    if (rc == SQLITE_ROW) return;
    if (rc == SQLITE_DONE) {
      Release();
      return;
    }
    Error e = db_->MakeError(rc, sql_, timeout_);
    Release();
    throw e;
  }

  Variant Field(std::string_view name) const override {
    CheckCurrentRow();
    return column_value(st_, Column(name));
  }

  int32_t FieldIndex(std::string_view name) const override {
    if (closed_) throw closed_object_error();
    return Column(name);
  }

  Variant FieldAt(int32_t index) const override {
    CheckCurrentRow();
    if (index < 0 || static_cast<size_t>(index) >= names_->size()) return Recordset::FieldAt(index);  // raises
    return column_value(st_, index);
  }

  void TrimmedTextAt(int32_t index, std::string& out) const override {
    CheckCurrentRow();
    if (index < 0 || static_cast<size_t>(index) >= names_->size()) return Recordset::TrimmedTextAt(index, out);
    trimmed_column_text(st_, index, out);
  }

  std::vector<std::string> FieldNames() const override { return *names_; }

  void Close() override {
    Release();
    closed_ = true;
  }

  // The connection is going away.
  void Invalidate() { Close(); }

 private:
  // The column of a field name. The lookups ask for the same few names row
  // after row, mostly from the same string literals: a name is resolved once
  // per record set and remembered by where its text lies (and checked again,
  // since another text may later lie there).
  int Column(std::string_view name) const {
    const std::vector<std::string>& names = *names_;
    for (const Memo& m : memo_)
      if (m.data == name.data() && m.size == name.size() && m.index >= 0 &&
          same_field_name(names[static_cast<size_t>(m.index)], name))
        return m.index;
    for (size_t i = 0; i < names.size(); ++i) {
      if (!same_field_name(names[i], name)) continue;
      memo_[memo_next_++ % memo_.size()] = {name.data(), name.size(), static_cast<int>(i)};
      return static_cast<int>(i);
    }
    throw unknown_field_error(name);
  }

  void CheckCurrentRow() const {
    if (closed_) throw closed_object_error();
    if (!st_) throw no_current_record_error();
  }

  void Release() {
    if (!st_) return;
    if (cached_) db_->ReturnQuery(st_);
    else sqlite3_finalize(st_);
    st_ = nullptr;
    db_->open_sets.erase(this);
  }

  struct Memo {
    const char* data = nullptr;
    size_t size = 0;
    int index = -1;
  };

  std::shared_ptr<Database> db_;
  sqlite3_stmt* st_;
  ColumnNames names_;
  int32_t timeout_;
  bool cached_;
  std::string sql_;
  bool closed_ = false;
  mutable std::array<Memo, 8> memo_{};
  mutable size_t memo_next_ = 0;
};

void Database::Close() {
  std::vector<SqliteRecordset*> sets(open_sets.begin(), open_sets.end());
  for (SqliteRecordset* rs : sets) rs->Invalidate();
  open.reset();
  for (CachedQuery& q : queries) sqlite3_finalize(q.statement);
  queries.clear();
  if (handle) sqlite3_close_v2(handle);
  handle = nullptr;
}

ColumnNames column_names(sqlite3_stmt* st) {
  auto names = std::make_shared<std::vector<std::string>>();
  int n = sqlite3_column_count(st);
  names->reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(st, i);
    names->emplace_back(name ? name : "");
  }
  return names;
}

class SqliteBackend;

// Fills one table through one prepared statement.
// How a table's rows are laid out while a replace unit loads it: a run of
// rows with the same value in `group` is written ordered by `order` (under
// that column's collation; equal values keep the order they came in). Rows
// read through an index on (group, order) then come from the table front to
// back instead of from all over the run; every ORDER BY over that index
// returns the same rows in the same order as before.
struct Clustering {
  size_t group = 0, order = 0;  // positions among the inserter's columns
  bool german = false;          // `order` compares as NOXPLZ_CI (else bytewise)
};

class SqliteRowInserter final : public RowInserter {
 public:
  SqliteRowInserter(std::shared_ptr<Database> db, std::mutex& mutex, sqlite3_stmt* st, std::string sql,
                    std::optional<Clustering> clustering)
      : db_(std::move(db)), mutex_(mutex), st_(st), sql_(std::move(sql)), clustering_(clustering) {}
  ~SqliteRowInserter() override {
    db_->holding.erase(this);  // rows still held go with the unit
    sqlite3_finalize(st_);
  }

  int32_t Insert(std::span<const std::string_view> values) override {
    std::lock_guard lock(mutex_);
    if (!db_->handle) throw closed_object_error();
    const int n = sqlite3_bind_parameter_count(st_);
    if (static_cast<int>(values.size()) != n)
      throw Error(err::kDbError, "Die Anzahl der Werte (" + std::to_string(values.size()) +
                                     ") passt nicht zur Anzahl der Spalten (" + std::to_string(n) + ").");
    if (!clustering_) return Write(values);
    if (rows_held_ > 0 && (values[clustering_->group] != Held(0, clustering_->group) || rows_held_ >= kRunLimit))
      WriteHeld();
    if (rows_held_ == 0) db_->holding.insert(this);
    for (std::string_view v : values) {
      arena_.append(v);
      ends_.push_back(static_cast<uint32_t>(arena_.size()));
    }
    ++rows_held_;
    return kPending;
  }

  Outcomes TakeOutcomes(bool all) override {
    std::lock_guard lock(mutex_);
    if (all) WriteHeld();
    return std::exchange(outcomes_, Outcomes{});
  }

  // Writes the rows held, run order first. The mutex is held by the caller.
  void WriteHeld() {
    if (rows_held_ == 0) return;
    db_->holding.erase(this);
    const size_t n = values_per_row();
    std::vector<uint32_t> order(rows_held_);
    for (uint32_t i = 0; i < rows_held_; ++i) order[i] = i;
    const size_t col = clustering_->order;
    const bool german = clustering_->german;
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      const std::string_view x = Held(a, col), y = Held(b, col);
      return german ? sqlite::compare_ci(x, y) < 0 : x < y;
    });
    std::vector<std::string_view> row(n);
    std::optional<Error> hard;
    for (uint32_t r : order) {
      for (size_t c = 0; c < n; ++c) row[c] = Held(r, c);
      try {
        if (!hard) outcomes_.inserted += Write(row);
      } catch (const Error& e) {
        if (db_->hard_failure) hard = e;
        else if (e.description.find(kDuplicateKeyText) != std::string::npos) ++outcomes_.duplicates;
        else outcomes_.refused.push_back(e);
      }
    }
    arena_.clear();
    ends_.clear();
    rows_held_ = 0;
    if (hard) throw *hard;
  }

 private:
  // A run longer than this is written in parts (memory stays bounded).
  static constexpr uint32_t kRunLimit = 100000;

  size_t values_per_row() const { return static_cast<size_t>(sqlite3_bind_parameter_count(st_)); }

  std::string_view Held(uint32_t row, size_t col) const {
    const size_t i = row * values_per_row() + col;
    const uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(arena_).substr(begin, ends_[i] - begin);
  }

  int32_t Write(std::span<const std::string_view> values) {
    const int n = static_cast<int>(values.size());
    for (int i = 0; i < n; ++i) {
      const std::string_view v = values[static_cast<size_t>(i)];
      sqlite3_bind_text(st_, i + 1, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
    const int rc = db_->Step(st_, 0);
    if (rc == SQLITE_DONE) {
      sqlite3_reset(st_);
      return sqlite3_changes(db_->handle);
    }
    Error e = db_->MakeError(rc, sql_, 0);
    sqlite3_reset(st_);
    throw e;
  }

  std::shared_ptr<Database> db_;
  std::mutex& mutex_;
  sqlite3_stmt* st_;
  std::string sql_;
  std::optional<Clustering> clustering_;
  std::string arena_;         // the held rows' values, one after another
  std::vector<uint32_t> ends_;  // where each held value ends in arena_ (a run stays far below 4 GiB)
  uint32_t rows_held_ = 0;
  Outcomes outcomes_;
};

// Writes every row an inserter holds (before any other statement reads or
// changes the tables). The backend's mutex is held by the caller.
void write_held_rows(Database& db) {
  while (!db.holding.empty()) (*db.holding.begin())->WriteHeld();
}

// The replace unit of the SQLite backend: one write transaction (BEGIN
// IMMEDIATE) on the WAL journal, so readers keep the last committed state
// until COMMIT. The tables' own (non-unique) indexes are dropped inside the
// transaction and built again at Commit, after the load: SQLite then sorts
// each index once instead of inserting every row into it. Exclusivity
// across processes comes from an advisory lock (flock) on a lock file
// beside the database, which the system releases with the process.
class SqliteReplaceUnit final : public ReplaceUnit {
 public:
  SqliteReplaceUnit(SqliteBackend* backend, int lock_fd, std::vector<std::string> indexes, bool packs)
      : backend_(backend), lock_fd_(lock_fd), indexes_(std::move(indexes)), packs_(packs) {}
  ~SqliteReplaceUnit() override;

  std::unique_ptr<RowInserter> PrepareInsert(std::string_view table,
                                             std::span<const std::string_view> columns) override;
  void Commit() override;
  void Rollback() override;
  bool Broken() const override;

  // The backend is going away (its connection was closed): the transaction
  // ends with it, uncommitted.
  void Detach() {
    backend_ = nullptr;
    Unlock();
  }

 private:
  void Unlock() {
    if (lock_fd_ >= 0) ::close(lock_fd_);  // also releases the flock
    lock_fd_ = -1;
  }

  SqliteBackend* backend_;
  int lock_fd_;
  std::vector<std::string> indexes_;  // CREATE INDEX statements to run at Commit
  bool packs_;  // STR_DA is replaced: its packs are written at Commit (street_packs.h)
  bool open_ = true;
};

bool contains_ci(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < word.size() && (text[i + k] | 0x20) == word[k]) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

// The first copy of the WAL index header: the first 48 bytes of the WAL
// journal's shared memory (https://www.sqlite.org/walformat.html). Every
// commit to the journal changes it (its change counter, frame count and
// checksums; a restarted journal its salts).
using WalHeader = std::array<unsigned char, 48>;

// The start of the shared memory through which `h` reads its WAL journal;
// nullptr when it has none. Only while `h` holds a read transaction in WAL
// mode: then the memory is mapped and stays so until the transaction ends.
const volatile unsigned char* wal_index(sqlite3* h) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(h, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods ||
      file->pMethods->iVersion < 2 || !file->pMethods->xShmMap)
    return nullptr;
  volatile void* region = nullptr;
  if (file->pMethods->xShmMap(file, 0, 32768, 0, &region) != SQLITE_OK) return nullptr;
  return static_cast<const volatile unsigned char*>(region);
}

WalHeader wal_header(const volatile unsigned char* index) {
  WalHeader header;
  for (size_t i = 0; i < header.size(); ++i) header[i] = index[i];
  return header;
}

class SqliteBackend final : public DbBackend {
 public:
  SqliteBackend(std::shared_ptr<Database> db, int commit_interval_ms, std::string path, int busy_timeout_ms)
      : db_(std::move(db)),
        commit_interval_(commit_interval_ms),
        path_(std::move(path)),
        busy_timeout_ms_(busy_timeout_ms) {}

  ~SqliteBackend() override {
    if (unit_) unit_->Detach();
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (committer_.joinable()) committer_.join();
    try {
      CommitBatch();
    } catch (const Error&) {
      // Nothing to report to in a destructor; the data stays as SQLite left it.
    }
    for (auto& entry : cache_) sqlite3_finalize(entry.second);
    cache_.clear();
    packs_.Finalize();
    sqlite3_finalize(data_version_);
    sqlite3_finalize(journal_mode_);
    db_->Close();
  }

  // The pager's data version (SQLITE_FCNTL_DATA_VERSION) moves with every
  // commit, of this connection or another one; the schema cookie with every
  // change of a table or index; this connection's own row changes show in
  // its change count. The three are mixed into one number. Reading the
  // cookie starts a read transaction, which brings the data version up to
  // date; one plain prepared PRAGMA costs far less than the pragma table
  // functions, which prepare a statement of their own on every run.
  std::optional<uint64_t> DataVersion() override {
    std::lock_guard lock(mutex_);
    if (read_depth_ > 0) return MixedVersion(held_schema_);
    ReleaseHold();
    const std::optional<uint64_t> schema = ReadSchemaCookie();
    if (!schema) return std::nullopt;
    sqlite3_reset(data_version_);
    return MixedVersion(*schema);
  }

  // The read transaction is held by the cookie's statement: SQLite keeps it
  // while any statement of the connection is still active, and ends it at
  // EndRead() with the reset. Statements in between join it instead of
  // taking and releasing the shared locks each time.
  //
  // Scopes that follow each other closely (the checks of a list, say) share
  // one read transaction: taking and releasing SQLite's locks costs three
  // system calls and about a quarter of a short check. Kept past its scope
  // is only a read transaction whose state is known to be the journal's
  // latest: the WAL index header read within it is the same as one read
  // within the transaction before it, so no commit came in between. The
  // next scope shares it while that header is still unchanged (no commit of
  // any connection or process since) and for at most kReadHold; otherwise,
  // and for anything other than a scope, it is released first. So a scope
  // reads exactly the state it would have read by a transaction of its own.
  std::optional<uint64_t> BeginRead() override {
    std::lock_guard lock(mutex_);
    if (read_depth_ > 0) {
      ++read_depth_;
      return MixedVersion(held_schema_);
    }
    const Clock::time_point now = Clock::now();
    if (hold_) {
      hold_ = false;
      if (now < hold_until_ && wal_header(wal_index_) == hold_header_) {
        read_depth_ = 1;
        return MixedVersion(held_schema_);
      }
      sqlite3_reset(data_version_);
    }
    std::optional<uint64_t> schema = ReadSchemaCookie();
    if (!schema) return std::nullopt;
    // A scope soon after the last one: its read may be kept (see above).
    keep_read_ = false;
    if (now - last_read_end_ < kReadHold && sqlite3_get_autocommit(db_->handle) && !batch_open_ && !unit_ &&
        InWalMode()) {
      const volatile unsigned char* before = wal_index(db_->handle);
      if (before && OnlyCookieActive()) {
        const WalHeader first = wal_header(before);
        sqlite3_reset(data_version_);
        schema = ReadSchemaCookie();
        if (!schema) return std::nullopt;
        wal_index_ = wal_index(db_->handle);
        if (wal_index_ && wal_header(wal_index_) == first) {
          hold_header_ = first;
          hold_until_ = now + kReadHold;
          keep_read_ = true;
        }
      }
    }
    held_schema_ = *schema;
    read_depth_ = 1;
    return MixedVersion(held_schema_);
  }

  void EndRead() override {
    std::lock_guard lock(mutex_);
    if (read_depth_ == 0 || --read_depth_ > 0) return;
    last_read_end_ = Clock::now();
    // Only a read outside any transaction of the host's is kept.
    if (keep_read_ && last_read_end_ < hold_until_ && !batch_open_ && sqlite3_get_autocommit(db_->handle) &&
        sqlite3_txn_state(db_->handle, nullptr) == SQLITE_TXN_READ) {
      hold_ = true;
      // The committer thread ends it when its time is up; woken only for a
      // new transaction (a kept one keeps its end).
      if (release_planned_ != hold_until_) {
        StartCommitter();
        wake_.notify_all();
      }
      return;
    }
    sqlite3_reset(data_version_);
  }

  // The committer thread could not save a group: the caller hears of it now.
  void RaiseDeferredError() {
    if (!deferred_error_) return;
    Error e = std::move(*deferred_error_);
    deferred_error_.reset();
    throw e;
  }

  RecordsetPtr Execute(std::string_view sql, int32_t& records_affected, int32_t timeout_seconds) override {
    std::lock_guard lock(mutex_);
    ReleaseHold();
    RaiseDeferredError();
    records_affected = -1;
    write_held_rows(*db_);
    rewrite_sql(sql, rewritten_);
    const bool dml = changes_rows(rewritten_.kind);
    if (dml) {
      if (dml_run_ < kBulkRunLength) ++dml_run_;
      BeginBatchIfDue(sql);
    } else {
      dml_run_ = 0;
      CommitBatch();
    }

    try {
      RecordsetPtr result;
      if (rewritten_.kind == StatementKind::kQuery && !rewritten_.parameterized) {
        // All streets of a place: from its pack when it has one.
        if (const std::optional<PackedQuery> packed = packed_query(sql))
          if (RecordsetPtr rs = packs_.Read(db_->handle, *packed, db_->open)) return rs;
        PrepareQuery(rewritten_.text);
        if (RunCachedQuery(sql, timeout_seconds, result)) return result;
        return RunText(sql, rewritten_.text, rewritten_.kind, records_affected, timeout_seconds);
      }
      if (!(dml && RunCachedInsert(sql, rewritten_, records_affected, timeout_seconds))) {
        if (rewritten_.parameterized) rewrite_sql_text(sql, rewritten_);
        result = RunText(sql, rewritten_.text, rewritten_.kind, records_affected, timeout_seconds);
      }
      if (!wal_checked_ && rewritten_.kind != StatementKind::kQuery) EnsureWal();
      if (batch_open_) {
        batch_log_.emplace_back(sql);
        // (A group that could not be committed yet is tried again at every
        // further full count, not at every statement.)
        if (batch_log_.size() % kMaxBatchStatements == 0 ||
            Clock::now() - batch_started_ >= std::chrono::milliseconds(commit_interval_))
          CommitBatch();
      }
      return result;
    } catch (Error& e) {
      if (batch_open_ && sqlite3_get_autocommit(db_->handle)) RestoreLostBatch(e);
      throw;
    }
  }

 private:
  // Steps the schema cookie's statement, which leaves it active (the caller
  // resets it); nullopt when it cannot be read.
  std::optional<uint64_t> ReadSchemaCookie() {
    sqlite3* h = db_->handle;
    if (!h) return std::nullopt;
    if (!data_version_ && sqlite3_prepare_v3(h, "PRAGMA schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                                             &data_version_, nullptr) != SQLITE_OK)
      return std::nullopt;
    if (sqlite3_step(data_version_) != SQLITE_ROW) {
      sqlite3_reset(data_version_);
      return std::nullopt;
    }
    return static_cast<uint64_t>(sqlite3_column_int64(data_version_, 0));
  }

  // Whether the connection reads through the WAL journal (asked within a
  // read transaction, which opens the journal).
  bool InWalMode() {
    sqlite3* h = db_->handle;
    if (!journal_mode_ &&
        sqlite3_prepare_v3(h, "PRAGMA journal_mode", -1, SQLITE_PREPARE_PERSISTENT, &journal_mode_, nullptr) !=
            SQLITE_OK)
      return false;
    bool wal = false;
    if (sqlite3_step(journal_mode_) == SQLITE_ROW) {
      const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(journal_mode_, 0));
      wal = mode && text::equals_ci(mode, "wal");
    }
    sqlite3_reset(journal_mode_);
    return wal;
  }

  // Whether no statement but the cookie's is being stepped: only then does
  // resetting the cookie's statement end the read transaction.
  bool OnlyCookieActive() const {
    for (sqlite3_stmt* st = sqlite3_next_stmt(db_->handle, nullptr); st; st = sqlite3_next_stmt(db_->handle, st))
      if (st != data_version_ && sqlite3_stmt_busy(st)) return false;
    return true;
  }

  // Ends a read transaction kept past its scope. The mutex is held by the caller.
  void ReleaseHold() {
    if (!hold_) return;
    hold_ = false;
    sqlite3_reset(data_version_);
  }

  uint64_t MixedVersion(uint64_t schema) const {
    unsigned int data = 0;
    sqlite3_file_control(db_->handle, "main", SQLITE_FCNTL_DATA_VERSION, &data);
    return (data * 0x9E3779B97F4A7C15ULL) ^ (schema * 0xC2B2AE3D27D4EB4FULL) ^
           static_cast<uint64_t>(sqlite3_total_changes64(db_->handle));
  }

 public:
  // A query with bound values: its SQLite form is worked out once per text
  // (the dialect's rewrite, TOP as LIMIT) and kept, so a query run again
  // costs no reading of its text. nullptr for anything but a single query
  // (the caller then writes the values in as literals and runs the text).
  RecordsetPtr ExecuteBound(std::string_view sql, std::span<const std::string_view> values,
                            int32_t timeout_seconds) override {
    std::lock_guard lock(mutex_);
    if (read_depth_ == 0) ReleaseHold();
    RaiseDeferredError();
    write_held_rows(*db_);  // as Execute does before a query
    dml_run_ = 0;
    CommitBatch();
    auto known = bound_texts_.find(sql);
    if (known == bound_texts_.end()) {
      rewrite_sql(sql, rewritten_);
      if (rewritten_.kind != StatementKind::kQuery || rewritten_.parameterized) return nullptr;
      std::string text = rewritten_.text;
      if (contains_ci(text, "top")) rewrite_top(text);  // a LIKE on a marker gets no index range
      if (bound_texts_.size() >= kQueryCacheSize * 4) bound_texts_.clear();
      known = bound_texts_.emplace(std::string(sql), std::move(text)).first;
    }
    lifted_.text = known->second;
    lifted_.values.assign(values.begin(), values.end());
    RecordsetPtr result;
    if (!RunLifted(sql, timeout_seconds, result)) return nullptr;
    return result;
  }

 private:
  // Runs every statement of `text`; the last one gives the result.
  RecordsetPtr RunText(std::string_view original, const std::string& text, StatementKind kind,
                       int32_t& records_affected, int32_t timeout) {
    sqlite3* h = db_->handle;
    const char* p = text.c_str();
    const char* const end = p + text.size();
    while (p < end) {
      sqlite3_stmt* st = nullptr;
      const char* tail = nullptr;
      int rc = sqlite3_prepare_v2(h, p, static_cast<int>(end - p), &st, &tail);
      if (rc != SQLITE_OK) throw db_->MakeError(rc, original, timeout);
      if (!st) {  // only blanks or a comment
        if (!tail || tail <= p) break;
        p = tail;
        continue;
      }
      p = tail;
      const bool last = only_blanks_and_comments(std::string_view(tail, static_cast<size_t>(end - tail)));

      rc = db_->Step(st, timeout);
      if (!last) {
        while (rc == SQLITE_ROW) rc = db_->Step(st, timeout);
        if (rc != SQLITE_DONE) {
          Error e = db_->MakeError(rc, original, timeout);
          sqlite3_finalize(st);
          throw e;
        }
        sqlite3_finalize(st);
        continue;
      }
      if (rc == SQLITE_ROW) return std::make_shared<SqliteRecordset>(db_, st, column_names(st), timeout, original);
      if (rc != SQLITE_DONE) {
        Error e = db_->MakeError(rc, original, timeout);
        sqlite3_finalize(st);
        throw e;
      }
      RecordsetPtr result;
      if (sqlite3_column_count(st) > 0)
        result = std::make_shared<SqliteRecordset>(db_, nullptr, column_names(st), timeout, original);
      else if (changes_rows(kind))
        records_affected = sqlite3_changes(h);
      sqlite3_finalize(st);
      return result;
    }
    return nullptr;
  }

  // The SQLite form of a query: TOP as LIMIT, and an index range for each
  // LIKE with a literal prefix on a column of the German collation.
  void PrepareQuery(std::string& text) {
    if (contains_ci(text, "top")) rewrite_top(text);
    if (contains_ci(text, "like"))
      rewrite_like_ranges(text, [this](std::string_view table, std::string_view column) {
        return OrderedTextColumn(table, column);
      });
  }

  // A column of TEXT affinity declared with the German collation: its
  // comparisons with a text follow compare_ci, as the range needs.
  bool OrderedTextColumn(std::string_view table, std::string_view column) const {
    const char* type = nullptr;
    const char* collation = nullptr;
    const std::string t(table), c(column);
    if (sqlite3_table_column_metadata(db_->handle, nullptr, t.c_str(), c.c_str(), &type, &collation, nullptr,
                                      nullptr, nullptr) != SQLITE_OK ||
        !collation || !text::equals_ci(collation, kCollationName))
      return false;
    // SQLite's affinity rules: INT first, then CHAR, CLOB or TEXT.
    const std::string declared = text::ascii_upper(type ? type : "");
    if (declared.find("INT") != std::string::npos) return false;
    return declared.find("CHAR") != std::string::npos || declared.find("CLOB") != std::string::npos ||
           declared.find("TEXT") != std::string::npos;
  }

  // Runs a single SELECT through a prepared statement that is kept for the
  // next run with other literals. False when the query cannot be run that
  // way (the caller then runs its text, which also reports any error).
  bool RunCachedQuery(std::string_view original, int32_t timeout, RecordsetPtr& result) {
    if (!lift_query_literals(rewritten_.text, lifted_)) return false;
    return RunLifted(original, timeout, result);
  }

  // Runs lifted_ (SQLite text with ? markers, and their values) through the
  // prepared statements kept for the next run; false as RunCachedQuery.
  bool RunLifted(std::string_view original, int32_t timeout, RecordsetPtr& result) {
    CachedQuery* entry = nullptr;
    for (size_t i = 0; i < db_->queries.size(); ++i) {
      if (db_->queries[i].text != lifted_.text) continue;
      if (db_->queries[i].in_use) break;  // read by an open record set: a statement of its own
      if (i != 0)
        std::rotate(db_->queries.begin(), db_->queries.begin() + static_cast<std::ptrdiff_t>(i),
                    db_->queries.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      entry = &db_->queries.front();
      break;
    }
    sqlite3_stmt* st = entry ? entry->statement : nullptr;
    ColumnNames names = entry ? entry->names : nullptr;
    if (!st) {
      const char* tail = nullptr;
      if (sqlite3_prepare_v3(db_->handle, lifted_.text.c_str(), static_cast<int>(lifted_.text.size()),
                             SQLITE_PREPARE_PERSISTENT, &st, &tail) != SQLITE_OK ||
          !st || !only_blanks_and_comments(tail ? std::string_view(tail) : std::string_view()) ||
          sqlite3_bind_parameter_count(st) != static_cast<int>(lifted_.values.size())) {
        sqlite3_finalize(st);
        return false;
      }
      names = column_names(st);
      bool busy_twin = false;
      for (const CachedQuery& q : db_->queries) busy_twin = busy_twin || q.text == lifted_.text;
      if (!busy_twin) {
        // The least recently used statement that no record set reads makes room.
        if (db_->queries.size() >= kQueryCacheSize) {
          for (size_t i = db_->queries.size(); i-- > 0;) {
            if (db_->queries[i].in_use) continue;
            sqlite3_finalize(db_->queries[i].statement);
            db_->queries.erase(db_->queries.begin() + static_cast<std::ptrdiff_t>(i));
            break;
          }
        }
        if (db_->queries.size() < kQueryCacheSize) {
          db_->queries.insert(db_->queries.begin(), CachedQuery{lifted_.text, st, names, false});
          entry = &db_->queries.front();
        }
      }
    }
    for (size_t i = 0; i < lifted_.values.size(); ++i) {
      const std::string& v = lifted_.values[i];
      sqlite3_bind_text(st, static_cast<int>(i + 1), v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    const bool cached = entry != nullptr;
    if (cached) entry->in_use = true;
    int rc = db_->Step(st, timeout);
    if (rc == SQLITE_ROW) {
      result = std::make_shared<SqliteRecordset>(db_, st, std::move(names), timeout, original, cached);
      return true;
    }
    Error error = rc == SQLITE_DONE ? Error(0, "") : db_->MakeError(rc, original, timeout);
    if (cached) db_->ReturnQuery(st);
    else sqlite3_finalize(st);
    if (rc != SQLITE_DONE) throw error;
    result = std::make_shared<SqliteRecordset>(db_, nullptr, std::move(names), timeout, original);
    return true;
  }

  // The reusable statement of an INSERT template; false when there is none
  // (the caller then runs the text as it is, which also reports any error).
  bool RunCachedInsert(std::string_view original, const RewrittenSql& rw, int32_t& records_affected,
                       int32_t timeout) {
    if (!rw.parameterized) return false;
    sqlite3_stmt* st = CachedStatement(rw.insert_template);
    if (!st || sqlite3_bind_parameter_count(st) != static_cast<int>(rw.literals.size())) return false;
    for (size_t i = 0; i < rw.literals.size(); ++i) {
      std::string_view v = rw.literal(i);
      sqlite3_bind_text(st, static_cast<int>(i + 1), v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
    int rc = db_->Step(st, timeout);
    if (rc == SQLITE_DONE) {
      records_affected = sqlite3_changes(db_->handle);
      sqlite3_reset(st);
      return true;
    }
    Error e = db_->MakeError(rc, original, timeout);
    sqlite3_reset(st);
    throw e;
  }

  sqlite3_stmt* CachedStatement(const std::string& sql) {
    for (size_t i = 0; i < cache_.size(); ++i) {
      if (cache_[i].first != sql) continue;
      if (i != 0) std::rotate(cache_.begin(), cache_.begin() + static_cast<std::ptrdiff_t>(i),
                              cache_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return cache_.front().second;
    }
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_->handle, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &st, &tail) != SQLITE_OK ||
        !st) {
      return nullptr;
    }
    if (cache_.size() >= kStatementCacheSize) {
      sqlite3_finalize(cache_.back().second);
      cache_.pop_back();
    }
    cache_.insert(cache_.begin(), {sql, st});
    return st;
  }

  // WAL journal from the first statement that may have changed the file on:
  // a connection that only reads (a file that turns out to hold no postal
  // tables, say) leaves the file exactly as it was.
  void EnsureWal() {
    if (!sqlite3_get_autocommit(db_->handle)) return;  // not inside a transaction
    // A refusal (a record set still being read) is tried again next time.
    wal_checked_ = sqlite3_exec(db_->handle, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) == SQLITE_OK;
  }

  void BeginBatchIfDue(std::string_view sql) {
    if (commit_interval_ <= 0 || batch_open_ || dml_run_ < kBulkRunLength || !sqlite3_get_autocommit(db_->handle))
      return;
    int rc = sqlite3_exec(db_->handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw db_->MakeError(rc, sql, 0);
    batch_open_ = true;
    batch_started_ = Clock::now();
    batch_log_.clear();
    StartCommitter();
    wake_.notify_all();
  }

  void StartCommitter() {
    if (!committer_.joinable()) committer_ = std::thread([this] { CommitWhenDue(); });
  }

  // Commits an open group once its interval has passed, also when no further
  // statement comes (the writer waits for a user's answer, say): other
  // connections are never kept from writing, nor from seeing the changes,
  // for longer than the interval. Likewise ends a read transaction kept past
  // its scope once its time is up.
  void CommitWhenDue() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (hold_) {
        if (Clock::now() < hold_until_) {
          release_planned_ = hold_until_;
          wake_.wait_until(lock, hold_until_);
          continue;
        }
        ReleaseHold();
      }
      if (!batch_open_) {
        wake_.wait(lock);
        continue;
      }
      const Clock::time_point due = batch_started_ + std::chrono::milliseconds(commit_interval_);
      if (Clock::now() < due) {
        wake_.wait_until(lock, due);
        continue;
      }
      try {
        CommitBatch();
      } catch (Error& e) {
        deferred_error_ = std::move(e);
      }
    }
  }

  void CommitBatch() {
    if (!batch_open_) return;
    sqlite3* h = db_->handle;
    if (!sqlite3_get_autocommit(h) && sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      if (!sqlite3_get_autocommit(h)) {
        // Still open (readers of another connection keep the file busy):
        // nothing is taken back; the group is committed at a later turn.
        batch_started_ = Clock::now();
        return;
      }
      // SQLite took the group back: its statements are run again.
      Error error(err::kDbError, std::string("Die Änderungen konnten nicht gespeichert werden: ") + sqlite3_errmsg(h));
      if (!RestoreLostBatch(error)) throw error;
      return;
    }
    batch_open_ = false;  // committed, or the statements ended it themselves
    batch_log_.clear();
  }

  // SQLite rolled back the whole open batch because of the failed statement:
  // the statements before it succeeded and are run again. False (and the
  // loss added to `error`) when that fails too.
  bool RestoreLostBatch(Error& error) {
    std::vector<std::string> log;
    log.swap(batch_log_);
    batch_open_ = false;
    if (log.empty()) return true;
    sqlite3* h = db_->handle;
    try {
      int rc = sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) throw db_->MakeError(rc, "BEGIN IMMEDIATE", 0);
      RewrittenSql rw;
      for (const std::string& sql : log) {
        rewrite_sql(sql, rw);
        int32_t affected = -1;
        if (RunCachedInsert(sql, rw, affected, 0)) continue;
        if (rw.parameterized) rewrite_sql_text(sql, rw);
        RunText(sql, rw.text, rw.kind, affected, 0);
      }
      rc = sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) throw db_->MakeError(rc, "COMMIT", 0);
      return true;
    } catch (const Error& e) {
      if (!sqlite3_get_autocommit(h)) sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
      error.description += " Die " + std::to_string(log.size()) +
                           " zuvor ausgeführten Änderungen sind dabei verloren gegangen: " + e.description;
    }
    return false;
  }

  friend class SqliteReplaceUnit;

 public:
  // The LIKE function registered on this database (dialect_functions.cc)
  // compiles the same pattern the same way.
  LikeTest LikeMatcher(std::string_view pattern) override {
    auto compiled = std::make_shared<const LikePattern>(pattern);
    const std::string prefix = compiled->LiteralPrefix();
    const auto first = prefix.empty() ? 0u : static_cast<unsigned char>(prefix[0]);
    if (first == 0 || first >= 0x80) return [compiled](std::string_view value) { return compiled->Matches(value); };
    // A plain ASCII first character decides at once: it must fold to the
    // pattern's first (no other character folds to an ASCII one).
    return [compiled, first](std::string_view value) {
      if (!value.empty()) {
        const auto c = static_cast<unsigned char>(value[0]);
        if (c < 0x80 && (c >= 'A' && c <= 'Z' ? c + 32u : c) != first) return false;
      }
      return compiled->Matches(value);
    };
  }

  std::unique_ptr<ReplaceUnit> BeginReplace(std::span<const std::string_view> tables) override {
    std::lock_guard lock(mutex_);
    ReleaseHold();
    if (unit_) throw import_running_error();
    // Statements grouped so far are saved first: they are no part of the unit.
    dml_run_ = 0;
    CommitBatch();
    sqlite3* h = db_->handle;
    if (!sqlite3_get_autocommit(h))
      throw Error(err::kDbError, "Auf dieser Verbindung ist noch eine Transaktion offen; der Import kann nicht "
                                 "als eine Einheit beginnen. Es wurde nichts verändert.");

    const int lock_fd = LockImport();
    try {
      // Readers keep their snapshot only with the WAL journal.
      if (path_ != ":memory:" && !path_.empty()) {
        std::string mode;
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(h, "PRAGMA journal_mode=WAL", -1, &st, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) mode = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        Error e = rc == SQLITE_ROW ? Error(0, "") : db_->MakeError(rc, "PRAGMA journal_mode=WAL", 0);
        sqlite3_finalize(st);
        if (rc != SQLITE_ROW) throw e;
        wal_checked_ = true;
        if (!text::equals_ci(mode, "wal"))
          throw Error(err::kDbError, "Die Datenbank kann nicht in das WAL-Journal wechseln (Modus \"" + mode +
                                         "\"); ohne es würden andere Verbindungen während des Imports leere "
                                         "Tabellen sehen. Es wurde nichts verändert.");
      }
      db_->hard_failure = false;
      const int rc = sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) {
        if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED)
          throw Error(err::kDbError, "Die Datenbank ist durch ein anderes Programm zum Schreiben gesperrt; nach " +
                                         seconds_text(busy_timeout_ms_) +
                                         " Warten wurde der Import nicht begonnen. Es wurde nichts verändert. "
                                         "Versuchen Sie es erneut, wenn das andere Programm fertig ist.");
        throw db_->MakeError(rc, "BEGIN IMMEDIATE", 0);
      }
      std::vector<std::string> indexes;
      const bool packs = std::any_of(tables.begin(), tables.end(),
                                     [](std::string_view t) { return text::equals_ci(t, "STR_DA"); });
      try {
        indexes = DropIndexes(tables);
        if (packs)
          if (const std::optional<PackFailure> failed = suspend_street_packs(h))
            throw db_->ErrorOf(*failed);
      } catch (...) {
        sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
      }
      auto unit = std::make_unique<SqliteReplaceUnit>(this, lock_fd, std::move(indexes), packs);
      unit_ = unit.get();
      return unit;
    } catch (...) {
      ::close(lock_fd);
      throw;
    }
  }

 private:
  static std::string seconds_text(int ms) {
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + (ms == 1000 ? " Sekunde" : " Sekunden");
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f Sekunden", ms / 1000.0);
    std::string s = buf;
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
  }

  // The import lock of this database file: -1 for a private in-memory
  // database, else the descriptor holding the flock. Refuses at once when
  // another connection (of any process) holds it.
  int LockImport() {
    if (path_ == ":memory:" || path_.empty()) return -1;
    const std::string lock_path = path_ + "-importlock";
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
      throw Error(err::kDbError, "Die Sperrdatei \"" + lock_path + "\" des Imports kann nicht angelegt werden: " +
                                     std::strerror(errno) + ". Es wurde nichts verändert.");
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      ::close(fd);
      if (e == EWOULDBLOCK) throw import_running_error();
      throw Error(err::kDbError, "Die Sperrdatei \"" + lock_path + "\" des Imports kann nicht gesperrt werden: " +
                                     std::strerror(e) + ". Es wurde nichts verändert.");
    }
    return fd;
  }

  // Drops the non-unique indexes that the schema made on `tables` (unique
  // ones stay: they decide which rows are duplicates) and returns the
  // statements that make them again.
  std::vector<std::string> DropIndexes(std::span<const std::string_view> tables) {
    sqlite3* h = db_->handle;
    std::vector<std::pair<std::string, std::string>> found;  // name, CREATE statement
    for (std::string_view table : tables) {
      sqlite3_stmt* st = nullptr;
      const char* sql =
          "SELECT l.name, m.sql FROM pragma_index_list(?1) AS l JOIN sqlite_master AS m ON m.name = l.name "
          "WHERE l.\"unique\" = 0 AND l.origin = 'c' AND m.sql IS NOT NULL";
      int rc = sqlite3_prepare_v2(h, sql, -1, &st, nullptr);
      if (rc != SQLITE_OK) throw db_->MakeError(rc, sql, 0);
      sqlite3_bind_text(st, 1, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
      while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        found.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                           reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
      Error e = rc == SQLITE_DONE ? Error(0, "") : db_->MakeError(rc, sql, 0);
      sqlite3_finalize(st);
      if (rc != SQLITE_DONE) throw e;
    }
    for (const auto& [name, create] : found) NoteClustering(name);
    std::vector<std::string> creates;
    for (const auto& [name, create] : found) {
      std::string drop = "DROP INDEX \"";
      for (char c : name) drop += c == '"' ? std::string("\"\"") : std::string(1, c);
      drop += "\"";
      const int rc = sqlite3_exec(h, drop.c_str(), nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) throw db_->MakeError(rc, drop, 0);
      creates.push_back(create);
    }
    return creates;
  }

  // The first index of two or more columns on a table decides how a replace
  // unit lays out its rows (see Clustering): its first two columns, when the
  // second compares as NOXPLZ_CI or bytewise.
  void NoteClustering(const std::string& index) {
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "SELECT x.name, x.coll, (SELECT tbl_name FROM sqlite_master WHERE name = ?1) FROM pragma_index_xinfo(?1) AS x "
        "WHERE x.key = 1 ORDER BY x.seqno";
    if (sqlite3_prepare_v2(db_->handle, sql, -1, &st, nullptr) != SQLITE_OK) return;
    sqlite3_bind_text(st, 1, index.data(), static_cast<int>(index.size()), SQLITE_TRANSIENT);
    std::vector<std::pair<std::string, std::string>> columns;  // name, collation
    std::string table;
    while (sqlite3_step(st) == SQLITE_ROW) {
      auto text = [&](int i) {
        const unsigned char* t = sqlite3_column_text(st, i);
        return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
      };
      columns.emplace_back(text(0), text(1));
      table = text(2);
    }
    sqlite3_finalize(st);
    if (columns.size() < 2 || columns[0].first.empty() || columns[1].first.empty()) return;
    const std::string& coll = columns[1].second;
    if (!sql::iequals(coll, "NOXPLZ_CI") && !sql::iequals(coll, "BINARY")) return;
    for (char& c : table) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    clusterings_.emplace(table, ClusterColumns{columns[0].first, columns[1].first, sql::iequals(coll, "NOXPLZ_CI")});
  }

  std::unique_ptr<RowInserter> MakeInserter(std::string_view table, std::span<const std::string_view> columns) {
    std::lock_guard lock(mutex_);
    std::string sql = "INSERT INTO \"" + std::string(table) + "\" (";
    for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", \"" : "\"") + std::string(columns[i]) + "\"";
    sql += ") VALUES (";
    for (size_t i = 0; i < columns.size(); ++i) sql += i ? ",?" : "?";
    sql += ")";
    sqlite3_stmt* st = nullptr;
    const int rc = sqlite3_prepare_v3(db_->handle, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK) throw db_->MakeError(rc, sql, 0);
    std::optional<Clustering> clustering;
    std::string key(table);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (auto it = clusterings_.find(key); it != clusterings_.end()) {
      auto position = [&](const std::string& name) {
        for (size_t i = 0; i < columns.size(); ++i)
          if (sql::iequals(columns[i], name)) return static_cast<std::ptrdiff_t>(i);
        return std::ptrdiff_t{-1};
      };
      const std::ptrdiff_t g = position(it->second.group), o = position(it->second.order);
      if (g >= 0 && o >= 0) clustering = Clustering{static_cast<size_t>(g), static_cast<size_t>(o), it->second.german};
    }
    return std::make_unique<SqliteRowInserter>(db_, mutex_, st, std::move(sql), clustering);
  }

  void CommitUnit(const std::vector<std::string>& indexes, bool packs) {
    std::lock_guard lock(mutex_);
    write_held_rows(*db_);
    sqlite3* h = db_->handle;
    if (sqlite3_get_autocommit(h))
      throw Error(err::kDbError, "Die Datenbank hat die Transaktion des Imports zurückgenommen; die bisherigen "
                                 "Postdaten bleiben unverändert erhalten.");
    for (const std::string& create : indexes) {
      const int rc = sqlite3_exec(h, create.c_str(), nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) throw db_->MakeError(rc, create, 0);
    }
    // After the indexes: the packs are read in the order the lookups read.
    if (packs)
      if (const std::optional<PackFailure> failed = write_street_packs(h))
        throw db_->ErrorOf(*failed);
    const int rc = sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw db_->MakeError(rc, "COMMIT", 0);
    // The new data moves from the journal into the database file, and the
    // journal shrinks again; readers still on the old state may keep a part
    // of it for later checkpoints.
    sqlite3_wal_checkpoint_v2(h, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  }

  void RollbackUnit() {
    std::lock_guard lock(mutex_);
    sqlite3* h = db_->handle;
    if (h && !sqlite3_get_autocommit(h)) sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
  }

  bool UnitBroken() const { return db_->hard_failure || !db_->handle || sqlite3_get_autocommit(db_->handle); }

  std::shared_ptr<Database> db_;
  const int commit_interval_;
  const std::string path_;
  const int busy_timeout_ms_;
  SqliteReplaceUnit* unit_ = nullptr;  // the open replace unit
  struct ClusterColumns {
    std::string group, order;
    bool german;
  };
  std::map<std::string, ClusterColumns> clusterings_;  // by table, lower case (see NoteClustering)
  RewrittenSql rewritten_;
  LiftedQuery lifted_;
  // ExecuteBound: text as given -> SQLite form (looked up without a copy of the text).
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> bound_texts_;
  std::vector<std::pair<std::string, sqlite3_stmt*>> cache_;  // most recently used first
  sqlite3_stmt* data_version_ = nullptr;  // the schema cookie, prepared on first use
  int read_depth_ = 0;  // open BeginRead() calls; the cookie's statement holds the read
  uint64_t held_schema_ = 0;
  sqlite3_stmt* journal_mode_ = nullptr;
  StreetPackReader packs_;
  // A read transaction kept past its scope (see BeginRead).
  bool keep_read_ = false;  // the open scope's transaction may be kept
  bool hold_ = false;       // kept: no scope open, the cookie's statement still holds it
  Clock::time_point hold_until_, last_read_end_;
  Clock::time_point release_planned_;  // the end the committer thread waits for
  WalHeader hold_header_{};
  const volatile unsigned char* wal_index_ = nullptr;  // mapped while the transaction is kept
  bool wal_checked_ = false;  // the switch to the WAL journal was tried
  int dml_run_ = 0;  // data changes since the last other statement (up to kBulkRunLength)
  bool batch_open_ = false;
  Clock::time_point batch_started_;
  std::vector<std::string> batch_log_;
  // The committer thread (started with the first group) and what it shares
  // with Execute under `mutex_`.
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::optional<Error> deferred_error_;
  std::thread committer_;
};

SqliteReplaceUnit::~SqliteReplaceUnit() {
  try {
    Rollback();
  } catch (...) {
    // Nothing to report to in a destructor; SQLite ends the transaction with the connection.
  }
}

std::unique_ptr<RowInserter> SqliteReplaceUnit::PrepareInsert(std::string_view table,
                                                              std::span<const std::string_view> columns) {
  if (!backend_ || !open_) throw closed_object_error();
  return backend_->MakeInserter(table, columns);
}

void SqliteReplaceUnit::Commit() {
  if (!backend_ || !open_) throw closed_object_error();
  try {
    backend_->CommitUnit(indexes_, packs_);
  } catch (...) {
    Rollback();
    throw;
  }
  open_ = false;
  backend_->unit_ = nullptr;
  Unlock();
}

void SqliteReplaceUnit::Rollback() {
  if (!open_) return;
  open_ = false;
  if (backend_) {
    backend_->RollbackUnit();
    backend_->unit_ = nullptr;
  }
  Unlock();
}

bool SqliteReplaceUnit::Broken() const { return !backend_ || !open_ || backend_->UnitBroken(); }

std::string property(const std::map<std::string, std::string>& properties, std::string_view key) {
  auto it = properties.find(std::string(key));
  return it == properties.end() ? std::string() : it->second;
}

int parse_milliseconds(const std::map<std::string, std::string>& properties, std::string_view key,
                       std::string_view shown, int fallback) {
  std::string value = property(properties, key);
  if (value.empty()) return fallback;
  int ms = 0;
  auto res = std::from_chars(value.data(), value.data() + value.size(), ms);
  if (res.ec != std::errc() || res.ptr != value.data() + value.size() || ms < 0)
    throw Error(err::kDbOpenFailed, "Ungültiger Wert \"" + value + "\" für \"" + std::string(shown) +
                                        "\" (erwartet: Millisekunden ab 0).");
  return ms;
}

// SQLite as Debian builds it has no per-connection lookaside memory: every
// allocation of a running statement goes to the global allocator, which
// with memory statistics on takes one process-wide mutex per allocation and
// per free. Two threads checking addresses each with its own connection
// then queue for it about 250 times per check. So the statistics are turned
// off before SQLite first starts, if the host has not started it yet; a
// host that started SQLite itself (sqlite3_initialize, or any database of
// its own opened first) keeps its setting, since SQLite then refuses the
// change.
void turn_off_memory_statistics() {
  static std::once_flag once;
  std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

}  // namespace

std::unique_ptr<DbBackend> open_backend(const std::map<std::string, std::string>& properties) {
  std::string path = property(properties, "data source");
  if (path.empty()) path = property(properties, "datasource");
  if (path.empty())
    throw Error(err::kDbOpenFailed,
                "Die Verbindungszeichenfolge nennt keine Datenbankdatei (Data Source=<Datei>).");
  const int commit_interval =
      parse_milliseconds(properties, "commit interval", "Commit Interval", kDefaultCommitIntervalMs);
  const int busy_timeout = parse_milliseconds(properties, "busy timeout", "Busy Timeout", kBusyTimeoutMs);

  if (path != ":memory:") {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path file(path);
    const fs::path dir = file.parent_path();
    if (!dir.empty() && !fs::is_directory(dir, ec))
      throw Error(err::kDbOpenFailed, "Das Verzeichnis \"" + dir.string() + "\" der Datenbankdatei \"" + path +
                                          "\" existiert nicht.");
    if (fs::is_directory(file, ec))
      throw Error(err::kDbOpenFailed, "\"" + path + "\" ist ein Verzeichnis und keine Datenbankdatei.");
  }

  turn_off_memory_statistics();
  auto db = std::make_shared<Database>();
  // Serialized: the backend's committer thread may COMMIT while a record set is being read.
  int rc = sqlite3_open_v2(path.c_str(), &db->handle,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  auto fail = [&](int code) -> Error {
    std::string msg = db->handle ? sqlite3_errmsg(db->handle) : sqlite3_errstr(code);
    if ((code & 0xFF) == SQLITE_NOTADB)
      return Error(err::kDbOpenFailed, "Die Datei \"" + path + "\" ist keine SQLite-Datenbank (" + msg + ").");
    return Error(err::kDbOpenFailed, "Die Datenbankdatei \"" + path + "\" kann nicht geöffnet werden: " + msg);
  };
  if (rc != SQLITE_OK) throw fail(rc);

  sqlite3* h = db->handle;
  // 400 lookaside slots (about 480 KB) instead of SQLite's few dozen: the
  // small allocations of running statements stay with the connection. Past
  // them SQLite allocates through its global allocator, whose one mutex
  // threads with a connection each would contend for on every statement.
  sqlite3_db_config(h, SQLITE_DBCONFIG_LOOKASIDE, nullptr, 1200, 400);
  sqlite3_extended_result_codes(h, 1);
  sqlite3_busy_timeout(h, busy_timeout);
  if ((rc = register_dialect_functions(h)) != SQLITE_OK) throw fail(rc);
  // The first statement reads the file header: a file that is no database
  // fails here. Nothing is written yet (see EnsureWal).
  if ((rc = sqlite3_exec(h, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr)) != SQLITE_OK)
    throw fail(rc);
  if ((rc = sqlite3_exec(h, "PRAGMA synchronous=NORMAL; PRAGMA cache_size=-16384", nullptr, nullptr,
                         nullptr)) != SQLITE_OK)
    throw fail(rc);
  // Reads map the file instead of copying each page into the cache: the
  // lookups jump between index and table pages of a file far larger than the
  // cache. (SQLite caps the size at what its build allows.)
  sqlite3_exec(h, "PRAGMA mmap_size=2147418112", nullptr, nullptr, nullptr);
  sqlite3_progress_handler(h, kProgressInstructions, on_progress, db.get());
  return std::make_unique<SqliteBackend>(std::move(db), commit_interval, path, busy_timeout);
}

}  // namespace noxplz::sqlite
