#include <gtest/gtest.h>

#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/error.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;

// The message a lookup shows when `sql` fails: its fixed text, a line feed,
// the backend's number and description.
std::string failure_message(testing::TempDatabase& db, std::string_view fixed, const std::string& sql) {
  try {
    db.connection()->Execute(sql);
  } catch (const Error& e) {
    return format_error_message(fixed, e);
  }
  ADD_FAILURE() << "statement did not fail: " << sql;
  return {};
}

class PlaceLookupTest : public PostalTest {};

TEST_F(PlaceLookupTest, ErmittleOrteWritesCurrentPlacesInNameAdditionKeyOrder) {
  VariantTable t;
  ASSERT_TRUE(Ermittle_Orte("Fr", t));
  ASSERT_EQ(t.UpperBound(1), 2);
  EXPECT_EQ(t.UpperBound(2), 3);
  // "(Oder)" sorts before "am Main"; names and additions trimmed, key untrimmed.
  EXPECT_EQ(t.Text(0, 0), "Frankfurt");
  EXPECT_EQ(t.Text(0, 1), "(Oder)");
  EXPECT_EQ(t.Text(0, 2), "12000000");
  EXPECT_EQ(t.Text(0, 3), "15230");
  EXPECT_EQ(t.Text(1, 1), "am Main");
  EXPECT_EQ(t.Text(1, 3), "60311");
  EXPECT_TRUE(t.Get(2, 0).is_empty());  // the empty row after the last
}

TEST_F(PlaceLookupTest, ErmittleOrteSkipsReplacedPlacesAndCountsBlankSuccessorAsCurrent) {
  VariantTable t;
  ASSERT_TRUE(Ermittle_Orte("Altdorf", t));
  ASSERT_EQ(t.UpperBound(1), 1);
  EXPECT_EQ(t.Text(0, 2), "09000002");
  EXPECT_EQ(t.Text(0, 3), "90518");

  ASSERT_TRUE(Ermittle_Orte("ber", t));  // case-insensitive, Berlin's ALORT_NEU holds blanks
  EXPECT_EQ(t.UpperBound(1), 1);
  // The first postal code the database delivers (not only delivery codes).
  EXPECT_FALSE(t.Text(0, 3).empty());
}

TEST_F(PlaceLookupTest, ErmittleOrteWithoutMatchLeavesOneEmptyRowAndEmptyNameListsAll) {
  VariantTable t;
  t.ReDim(0, 5, 0, 1);
  EXPECT_FALSE(Ermittle_Orte("Xanten", t));
  EXPECT_EQ(t.UpperBound(1), 0);
  EXPECT_EQ(t.UpperBound(2), 3);
  EXPECT_TRUE(Ermittle_Orte("", t));
  EXPECT_EQ(t.UpperBound(1), 7);  // eight places, one replaced
}

TEST_F(PlaceLookupTest, ValuesWithApostrophesFindTheirRowsAndCannotChangeTheStatement) {
  VariantTable t;
  ASSERT_TRUE(Ermittle_Orte("D'O", t));
  ASSERT_EQ(t.UpperBound(1), 1);
  EXPECT_EQ(t.Text(0, 0), "D'Orf");
  EXPECT_EQ(t.Text(0, 3), "66666");
  EXPECT_FALSE(Ermittle_Orte("x' OR '1'='1", t));
  EXPECT_EQ(Ermittle_Plz("' OR ''='"), "");
  EXPECT_FALSE(Ermittle_OrteZuPlz("'; DELETE FROM PLZ_DA; --", t));
  EXPECT_EQ(db_.count("PLZ_DA"), 10);
}

TEST_F(PlaceLookupTest, ErmittleOrteZuPlzWritesEveryRowWithoutAddition) {
  VariantTable t;
  ASSERT_TRUE(Ermittle_OrteZuPlz("55555", t));
  ASSERT_EQ(t.UpperBound(1), 2);
  for (int r = 0; r < 2; ++r) {
    EXPECT_TRUE(t.Get(r, 1).is_empty());
    EXPECT_EQ(t.Text(r, 3), "55555");
  }
  EXPECT_NE(t.Text(0, 0), t.Text(1, 0));
  EXPECT_FALSE(Ermittle_OrteZuPlz("00000", t));
  EXPECT_EQ(t.UpperBound(1), 0);
}

