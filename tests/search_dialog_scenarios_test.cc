// End-to-end sessions with the search dialog "Plz-Prüfung": the host calls
// PlzSuchenDialog, the scripted toolkit plays the user key by key and click
// by click, and the host reads the outcome from its arguments and Geprueft.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dialogs/frm_plz.h"
#include "manager/session.h"
#include "noxplz/error.h"
#include "noxplz/plz_manager.h"
#include "noxplz/ui.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using testing::ScriptedToolkit;
using testing::TempDatabase;

const std::string kStrasseNichtGefunden =
    "Straße nicht gefunden! (Bitte prüfen Sie die Schreibweise)\n"
    "Möchten Sie aus der Liste der Straßen auswählen?";

// A small postal database: Berlin with five street sections, two places
// named Bernau, a replaced place, Hamburg, Bonn, and Dorfen without streets.
void fill_postal_data(TempDatabase& db) {
  auto ort = [&](const char* alort, const char* name, const char* zusatz, const char* neu) {
    db.insert("ORT_DA", {{"ALORT", alort}, {"ONAME", name}, {"OZUSATZ", zusatz}, {"ALORT_NEU", neu}});
  };
  ort("11000000", "Berlin", "", "");
  ort("11000001", "Bernau", "b Berlin", "");
  ort("11000002", "Bernau", "im Chiemgau", "");
  ort("11000003", "Bernstadt", "", "11000099");  // replaced: never offered
  ort("22000000", "Hamburg", "", "");
  ort("33000000", "Dorfen", "", "");
  ort("44000000", "Bonn", "", "");

  auto plz = [&](const char* code, const char* alort, const char* art) {
    db.insert("PLZ_DA", {{"PLZ", code}, {"ALORT", alort}, {"ART_Auslieferung", art}});
  };
  plz("10115", "11000000", "6");
  plz("16321", "11000001", "6");
  plz("83209", "11000002", "6");
  plz("20095", "22000000", "6");
  plz("84405", "33000000", "6");
  plz("53111", "44000000", "6");

  auto str = [&](const char* alort, const char* name, const char* code, const char* von, const char* bis,
                 const char* typ) {
    db.insert("STR_DA", {{"ALORT", alort},
                         {"NAME46", name},
                         {"PLZ", code},
                         {"HNRVON", von},
                         {"HNRBIS", bis},
                         {"HNR_TYP", typ},
                         {"OTL_SCHL", ""}});
  };
  str("11000000", "Hafenweg", "10119", "", "", "");
  str("11000000", "Hauptstr.", "10115", "2", "10", "N");
  str("11000000", "Hauptstr.", "10117", "12", "98", "G");
  str("11000000", "Lindenstr.", "10178", "1", "99", "U");
  str("11000000", "Zollweg", "10179", "", "", "");
  str("11000001", "Bahnhofstr.", "16321", "", "", "");
  str("11000002", "Chiemseestr.", "83209", "", "", "");
  str("22000000", "Alsterweg", "20095", "", "", "");
}

class SearchDialogScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    fill_postal_data(db_);
    ASSERT_TRUE(host_.Init(nullptr, "", db_.connection()));
  }
  void TearDown() override { session() = Session{}; }

  // Scripts the dialog; `user` plays the user. Message boxes that the user
  // meets inside the dialog are scripted after this step.
  void expect_dialog(std::function<void(frmPlz&)> user) {
    tk_->ExpectForm("frmPlz", [user](Form& f) { user(dynamic_cast<frmPlz&>(f)); });
  }
  void call() { host_.PlzSuchenDialog(plz_, ort_, strasse_, hausnummer_); }
  void run(std::function<void(frmPlz&)> user) {
    expect_dialog(std::move(user));
    call();
  }

  TempDatabase db_;
  std::shared_ptr<ScriptedToolkit> tk_ = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use_{tk_};
  clsPlzManager host_;
  std::string plz_, ort_, strasse_, hausnummer_;
};

int32_t row_of(const ListBox& list, const std::string& line) {
  for (int32_t i = 0; i < list.ListCount(); ++i)
    if (list.List(i) == line) return i;
  ADD_FAILURE() << "kein Eintrag \"" << line << "\"";
  return -1;
}

