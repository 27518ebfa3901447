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
#include "testing/temp_database.h"

namespace noxplz::cli_test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

RunOptions piped(std::string input = "") {
  RunOptions o;
  o.input = std::move(input);
  o.timeout_seconds = 20;
  return o;
}
RunOptions terminal(std::string input) {
  RunOptions o = piped(std::move(input));
  o.terminal = true;
  return o;
}

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

TEST_F(CliTest, GeneratedFileImportedAndLookedUpConsistently) {
  RunResult gen = noxplz({"generate", "--out", "post.dat", "--seed", "5"});
  ASSERT_EQ(gen.code, 0) << describe(gen);
  // What the file holds, from the generator itself (same options, same bytes).
  datafactory::GenOptions options;
  options.seed = 5;
  std::ostringstream bytes;
  datafactory::GenSummary summary = datafactory::generate(bytes, options);
  ASSERT_EQ(static_cast<long long>(fs::file_size(path("post.dat"))), summary.bytes);

  RunResult imported = noxplz({"import", "post.dat", "--yes"});
  ASSERT_EQ(imported.code, 0) << describe(imported);
  EXPECT_NE(imported.out.find("Alle Werte wurden korrekt importiert!"), std::string::npos);
  EXPECT_NE(imported.err.find("Datafactory-Daten werden importiert"), std::string::npos);
  json verified = noxplz_json({"verify"});
  EXPECT_EQ(verified["alle_ok"], true);
  ASSERT_EQ(verified["typen"].size(), 8u);
  for (const json& type : verified["typen"]) {
    EXPECT_EQ(type["saetze"].get<long long>(), summary.records[type["typ"]]) << type.dump();
    EXPECT_EQ(type["ok"], true) << type.dump();
  }

  // Current places, each found again through its postal code (all of them: ListCliTest).
  json places = noxplz_json({"orte", ""});
  ASSERT_GE(places.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(noxplz_json({"ort", places[i]["plz"], places[i]["ort"]})["ort"], places[i]["ort"]) << places[i].dump();

  // A place with a unique name and street sections with house numbers.
  json candidates = noxplz_json(
      {"sql",
       "SELECT TRIM(o.ONAME) AS ort, TRIM(o.ALORT) AS schluessel FROM ORT_DA o WHERE COALESCE(TRIM(o.ALORT_NEU), '') = '' "
       "AND (SELECT COUNT(*) FROM ORT_DA p WHERE p.ONAME = o.ONAME) = 1 AND (SELECT COUNT(*) FROM STR_DA s WHERE "
       "s.ALORT = o.ALORT AND TRIM(s.HNRVON) <> '') > 3 ORDER BY o.ONAME"});
  ASSERT_FALSE(candidates.empty());
  const std::string place = candidates[0]["ort"], key = candidates[0]["schluessel"];
  json streets = noxplz_json({"strassen", key});
  json section;
  for (const json& s : streets)
    if (section.is_null() && !s["hnr_von"].get<std::string>().empty()) section = s;
  ASSERT_FALSE(section.is_null());
  const std::string street = section["strasse"], nr = section["hnr_von"];
  // Narrowed by a prefix: exactly the streets with that beginning.
  json narrowed = noxplz_json({"strassen", key, street});
  ASSERT_FALSE(narrowed.empty());
  for (const json& s : narrowed) EXPECT_EQ(s["strasse"].get<std::string>().rfind(street, 0), 0u) << s.dump();

  // The full search: place, street and house number in one text.
  json found = noxplz_json({"suche", "--ort", place, "--strasse", street + " " + nr});
  EXPECT_EQ(found["geprueft"], true);
  EXPECT_EQ(found["ort"], place);
  EXPECT_EQ(found["plz"], narrowed[0]["plz"]);
  EXPECT_EQ(found["strasse"], narrowed[0]["strasse"].get<std::string>() + " " + nr);
  // The provider search takes the section whose range holds the number.
  json checked = noxplz_json({"pruefe", "--ort", place, "--strasse", street + " " + nr});
  EXPECT_EQ(checked["geprueft"], true);
  EXPECT_EQ(checked["plz"], section["plz"]);
  EXPECT_EQ(checked["hausnummer"], nr);
}

// Every outcome of an import and its exit code. Each refused import must
// leave the database as it was: here with STR_DA emptied, which any import
// that ran would have refilled.
TEST_F(CliTest, ImportOutcomesExitCodesAndRefusedImportsLeaveTheDatabaseUntouched) {
  const std::string file = file_with({}, "post.dat", 300);
  datafactory::GenOptions header;
  header.header_line = true;
  const std::string invalid = file_with(header, "kopf.dat", 300);
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
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.code, 2) << describe(result);
    for (const std::string& text : r.shown)
      EXPECT_NE((r.options.terminal ? result.out : result.err).find(text), std::string::npos) << describe(result);
    EXPECT_EQ(table_counts(), changed);
  }

  RunResult yes = noxplz({"import", file}, terminal("j\n"));
  EXPECT_EQ(yes.code, 0) << describe(yes);
  EXPECT_NE(yes.out.find("Alle Werte wurden korrekt importiert!"), std::string::npos);
  EXPECT_EQ(table_counts(), full);
  ASSERT_EQ(noxplz({"sql", "DELETE FROM STR_DA WHERE 1 = 1"}).code, 0);
  yes = noxplz({"import", file, "--yes"}, piped("n\n"));
  EXPECT_EQ(yes.code, 0) << describe(yes);
  EXPECT_EQ(table_counts(), full);

  datafactory::GenOptions wrong_count;
  wrong_count.wrong_count_type = "PL";
  RunResult not_all = noxplz({"import", file_with(wrong_count, "zaehler.dat", 300), "--yes"});
  EXPECT_EQ(not_all.code, 3) << describe(not_all);
  EXPECT_NE(not_all.out.find("Es konnten nicht alle Werte korrekt importiert werden!"), std::string::npos);
  EXPECT_NE(not_all.out.find("Die bisherigen Postdaten bleiben unverändert erhalten."), std::string::npos)
      << describe(not_all);
  // The red file was not taken over: the database still holds the sound one.
  EXPECT_EQ(table_counts(), full);
  json report = noxplz_json({"verify"});
  EXPECT_EQ(report["alle_ok"], true) << report.dump();
}

