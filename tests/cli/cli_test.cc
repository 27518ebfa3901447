// The noxplz program as a user meets it: generated file, import, lookups and
// searches, exit codes, questions at a terminal and without one.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli_runner.h"
#include "datafactory_gen.h"

namespace noxplz::cli_test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

RunOptions piped(std::string input = "") { return {.input = std::move(input)}; }
RunOptions terminal(std::string input) { return {.input = std::move(input), .terminal = true}; }
bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CliTest : public CliFixture {
 protected:
  long long number(const std::string& sql) {
    json rows = noxplz_json({"sql", sql});
    return rows.is_array() && !rows.empty() ? rows[0].begin()->get<long long>() : -1;
  }
  // The row counts of the nine tables, in one row.
  json table_counts() {
    std::string sql = "SELECT 0 AS x";
    for (const char* t : {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA", "OTL_DA", "POFA_DA", "PLZ_DA", "STR_DA"})
      sql += std::string(", (SELECT COUNT(*) FROM ") + t + ") AS " + t;
    return noxplz_json({"sql", sql});
  }
};

// generate, import, verify and the lookups on one file; what a script reads
// from suche, pruefe and ort: the verdict with its reason and German hint,
// exit code 3 for an address that is not verified, an input holding "|"
// refused. Which postal code is right is pinned in the searches' own tests.
TEST_F(CliTest, GeneratedFileImportedAndLookedUpConsistently) {
  RunResult generated = noxplz({"generate", "--out", "post.dat", "--seed", "5"});
  ASSERT_EQ(generated.code, 0) << describe(generated);
  // What the file holds, from the generator itself (same options, same bytes).
  std::ostringstream bytes;
  datafactory::GenSummary summary = datafactory::generate(bytes, gen([](auto& o) { o.seed = 5; }));
  ASSERT_EQ(static_cast<long long>(fs::file_size(path("post.dat"))), summary.bytes);

  RunResult imported = noxplz({"import", "post.dat", "--yes"});
  ASSERT_EQ(imported.code, 0) << describe(imported);
  EXPECT_TRUE(has(imported.out, "Alle Werte wurden korrekt importiert!"));
  EXPECT_TRUE(has(imported.err, "Datafactory-Daten werden importiert"));
  json verified = noxplz_json({"verify"});
  EXPECT_EQ(verified["alle_ok"], true);

  // A place with a unique name and street sections with house numbers.
  json rows = noxplz_json(
      {"sql",
       "SELECT TRIM(o.ONAME) AS ort, TRIM(o.ALORT) AS schluessel FROM ORT_DA o WHERE COALESCE(TRIM(o.ALORT_NEU), '') = '' "
       "AND (SELECT COUNT(*) FROM ORT_DA p WHERE p.ONAME = o.ONAME) = 1 AND (SELECT COUNT(*) FROM STR_DA s WHERE "
       "s.ALORT = o.ALORT AND TRIM(s.HNRVON) <> '') > 3 ORDER BY o.ONAME"});
  ASSERT_FALSE(rows.empty());
  const std::string place = rows[0]["ort"], key = rows[0]["schluessel"];
  json section;
  for (const json& s : noxplz_json({"strassen", key}))
    if (section.is_null() && !s["hnr_von"].get<std::string>().empty()) section = s;
  ASSERT_FALSE(section.is_null());
  const std::string street = section["strasse"], nr = section["hnr_von"], plz = section["plz"];
  const std::string address = street + " " + nr;
  json narrowed = noxplz_json({"strassen", key, street});
  ASSERT_FALSE(narrowed.empty());

  // The full search takes the first section of the street, the provider search the one holding the number.
  const std::pair<const char*, json> searches[] = {{"suche", narrowed[0]["plz"]}, {"pruefe", plz}};
  for (const auto& [command, code] : searches) {
    SCOPED_TRACE(command);
    json found = noxplz_json({command, "--ort", place, "--strasse", address});
    EXPECT_EQ(found["geprueft"], true) << found.dump();
    EXPECT_EQ(found["ort"], place);
    EXPECT_EQ(found["plz"], code);
    EXPECT_EQ(found["hausnummer"], nr);
    json right = noxplz_json({command, "--plz", code.get<std::string>(), "--ort", place, "--strasse", address});
    EXPECT_EQ(right["grund"], "bestaetigt") << right.dump();
    EXPECT_FALSE(right["hinweis"].get<std::string>().empty());
    json bar = noxplz_json({command, "--plz", plz + "|x", "--ort", place, "--strasse", address}, 3);
    EXPECT_EQ(bar["geprueft"], false) << bar.dump();
    EXPECT_EQ(bar["grund"], "eingabe_ungueltig") << bar.dump();
  }
  EXPECT_EQ(noxplz_json({"ort", plz, place})["grund"], "bestaetigt");
  json foreign = noxplz_json({"ort", plz, "Nirgendwo"}, 3);
  EXPECT_EQ(foreign["geprueft"], false) << foreign.dump();
  EXPECT_FALSE(foreign["hinweis"].get<std::string>().empty());
  RunResult bar_text = noxplz({"pruefe", "--plz", plz, "--ort", place + "|", "--strasse", address});
  EXPECT_EQ(bar_text.code, 3);
  EXPECT_TRUE(has(bar_text.out, "Hinweis     Die Eingabe enthält das Zeichen „|“")) << describe(bar_text);
}

// Every outcome of an import and its exit code. Each refused import must
// leave the database as it was: here with STR_DA emptied, which any import
// that ran would have refilled.
TEST_F(CliTest, ImportOutcomesExitCodesAndRefusedImportsLeaveTheDatabaseUntouched) {
  const std::string file = file_with({}, "post.dat", 300);
  const std::string invalid = file_with(gen([](auto& o) { o.header_line = true; }), "kopf.dat", 300);
  import_ok(file);
  const json full = table_counts();
  ASSERT_EQ(noxplz({"sql", "DELETE FROM STR_DA WHERE 1 = 1"}).code, 0);
  const json changed = table_counts();
  ASSERT_NE(changed, full);

  struct Refused {
    std::vector<std::string> args;
    RunOptions options;
    std::vector<std::string> shown;  // in stderr (in stdout at a terminal)
  };
  const Refused refused[] = {
      {{"import", "fehlt.dat", "--yes"}, piped(), {"„fehlt.dat“ gibt es nicht"}},
      {{"import", invalid, "--yes"}, piped(), {"Dies ist keine gültige Datafactory-Datei!", "unverändert"}},
      // Typed ahead into a pipe: must not count as an answer, and nothing hangs.
      {{"import", file}, piped("j\n"), {"kein Terminal", "--yes"}},
      // "Nein" is the default: Enter alone deletes nothing.
      {{"import", file}, terminal("\n"), {"Weiter? [j]a/[N]ein:", "mit Nein beantwortet"}},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.args[1] + " " + r.options.input);
    RunResult result = noxplz(r.args, r.options);
    EXPECT_EQ(result.code, 2) << describe(result);
    for (const std::string& text : r.shown)
      EXPECT_TRUE(has(r.options.terminal ? result.out : result.err, text)) << describe(result);
    EXPECT_EQ(table_counts(), changed);
  }

  RunResult yes = noxplz({"import", file}, terminal("j\n"));
  EXPECT_EQ(yes.code, 0) << describe(yes);
  EXPECT_TRUE(has(yes.out, "Alle Werte wurden korrekt importiert!"));
  EXPECT_EQ(table_counts(), full);
  ASSERT_EQ(noxplz({"sql", "DELETE FROM STR_DA WHERE 1 = 1"}).code, 0);
  EXPECT_EQ(noxplz({"import", file, "--yes"}, piped("n\n")).code, 0);
  EXPECT_EQ(table_counts(), full);

  RunResult not_all = noxplz({"import", file_with(gen([](auto& o) { o.wrong_count_type = "PL"; }), "zaehler.dat", 300), "--yes"});
  EXPECT_EQ(not_all.code, 3) << describe(not_all);
  EXPECT_TRUE(has(not_all.out, "Es konnten nicht alle Werte korrekt importiert werden!"));
  EXPECT_TRUE(has(not_all.out, "Die bisherigen Postdaten bleiben unverändert erhalten.")) << describe(not_all);
  // The red file was not taken over: the database still holds the sound one.
  EXPECT_EQ(table_counts(), full);
}

TEST_F(CliTest, InterruptStopsTheImportVerifiesWhatArrivedAndKeepsTheOldData) {
  RunResult r = noxplz({"import", file_with({}, "gross.dat", 300000), "--yes"},
                       {.interrupt_after = "Datafactory-Daten werden importiert"});
  EXPECT_EQ(r.code, 3) << describe(r);
  EXPECT_TRUE(has(r.err, "Der Import wurde abgebrochen")) << describe(r);
  EXPECT_TRUE(has(r.out, "Es konnten nicht alle Werte korrekt importiert werden!"));
  EXPECT_TRUE(has(r.err, "Die bisherigen Postdaten bleiben unverändert erhalten.")) << describe(r);
  EXPECT_EQ(number("SELECT COUNT(*) AS n FROM STR_DA"), 0);
}

// Two imports on one database from two processes: the second is refused at
// once with a clear message, and the database holds the first file only.
TEST_F(CliTest, ASecondImportFromAnotherProcessIsRefusedAndNothingIsMixed) {
  const std::string big = file_with({}, "gross.dat", 150000), small = file_with({}, "klein.dat", 700);
  // The first is held in the middle of its reading while the second tries.
  RunResult second;
  RunOptions held{.timeout_seconds = 240, .interrupt_after = "10 % gelesen", .on_text = [&](int pid) {
                    ::kill(pid, SIGSTOP);
                    second = noxplz({"import", small, "--yes"});
                    ::kill(pid, SIGCONT);
                  }};
  RunResult first = noxplz({"import", big, "--yes"}, held);
  EXPECT_EQ(second.code, 1) << describe(second);
  EXPECT_TRUE(has(second.err, "Auf diese Datenbank läuft bereits ein Import")) << describe(second);
  EXPECT_EQ(first.code, 0) << describe(first);
  EXPECT_EQ(number("SELECT COUNT(*) AS n FROM STR_DA"), 150000);
}

// An import killed halfway (SIGKILL: no handler runs) leaves a database
// that opens, is sound, and holds the old data.
TEST_F(CliTest, AnImportKilledHalfwayLeavesTheOldDataSound) {
  import_ok(file_with({}, "alt.dat", 900));
  const std::string fingerprint =
      "SELECT COUNT(*) AS n, MIN(Name46) AS a, MAX(Name46) AS b, MIN(ALORT) AS c, MAX(PLZ) AS d, "
      "(SELECT COUNT(*) FROM PLZ_DA) AS p, (SELECT COUNT(*) FROM PRUEF_DA) AS x FROM STR_DA";
  const json before = noxplz_json({"sql", fingerprint});
  // Halfway through the file; stopped at once, then killed without a chance to clean up.
  RunOptions killed{.timeout_seconds = 240, .interrupt_after = "50 % gelesen", .on_text = [&](int pid) {
                      ::kill(pid, SIGSTOP);
                      std::error_code ec;
                      EXPECT_GT(fs::file_size(path("post.db") + "-wal", ec), 0u) << "the import had written";
                      ::kill(pid, SIGKILL);
                    }};
  RunResult r = noxplz({"import", file_with({}, "gross.dat", 150000), "--yes"}, killed);
  EXPECT_EQ(r.code, -1) << describe(r);
  EXPECT_FALSE(has(r.out + r.err, "Alle Werte wurden korrekt importiert!")) << describe(r);

  json check = noxplz_json({"sql", "PRAGMA integrity_check"});
  ASSERT_TRUE(check.is_array() && !check.empty()) << check.dump();
  EXPECT_EQ(check[0].begin()->get<std::string>(), "ok");
  EXPECT_EQ(noxplz_json({"sql", fingerprint}), before);
  EXPECT_EQ(noxplz_json({"verify"})["alle_ok"], true);
  // The lock of the killed import went with its process: a new import runs.
  import_ok(file_with({}, "neu.dat", 500));
  EXPECT_EQ(number("SELECT COUNT(*) AS n FROM STR_DA"), 500);
}

// The choice list and the postal-code/place question: at a terminal, with
// answers given as options, and failing at once without either.
TEST_F(CliTest, SearchQuestionsAtATerminalWithAnswersGivenAndWithout) {
  import_ok(file_with({}, "post.dat"));
  json all = noxplz_json({"orte", ""});
  std::string prefix;  // a name beginning shared by several current places
  for (size_t i = 0; i + 1 < all.size() && prefix.empty(); ++i)
    if (all[i]["ort"].get<std::string>().substr(0, 3) == all[i + 1]["ort"].get<std::string>().substr(0, 3))
      prefix = all[i]["ort"].get<std::string>().substr(0, 3);
  ASSERT_FALSE(prefix.empty());
  const std::string second_place = noxplz_json({"orte", prefix})[1]["ort"];
  // A postal code with exactly one place, and another place's name.
  json codes = noxplz_json({"sql",
                            "SELECT TRIM(PLZ) AS plz, MIN(TRIM(ONAME)) AS ort FROM PLZ_DA GROUP BY PLZ "
                            "HAVING COUNT(DISTINCT ONAME) = 1 ORDER BY PLZ"});
  ASSERT_GE(codes.size(), 2u);
  const std::string plz = codes[0]["plz"], own = codes[0]["ort"];
  std::string other;
  for (const json& c : codes)
    if (other.empty() && c["ort"] != own) other = c["ort"];

  // Place 2 from the menu, then "Abbrechen" in the street list: the place's data stands.
  RunResult chosen = noxplz({"suche", "--ort", prefix}, terminal("2\n0\n"));
  EXPECT_EQ(chosen.code, 0) << describe(chosen);
  EXPECT_TRUE(has(chosen.out, "Orts-Auswahl:")) << describe(chosen);
  EXPECT_TRUE(has(chosen.out, "Ort         " + second_place)) << describe(chosen);

  const std::pair<std::vector<std::string>, std::string> unanswered[] = {
      {{"suche", "--ort", prefix}, "--auswahl"}, {{"suche", "--plz", plz, "--ort", other}, "--antwort"}};
  for (const auto& [args, option] : unanswered) {
    RunResult r = noxplz(args, piped());
    EXPECT_EQ(r.code, 2) << describe(r);
    EXPECT_TRUE(has(r.err, option)) << describe(r);
  }

  EXPECT_EQ(noxplz_json({"suche", "--ort", prefix, "--auswahl", "2", "--auswahl", "0"})["ort"], second_place);
  // "Postleitzahl" is right: the place of the postal code is taken.
  json code_right = noxplz_json({"suche", "--plz", plz, "--ort", other, "--antwort", "P"});
  EXPECT_EQ(code_right["ort"], own) << code_right.dump();
  EXPECT_EQ(code_right["geprueft"], true);
  EXPECT_EQ(noxplz_json({"suche", "--plz", plz, "--ort", other, "--antwort", "N"}, 3)["geprueft"], false);
}

// init on a file made by an older version (here: without the index of the
// street keys) adds what this version's schema has and keeps the data. That
// the checks answer the same with and without the index is the address
// check's own test.
TEST_F(CliTest, InitBringsAnOlderDatabaseUpToDateAndKeepsItsData) {
  if (testing::test_backend() == testing::TestBackend::kPostgresql)
    GTEST_SKIP() << "eine Datei der eingebetteten Datenbank";
  import_ok(file_with(gen([](auto&) {}), "post.dat", 2000));
  noxplz_json({"sql", "DROP INDEX IX_STR_DA_STREET_KEY"});
  const auto index_count = [&] {
    return number("SELECT COUNT(*) AS n FROM sqlite_master WHERE name = 'IX_STR_DA_STREET_KEY'");
  };
  ASSERT_EQ(index_count(), 0);
  const json counts = table_counts();
  RunResult init = noxplz({"init"});
  EXPECT_EQ(init.code, 0) << describe(init);
  EXPECT_TRUE(has(init.out, "hat jetzt alle Posttabellen und Indizes dieser Version")) << describe(init);
  EXPECT_EQ(index_count(), 1);
  EXPECT_EQ(table_counts(), counts);
}

// Wrong calls, unusable databases and the calls that need none.
TEST_F(CliTest, WrongCallsAndUnusableDatabasesGetGermanMessages) {
  fs::create_directories(dir_ / "ordner");
  const std::string text = "Dies ist eine Einkaufsliste.\n";
  std::ofstream(path("liste.txt")) << text;
  const RunOptions no_screen{.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}};
  struct Call {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> any_of;  // one of these in stderr
    RunOptions options = {};
  };
  const Call calls[] = {
      {{"--db", path("post.db"), "suchen"}, 2, {"Fehler im Aufruf"}},
      {{"--db", path("post.db")}, 2, {"Es fehlt der Befehl"}},
      {{"orte", "--gibtsnicht"}, 2, {"Die Option „--gibtsnicht“ gibt es hier nicht"}},
      {{"trenne"}, 2, {"Die Angabe STRASSE fehlt"}},
      {{"trenne", "a", "b", "c"}, 2, {"kann noxplz hier nichts anfangen"}},
      {{"pruefe-liste", "x.csv", "--threads", "viele"}, 2, {"„viele“ ist kein gültiger Wert für --threads"}},
      {{"suche", "--antwort", "X", "--ort", "A"}, 2, {"nicht zulässig"}},
      {{"--db", path("post.db"), "suche", "--strasse", "Hauptstr. 1"}, 2, {"--plz oder --ort"}},
      {{"--db", path("ordner"), "orte", "A"}, 1, {"ist ein Verzeichnis"}},
      {{"--db", path("liste.txt"), "orte", "A"}, 1, {"keine Postdatenbank"}},
      {{"--connection", "Provider=Unbekannt;Data Source=x", "orte", "A"}, 1, {"--connection"}},
      {{"--db", path("post.db"), "dialog"}, 1, {"Kein Bildschirm", "ohne Qt gebaut"}, no_screen},
  };
  for (const Call& c : calls) {
    RunResult r = run(c.args, c.options);
    EXPECT_EQ(r.code, c.code) << describe(r);
    bool shown = false;
    for (const std::string& t : c.any_of) shown |= has(r.err, t);
    EXPECT_TRUE(shown) << describe(r);
    for (const char* english : {"required", "not expected", "Could not convert", "not in", "excludes"})
      EXPECT_FALSE(has(r.err, english)) << english << "\n" << describe(r);
  }
  // The file that is no postal database is left as it was.
  EXPECT_EQ(read_file(path("liste.txt")), text);

  // The splitter and the version need no database and create none.
  const RunOptions here{.cwd = dir_.string()};
  json split = json::parse(run({"trenne", "Hauptstraße 12a", "--json"}, here).out);
  EXPECT_EQ(split["strasse"], "Hauptstraße");
  EXPECT_EQ(split["hausnummer"], "12a");
  RunResult kept = run({"trenne", "Hauptstraße", "--hausnummer", " 7 "}, here);
  EXPECT_TRUE(kept.code == 0 && has(kept.out, "Hausnummer  7\n")) << describe(kept);
  for (const char* flag : {"--version", "-V"})
    EXPECT_EQ(run({flag}, here).out, std::string("noxplz ") + NOXPLZ_EXPECTED_VERSION + "\n");
  EXPECT_FALSE(fs::exists(dir_ / "noxplz.db"));
}