// The place keys of the rows behind the list entries, in list order.
std::vector<std::string> keys_behind(const ListBox& list) {
  std::vector<std::string> keys;
  for (int32_t i = 0; i < list.ListCount(); ++i) keys.push_back(session().OrtTabelle->Text(i, 2));
  return keys;
}

TEST_F(SearchDialogScenario, TypingAPlaceNarrowsTheListLiveAndFillsThePostalCodeOfAUniquePlace) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeKey("B");
    EXPECT_EQ(f.lst_Orte.ListCount(), 4);  // Berlin, two Bernau, Bonn; not the replaced Bernstadt
    EXPECT_EQ(f.txt_Plz.Text(), "");
    f.txt_Ort.TypeKey("e");
    f.txt_Ort.TypeKey("r");
    EXPECT_EQ(f.lst_Orte.ListCount(), 3);
    EXPECT_EQ(f.txt_Plz.Text(), "");
    // Entry i shows row i: the additions tell the two Bernau apart.
    std::vector<std::string> keys = keys_behind(f.lst_Orte);
    EXPECT_EQ(keys[static_cast<size_t>(row_of(f.lst_Orte, "Bernau im Chiemgau"))], "11000002");
    EXPECT_EQ(keys[static_cast<size_t>(row_of(f.lst_Orte, "Bernau b Berlin"))], "11000001");
    EXPECT_EQ(keys[static_cast<size_t>(row_of(f.lst_Orte, "Berlin "))], "11000000");
    f.txt_Ort.TypeKey("l");
    ASSERT_EQ(f.lst_Orte.ListCount(), 1);
    EXPECT_EQ(f.lst_Orte.List(0), "Berlin ");
    EXPECT_EQ(f.txt_Plz.Text(), "10115");
    f.cmd_Abbruch.Click();
  });
  EXPECT_EQ(host_.Geprueft(), 0);
}

