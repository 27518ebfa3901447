#include <gtest/gtest.h>

#include <memory>

#include "dialogs/frm_auswahl.h"
#include "dialogs/frm_chk_plz_ort.h"
#include "lookup/global.h"
#include "testing/scripted_toolkit.h"

namespace noxplz {
namespace {

using testing::ScriptedToolkit;

VariantTable place_table() {
  VariantTable t;
  t.ReDim(0, 0, 0, 3);
  auto row = [&](const char* name, const char* zusatz, const char* alort, const char* plz) {
    int32_t r = t.UpperBound(1);
    t.Set(r, 0, name);
    t.Set(r, 1, zusatz);
    t.Set(r, 2, alort);
    t.Set(r, 3, plz);
    t.AppendRows(1);
  };
  row("Frankfurt", "(Oder)", "12000000", "15230");
  row("Frankfurt", "am Main", "06000000", "60311");
  row("Kleinhausen", "", "07000000", "55555");
  return t;
}

VariantTable street_table() {
  VariantTable t;
  t.ReDim(0, 0, 0, 5);
  auto row = [&](const char* name, const char* plz, const char* von, const char* bis, const char* ortsteil) {
    int32_t r = t.UpperBound(1);
    t.Set(r, 0, name);
    t.Set(r, 1, plz);
    t.Set(r, 2, von);
    t.Set(r, 3, bis);
    t.Set(r, 4, "N");
    t.Set(r, 5, ortsteil);
    t.AppendRows(1);
  };
  row("Hauptstr.", "10115", "1", "99", "Mitte");
  row("Lindenweg", "10115", "", "", "Mitte");
  row("Zollweg", "10117", "", "", "");
  row("Am Hang", "10117", "2", "8", "");
  return t;
}

TEST(ChoiceDialogTest, PlaceListShowsOneLinePerRowAndReturnsTheChosenRow) {
  auto tk = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use(tk);
  VariantTable t = place_table();
  tk->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.Caption(), "Orts-Auswahl");
    auto& lst = f.control<ListBox>("lst_Auswahl");
    EXPECT_EQ(lst.Items(), (std::vector<std::string>{"Frankfurt (Oder)    (15230)", "Frankfurt am Main    (60311)",
                                                     "Kleinhausen     (55555)"}));
    EXPECT_EQ(lst.ListIndex(), 0);  // the first line is selected on activation
    lst.ClickRow(2);
    f.control<Button>("cmd_Uebernehmen").Click();
  });
  EXPECT_EQ(choose_place(t), 2);
  tk->ExpectForm("frmAuswahl", [](Form& f) { f.control<ListBox>("lst_Auswahl").DoubleClickRow(1); });
  EXPECT_EQ(choose_place(t), 1);
  tk->ExpectForm("frmAuswahl", [](Form& f) { f.control<Button>("cmd_Abbrechen").Click(); });
  EXPECT_EQ(choose_place(t), -1);
  tk->ExpectForm("frmAuswahl", [](Form& f) { f.CloseRequested(); });
  EXPECT_EQ(choose_place(t), -1);
  tk->ExpectForm("frmAuswahl", [](Form& f) {
    f.control<ListBox>("lst_Auswahl").ListIndex(-1);
    f.control<Button>("cmd_Uebernehmen").Click();  // nothing selected
  });
  EXPECT_EQ(choose_place(t), -1);
}

TEST(ChoiceDialogTest, StreetListShowsRangesAndDistricts) {
  auto tk = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use(tk);
  VariantTable t = street_table();
  tk->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.Caption(), "Straßen-Auswahl");
    EXPECT_EQ(f.control<ListBox>("lst_Auswahl").Items(),
              (std::vector<std::string>{"Hauptstr.   ( 1 - 99 )   ( Mitte )", "Lindenweg   ( Mitte )", "Zollweg",
                                        "Am Hang   ( 2 - 8 )"}));
    f.control<ListBox>("lst_Auswahl").ClickRow(3);
    f.control<Button>("cmd_Uebernehmen").Click();
  });
  EXPECT_EQ(choose_street(t), 3);
}

TEST(ChoiceDialogTest, ARowWithoutNameIsNotOfferedAndLinesStillMapToTheirRows) {
  auto tk = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use(tk);
  VariantTable t = street_table();
  t.Set(1, 0, "  ");
  tk->ExpectForm("frmAuswahl", [](Form& f) {
    auto& lst = f.control<ListBox>("lst_Auswahl");
    ASSERT_EQ(lst.ListCount(), 3);
    lst.ClickRow(1);  // "Zollweg", table row 2
    f.control<Button>("cmd_Uebernehmen").Click();
  });
  EXPECT_EQ(choose_street(t), 2);
}

TEST(ChoiceDialogTest, EmptyTableStillShowsTheDialogWithoutSelection) {
  auto tk = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use(tk);
  VariantTable t;
  t.ReDim(0, 0, 0, 3);
  tk->ExpectForm("frmAuswahl", [](Form& f) {
    EXPECT_EQ(f.control<ListBox>("lst_Auswahl").ListIndex(), -1);
    f.control<Button>("cmd_Uebernehmen").Click();
  });
  EXPECT_EQ(choose_place(t), -1);
}

TEST(ChoiceDialogTest, FragePlzOrtAnswersPerButtonAndZeroWhenClosed) {
  auto tk = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use(tk);
  struct Case {
    const char* button;
    int32_t answer;
  } cases[] = {{"cmd_Postleitzahl", 2}, {"cmd_Ort", 1}, {"cmd_Nein", -1}};
  for (const Case& c : cases) {
    tk->ExpectForm("frmChkPlzOrt", [&](Form& f) {
      EXPECT_EQ(f.Caption(), "Prüfe Postleitzahl und Bestimmungsort");
      EXPECT_EQ(f.control<Label>("Label1").Caption(),
                "Die Postleitzahl und der Bestimmungsort stimmen nicht überein! Prüfen?");
      EXPECT_EQ(f.focused(), f.FindControl("cmd_Postleitzahl"));
      EXPECT_EQ(f.control<Picture>("Picture1").image(), Picture::Image::Question);
      f.control<Button>(c.button).Click();
    });
    EXPECT_EQ(Frage_PlzOrt(), c.answer) << c.button;
  }
  tk->ExpectForm("frmChkPlzOrt", [](Form& f) { f.CloseRequested(); });
  EXPECT_EQ(Frage_PlzOrt(), 0);
}

TEST(ChoiceDialogTest, ButtonCaptionsAndAccessKeys) {
  frmChkPlzOrt chk;
  EXPECT_EQ(chk.cmd_Postleitzahl.Caption(), "&Postleitzahl");
  EXPECT_EQ(chk.cmd_Ort.Caption(), "&Ort");
  EXPECT_EQ(chk.cmd_Nein.Caption(), "&Nein");
  EXPECT_EQ(chk.Antwort, 0);
  frmAuswahl auswahl;
  EXPECT_EQ(auswahl.cmd_Uebernehmen.Caption(), "Übernehmen");
  EXPECT_EQ(auswahl.cmd_Abbrechen.Caption(), "Abbrechen");
  EXPECT_EQ(auswahl.AuswahlIndex, -1);
}

}  // namespace
}  // namespace noxplz
