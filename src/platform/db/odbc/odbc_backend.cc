#include "platform/db/odbc/odbc_backend.h"

#include <sql.h>
#include <sqlext.h>

#include <charconv>
#include <limits>
#include <utility>

#include "noxplz/error.h"
#include "platform/db/recordsets.h"
#include "platform/db/server_errors.h"
#include "platform/text.h"

namespace noxplz::odbc {
namespace {

constexpr SQLULEN kDefaultLoginTimeout = 15;

// SQL Server drivers in the order they are preferred.
constexpr const char* kSqlServerDrivers[] = {"ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server",
                                             "FreeTDS"};

using WString = std::basic_string<SQLWCHAR>;

WString to_wide(std::string_view s) {
  WString out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    size_t n;
    if (c < 0x80) {
      cp = c;
      n = 1;
    } else if ((c >> 5) == 6 && i + 1 < s.size()) {
      cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      n = 2;
    } else if ((c >> 4) == 14 && i + 2 < s.size()) {
      cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      n = 3;
    } else if ((c >> 3) == 30 && i + 3 < s.size()) {
      cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
      n = 4;
    } else {
      cp = c;  // not UTF-8: the byte as a Latin-1 character
      n = 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<SQLWCHAR>(0xD800 + (cp >> 10));
      out += static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<SQLWCHAR>(cp);
    }
    i += n;
  }
  return out;
}

std::string to_utf8(const SQLWCHAR* w, size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    char32_t cp = w[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

bool ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The first diagnostic record of a handle.
db::ServerDiagnostic diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  db::ServerDiagnostic d;
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLWCHAR message[2048];
  SQLSMALLINT length = 0;
  for (SQLSMALLINT rec = 1;; ++rec) {
    SQLRETURN rc = SQLGetDiagRecW(type, handle, rec, state, &native, message,
                                  static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!ok(rc)) break;
    const size_t n = std::min<size_t>(static_cast<size_t>(length), std::size(message) - 1);
    if (rec == 1) {
      d.sqlstate = to_utf8(state, 5);
      d.native = native;
      d.message = to_utf8(message, n);
    } else {
      d.message += " " + to_utf8(message, n);  // further records add detail
    }
    if (rec >= 4) break;
  }
  if (d.message.empty()) d.message = "Der ODBC-Treiber nennt keinen Grund.";
  return d;
}

// A value of a driver connection string: in braces when it holds ; { } or
// blanks at either end.
std::string odbc_value(const std::string& v) {
  if (v.find_first_of(";{}") == std::string::npos && (v.empty() || (v.front() != ' ' && v.back() != ' ')))
    return v;
  std::string out = "{";
  for (char c : v) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}

// A value written in ODBC's braces ({a;b}, "}}" for "}") without them.
std::string unbraced(const std::string& v) {
  if (v.size() < 2 || v.front() != '{' || v.back() != '}') return v;
  std::string out;
  for (size_t i = 1; i + 1 < v.size(); ++i) {
    out += v[i];
    if (v[i] == '}' && v[i + 1] == '}') ++i;
  }
  return out;
}

std::string property(const std::map<std::string, std::string>& p, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    auto it = p.find(key);
    if (it != p.end() && !it->second.empty()) return unbraced(it->second);
  }
  return {};
}

bool truthy(std::string v) {
  v = text::lower(text::trim(v));
  return v == "sspi" || v == "true" || v == "yes" || v == "1";
}

bool is_number_type(SQLSMALLINT type) {
  switch (type) {
    case SQL_INTEGER: case SQL_SMALLINT: case SQL_TINYINT: case SQL_BIGINT: case SQL_NUMERIC: case SQL_DECIMAL:
      return true;
    default:
      return false;
  }
}

// The rows of a result, read completely.
class OdbcRecordset final : public HeldRowsRecordset {
 public:
  OdbcRecordset(std::vector<std::string> names, std::vector<std::vector<Variant>> rows)
      : HeldRowsRecordset(std::move(names), rows.size()), rows_(std::move(rows)) {}

