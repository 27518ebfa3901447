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
#include <string>
#include <string_view>
#include <vector>

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
};

using RecordsetPtr = std::shared_ptr<Recordset>;

// What a provider implements. One backend instance per opened connection.
class DbBackend {
 public:
  virtual ~DbBackend() = default;
  // Runs one statement. `records_affected` receives the rows changed by a
  // data-changing statement (-1 for a query). `timeout_seconds` 0 means no limit.
  // Failures raise noxplz::Error with the backend's number and description.
  virtual RecordsetPtr Execute(std::string_view sql, int32_t& records_affected,
                               int32_t timeout_seconds) = 0;
};

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

 private:
  std::string connection_string_;
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
