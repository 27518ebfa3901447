#include "batch/list_check.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "testing/postal_fixture.h"
#include "testing/temp_database.h"

namespace noxplz::batch {
namespace {

using Fields = std::vector<std::string>;

// A checked list: the header and the lines as read back, with the problems reported.
struct Checked {
  Fields header;
  std::vector<Fields> rows;
  ListSummary summary;
  std::map<int64_t, std::string> problems;
  std::string bytes;

  // The result columns of line `i` (0 = first line after the header).
  std::string status(size_t i) const { return rows.at(i).at(header.size() - 7); }
  std::string column(size_t i, const std::string& name) const {
    for (size_t c = 0; c < header.size(); ++c)
      if (header[c] == name) return rows.at(i).at(c);
    return "?";
  }
};

class ListCheck : public ::testing::Test {
 protected:
  ListCheck() {
    testing::fill_postal_fixture(db_);
    db_.count("ORT_DA");  // ends the group of inserts, so other connections see them
  }

  Checked check(const std::string& input, int threads = 2, std::string columns = {}) {
    std::istringstream in(input);
    CsvReader reader(in);
    std::ostringstream out;
    ListRunOptions o;
    o.connection_string = db_.connection_string();
    o.threads = threads;
    o.columns = std::move(columns);
    Checked c;
    o.problem = [&](int64_t line, const std::string& message) { c.problems[line] = message; };
    c.summary = check_list(reader, out, o);
    c.bytes = out.str();
    std::istringstream back(c.bytes);
    CsvReader result(back);
    CsvRecord r;
    EXPECT_TRUE(result.next(r));
    c.header = r.fields;
    while (result.next(r)) c.rows.push_back(r.fields);
    return c;
  }

