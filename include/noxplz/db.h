// Database seam, shaped like the classic data objects the component was
// written against: a Connection that runs SQL text (SQL Server dialect), a
// forward-only Recordset read by field name, and a Command.
//
// The Connection itself is provider-neutral: Open() reads "Provider=..." from
// the connection string and hands the work to the backend registered under
// that provider name. The embedded default is "SQLite"
// ("Provider=SQLite;Data Source=<file>"); a host may register its own backend
// (e.g. one that talks to SQL Server) with register_db_provider().
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/error.h"
#include "noxplz/variant.h"

namespace noxplz {

// Forward-only result of a statement. Field lookup by name ignores letter
// case; an unknown name raises error 3265. SQL NULL reads as a Null Variant,
// text as Text, whole numbers that fit 32 bits as Long, anything else as Text.
class Recordset {
 public:
  virtual ~Recordset() = default;
  virtual bool Eof() const = 0;
  virtual void MoveNext() = 0;
  virtual Variant Field(std::string_view name) const = 0;
  virtual std::vector<std::string> FieldNames() const = 0;
  // Releases the statement; further reads raise an error. Closing twice is harmless.
  virtual void Close() = 0;

  // The position of the field `name` among FieldNames(), found as Field
  // finds it (an unknown name raises the same error). A reader of many rows
  // looks its fields up once and reads them with FieldAt.
  virtual int32_t FieldIndex(std::string_view name) const;
  // The field at `index` of the current row: what Field returns for the
  // name FieldIndex found there.
  virtual Variant FieldAt(int32_t index) const;
  // That field as text (a number as its digits, null as empty) without the
  // blanks at either end, into `out`: a reader of many padded rows need not
  // copy the blanks first. The base class goes through FieldAt.
  virtual void TrimmedTextAt(int32_t index, std::string& out) const;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

// Inserts whole rows into one table through a statement prepared once, so a
// bulk load neither builds nor parses SQL text per row. Made by a
// ReplaceUnit; valid while the unit is open.
class RowInserter {
 public:
  virtual ~RowInserter() = default;
  // Insert's answer for a row that a backend loading in batches holds for
  // later: its outcome comes from TakeOutcomes.
  static constexpr int32_t kPending = -1;

  // Inserts one row; `values` in the order of the columns named when the
  // inserter was made, each as the text an INSERT statement would hold
  // between its quotes (unquoted). Returns the rows inserted (1), or raises
  // noxplz::Error exactly as Execute would for the same INSERT statement (a
  // duplicate key with kDuplicateKeyText in its description). A backend
  // that loads in batches returns kPending instead and raises only when it
  // cannot send rows at all (the unit is then Broken()).
  virtual int32_t Insert(std::span<const std::string_view> values) = 0;

  // What became of pending rows: how many went in, how many a unique key
  // left out, and the error of every row refused for another reason (as
  // Execute would raise it for that row).
  struct Outcomes {
    int64_t inserted = 0;
    int64_t duplicates = 0;
    std::vector<Error> refused;
  };
  // The outcomes known so far, each reported once. With `all`, the rows
  // still held are sent first, so every pending row has its outcome; any
  // other statement on the connection and Commit send them too. Raises
  // noxplz::Error when rows cannot be sent (the unit is then Broken()).
  virtual Outcomes TakeOutcomes(bool all) {
    (void)all;
    return {};
  }
};

// The replacement of the contents of a set of tables as one unit: the import
// deletes the old rows and loads the new ones through the connection as
// usual (Execute, or a RowInserter), and the result becomes visible to
// other connections only with Commit(). Until then every other connection
// reads the old rows, complete and unchanged, and after Rollback() (or the
// end of the unit without Commit, or the end of the process) the old rows
// stay exactly as they were.
//
// The unit is exclusive per database, across processes: while it is open,
// a second BeginReplace on the same database is refused at once with
// import_running_error().
//
// How a backend keeps the promise is its choice (one transaction, or
// staging tables swapped in at Commit); docs/DESIGN.md names the choice of
// each backend.
class ReplaceUnit {
 public:
  virtual ~ReplaceUnit() = default;  // open: rolls back (errors swallowed)
  // A prepared inserter for `table` with `columns`; nullptr when the backend
  // has none (the caller then runs INSERT text through Execute).
  virtual std::unique_ptr<RowInserter> PrepareInsert(std::string_view table,
                                                     std::span<const std::string_view> columns) {
    (void)table;
    (void)columns;
    return nullptr;
  }
  // Makes the new rows visible to everyone (rebuilding what the backend
  // deferred, such as indexes). Raises noxplz::Error when that fails; the
  // old rows are then kept.
  virtual void Commit() = 0;
  // Takes the new rows back; the old rows stay. Harmless when already ended.
  virtual void Rollback() = 0;
  // True once a failure has spoilt the unit (a full disk, an I/O error, a
  // transaction the database took back): nothing more can be loaded and only
  // Rollback() remains.
  virtual bool Broken() const = 0;
};

// What a provider implements. One backend instance per opened connection.
class DbBackend {
 public:
  virtual ~DbBackend() = default;
  // Runs one statement. `records_affected` receives the rows changed by a
  // data-changing statement (-1 for a query). `timeout_seconds` 0 means no limit.
  // Failures raise noxplz::Error with the backend's number and description.
  virtual RecordsetPtr Execute(std::string_view sql, int32_t& records_affected,
                               int32_t timeout_seconds) = 0;