TEST_F(SearchDialogScenario, ArrowKeysMoveBetweenPlaceFieldAndList) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Bern");
    ASSERT_EQ(f.lst_Orte.ListCount(), 2);
    const std::string first_key = session().OrtTabelle->Text(0, 2);
    f.txt_Ort.SetFocus();
    f.txt_Ort.PressKey(key::kDown);
    EXPECT_EQ(f.focused(), &f.lst_Orte);
    EXPECT_EQ(f.lst_Orte.ListIndex(), 0);
    EXPECT_EQ(f.txt_Ort.Text(), "Bernau");  // the click ran for the first entry
    EXPECT_EQ(f.txt_Ort.Tag(), first_key);
    EXPECT_EQ(f.lst_Orte.ListCount(), 2);

    f.lst_Orte.ClickRow(1);
    f.lst_Orte.PressKey(key::kUp);  // not on the first entry: the focus stays
    EXPECT_EQ(f.focused(), &f.lst_Orte);
    f.lst_Orte.ClickRow(0);
    f.lst_Orte.PressKey(key::kUp);
    EXPECT_EQ(f.focused(), &f.txt_Ort);

    // Down on an empty list moves the focus and selects nothing.
    f.txt_Ort.TypeText("xyz");
    ASSERT_EQ(f.lst_Orte.ListCount(), 0);
    f.txt_Ort.PressKey(key::kDown);
    EXPECT_EQ(f.focused(), &f.lst_Orte);
    EXPECT_EQ(f.lst_Orte.ListIndex(), -1);
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, ClickingAPlaceWithStreetsFillsStreetsAndPostalCodeAndKeepsThePlaceList) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Bern");
    const std::vector<std::string> before = f.lst_Orte.Items();
    const int32_t row = row_of(f.lst_Orte, "Bernau im Chiemgau");
    f.lst_Orte.ClickRow(row);
    EXPECT_EQ(f.txt_Ort.Text(), "Bernau");  // the bare name, without addition
    EXPECT_EQ(f.txt_Ort.Tag(), "11000002");
    EXPECT_EQ(f.txt_Plz.Text(), "83209");
    EXPECT_EQ(f.lst_Strassen.Items(), std::vector<std::string>{"Chiemseestr."});
    EXPECT_EQ(f.lst_Orte.Items(), before);  // no new place search
    EXPECT_EQ(f.lst_Orte.ListIndex(), row);

    // The other Bernau gets its own streets and code.
    f.lst_Orte.ClickRow(row_of(f.lst_Orte, "Bernau b Berlin"));
    EXPECT_EQ(f.txt_Ort.Tag(), "11000001");
    EXPECT_EQ(f.txt_Plz.Text(), "16321");
    EXPECT_EQ(f.lst_Strassen.Items(), std::vector<std::string>{"Bahnhofstr."});
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, ClickingAPlaceListsAllStreetsInTableOrder) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    ASSERT_EQ(f.lst_Strassen.ListCount(), 5);
    const VariantTable& t = *session().StrTabelle;
    ASSERT_EQ(t.UpperBound(1), 5);
    for (int32_t i = 0; i < 5; ++i) {
      // Entry i names the street and range of row i.
      EXPECT_EQ(f.lst_Strassen.List(i).rfind(t.Text(i, 0), 0), 0u) << i;
      if (!t.Text(i, 2).empty()) {
        EXPECT_NE(f.lst_Strassen.List(i).find("(" + t.Text(i, 2) + "-" + t.Text(i, 3) + ")"), std::string::npos);
      }
    }
    EXPECT_EQ(f.lst_Strassen.List(0), "Hafenweg");
    EXPECT_EQ(f.lst_Strassen.List(4), "Zollweg");
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, APlaceWithoutStreetsEmptiesTheTagAndStreetTypingChangesNothing) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    ASSERT_EQ(f.txt_Ort.Tag(), "11000000");

    f.txt_Ort.Text("");
    f.txt_Ort.TypeText("Dorf");
    f.lst_Orte.ClickRow(0);
    EXPECT_EQ(f.txt_Ort.Tag(), "");
    EXPECT_EQ(f.txt_Plz.Text(), "84405");
    EXPECT_EQ(f.lst_Strassen.ListCount(), 0);

    f.txt_Strasse.TypeText("Hau");
    EXPECT_EQ(f.lst_Strassen.ListCount(), 0);
    EXPECT_EQ(f.txt_Plz.Text(), "84405");
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, BlankPlaceTextClearsOnlyThePlaceListAndTheTagSurvivesNewTyping) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    f.txt_Ort.TypeKey("\b");
    f.txt_Ort.TypeKey("\b");  // "Berl" after the click put "Berlin" there
    EXPECT_EQ(f.lst_Orte.ListCount(), 1);
    f.txt_Ort.Text("  ");
    EXPECT_EQ(f.lst_Orte.ListCount(), 0);
    EXPECT_EQ(f.txt_Plz.Text(), "10115");  // unchanged by blanks
    EXPECT_EQ(f.txt_Ort.Tag(), "11000000");

    // Another place typed but not clicked: the street side still works on Berlin.
    f.txt_Ort.Text("");
    f.txt_Ort.TypeText("Hamb");
    EXPECT_EQ(f.txt_Plz.Text(), "20095");
    EXPECT_EQ(f.lst_Strassen.ListCount(), 0);
    f.txt_Strasse.TypeText("Zo");
    EXPECT_EQ(f.lst_Strassen.Items(), std::vector<std::string>{"Zollweg"});
    EXPECT_EQ(f.txt_Plz.Text(), "10179");
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, ClickOnAPlaceWhoseNameIsAlreadyTypedLeavesThePlaceSearchWorking) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Hamburg");
    f.lst_Orte.ClickRow(0);  // the field already reads Hamburg
    EXPECT_EQ(f.lst_Strassen.Items(), std::vector<std::string>{"Alsterweg"});
    f.txt_Ort.TypeKey("\b");  // this change is the user's and must search
    EXPECT_EQ(f.lst_Strassen.ListCount(), 0);
    EXPECT_EQ(f.lst_Orte.ListIndex(), -1);
    EXPECT_EQ(f.txt_Plz.Text(), "20095");
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, StreetTypingNarrowsByTheNormalisedTextBeforeTheKey) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    f.lst_Strassen.Clear();
    f.txt_Plz.Text("99999");

    f.txt_Strasse.TypeKey("H");  // the field was empty: all streets, txt_Plz stays
    EXPECT_EQ(f.lst_Strassen.ListCount(), 5);
    EXPECT_EQ(f.txt_Plz.Text(), "99999");
    f.txt_Strasse.TypeKey("a");  // works on "H"
    EXPECT_EQ(f.lst_Strassen.ListCount(), 3);
    EXPECT_EQ(f.lst_Strassen.List(0), "Hafenweg");
    EXPECT_EQ(f.txt_Plz.Text(), "10119");
    f.txt_Strasse.TypeKey("u");  // works on "Ha"
    EXPECT_EQ(f.lst_Strassen.ListCount(), 3);
    f.txt_Strasse.TypeKey("p");  // works on "Hau"
    EXPECT_EQ(f.lst_Strassen.ListCount(), 2);
    EXPECT_EQ(f.txt_Strasse.Text(), "Haup");

    f.txt_Strasse.Text("Lindenstrasse");
    f.txt_Strasse.TypeText(" 4");  // the blank's key press works on Lindenstrasse
    EXPECT_EQ(f.lst_Strassen.Items(), std::vector<std::string>{"Lindenstr. (1-99)"});
    EXPECT_EQ(f.txt_Plz.Text(), "10178");
    EXPECT_EQ(f.txt_Strasse.Text(), "Lindenstrasse 4");  // the box keeps what was typed
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, StreetNotFoundQuestionAnsweredYesOffersAllStreets) {
  expect_dialog([&](frmPlz& f) {
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    f.txt_Strasse.TypeText("Xy");  // the key y works on "X": the question
    EXPECT_EQ(f.lst_Strassen.ListCount(), 5);
    EXPECT_EQ(session().StrTabelle->UpperBound(1), 5);
    EXPECT_EQ(f.txt_Plz.Text(), "10119");  // first section of all streets
    EXPECT_EQ(f.txt_Strasse.Text(), "Xy");
    f.cmd_Abbruch.Click();
  });
  tk_->ExpectMsgBox(kStrasseNichtGefunden, mb::kYes, mb::kYesNo, "Achtung");
  call();
}

