#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "lookup/db_access.h"
#include "lookup/global.h"
#include "manager/session.h"
#include "testing/error_matchers.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;
using testing::rows;
using testing::Rows;

// The question "Straße nicht gefunden!", the list of all streets in name order
// and the district names in the choice list are played through in the search
// scenarios and the search dialog sessions.
class StreetLookupTest : public PostalTest {};

TEST_F(StreetLookupTest, ErmittleStrassenNormalisesTheStreetAndWritesSectionsAndDistricts) {
  VariantTable t;
  session().MitOrtteiAnzeige = true;
  std::string strasse = "Rue d'A";  // an apostrophe, and no district key
  ASSERT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(rows(t), Rows{"Rue d'Arc|10115||||"});

  // With the district display off no district statement runs (the table is gone: no message).
  session().MitOrtteiAnzeige = false;
  db_.exec("DROP TABLE OTL_DA");
  strasse = " Hauptstraße. ";
  ASSERT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(strasse, "Hauptstr");
  // The three sections, each with its trimmed range, type and postal code.
  Rows found = rows(t);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (Rows{"Hauptstr.|10115|0001|0009|N|", "Hauptstr.|10117|0002|0020|G|",
                         "Hauptstr.|10119|0011|0099|U|"}));
}

TEST_F(StreetLookupTest, PruefeStrasseCodes) {
  auto pruefe = [](const char* alort, std::string s) { return std::to_string(Pruefe_Strasse(alort, s, "")) + " " + s; };
  EXPECT_EQ(pruefe("11000000", "  Hauptstr.  "), "3 Hauptstr.");
  EXPECT_EQ(pruefe("11000000", "hauptstr."), "3 hauptstr.");  // the database compares without regard to case
  EXPECT_EQ(pruefe("11000000", "Hauptstr"), "2 Hauptstr");    // no normalisation here: a prefix only
  EXPECT_EQ(pruefe("11000000", "Gartenweg"), "-1 Gartenweg");
  db_.exec("DROP TABLE STR_DA");  // 1 runs no statement
  EXPECT_EQ(pruefe("11000000", "   "), "1 ");
}

TEST_F(StreetLookupTest, StreetErrorsShowTheirFixedTexts) {
  db_.exec("DROP TABLE STR_DA");
  const std::string cause =
      "\n" + db_.error_of("SELECT Count(*) as Anzahl FROM Str_DA WHERE Alort = '11000000'");
  std::string s = "Hauptstr";
  tk().ExpectMsgBox("Fehler bei der Prüfung der Strassen" + cause);
  EXPECT_EQ(Pruefe_Strasse("11000000", s, ""), 0);
  tk().Verify();
  tk().ExpectMsgBox("Fehler bei der Ermittlung der Strassen" + cause);
  VariantTable t;
  EXPECT_FALSE(Ermittle_Strassen("11000000", t, s, ""));
}

// The list of all streets of a place is kept between calls, but never past a
// change of the data: by this connection, by another one, or of the schema.
TEST_F(StreetLookupTest, AllStreetsOfAPlaceFollowEveryChangeOfTheData) {
  auto all_streets = [] {
    VariantTable t;
    std::string alle;
    Ermittle_Strassen("11000000", t, alle, "");
    Rows found = rows(t);
    return std::to_string(found.size()) + " " + (found.empty() ? "" : found.front());
  };
  const std::string before = all_streets();
  ASSERT_EQ(all_streets(), before);
  db_.exec("UPDATE STR_DA SET NAME46 = 'Aalweg' WHERE ALORT = '11000000' AND PLZ = '10119'");
  const std::string renamed = all_streets();
  EXPECT_NE(renamed, before);
  EXPECT_EQ(renamed.substr(renamed.find(' ') + 1, 6), "Aalweg");

  ConnectionPtr other = open_connection(db_.connection_string());
  other->Execute("DELETE FROM STR_DA WHERE ALORT = '11000000' AND NAME46 = 'Aalweg'");
  EXPECT_EQ(std::stoi(all_streets()), std::stoi(renamed) - 1);

  session().MitOrtteiAnzeige = true;  // another list: with the district names
  all_streets();
  db_.exec("DROP TABLE STR_DA");
  tk().ExpectMsgBox("Fehler bei der Ermittlung der Strassen\n" +
                    db_.error_of("SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = "
                                 "'11000000' order by Name46"));
  EXPECT_EQ(all_streets(), "0 ");
  tk().Verify();
}