// strassen by place name, by --alort and by key alike; a prefix that
// matches nothing gets a hint instead of a question, also at a terminal;
// --ja lists the whole place; unknown names and keys point onwards.
TEST_F(CliTest, StreetListByNameOrKeyAndAHintInsteadOfAQuestion) {
  import_ok(file_with({}, "post.dat"));
  // The place with the most street sections among those whose name no other place carries.
  json places = noxplz_json(
      {"sql",
       "SELECT TRIM(o.ONAME) AS ort, TRIM(o.ALORT) AS k, (SELECT COUNT(*) FROM STR_DA s WHERE s.ALORT = o.ALORT) AS n "
       "FROM ORT_DA o WHERE COALESCE(TRIM(o.ALORT_NEU), '') = '' AND (SELECT COUNT(*) FROM ORT_DA p WHERE "
       "p.ONAME = o.ONAME) = 1 ORDER BY n DESC"});
  ASSERT_FALSE(places.empty());
  const std::string place = places[0]["ort"], key = places[0]["k"];
  const long long sections = places[0]["n"];
  json by_name = noxplz_json({"strassen", place, "--ja"});
  EXPECT_EQ(static_cast<long long>(by_name.size()), sections);
  EXPECT_EQ(noxplz_json({"strassen", "--alort", key, "--ja"}), by_name);
  EXPECT_EQ(noxplz_json({"strassen", key, "Zzzz", "--ja"}), by_name);  // eight digits are a key

  RunResult none = noxplz({"strassen", key, "Zzzz"}, piped());
  EXPECT_EQ(none.code, 3) << describe(none);
  EXPECT_EQ(none.out, "");
  EXPECT_TRUE(has(none.err, "Keine Straße beginnt mit „Zzzz“")) << describe(none);
  EXPECT_TRUE(has(none.err, "Der Ort hat " + std::to_string(sections) + " Straßenabschnitte")) << describe(none);
  // At a terminal (one stream for both outputs) nothing is asked either.
  RunResult at_terminal = noxplz({"strassen", key, "Zzzz"}, terminal(""));
  EXPECT_EQ(at_terminal.code, 3) << describe(at_terminal);
  EXPECT_TRUE(has(at_terminal.out, "Straßenabschnitte: ohne PRÄFIX")) << describe(at_terminal);

  // An unknown key points to where keys are found; an unknown name is named,
  // and as a prefix of orte gets the places of a similar name.
  RunResult unknown = noxplz({"strassen", "00000000", "A"});
  EXPECT_EQ(unknown.code, 3);
  EXPECT_TRUE(has(unknown.err, "noxplz orte NAME")) << describe(unknown);
  std::string typo = place;
  for (size_t i = 2; i < typo.size(); ++i)
    if (typo[i] >= 'a' && typo[i] <= 'z') {
      typo.erase(i, 1);
      break;
    }
  RunResult no_place = noxplz({"strassen", typo});
  EXPECT_EQ(no_place.code, 3) << describe(no_place);
  EXPECT_TRUE(has(no_place.err, "Kein aktueller Ort heißt „" + typo + "“")) << describe(no_place);
  RunResult typo_orte = noxplz({"orte", typo});
  EXPECT_EQ(typo_orte.code, 3);
  EXPECT_TRUE(has(typo_orte.err, "Meinten Sie: ") && has(typo_orte.err, place)) << describe(typo_orte);
  json suggested = noxplz_json({"orte", typo}, 3);
  EXPECT_TRUE(!suggested.empty() && suggested[0]["vorschlag"] == true) << suggested.dump();
  // orte without a prefix: every current place.
  EXPECT_EQ(static_cast<long long>(noxplz_json({"orte"}).size()),
            number("SELECT COUNT(*) AS n FROM ORT_DA WHERE COALESCE(TRIM(ALORT_NEU), '') = ''"));
}

