#include <gtest/gtest.h>

#include <set>

#include "lookup/global.h"
#include "manager/session.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;

const std::string kStrasseNichtGefunden =
    "Straße nicht gefunden! (Bitte prüfen Sie die Schreibweise)\nMöchten Sie aus der Liste der Straßen auswählen?";

class StreetLookupTest : public PostalTest {};

TEST_F(StreetLookupTest, ErmittleStrassenNormalisesTheStreetAndWritesSections) {
  VariantTable t;
  std::string strasse = " Hauptstraße. ";
  ASSERT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(strasse, "Hauptstr");
  ASSERT_EQ(t.UpperBound(1), 3);
  EXPECT_EQ(t.UpperBound(2), 5);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(t.Text(r, 0), "Hauptstr.");
    EXPECT_EQ(t.Text(r, 5), "");  // district display off
  }
  // The three sections, each with its trimmed range, type and postal code.
  std::set<std::string> sections;
  for (int r = 0; r < 3; ++r)
    sections.insert(t.Text(r, 1) + " " + t.Text(r, 2) + "-" + t.Text(r, 3) + " " + t.Text(r, 4));
  EXPECT_EQ(sections, (std::set<std::string>{"10115 0001-0009 N", "10117 0002-0020 G", "10119 0011-0099 U"}));
}

TEST_F(StreetLookupTest, ErmittleStrassenLeavesCapitalStrasseAlone) {
  VariantTable t;
  std::string strasse = "Strasse des Friedens";
  tk().ExpectMsgBox(kStrasseNichtGefunden, mb::kNo, mb::kYesNo, "Achtung");
  EXPECT_FALSE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(strasse, "Strasse des Friedens");
  EXPECT_EQ(t.UpperBound(1), 0);
}

TEST_F(StreetLookupTest, ErmittleStrassenOffersAllStreetsWhenNothingMatches) {
  VariantTable t;
  std::string strasse = "Gartenstrasse";
  tk().ExpectMsgBox(kStrasseNichtGefunden, mb::kYes);
  ASSERT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(strasse, "Gartenstr");
  ASSERT_EQ(t.UpperBound(1), 6);
  EXPECT_EQ(t.Text(0, 0), "Bahnhofstr.");  // ordered by name
  EXPECT_EQ(t.Text(5, 0), "Rue d'Arc");
}

TEST_F(StreetLookupTest, ErmittleStrassenBlankListsAllWithoutQuestionAndNoStreetsNoQuestion) {
  VariantTable t;
  std::string strasse = "   ";
  EXPECT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(strasse, "");
  EXPECT_EQ(t.UpperBound(1), 6);
  strasse = "Hauptstr";
  EXPECT_FALSE(Ermittle_Strassen("07000000", t, strasse, ""));  // a place without streets: no question
  EXPECT_EQ(t.UpperBound(1), 0);
  strasse = "";
  EXPECT_FALSE(Ermittle_Strassen("07000000", t, strasse, ""));
}

TEST_F(StreetLookupTest, ErmittleStrassenWithDistrictsAndApostrophes) {
  session().MitOrtteiAnzeige = true;
  VariantTable t;
  std::string strasse = "Linden";
  ASSERT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(t.Text(0, 5), "Mitte");
  strasse = "Rue d'A";
  ASSERT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(t.Text(0, 0), "Rue d'Arc");
  EXPECT_EQ(t.Text(0, 5), "");  // no district key
}

TEST_F(StreetLookupTest, PruefeStrasseCodes) {
  std::string s = "  Hauptstr.  ";
  EXPECT_EQ(Pruefe_Strasse("11000000", s, ""), 3);
  EXPECT_EQ(s, "Hauptstr.");
  s = "hauptstr.";  // the database compares without regard to case
  EXPECT_EQ(Pruefe_Strasse("11000000", s, ""), 3);
  s = "Hauptstr";  // no normalisation here: a prefix only
  EXPECT_EQ(Pruefe_Strasse("11000000", s, ""), 2);
  s = "Gartenweg";
  EXPECT_EQ(Pruefe_Strasse("11000000", s, ""), -1);
  s = "Gartenweg";
  EXPECT_EQ(Pruefe_Strasse("07000000", s, ""), 0);
  s = "   ";
  db_.exec("DROP TABLE STR_DA");  // 1 runs no statement
  EXPECT_EQ(Pruefe_Strasse("11000000", s, ""), 1);
  EXPECT_EQ(s, "");
}

