// The noxplz program as a user meets it: generated file, import, lookups and
// searches, exit codes, questions at a terminal and without one.
#include <gtest/gtest.h>

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

constexpr const char* kTypes[8] = {"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"};
constexpr const char* kTables[8] = {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA", "OTL_DA", "POFA_DA", "PLZ_DA", "STR_DA"};

std::string describe(const RunResult& r) {
  return "exit " + std::to_string(r.code) + (r.timed_out ? " (Zeit abgelaufen)" : "") + "\n--- stdout\n" + r.out +
         "\n--- stderr\n" + r.err;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("noxplz_cli_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Runs noxplz on the test's database, in the test's directory, without colours.
  RunResult noxplz(std::vector<std::string> args, RunOptions options = {}) {
    args.insert(args.begin(), {"--db", path("post.db")});
    if (options.cwd.empty()) options.cwd = dir_.string();
    options.env["NO_COLOR"] = "1";
    return run(args, options);
  }

  json noxplz_json(std::vector<std::string> args, int expected_code = 0) {
    args.push_back("--json");
    RunResult r = noxplz(args);
    EXPECT_EQ(r.code, expected_code) << describe(r);
    try {
      return json::parse(r.out);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "keine JSON-Ausgabe: " << e.what() << "\n" << describe(r);
      return json();
    }
  }

  // One number from an ad-hoc statement.
  long long number(const std::string& sql) {
    json rows = noxplz_json({"sql", sql});
    if (!rows.is_array() || rows.empty()) return -1;
    return rows[0].begin()->get<long long>();
  }

  std::string file_with(const datafactory::GenOptions& options, const std::string& name) {
    datafactory::generate_file(path(name), options);
    return path(name);
  }

  void import_ok(const std::string& file) {
    RunResult r = noxplz({"import", file, "--yes"});
    ASSERT_EQ(r.code, 0) << describe(r);
  }

  std::vector<long long> table_counts() {
    std::vector<long long> counts;
    for (const char* t : kTables) counts.push_back(number(std::string("SELECT COUNT(*) AS n FROM ") + t));
    return counts;
  }

  fs::path dir_;
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
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(verified["typen"][i]["typ"], kTypes[i]);
    EXPECT_EQ(verified["typen"][i]["saetze"].get<long long>(), summary.records[kTypes[i]]) << kTypes[i];
    EXPECT_EQ(verified["typen"][i]["ok"], true) << kTypes[i];
  }

  // Every current place, and each one found again through its postal code.
  json places = noxplz_json({"orte", ""});
  ASSERT_TRUE(places.is_array());
  EXPECT_EQ(static_cast<long long>(places.size()),
            number("SELECT COUNT(*) AS n FROM ORT_DA WHERE COALESCE(TRIM(ALORT_NEU), '') = ''"));
  ASSERT_GE(places.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const std::string name = places[i]["ort"], plz = places[i]["plz"];
    json found = noxplz_json({"ort", plz, name});
    EXPECT_EQ(found["ort"], name) << plz;
  }

  // A place with a unique name and street sections with house numbers.
  json candidates = noxplz_json(
      {"sql",
       "SELECT TRIM(o.ONAME) AS ort, TRIM(o.ALORT) AS schluessel FROM ORT_DA o WHERE COALESCE(TRIM(o.ALORT_NEU), '') = '' "
       "AND (SELECT COUNT(*) FROM ORT_DA p WHERE p.ONAME = o.ONAME) = 1 AND (SELECT COUNT(*) FROM STR_DA s WHERE "
       "s.ALORT = o.ALORT AND TRIM(s.HNRVON) <> '') > 3 ORDER BY o.ONAME"});
  ASSERT_FALSE(candidates.empty());
  const std::string place = candidates[0]["ort"], key = candidates[0]["schluessel"];

  json streets = noxplz_json({"strassen", key});
  ASSERT_TRUE(streets.is_array());
  EXPECT_EQ(static_cast<long long>(streets.size()),
            number("SELECT COUNT(*) AS n FROM STR_DA WHERE ALORT = '" + key + "'"));
  json section;
  for (const json& s : streets)
    if (!s["hnr_von"].get<std::string>().empty()) {
      section = s;
      break;
    }
  ASSERT_FALSE(section.is_null());
  const std::string street = section["strasse"], nr = section["hnr_von"];
  // The street list narrowed by a prefix holds exactly the streets with that beginning.
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

TEST_F(CliTest, ImportExitCodesAndAnInvalidFileLeavesTheDatabaseUntouched) {
  datafactory::GenOptions small;
  small.st = 300;
  import_ok(file_with(small, "gut.dat"));
  const std::vector<long long> before = table_counts();

  RunResult missing = noxplz({"import", "fehlt.dat", "--yes"});
  EXPECT_EQ(missing.code, 2) << describe(missing);
  EXPECT_NE(missing.err.find("„fehlt.dat“ gibt es nicht"), std::string::npos) << describe(missing);

  datafactory::GenOptions header = small;
  header.header_line = true;
  RunResult invalid = noxplz({"import", file_with(header, "kopf.dat"), "--yes"});
  EXPECT_EQ(invalid.code, 2) << describe(invalid);
  EXPECT_NE(invalid.err.find("Dies ist keine gültige Datafactory-Datei!"), std::string::npos);
  EXPECT_NE(invalid.err.find("unverändert"), std::string::npos);
  EXPECT_EQ(table_counts(), before);
  EXPECT_EQ(noxplz({"verify"}).code, 0);

  datafactory::GenOptions wrong_count = small;
  wrong_count.wrong_count_type = "PL";
  RunResult not_all = noxplz({"import", file_with(wrong_count, "zaehler.dat"), "--yes"});
  EXPECT_EQ(not_all.code, 3) << describe(not_all);
  EXPECT_NE(not_all.out.find("Es konnten nicht alle Werte korrekt importiert werden!"), std::string::npos);
  json report = noxplz_json({"verify"}, 3);
  for (const json& type : report["typen"]) EXPECT_EQ(type["ok"], type["typ"] != "PL") << type.dump();
}

TEST_F(CliTest, WithoutTerminalTheDeletionQuestionFailsAtOnceNamingTheOption) {
  datafactory::GenOptions small;
  small.st = 200;
  const std::string file = file_with(small, "post.dat");
  import_ok(file);
  const std::vector<long long> before = table_counts();
  ASSERT_EQ(noxplz({"sql", "DELETE FROM STR_DA WHERE 1 = 1"}).code, 0);  // a change the next import would undo
  const std::vector<long long> changed = table_counts();

  RunOptions piped;
  piped.input = "j\n";  // typed ahead into a pipe: must not count as an answer
  piped.timeout_seconds = 20;
  RunResult r = noxplz({"import", file}, piped);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.code, 2) << describe(r);
  EXPECT_NE(r.err.find("kein Terminal"), std::string::npos) << describe(r);
  EXPECT_NE(r.err.find("--yes"), std::string::npos) << describe(r);
  EXPECT_EQ(table_counts(), changed);

  RunResult yes = noxplz({"import", file, "--yes"}, piped);
  EXPECT_EQ(yes.code, 0) << describe(yes);
  EXPECT_EQ(table_counts(), before);
}

TEST_F(CliTest, InterruptStopsTheImportAndTheVerificationShowsWhatArrived) {
  datafactory::GenOptions large;
  large.st = 300000;
  const std::string file = file_with(large, "gross.dat");
  RunOptions piped;
  piped.interrupt_after = "Datafactory-Daten werden importiert";
  piped.timeout_seconds = 120;
  RunResult r = noxplz({"import", file, "--yes"}, piped);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.code, 3) << describe(r);
  EXPECT_NE(r.err.find("Der Import wurde abgebrochen"), std::string::npos) << describe(r);
  EXPECT_NE(r.out.find("Es konnten nicht alle Werte korrekt importiert werden!"), std::string::npos);
  EXPECT_LT(number("SELECT COUNT(*) AS n FROM STR_DA"), 300000);
}