TEST_F(SearchDialogScenario, StreetNotFoundQuestionAnsweredNoEmptiesListAndPostalCode) {
  expect_dialog([&](frmPlz& f) {
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    f.txt_Strasse.TypeText("Xy");
    EXPECT_EQ(f.lst_Strassen.ListCount(), 0);
    EXPECT_EQ(f.txt_Plz.Text(), "");
    f.cmd_Abbruch.Click();
  });
  tk_->ExpectMsgBox(kStrasseNichtGefunden, mb::kNo, mb::kYesNo, "Achtung");
  call();
}

TEST_F(SearchDialogScenario, ChoosingASectionTakesNameAndCodeAndColoursTheHouseNumber) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    f.txt_Strasse.TypeText("Haupt");
    ASSERT_EQ(f.lst_Strassen.ListCount(), 2);
    const std::vector<std::string> sections = f.lst_Strassen.Items();

    f.txt_Hausnummer.TypeText("13");  // odd number in a section of even numbers
    f.lst_Strassen.ClickRow(row_of(f.lst_Strassen, "Hauptstr. (12-98)"));
    EXPECT_EQ(f.txt_Strasse.Text(), "Hauptstr.");
    EXPECT_EQ(f.txt_Plz.Text(), "10117");
    EXPECT_EQ(f.txt_Hausnummer.BackColor(), 255);
    EXPECT_EQ(f.lst_Strassen.Items(), sections);  // taking the name over narrows nothing

    f.txt_Hausnummer.Text("5");  // 5 lies in 2..10 as a number
    f.lst_Strassen.ClickRow(row_of(f.lst_Strassen, "Hauptstr. (2-10)"));
    EXPECT_EQ(f.txt_Plz.Text(), "10115");
    EXPECT_EQ(f.txt_Hausnummer.BackColor(), 16777215);

    f.txt_Hausnummer.Text("14");
    f.lst_Strassen.ClickRow(row_of(f.lst_Strassen, "Hauptstr. (12-98)"));
    EXPECT_EQ(f.txt_Hausnummer.BackColor(), 16777215);
    f.txt_Hausnummer.Text("11");
    f.lst_Strassen.ClickRow(row_of(f.lst_Strassen, "Hauptstr. (2-10)"));
    EXPECT_EQ(f.txt_Hausnummer.BackColor(), 255);

    // Choosing a place resets the colour.
    f.lst_Orte.ClickRow(0);
    EXPECT_EQ(f.txt_Hausnummer.BackColor(), 16777215);
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, ASectionWithoutRangeLeavesTheColourAndArrowKeysWorkOnStreets) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    f.txt_Hausnummer.Text("11");
    f.txt_Strasse.TypeText("Hau");
    f.lst_Strassen.ClickRow(row_of(f.lst_Strassen, "Hauptstr. (2-10)"));
    ASSERT_EQ(f.txt_Hausnummer.BackColor(), 255);

    f.txt_Strasse.Text("");
    f.txt_Strasse.TypeText("Za");  // "Z": Zollweg only
    ASSERT_EQ(f.lst_Strassen.Items(), std::vector<std::string>{"Zollweg"});
    f.txt_Strasse.SetFocus();
    f.txt_Strasse.PressKey(key::kDown);
    EXPECT_EQ(f.focused(), &f.lst_Strassen);
    EXPECT_EQ(f.lst_Strassen.ListIndex(), 0);
    EXPECT_EQ(f.txt_Strasse.Text(), "Zollweg");
    EXPECT_EQ(f.txt_Plz.Text(), "10179");
    EXPECT_EQ(f.txt_Hausnummer.BackColor(), 255);  // no range: no check
    f.lst_Strassen.PressKey(key::kUp);
    EXPECT_EQ(f.focused(), &f.txt_Strasse);
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, PlaceClickWithAStreetAlreadyTypedNarrowsTheStreets) {
  run([&](frmPlz& f) {
    f.txt_Strasse.TypeText("Lin");  // no place chosen yet: nothing happens
    EXPECT_EQ(f.lst_Strassen.ListCount(), 0);
    f.txt_Ort.TypeText("Berl");
    f.lst_Orte.ClickRow(0);
    EXPECT_EQ(f.lst_Strassen.Items(), std::vector<std::string>{"Lindenstr. (1-99)"});
    EXPECT_EQ(f.txt_Plz.Text(), "10178");
    f.cmd_Abbruch.Click();
  });
}