  // Opens the replace unit over `tables` (see ReplaceUnit). A database
  // locked by another writer is waited for as long as the backend waits for
  // any lock and then reported; another import running raises
  // import_running_error() at once. nullptr when the backend cannot offer a
  // unit: the statements then take effect one by one, as they always did.
  virtual std::unique_ptr<ReplaceUnit> BeginReplace(std::span<const std::string_view> tables) {
    (void)tables;
    return nullptr;
  }

  // A number that changes whenever the data this connection reads may have
  // changed, through this connection or another one; nullopt when the
  // backend cannot tell. Lets callers keep what they derived from the data
  // (a name index, a list) for as long as it is the same.
  virtual std::optional<uint64_t> DataVersion() { return std::nullopt; }

  // A test that decides `value LIKE pattern` exactly as this backend's
  // statements do (T-SQL patterns, its collation), for values it returned:
  // lets a caller narrow rows it keeps instead of asking again. Empty when
  // the backend cannot promise that.
  using LikeTest = std::function<bool(std::string_view value)>;
  virtual LikeTest LikeMatcher(std::string_view pattern) {
    (void)pattern;
    return {};
  }

  // Reads that belong together: from BeginRead() to the matching EndRead()
  // the backend may hold one read transaction, so the statements in between
  // see one state of the data and start no transaction of their own.
  // Returns DataVersion() of that state. Calls may nest; EndRead() never
  // raises.
  virtual std::optional<uint64_t> BeginRead() { return DataVersion(); }
  virtual void EndRead() {}

  // Runs one query whose text values are bound to its ? markers in order, as
  // if each stood there as a text literal. Lets a backend keep the statement
  // prepared without reading the text again. nullptr when the backend runs
  // no such queries: Connection::ExecuteBound then writes the values in as
  // literals.
  virtual RecordsetPtr ExecuteBound(std::string_view sql, std::span<const std::string_view> values,
                                    int32_t timeout_seconds) {
    (void)sql;
    (void)values;
    (void)timeout_seconds;
    return nullptr;
  }
};

// A state of the data as one open connection reads it: two equal stamps
// mean nothing changed in between.
struct DataStamp {
  uint64_t opened = 0;   // which opening of which connection; unique in the process
  uint64_t version = 0;  // the backend's DataVersion()
  bool operator==(const DataStamp&) const = default;
};

// The refusal of a second import on a database while one runs. Every
// backend raises this same error.
inline constexpr int32_t kErrImportRunning = -2147217887;
inline constexpr std::string_view kImportRunningText = "Auf diese Datenbank läuft bereits ein Import";
Error import_running_error();

// Opens a backend from the parsed connection-string properties (keys lower case).
using DbProviderFactory =
    std::function<std::unique_ptr<DbBackend>(const std::map<std::string, std::string>& properties)>;

// Registers a provider under its name ("SQLite" is built in). Names ignore case.
void register_db_provider(std::string name, DbProviderFactory factory);

// "Key=Value;Key=Value" into lower-case keys with trimmed values.
std::map<std::string, std::string> parse_connection_string(std::string_view text);

class Connection {
 public:
  static constexpr int32_t kAdUseClient = 3;
  static constexpr int32_t kAdUseServer = 2;
  static constexpr int32_t kStateClosed = 0;
  static constexpr int32_t kStateOpen = 1;

