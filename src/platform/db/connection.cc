// Connection, Command, the provider registry and the connection-string
// parser: the provider-neutral half of the database seam.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>

#include "noxplz/db.h"
#include "noxplz/error.h"
#include "platform/db/recordsets.h"
#include "platform/text.h"
#include "platform/db/sqlite/sqlite_backend.h"
#ifdef NOXPLZ_HAVE_POSTGRESQL
#include "platform/db/postgres/pg_backend.h"
#endif
#ifdef NOXPLZ_HAVE_ODBC
#include "platform/db/odbc/odbc_backend.h"
#endif

namespace noxplz {
namespace {

constexpr int32_t kErrObjectOpen = 3705;

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string trim_blanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t b = 0, e = s.size();
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

struct Provider {
  std::string name;  // as registered, for messages
  DbProviderFactory factory;
};

// Keyed by the lower-case provider name.
struct Registry {
  std::mutex mutex;
  std::map<std::string, Provider> providers{
      {"sqlite", {"SQLite", sqlite::open_backend}},
#ifdef NOXPLZ_HAVE_POSTGRESQL
      {"postgresql", {"PostgreSQL", postgres::open_backend}},
#endif
#ifdef NOXPLZ_HAVE_ODBC
      // The classic SQL Server providers, and ODBC itself, through a driver.
      {"sqloledb", {"SQLOLEDB", odbc::open_backend}},
      {"msoledbsql", {"MSOLEDBSQL", odbc::open_backend}},
      {"sqlncli11", {"SQLNCLI11", odbc::open_backend}},
      {"msdasql", {"MSDASQL", odbc::open_backend}},
      {"odbc", {"ODBC", odbc::open_backend}},
#endif
  };
};

// A libpq URI standing alone as the connection string.
bool is_postgresql_uri(std::string_view s) {
  s = s.substr(std::min(s.find_first_not_of(" \t"), s.size()));
  return s.substr(0, 13) == "postgresql://" || s.substr(0, 11) == "postgres://";
}

Registry& registry() {
  static Registry r;
  return r;
}

std::string known_providers(const Registry& r) {
  std::string list;
  for (const auto& [key, provider] : r.providers) {
    if (!list.empty()) list += ", ";
    list += provider.name;
  }
  return list;
}

}  // namespace

int32_t Recordset::FieldIndex(std::string_view name) const {
  const std::vector<std::string> names = FieldNames();
  for (size_t i = 0; i < names.size(); ++i)
    if (text::equals_ci(names[i], name)) return static_cast<int32_t>(i);
  throw unknown_field_error(name);
}

int32_t HeldRowsRecordset::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i)
    if (text::equals_ci(names_[i], name)) return static_cast<int32_t>(i);
  throw unknown_field_error(name);
}

void Recordset::TrimmedTextAt(int32_t index, std::string& out) const {
  Variant v = FieldAt(index);
  if (!v.text_if()) v = Variant(std::move(v).as_text());
  v.trim_blanks();
  out = std::move(v).as_text();
}

Variant Recordset::FieldAt(int32_t index) const {
  const std::vector<std::string> names = FieldNames();
  if (index < 0 || static_cast<size_t>(index) >= names.size())
    throw Error(err::kDbItemNotFound, "Die Datensatzgruppe hat kein Feld an der Stelle " + std::to_string(index) + ".");
  return Field(names[static_cast<size_t>(index)]);
}

namespace {

// What a statement that returns no rows hands back: a record set at its end.
class NoRowsRecordset final : public Recordset {
 public:
  bool Eof() const override { return true; }
  void MoveNext() override { throw no_current_record_error(); }
  Variant Field(std::string_view) const override { throw no_current_record_error(); }
  std::vector<std::string> FieldNames() const override { return {}; }
  void Close() override {}
};

}  // namespace

void register_db_provider(std::string name, DbProviderFactory factory) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  std::string key = lower_ascii(name);
  r.providers[key] = Provider{std::move(name), std::move(factory)};
}

std::map<std::string, std::string> parse_connection_string(std::string_view text) {
  std::map<std::string, std::string> properties;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    size_t key_end = i;
    while (key_end < n && text[key_end] != '=' && text[key_end] != ';') ++key_end;
    std::string key = lower_ascii(trim_blanks(text.substr(i, key_end - i)));
    if (key_end >= n || text[key_end] == ';') {
      if (!key.empty()) properties[key] = "";
      i = key_end + 1;
      continue;
    }

    // A value may be quoted ("…" or '…', the quote doubled inside) to hold a ';'.
    size_t v = key_end + 1;
    while (v < n && (text[v] == ' ' || text[v] == '\t')) ++v;
    std::string value;
    if (v < n && (text[v] == '"' || text[v] == '\'')) {
      const char quote = text[v++];
      while (v < n) {
        if (text[v] == quote) {
          if (v + 1 < n && text[v + 1] == quote) {
            value += quote;
            v += 2;
            continue;
          }
          ++v;
          break;
        }
        value += text[v++];
      }
      while (v < n && text[v] != ';') ++v;
    } else {
      size_t end = text.find(';', v);
      if (end == std::string_view::npos) end = n;
      value = trim_blanks(text.substr(v, end - v));
      v = end;
    }
    if (!key.empty()) properties[key] = std::move(value);
    i = v + 1;
  }
  return properties;
}

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(std::string_view connection_string, std::string_view user, std::string_view password,
                      int32_t /*options*/) {
  if (backend_) throw Error(kErrObjectOpen, "Der Vorgang ist für ein geöffnetes Objekt nicht zugelassen.");
  if (!connection_string.empty()) connection_string_ = std::string(connection_string);

  std::map<std::string, std::string> properties;
  if (is_postgresql_uri(connection_string_))
    properties = {{"provider", "PostgreSQL"}, {"uri", trim_blanks(connection_string_)}};
  else
    properties = parse_connection_string(connection_string_);
  if (!user.empty()) properties["user id"] = std::string(user);
  if (!password.empty()) properties["password"] = std::string(password);

  DbProviderFactory factory;
  std::string provider_name = properties.count("provider") ? properties["provider"] : std::string();
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (provider_name.empty())
      throw Error(err::kDbProviderNotFound, "Die Verbindungszeichenfolge nennt keinen Provider (Provider=...). "
                                            "Bekannt: " + known_providers(r) + ".");
    auto it = r.providers.find(lower_ascii(provider_name));
    if (it == r.providers.end())
      throw Error(err::kDbProviderNotFound, "Der Provider \"" + provider_name + "\" ist nicht bekannt. Bekannt: " +
                                                known_providers(r) + ".");
    factory = it->second.factory;
  }
  std::unique_ptr<DbBackend> backend = factory(properties);
  if (!backend)
    throw Error(err::kDbOpenFailed, "Der Provider \"" + provider_name + "\" hat keine Verbindung geöffnet.");
  backend_ = std::move(backend);
  static std::atomic<uint64_t> openings{0};
  opened_ = ++openings;
}