TEST_F(CliTest, AtATerminalTheQuestionsAreAsked) {
  datafactory::GenOptions small;
  small.st = 200;
  const std::string file = file_with(small, "post.dat");
  import_ok(file);
  ASSERT_EQ(noxplz({"sql", "DELETE FROM STR_DA WHERE 1 = 1"}).code, 0);
  const std::vector<long long> changed = table_counts();

  RunOptions tty;
  tty.terminal = true;
  tty.timeout_seconds = 30;
  tty.input = "vielleicht\nn\n";
  RunResult no = noxplz({"import", file}, tty);
  EXPECT_EQ(no.code, 2) << describe(no);
  EXPECT_NE(no.out.find("Weiter? [J]a/[N]ein:"), std::string::npos) << describe(no);
  EXPECT_NE(no.out.find("Bitte antworten Sie mit j (Ja) oder n (Nein)."), std::string::npos);
  EXPECT_EQ(table_counts(), changed);

  tty.input = "j\n";
  RunResult yes = noxplz({"import", file}, tty);
  EXPECT_EQ(yes.code, 0) << describe(yes);
  EXPECT_NE(yes.out.find("Alle Werte wurden korrekt importiert!"), std::string::npos);
  EXPECT_GT(table_counts()[7], 0);
}

TEST_F(CliTest, ChoiceListsAtATerminalWithAnswersGivenAndWithout) {
  import_ok(file_with(datafactory::GenOptions{}, "post.dat"));
  // A name beginning shared by several current places.
  json all = noxplz_json({"orte", ""});
  std::string prefix;
  for (size_t i = 0; i + 1 < all.size() && prefix.empty(); ++i) {
    std::string a = all[i]["ort"], b = all[i + 1]["ort"];
    if (a.substr(0, 3) == b.substr(0, 3)) prefix = a.substr(0, 3);
  }
  ASSERT_FALSE(prefix.empty());
  json places = noxplz_json({"orte", prefix});
  ASSERT_GE(places.size(), 2u);

  // Place 2 from the menu, then "Abbrechen" in the street list: the place's data stands.
  RunOptions tty;
  tty.terminal = true;
  tty.timeout_seconds = 30;
  tty.input = "2\n0\n";
  RunResult chosen = noxplz({"suche", "--ort", prefix}, tty);
  EXPECT_EQ(chosen.code, 0) << describe(chosen);
  EXPECT_NE(chosen.out.find("Orts-Auswahl:"), std::string::npos) << describe(chosen);
  EXPECT_NE(chosen.out.find("  0  Abbrechen"), std::string::npos);
  EXPECT_NE(chosen.out.find("Ort         " + places[1]["ort"].get<std::string>()), std::string::npos)
      << describe(chosen);

  RunOptions piped;
  piped.timeout_seconds = 20;
  RunResult unanswered = noxplz({"suche", "--ort", prefix}, piped);
  EXPECT_FALSE(unanswered.timed_out);
  EXPECT_EQ(unanswered.code, 2) << describe(unanswered);
  EXPECT_NE(unanswered.err.find("--auswahl"), std::string::npos) << describe(unanswered);

  json given = noxplz_json({"suche", "--ort", prefix, "--auswahl", "2", "--auswahl", "0"});
  EXPECT_EQ(given["ort"], places[1]["ort"]);
  EXPECT_EQ(given["geprueft"], true);
}