TEST_F(CliTest, TextThatIsNoUtf8IsRefusedOrReplacedAndControlCharactersEscaped) {
  import_ok(file_with({}, "post.dat", 300));
  const std::string bad = "Gro\xc3 5";
  const std::vector<std::vector<std::string>> calls = {
      {"trenne", bad}, {"trenne", "Hauptstr. 5", "--hausnummer", "\xff"},
      {"suche", "--ort", bad}, {"suche", "--plz", "0\xe1", "--ort", "A"},
      {"pruefe", "--ort", "A", "--strasse", bad}, {"pruefe", "--ort", "A", "--hausnummer", "1\xc0\xaf"},
      {"ort", "\xe1", "A"}, {"ort", "01067", bad}, {"orte", bad},
      {"strassen", "01\xff"}, {"strassen", "01000000", bad}, {"sql", "SELECT '" + bad + "' AS x"},
  };
  for (std::vector<std::string> args : calls) {
    args.push_back("--json");
    RunResult r = noxplz(args);
    EXPECT_EQ(r.code, 2) << describe(r);
    EXPECT_TRUE(has(r.err, "kein gültiger UTF-8-Text")) << describe(r);
    EXPECT_EQ(r.out, "") << describe(r);
  }
  // Data that is no UTF-8 or holds escape sequences, read back from the database.
  ASSERT_EQ(noxplz({"sql", "UPDATE ORT_DA SET ONAME = CAST(X'477261C3' AS TEXT) || CAST(X'1B5B324A' AS TEXT) || "
                           "'stadt' WHERE ALORT = (SELECT MIN(ALORT) FROM ORT_DA WHERE COALESCE(TRIM(ALORT_NEU), '') = '')"})
                .code,
            0);
  json places = noxplz_json({"orte", "Gra"});
  ASSERT_EQ(places.size(), 1u);
  EXPECT_EQ(places[0]["ort"], "Gra\xEF\xBF\xBD\x1b[2Jstadt");  // escaped by JSON itself
  RunResult table = noxplz({"orte", "Gra"});
  EXPECT_FALSE(has(table.out, "\x1b")) << describe(table);
  EXPECT_TRUE(has(table.out, "Gra\\xC3\\x1B[2Jstadt")) << describe(table);
  EXPECT_FALSE(has(noxplz({"sql", "SELECT ONAME FROM ORT_DA WHERE ONAME LIKE 'Gra%'"}).out, "\x1b"));
  // A file path that is no UTF-8 is a legitimate file name.
  const std::string odd_name = path("post\xe1.dat");
  fs::copy_file(path("post.dat"), odd_name);
  RunResult imported = noxplz({"import", odd_name, "--yes", "--json"});
  EXPECT_EQ(imported.code, 0) << describe(imported);
  EXPECT_NO_THROW(json::parse(imported.out)) << describe(imported);
}

