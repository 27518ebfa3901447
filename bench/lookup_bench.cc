// Lookup benchmark: the search dialog, the lookups and the address checks on
// a full-size postal database (the generator's full delivery, imported with
// clsPlzImport::Saetze_Einlesen).
//
//   lookup_bench [--db DATEI] [--json] [--runs N] [--nur SZENARIO]
//
// Without --db the database is build/bench/full.db beside the program; it is
// generated and imported on the first run and reused afterwards. Every
// scenario runs at least --runs times (default 1000):
//
//  - keystrokes: the frmPlz model driven through its handlers as a typing
//    user drives it (KeyPress, then the character lands and Change runs),
//    letter by letter, over many different place and street names;
//  - clicks: choosing a place in the place list (lst_Orte_Click), as the
//    first click since the data changed and as a click on a place whose
//    streets the session listed before;
//  - Ermittle_Orte / Fill_OrtCombo with a one-letter prefix;
//  - the place of a postal code (Ermittle_OrteZuPlz);
//  - address checks: Suche_Plz through the built-in search provider on a mix
//    of addresses drawn per street section, on one thread and on two threads
//    with a session (and connection) each; three rounds, their median
//    reported (every round as `checks_rounds`).
//
// Each figure is printed with the machine's load average at that moment.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <sqlite3.h>

#include "bench_common.h"
#include "datafactory_gen.h"
#include "dialogs/frm_plz.h"
#include "dialogs/frm_plz_import.h"
#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/plz_import.h"
#include "noxplz/plz_manager.h"
#include "noxplz/schema.h"
#include "noxplz/ui.h"
#include "platform/text.h"

namespace {

using bench::BenchToolkit;
using bench::Clock;
using bench::load_average;
using noxplz::session;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
  std::vector<double> ms;
  double percentile(double q) const {
    if (ms.empty()) return 0;
    std::vector<double> s = ms;
    std::sort(s.begin(), s.end());
    size_t k = static_cast<size_t>(q * static_cast<double>(s.size()));
    if (k >= s.size()) k = s.size() - 1;
    return s[k];
  }
  double max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

struct Figure {
  std::string key;
  double value;
};
std::vector<Figure> g_figures;
// Texts for the JSON object beside the figures (key, value).
std::vector<std::pair<std::string, std::string>> g_notes;
bool g_json = false;
std::string g_only;  // --nur: only the scenarios whose key starts with it

bool wanted(std::string_view key) { return g_only.empty() || key.starts_with(g_only); }

void report(const std::string& key, const std::string& what, const Stats& s) {
  const std::string load = load_average();
  if (!g_json)
    std::printf("%-52s n=%5zu  p50 %8.3f ms  p99 %8.3f ms  max %8.3f ms  (Last %s)\n", what.c_str(), s.ms.size(),
                s.percentile(0.5), s.percentile(0.99), s.max(), load.c_str());
  g_figures.push_back({key + "_p99_ms", s.percentile(0.99)});
  g_figures.push_back({key + "_p50_ms", s.percentile(0.5)});
  std::fflush(stdout);
}

void report_rate(const std::string& key, const std::string& what, double per_second, long n) {
  const std::string load = load_average();
  if (!g_json)
    std::printf("%-52s n=%5ld  %10.0f Prüfungen/s  (Last %s)\n", what.c_str(), n, per_second, load.c_str());
  g_figures.push_back({key, per_second});
  std::fflush(stdout);
}

std::vector<std::string> code_points(std::string_view s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    size_t n = 1;
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0xF0) n = 4;
    else if (c >= 0xE0) n = 3;
    else if (c >= 0xC0) n = 2;
    out.emplace_back(s.substr(i, n));
    i += n;
  }
  return out;
}

// --- the database ---------------------------------------------------------