TEST_F(CliTest, MismatchQuestionAnsweredByLetter) {
  import_ok(file_with(datafactory::GenOptions{}, "post.dat"));
  // A postal code with exactly one place, and another place's name.
  json codes = noxplz_json({"sql",
                            "SELECT TRIM(PLZ) AS plz, MIN(TRIM(ONAME)) AS ort FROM PLZ_DA GROUP BY PLZ "
                            "HAVING COUNT(DISTINCT ONAME) = 1 ORDER BY PLZ"});
  ASSERT_GE(codes.size(), 2u);
  const std::string plz = codes[0]["plz"], own = codes[0]["ort"];
  std::string other;
  for (const json& c : codes)
    if (c["ort"] != own) {
      other = c["ort"];
      break;
    }
  ASSERT_FALSE(other.empty());

  RunOptions piped;
  piped.timeout_seconds = 20;
  RunResult unanswered = noxplz({"suche", "--plz", plz, "--ort", other}, piped);
  EXPECT_EQ(unanswered.code, 2) << describe(unanswered);
  EXPECT_NE(unanswered.err.find("--antwort"), std::string::npos) << describe(unanswered);

  // "Postleitzahl" is right: the place of the postal code is taken.
  json code_right = noxplz_json({"suche", "--plz", plz, "--ort", other, "--antwort", "P"});
  EXPECT_EQ(code_right["plz"], plz);
  EXPECT_EQ(code_right["ort"], own);
  EXPECT_EQ(code_right["geprueft"], true);

  // "Nein": the address stays unverified.
  json neither = noxplz_json({"suche", "--plz", plz, "--ort", other, "--antwort", "N"}, 3);
  EXPECT_EQ(neither["geprueft"], false);
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
  RunResult unknown = noxplz({"suchen"});
  EXPECT_EQ(unknown.code, 2) << describe(unknown);
  EXPECT_NE(unknown.err.find("Fehler im Aufruf"), std::string::npos);

  RunResult nothing = noxplz({"suche", "--strasse", "Hauptstr. 1"});
  EXPECT_EQ(nothing.code, 2) << describe(nothing);
  EXPECT_NE(nothing.err.find("--plz oder --ort"), std::string::npos);

  fs::create_directories(dir_ / "ordner");
  RunResult directory = run({"--db", path("ordner"), "orte", "A"});
  EXPECT_EQ(directory.code, 1) << describe(directory);
  EXPECT_NE(directory.err.find("ist ein Verzeichnis"), std::string::npos);

  // A file that is no postal database is reported and left as it was.
  const std::string text = "Dies ist eine Einkaufsliste.\n";
  std::ofstream(path("liste.txt")) << text;
  RunResult foreign = run({"--db", path("liste.txt"), "orte", "A"});
  EXPECT_EQ(foreign.code, 1) << describe(foreign);
  EXPECT_NE(foreign.err.find("keine Postdatenbank"), std::string::npos) << describe(foreign);
  std::ifstream back(path("liste.txt"));
  std::string content((std::istreambuf_iterator<char>(back)), {});
  EXPECT_EQ(content, text);

  RunResult provider = run({"--connection", "Provider=Unbekannt;Data Source=x", "orte", "A"});
  EXPECT_EQ(provider.code, 1) << describe(provider);
  EXPECT_NE(provider.err.find("--connection"), std::string::npos) << describe(provider);

  RunOptions no_screen;
  no_screen.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  RunResult dialog = noxplz({"dialog"}, no_screen);
  EXPECT_EQ(dialog.code, 1) << describe(dialog);
  EXPECT_TRUE(dialog.err.find("Kein Bildschirm") != std::string::npos ||
              dialog.err.find("ohne Qt gebaut") != std::string::npos)
      << describe(dialog);
}

}  // namespace
}  // namespace noxplz::cli_test