TEST_F(SearchDialogScenario, UebernehmenReturnsTheFourTextsUntrimmedAndGeprueftMinusOne) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText(" Berlin ");
    f.txt_Plz.TypeText(" 10115 ");
    f.txt_Strasse.TypeText(" Hauptstr. ");
    f.txt_Hausnummer.TypeText(" 5a ");
    f.cmd_Uebernehmen.Click();
  });
  EXPECT_EQ(plz_, " 10115 ");
  EXPECT_EQ(ort_, " Berlin ");
  EXPECT_EQ(strasse_, " Hauptstr. ");
  EXPECT_EQ(hausnummer_, " 5a ");
  EXPECT_EQ(host_.Geprueft(), -1);
  // The dialog's manager ended with it: no session until the next Init.
  EXPECT_EQ(host_.Plz(), "");
  EXPECT_EQ(session().connection, nullptr);
  EXPECT_EQ(session().OrtTabelle, nullptr);
  ASSERT_TRUE(host_.Init(nullptr, "", db_.connection()));
  EXPECT_EQ(session().connection, db_.connection());
}

TEST_F(SearchDialogScenario, AbbrechenReturnsThePriorResultsAndGeprueftZero) {
  host_.Plz("50667");
  host_.Ort("Köln");
  host_.Strasse("Domkloster 4");
  host_.Hausnummer("");
  host_.Geprueft(-1);
  plz_ = "10115";
  ort_ = "Berlin";
  strasse_ = "Hauptstr. 5";
  run([&](frmPlz& f) {
    f.txt_Ort.TypeKey("x");
    f.cmd_Abbruch.Click();
  });
  EXPECT_EQ(plz_, "50667");
  EXPECT_EQ(ort_, "Köln");
  EXPECT_EQ(strasse_, "Domkloster 4");
  EXPECT_EQ(hausnummer_, "");
  EXPECT_EQ(host_.Geprueft(), 0);
}

