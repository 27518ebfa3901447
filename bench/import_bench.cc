// Import benchmark: generates a Datafactory Postalcode file (the full
// delivery by default), imports it with clsPlzImport::Saetze_Einlesen into a
// fresh SQLite database, and then loads the same rows into the same schema
// with the same collation the fastest way the plain SQLite C API allows: the
// hard floor. Prepared statements, one transaction, journal_mode=OFF, and the
// indexes created after the load. Both in the same run, wall and CPU time.
//
//   import_bench [--small] [--part N] [--file DATEI] [--dir VERZEICHNIS]
//                [--connection VERBINDUNG [--rounds N]]
//
// --part N generates 1/N of the full delivery (memory must not grow with it).
// --connection imports into that PostgreSQL database instead (in a schema of
// its own, dropped at the end), twice (into empty tables, then over the
// first import), and puts the server's own COPY of the same rows into the
// same schema beside it: the floor there; N rounds of the three (default 3)
// and their medians, since a shared machine's load moves. The load average
// goes with every figure.
#include <sqlite3.h>
#include <sys/resource.h>

#ifdef NOXPLZ_BENCH_POSTGRESQL
#include <libpq-fe.h>

#include <fstream>

#include "platform/db/postgres/pg_backend.h"
#include "platform/db/postgres/pg_replace_unit.h"
#endif

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "bench_common.h"
#include "datafactory_gen.h"
#include "dialogs/frm_plz_import.h"
#include "import/line_reader.h"
#include "import/record_layout.h"
#include "import/record_text.h"
#include "manager/session.h"
#include "noxplz/plz_import.h"
#include "noxplz/plz_manager.h"
#include "noxplz/schema.h"
#include "noxplz/ui.h"
#include "platform/db/sqlite/german_collation.h"

namespace {

using bench::BenchToolkit;
using bench::Clock;
using bench::fresh_schema;
using bench::in_schema;
using bench::seconds_since;

// User plus system CPU time of the process so far, in seconds.
double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double file_mib(const std::filesystem::path& p) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(p, ec);
  return ec ? 0.0 : static_cast<double>(n) / (1024.0 * 1024.0);
}

// Peak resident memory of the process so far, in MiB.
double peak_mib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The hard floor: the same rows into the same schema with the same
// collation, through one prepared statement per table, in one transaction,
// without a journal, the indexes made after the load.
long load_floor(const std::string& file, const std::string& db_path) {
  using namespace noxplz::import;
  sqlite3* db = nullptr;
  check(sqlite3_open(db_path.c_str(), &db), db, "open");
  check(sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA cache_size=-16384", nullptr, nullptr, nullptr), db,
        "pragma");
  check(bench::add_component_functions(db), db, "collation");
  check(sqlite3_exec(db, noxplz::sqlite_postal_schema(), nullptr, nullptr, nullptr), db, "schema");
  // The schema's indexes, set aside until the rows are in.
  std::vector<std::string> indexes;
  {
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL", -1,
                             &st, nullptr),
          db, "indexes");
    std::vector<std::string> names;
    while (sqlite3_step(st) == SQLITE_ROW) {
      names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      indexes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    }
    sqlite3_finalize(st);
    for (const std::string& name : names)
      check(sqlite3_exec(db, ("DROP INDEX " + name).c_str(), nullptr, nullptr, nullptr), db, "drop index");
  }

  std::array<sqlite3_stmt*, kRecordTypes> stmts{};
  const auto& layouts = record_layouts();
  for (int t = 0; t < kRecordTypes; ++t) {
    std::string sql = "INSERT INTO " + std::string(layouts[t].table) + " VALUES (";
    for (size_t i = 0; i < layouts[t].fields.size(); ++i) sql += i ? ",?" : "?";
    sql += ")";
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmts[t], nullptr), db, "prepare");
  }
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  LineReader reader(file);
  std::string line, value;
  long rows = 0;
  while (reader.next(line)) {
    const int t = record_type_of(line);
    if (t < 0) continue;
    const RecordLayout& l = layouts[t];
    if (line.size() < static_cast<size_t>(l.record_length) || line[l.record_length - 1] != '$') continue;
    size_t pos = 0;
    for (size_t i = 0; i < l.fields.size(); ++i) {
      const std::string_view field = std::string_view(line).substr(pos, static_cast<size_t>(l.fields[i].width));
      pos += static_cast<size_t>(l.fields[i].width);
      if (l.fields[i].bare_number) {
        sqlite3_bind_int(stmts[t], static_cast<int>(i + 1), to_whole_number(field));
      } else {
        value.clear();
        noxplz::append_converted(value, field);
        sqlite3_bind_text(stmts[t], static_cast<int>(i + 1), value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
      }
    }
    check(sqlite3_step(stmts[t]), db, "insert");
    sqlite3_reset(stmts[t]);
    ++rows;
  }
  for (const std::string& create : indexes)
    check(sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr), db, "create index");
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  for (sqlite3_stmt* s : stmts) sqlite3_finalize(s);
  sqlite3_close(db);
  return rows;
}