void create_database(const std::filesystem::path& db_path) {
  namespace fs = std::filesystem;
  const fs::path dir = db_path.parent_path().empty() ? fs::path(".") : db_path.parent_path();
  fs::create_directories(dir);
  const std::string data = (dir / "lookup_bench_full.dat").string();
  const std::string partial = db_path.string() + ".partial";
  fs::remove(partial);
  std::fprintf(stderr, "Erzeuge die volle Lieferung (datafactory-gen --full) ...\n");
  noxplz::datafactory::generate_file(data, noxplz::datafactory::GenOptions::Full());
  std::fprintf(stderr, "Importiere sie nach %s ...\n", db_path.string().c_str());
  const auto start = Clock::now();
  bool green = false;
  {
    noxplz::clsPlzManager manager;
    manager.Init(nullptr, "", noxplz::create_postal_database(partial));
    noxplz::frmPlzImport frm;
    frm.raise_load();
    noxplz::clsPlzImport import;
    import.Saetze_Einlesen(data, frm);
    green = frm.cmd_Importieren.Caption() == "&Beenden";
  }
  fs::remove(data);
  if (!green) {
    std::fprintf(stderr, "Der Import wurde nicht vollständig geprüft; Abbruch.\n");
    std::exit(1);
  }
  // Rename only a complete database, with its WAL folded in.
  {
    noxplz::ConnectionPtr c = noxplz::open_connection(noxplz::sqlite_connection_string(partial));
    c->Execute("PRAGMA wal_checkpoint(TRUNCATE)");
  }
  fs::rename(partial, db_path);
  fs::remove(partial + "-wal");
  fs::remove(partial + "-shm");
  fs::remove(partial + "-importlock");
  std::fprintf(stderr, "Datenbank fertig in %.1f s.\n", ms_since(start) / 1000.0);
}

noxplz::ConnectionPtr open_db(const std::string& path) {
  return noxplz::open_connection(noxplz::sqlite_connection_string(path));
}

