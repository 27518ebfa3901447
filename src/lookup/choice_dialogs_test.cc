#include <gtest/gtest.h>

#include <memory>

#include "lookup/global.h"
#include "testing/scripted_toolkit.h"

namespace noxplz {
namespace {

using Lines = std::vector<std::string>;

// A lookup table of `columns` columns holding `rows`, with the empty row after the last.
VariantTable table(int32_t columns, std::initializer_list<Lines> rows) {
  VariantTable t;
  t.ReDim(0, 0, 0, columns - 1);
  for (const Lines& row : rows) {
    for (size_t c = 0; c < row.size(); ++c) t.Set(t.UpperBound(1), static_cast<int32_t>(c), row[c]);
    t.AppendRows(1);
  }
  return t;
}

// The user clicks line `row` of the choice list and "Übernehmen".
auto pick(int32_t row) {
  return [=](Form& f) {
    f.control<ListBox>("lst_Auswahl").ClickRow(row);
    f.control<Button>("cmd_Uebernehmen").Click();
  };
}

class ChoiceDialogTest : public ::testing::Test {
 protected:
  std::shared_ptr<testing::ScriptedToolkit> tk_ = std::make_shared<testing::ScriptedToolkit>();
  ScopedToolkit use_{tk_};
};

TEST_F(ChoiceDialogTest, PlaceListShowsOneLinePerRowAndReturnsTheChosenRow) {
  VariantTable t = table(4, {{"Frankfurt", "(Oder)", "12000000", "15230"},
                             {"Frankfurt", "am Main", "06000000", "60311"},
                             {"Kleinhausen", "", "07000000", "55555"}});
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.Caption(), "Orts-Auswahl");
    auto& lst = f.control<ListBox>("lst_Auswahl");
    EXPECT_EQ(lst.Items(),
              (Lines{"Frankfurt (Oder)    (15230)", "Frankfurt am Main    (60311)", "Kleinhausen     (55555)"}));
    EXPECT_EQ(lst.ListIndex(), 0);  // the first line is selected on activation
    pick(2)(f);
  });
  EXPECT_EQ(choose_place(t), 2);
  tk_->ExpectForm("frmAuswahl", [](Form& f) { f.control<ListBox>("lst_Auswahl").DoubleClickRow(1); });
  EXPECT_EQ(choose_place(t), 1);
  // Taken over with nothing selected (cancel and close are part of the search scenarios).
  tk_->ExpectForm("frmAuswahl", pick(-1));
  EXPECT_EQ(choose_place(t), -1);
  // An empty table still shows the dialog, without selection.
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.control<ListBox>("lst_Auswahl").ListIndex(), -1);
    f.control<Button>("cmd_Uebernehmen").Click();
  });
  EXPECT_EQ(choose_place(table(4, {})), -1);
}

TEST_F(ChoiceDialogTest, StreetListShowsRangesAndDistrictsAndSkipsRowsWithoutName) {
  VariantTable t = table(6, {{"Hauptstr.", "10115", "1", "99", "N", "Mitte"},
                             {"Lindenweg", "10115", "", "", "N", "Mitte"},
                             {"Zollweg", "10117", "", "", "N", ""},
                             {"Am Hang", "10117", "2", "8", "N", ""}});
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.Caption(), "Straßen-Auswahl");
    EXPECT_EQ(f.control<ListBox>("lst_Auswahl").Items(),
              (Lines{"Hauptstr.   ( 1 - 99 )   ( Mitte )", "Lindenweg   ( Mitte )", "Zollweg", "Am Hang   ( 2 - 8 )"}));
    pick(3)(f);
  });
  EXPECT_EQ(choose_street(t), 3);
  // A row without name is not offered; the lines still map to their rows.
  t.Set(1, 0, "  ");
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.control<ListBox>("lst_Auswahl").Items(), (Lines{"Hauptstr.   ( 1 - 99 )   ( Mitte )", "Zollweg",
                                                                "Am Hang   ( 2 - 8 )"}));
    pick(1)(f);
  });
  EXPECT_EQ(choose_street(t), 2);
}

// The answers 2, 1, -1 and 0 are played through in the search scenarios of case B.
TEST_F(ChoiceDialogTest, FragePlzOrtShowsTheQuestion) {
  tk_->ExpectForm("frmChkPlzOrt", [&](Form& f) {
    EXPECT_EQ(f.Caption(), "Prüfe Postleitzahl und Bestimmungsort");
    EXPECT_EQ(f.control<Label>("Label1").Caption(),
              "Die Postleitzahl und der Bestimmungsort stimmen nicht überein! Prüfen?");
    EXPECT_EQ(f.control<Picture>("Picture1").image(), Picture::Image::Question);
    EXPECT_EQ(f.focused(), f.FindControl("cmd_Postleitzahl"));
    EXPECT_EQ(f.control<Button>("cmd_Postleitzahl").Caption() + f.control<Button>("cmd_Ort").Caption() +
                  f.control<Button>("cmd_Nein").Caption(),
              "&Postleitzahl&Ort&Nein");
    f.control<Button>("cmd_Ort").Click();
  });
  EXPECT_EQ(Frage_PlzOrt(), 1);
}

}  // namespace
}  // namespace noxplz
