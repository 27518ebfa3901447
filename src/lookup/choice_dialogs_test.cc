#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

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

// Lines that would read the same tell their rows apart: streets by postal
// code and district, places by the municipality of their place key (the
// postal code is in the line already), else by the place key. The list still
// maps each line to its row.
TEST_F(ChoiceDialogTest, LinesThatWouldReadTheSameTellTheirRowsApart) {
  VariantTable strassen = table(6, {{"Friedrich-Ebert-Gasse", "10115", "", "", "", ""},
                                    {"Friedrich-Ebert-Gasse", "10117", "", "", "", ""},
                                    {"Hauptstr.", "10115", "1", "9", "N", ""},
                                    {"Hauptstr.", "10115", "1", "9", "N", ""}});  // the file held it twice
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.control<ListBox>("lst_Auswahl").Items(),
              (Lines{"Friedrich-Ebert-Gasse   – 10115", "Friedrich-Ebert-Gasse   – 10117",
                     "Hauptstr.   ( 1 - 9 )", "Hauptstr.   ( 1 - 9 )"}));
    pick(1)(f);
  });
  EXPECT_EQ(choose_street(strassen), 1);

  // Without a database the municipality is unknown: the place key tells them apart.
  VariantTable orte = table(4, {{"Kirchahr", "", "55000001", "53505"},
                                {"Kirchahr", "", "55000002", "53505"},
                                {"Kirchahr", "", "55000003", "53506"}});
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.control<ListBox>("lst_Auswahl").Items(),
              (Lines{"Kirchahr     (53505)   – Ortsschlüssel 55000001", "Kirchahr     (53505)   – Ortsschlüssel 55000002",
                     "Kirchahr     (53506)"}));
    pick(1)(f);
  });
  EXPECT_EQ(choose_place(orte), 1);
}

// The street list opens on the first section whose range admits the house
// number; without a fitting section or house number on the first line.
TEST_F(ChoiceDialogTest, StreetListPreselectsTheSectionOfTheHouseNumber) {
  VariantTable t = table(6, {{"Hauptstr.", "10115", "1", "9", "N", ""},
                             {"Hauptstr.", "10117", "2", "20", "G", ""},
                             {"Hauptstr.", "10119", "11", "99", "U", ""},
                             {"Hauptweg", "10119", "", "", "", ""}});
  const std::pair<const char*, int32_t> cases[] = {{"14", 1}, {"15", 2}, {"7a", 0}, {"120", 0}, {"", 0}, {"x", 0}};
  for (const auto& [hausnummer, line] : cases) {
    SCOPED_TRACE(hausnummer);
    tk_->ExpectForm("frmAuswahl", [line = line](Form& f) {
      EXPECT_EQ(f.control<ListBox>("lst_Auswahl").ListIndex(), line);
      f.PressReturn();  // Return takes the selected line
    });
    EXPECT_EQ(choose_street(t, hausnummer), line);
  }
  // Rows without name are not offered; the preselection still finds its line.
  t.Set(0, 0, "");
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.control<ListBox>("lst_Auswahl").ListIndex(), 1);
    f.PressReturn();
  });
  EXPECT_EQ(choose_street(t, "15"), 2);
}

// Return takes the selected line also from the list; Escape cancels, from
// the list and from the focused "Übernehmen" alike.
TEST_F(ChoiceDialogTest, ReturnTakesTheLineAndEscapeCancels) {
  VariantTable t = table(4, {{"Aachen", "", "1", "52062"}, {"Aalen", "", "2", "73430"}});
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    auto& lst = f.control<ListBox>("lst_Auswahl");
    lst.SetFocus();
    lst.ListIndex(1);
    f.PressReturn();
  });
  EXPECT_EQ(choose_place(t), 1);
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    f.control<ListBox>("lst_Auswahl").SetFocus();
    f.PressEscape();
  });
  EXPECT_EQ(choose_place(t), -1);
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    f.control<Button>("cmd_Uebernehmen").SetFocus();
    f.PressEscape();
  });
  EXPECT_EQ(choose_place(t), -1);
  tk_->ExpectForm("frmAuswahl", [](Form& f) {
    f.control<Button>("cmd_Abbrechen").SetFocus();
    f.PressReturn();  // Return presses the focused button
  });
  EXPECT_EQ(choose_place(t), -1);
}

// The mismatch question by keyboard: Return answers with the focused
// "&Postleitzahl" (or the button the focus moved to), Escape as the close box.
TEST_F(ChoiceDialogTest, MismatchQuestionReturnAndEscape) {
  const std::pair<std::function<void(Form&)>, int32_t> cases[] = {
      {[](Form& f) { f.PressReturn(); }, 2},
      {[](Form& f) {
         f.control<Button>("cmd_Nein").SetFocus();
         f.PressReturn();
       }, -1},
      {[](Form& f) { f.PressEscape(); }, 0},
  };
  for (const auto& [act, answer] : cases) {
    tk_->ExpectForm("frmChkPlzOrt", act);
    EXPECT_EQ(Frage_PlzOrt(), answer);
  }
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