TEST_F(SearchDialogScenario, OpensWithTheCallersAddressAndTheHouseNumberMovedOutOfTheStreet) {
  plz_ = "";
  ort_ = "Hamburg";
  strasse_ = "Alsterweg 12a";
  run([&](frmPlz& f) {
    EXPECT_EQ(f.txt_Strasse.Text(), "Alsterweg");
    EXPECT_EQ(f.txt_Hausnummer.Text(), "12a");
    EXPECT_EQ(f.txt_Ort.Text(), "Hamburg");
    EXPECT_EQ(f.lst_Orte.Items(), std::vector<std::string>{"Hamburg "});  // searched at load
    // The unique place's code from the load is replaced by the caller's empty one.
    EXPECT_EQ(f.txt_Plz.Text(), "");
    EXPECT_EQ(f.lbl_Ort.Caption(), "");
    EXPECT_EQ(f.lbl_Strasse.Caption(), "");
    EXPECT_EQ(f.txt_Ort.Tag(), "");
    f.cmd_Uebernehmen.Click();
  });
  EXPECT_EQ(strasse_, "Alsterweg");
  EXPECT_EQ(hausnummer_, "12a");
  EXPECT_EQ(ort_, "Hamburg");
  EXPECT_EQ(plz_, "");
}

TEST_F(SearchDialogScenario, AGivenHouseNumberKeepsTheStreetAsItIs) {
  plz_ = "12345";
  ort_ = "Berlin";
  strasse_ = "Hauptstr. 7";
  hausnummer_ = "9";
  run([&](frmPlz& f) {
    EXPECT_EQ(f.txt_Strasse.Text(), "Hauptstr. 7");
    EXPECT_EQ(f.txt_Hausnummer.Text(), "9");
    EXPECT_EQ(f.txt_Plz.Text(), "12345");  // the caller's code, not the one the load found
    f.cmd_Uebernehmen.Click();
  });
  EXPECT_EQ(strasse_, "Hauptstr. 7");
  EXPECT_EQ(hausnummer_, "9");
}

TEST_F(SearchDialogScenario, ClosingByTheFrameUnloadsAtOnceAndReturnsTheEmptiedTexts) {
  host_.Plz("50667");
  host_.Geprueft(-1);
  plz_ = "10115";
  ort_ = "Berlin";
  run([&](frmPlz& f) {
    f.txt_Ort.TypeKey("x");
    f.CloseRequested();
    EXPECT_FALSE(f.loaded());
    EXPECT_EQ(f.dialog_manager(), nullptr);
    EXPECT_EQ(session().connection, nullptr);  // reset before the dialog returns
  });
  EXPECT_EQ(plz_, "");
  EXPECT_EQ(ort_, "");
  EXPECT_EQ(host_.Geprueft(), 0);
}

TEST_F(SearchDialogScenario, WithoutHouseNumberArgumentTheDialogStillReturnsItsTexts) {
  std::string plz = "20095", ort = "Hamburg", strasse = "Alsterweg";
  tk_->ExpectForm("frmPlz", [](Form& f) {
    auto& dlg = dynamic_cast<frmPlz&>(f);
    dlg.txt_Hausnummer.TypeText("3");
    dlg.cmd_Uebernehmen.Click();
  });
  host_.PlzSuchenDialog(plz, ort, strasse);
  EXPECT_EQ(plz, "20095");
  EXPECT_EQ(ort, "Hamburg");
  EXPECT_EQ(strasse, "Alsterweg");
  EXPECT_EQ(host_.Geprueft(), -1);
}

TEST_F(SearchDialogScenario, AFailureWhileOpeningLeavesTheArgumentsAndEndsTheDialog) {
  plz_ = "10115";
  ort_ = "Berlin";
  host_.Geprueft(-1);
  tk_->ExpectForm("frmPlz", [](Form&) { throw Error(5, "Ungültiger Prozeduraufruf oder ungültiges Argument"); });
  host_.PlzSuchenDialog(plz_, ort_, strasse_, hausnummer_);
  EXPECT_EQ(plz_, "10115");
  EXPECT_EQ(ort_, "Berlin");
  EXPECT_EQ(host_.Geprueft(), 0);  // the dialog's manager ended: the session is reset
  EXPECT_EQ(session().connection, nullptr);
}

}  // namespace
}  // namespace noxplz
