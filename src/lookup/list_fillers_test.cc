#include <gtest/gtest.h>

#include "lookup/global.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;
using Lines = std::vector<std::string>;

// A list control on a form of its own, as the search dialog has it.
struct ListForm : Form {
  ListForm() : Form("frmListe", "", {0, 0, 3000, 3000}) {}
  ListBox liste{*this, "liste", {0, 0, 3000, 3000}, 0};
};

class ListFillerTest : public PostalTest {};

TEST_F(ListFillerTest, EntriesMatchTheirLookupTablesRowByRow) {
  ListForm f;
  f.liste.AddItem("alt");
  VariantTable t;
  auto lines_of = [&t](auto line) {
    Lines lines;
    for (int32_t i = 0; i < t.UpperBound(1); ++i) lines.push_back(line(i));
    return lines;
  };
  for (const char* name : {"", "F", "Altdorf", "Berlin"}) {
    ASSERT_TRUE(Fill_OrtCombo(f.liste, name)) << name;
    ASSERT_TRUE(Ermittle_Orte(name, t)) << name;
    EXPECT_EQ(f.liste.Items(), lines_of([&](int32_t i) { return place_list_line(t.Text(i, 0), t.Text(i, 1)); }));
  }
  std::string strasse;
  ASSERT_TRUE(Fill_StrCombo(f.liste, "11000000", "", ""));
  ASSERT_TRUE(Ermittle_Strassen("11000000", t, strasse, ""));
  EXPECT_EQ(f.liste.Items(),
            lines_of([&](int32_t i) { return street_list_line(t.Text(i, 0), t.Text(i, 2), t.Text(i, 3)); }));
}

// Typing in the search dialog covers the usual lines; here the quoting and the line edge cases.
TEST_F(ListFillerTest, ApostrophesAndLineEdgeCases) {
  ListForm f;
  ASSERT_TRUE(Fill_OrtCombo(f.liste, "D'O"));
  EXPECT_EQ(f.liste.Items(), Lines{"D'Orf "});
  ASSERT_TRUE(Fill_StrCombo(f.liste, "11000000", "Rue d'", ""));
  EXPECT_EQ(f.liste.Items(), Lines{"Rue d'Arc"});
  EXPECT_EQ(place_list_line(" Frankfurt ", " am Main "), "Frankfurt am Main");
  EXPECT_EQ(street_list_line("Hauptstr. ", " 1", "25 "), "Hauptstr. (1-25)");
  EXPECT_EQ(street_list_line("Hauptstr.", "1", ""), "Hauptstr. (1-)");
  EXPECT_EQ(street_list_line("Hauptstr.", "  ", "9"), "Hauptstr.");
}

TEST_F(ListFillerTest, FailuresShowTheFillersOwnTexts) {
  ListForm f;
  db_.exec("DROP TABLE ORT_DA");
  db_.exec("DROP TABLE STR_DA");
  // The fixed text, then the number and the backend's description of the failed statement.
  tk().ExpectMsgBox("Fehler bei der Ermittlung des Bestimmungsortes (Fill_OrtCombo)\n" +
                    db_.error_of("SELECT ALORT_Neu, ozusatz, Oname FROM Ort_DA WHERE OName like 'B%' ORDER BY OName, "
                                 "OZusatz, ALORT"))
      .ExpectMsgBox("Fehler bei der Ermittlung der Strassen (Fill_StrCombo)\n" +
                    db_.error_of("SELECT HNRVon, name46, HNRBis FROM Str_DA WHERE Alort = '11000000' order by Name46"));
  EXPECT_FALSE(Fill_OrtCombo(f.liste, "B"));
  EXPECT_FALSE(Fill_StrCombo(f.liste, "11000000", "", ""));
}

}  // namespace
}  // namespace noxplz
