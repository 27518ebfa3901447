// List check benchmark: checks an address list of at least 100,000 lines made
// from the full generated delivery, with `check_list` (the pipeline of
// `noxplz pruefe-liste`) and, side by side in the same run, with the floor
// this database engine sets: one prepared SQLite statement per address on
// plain connections, the same threads, the same CSV reading and writing.
// A second part measures the typo search on places: the in-memory index of
// fuzzy/similar_names against SQLite's FTS5 trigram tokenizer.
//
//   list_bench [--db DATEI] [--rows N] [--threads N] [--small]
//
// Without --db the full delivery is generated and imported into a database
// in the temporary directory, which is kept for the next run.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch/csv.h"
#include "batch/list_check.h"
#include "bench_common.h"
#include "datafactory_gen.h"
#include "dialogs/frm_plz_import.h"
#include "fuzzy/folding.h"
#include "fuzzy/similar_names.h"
#include "manager/session.h"
#include "noxplz/plz_import.h"
#include "noxplz/plz_manager.h"
#include "noxplz/schema.h"
#include "noxplz/ui.h"
#include "platform/db/sqlite/german_collation.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::column_text;
using bench::open_plain;
using bench::load_average;
using bench::seconds_since;

// splitmix64, so the list is the same in every run.
struct Rng {
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }
};

// A letter of a name left out (not the first): a typical typo.
std::string drop_letter(const std::string& name, Rng& rng) {
  std::vector<std::string> cps = noxplz::text::code_points(name);
  if (cps.size() < 6) return name;
  cps.erase(cps.begin() + 1 + static_cast<long>(rng.below(cps.size() - 2)));
  std::string out;
  for (const auto& c : cps) out += c;
  return out;
}

struct Section {
  std::string plz, place, street, von, bis, typ;
};

// The list: mostly right addresses, some with the postal code of another
// section, misspelled places and streets, missing house numbers.
std::string make_list(const std::string& db_path, size_t rows, size_t& sections_read) {
  sqlite3* db = open_plain(db_path);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT s.PLZ, o.ONAME, s.NAME46, s.HNRVON, s.HNRBIS, s.HNR_TYP FROM STR_DA s "
                     "JOIN ORT_DA o ON o.ALORT = s.ALORT WHERE COALESCE(TRIM(o.ALORT_NEU), '') = ''",
                     -1, &st, nullptr);
  std::vector<Section> sections;
  while (sqlite3_step(st) == SQLITE_ROW)
    sections.push_back({column_text(st, 0), column_text(st, 1), column_text(st, 2), column_text(st, 3),
                        column_text(st, 4), column_text(st, 5)});
  sqlite3_finalize(st);
  sqlite3_close(db);
  sections_read = sections.size();

  Rng rng{42};
  std::string csv = "Kundennummer;PLZ;Ort;Straße;Hausnummer\r\n";
  for (size_t i = 0; i < rows; ++i) {
    const Section& s = sections[rng.below(sections.size())];
    std::string plz = s.plz, place = s.place, street = s.street, number;
    if (!s.von.empty()) {
      long von = std::atol(s.von.c_str()), bis = std::atol(s.bis.c_str());
      if (bis < von) bis = von;
      long n = von + static_cast<long>(rng.below(static_cast<size_t>(std::min(bis - von, 60L)) + 1));
      if (s.typ == "G" && n % 2) ++n;
      if (s.typ == "U" && n % 2 == 0) ++n;
      number = std::to_string(n);
    } else {
      number = std::to_string(1 + rng.below(80));
    }
    const size_t kind = rng.below(100);
    if (kind < 5) plz = std::to_string(10000 + rng.below(89999));  // a wrong postal code
    else if (kind < 10) place = drop_letter(place, rng);
    else if (kind < 15) street = drop_letter(street, rng);
    else if (kind < 18) number.clear();
    csv += std::to_string(100000 + i) + ";" + plz + ";" + noxplz::batch::quote_field(place, ';') + ";" +
           noxplz::batch::quote_field(street, ';') + ";" + number + "\r\n";
  }
  return csv;
}