TEST_F(CliTest, InterruptStopsTheImportVerifiesWhatArrivedAndKeepsTheOldData) {
  const std::string file = file_with({}, "gross.dat", 300000);
  RunOptions options;
  options.interrupt_after = "Datafactory-Daten werden importiert";
  options.timeout_seconds = 120;
  RunResult r = noxplz({"import", file, "--yes"}, options);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.code, 3) << describe(r);
  EXPECT_NE(r.err.find("Der Import wurde abgebrochen"), std::string::npos) << describe(r);
  EXPECT_NE(r.out.find("Es konnten nicht alle Werte korrekt importiert werden!"), std::string::npos);
  EXPECT_NE(r.err.find("Die bisherigen Postdaten bleiben unverändert erhalten."), std::string::npos) << describe(r);
  EXPECT_EQ(number("SELECT COUNT(*) AS n FROM STR_DA"), 0);
}

// Two imports on one database from two processes: the second is refused at
// once with a clear message, and the database holds the first file only.
TEST_F(CliTest, ASecondImportFromAnotherProcessIsRefusedAndNothingIsMixed) {
  const std::string big = file_with({}, "gross.dat", 150000);
  const std::string small = file_with({}, "klein.dat", 700);
  // The first is held in the middle of its reading while the second tries.
  RunResult second;
  RunOptions held;
  held.interrupt_after = "10 % gelesen";
  held.timeout_seconds = 240;
  held.on_text = [&](int pid) {
    ::kill(pid, SIGSTOP);
    second = noxplz({"import", small, "--yes"});
    ::kill(pid, SIGCONT);
  };
  RunResult first = noxplz({"import", big, "--yes"}, held);
  EXPECT_EQ(second.code, 1) << describe(second);
  EXPECT_NE(second.err.find("Auf diese Datenbank läuft bereits ein Import"), std::string::npos) << describe(second);
  EXPECT_EQ(first.code, 0) << describe(first);
  EXPECT_EQ(number("SELECT COUNT(*) AS n FROM STR_DA"), 150000);
  EXPECT_EQ(number("SELECT COUNT(*) AS n FROM PRUEF_DA WHERE Dateikennung = 'ST'") > 0, true);
  json report = noxplz_json({"verify"});
  EXPECT_EQ(report["alle_ok"], true) << report.dump();
}