struct ImportRun {
  long records = 0;
  bool green = false;
  double seconds = 0, cpu = 0, load_before = 0, load_after = 0;
};

// One import with clsPlzImport::Saetze_Einlesen, as the dialog runs it.
ImportRun run_import(const std::string& file, const noxplz::ConnectionPtr& connection) {
  ImportRun run;
  noxplz::clsPlzManager manager;
  manager.Init(nullptr, "", connection);
  noxplz::frmPlzImport frm;
  frm.raise_load();
  noxplz::clsPlzImport import;
  run.load_before = bench::load_1min();
  const double cpu_start = cpu_seconds();
  const auto start = Clock::now();
  import.Saetze_Einlesen(file, frm);
  run.seconds = seconds_since(start);
  run.cpu = cpu_seconds() - cpu_start;
  run.load_after = bench::load_1min();
  const auto& c = noxplz::session().counters;
  run.records = static_cast<long>(c.GE) + c.KG + c.OE + c.OR + c.OT + c.PF + c.PL + c.ST;
  run.green = frm.cmd_Importieren.Caption() == "&Beenden";
  return run;
}

#ifdef NOXPLZ_BENCH_POSTGRESQL

void die(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::exit(1);
}

// The rows of `file` as COPY text, one file per table, made the way the
// import cuts and converts them (untimed: the floor is the server's COPY).
std::array<std::string, noxplz::import::kRecordTypes> write_copy_files(const std::string& file,
                                                                       const std::filesystem::path& dir, long& rows) {
  using namespace noxplz::import;
  std::array<std::string, kRecordTypes> paths;
  std::array<std::ofstream, kRecordTypes> out;
  for (int t = 0; t < kRecordTypes; ++t) {
    paths[t] = (dir / ("copy_" + std::string(record_layouts()[t].table) + ".txt")).string();
    out[t].open(paths[t], std::ios::binary);
  }
  LineReader reader(file);
  std::string line, text;
  std::vector<std::string> values;
  rows = 0;
  while (reader.next(line)) {
    const int t = record_type_of(line);
    if (t < 0 || !cut_values(record_layouts()[t], line, values)) continue;
    text.clear();
    for (size_t i = 0; i < values.size(); ++i) {
      if (i) text += '\t';
      noxplz::postgres::append_copy_value(text, values[i]);
    }
    text += '\n';
    out[t] << text;
    ++rows;
  }
  return paths;
}