// A file without PF and OE records is a full delivery, shown as "nicht
// geliefert"; a delivered type that lost its check record still fails.
TEST_F(CliTest, AFileWithoutPfAndOeRecordsIsAFullDelivery) {
  json report = noxplz_json({"import", file_with(gen([](auto& o) { o.pf = o.oe = 0; }), "ohne.dat", 500), "--yes"});
  EXPECT_EQ(report["meldung"], "Alle Werte wurden korrekt importiert!");
  for (const json& type : report["typen"])
    EXPECT_EQ(type["pruefung"], type["typ"] != "PF" && type["typ"] != "OE" ? "OK" : "nicht geliefert") << type.dump();
  RunResult shown = noxplz({"verify"});
  EXPECT_EQ(shown.code, 0) << describe(shown);
  EXPECT_TRUE(has(shown.out, "nicht geliefert")) << describe(shown);
  ASSERT_EQ(noxplz({"sql", "DELETE FROM PRUEF_DA WHERE Dateikennung = 'ST'"}).code, 0);
  for (const json& type : noxplz_json({"verify"}, 3)["typen"])
    EXPECT_TRUE(type["typ"] != "ST" || type["pruefung"] == "FEHLER") << type.dump();
}

}  // namespace
}  // namespace noxplz::cli_test