// The floor (bench::FloorCheck) over the same list, threads and CSV work.
size_t floor_run(const std::string& db_path, const std::string& csv, int threads, std::string& out_bytes) {
  std::istringstream in(csv);
  noxplz::batch::CsvReader reader(in);
  noxplz::batch::CsvRecord header;
  reader.next(header);
  std::vector<std::vector<std::string>> rows;
  noxplz::batch::CsvRecord r;
  while (reader.next(r)) rows.push_back(std::move(r.fields));
  std::vector<std::string> status(rows.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    bench::FloorCheck floor(db_path);
    for (;;) {
      const size_t begin = next.fetch_add(256);
      if (begin >= rows.size()) break;
      for (size_t i = begin; i < std::min(rows.size(), begin + 256); ++i) {
        const auto& f = rows[i];
        const std::string found = floor.code(f[2], f[3], std::atol(f[4].c_str()));
        status[i] = found.empty() ? "unbekannt" : (found == f[1] ? "geprueft" : "korrigiert");
      }
    }
  };
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(work);
  for (auto& t : pool) t.join();
  std::ostringstream out;
  noxplz::batch::CsvWriter writer(out, {';', noxplz::batch::Encoding::Utf8, true, "\r\n"});
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i].push_back(status[i]);
    writer.write(rows[i]);
  }
  out_bytes = out.str();
  return rows.size();
}

void import_full(const std::string& db_path, bool small) {
  const std::string file = (fs::path(db_path).parent_path() / "datafactory.dat").string();
  auto start = Clock::now();
  noxplz::datafactory::generate_file(file, small ? noxplz::datafactory::GenOptions{}
                                                 : noxplz::datafactory::GenOptions::Full());
  std::printf("Datei erzeugt in %.1f s\n", seconds_since(start));
  auto tk = std::make_shared<bench::BenchToolkit>();
  noxplz::ScopedToolkit use(tk);
  noxplz::clsPlzManager manager;
  manager.Init(nullptr, "", noxplz::create_postal_database(db_path));
  noxplz::frmPlzImport frm;
  frm.raise_load();
  noxplz::clsPlzImport import;
  start = Clock::now();
  import.Saetze_Einlesen(file, frm);
  std::printf("Importiert in %.1f s (%s)\n", seconds_since(start), frm.lbl_Delete.Caption().c_str());
  fs::remove(file);
}