std::vector<std::vector<std::string>> query(const noxplz::ConnectionPtr& c, const std::string& sql, size_t cols) {
  std::vector<std::vector<std::string>> rows;
  noxplz::RecordsetPtr rs = c->Execute(sql);
  const std::vector<std::string> names = rs->FieldNames();
  for (; !rs->Eof(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (size_t i = 0; i < cols; ++i) row.push_back(noxplz::text::trim(rs->Field(names[i]).as_text()));
    rows.push_back(std::move(row));
  }
  rs->Close();
  return rows;
}

struct Place {
  std::string alort, name;
  long sections = 0;
};

// --- scenarios ---------------------------------------------------------------

// A fresh dialog model on the thread's session (not loaded: its own manager
// would end the session when it unloads).
std::unique_ptr<noxplz::frmPlz> new_dialog() {
  session().OrtTabelle = std::make_shared<noxplz::VariantTable>();
  session().StrTabelle = std::make_shared<noxplz::VariantTable>();
  return std::make_unique<noxplz::frmPlz>();
}

Stats type_places(const std::vector<std::string>& names, size_t min_keys) {
  auto frm = new_dialog();
  Stats s;
  for (size_t i = 0; s.ms.size() < min_keys; ++i) {
    frm->txt_Ort.Text("");
    for (const std::string& cp : code_points(names[i % names.size()])) {
      const auto t = Clock::now();
      frm->txt_Ort.TypeKey(cp);
      s.ms.push_back(ms_since(t));
    }
  }
  return s;
}

// The row of `alort` in the place list after typing the place's name.
int32_t select_place_row(noxplz::frmPlz& frm, const Place& p) {
  frm.txt_Ort.Text(p.name);
  const noxplz::VariantTable& orte = *session().OrtTabelle;
  for (int32_t r = 0; r < orte.UpperBound(1); ++r)
    if (noxplz::text::trim(orte.Text(r, 2)) == p.alort) return r;
  std::fprintf(stderr, "Ort %s (%s) nicht in der Liste\n", p.name.c_str(), p.alort.c_str());
  std::exit(1);
}

// `again`: the session has listed the place's streets before and keeps them
// (the user comes back to a place); otherwise every click is the first one
// since the data changed.
Stats click_place(const Place& p, size_t runs, bool again = false) {
  auto frm = new_dialog();
  const int32_t row = select_place_row(*frm, p);
  Stats s;
  for (size_t i = 0; i < runs; ++i) {
    // The place typed anew (the street list is emptied, so nothing the
    // dialog kept of the last click is used).
    frm->txt_Ort.Text("");
    frm->txt_Ort.Text(p.name);
    if (!again) session().kept_lists.reset();
    const auto t = Clock::now();
    frm->lst_Orte.ListIndex(row);
    s.ms.push_back(ms_since(t));
  }
  if (frm->txt_Ort.Tag() != p.alort) {
    std::fprintf(stderr, "Klick auf %s hat den Ort nicht gewählt\n", p.name.c_str());
    std::exit(1);
  }
  return s;
}

Stats type_streets(const Place& p, const std::vector<std::string>& streets, size_t min_keys) {
  auto frm = new_dialog();
  frm->lst_Orte.ListIndex(select_place_row(*frm, p));
  Stats s;
  for (size_t i = 0; s.ms.size() < min_keys; ++i) {
    frm->txt_Strasse.Text("");
    for (const std::string& cp : code_points(streets[i % streets.size()])) {
      const auto t = Clock::now();
      frm->txt_Strasse.TypeKey(cp);
      s.ms.push_back(ms_since(t));
    }
  }
  return s;
}

void orte_prefix1(size_t runs, Stats& ermittle, Stats& fill, Stats& both) {
  static const char* kLetters[] = {"A", "B", "D", "E", "F", "G", "H", "K", "L", "M", "N", "O",
                                   "R", "S", "T", "U", "W", "Z", "Ö", "Ü", "ü", "b", "s", "h"};
  auto frm = new_dialog();
  noxplz::VariantTable t;
  for (size_t i = 0; i < runs; ++i) {
    const std::string letter = kLetters[i % std::size(kLetters)];
    auto t0 = Clock::now();
    noxplz::Ermittle_Orte(letter, t);
    ermittle.ms.push_back(ms_since(t0));
    auto t1 = Clock::now();
    noxplz::Fill_OrtCombo(frm->lst_Orte, letter);
    fill.ms.push_back(ms_since(t1));
    both.ms.push_back(ermittle.ms.back());
    both.ms.push_back(fill.ms.back());
  }
}

Stats ort_of_plz(const std::vector<std::string>& codes, size_t runs) {
  noxplz::VariantTable t;
  Stats s;
  for (size_t i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    noxplz::Ermittle_OrteZuPlz(codes[i % codes.size()], t);
    s.ms.push_back(ms_since(t0));
    if (t.UpperBound(1) < 1) {
      std::fprintf(stderr, "Kein Ort zur Plz %s\n", codes[i % codes.size()].c_str());
      std::exit(1);
    }
  }
  return s;
}

struct Address {
  std::string plz, ort, strasse, hausnummer;
};

// When a worker's checks began and ended.
struct Span {
  Clock::time_point begin, end;
};

// Runs checks on this thread with its own connection (and session), taking
// the next address of the list from `next` until `end`, as the workers of a
// list check would; returns how many were verified. `span` is the time of the
// checks alone: opening the connection and dropping the session are not in
// it, for one thread as for two.
long run_checks(const std::string& db, const std::vector<Address>& mix, std::atomic<size_t>& next, size_t end,
                std::shared_ptr<BenchToolkit> tk, Span& span) {
  noxplz::ScopedToolkit use(tk);
  noxplz::clsPlzManager manager;
  manager.Init(nullptr, noxplz::sqlite_connection_string(db));
  long verified = 0;
  span.begin = Clock::now();
  for (size_t i; (i = next++) < end;) {
    const Address& a = mix[i % mix.size()];
    manager.Suche_Plz(a.plz, a.ort, a.strasse, a.hausnummer);
    if (manager.Geprueft() == -1) ++verified;
  }
  span.end = Clock::now();
  return verified;
}

// The floor (bench::FloorCheck) over the same list; returns how many codes
// it found.
long floor_checks(const std::string& db_path, const std::vector<Address>& mix, std::atomic<size_t>& next,
                  size_t end, Span& span) {
  bench::FloorCheck floor(db_path);
  long found_codes = 0;
  span.begin = Clock::now();
  for (size_t i; (i = next++) < end;) {
    const Address& a = mix[i % mix.size()];
    if (!floor.code(a.ort, a.strasse, std::atol(a.hausnummer.c_str())).empty()) ++found_codes;
  }
  span.end = Clock::now();
  return found_codes;
}

// Checks per second of `work` on one thread (on the fastest CPU, where the
// bench runs) and on two threads sharing one list twice as long, one per
// CPU: a slower CPU checks fewer addresses instead of holding the other up.
// Each thread's time is that of its checks alone.
template <class Work>
std::pair<double, double> check_rates(size_t n, const std::vector<bench::CpuSpeed>& cpus, Work&& work) {
  std::atomic<size_t> next = 0;
  Span one;
  work(next, n, one);
  const double rate1 = static_cast<double>(n) / std::chrono::duration<double>(one.end - one.begin).count();
  next = 0;
  Span a, b;
  std::thread ta([&] {
    if (cpus.size() > 1) bench::run_on(cpus[0].cpu);
    work(next, 2 * n, a);
  });
  std::thread tb([&] {
    if (cpus.size() > 1) bench::run_on(cpus[1].cpu);
    work(next, 2 * n, b);
  });
  ta.join();
  tb.join();
  const double seconds = std::chrono::duration<double>(std::max(a.end, b.end) - std::min(a.begin, b.begin)).count();
  if (cpus.size() > 1) bench::run_on(cpus[0].cpu);
  return {rate1, static_cast<double>(2 * n) / seconds};
}

// The CPUs of a shared machine run slower for seconds at a time, longer than
// one round of checks takes. So check_rates runs in kRounds rounds, each with
// new sessions (nothing kept from the round before); a figure is the median
// of the rounds, and the speedup the median of each round's own ratio (its
// one and two threads ran close together). Every round is reported too.
constexpr int kRounds = 3;

struct Rates {
  double one = 0, two = 0, speedup = 0;
  std::string rounds;  // "one / two (speedup)" per round
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class Work>
Rates median_rates(size_t n, const std::vector<bench::CpuSpeed>& cpus, Work&& work) {
  std::vector<double> ones, twos, ratios;
  Rates r;
  for (int i = 0; i < kRounds; ++i) {
    auto [one, two] = check_rates(n, cpus, work);
    ones.push_back(one);
    twos.push_back(two);
    ratios.push_back(two / one);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s%.0f / %.0f (%.2f)", r.rounds.empty() ? "" : "; ", one, two, two / one);
    r.rounds += buf;
  }
  r.one = median(ones);
  r.two = median(twos);
  r.speedup = median(ratios);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  fs::path db = fs::path(argv[0]).parent_path() / "full.db";
  size_t runs = 1000;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--db" && i + 1 < argc) {
      db = argv[++i];
    } else if (a == "--json") {
      g_json = true;
    } else if (a == "--runs" && i + 1 < argc) {
      runs = static_cast<size_t>(std::stoul(argv[++i]));
    } else if (a == "--nur" && i + 1 < argc) {
      g_only = argv[++i];
    } else {
      std::fprintf(stderr, "Aufruf: lookup_bench [--db DATEI] [--json] [--runs N] [--nur SZENARIO]\n");
      return 2;
    }
  }
  auto tk = std::make_shared<BenchToolkit>();
  noxplz::ScopedToolkit use(tk);
  if (!fs::exists(db)) create_database(db);
  else noxplz::create_postal_database(db.string());  // an older file gets the current schema's indexes

  // The CPUs, fastest first; the single-thread scenarios run on the fastest,
  // so figures of different runs are comparable. Which CPU is the faster one
  // changes now and then on this machine: they are timed again before the
  // checks.
  std::vector<bench::CpuSpeed> cpus;
  std::string cpu_text;
  auto time_cpus = [&] {
    cpus = bench::cpu_speeds();
    std::stable_sort(cpus.begin(), cpus.end(),
                     [](const bench::CpuSpeed& a, const bench::CpuSpeed& b) { return a.relative > b.relative; });
    cpu_text.clear();
    for (const bench::CpuSpeed& c : cpus) {
      char buf[48];
      std::snprintf(buf, sizeof buf, "%sCPU %d: %.2f", cpu_text.empty() ? "" : ", ", c.cpu, c.relative);
      cpu_text += buf;
    }
    if (!cpus.empty()) bench::run_on(cpus[0].cpu);
  };
  time_cpus();
  if (!g_json) std::printf("Rechenleistung je CPU (schnellste = 1): %s\n", cpu_text.c_str());

  const std::string path = db.string();
  session() = noxplz::Session{};
  session().connection = open_db(path);
  const noxplz::ConnectionPtr& c = session().connection;

  // The material: current places, their street sections, postal codes.
  std::vector<Place> places;
  {
    std::map<std::string, long> sections;
    for (auto& r : query(c, "SELECT ALORT, COUNT(*) AS n FROM STR_DA GROUP BY ALORT", 2))
      sections[r[0]] = std::stol(r[1]);
    for (auto& r : query(c, "SELECT ALORT, ONAME, ALORT_NEU FROM ORT_DA", 3)) {
      if (!r[2].empty()) continue;
      places.push_back({r[0], r[1], sections.count(r[0]) ? sections[r[0]] : 0});
    }
  }
  std::mt19937_64 rng(14);
  std::shuffle(places.begin(), places.end(), rng);
  auto by_size = places;
  std::sort(by_size.begin(), by_size.end(), [](const Place& a, const Place& b) { return a.sections > b.sections; });
  const Place largest = by_size.front();
  Place berlin = by_size.front();
  for (const Place& p : by_size)
    if (std::abs(p.sections - 9500) < std::abs(berlin.sections - 9500)) berlin = p;
  auto streets_of = [&](const Place& p) {
    std::vector<std::string> names;
    for (auto& r : query(c, "SELECT DISTINCT Name46 FROM STR_DA WHERE ALORT = '" + noxplz::sql_quote(p.alort) + "'", 1))
      if (!r[0].empty()) names.push_back(r[0]);
    std::shuffle(names.begin(), names.end(), rng);
    return names;
  };
  std::vector<std::string> place_names;
  for (const Place& p : places) place_names.push_back(p.name);
  std::vector<std::string> codes;
  for (auto& r : query(c, "SELECT DISTINCT PLZ FROM PLZ_DA", 1)) codes.push_back(r[0]);
  std::shuffle(codes.begin(), codes.end(), rng);

  if (!g_json)
    std::printf("Datenbank %s: %zu aktuelle Orte; größter Ort %s (%ld Abschnitte), Ort in Berliner Größe %s (%ld)\n",
                path.c_str(), places.size(), largest.name.c_str(), largest.sections, berlin.name.c_str(),
                berlin.sections);
  // The import packs each place's streets; a database imported before the
  // packs existed reads them row by row, and the clicks show it.
  long packs = 0;
  try {
    packs = std::stol(query(c, "SELECT COUNT(*) FROM STR_DA_PACK", 1).at(0).at(0));
  } catch (const std::exception&) {
    packs = 0;
  }
  g_figures.push_back({"street_pack_places", static_cast<double>(packs)});
  if (packs == 0)
    std::fprintf(stderr, "Hinweis: Die Datenbank hat keine Straßenpakete (vor ihnen importiert); die Straßen eines "
                         "Orts werden Zeile für Zeile gelesen. Für die aktuellen Zahlen die Datei löschen, die Bank "
                         "legt sie neu an.\n");
  else if (!g_json)
    std::printf("Straßenpakete: %ld Orte\n", packs);

  if (wanted("place_keystroke")) report("place_keystroke", "Tastendruck Ortsname", type_places(place_names, runs));
  if (wanted("street_keystroke_berlin")) report("street_keystroke_berlin", "Tastendruck Straße, Ort in Berliner Größe",
         type_streets(berlin, streets_of(berlin), runs));
  if (wanted("street_keystroke_largest")) report("street_keystroke_largest", "Tastendruck Straße, größter Ort", type_streets(largest, streets_of(largest), runs));
  if (wanted("place_click_berlin")) report("place_click_berlin", "Klick auf den Ort in Berliner Größe", click_place(berlin, runs));
  if (wanted("place_click_largest")) report("place_click_largest", "Klick auf den größten Ort", click_place(largest, runs));
  if (wanted("place_click_again_berlin"))
    report("place_click_again_berlin", "Erneuter Klick, Ort in Berliner Größe", click_place(berlin, runs, true));
  if (wanted("place_click_again_largest"))
    report("place_click_again_largest", "Erneuter Klick, größter Ort", click_place(largest, runs, true));
  if (wanted("orte_prefix1")) {
    Stats ermittle, fill, both;
    orte_prefix1(runs, ermittle, fill, both);
    report("orte_prefix1", "Ermittle_Orte / Fill_OrtCombo, ein Buchstabe", both);
    report("ermittle_orte_prefix1", "  davon Ermittle_Orte", ermittle);
    report("fill_ortcombo_prefix1", "  davon Fill_OrtCombo", fill);
  }
  if (wanted("ort_of_plz")) report("ort_of_plz", "Orte zur Plz (Ermittle_OrteZuPlz)", ort_of_plz(codes, std::max<size_t>(runs, 10000)));

  // Address checks: one street section drawn at random per address, so a
  // place weighs with its number of sections.
  std::vector<Address> mix;
  if (wanted("checks")) {
    std::map<std::string, std::string> name_of;
    for (const Place& p : places) name_of[p.alort] = p.name;
    auto sections = query(c, "SELECT ALORT, Name46, PLZ, HNRVON, HNRBIS, HNR_TYP FROM STR_DA", 6);
    std::uniform_int_distribution<size_t> pick(0, sections.size() - 1);
    while (mix.size() < 20000) {
      const auto& s = sections[pick(rng)];
      auto it = name_of.find(s[0]);
      if (it == name_of.end() || s[1].empty()) continue;
      std::string hnr = s[3].empty() ? "1" : std::to_string(std::max(1L, std::atol(s[3].c_str())));
      // Half of the checks know the postal code, half only the place.
      mix.push_back({mix.size() % 2 ? s[2] : std::string(), it->second, s[1], hnr});
    }
  }
  session() = noxplz::Session{};
  if (wanted("checks")) {
    const std::string cpus_before = cpu_text;
    time_cpus();
    g_notes.push_back({"cpu_relative_speeds_before_checks", cpu_text});
    cpu_text = cpus_before;
    if (!g_json) std::printf("Rechenleistung je CPU vor den Prüfungen: %s\n", g_notes.back().second.c_str());
    // As many checks as the mix holds addresses: each drawn once, as a list
    // of that length would be checked.
    const size_t n = std::max(runs, mix.size());
    long verified = 0;
    const Rates checks = median_rates(n, cpus, [&](std::atomic<size_t>& next, size_t end, Span& span) {
      const long v = run_checks(path, mix, next, end, tk, span);
      if (end == n) verified = v;
    });
    const double one = checks.one, two = checks.two;
    report_rate("checks_per_s_1_thread", "Suche_Plz (eingebauter Anbieter), 1 Thread", one, static_cast<long>(n));
    g_figures.push_back({"checks_verified_share", static_cast<double>(verified) / static_cast<double>(n)});
    report_rate("checks_per_s_2_threads", "Suche_Plz, 2 Threads mit je eigener Sitzung", two, static_cast<long>(2 * n));
    g_figures.push_back({"checks_2_threads_speedup", checks.speedup});
    g_notes.push_back({"checks_rounds", checks.rounds});
    if (!g_json) std::printf("Runden (1 Thread / 2 Threads): %s\n", checks.rounds.c_str());
    long floor_found = 0;
    const Rates floor = median_rates(n, cpus, [&](std::atomic<size_t>& next, size_t end, Span& span) {
      const long f = floor_checks(path, mix, next, end, span);
      if (end == n) floor_found = f;
    });
    const double floor1 = floor.one, floor2 = floor.two;
    g_notes.push_back({"floor_rounds", floor.rounds});
    report_rate("floor_checks_per_s_1_thread", "Grundlinie: eine SQLite-Abfrage je Adresse, 1 Thread", floor1,
                static_cast<long>(n));
    report_rate("floor_checks_per_s_2_threads", "Grundlinie, 2 Threads", floor2, static_cast<long>(2 * n));
    g_figures.push_back({"floor_found_share", static_cast<double>(floor_found) / static_cast<double>(n)});
    // The CPUs' speed changes between runs here; the ratio to the floor of
    // the same run does not follow it.
    g_figures.push_back({"checks_to_floor_1_thread", one / floor1});
    // What two threads could reach at best on these CPUs, relative to the one
    // that ran the single thread.
    double ceiling = 0;
    for (size_t i = 0; i < cpus.size() && i < 2; ++i) ceiling += cpus[i].relative;
    g_figures.push_back({"checks_2_threads_ceiling", ceiling});
  }

  if (tk->messages > 0) std::fprintf(stderr, "%ld Meldungen während der Messung\n", tk->messages.load());
  if (g_json) {
    std::printf("{\n");
    for (const Figure& f : g_figures) std::printf("  \"%s\": %.4f,\n", f.key.c_str(), f.value);
    std::printf("  \"cpu_relative_speeds\": \"%s\",\n", cpu_text.c_str());
    for (const auto& [key, value] : g_notes) std::printf("  \"%s\": \"%s\",\n", key.c_str(), value.c_str());
    std::printf("  \"load_average\": \"%s\",\n  \"questions\": %ld,\n  \"messages\": %ld\n}\n",
                load_average().c_str(), tk->questions.load(), tk->messages.load());
  }
  return tk->messages > 0 ? 1 : 0;
}
