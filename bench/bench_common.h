// What the benchmarks share: the machine's load, a toolkit that answers
// without a person, the German collation for plain SQLite floors, and
// PostgreSQL schemas of their own.
#pragma once

#include <sched.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/schema.h"
#include "noxplz/ui.h"
#include "platform/db/sqlite/german_collation.h"
#include "platform/text.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The load averages of the last one, five and fifteen minutes.
inline std::string load_average() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// The load average of the last minute.
inline double load_1min() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

// The CPUs this process may run on, each with the speed of a fixed loop
// relative to the fastest (best of three): the CPUs of a virtual machine need
// not be alike, and a figure means little without knowing which one ran it.
struct CpuSpeed {
  int cpu;
  double relative;
};
// The CPUs the process was started on (taken on the first call, before any
// pinning), so timing them again after run_on() still sees them all.
inline const cpu_set_t* started_on() {
  static const std::optional<cpu_set_t> cpus = [] {
    cpu_set_t set;
    CPU_ZERO(&set);
    return sched_getaffinity(0, sizeof set, &set) == 0 ? std::optional<cpu_set_t>(set) : std::nullopt;
  }();
  return cpus ? &*cpus : nullptr;
}
inline std::vector<CpuSpeed> cpu_speeds() {
  std::vector<CpuSpeed> speeds;
  if (!started_on()) return speeds;
  const cpu_set_t allowed = *started_on();
  std::vector<double> seconds;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &allowed)) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) continue;
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
      const auto start = Clock::now();
      volatile unsigned long sum = 0;
      for (unsigned long i = 0; i < 100'000'000UL; ++i) sum = sum + i;
      best = std::min(best, seconds_since(start));
    }
    speeds.push_back({cpu, best});
  }
  sched_setaffinity(0, sizeof allowed, &allowed);
  double fastest = 1e9;
  for (const CpuSpeed& s : speeds) fastest = std::min(fastest, s.relative);
  for (CpuSpeed& s : speeds) s.relative = fastest / s.relative;
  return speeds;
}

// Keeps the calling thread on `cpu`.
inline void run_on(int cpu) {
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  sched_setaffinity(0, sizeof one, &one);
}

// Answers questions with Yes (the deletion question of the import) and counts
// every other message, which it prints: a run that reports an error spoils
// the figures.
class BenchToolkit : public noxplz::Toolkit {
 public:
  int MsgBox(std::string_view prompt, int style, std::string_view) override {
    if ((style & 0xF) == noxplz::mb::kYesNo) {
      ++questions;
      return noxplz::mb::kYes;
    }
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
  std::atomic<long> events = 0;
  std::atomic<long> messages = 0;
  std::atomic<long> questions = 0;
};

// The component's collation for a plain SQLite connection (the floors).
inline int collate_ci(void*, int na, const void* a, int nb, const void* b) {
  return noxplz::sqlite::compare_ci(std::string_view(static_cast<const char*>(a), static_cast<size_t>(na)),
                                    std::string_view(static_cast<const char*>(b), static_cast<size_t>(nb)));
}

// Stops the bench when a floor's statement fails: a floor that reads nothing
// would look fast.
inline void require(int rc, int expected, sqlite3* db, const char* what) {
  if (rc == expected) return;
  std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

// The component's street key (noxplz_street_key, which the schema indexes)
// for a plain SQLite connection.
inline void street_key_sql(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const unsigned char* text = sqlite3_value_text(argv[0]);
  if (!text) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string key = noxplz::text::street_key(
      std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_value_bytes(argv[0]))));
  sqlite3_result_text(ctx, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
}

// What a plain SQLite connection needs to read and write the postal tables
// as the component made them: its collation and its street key.
inline int add_component_functions(sqlite3* db) {
  int rc = sqlite3_create_collation(db, "NOXPLZ_CI", SQLITE_UTF8, nullptr, collate_ci);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_function(db, "noxplz_street_key", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                 nullptr, street_key_sql, nullptr, nullptr);
  return rc;
}

// A plain connection for the floors. Read-write although they only read: a
// read-only connection cannot open a database in WAL mode whose shared-memory
// file is gone (it would fail on every statement).
inline sqlite3* open_plain(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "Datenbank %s: %s\n", path.c_str(), sqlite3_errmsg(db));
    std::exit(1);
  }
  sqlite3_busy_timeout(db, 10000);
  require(add_component_functions(db), SQLITE_OK, db, "Kollation und Funktionen");
  return db;
}


inline std::string column_text(sqlite3_stmt* st, int i) {
  const auto* t = sqlite3_column_text(st, i);
  return t ? noxplz::text::trim(reinterpret_cast<const char*>(t)) : std::string();
}

// The floor of an address check on plain SQLite: per address one prepared
// statement (the sections of that street in the places of that name, under
// the component's collation), then the postal code of the first section
// whose range holds the number. It knows no corrections, spellings,
// candidates or districts: no check that asks the database once per
// address can be cheaper.
class FloorCheck {
 public:
  explicit FloorCheck(const std::string& db_path) : db_(open_plain(db_path)) {
    require(sqlite3_prepare_v2(db_,
                               "SELECT s.PLZ, s.HNRVON, s.HNRBIS FROM ORT_DA o JOIN STR_DA s ON s.ALORT = o.ALORT "
                               "WHERE o.ONAME = ?1 AND s.NAME46 = ?2 AND s.ALORT = s.ALORT",
                               -1, &st_, nullptr),
            SQLITE_OK, db_, "Grundlinie");
  }
  ~FloorCheck() {
    sqlite3_finalize(st_);
    sqlite3_close(db_);
  }
  FloorCheck(const FloorCheck&) = delete;
  FloorCheck& operator=(const FloorCheck&) = delete;

  // The postal code found, "" when no section holds the number.
  std::string code(const std::string& ort, const std::string& strasse, long number) {
    sqlite3_bind_text(st_, 1, ort.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(st_, 2, strasse.c_str(), -1, SQLITE_STATIC);
    std::string found;
    int rc;
    while ((rc = sqlite3_step(st_)) == SQLITE_ROW) {
      if (!found.empty()) continue;
      const std::string von = column_text(st_, 1), bis = column_text(st_, 2);
      if (von.empty() || (number >= std::atol(von.c_str()) && number <= std::atol(bis.c_str())))
        found = column_text(st_, 0);
    }
    require(rc, SQLITE_DONE, db_, "Grundlinie");
    sqlite3_reset(st_);
    return found;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* st_ = nullptr;
};

// The connection string with the postal tables in `schema`.
inline std::string in_schema(const std::string& connection, const std::string& schema) {
  const bool uri = connection.rfind("postgres", 0) == 0 && connection.find("://") != std::string::npos;
  return (uri ? "Provider=PostgreSQL;Uri=" + connection : connection) + ";Search Path=" + schema;
}

// A fresh schema holding the nine postal tables and their indexes.
inline noxplz::ConnectionPtr fresh_schema(noxplz::Connection& admin, const std::string& connection,
                                          const std::string& schema) {
  admin.Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
  admin.Execute("CREATE SCHEMA " + schema);
  noxplz::ConnectionPtr c = noxplz::open_connection(in_schema(connection, schema));
  noxplz::create_postal_tables(*c);
  return c;
}

}  // namespace bench
