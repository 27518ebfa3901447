// noxplz pruefe-liste and pruefe on standard input as the shell meets them:
// files written as spreadsheet programs write them, German call errors, the
// help. Which status each address gets is pinned in the
// list check's own tests; here the files, streams and messages around it.
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
    if (static_cast<unsigned char>(utf8[i]) == 0xC3 && i + 1 < utf8.size())
      out += static_cast<char>(static_cast<unsigned char>(utf8[++i]) + 0x40);
    else
      out += utf8[i];
  }
  return out;
}

class ListCliTest : public CliFixture {
 protected:
  json rows(const std::string& sql) { return noxplz_json({"sql", sql}); }
  // The delivery of seed 11 imported; a street of one section without house
  // numbers in a place whose name no other current place carries.
  void SetUp() override {
    CliFixture::SetUp();
    import_ok(file_with(gen([](auto& o) { o.seed = 11; }), "post.dat", 300));
    json plain = rows(
        "SELECT TRIM(o.ONAME) AS ort, TRIM(s.NAME46) AS strasse, TRIM(s.PLZ) AS plz FROM STR_DA s JOIN ORT_DA o ON "
        "o.ALORT = s.ALORT WHERE COALESCE(TRIM(o.ALORT_NEU), '') = '' AND (SELECT COUNT(*) FROM ORT_DA p WHERE "
        "p.ONAME = o.ONAME) = 1 AND TRIM(s.HNRVON) = '' AND (SELECT COUNT(*) FROM STR_DA t WHERE t.ALORT = s.ALORT "
        "AND t.NAME46 = s.NAME46) = 1 ORDER BY o.ONAME, s.NAME46");
    ASSERT_FALSE(plain.empty());
    place_ = plain[0]["ort"], street_ = plain[0]["strasse"], code_ = plain[0]["plz"];
  }
  std::string place_, street_, code_;
};

// The output file with its header, the input columns as given (a quoted
// ";" too) and the result columns; the line that is no address reported on
// stderr with its line number; the same list in Windows-1252 through the
// standard streams gives the same bytes.
TEST_F(ListCliTest, AListFromTheGeneratedDataGetsEveryStatusAndItsCorrection) {
  struct Line {
    std::string kunde, plz, status;
  };
  const Line lines[] = {{"right", code_, "geprueft"},
                        {"no code", "", "korrigiert"},
                        {"Kunde; mit \"Semikolon\"", code_, "geprueft"}};
  const std::string address = ";" + place_ + ";" + street_ + ";\r\n";
  const std::string csv = "Kunde;PLZ;Ort;Straße;Hausnummer\r\nright;" + code_ + address + "no code;" + address +
                          "\"Kunde; mit \"\"Semikolon\"\"\";" + code_ + address + "Diese Zeile ist keine Adresse\r\n";
  std::ofstream(path("kunden.csv"), std::ios::binary) << "\xEF\xBB\xBF" << csv;

  RunResult r = noxplz({"pruefe-liste", "kunden.csv", "--ausgabe", "ergebnis.csv"});
  ASSERT_EQ(r.code, 0) << describe(r);
  EXPECT_NE(r.err.find("Zeile " + std::to_string(std::size(lines) + 2) + ":"), std::string::npos) << describe(r);
  EXPECT_EQ(r.out, "");
  const std::string bytes = read_file(path("ergebnis.csv"));
  ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF" "Kunde;PLZ;Ort;Straße;Hausnummer;Status;PLZ_neu;Ort_neu;Strasse_neu;"
                        "Hausnummer_neu;Grund;Vorschlaege\r\n", 0), 0u) << bytes;
  std::istringstream in(bytes);
  batch::CsvReader reader(in);
  std::vector<std::vector<std::string>> out;
  for (batch::CsvRecord record; reader.next(record);) out.push_back(record.fields);
  ASSERT_EQ(out.size(), std::size(lines) + 2) << bytes;
  for (size_t i = 0; i < std::size(lines); ++i) {
    const auto& row = out[i + 1];
    SCOPED_TRACE(lines[i].kunde + ": " + bytes);
    ASSERT_EQ(row.size(), 12u);
    EXPECT_EQ(row[0], lines[i].kunde);
    EXPECT_EQ(row[1], lines[i].plz);  // input columns unchanged
    EXPECT_EQ(row[5], lines[i].status);
    EXPECT_EQ(row[6] + "|" + row[7] + "|" + row[8], code_ + "|" + place_ + "|" + street_);
  }
  EXPECT_EQ(out.back()[5], "fehlerhaft");

  RunResult again = noxplz({"pruefe-liste", "-"}, {.input = to_windows1252(csv)});
  ASSERT_EQ(again.code, 0) << describe(again);
  EXPECT_EQ(again.out, bytes);
  EXPECT_NE(again.err.find("Windows-1252"), std::string::npos) << again.err;
  EXPECT_EQ(again.err.find("\r"), std::string::npos);  // no progress line without a terminal
}