TEST_F(StreetLookupTest, StreetErrorsShowTheirFixedTexts) {
  db_.exec("DROP TABLE STR_DA");
  std::string s = "Hauptstr";
  tk().ExpectMsgBox(
      "Fehler bei der Prüfung der Strassen\n-2147217900 / SQL-Fehler: no such table: Str_DA (Anweisung: SELECT "
      "Count(*) as Anzahl FROM Str_DA WHERE Alort = '11000000')");
  EXPECT_EQ(Pruefe_Strasse("11000000", s, ""), 0);
  tk().Verify();

  tk().ExpectMsgBox(
      "Fehler bei der Ermittlung der Strassen\n-2147217900 / SQL-Fehler: no such table: Str_DA (Anweisung: SELECT "
      "Count(*) as Anzahl FROM Str_DA WHERE Alort = '11000000')");
  VariantTable t;
  EXPECT_FALSE(Ermittle_Strassen("11000000", t, s, ""));
}

struct HnrCase {
  const char *hnr, *von, *bis, *typ;
  bool expected;
};

TEST(PruefeHausnummerTest, ComparesHouseNumbersAsNumbers) {
  const HnrCase cases[] = {
      {"12", "10", "20", "G", true},   {"13", "10", "20", "G", false}, {"13", "11", "19", "U", true},
      {"15", "11", "19", "X", false},  {"12", "2", "20", "N", true},   {"10", "1", "9", "N", false},
      {"5", "2", "10", "N", true},     {"12a", "12", "12", "N", false}, {"12", "12", "12b", "N", true},
      {"12B", "12a", "12c", "N", true}, {"12 b", "0012a", "0012B", "N", true}, {"0007", "7", "9", "U", true},
      {"", "1", "9", "N", false},      {"a", "1", "9", "N", false},     {"3", "", "9", "N", false},
      {"100000", "1", "999999", "G", true}, {"70001", "70001", "70001", "U", true},
      {"123456789012345678901", "1", "999999999999999999999", "U", true}, {"4", "1", "9", " G ", true},
  };
  for (const HnrCase& c : cases) {
    std::string hnr = c.hnr, von = c.von, bis = c.bis;
    EXPECT_EQ(Pruefe_Hausnummer(hnr, von, bis, c.typ), c.expected)
        << c.hnr << " in " << c.von << "-" << c.bis << " " << c.typ;
  }
}

TEST(PruefeHausnummerTest, WritesTheTrimmedTextsBack) {
  std::string hnr = " 5 ", von = " 1 ", bis = "9  ";
  EXPECT_TRUE(Pruefe_Hausnummer(hnr, von, bis, "U"));
  EXPECT_EQ(hnr, "5");
  EXPECT_EQ(von, "1");
  EXPECT_EQ(bis, "9");
}

TEST(SplitHouseNumberTest, MovesATrailingNumberFromTheSecondHalf) {
  struct Case {
    const char *strasse, *hnr, *street, *number;
  } cases[] = {
      {"Hauptstraße 12a", "", "Hauptstraße", "12a"},
      {"Am Markt 5", "", "Am Markt", "5"},
      {"Lindenweg 3-5", "", "Lindenweg", "3-5"},
      {"A 5 Nord 7", "", "A 5 Nord", "7"},
      {"Straße des 17. Juni 12", "", "Straße des", "17. Juni 12"},
      {"  Hauptstraße  ", " 4 ", "Hauptstraße", "4"},
      {"5", " 9 ", "5", "9"},
      {"Hauptstr 12", "7", "Hauptstr", "12"},  // the number in the street wins
      {"Übergasse   3", "", "Übergasse", "3"},
  };
  for (const Case& c : cases) {
    std::string strasse = c.strasse, hnr = c.hnr;
    split_house_number(strasse, hnr);
    EXPECT_EQ(strasse, c.street) << c.strasse;
    EXPECT_EQ(hnr, c.number) << c.strasse;
  }
  std::string blank = "   ", hnr = " 7 ";
  split_house_number(blank, hnr);
  EXPECT_EQ(blank, "");
  EXPECT_EQ(hnr, " 7 ");  // untouched, not even trimmed
}

TEST(NormalizeStreetNameTest, RemovesFullStopsAndShortensLowerCaseStrasse) {
  EXPECT_EQ(normalize_street_name("Hauptstraße."), "Hauptstr");
  EXPECT_EQ(normalize_street_name(" Lindenstrasse "), "Lindenstr");
  EXPECT_EQ(normalize_street_name("Strasse des Friedens"), "Strasse des Friedens");
  EXPECT_EQ(normalize_street_name("Str. d. 17. Juni"), "Str d 17 Juni");
}

}  // namespace
}  // namespace noxplz
