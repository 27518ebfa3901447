#include <gtest/gtest.h>

#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/error.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;
using testing::rows;
using testing::Rows;

// The message a lookup shows when `sql` fails: its fixed text, a line feed,
// the backend's number and description.
std::string failure_message(testing::TempDatabase& db, std::string_view fixed, const std::string& sql) {
  return std::string(fixed) + "\n" + db.error_of(sql);
}

class PlaceLookupTest : public PostalTest {};

TEST_F(PlaceLookupTest, ErmittleOrteWritesCurrentPlacesInNameAdditionKeyOrder) {
  VariantTable t;
  // "(Oder)" sorts before "am Main"; names and additions trimmed, key untrimmed.
  ASSERT_TRUE(Ermittle_Orte("Fr", t));
  EXPECT_EQ(rows(t), (Rows{"Frankfurt|(Oder)|12000000|15230", "Frankfurt|am Main|06000000|60311"}));
  // The replaced place is skipped; a blank successor counts as current.
  ASSERT_TRUE(Ermittle_Orte("Altdorf", t));
  EXPECT_EQ(rows(t), Rows{"Altdorf|b Nürnberg|09000002|90518"});
  // No match: one empty row; an empty name lists all eight places but the replaced one.
  t.ReDim(0, 5, 0, 1);
  EXPECT_FALSE(Ermittle_Orte("Xanten", t));
  EXPECT_EQ(rows(t), Rows{});
  EXPECT_EQ(t.UpperBound(2), 3);
  EXPECT_TRUE(Ermittle_Orte("", t));
  EXPECT_EQ(t.UpperBound(1), 7);
}

// A place list is kept for its prefix, and asked again after any change.
TEST_F(PlaceLookupTest, KeptPlaceListsFollowEveryChangeOfTheData) {
  auto places = [](const char* prefix) {
    VariantTable t;
    Ermittle_Orte(prefix, t);
    return rows(t);
  };
  const Rows before = places("Fr");
  ASSERT_EQ(places("Fr"), before);
  // The same list, asked again without a change, even an empty one.
  EXPECT_EQ(places("Xanten"), Rows{});
  EXPECT_EQ(places("Xanten"), Rows{});

  db_.exec("UPDATE ORT_DA SET OZUSATZ = 'an der Oder' WHERE ALORT = '12000000'");
  EXPECT_EQ(places("Fr"), (Rows{"Frankfurt|am Main|06000000|60311", "Frankfurt|an der Oder|12000000|15230"}));
  ConnectionPtr other = open_connection(db_.connection_string());
  other->Execute("DELETE FROM ORT_DA WHERE ALORT = '06000000'");
  EXPECT_EQ(places("Fr"), Rows{"Frankfurt|an der Oder|12000000|15230"});
  db_.exec("DROP TABLE ORT_DA");
  tk().ExpectMsgBox("Fehler bei der Ermittlung des Bestimmungsortes\n" +
                    db_.error_of("SELECT ALORT_Neu, Oname, ozusatz, ALORT FROM Ort_DA WHERE OName like 'Fr%' ORDER BY "
                                 "OName, OZusatz, ALORT"));
  EXPECT_EQ(places("Fr"), Rows{});
  tk().Verify();
}

TEST_F(PlaceLookupTest, ValuesWithApostrophesFindTheirRowsAndCannotChangeTheStatement) {
  VariantTable t;
  ASSERT_TRUE(Ermittle_Orte("D'O", t));
  EXPECT_EQ(rows(t), Rows{"D'Orf||08000000|66666"});
  EXPECT_FALSE(Ermittle_Orte("x' OR '1'='1", t));
  EXPECT_EQ(Ermittle_Plz("' OR ''='"), "");
  EXPECT_FALSE(Ermittle_OrteZuPlz("'; DELETE FROM PLZ_DA; --", t));
  EXPECT_EQ(db_.count("PLZ_DA"), 10);
}

// Ermittle_OrteZuPlz is played through by Suche_Ort_original in the search
// scenarios, Berlin's delivery code by case A there.
TEST_F(PlaceLookupTest, PostalCodeOfAPlaceKey) {
  EXPECT_EQ(Ermittle_Plz("06000000"), "60311");
  EXPECT_EQ(Ermittle_Postleitzahl("06000000"), "60311");
  db_.insert("PLZ_DA", {{"PLZ", "77777"}, {"ALORT", "05000000"}, {"ART_Auslieferung", "2"}});
  EXPECT_EQ(Ermittle_Plz("05000000"), "");  // none of delivery kind '6'
  EXPECT_EQ(Ermittle_Postleitzahl("05000000"), "77777");
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
  auto postleitzahl = [&](const char* alort) {
    return failure_message(db_, "Fehler bei der Ermittlung de Postleitzahl",
                           std::string("SELECT Plz FROM PLZ_DA WHERE Alort = '") + alort + "'");
  };
  tk().ExpectMsgBox(postleitzahl("12000000")).ExpectMsgBox(postleitzahl("06000000"));
  ASSERT_TRUE(Ermittle_Orte("Frankfurt", t));
  EXPECT_EQ(rows(t), (Rows{"Frankfurt|(Oder)|12000000|", "Frankfurt|am Main|06000000|"}));
  tk().Verify();

  session().connection.reset();
  tk().ExpectMsgBox("Fehler bei der Ermittlung des Bestimmungsortes\n91 / "
                    "Objektvariable oder With-Blockvariable nicht festgelegt");
  EXPECT_FALSE(Ermittle_Orte("Berlin", t));
}

}  // namespace
}  // namespace noxplz