// An import killed halfway (SIGKILL: no handler runs) leaves a database
// that opens, is sound, and holds the old data.
TEST_F(CliTest, AnImportKilledHalfwayLeavesTheOldDataSound) {
  import_ok(file_with({}, "alt.dat", 900));
  const std::string fingerprint =
      "SELECT COUNT(*) AS n, MIN(Name46) AS a, MAX(Name46) AS b, MIN(ALORT) AS c, MAX(PLZ) AS d, "
      "(SELECT COUNT(*) FROM PLZ_DA) AS p, (SELECT COUNT(*) FROM PRUEF_DA) AS x FROM STR_DA";
  const json before = noxplz_json({"sql", fingerprint});
  const std::string big = file_with({}, "gross.dat", 150000);
  // Halfway through the file; stopped at once, then killed without a chance to clean up.
  RunOptions killed;
  killed.interrupt_after = "50 % gelesen";
  killed.timeout_seconds = 240;
  killed.on_text = [&](int pid) {
    ::kill(pid, SIGSTOP);
    std::error_code ec;
    EXPECT_GT(fs::file_size(path("post.db") + "-wal", ec), 0u) << "the import had written";
    ::kill(pid, SIGKILL);
  };
  RunResult r = noxplz({"import", big, "--yes"}, killed);
  EXPECT_EQ(r.code, -1) << describe(r);
  EXPECT_EQ((r.out + r.err).find("Alle Werte wurden korrekt importiert!"), std::string::npos) << describe(r);

  json check = noxplz_json({"sql", "PRAGMA integrity_check"});
  ASSERT_TRUE(check.is_array() && !check.empty()) << check.dump();
  EXPECT_EQ(check[0].begin()->get<std::string>(), "ok");
  EXPECT_EQ(noxplz_json({"sql", fingerprint}), before);
  json report = noxplz_json({"verify"});
  EXPECT_EQ(report["alle_ok"], true) << report.dump();
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
  json places = noxplz_json({"orte", prefix});
  ASSERT_GE(places.size(), 2u);
  // A postal code with exactly one place, and another place's name.
  json codes = noxplz_json({"sql",
                            "SELECT TRIM(PLZ) AS plz, MIN(TRIM(ONAME)) AS ort FROM PLZ_DA GROUP BY PLZ "
                            "HAVING COUNT(DISTINCT ONAME) = 1 ORDER BY PLZ"});
  ASSERT_GE(codes.size(), 2u);
  const std::string plz = codes[0]["plz"], own = codes[0]["ort"];
  std::string other;
  for (const json& c : codes)
    if (other.empty() && c["ort"] != own) other = c["ort"];
  ASSERT_FALSE(other.empty());

  // Place 2 from the menu, then "Abbrechen" in the street list: the place's data stands.
  RunResult chosen = noxplz({"suche", "--ort", prefix}, terminal("2\n0\n"));
  EXPECT_EQ(chosen.code, 0) << describe(chosen);
  EXPECT_NE(chosen.out.find("Orts-Auswahl:"), std::string::npos) << describe(chosen);
  EXPECT_NE(chosen.out.find("Ort         " + places[1]["ort"].get<std::string>()), std::string::npos);

  const std::pair<std::vector<std::string>, std::string> unanswered[] = {
      {{"suche", "--ort", prefix}, "--auswahl"}, {{"suche", "--plz", plz, "--ort", other}, "--antwort"}};
  for (const auto& [args, option] : unanswered) {
    RunResult r = noxplz(args, piped());
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.code, 2) << describe(r);
    EXPECT_NE(r.err.find(option), std::string::npos) << describe(r);
  }

  json given = noxplz_json({"suche", "--ort", prefix, "--auswahl", "2", "--auswahl", "0"});
  EXPECT_EQ(given["ort"], places[1]["ort"]);
  EXPECT_EQ(given["geprueft"], true);
  // "Postleitzahl" is right: the place of the postal code is taken.
  json code_right = noxplz_json({"suche", "--plz", plz, "--ort", other, "--antwort", "P"});
  EXPECT_EQ(code_right["plz"], plz);
  EXPECT_EQ(code_right["ort"], own);
  EXPECT_EQ(code_right["geprueft"], true);
  EXPECT_EQ(noxplz_json({"suche", "--plz", plz, "--ort", other, "--antwort", "N"}, 3)["geprueft"], false);
}