TEST_F(PlaceLookupTest, PostalCodeOfAPlaceKey) {
  EXPECT_EQ(Ermittle_Plz("06000000"), "60311");
  EXPECT_EQ(Ermittle_Postleitzahl("06000000"), "60311");
  db_.insert("PLZ_DA", {{"PLZ", "77777"}, {"ALORT", "05000000"}, {"ART_Auslieferung", "2"}});
  EXPECT_EQ(Ermittle_Plz("05000000"), "");  // none of delivery kind '6'
  EXPECT_EQ(Ermittle_Postleitzahl("05000000"), "77777");
  EXPECT_EQ(Ermittle_Postleitzahl("99999999"), "");
  // Berlin's delivery code is one of its two kind-'6' codes, never the other kind.
  std::string berlin = Ermittle_Plz("11000000");
  EXPECT_TRUE(berlin == "10115" || berlin == "10117") << berlin;
}

TEST_F(PlaceLookupTest, ErmittleOrtsteilOnlyWithDistrictDisplay) {
  db_.exec("DROP TABLE OTL_DA");  // proves that no statement runs while the display is off
  EXPECT_EQ(Ermittle_Ortsteil("11000000", "001"), "");
  tk().Verify();
}

TEST_F(PlaceLookupTest, ErmittleOrtsteilReadsTheTrimmedDistrictName) {
  session().MitOrtteiAnzeige = true;
  EXPECT_EQ(Ermittle_Ortsteil("11000000", "002"), "Tiergarten");
  EXPECT_EQ(Ermittle_Ortsteil("11000000", "003"), "");
}

TEST_F(PlaceLookupTest, FailingStatementsShowFixedTextNumberAndDescription) {
  db_.exec("DROP TABLE PLZ_DA");
  VariantTable t;
  tk().ExpectMsgBox(failure_message(db_, "Fehler bei der Ermittlung der Plz",
                                    "SELECT Plz FROM Plz_DA WHERE Alort = '06000000' and ART_Auslieferung = '6'"),
                    mb::kOk, mb::kOkOnly, "NoxPlz");
  EXPECT_EQ(Ermittle_Plz("06000000"), "");
  tk().ExpectMsgBox(failure_message(db_, "Fehler bei der Ermittlung des Bestimmungsortes",
                                    "SELECT Oname, ALORT, Plz FROM Plz_DA WHERE Plz = '60311'"));
  EXPECT_FALSE(Ermittle_OrteZuPlz("60311", t));

  // Inside Ermittle_Orte the failing postal-code lookup reports itself and
  // leaves column 3 empty; the place rows are still written.
  std::string postleitzahl = failure_message(db_, "Fehler bei der Ermittlung de Postleitzahl",
                                             "SELECT Plz FROM PLZ_DA WHERE Alort = '06000000'");
  std::string oder = failure_message(db_, "Fehler bei der Ermittlung de Postleitzahl",
                                     "SELECT Plz FROM PLZ_DA WHERE Alort = '12000000'");
  tk().ExpectMsgBox(oder).ExpectMsgBox(postleitzahl);
  ASSERT_TRUE(Ermittle_Orte("Frankfurt", t));
  EXPECT_EQ(t.UpperBound(1), 2);
  EXPECT_EQ(t.Text(0, 3), "");
  tk().Verify();
}

TEST_F(PlaceLookupTest, WithoutConnectionTheLookupReportsError91) {
  session().connection.reset();
  tk().ExpectMsgBox("Fehler bei der Ermittlung des Bestimmungsortes\n91 / "
                    "Objektvariable oder With-Blockvariable nicht festgelegt");
  VariantTable t;
  EXPECT_FALSE(Ermittle_Orte("Berlin", t));
}

}  // namespace
}  // namespace noxplz