// PostgreSQL's own COPY of the prepared rows into the schema, in one
// transaction, the bytes streamed from the files.
double copy_floor(const std::string& connection, const std::array<std::string, noxplz::import::kRecordTypes>& paths) {
  using namespace noxplz::import;
  std::vector<std::string> keys, values;
  for (auto& [k, v] : noxplz::postgres::libpq_parameters(noxplz::parse_connection_string(connection))) {
    keys.push_back(k);
    values.push_back(v);
  }
  std::vector<const char*> k, v;
  for (size_t i = 0; i < keys.size(); ++i) {
    k.push_back(keys[i].c_str());
    v.push_back(values[i].c_str());
  }
  k.push_back(nullptr);
  v.push_back(nullptr);
  PGconn* conn = PQconnectdbParams(k.data(), v.data(), 1);
  if (PQstatus(conn) != CONNECTION_OK) die(PQerrorMessage(conn));
  auto exec = [&](const std::string& sql, ExecStatusType expected) {
    PGresult* r = PQexec(conn, sql.c_str());
    if (PQresultStatus(r) != expected) die(sql + ": " + PQerrorMessage(conn));
    PQclear(r);
  };
  std::vector<char> buffer(1 << 20);
  const auto start = Clock::now();
  exec("BEGIN", PGRES_COMMAND_OK);
  for (int t = 0; t < kRecordTypes; ++t) {
    std::string cols;
    for (const Field& f : record_layouts()[t].fields) cols += (cols.empty() ? "" : ", ") + std::string(f.column);
    exec("COPY " + std::string(record_layouts()[t].table) + " (" + cols + ") FROM STDIN", PGRES_COPY_IN);
    std::ifstream in(paths[t], std::ios::binary);
    while (in) {
      in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      if (in.gcount() > 0 && PQputCopyData(conn, buffer.data(), static_cast<int>(in.gcount())) != 1)
        die(PQerrorMessage(conn));
    }
    if (PQputCopyEnd(conn, nullptr) != 1) die(PQerrorMessage(conn));
    while (PGresult* r = PQgetResult(conn)) {
      if (PQresultStatus(r) != PGRES_COMMAND_OK) die(PQerrorMessage(conn));
      PQclear(r);
    }
  }
  exec("COMMIT", PGRES_COMMAND_OK);
  const double seconds = seconds_since(start);
  PQfinish(conn);
  return seconds;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// `rounds` rounds of: the import into empty tables, the import over it, the
// floor; each figure with its load, then the medians.
int server_bench(const std::string& file, const std::filesystem::path& dir, const std::string& connection,
                 int rounds) {
  auto tk = std::make_shared<BenchToolkit>();
  noxplz::ScopedToolkit use(tk);
  noxplz::ConnectionPtr admin = noxplz::open_connection(in_schema(connection, "public"));
  const std::string import_schema = "noxplz_bench_import", floor_schema = "noxplz_bench_copy";
  long rows = 0;
  const auto paths = write_copy_files(file, dir, rows);
  std::vector<double> empty, over, floor;
  bool green = true;
  for (int round = 1; round <= rounds; ++round) {
    noxplz::ConnectionPtr target = fresh_schema(*admin, connection, import_schema);
    const ImportRun first = run_import(file, target);
    std::printf("Runde %d: Import in leere Tabellen (Saetze_Einlesen): %ld Datensätze in %.2f s (CPU des Programms "
                "%.2f s), Prüfung %s, %ld Meldungen, Last %.2f → %.2f\n",
                round, first.records, first.seconds, first.cpu, first.green ? "grün" : "NICHT grün", tk->messages.load(),
                first.load_before, first.load_after);
    const ImportRun second = run_import(file, target);
    std::printf("Runde %d: Import über den ersten (alte Zeilen löschen, neue laden): %.2f s (CPU %.2f s), Prüfung %s, "
                "Last %.2f → %.2f\n",
                round, second.seconds, second.cpu, second.green ? "grün" : "NICHT grün", second.load_before,
                second.load_after);
    fresh_schema(*admin, connection, floor_schema);
    const double load_before = bench::load_1min();
    const double floor_seconds = copy_floor(in_schema(connection, floor_schema), paths);
    std::printf("Runde %d: Untergrenze (COPY derselben %ld Zeilen in dasselbe Schema, eine Transaktion): %.2f s, "
                "Last %.2f → %.2f\n",
                round, rows, floor_seconds, load_before, bench::load_1min());
    empty.push_back(first.seconds);
    over.push_back(second.seconds);
    floor.push_back(floor_seconds);
    green = green && first.green && second.green;
    std::fflush(stdout);
  }
  std::printf("Spitzenspeicher des Programms: %.1f MiB\n", peak_mib());
  std::printf("Mediane über %d Runden: leere Tabellen %.2f s, über den ersten %.2f s, COPY %.2f s; import/COPY %.2f "
              "(leere Tabellen), %.2f (über den ersten Import)\n",
              rounds, median(empty), median(over), median(floor), median(empty) / median(floor),
              median(over) / median(floor));
  admin->Execute("DROP SCHEMA " + import_schema + " CASCADE");
  admin->Execute("DROP SCHEMA " + floor_schema + " CASCADE");
  std::filesystem::remove_all(dir);
  return green ? 0 : 1;
}

#endif

}  // namespace