TEST_F(CliTest, SplitterNeedsNoDatabase) {
  RunOptions here;
  here.cwd = dir_.string();
  json split = json::parse(run({"trenne", "Hauptstraße 12a", "--json"}, here).out);
  EXPECT_EQ(split["strasse"], "Hauptstraße");
  EXPECT_EQ(split["hausnummer"], "12a");
  RunResult kept = run({"trenne", "Hauptstraße", "--hausnummer", " 7 "}, here);
  EXPECT_EQ(kept.code, 0);
  EXPECT_NE(kept.out.find("Hausnummer  7\n"), std::string::npos) << describe(kept);
  EXPECT_FALSE(fs::exists(dir_ / "noxplz.db"));
}

TEST_F(CliTest, WrongCallsAndUnusableDatabasesGetGermanMessages) {
  fs::create_directories(dir_ / "ordner");
  const std::string text = "Dies ist eine Einkaufsliste.\n";
  std::ofstream(path("liste.txt")) << text;
  RunOptions no_screen;
  no_screen.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
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
    for (const std::string& t : c.any_of) shown |= r.err.find(t) != std::string::npos;
    EXPECT_TRUE(shown) << describe(r);
    for (const char* english : {"required", "not expected", "Could not convert", "not in", "excludes"})
      EXPECT_EQ(r.err.find(english), std::string::npos) << english << "\n" << describe(r);
  }
  // The file that is no postal database is left as it was.
  EXPECT_EQ(read_file(path("liste.txt")), text);
}

// The street list is a listing: a prefix that matches nothing gets a hint
// instead of a question, also at a terminal; --ja lists the whole place.
TEST_F(CliTest, StreetListWithoutMatchHintsInsteadOfAsking) {
  import_ok(file_with({}, "post.dat"));
  json places = noxplz_json({"sql",
                             "SELECT TRIM(ALORT) AS k, COUNT(*) AS n FROM STR_DA GROUP BY ALORT ORDER BY n DESC"});
  ASSERT_FALSE(places.empty());
  const std::string key = places[0]["k"];
  const long long sections = places[0]["n"];

  RunResult none = noxplz({"strassen", key, "Zzzz"}, piped());
  EXPECT_EQ(none.code, 3) << describe(none);
  EXPECT_EQ(none.out, "");
  EXPECT_NE(none.err.find("Keine Straße beginnt mit „Zzzz“"), std::string::npos) << describe(none);
  EXPECT_NE(none.err.find("Der Ort hat " + std::to_string(sections) + " Straßenabschnitte"), std::string::npos)
      << describe(none);
  // At a terminal (one stream for both outputs) nothing is asked either.
  RunResult at_terminal = noxplz({"strassen", key, "Zzzz"}, terminal(""));
  EXPECT_EQ(at_terminal.code, 3) << describe(at_terminal);
  EXPECT_FALSE(at_terminal.timed_out);
  EXPECT_NE(at_terminal.out.find("Straßenabschnitte: ohne PRÄFIX"), std::string::npos) << describe(at_terminal);

  json all = noxplz_json({"strassen", key, "Zzzz", "--ja"});
  EXPECT_EQ(static_cast<long long>(all.size()), sections);
  // An unknown place key points to where keys are found.
  RunResult unknown = noxplz({"strassen", "00000000", "A"});
  EXPECT_EQ(unknown.code, 3);
  EXPECT_NE(unknown.err.find("noxplz orte NAME"), std::string::npos) << describe(unknown);
}

