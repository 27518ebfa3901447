// noxplz pruefe-liste and the command line as the shell expects it: a list
// made from a generated and imported delivery, written as spreadsheet
// programs write it, checked line by line; German call errors; strassen by
// place name; addresses from standard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "batch/csv.h"
#include "cli_runner.h"
#include "datafactory_gen.h"

namespace noxplz::cli_test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// UTF-8 to Windows-1252 for the German letters the tests use.
std::string to_windows1252(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xC3 && i + 1 < utf8.size()) {
      out += static_cast<char>(static_cast<unsigned char>(utf8[++i]) + 0x40);
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

// The name with its first lower-case ASCII letter after the second character left out.
std::string drop_letter(std::string name) {
  for (size_t i = 2; i < name.size(); ++i)
    if (name[i] >= 'a' && name[i] <= 'z') return name.erase(i, 1);
  return name;
}

// A field of a ";" list, quoted as a spreadsheet program quotes it.
std::string cell(const std::string& s) {
  if (s.find_first_of(";\"\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The rows of the ";" output of pruefe-liste, read back as the list check reads lists.
std::vector<std::vector<std::string>> parse_output(const std::string& bytes) {
  std::istringstream in(bytes);
  batch::CsvReader reader(in);
  std::vector<std::vector<std::string>> rows;
  for (batch::CsvRecord r; reader.next(r);) rows.push_back(r.fields);
  return rows;
}

class ListCliTest : public CliFixture {
 protected:
  json rows(const std::string& sql) { return noxplz_json({"sql", sql}); }
  // The delivery of seed 11, imported.
  void import_generated(int64_t st = 3000) {
    datafactory::GenOptions o;
    o.seed = 11;
    import_ok(file_with(o, "post.dat", st));
  }
};

// A place of the generated data with a name no other current place carries.
constexpr const char* kUniqueCurrentPlace =
    "COALESCE(TRIM(o.ALORT_NEU), '') = '' AND (SELECT COUNT(*) FROM ORT_DA p WHERE p.ONAME = o.ONAME) = 1";

// A list from the generated data, written as a spreadsheet program writes
// it: the output file with its header, the input columns as given and the
// result columns; the line that is no address reported on stderr. Which
// status each address gets is pinned in the list check's own tests.
TEST_F(ListCliTest, AListFromTheGeneratedDataGetsEveryStatusAndItsCorrection) {
  import_generated();

  // A street whose sections carry different postal codes by house number.
  json split = rows(std::string(
      "SELECT TRIM(o.ONAME) AS ort, TRIM(s.NAME46) AS strasse, TRIM(s.PLZ) AS plz, TRIM(s.HNRVON) AS von, "
      "TRIM(s.HNR_TYP) AS typ FROM STR_DA s JOIN ORT_DA o ON o.ALORT = s.ALORT WHERE ") + kUniqueCurrentPlace +
      " AND TRIM(s.HNRVON) <> '' AND (SELECT COUNT(DISTINCT t.PLZ) FROM STR_DA t WHERE t.ALORT = s.ALORT AND "
      "t.NAME46 = s.NAME46) > 1 AND (SELECT COUNT(*) FROM STR_DA u WHERE u.ALORT = s.ALORT AND u.NAME46 = s.NAME46) = "
      "(SELECT COUNT(DISTINCT u.PLZ) FROM STR_DA u WHERE u.ALORT = s.ALORT AND u.NAME46 = s.NAME46) "
      "ORDER BY o.ONAME, s.NAME46, CAST(TRIM(s.HNRVON) AS INTEGER)");
  ASSERT_GE(split.size(), 2u) << split.dump();
  const std::string split_place = split[0]["ort"], split_street = split[0]["strasse"];
  const std::string first_code = split[0]["plz"], second_code = split[1]["plz"];
  ASSERT_EQ(split[1]["strasse"], split_street);
  ASSERT_NE(first_code, second_code);
  std::string second_number = split[1]["von"];

  struct Line {
    std::string kunde, plz, ort, strasse, nr;
    std::string status, plz_neu;
  };
  const std::vector<Line> lines = {
      {"right", second_code, split_place, split_street, second_number, "geprueft", second_code},
      {"section", first_code, split_place, split_street, second_number, "korrigiert", second_code},
      {"nothing", "99999", "Nirgendwo", "Irgendweg", "1", "unbekannt", ""},
      {"Kunde; mit \"Semikolon\"", second_code, split_place, split_street, second_number, "geprueft", second_code},
  };
  std::string csv = "Kunde;PLZ;Ort;Straße;Hausnummer\r\n";
  for (const Line& l : lines) csv += cell(l.kunde) + ";" + l.plz + ";" + cell(l.ort) + ";" + cell(l.strasse) + ";" + l.nr + "\r\n";
  csv += "Diese Zeile ist keine Adresse\r\n";
  std::ofstream(path("kunden.csv"), std::ios::binary) << "\xEF\xBB\xBF" << csv;

  RunResult r = noxplz({"pruefe-liste", "kunden.csv", "--ausgabe", "ergebnis.csv"});
  ASSERT_EQ(r.code, 0) << describe(r);
  EXPECT_NE(r.err.find("Zeile " + std::to_string(lines.size() + 2) + ":"), std::string::npos) << describe(r);
  EXPECT_NE(r.err.find("geprueft"), std::string::npos);
  EXPECT_EQ(r.out, "");
  const std::string bytes = read_file(path("ergebnis.csv"));
  ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF" "Kunde;PLZ;Ort;Straße;Hausnummer;Status;PLZ_neu;Ort_neu;Strasse_neu;"
                        "Hausnummer_neu;Grund;Vorschlaege\r\n", 0), 0u) << bytes;
  auto out = parse_output(bytes);
  ASSERT_EQ(out.size(), lines.size() + 2) << bytes;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    const auto& row = out[i + 1];
    SCOPED_TRACE(l.kunde + ": " + bytes);
    ASSERT_EQ(row.size(), 12u);
    EXPECT_EQ(row[0], l.kunde);
    EXPECT_EQ(row[1], l.plz);  // input columns unchanged
    EXPECT_EQ(row[5], l.status);
    EXPECT_EQ(row[6], l.plz_neu);
    if (!l.plz_neu.empty()) {
      EXPECT_EQ(row[7], split_place);
      EXPECT_EQ(row[8], split_street);
      EXPECT_EQ(row[9], second_number);
    }
  }
  EXPECT_EQ(out.back()[0], "Diese Zeile ist keine Adresse");
  EXPECT_EQ(out.back()[5], "fehlerhaft");

  // The same list from a spreadsheet in Windows-1252, read from standard input, result to standard output.
  RunOptions piped;
  piped.input = to_windows1252(csv);
  RunResult again = noxplz({"pruefe-liste", "-"}, piped);
  ASSERT_EQ(again.code, 0) << describe(again);
  EXPECT_EQ(again.out, bytes);
  EXPECT_NE(again.err.find("Windows-1252"), std::string::npos) << again.err;
  EXPECT_EQ(again.err.find("\r"), std::string::npos);  // no progress line without a terminal
}

TEST_F(ListCliTest, WrongCallsOfTheListCheckLoseNothing) {
  import_generated(300);
  std::ofstream(path("namen.csv")) << "Name;Telefon\nMüller;123\n";
  std::ofstream(path("liste.csv")) << "PLZ;Ort\n01067;Dresden\n";
  const std::string before = read_file(path("liste.csv"));
  struct Call {
    std::vector<std::string> args;
    std::string shown;
  };
  const Call calls[] = {
      {{"pruefe-liste", "fehlt.csv"}, "gibt es nicht"},
      {{"pruefe-liste", "namen.csv"}, "keine Adressspalte"},
      {{"pruefe-liste", "liste.csv", "--ausgabe", "liste.csv"}, "Eingabedatei selbst"},
      {{"pruefe-liste", "liste.csv", "--kodierung", "ebcdic"}, "kennt noxplz nicht"},
      {{"pruefe-liste", "liste.csv", "--spalten", "land=2"}, "Das Feld „land“ gibt es nicht"},
      {{"pruefe-liste", "liste.csv", "--threads", "0"}, "--threads"},
  };
  for (const Call& c : calls) {
    RunResult r = noxplz(c.args);
    EXPECT_EQ(r.code, 2) << describe(r);
    EXPECT_NE(r.err.find(c.shown), std::string::npos) << describe(r);
  }
  EXPECT_EQ(read_file(path("liste.csv")), before);
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().find("noxplz-tmp"), std::string::npos) << entry.path();
}