  testing::TempDatabase db_;
};

TEST_F(ListCheck, EachStatusWithItsCorrection) {
  Checked c = check(
      "Kunde;PLZ;Ort;Straße;Hausnummer\r\n"
      "1;10115;Berlin;Lindenweg;3\r\n"          // right as given
      "2;10117;berlin;LINDENWEG;3\r\n"          // the postal code of another street
      "3;;Berlni;Bahnhofstraße;1\r\n"           // misspelled place, no postal code
      "4;10117;Berlin;Hauptstr.;5\r\n"          // house number 5 lies in the 10115 section
      "5;99999;Nirgendwo;Irgendweg;1\r\n"       // nothing of it exists
      "6;;Frankfurt;;\r\n"                      // two places of that name
      "\"7; mit Semikolon\";10115;Berlin;\"Lindenweg\";\"3\"\r\n"
      "Das ist keine Adresse\r\n"
      "8;;Berlin;Hauptstr.;\r\n"                // a street with two postal codes, no house number
      "9;10115;Berlin;Lindenwg;3\r\n");          // misspelled street
  ASSERT_EQ(c.rows.size(), 10u) << c.bytes;
  EXPECT_EQ(c.header, (Fields{"Kunde", "PLZ", "Ort", "Straße", "Hausnummer", "Status", "PLZ_neu", "Ort_neu",
                              "Strasse_neu", "Hausnummer_neu", "Grund", "Vorschlaege"}));
  EXPECT_EQ(c.status(0), "geprueft");
  EXPECT_EQ(c.column(0, "PLZ_neu"), "10115");
  EXPECT_EQ(c.column(0, "Strasse_neu"), "Lindenweg");

  EXPECT_EQ(c.status(1), "korrigiert");
  EXPECT_EQ(c.column(1, "PLZ_neu"), "10115");
  EXPECT_EQ(c.column(1, "Ort_neu"), "Berlin");

  EXPECT_EQ(c.status(2), "korrigiert");
  EXPECT_EQ(c.column(2, "Ort_neu"), "Berlin");
  EXPECT_EQ(c.column(2, "PLZ_neu"), "10117");

  EXPECT_EQ(c.status(3), "korrigiert");
  EXPECT_EQ(c.column(3, "PLZ_neu"), "10115");

  EXPECT_EQ(c.status(4), "unbekannt");
  EXPECT_EQ(c.column(4, "PLZ_neu"), "");

  EXPECT_EQ(c.status(5), "mehrdeutig");
  const std::string suggestions = c.column(5, "Vorschlaege");
  EXPECT_NE(suggestions.find("Frankfurt am Main"), std::string::npos) << suggestions;
  EXPECT_NE(suggestions.find("Frankfurt (Oder)"), std::string::npos) << suggestions;

  EXPECT_EQ(c.rows[6][0], "7; mit Semikolon");  // the input columns unchanged
  EXPECT_EQ(c.status(6), "geprueft");

  EXPECT_EQ(c.rows[7][0], "Das ist keine Adresse");
  EXPECT_EQ(c.status(7), "fehlerhaft");
  ASSERT_EQ(c.problems.size(), 1u);
  EXPECT_EQ(c.problems.begin()->first, 9);  // its line in the file

  // Undecidable: never a guess, the sections to choose from instead.
  EXPECT_EQ(c.status(8), "mehrdeutig");
  EXPECT_EQ(c.column(8, "Grund"), "hausnummer_fehlt");
  EXPECT_EQ(c.column(8, "PLZ_neu"), "");
  EXPECT_NE(c.column(8, "Vorschlaege").find("10115 Berlin, Hauptstr."), std::string::npos) << c.column(8, "Vorschlaege");
  EXPECT_NE(c.column(8, "Vorschlaege").find("10117 Berlin, Hauptstr."), std::string::npos) << c.column(8, "Vorschlaege");

  EXPECT_EQ(c.status(9), "korrigiert");
  EXPECT_EQ(c.column(9, "Strasse_neu"), "Lindenweg");
  EXPECT_EQ(c.column(9, "PLZ_neu"), "10115");

  EXPECT_EQ(c.summary.rows, 10);
  EXPECT_EQ(c.summary.counts[static_cast<size_t>(Status::Mehrdeutig)], 2);
  EXPECT_EQ(c.summary.counts[static_cast<size_t>(Status::Geprueft)], 2);
  EXPECT_EQ(c.summary.counts[static_cast<size_t>(Status::Korrigiert)], 4);
  EXPECT_EQ(c.summary.counts[static_cast<size_t>(Status::Fehlerhaft)], 1);
  EXPECT_TRUE(c.bytes.starts_with("\xEF\xBB\xBF" "Kunde;PLZ"));  // UTF-8 with BOM, CR LF as read
  EXPECT_NE(c.bytes.find("\r\n"), std::string::npos);
}

TEST_F(ListCheck, SpreadsheetQuirksPassThroughUnchanged) {
  // Windows-1252, commas, a combined street column, short and long lines, a blank line.
  Checked c = check(
      "Name,PLZ,Ort,Stra\xDF" "e mit Hausnummer\n"
      "M\xFCller,10115,Berlin,Lindenweg 3\n"
      "Kurz,10115,Berlin\n"
      "Lang,10115,Berlin,Lindenweg 3,x,y\n"
      "\n"
      "\"Zeile\nmit Umbruch\",10115,Berlin,\"Lindenweg 3\"\n");
  ASSERT_EQ(c.rows.size(), 5u) << c.bytes;
  EXPECT_EQ(c.header[3], "Straße mit Hausnummer");
  EXPECT_EQ(c.rows[0][0], "Müller");
  EXPECT_EQ(c.status(0), "geprueft");
  EXPECT_EQ(c.column(0, "Hausnummer_neu"), "3");
  EXPECT_EQ(c.rows[1].size(), c.header.size());  // padded to the header's columns
  EXPECT_NE(c.status(1), "fehlerhaft");
  EXPECT_EQ(c.status(2), "fehlerhaft");
  EXPECT_EQ(c.rows[2][3], "Lindenweg 3,x,y");  // the surplus kept in the last column
  EXPECT_EQ(c.status(3), "fehlerhaft");
  EXPECT_EQ(c.column(3, "Grund"), "leere_zeile");
  EXPECT_EQ(c.rows[4][0], "Zeile\nmit Umbruch");
  EXPECT_EQ(c.status(4), "geprueft");
  EXPECT_EQ(c.problems.size(), 2u);
  EXPECT_TRUE(c.problems.count(4) && c.problems.count(5));
}

TEST_F(ListCheck, ManyLinesOnSeveralThreadsKeepTheirOrder) {
  std::string input = "Kundennr;PLZ;Ort;Straße\n";
  for (int i = 0; i < 1500; ++i)
    input += std::to_string(i) + (i % 3 == 0 ? ";10117;Berlin;Lindenweg 1\n" : ";10115;Berlin;Lindenweg 1\n");
  Checked c = check(input, 3);
  ASSERT_EQ(c.rows.size(), 1500u);
  for (size_t i = 0; i < c.rows.size(); ++i) {
    ASSERT_EQ(c.rows[i][0], std::to_string(i));
    ASSERT_EQ(c.status(i), i % 3 == 0 ? "korrigiert" : "geprueft") << i;
  }
}

TEST_F(ListCheck, ACheckedListCanBeCheckedAgain) {
  Checked first = check("PLZ;Ort;Straße\n10117;Berlin;Lindenweg 3\n");
  Checked second = check(first.bytes);
  EXPECT_EQ(second.header, first.header);  // the old result columns replaced, not doubled
  ASSERT_EQ(second.rows.size(), 1u);
  EXPECT_EQ(second.status(0), "korrigiert");
}

TEST_F(ListCheck, ColumnsByMappingAndAListWithoutAddressColumns) {
  Checked c = check("Zip;City;Street\n10115;Berlin;Lindenweg 3\n", 1, "plz=Zip,ort=City,strasse=Street");
  EXPECT_EQ(c.status(0), "geprueft");
  EXPECT_THROW(check("Name;Telefon\nA;1\n"), std::invalid_argument);
  EXPECT_THROW(check(""), std::invalid_argument);
}

}  // namespace
}  // namespace noxplz::batch