void Connection::Close() { backend_.reset(); }

std::optional<DataStamp> Connection::DataStamp() {
  if (!backend_) return std::nullopt;
  const std::optional<uint64_t> version = backend_->DataVersion();
  if (!version) return std::nullopt;
  return noxplz::DataStamp{opened_, *version};
}

DbBackend::LikeTest Connection::LikeMatcher(std::string_view pattern) {
  return backend_ ? backend_->LikeMatcher(pattern) : DbBackend::LikeTest{};
}

Connection::ReadScope::ReadScope(Connection& connection)
    : connection_(connection), opened_(connection.opened_) {
  if (!connection.backend_) return;
  const std::optional<uint64_t> version = connection.backend_->BeginRead();
  if (version) stamp_ = noxplz::DataStamp{connection.opened_, *version};
}

// Ends the read on the backend it began on; a connection closed (or opened
// again) meanwhile has ended it with its backend.
Connection::ReadScope::~ReadScope() {
  if (connection_.backend_ && connection_.opened_ == opened_) connection_.backend_->EndRead();
}

RecordsetPtr Connection::Execute(std::string_view sql, int32_t* records_affected, int32_t /*options*/) {
  if (!backend_)
    throw Error(err::kDbConnectionClosed, "Der Vorgang ist bei geschlossener Verbindung nicht zulässig.");
  int32_t affected = -1;
  RecordsetPtr result = backend_->Execute(sql, affected, command_timeout_);
  if (records_affected) *records_affected = affected;
  if (!result) result = std::make_shared<NoRowsRecordset>();
  return result;
}

RecordsetPtr Connection::ExecuteBound(std::string_view sql, std::span<const std::string_view> values) {
  if (!backend_)
    throw Error(err::kDbConnectionClosed, "Der Vorgang ist bei geschlossener Verbindung nicht zulässig.");
  // The ? outside quoted literals.
  std::vector<size_t> markers;
  bool quoted = false;
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] == '\'') quoted = !quoted;
    else if (sql[i] == '?' && !quoted) markers.push_back(i);
  }
  if (markers.size() != values.size())
    throw Error(5, "Ungültiger Prozeduraufruf oder ungültiges Argument: die Anweisung hat " +
                       std::to_string(markers.size()) + " Platzhalter, aber " + std::to_string(values.size()) +
                       " Werte.");
  if (RecordsetPtr result = backend_->ExecuteBound(sql, values, command_timeout_)) return result;
  // The values written in as literals.
  std::string text;
  text.reserve(sql.size() + 16 * values.size());
  size_t from = 0;
  for (size_t k = 0; k < markers.size(); ++k) {
    text.append(sql, from, markers[k] - from);
    text += '\'';
    text += sql_quote(values[k]);
    text += '\'';
    from = markers[k] + 1;
  }
  text.append(sql, from);
  return Execute(text);
}

ConnectionPtr open_connection(std::string_view connection_string) {
  auto connection = std::make_shared<Connection>();
  connection->Open(connection_string);
  return connection;
}

std::unique_ptr<ReplaceUnit> Connection::BeginReplace(std::span<const std::string_view> tables) {
  if (!backend_)
    throw Error(err::kDbConnectionClosed, "Der Vorgang ist bei geschlossener Verbindung nicht zulässig.");
  return backend_->BeginReplace(tables);
}

Error import_running_error() {
  return Error(kErrImportRunning, std::string(kImportRunningText) +
                                      ". Es kann immer nur ein Import zur Zeit laufen; warten Sie, bis er beendet "
                                      "ist, und starten Sie diesen dann erneut. Es wurde nichts verändert.");
}

RecordsetPtr Command::Execute(int32_t* records_affected) {
  if (!connection_) throw Error(err::kObjectNotSet, "Objektvariable oder With-Blockvariable nicht festgelegt");
  return connection_->Execute(command_text_, records_affected);
}

std::string sql_quote(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 4);
  for (size_t pos = 0;;) {
    size_t quote = value.find('\'', pos);
    if (quote == std::string_view::npos) {
      out.append(value, pos);
      return out;
    }
    out.append(value, pos, quote + 1 - pos);
    out += '\'';
    pos = quote + 1;
  }
}

}  // namespace noxplz