TEST_F(ListCliTest, HelpInGermanWithAlignedColumns) {
  // No type tokens, columns aligned by characters even after ä and ß.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"strassen", "--help"}, {"pruefe-liste", "--help"}}) {
    RunResult help = run(args, {});
    EXPECT_EQ(help.code, 0) << describe(help);
    for (const char* token : {" TEXT", " UINT", " INT", "[Option", "REQUIRED"})
      EXPECT_EQ(help.out.find(token), std::string::npos) << token << "\n" << help.out;
    std::istringstream lines(help.out);
    std::string line;
    std::map<size_t, int> description_columns;
    while (std::getline(lines, line)) {
      if (line.rfind("  ", 0) != 0 || line.size() < 4 || line[2] == ' ') continue;
      // The description starts after the name and at least two blanks: count characters, not bytes.
      const size_t gap = line.find("  ", 2);
      if (gap == std::string::npos) continue;
      size_t start = line.find_first_not_of(' ', gap);
      size_t chars = 0;
      for (size_t i = 0; i < start; ++i) chars += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
      ++description_columns[chars];
    }
    EXPECT_EQ(description_columns.size(), 1u) << help.out;
  }
}

TEST_F(ListCliTest, StreetsByPlaceNameAndPlacesWithoutPrefix) {
  import_generated(300);
  json unique = rows(std::string("SELECT TRIM(o.ONAME) AS ort, TRIM(o.ALORT) AS schluessel FROM ORT_DA o WHERE ") +
                     kUniqueCurrentPlace + " AND (SELECT COUNT(*) FROM STR_DA s WHERE s.ALORT = o.ALORT) > 0 "
                     "ORDER BY o.ONAME");
  ASSERT_FALSE(unique.empty());
  const std::string place = unique[0]["ort"], key = unique[0]["schluessel"];
  json by_name = noxplz_json({"strassen", place});
  json by_key = noxplz_json({"strassen", "--alort", key});
  EXPECT_FALSE(by_name.empty());
  EXPECT_EQ(by_name, by_key);
  EXPECT_EQ(noxplz_json({"strassen", key}), by_key);  // eight digits are a key as before
  // An unknown place is named, with the places of a similar name.
  const std::string typo = drop_letter(place);
  RunResult unknown = noxplz({"strassen", typo});
  EXPECT_EQ(unknown.code, 3) << describe(unknown);
  EXPECT_NE(unknown.err.find("Kein aktueller Ort heißt „" + typo + "“"), std::string::npos) << describe(unknown);

  // A name of several places: the choice, answered in advance.
  json twins = rows(
      "SELECT TRIM(ONAME) AS ort FROM ORT_DA WHERE COALESCE(TRIM(ALORT_NEU), '') = '' GROUP BY ONAME "
      "HAVING COUNT(*) > 1 ORDER BY ONAME");
  if (!twins.empty()) {
    const std::string twin = twins[0]["ort"];
    RunResult asked = noxplz({"strassen", twin});
    EXPECT_EQ(asked.code, 2) << describe(asked);
    EXPECT_NE(asked.err.find("--auswahl"), std::string::npos) << describe(asked);
    RunResult chosen = noxplz({"strassen", twin, "--auswahl", "1", "--json"});
    EXPECT_TRUE(chosen.code == 0 || chosen.code == 3) << describe(chosen);
  }

  // orte without a prefix: every current place.
  json all = noxplz_json({"orte"});
  json count = rows("SELECT COUNT(*) AS n FROM ORT_DA WHERE COALESCE(TRIM(ALORT_NEU), '') = ''");
  EXPECT_EQ(static_cast<long long>(all.size()), count[0]["n"].get<long long>());
  // A misspelled prefix: nothing found, places of a similar name suggested.
  RunResult typo_orte = noxplz({"orte", typo});
  EXPECT_EQ(typo_orte.code, 3);
  EXPECT_NE(typo_orte.err.find("Meinten Sie: "), std::string::npos) << describe(typo_orte);
  EXPECT_NE(typo_orte.err.find(place), std::string::npos) << describe(typo_orte);
  json suggested = noxplz_json({"orte", typo}, 3);
  ASSERT_FALSE(suggested.empty());
  EXPECT_EQ(suggested[0]["vorschlag"], true);
}