  Connection();
  ~Connection();

  std::string ConnectionString() const { return connection_string_; }
  void ConnectionString(std::string_view text) { connection_string_ = std::string(text); }
  int32_t CursorLocation() const { return cursor_location_; }
  void CursorLocation(int32_t location) { cursor_location_ = location; }
  // Seconds a statement may run; 0 = no limit. Default 30.
  int32_t CommandTimeout() const { return command_timeout_; }
  void CommandTimeout(int32_t seconds) { command_timeout_ = seconds; }
  int32_t State() const { return backend_ ? kStateOpen : kStateClosed; }

  // Opens the connection. An empty `connection_string` uses ConnectionString().
  // Raises a German Error when the provider is unknown or the source cannot be opened.
  void Open(std::string_view connection_string = {}, std::string_view user = {},
            std::string_view password = {}, int32_t options = -1);
  void Close();

  // Runs SQL text. Raises error 3709 on a connection that is not open.
  RecordsetPtr Execute(std::string_view sql, int32_t* records_affected = nullptr,
                       int32_t options = -1);

  // Runs a query with `values` bound to its ? markers in order (a ? inside a
  // quoted literal is no marker); the same rows as the text with each value
  // written in as a quoted literal. Raises error 3709 when not open, and
  // error 5 when markers and values do not match in number.
  RecordsetPtr ExecuteBound(std::string_view sql, std::span<const std::string_view> values);

  // Opens the backend's replace unit over `tables` (see ReplaceUnit);
  // nullptr when the backend has none. Raises error 3709 when not open.
  std::unique_ptr<ReplaceUnit> BeginReplace(std::span<const std::string_view> tables);

  // The current state of the data (see DataStamp); nullopt when the
  // connection is closed or its backend cannot tell.
  std::optional<noxplz::DataStamp> DataStamp();

  // The backend's LIKE as a test on values (see DbBackend::LikeMatcher);
  // empty when the connection is closed or its backend cannot promise it.
  DbBackend::LikeTest LikeMatcher(std::string_view pattern);

  // Holds one state of the data for the reads during its life (see
  // DbBackend::BeginRead) and tells its stamp.
  class ReadScope {
   public:
    explicit ReadScope(Connection& connection);
    ~ReadScope();
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;
    const std::optional<noxplz::DataStamp>& Stamp() const { return stamp_; }

   private:
    Connection& connection_;
    uint64_t opened_;  // the opening the read began on
    std::optional<noxplz::DataStamp> stamp_;
  };

 private:
  std::string connection_string_;
  uint64_t opened_ = 0;
  int32_t cursor_location_ = kAdUseServer;
  int32_t command_timeout_ = 30;
  std::unique_ptr<DbBackend> backend_;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// Opens a new connection for a connection string (convenience for tools and tests).
ConnectionPtr open_connection(std::string_view connection_string);

class Command {
 public:
  static constexpr int32_t kAdCmdText = 1;

  ConnectionPtr ActiveConnection() const { return connection_; }
  void ActiveConnection(ConnectionPtr connection) { connection_ = std::move(connection); }
  int32_t CommandType() const { return command_type_; }
  void CommandType(int32_t type) { command_type_ = type; }
  std::string CommandText() const { return command_text_; }
  void CommandText(std::string_view text) { command_text_ = std::string(text); }
  // Runs CommandText on ActiveConnection (error 91 when there is none).
  RecordsetPtr Execute(int32_t* records_affected = nullptr);

 private:
  ConnectionPtr connection_;
  int32_t command_type_ = kAdCmdText;
  std::string command_text_;
};

// The value with every single quote doubled, ready to stand between the
// quotes of an SQL text literal ("... = '" + sql_quote(v) + "'"). Every value
// that goes into a statement passes through here.
std::string sql_quote(std::string_view value);

// The classic description of a duplicate-key rejection; the import skips rows
// whose error description contains this text.
inline constexpr std::string_view kDuplicateKeyText = "doppelter Schlüssel";

}  // namespace noxplz
