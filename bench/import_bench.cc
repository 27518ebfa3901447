// Import benchmark: generates a Datafactory Postalcode file (the full
// delivery by default), imports it with clsPlzImport::Saetze_Einlesen into a
// fresh SQLite database, and then loads the same rows into the same schema
// with the same collation the fastest way the plain SQLite C API allows: the
// hard floor. Prepared statements, one transaction, journal_mode=OFF, and the
// indexes created after the load. Both in the same run, wall and CPU time.
//
//   import_bench [--small] [--part N] [--file DATEI] [--dir VERZEICHNIS]
//
// --part N generates 1/N of the full delivery (memory must not grow with it).
#include <sqlite3.h>
#include <sys/resource.h>

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

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

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

// Answers the deletion question with Yes and reports every other message.
class BenchToolkit : public noxplz::Toolkit {
 public:
  int MsgBox(std::string_view prompt, int style, std::string_view) override {
    if ((style & 0xF) == noxplz::mb::kYesNo) return noxplz::mb::kYes;
    std::fprintf(stderr, "Meldung: %.*s\n", static_cast<int>(prompt.size()), prompt.data());
    ++messages;
    return noxplz::mb::kOk;
  }
  void ShowModal(noxplz::Form&) override {}
  void Hide(noxplz::Form& form) override { form.set_visible(false); }
  void DoEvents() override { ++events; }
  void SetMousePointer(int) override {}
  std::optional<noxplz::FileChoice> OpenFile(const noxplz::FileDialogRequest&) override { return std::nullopt; }
  void Repaint(noxplz::Control&) override {}
  long events = 0;
  long messages = 0;
};

int collate_ci(void*, int na, const void* a, int nb, const void* b) {
  return noxplz::sqlite::compare_ci(std::string_view(static_cast<const char*>(a), static_cast<size_t>(na)),
                                    std::string_view(static_cast<const char*>(b), static_cast<size_t>(nb)));
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
  check(sqlite3_create_collation(db, "NOXPLZ_CI", SQLITE_UTF8, nullptr, collate_ci), db, "collation");
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

}  // namespace

int main(int argc, char** argv) {
  bool small = false;
  int part = 1;
  std::string file;
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
    } else {
      std::fprintf(stderr, "Aufruf: import_bench [--small] [--part N] [--file DATEI] [--dir VERZEICHNIS]\n");
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
  const double peak_before = peak_mib();

  // --- the import as the component runs it ---
  const std::string db_path = (dir / "import.db").string();
  auto tk = std::make_shared<BenchToolkit>();
  noxplz::ScopedToolkit use(tk);
  long records = 0;
  bool green = false;
  double import_seconds = 0, import_cpu = 0;
  {
    noxplz::clsPlzManager manager;
    manager.Init(nullptr, "", noxplz::create_postal_database(db_path));
    noxplz::frmPlzImport frm;
    frm.raise_load();
    noxplz::clsPlzImport import;
    const double cpu_start = cpu_seconds();
    const auto start = Clock::now();
    import.Saetze_Einlesen(file, frm);
    import_seconds = seconds_since(start);
    import_cpu = cpu_seconds() - cpu_start;
    const auto& c = noxplz::session().counters;
    records = static_cast<long>(c.GE) + c.KG + c.OE + c.OR + c.OT + c.PF + c.PL + c.ST;
    green = frm.cmd_Importieren.Caption() == "&Beenden";
  }
  const double peak_import = peak_mib();
  std::printf("Import (Saetze_Einlesen): %ld Datensätze in %.2f s (CPU %.2f s) = %.0f Sätze/s, Prüfung %s, "
              "%ld Meldungen\n",
              records, import_seconds, import_cpu, static_cast<double>(records) / import_seconds,
              green ? "grün" : "NICHT grün", tk->messages);
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