// Lists read their fields by position (Recordset::FieldIndex/FieldAt): the
// same values as by name, in any letter case, and the same error for a name
// or position the result does not have.
TEST_F(StreetLookupTest, FieldsByPositionReadWhatFieldsByNameRead) {
  const std::string sql = "SELECT name46, Plz, HNRVon, OTL_Schl FROM Str_DA WHERE Alort = '11000000' order by Name46";
  RecordsetPtr by_name = db_.connection()->Execute(sql), by_position = db_.connection()->Execute(sql);
  const lookup::Fields<4> field(*by_position, {"NAME46", "plz", "HnrVon", "OTL_Schl"});
  size_t compared = 0;
  for (; !by_name->Eof(); by_name->MoveNext(), by_position->MoveNext()) {
    ASSERT_FALSE(by_position->Eof());
    size_t i = 0;
    for (const char* name : {"name46", "Plz", "HNRVon", "OTL_Schl"}) {
      const Variant expected = by_name->Field(name), got = field[i++];
      EXPECT_EQ(got.is_null(), expected.is_null()) << name;
      EXPECT_EQ(got.as_text(), expected.as_text()) << name;
      ++compared;
    }
  }
  EXPECT_TRUE(by_position->Eof());
  EXPECT_GE(compared, 12u);

  RecordsetPtr rs = db_.connection()->Execute(sql);
  EXPECT_EQ(rs->FieldIndex("hnrvon"), 2);
  EXPECT_THAT([&] { rs->FieldIndex("Ort"); }, testing::RaisesError(err::kDbItemNotFound));
  EXPECT_THAT([&] { rs->FieldAt(4); }, testing::RaisesError(err::kDbItemNotFound));
  EXPECT_THAT([&] { rs->FieldAt(-1); }, testing::RaisesError(err::kDbItemNotFound));
}

TEST(PruefeHausnummerTest, ComparesHouseNumbersAsNumbers) {
  struct Case {
    const char *hnr, *von, *bis, *typ;
    bool expected;
  } cases[] = {
      {"12", "10", "20", "G", true},   {"13", "10", "20", "G", false}, {"13", "11", "19", "U", true},
      {"15", "11", "19", "X", false},  {"12", "2", "20", "N", true},   {"10", "1", "9", "N", false},
      {"5", "2", "10", "N", true},     {"12a", "12", "12", "N", false}, {"12", "12", "12b", "N", true},
      {"12B", "12a", "12c", "N", true}, {"12 b", "0012a", "0012B", "N", true}, {"0007", "7", "9", "U", true},
      {"", "1", "9", "N", false},      {"a", "1", "9", "N", false},     {"3", "", "9", "N", false},
      {"100000", "1", "999999", "G", true}, {"70001", "70001", "70001", "U", true},
      {"123456789012345678901", "1", "999999999999999999999", "U", true}, {"4", "1", "9", " G ", true},
  };
  for (const Case& c : cases) {
    std::string hnr = c.hnr, von = c.von, bis = c.bis;
    EXPECT_EQ(Pruefe_Hausnummer(hnr, von, bis, c.typ), c.expected)
        << c.hnr << " in " << c.von << "-" << c.bis << " " << c.typ;
  }
  // The trimmed texts are written back.
  std::string hnr = " 5 ", von = " 1 ", bis = "9  ";
  EXPECT_TRUE(Pruefe_Hausnummer(hnr, von, bis, "U"));
  EXPECT_EQ(hnr + "|" + von + "|" + bis, "5|1|9");
}

// The splitter behind TrenneStrasseHausNr.
TEST(TrenneStrasseHausNrTest, MovesATrailingNumberFromTheSecondHalf) {
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
      {"   ", " 7 ", "", " 7 "},  // blank street: the number untouched, not even trimmed
  };
  for (const Case& c : cases) {
    std::string strasse = c.strasse, hnr = c.hnr;
    split_house_number(strasse, hnr);
    EXPECT_EQ(strasse, c.street) << c.strasse;
    EXPECT_EQ(hnr, c.number) << c.strasse;
  }
}

TEST(NormalizeStreetNameTest, RemovesFullStopsAndShortensLowerCaseStrasse) {
  EXPECT_EQ(normalize_street_name("Hauptstraße."), "Hauptstr");
  EXPECT_EQ(normalize_street_name(" Lindenstrasse "), "Lindenstr");
  EXPECT_EQ(normalize_street_name("Strasse des Friedens"), "Strasse des Friedens");
  EXPECT_EQ(normalize_street_name("Str. d. 17. Juni"), "Str d 17 Juni");
}

}  // namespace
}  // namespace noxplz