// Typo search over the place names: the in-memory index against FTS5 trigrams.
void typo_part(const std::string& db_path) {
  sqlite3* db = open_plain(db_path);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT DISTINCT TRIM(ONAME) FROM ORT_DA WHERE COALESCE(TRIM(ALORT_NEU), '') = ''", -1, &st,
                     nullptr);
  std::vector<std::string> names;
  while (sqlite3_step(st) == SQLITE_ROW) names.push_back(column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  Rng rng{7};
  std::vector<std::string> queries;
  for (int i = 0; i < 2000; ++i) queries.push_back(drop_letter(names[rng.below(names.size())], rng));

  // In-memory index through the component's session.
  auto start = Clock::now();
  noxplz::clsPlzManager manager;
  manager.Init(nullptr, noxplz::sqlite_connection_string(db_path));
  noxplz::SimilarNames index;
  index.places("x");  // reads the names
  const double build = seconds_since(start);
  start = Clock::now();
  size_t hits = 0;
  for (const std::string& q : queries) hits += index.places(q, {}, 5).empty() ? 0 : 1;
  const double memory_seconds = seconds_since(start);
  std::printf("Tippfehlersuche, Index im Speicher: %zu Namen in %.3f s gelesen; %zu Suchen in %.3f s = %.0f µs je "
              "Suche, %zu mit Treffer\n",
              names.size(), build, queries.size(), memory_seconds, memory_seconds * 1e6 / queries.size(), hits);

  // FTS5 trigram: candidates sharing trigrams with the query, ranked by edit distance.
  sqlite3* fts = nullptr;
  sqlite3_open(":memory:", &fts);
  start = Clock::now();
  if (sqlite3_exec(fts, "CREATE VIRTUAL TABLE n USING fts5(folded, name UNINDEXED, tokenize='trigram')", nullptr,
                   nullptr, nullptr) != SQLITE_OK) {
    std::printf("FTS5 mit Trigrammen steht in dieser SQLite-Version nicht bereit: %s\n", sqlite3_errmsg(fts));
    sqlite3_close(fts);
    return;
  }
  sqlite3_exec(fts, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_prepare_v2(fts, "INSERT INTO n VALUES (?1, ?2)", -1, &st, nullptr);
  for (const std::string& n : names) {
    const std::string f = noxplz::fuzzy::fold_name(n);
    sqlite3_bind_text(st, 1, f.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, n.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(fts, "COMMIT", nullptr, nullptr, nullptr);
  const double fts_build = seconds_since(start);
  sqlite3_prepare_v2(fts, "SELECT folded, name FROM n WHERE n MATCH ?1", -1, &st, nullptr);
  start = Clock::now();
  size_t fts_hits = 0;
  for (const std::string& q : queries) {
    const std::string f = noxplz::fuzzy::fold_name(q);
    std::string match;
    for (size_t i = 0; i + 3 <= f.size(); ++i) match += (match.empty() ? "\"" : " OR \"") + f.substr(i, 3) + "\"";
    if (match.empty()) continue;
    sqlite3_bind_text(st, 1, match.c_str(), -1, SQLITE_TRANSIENT);
    const int allowed = noxplz::fuzzy::tolerance(f.size());
    bool hit = false;
    while (sqlite3_step(st) == SQLITE_ROW) {
      const std::string cand = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      if (noxplz::fuzzy::edit_distance(f, cand, allowed) <= allowed) hit = true;
    }
    sqlite3_reset(st);
    fts_hits += hit ? 1 : 0;
  }
  const double fts_seconds = seconds_since(start);
  sqlite3_finalize(st);
  sqlite3_close(fts);
  std::printf("Tippfehlersuche, FTS5-Trigramme: Index in %.3f s; %zu Suchen in %.3f s = %.0f µs je Suche, %zu mit "
              "Treffer\n",
              fts_build, queries.size(), fts_seconds, fts_seconds * 1e6 / queries.size(), fts_hits);
}

}  // namespace

int main(int argc, char** argv) {
  std::string db_path;
  size_t rows = 100000;
  int threads = 2;
  bool small = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--db") && i + 1 < argc) db_path = argv[++i];
    else if (!std::strcmp(argv[i], "--rows") && i + 1 < argc) rows = std::stoul(argv[++i]);
    else if (!std::strcmp(argv[i], "--threads") && i + 1 < argc) threads = std::stoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--small")) small = true;
    else {
      std::fprintf(stderr, "Aufruf: list_bench [--db DATEI] [--rows N] [--threads N] [--small]\n");
      return 2;
    }
  }
  if (db_path.empty()) {
    const fs::path dir = fs::temp_directory_path() / (small ? "noxplz_list_bench_small" : "noxplz_list_bench");
    fs::create_directories(dir);
    db_path = (dir / "post.db").string();
    if (!fs::exists(db_path)) import_full(db_path, small);
    else noxplz::create_postal_database(db_path);  // an older file gets the current schema's indexes
  }
  std::printf("Datenbank: %s; Last vorher: %s\n", db_path.c_str(), load_average().c_str());

  size_t sections = 0;
  auto start = Clock::now();
  const std::string csv = make_list(db_path, rows, sections);
  std::printf("Liste: %zu Adressen aus %zu Straßenabschnitten in %.1f s (%.1f MB)\n", rows, sections,
              seconds_since(start), static_cast<double>(csv.size()) / 1e6);

  // --- the list check as noxplz pruefe-liste runs it ---
  noxplz::batch::ListSummary summary;
  double seconds = 0;
  {
    std::istringstream in(csv);
    noxplz::batch::CsvReader reader(in);
    std::ostringstream out;
    noxplz::batch::ListRunOptions o;
    o.connection_string = noxplz::sqlite_connection_string(db_path);
    o.threads = threads;
    start = Clock::now();
    summary = noxplz::batch::check_list(reader, out, o);
    seconds = seconds_since(start);
  }
  std::printf("pruefe-liste (%d Threads): %lld Adressen in %.2f s = %.0f Adressen/s; Last: %s\n", threads,
              static_cast<long long>(summary.rows), seconds, static_cast<double>(summary.rows) / seconds,
              load_average().c_str());
  const char* names[] = {"geprueft", "korrigiert", "mehrdeutig", "unbekannt", "fehlerhaft"};
  for (size_t i = 0; i < noxplz::batch::kStatusCount; ++i)
    std::printf("  %-11s %8lld\n", names[i], static_cast<long long>(summary.counts[i]));

  // --- the floor ---
  std::string floor_out;
  start = Clock::now();
  const size_t floor_rows = floor_run(db_path, csv, threads, floor_out);
  const double floor_seconds = seconds_since(start);
  std::printf("Grundlinie (eine vorbereitete Anweisung je Adresse, %d Threads): %zu Adressen in %.2f s = %.0f "
              "Adressen/s; Last: %s\n",
              threads, floor_rows, floor_seconds, static_cast<double>(floor_rows) / floor_seconds,
              load_average().c_str());
  std::printf("Verhältnis pruefe-liste / Grundlinie: %.2f\n", seconds / floor_seconds);

  typo_part(db_path);
  return 0;
}