TEST_F(ListCliTest, WrongCallsOfTheListCheckLoseNothing) {
  std::ofstream(path("namen.csv")) << "Name;Telefon\nMüller;123\n";
  std::ofstream(path("liste.csv")) << "PLZ;Ort\n01067;Dresden\n";
  const std::string before = read_file(path("liste.csv"));
  const std::pair<std::vector<std::string>, std::string> calls[] = {
      {{"pruefe-liste", "fehlt.csv"}, "gibt es nicht"},
      {{"pruefe-liste", "namen.csv"}, "keine Adressspalte"},
      {{"pruefe-liste", "liste.csv", "--ausgabe", "liste.csv"}, "Eingabedatei selbst"},
      {{"pruefe-liste", "liste.csv", "--kodierung", "ebcdic"}, "kennt noxplz nicht"},
      {{"pruefe-liste", "liste.csv", "--spalten", "land=2"}, "Das Feld „land“ gibt es nicht"},
      {{"pruefe-liste", "liste.csv", "--threads", "0"}, "--threads"},
      // Standard input without a single address.
      {{"pruefe"}, "keine Adresse"},
  };
  for (const auto& [args, shown] : calls) {
    RunResult r = noxplz(args, {.input = "\n"});
    EXPECT_EQ(r.code, 2) << describe(r);
    EXPECT_NE(r.err.find(shown), std::string::npos) << describe(r);
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
    std::map<size_t, int> description_columns;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("  ", 0) != 0 || line.size() < 4 || line[2] == ' ') continue;
      // The description starts after the name and at least two blanks: count characters, not bytes.
      const size_t gap = line.find("  ", 2);
      if (gap == std::string::npos) continue;
      size_t start = line.find_first_not_of(' ', gap), chars = 0;
      for (size_t i = 0; i < start; ++i) chars += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
      ++description_columns[chars];
    }
    EXPECT_EQ(description_columns.size(), 1u) << help.out;
  }
}

// pruefe reads one address a line from standard input, in the spreadsheet
// form or as free text; exit code 3 when not every address is right.
TEST_F(ListCliTest, PruefeReadsAddressesFromStandardInput) {
  const std::string input = code_ + ";" + place_ + ";" + street_ + " 7\r\n" +  // the spreadsheet form
                            "\n" +                                            // blank lines are skipped
                            street_ + " 7, " + code_ + " " + place_ + "\n" +   // free text
                            street_ + " 7, " + place_ + "\n" +                 // no postal code: either order
                            place_ + ", " + street_ + " 7\n" + "99999 Nirgendwo\n";
  RunResult r = noxplz({"pruefe", "--json"}, {.input = input});
  EXPECT_EQ(r.code, 3) << describe(r);
  json out = json::parse(r.out);
  ASSERT_EQ(out.size(), 5u) << r.out;
  const char* const statuses[] = {"geprueft", "geprueft", "korrigiert", "korrigiert"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(out[i]["status"], statuses[i]) << out[i].dump();
    EXPECT_EQ(out[i]["plz"].get<std::string>() + "|" + out[i]["ort"].get<std::string>() + "|" +
                  out[i]["strasse"].get<std::string>(), code_ + "|" + place_ + "|" + street_);
  }
  EXPECT_EQ(out[0]["hausnummer"], "7");
  EXPECT_EQ(out[4]["status"], "unbekannt");
  EXPECT_EQ(out[4]["geprueft"], false);

  RunResult text = noxplz({"pruefe"}, {.input = input});
  EXPECT_NE(text.out.find("geprueft    " + code_ + " " + place_ + ", " + street_ + " 7\n"), std::string::npos)
      << describe(text);
  EXPECT_EQ(noxplz({"pruefe"}, {.input = code_ + ";" + place_ + ";" + street_ + "\n"}).code, 0);
}

}  // namespace
}  // namespace noxplz::cli_test