TEST_F(ListCliTest, PruefeReadsAddressesFromStandardInput) {
  import_generated(300);
  json plain = rows(std::string(
      "SELECT TRIM(o.ONAME) AS ort, TRIM(s.NAME46) AS strasse, TRIM(s.PLZ) AS plz FROM STR_DA s JOIN ORT_DA o ON "
      "o.ALORT = s.ALORT WHERE ") + kUniqueCurrentPlace +
      " AND TRIM(s.HNRVON) = '' AND (SELECT COUNT(*) FROM STR_DA t WHERE t.ALORT = s.ALORT AND t.NAME46 = s.NAME46) "
      "= 1 ORDER BY o.ONAME, s.NAME46");
  ASSERT_FALSE(plain.empty());
  const std::string place = plain[0]["ort"], street = plain[0]["strasse"], code = plain[0]["plz"];
  RunOptions input;
  input.input = code + ";" + place + ";" + street + " 7\r\n" +  // the spreadsheet form
                "\n" +                                         // blank lines are skipped
                street + " 7, " + code + " " + place + "\n" +   // free text
                street + " 7, " + place + "\n" +                // no postal code: either order
                place + ", " + street + " 7\n" +
                "99999 Nirgendwo\n";
  RunResult r = noxplz({"pruefe", "--json"}, input);
  EXPECT_EQ(r.code, 3) << describe(r);  // not every address is right
  json out = json::parse(r.out);
  ASSERT_EQ(out.size(), 5u) << r.out;
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(out[i]["status"], "geprueft") << out[i].dump();
    EXPECT_EQ(out[i]["plz"], code);
    EXPECT_EQ(out[i]["ort"], place);
    EXPECT_EQ(out[i]["strasse"], street);
    EXPECT_EQ(out[i]["hausnummer"], "7");
    EXPECT_EQ(out[i]["geprueft"], true);
  }
  for (size_t i = 2; i < 4; ++i) {  // the postal code filled in
    EXPECT_EQ(out[i]["status"], "korrigiert") << out[i].dump();
    EXPECT_EQ(out[i]["plz"], code);
    EXPECT_EQ(out[i]["ort"], place);
    EXPECT_EQ(out[i]["strasse"], street);
  }
  EXPECT_EQ(out[4]["status"], "unbekannt");
  EXPECT_EQ(out[4]["geprueft"], false);

  RunResult text = noxplz({"pruefe"}, input);
  EXPECT_NE(text.out.find("geprueft    " + code + " " + place + ", " + street + " 7\n"), std::string::npos)
      << describe(text);
  RunOptions one;
  one.input = code + ";" + place + ";" + street + "\n";
  EXPECT_EQ(noxplz({"pruefe"}, one).code, 0);
  RunOptions nothing;
  nothing.input = "\n";
  RunResult empty = noxplz({"pruefe"}, nothing);
  EXPECT_EQ(empty.code, 2);
  EXPECT_NE(empty.err.find("keine Adresse"), std::string::npos) << describe(empty);
}

}  // namespace
}  // namespace noxplz::cli_test