 private:
  Variant Value(size_t row, size_t column) const override { return rows_[row][column]; }
  void Release() override { rows_.clear(); }

  std::vector<std::vector<Variant>> rows_;
};

class Statement {
 public:
  explicit Statement(SQLHDBC dbc) {
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_))) handle_ = SQL_NULL_HSTMT;
  }
  ~Statement() {
    if (handle_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT get() const { return handle_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

class OdbcBackend final : public DbBackend {
 public:
  OdbcBackend(SQLHENV env, SQLHDBC dbc) : env_(env), dbc_(dbc) {}
  ~OdbcBackend() override {
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }

  RecordsetPtr Execute(std::string_view sql, int32_t& records_affected, int32_t timeout_seconds) override {
    records_affected = -1;
    Statement st(dbc_);
    if (st.get() == SQL_NULL_HSTMT) throw db::server_error(diagnostic(SQL_HANDLE_DBC, dbc_), sql, timeout_seconds);
    SQLSetStmtAttr(st.get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(timeout_seconds, 0))), 0);
    WString text = to_wide(sql);
    SQLRETURN rc = SQLExecDirectW(st.get(), text.data(), static_cast<SQLINTEGER>(text.size()));
    if (!ok(rc) && rc != SQL_NO_DATA) throw db::server_error(diagnostic(SQL_HANDLE_STMT, st.get()), sql, timeout_seconds);

    // The first result with columns is the record set; the row counts of
    // the statements before it are the records affected.
    for (;;) {
      SQLSMALLINT columns = 0;
      if (rc != SQL_NO_DATA) SQLNumResultCols(st.get(), &columns);
      if (columns > 0) return ReadRows(st.get(), columns, sql, timeout_seconds);
      SQLLEN count = -1;
      if (rc != SQL_NO_DATA && ok(SQLRowCount(st.get(), &count)) && count >= 0)
        records_affected = static_cast<int32_t>(count);
      else if (rc == SQL_NO_DATA)
        records_affected = 0;  // a change that met no row
      rc = SQLMoreResults(st.get());
      if (rc == SQL_NO_DATA) break;
      if (!ok(rc)) throw db::server_error(diagnostic(SQL_HANDLE_STMT, st.get()), sql, timeout_seconds);
    }
    return nullptr;
  }

 private:
  RecordsetPtr ReadRows(SQLHSTMT st, SQLSMALLINT columns, std::string_view sql, int32_t timeout) {
    std::vector<std::string> names;
    std::vector<SQLSMALLINT> types;
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
      SQLWCHAR name[256];
      SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      SQLDescribeColW(st, c, name, static_cast<SQLSMALLINT>(std::size(name)), &name_length, &type, &size, &digits,
                      &nullable);
      names.push_back(to_utf8(name, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(name_length, 0)),
                                                     std::size(name) - 1)));
      types.push_back(type == SQL_BIT ? SQL_BIT : (is_number_type(type) && digits == 0 ? SQL_BIGINT : SQL_WCHAR));
    }
    std::vector<std::vector<Variant>> rows;
    for (;;) {
      SQLRETURN rc = SQLFetch(st);
      if (rc == SQL_NO_DATA) break;
      if (!ok(rc)) throw db::server_error(diagnostic(SQL_HANDLE_STMT, st), sql, timeout);
      std::vector<Variant> row;
      row.reserve(names.size());
      for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        bool is_null = false;
        std::string value = ReadText(st, c, is_null, sql, timeout);
        row.push_back(is_null ? Variant::Null() : Convert(std::move(value), types[c - 1]));
      }
      rows.push_back(std::move(row));
    }
    return std::make_shared<OdbcRecordset>(std::move(names), std::move(rows));
  }

  static Variant Convert(std::string value, SQLSMALLINT type) {
    if (type == SQL_BIT) return Variant(value == "1" || value == "t" || value == "true");
    if (type == SQL_BIGINT) {
      int64_t n = 0;
      auto r = std::from_chars(value.data(), value.data() + value.size(), n);
      if (r.ec == std::errc() && r.ptr == value.data() + value.size() && n >= std::numeric_limits<int32_t>::min() &&
          n <= std::numeric_limits<int32_t>::max())
        return Variant(static_cast<int32_t>(n));
    }
    return Variant(std::move(value));
  }

  // A column's value as text, in pieces for long values.
  std::string ReadText(SQLHSTMT st, SQLUSMALLINT c, bool& is_null, std::string_view sql, int32_t timeout) {
    WString all;
    SQLWCHAR buf[1024];
    for (;;) {
      SQLLEN indicator = 0;
      SQLRETURN rc = SQLGetData(st, c, SQL_C_WCHAR, buf, sizeof buf, &indicator);
      if (rc == SQL_NO_DATA) break;
      if (!ok(rc)) throw db::server_error(diagnostic(SQL_HANDLE_STMT, st), sql, timeout);
      if (indicator == SQL_NULL_DATA) {
        is_null = true;
        return {};
      }
      const size_t capacity = std::size(buf) - 1;
      size_t n = (indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / sizeof(SQLWCHAR) > capacity)
                     ? capacity
                     : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
      all.append(buf, n);
      if (rc == SQL_SUCCESS) break;  // the whole value has arrived
    }
    return to_utf8(all.data(), all.size());
  }

  SQLHENV env_;
  SQLHDBC dbc_;
};