int main(int argc, char** argv) {
  bool small = false;
  int part = 1, rounds = 3;
  std::string file, connection;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "noxplz-import-bench";
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--small") {
      small = true;
    } else if (a == "--part" && i + 1 < argc) {
      part = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--file" && i + 1 < argc) {
      file = argv[++i];
    } else if (a == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (a == "--connection" && i + 1 < argc) {
      connection = argv[++i];
    } else if (a == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "Aufruf: import_bench [--small] [--part N] [--file DATEI] [--dir VERZEICHNIS] "
                           "[--connection VERBINDUNG [--rounds N]]\n");
      return 2;
    }
  }
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  if (file.empty()) {
    file = (dir / "datafactory.dat").string();
    const auto start = Clock::now();
    auto options = small ? noxplz::datafactory::GenOptions{} : noxplz::datafactory::GenOptions::Full();
    if (part > 1) {
      for (int64_t* n : {&options.st, &options.pl, &options.pf, &options.ot, &options.orte, &options.ge, &options.kg,
                         &options.oe})
        *n = std::max<int64_t>(1, *n / part);
    }
    const auto s = noxplz::datafactory::generate_file(file, options);
    std::printf("Datei erzeugt: %s, %lld Zeilen, %.1f MB in %.2f s\n", file.c_str(),
                static_cast<long long>(s.lines), static_cast<double>(s.bytes) / 1e6, seconds_since(start));
  }
  if (!connection.empty()) {
#ifdef NOXPLZ_BENCH_POSTGRESQL
    return server_bench(file, dir, connection, rounds);
#else
    std::fprintf(stderr, "Dieses Programm ist ohne PostgreSQL gebaut.\n");
    return 2;
#endif
  }
  const double peak_before = peak_mib();

  // --- the import as the component runs it ---
  const std::string db_path = (dir / "import.db").string();
  auto tk = std::make_shared<BenchToolkit>();
  noxplz::ScopedToolkit use(tk);
  const ImportRun run = run_import(file, noxplz::create_postal_database(db_path));
  const long records = run.records;
  const bool green = run.green;
  const double import_seconds = run.seconds, import_cpu = run.cpu;
  const double peak_import = peak_mib();
  std::printf("Import (Saetze_Einlesen): %ld Datensätze in %.2f s (CPU %.2f s) = %.0f Sätze/s, Prüfung %s, "
              "%ld Meldungen\n",
              records, import_seconds, import_cpu, static_cast<double>(records) / import_seconds,
              green ? "grün" : "NICHT grün", tk->messages.load());
  std::printf("Spitzenspeicher: %.1f MiB (vor dem Import %.1f MiB)\n", peak_import, peak_before);
  std::printf("Datenbank nach dem Import: %.1f MiB, WAL %.1f MiB (Datei %.1f MiB)\n", file_mib(db_path),
              file_mib(db_path + "-wal"), file_mib(file));

  // --- the hard floor ---
  const double floor_cpu_start = cpu_seconds();
  const auto start = Clock::now();
  const long rows = load_floor(file, (dir / "floor.db").string());
  const double floor_seconds = seconds_since(start);
  const double floor_cpu = cpu_seconds() - floor_cpu_start;
  std::printf("Untergrenze (C-API, eine Transaktion, journal_mode=OFF, Indizes danach): %ld Zeilen in %.2f s "
              "(CPU %.2f s), Datenbank %.1f MiB\n",
              rows, floor_seconds, floor_cpu, file_mib(dir / "floor.db"));
  std::printf("CPU: import/floor %.2f (import %.2f s, floor %.2f s)\n", import_cpu / floor_cpu, import_cpu,
              floor_cpu);
  std::printf("import/floor: %.2f (import %.2f s, floor %.2f s, %ld records, peak RSS %.0f MiB)\n",
              import_seconds / floor_seconds, import_seconds, floor_seconds, records, peak_import);

  std::filesystem::remove_all(dir);
  return green ? 0 : 1;
}