TEST_F(CliTest, VersionIsTheProjectVersion) {
  for (const char* flag : {"--version", "-V"}) {
    RunResult r = run({flag}, piped());
    EXPECT_EQ(r.code, 0) << describe(r);
    EXPECT_EQ(r.out, std::string("noxplz ") + NOXPLZ_EXPECTED_VERSION + "\n") << describe(r);
  }
}

// What a script reads from suche, pruefe and ort: the verdict with its
// reason and German hint, exit code 3 for an address that is not verified,
// and an input holding "|" refused. Which postal code is right is decided
// by the address check and the searches, and pinned in their tests.
TEST_F(CliTest, AnswersCarryAReasonAndTheSeparatorIsRefused) {
  import_ok(file_with({}, "post.dat"));
  json rows = noxplz_json(
      {"sql",
       "SELECT TRIM(o.ONAME) AS ort, TRIM(s.NAME46) AS strasse, TRIM(s.HNRVON) AS nr, TRIM(s.PLZ) AS plz "
       "FROM STR_DA s JOIN ORT_DA o ON "
       "o.ALORT = s.ALORT WHERE COALESCE(TRIM(o.ALORT_NEU), '') = '' AND TRIM(s.HNRVON) <> '' AND "
       "(SELECT COUNT(*) FROM ORT_DA q WHERE q.ONAME = o.ONAME) = 1 ORDER BY o.ONAME, s.NAME46 LIMIT 1"});
  ASSERT_EQ(rows.size(), 1u);
  const std::string place = rows[0]["ort"], street = rows[0]["strasse"], nr = rows[0]["nr"], plz = rows[0]["plz"];
  const std::string address = street + " " + nr;
  for (const char* command : {"suche", "pruefe"}) {
    json right = noxplz_json({command, "--plz", plz, "--ort", place, "--strasse", address});
    EXPECT_EQ(right["geprueft"], true) << right.dump();
    EXPECT_EQ(right["grund"], "bestaetigt");
    EXPECT_EQ(right["plz"], plz);
    EXPECT_EQ(right["hausnummer"], nr);
    EXPECT_FALSE(right["hinweis"].get<std::string>().empty());
    json bar = noxplz_json({command, "--plz", plz + "|x", "--ort", place, "--strasse", address}, 3);
    EXPECT_EQ(bar["geprueft"], false) << bar.dump();
    EXPECT_EQ(bar["grund"], "eingabe_ungueltig") << bar.dump();
  }
  EXPECT_EQ(noxplz_json({"suche", "--plz", plz, "--ort", place, "--strasse", address})["strasse"], address);
  json own = noxplz_json({"ort", plz, place});
  EXPECT_EQ(own["geprueft"], true) << own.dump();
  EXPECT_EQ(own["grund"], "bestaetigt");
  json foreign = noxplz_json({"ort", plz, "Nirgendwo"}, 3);
  EXPECT_EQ(foreign["geprueft"], false) << foreign.dump();
  EXPECT_FALSE(foreign["hinweis"].get<std::string>().empty());
  RunResult bar_text = noxplz({"pruefe", "--plz", plz, "--ort", place + "|", "--strasse", address});
  EXPECT_EQ(bar_text.code, 3);
  EXPECT_NE(bar_text.out.find("Hinweis     Die Eingabe enthält das Zeichen „|“"), std::string::npos)
      << describe(bar_text);
}