std::string connect_message(const db::ServerDiagnostic& d, const std::string& driver) {
  const std::string m = text::lower(d.message);
  const std::string origin = " (" + d.message + (d.sqlstate.empty() ? "" : " [SQLSTATE " + d.sqlstate + "]") + ")";
  if (d.sqlstate == "IM002")
    return "Der ODBC-Treiber oder die Datenquelle \"" + driver +
           "\" ist nicht eingerichtet (odbcinst.ini / odbc.ini)." + origin;
  if (d.sqlstate == "28000" || m.find("password") != std::string::npos || m.find("login failed") != std::string::npos ||
      m.find("anmeldung") != std::string::npos)
    return "Die Anmeldung am Datenbankserver ist fehlgeschlagen: Benutzername oder Kennwort ist falsch." + origin;
  if (d.sqlstate == "HYT00" || m.find("timeout") != std::string::npos)
    return "Zeitüberschreitung beim Verbinden mit dem Datenbankserver." + origin;
  if (d.sqlstate.rfind("08", 0) == 0)
    return "Der Datenbankserver ist nicht erreichbar. Läuft der Server, und stimmen Server und Port?" + origin;
  return "Die Verbindung zum Datenbankserver über ODBC kann nicht hergestellt werden." + origin;
}

}  // namespace

