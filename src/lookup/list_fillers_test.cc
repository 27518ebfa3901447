#include <gtest/gtest.h>

#include "lookup/global.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;

// A list control on a form of its own, as the search dialog has it.
struct ListForm : Form {
  ListForm() : Form("frmListe", "", {0, 0, 3000, 3000}) {}
  ListBox liste{*this, "liste", {0, 0, 3000, 3000}, 0};
};

class ListFillerTest : public PostalTest {};

TEST_F(ListFillerTest, PlaceEntriesMatchThePlaceTableRowByRow) {
  ListForm f;
  f.liste.AddItem("alt");
  VariantTable t;
  for (const char* name : {"", "F", "Altdorf", "Berlin"}) {
    ASSERT_TRUE(Fill_OrtCombo(f.liste, name)) << name;
    ASSERT_TRUE(Ermittle_Orte(name, t)) << name;
    ASSERT_EQ(f.liste.ListCount(), t.UpperBound(1)) << name;
    for (int32_t i = 0; i < t.UpperBound(1); ++i)
      EXPECT_EQ(f.liste.List(i), place_list_line(t.Text(i, 0), t.Text(i, 1))) << name << " " << i;
  }
  EXPECT_EQ(f.liste.List(0), "Berlin ");  // no addition: one trailing blank
  ASSERT_TRUE(Fill_OrtCombo(f.liste, "Frank"));
  EXPECT_EQ(f.liste.Items(), (std::vector<std::string>{"Frankfurt (Oder)", "Frankfurt am Main"}));
  EXPECT_FALSE(Fill_OrtCombo(f.liste, "Xanten"));
  EXPECT_EQ(f.liste.ListCount(), 0);  // cleared first
}

TEST_F(ListFillerTest, StreetLinesShowRangesOfDividedStreets) {
  ListForm f;
  ASSERT_TRUE(Fill_StrCombo(f.liste, "11000000", "Haupt", ""));
  ASSERT_EQ(f.liste.ListCount(), 3);
  for (const std::string& line : f.liste.Items()) EXPECT_EQ(line.rfind("Hauptstr. (00", 0), 0u) << line;
  ASSERT_TRUE(Fill_StrCombo(f.liste, "11000000", "  ", ""));  // blank: all streets
  EXPECT_EQ(f.liste.ListCount(), 6);
  EXPECT_EQ(f.liste.List(0), "Bahnhofstr.");
  ASSERT_TRUE(Fill_StrCombo(f.liste, "11000000", "Rue d'", ""));
  EXPECT_EQ(f.liste.Items(), std::vector<std::string>{"Rue d'Arc"});
  EXPECT_FALSE(Fill_StrCombo(f.liste, "07000000", "", ""));
  EXPECT_EQ(f.liste.ListCount(), 0);
}

TEST_F(ListFillerTest, StreetEntriesMatchTheStreetTableRowByRow) {
  ListForm f;
  VariantTable t;
  std::string strasse;
  ASSERT_TRUE(Fill_StrCombo(f.liste, "11000000", "", ""));
  ASSERT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  ASSERT_EQ(f.liste.ListCount(), t.UpperBound(1));
  for (int32_t i = 0; i < t.UpperBound(1); ++i)
    EXPECT_EQ(f.liste.List(i), street_list_line(t.Text(i, 0), t.Text(i, 2), t.Text(i, 3)));
}

TEST(ListLineTest, ComposesPlaceAndStreetLines) {
  EXPECT_EQ(place_list_line(" Frankfurt ", " am Main "), "Frankfurt am Main");
  EXPECT_EQ(place_list_line("Berlin", ""), "Berlin ");
  EXPECT_EQ(street_list_line("Hauptstr. ", " 1", "25 "), "Hauptstr. (1-25)");
  EXPECT_EQ(street_list_line("Hauptstr.", "1", ""), "Hauptstr. (1-)");
  EXPECT_EQ(street_list_line("Hauptstr.", "  ", "9"), "Hauptstr.");
}

TEST_F(ListFillerTest, FailuresShowTheFillersOwnTexts) {
  ListForm f;
  db_.exec("DROP TABLE ORT_DA");
  db_.exec("DROP TABLE STR_DA");
  tk().ExpectMsgBox(
          "Fehler bei der Ermittlung des Bestimmungsortes (Fill_OrtCombo)\n-2147217900 / SQL-Fehler: no such table: "
          "Ort_DA (Anweisung: SELECT ALORT_Neu, ozusatz, Oname FROM Ort_DA WHERE OName like 'B%' ORDER BY OName, "
          "OZusatz, ALORT)")
      .ExpectMsgBox(
          "Fehler bei der Ermittlung der Strassen (Fill_StrCombo)\n-2147217900 / SQL-Fehler: no such table: Str_DA "
          "(Anweisung: SELECT HNRVon, name46, HNRBis FROM Str_DA WHERE Alort = '11000000' order by Name46)");
  EXPECT_FALSE(Fill_OrtCombo(f.liste, "B"));
  EXPECT_FALSE(Fill_StrCombo(f.liste, "11000000", "", ""));
}

}  // namespace
}  // namespace noxplz