TEST_F(CliTest, TextThatIsNoUtf8IsRefusedOrReplacedAndControlCharactersEscaped) {
  import_ok(file_with({}, "post.dat", 300));
  const std::string bad = "Gro\xc3 5";
  const std::vector<std::vector<std::string>> calls = {
      {"trenne", bad},
      {"trenne", "Hauptstr. 5", "--hausnummer", "\xff"},
      {"suche", "--ort", bad},
      {"suche", "--plz", "0\xe1", "--ort", "A"},
      {"pruefe", "--ort", "A", "--strasse", bad},
      {"pruefe", "--ort", "A", "--hausnummer", "1\xc0\xaf"},
      {"ort", "\xe1", "A"},
      {"ort", "01067", bad},
      {"orte", bad},
      {"strassen", "01\xff"},
      {"strassen", "01000000", bad},
      {"sql", "SELECT '" + bad + "' AS x"},
  };
  for (const auto& args : calls) {
    std::vector<std::string> with_json = args;
    with_json.push_back("--json");
    RunResult r = noxplz(with_json);
    EXPECT_EQ(r.code, 2) << describe(r);
    EXPECT_NE(r.err.find("kein gültiger UTF-8-Text"), std::string::npos) << describe(r);
    EXPECT_EQ(r.out, "") << describe(r);
  }
  // Data that is no UTF-8 or holds escape sequences, read back from the database.
  ASSERT_EQ(noxplz({"sql", "UPDATE ORT_DA SET ONAME = CAST(X'477261C3' AS TEXT) || CAST(X'1B5B324A' AS TEXT) || "
                           "'stadt' WHERE ALORT = (SELECT MIN(ALORT) FROM ORT_DA WHERE COALESCE(TRIM(ALORT_NEU), '') = '')"})
                .code,
            0);
  RunResult listed = noxplz({"orte", "Gra", "--json"});
  ASSERT_EQ(listed.code, 0) << describe(listed);
  json places = json::parse(listed.out);
  ASSERT_EQ(places.size(), 1u);
  EXPECT_EQ(places[0]["ort"], "Gra\xEF\xBF\xBD\x1b[2Jstadt");  // escaped by JSON itself
  RunResult table = noxplz({"orte", "Gra"});
  EXPECT_EQ(table.out.find('\x1b'), std::string::npos) << describe(table);
  EXPECT_NE(table.out.find("Gra\\xC3\\x1B[2Jstadt"), std::string::npos) << describe(table);
  RunResult sql = noxplz({"sql", "SELECT ONAME FROM ORT_DA WHERE ONAME LIKE 'Gra%'"});
  EXPECT_EQ(sql.out.find('\x1b'), std::string::npos) << describe(sql);
  // A file path that is no UTF-8 is a legitimate file name.
  const std::string odd_name = path("post\xe1.dat");
  fs::copy_file(path("post.dat"), odd_name);
  RunResult imported = noxplz({"import", odd_name, "--yes", "--json"});
  EXPECT_EQ(imported.code, 0) << describe(imported);
  EXPECT_NO_THROW(json::parse(imported.out)) << describe(imported);
}

TEST_F(CliTest, AFileWithoutPfAndOeRecordsIsAFullDelivery) {
  datafactory::GenOptions options;
  options.pf = 0;
  options.oe = 0;
  RunResult r = noxplz({"import", file_with(options, "ohne.dat", 500), "--yes", "--json"});
  ASSERT_EQ(r.code, 0) << describe(r);
  json report = json::parse(r.out);
  EXPECT_EQ(report["alle_ok"], true);
  EXPECT_EQ(report["meldung"], "Alle Werte wurden korrekt importiert!");
  for (const json& type : report["typen"]) {
    const bool delivered = type["typ"] != "PF" && type["typ"] != "OE";
    EXPECT_EQ(type["pruefung"], delivered ? "OK" : "nicht geliefert") << type.dump();
    EXPECT_EQ(type["ok"], true) << type.dump();
  }
  RunResult shown = noxplz({"verify"});
  EXPECT_EQ(shown.code, 0) << describe(shown);
  EXPECT_NE(shown.out.find("nicht geliefert"), std::string::npos) << describe(shown);
  // A delivered type with rows but no check record still fails.
  ASSERT_EQ(noxplz({"sql", "DELETE FROM PRUEF_DA WHERE Dateikennung = 'ST'"}).code, 0);
  json st = noxplz_json({"verify"}, 3);
  for (const json& type : st["typen"]) {
    if (type["typ"] == "ST") {
      EXPECT_EQ(type["pruefung"], "FEHLER");
    }
  }
}

}  // namespace
}  // namespace noxplz::cli_test