std::vector<std::string> installed_drivers() {
  std::vector<std::string> drivers;
  SQLHENV env = SQL_NULL_HENV;
  if (!ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return drivers;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[256], attributes[1024];
  SQLSMALLINT name_length = 0, attributes_length = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (ok(SQLDriversA(env, direction, name, sizeof name, &name_length, attributes, sizeof attributes,
                        &attributes_length))) {
    drivers.emplace_back(reinterpret_cast<char*>(name));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return drivers;
}

std::string driver_connection_string(const std::map<std::string, std::string>& p,
                                     const std::vector<std::string>& installed) {
  // Keys of ours that no driver gets.
  static const char* const kOwnKeys[] = {"provider", "connect timeout", "connection timeout", "command timeout"};
  auto own = [](const std::string& key) {
    for (const char* k : kOwnKeys)
      if (key == k) return true;
    return false;
  };

  if (p.count("driver") || p.count("dsn")) {
    // The caller names the driver: every other key goes to it unchanged.
    std::string out;
    for (const char* first : {"driver", "dsn"})
      if (auto it = p.find(first); it != p.end())
        out += std::string(first == std::string("driver") ? "Driver" : "DSN") + "=" + odbc_value(unbraced(it->second)) +
               ";";
    for (const auto& [key, value] : p)
      if (key != "driver" && key != "dsn" && !own(key)) out += key + "=" + odbc_value(unbraced(value)) + ";";
    return out;
  }

  std::string driver;
  for (const char* wanted : kSqlServerDrivers) {
    for (const std::string& d : installed)
      if (text::equals_ci(d, wanted)) driver = d;
    if (!driver.empty()) break;
  }
  if (driver.empty())
    throw Error(err::kDbOpenFailed,
                "Für SQL Server ist kein ODBC-Treiber eingerichtet. Installieren Sie Microsofts \"ODBC Driver 18 for "
                "SQL Server\" (Paket msodbcsql18) oder FreeTDS (Paket tdsodbc), oder nennen Sie den Treiber in der "
                "Verbindungszeichenfolge mit Driver=….");
  const bool freetds = text::equals_ci(driver, "FreeTDS");

  std::string out = "Driver=" + odbc_value(driver) + ";";
  std::string server = property(p, {"data source", "server", "address", "addr", "network address"});
  if (freetds) {
    // FreeTDS takes the port separately; "host,port" is SQL Server's spelling.
    if (size_t comma = server.find(','); comma != std::string::npos) {
      out += "Server=" + odbc_value(text::trim(server.substr(0, comma))) + ";Port=" +
             odbc_value(text::trim(server.substr(comma + 1))) + ";";
    } else if (!server.empty()) {
      out += "Server=" + odbc_value(server) + ";";
    }
    out += "ClientCharset=UTF-8;";
  } else if (!server.empty()) {
    out += "Server=" + odbc_value(server) + ";";
  }
  if (std::string db = property(p, {"initial catalog", "database"}); !db.empty()) out += "Database=" + odbc_value(db) + ";";
  if (truthy(property(p, {"integrated security", "trusted_connection"}))) {
    out += "Trusted_Connection=yes;";
  } else {
    if (std::string user = property(p, {"user id", "uid", "user"}); !user.empty()) out += "UID=" + odbc_value(user) + ";";
    if (p.count("password") || p.count("pwd")) out += "PWD=" + odbc_value(property(p, {"password", "pwd"})) + ";";
  }
  if (std::string app = property(p, {"application name", "app"}); !app.empty()) out += "APP=" + odbc_value(app) + ";";
  if (!freetds) {
    if (std::string v = property(p, {"encrypt", "use encryption for data"}); !v.empty())
      out += std::string("Encrypt=") + (truthy(v) ? "yes" : "no") + ";";
    if (std::string v = property(p, {"trustservercertificate", "trust server certificate"}); !v.empty())
      out += std::string("TrustServerCertificate=") + (truthy(v) ? "yes" : "no") + ";";
  }
  return out;
}

std::unique_ptr<DbBackend> open_backend(const std::map<std::string, std::string>& properties) {
  const std::string connection = driver_connection_string(properties, installed_drivers());

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
    throw Error(err::kDbOpenFailed, "Die ODBC-Umgebung lässt sich nicht anlegen (unixODBC).");
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!ok(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    throw Error(err::kDbOpenFailed, "Die ODBC-Verbindung lässt sich nicht anlegen (unixODBC).");
  }
  SQLULEN login_timeout = kDefaultLoginTimeout;
  if (std::string t = property(properties, {"connect timeout", "connection timeout"}); !t.empty()) {
    unsigned long v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec == std::errc() && r.ptr == t.data() + t.size()) login_timeout = v;
  }
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(login_timeout), 0);

  WString in = to_wide(connection);
  SQLWCHAR out[1024];
  SQLSMALLINT out_length = 0;
  SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, in.data(), static_cast<SQLSMALLINT>(in.size()), out,
                                   static_cast<SQLSMALLINT>(std::size(out)), &out_length, SQL_DRIVER_NOPROMPT);
  if (!ok(rc)) {
    db::ServerDiagnostic d = diagnostic(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    std::string driver = property(properties, {"driver", "dsn"});
    if (driver.empty()) driver = connection.substr(7, connection.find(';') - 7);
    throw Error(err::kDbOpenFailed, connect_message(d, driver));
  }
  return std::make_unique<OdbcBackend>(env, dbc);
}

}  // namespace noxplz::odbc
