// Many clients benchmark: client processes (default 8) look addresses up in
// a loop against a PostgreSQL database while this process imports the full
// delivery into it; the lookup latency before, during and after the import,
// and whether every client saw only old data before the commit and only new
// data after it, without an error. The load average goes with every figure.
//
//   clients_bench --connection VERBINDUNG [--clients N] [--part N] [--seconds S] [--dir VERZEICHNIS]
//
// The old and the new delivery are generated with different seeds (--part N:
// 1/N of the full delivery); the new one is first imported into a second
// schema to know the new answers. Both schemas are dropped at the end.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "bench_common.h"
#include "datafactory_gen.h"
#include "noxplz/db.h"
#include "noxplz/importer.h"
#include "noxplz/schema.h"
#include "testing/lookup_clients.h"

namespace {

using bench::Clock;
using bench::fresh_schema;
using bench::in_schema;
using bench::seconds_since;
using noxplz::testing::Phase;

std::string generate(const std::filesystem::path& dir, uint64_t seed, int part) {
  auto o = noxplz::datafactory::GenOptions::Full();
  o.seed = seed;
  for (int64_t* n : {&o.st, &o.pl, &o.pf, &o.ot, &o.orte, &o.ge, &o.kg, &o.oe}) *n = std::max<int64_t>(1, *n / part);
  const std::string path = (dir / ("lieferung" + std::to_string(seed) + ".dat")).string();
  noxplz::datafactory::generate_file(path, o);
  return path;
}

bool import(const std::string& file, const noxplz::ConnectionPtr& c) {
  noxplz::ImportOptions yes;
  yes.replace_existing = true;
  const noxplz::ImportResult r = noxplz::import_datafactory(file, c, yes);
  if (r.outcome != noxplz::ImportOutcome::kImported) {
    std::fprintf(stderr, "Import fehlgeschlagen: %s\n", noxplz::describe(r).c_str());
    for (const std::string& m : r.messages) std::fprintf(stderr, "  %s\n", m.c_str());
  }
  return r.outcome == noxplz::ImportOutcome::kImported;
}

}  // namespace

int main(int argc, char** argv) {
  std::string connection;
  int clients = 8, part = 1;
  double seconds = 20;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "noxplz-clients-bench";
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--connection" && i + 1 < argc) connection = argv[++i];
    else if (a == "--clients" && i + 1 < argc) clients = std::max(1, std::atoi(argv[++i]));
    else if (a == "--part" && i + 1 < argc) part = std::max(1, std::atoi(argv[++i]));
    else if (a == "--seconds" && i + 1 < argc) seconds = std::max(1.0, std::atof(argv[++i]));
    else if (a == "--dir" && i + 1 < argc) dir = argv[++i];
    else connection.clear(), i = argc;
  }
  if (connection.empty()) {
    std::fprintf(stderr, "Aufruf: clients_bench --connection VERBINDUNG [--clients N] [--part N] [--seconds S] "
                         "[--dir VERZEICHNIS]\n");
    return 2;
  }
  try {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string old_file = generate(dir, 1, part), new_file = generate(dir, 2, part);
    noxplz::ConnectionPtr admin = noxplz::open_connection(in_schema(connection, "public"));
    noxplz::ConnectionPtr served = fresh_schema(*admin, connection, "noxplz_bench_served");
    noxplz::ConnectionPtr reference = fresh_schema(*admin, connection, "noxplz_bench_reference");
    if (!import(old_file, served) || !import(new_file, reference)) return 1;
    const auto lookups = noxplz::testing::pick_lookups(*served, *reference, 40);
    std::printf("%d Clients, %zu Abfragen je Runde (Orte zu Postleitzahl, Orte zu Namensanfang, Straßen eines Orts "
                "nach Schlüssel und nach Name mit Ortsteilen), "
                "Datei 1/%d der vollen Lieferung\n",
                clients, lookups.size(), part);

    noxplz::testing::LookupClients pool(clients, in_schema(connection, "noxplz_bench_served"), lookups);
    double load[3][2], wall[3];
    auto phase = [&](Phase p, const auto& work) {
      pool.SetPhase(p);
      load[p][0] = bench::load_1min();
      const auto start = Clock::now();
      work();
      wall[p] = seconds_since(start);
      load[p][1] = bench::load_1min();
    };
    const auto pause = [&] { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); };
    bool imported = false;
    pool.WaitForRounds(noxplz::testing::kBefore, 1, 120);
    phase(noxplz::testing::kBefore, pause);
    phase(noxplz::testing::kDuring, [&] { imported = import(new_file, served); });
    phase(noxplz::testing::kAfter, pause);
    const auto reports = pool.Stop();
    const auto latency = pool.Latencies();

    const char* names[3] = {"vor dem Import", "während des Imports", "nach dem Commit"};
    for (int p = 0; p < 3; ++p)
      std::printf("%-20s %6.1f s, %8lld Abfragen = %7.0f/s, Latenz Median %.2f ms, 95 %% %.2f ms, 99 %% %.2f ms, "
                  "max %.1f ms, Last %.2f → %.2f\n",
                  names[p], wall[p], static_cast<long long>(latency[p].lookups), latency[p].lookups / wall[p],
                  latency[p].p50, latency[p].p95, latency[p].p99, latency[p].max, load[p][0], load[p][1]);
    bool sound = imported;
    for (size_t i = 0; i < reports.size(); ++i) {
      const auto& r = reports[i];
      const bool ok = r.errors == 0 && r.other_answers == 0 && r.old_after_new == 0 && r.new_answers[0] == 0 &&
                      r.old_answers[2] == 0 && r.lookups[1] > 0;
      sound = sound && ok;
      std::printf("Client %zu: %s; während des Imports %lld alte, %lld neue Antworten%s%s\n", i,
                  ok ? "nur alte Daten vor, nur neue nach dem Commit, kein Fehler" : "FEHLER",
                  static_cast<long long>(r.old_answers[1]), static_cast<long long>(r.new_answers[1]),
                  r.first_problem.empty() ? "" : "; ", r.first_problem.c_str());
    }
    admin->Execute("DROP SCHEMA noxplz_bench_served CASCADE");
    admin->Execute("DROP SCHEMA noxplz_bench_reference CASCADE");
    std::filesystem::remove_all(dir);
    return sound ? 0 : 1;
  } catch (const noxplz::Error& e) {
    std::fprintf(stderr, "%d / %s\n", e.number, e.description.c_str());
    return 1;
  }
}
