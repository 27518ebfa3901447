// End-to-end sessions with the search dialog "Plz-Prüfung": the host calls
// PlzSuchenDialog, the scripted toolkit plays the user key by key and click
// by click, and the host reads the outcome from its arguments and Geprueft.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/frm_plz.h"
#include "manager/session.h"
#include "noxplz/error.h"
#include "noxplz/plz_manager.h"
#include "noxplz/ui.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::FixtureRows;
using testing::TempDatabase;
using Lines = std::vector<std::string>;

const std::string kStrasseNichtGefunden =
    "Straße nicht gefunden! (Bitte prüfen Sie die Schreibweise)\n"
    "Möchten Sie aus der Liste der Straßen auswählen?";

// A small postal database: Berlin with five street sections, two places
// named Bernau, a replaced place, Hamburg, Bonn, and Dorfen without streets.
void fill_postal_data(TempDatabase& db) {
  for (const auto& [alort, name, zusatz, neu] : FixtureRows<4>{
           {"11000000", "Berlin", "", ""}, {"11000001", "Bernau", "b Berlin", ""},
           {"11000002", "Bernau", "im Chiemgau", ""}, {"11000003", "Bernstadt", "", "11000099"},  // replaced
           {"22000000", "Hamburg", "", ""}, {"33000000", "Dorfen", "", ""}, {"44000000", "Bonn", "", ""}})
    db.insert("ORT_DA", {{"ALORT", alort}, {"ONAME", name}, {"OZUSATZ", zusatz}, {"ALORT_NEU", neu}});
  for (const auto& [code, alort] : FixtureRows<2>{{"10115", "11000000"}, {"16321", "11000001"}, {"83209", "11000002"},
                                                  {"20095", "22000000"}, {"84405", "33000000"}, {"53111", "44000000"}})
    db.insert("PLZ_DA", {{"PLZ", code}, {"ALORT", alort}, {"ART_Auslieferung", "6"}});
  for (const auto& [alort, name, code, von, bis, typ] : FixtureRows<6>{
           {"11000000", "Hafenweg", "10119", "", "", ""}, {"11000000", "Hauptstr.", "10115", "2", "10", "N"},
           {"11000000", "Hauptstr.", "10117", "12", "98", "G"}, {"11000000", "Lindenstr.", "10178", "1", "99", "U"},
           {"11000000", "Zollweg", "10179", "", "", ""}, {"11000001", "Bahnhofstr.", "16321", "", "", ""},
           {"11000002", "Chiemseestr.", "83209", "", "", ""}, {"22000000", "Alsterweg", "20095", "", "", ""}})
    db.insert("STR_DA", {{"ALORT", alort}, {"NAME46", name}, {"PLZ", code}, {"HNRVON", von}, {"HNRBIS", bis},
                         {"HNR_TYP", typ}, {"OTL_SCHL", ""}});
}

// What the user sees of the search: txt_Plz and the number of places and streets listed.
std::string view(const frmPlz& f) {
  return f.txt_Plz.Text() + " | " + std::to_string(f.lst_Orte.ListCount()) + " Orte | " +
         std::to_string(f.lst_Strassen.ListCount()) + " Straßen";
}

// Types "Berl" and clicks the one place, Berlin.
void choose_berlin(frmPlz& f) {
  f.txt_Ort.TypeText("Berl");
  f.lst_Orte.ClickRow(0);
}

class SearchDialogScenario : public testing::ScriptedTest {
 protected:
  void SetUp() override {
    fill_postal_data(db_);
    ASSERT_TRUE(host_.Init(nullptr, "", db_.connection()));
  }

  // Scripts the dialog with `user` playing the user; a dialog the user leaves
  // open is ended with "Abbrechen". Message boxes met inside the dialog are
  // scripted after this step.
  void expect_dialog(std::function<void(frmPlz&)> user) {
    tk_->ExpectForm("frmPlz", [user](Form& f) {
      auto& dlg = dynamic_cast<frmPlz&>(f);
      user(dlg);
      if (dlg.visible()) dlg.cmd_Abbruch.Click();
    });
  }
  void call() { host_.PlzSuchenDialog(plz_, ort_, strasse_, hausnummer_); }
  void run(std::function<void(frmPlz&)> user) {
    expect_dialog(std::move(user));
    call();
  }
  std::string args() const { return plz_ + "|" + ort_ + "|" + strasse_ + "|" + hausnummer_; }
  void set_args(std::string plz, std::string ort, std::string strasse = "", std::string hausnummer = "") {
    plz_ = plz, ort_ = ort, strasse_ = strasse, hausnummer_ = hausnummer;
  }

  clsPlzManager host_;
  std::string plz_, ort_, strasse_, hausnummer_;
};

TEST_F(SearchDialogScenario, PlaceTypingArrowKeysAndClicks) {
  run([&](frmPlz& f) {
    f.txt_Ort.TypeKey("B");
    EXPECT_EQ(view(f), " | 4 Orte | 0 Straßen");  // Berlin, two Bernau, Bonn; not the replaced Bernstadt
    f.txt_Ort.TypeText("er");
    EXPECT_EQ(view(f), " | 3 Orte | 0 Straßen");
    f.txt_Ort.TypeKey("l");
    EXPECT_EQ(f.lst_Orte.Items(), Lines{"Berlin "});
    EXPECT_EQ(f.txt_Plz.Text(), "10115");  // a unique place fills the postal code

    // Down moves into the list and runs the click for the first entry; Up
    // moves back from the first entry only.
    f.txt_Ort.TypeText("\bn");  // "Bern": the two Bernau, told apart by their additions
    const Lines bernau = {"Bernau b Berlin", "Bernau im Chiemgau"};
    ASSERT_EQ(f.lst_Orte.Items(), bernau);
    f.txt_Ort.SetFocus();
    f.txt_Ort.PressKey(key::kDown);
    EXPECT_EQ(f.focused(), &f.lst_Orte);
    EXPECT_EQ(f.lst_Orte.ListIndex(), 0);
    EXPECT_EQ(f.txt_Ort.Text() + "|" + f.txt_Ort.Tag(), "Bernau|11000001");  // the bare name, without addition
    f.lst_Orte.ClickRow(1);
    f.lst_Orte.PressKey(key::kUp);
    EXPECT_EQ(f.focused(), &f.lst_Orte);
    // The click took the place with its streets and postal code and searched no places.
    EXPECT_EQ(f.txt_Ort.Text() + "|" + f.txt_Ort.Tag(), "Bernau|11000002");
    EXPECT_EQ(f.txt_Plz.Text(), "83209");
    EXPECT_EQ(f.lst_Strassen.Items(), Lines{"Chiemseestr."});
    EXPECT_EQ(f.lst_Orte.Items(), bernau);
    EXPECT_EQ(f.lst_Orte.ListIndex(), 1);
    f.lst_Orte.ClickRow(0);
    f.lst_Orte.PressKey(key::kUp);
    EXPECT_EQ(f.focused(), &f.txt_Ort);

    // Berlin: all its streets in table order, with the ranges of divided streets.
    f.txt_Ort.Text("");
    choose_berlin(f);
    EXPECT_EQ(f.lst_Strassen.Items(),
              (Lines{"Hafenweg", "Hauptstr. (2-10)", "Hauptstr. (12-98)", "Lindenstr. (1-99)", "Zollweg"}));
    EXPECT_EQ(session().StrTabelle->Text(2, 1), "10117");
    // Down on an empty list moves the focus and selects nothing.
    f.txt_Ort.TypeText("xyz");
    ASSERT_EQ(f.lst_Orte.ListCount(), 0);
    f.txt_Ort.PressKey(key::kDown);
    EXPECT_EQ(f.focused(), &f.lst_Orte);
    EXPECT_EQ(f.lst_Orte.ListIndex(), -1);
  });
}

TEST_F(SearchDialogScenario, BlankPlaceTextRetypedPlaceAndAPlaceWithoutStreets) {
  run([&](frmPlz& f) {
    choose_berlin(f);
    f.txt_Ort.TypeText("\b\b");  // "Berl" after the click put "Berlin" there
    EXPECT_EQ(view(f), "10115 | 1 Orte | 0 Straßen");  // a change by the user empties the streets
    // Blanks clear only the place list; the postal code and the Tag stay.
    f.txt_Ort.Text("  ");
    EXPECT_EQ(view(f), "10115 | 0 Orte | 0 Straßen");
    EXPECT_EQ(f.txt_Ort.Tag(), "11000000");
    // Another place typed but not clicked: the street side still works on Berlin.
    f.txt_Ort.Text("");
    f.txt_Ort.TypeText("Hamburg");
    EXPECT_EQ(view(f), "20095 | 1 Orte | 0 Straßen");
    f.txt_Strasse.TypeText("Zo");
    EXPECT_EQ(f.lst_Strassen.Items(), Lines{"Zollweg"});
    EXPECT_EQ(f.txt_Plz.Text(), "10179");
    // A click on the place whose name is already typed leaves the place search working.
    f.txt_Strasse.Text("");
    f.lst_Orte.ClickRow(0);
    EXPECT_EQ(f.lst_Strassen.Items(), Lines{"Alsterweg"});
    f.txt_Ort.TypeKey("\b");  // this change is the user's and must search
    EXPECT_EQ(view(f), "20095 | 1 Orte | 0 Straßen");
    EXPECT_EQ(f.lst_Orte.ListIndex(), -1);
    // A place without streets empties the Tag; street typing then changes nothing.
    f.txt_Ort.Text("");
    f.txt_Ort.TypeText("Dorf");
    f.lst_Orte.ClickRow(0);
    EXPECT_EQ(f.txt_Ort.Tag(), "");
    EXPECT_EQ(view(f), "84405 | 1 Orte | 0 Straßen");
    f.txt_Strasse.TypeText("Hau");
    EXPECT_EQ(view(f), "84405 | 1 Orte | 0 Straßen");
  });
}

// The street list follows the text as each key leaves it, narrowed by the
// normalised text; a text set by program refreshes nothing.
TEST_F(SearchDialogScenario, StreetListFollowsTheTextAfterEachKey) {
  expect_dialog([&](frmPlz& f) {
    f.txt_Strasse.TypeText("Lin");  // no place chosen yet: nothing happens
    EXPECT_EQ(f.lst_Strassen.ListCount(), 0);
    choose_berlin(f);  // a place click with a street already typed narrows the streets
    EXPECT_EQ(f.lst_Strassen.Items(), Lines{"Lindenstr. (1-99)"});
    EXPECT_EQ(f.txt_Plz.Text(), "10178");

    f.txt_Strasse.Text("");  // by program: no refresh
    EXPECT_EQ(f.lst_Strassen.Items(), Lines{"Lindenstr. (1-99)"});
    f.txt_Plz.Text("99999");
    f.txt_Strasse.TypeKey("H");
    EXPECT_EQ(view(f), "10119 | 1 Orte | 3 Straßen");
    EXPECT_EQ(f.lst_Strassen.List(0), "Hafenweg");
    f.txt_Strasse.TypeKey("a");
    EXPECT_EQ(view(f), "10119 | 1 Orte | 3 Straßen");
    f.txt_Strasse.TypeKey("u");  // "Hau": the two sections of Hauptstr.
    EXPECT_EQ(view(f), "10115 | 1 Orte | 2 Straßen");
    f.txt_Strasse.TypeKey("\b");  // Backspace is a key too: "Ha"
    EXPECT_EQ(view(f), "10119 | 1 Orte | 3 Straßen");
    f.txt_Strasse.TypeText("\b\b");  // emptied by keys: all streets, txt_Plz stays
    EXPECT_EQ(view(f), "10119 | 1 Orte | 5 Straßen");
    f.txt_Strasse.TypeKey("\b");  // nothing left to delete: no change, no refresh
    EXPECT_EQ(view(f), "10119 | 1 Orte | 5 Straßen");

    f.txt_Strasse.Text("Lindenstrass");
    EXPECT_EQ(f.lst_Strassen.ListCount(), 5);
    f.txt_Strasse.TypeKey("e");  // "Lindenstrasse" narrows as "Lindenstr"
    EXPECT_EQ(f.lst_Strassen.Items(), Lines{"Lindenstr. (1-99)"});
    EXPECT_EQ(f.txt_Plz.Text(), "10178");
    EXPECT_EQ(f.txt_Strasse.Text(), "Lindenstrasse");  // the box keeps what was typed

    // The key that makes the text match nothing brings the question. Yes
    // offers all streets (txt_Plz from the first), No empties list and postal code.
    f.txt_Strasse.Text("");
    f.txt_Strasse.TypeKey("X");
    EXPECT_EQ(view(f), "10119 | 1 Orte | 5 Straßen");
    f.txt_Strasse.TypeKey("y");
    EXPECT_EQ(view(f), " | 1 Orte | 0 Straßen");
    EXPECT_EQ(f.txt_Strasse.Text(), "Xy");
    f.txt_Strasse.Text("Qq");  // set by program: no question
  });
  tk_->ExpectMsgBox(kStrasseNichtGefunden, mb::kYes, mb::kYesNo, "Achtung")
      .ExpectMsgBox(kStrasseNichtGefunden, mb::kNo, mb::kYesNo, "Achtung");
  call();
}

// Where lines of the lists would read the same they tell their rows apart;
// a click still chooses the row behind its line.
TEST_F(SearchDialogScenario, ListLinesThatWouldReadTheSameTellTheirRowsApart) {
  for (const auto& [alort, kgs] : FixtureRows<2>{{"55000001", "07131001"}, {"55000002", "07131002"}, {"55000003", ""}})
    db_.insert("ORT_DA", {{"ALORT", alort}, {"ONAME", "Kirchahr"}, {"OZUSATZ", ""}, {"ALORT_NEU", ""}, {"KGS", kgs}});
  for (const auto& [code, alort] : FixtureRows<2>{{"53505", "55000001"}, {"53505", "55000002"}, {"53506", "55000003"}})
    db_.insert("PLZ_DA", {{"PLZ", code}, {"ALORT", alort}, {"ART_Auslieferung", "6"}});
  for (const auto& [key, name] : FixtureRows<2>{{"07131001", "Altenahr"}, {"07131002", "Ahrbrück"}})
    db_.insert("KGS_DA", {{"schluessel", key}, {"satzart", "G"}, {"name", name}});
  for (const auto& [code, von, bis] : FixtureRows<3>{{"53505", "", ""}, {"53506", "", ""}, {"53505", "1", "9"}})
    db_.insert("STR_DA", {{"ALORT", "55000002"}, {"NAME46", "Friedrich-Ebert-Gasse"}, {"PLZ", code},
                          {"HNRVON", von}, {"HNRBIS", bis}, {"HNR_TYP", von[0] ? "N" : ""}, {"OTL_SCHL", ""}});
  run([&](frmPlz& f) {
    f.txt_Ort.TypeText("Kirch");
    EXPECT_EQ(f.lst_Orte.Items(), (Lines{"Kirchahr   – 53505, Gemeinde Altenahr",
                                         "Kirchahr   – 53505, Gemeinde Ahrbrück", "Kirchahr   – 53506"}));
    f.lst_Orte.ClickRow(1);
    EXPECT_EQ(f.txt_Ort.Tag(), "55000002");
    EXPECT_EQ(f.txt_Ort.Text(), "Kirchahr");
    EXPECT_EQ(f.lst_Strassen.Items(), (Lines{"Friedrich-Ebert-Gasse   – 53505", "Friedrich-Ebert-Gasse   – 53506",
                                             "Friedrich-Ebert-Gasse (1-9)"}));
    f.txt_Strasse.TypeText("Fr");
    EXPECT_EQ(f.lst_Strassen.ListCount(), 3);
    f.lst_Strassen.ClickRow(1);
    EXPECT_EQ(f.txt_Plz.Text(), "53506");
  });
}

// The host's arguments and Geprueft after the dialog. Before each dialog the
// host's results read Köln (Geprueft -1); afterwards the dialog's manager has
// ended the session: no connection until the next Init.
TEST_F(SearchDialogScenario, TheHostGetsTheOutcomeAndTheSessionEnds) {
  struct Case {
    const char* what;
    Lines args;  // plz, ort, strasse, hausnummer
    std::function<void(frmPlz&)> user;
    const char* result;
    int32_t geprueft;
  } cases[] = {
      {"Übernehmen: the four texts untrimmed", {"", "", "", ""},
       [](frmPlz& f) {
         f.txt_Ort.TypeText(" Berlin ");
         f.txt_Plz.TypeText(" 10115 ");
         f.txt_Strasse.TypeText(" Hauptstr. ");
         f.txt_Hausnummer.TypeText(" 5a ");
         f.cmd_Uebernehmen.Click();
       },
       " 10115 | Berlin | Hauptstr. | 5a ", -1},
      {"Abbrechen: the results from before", {"10115", "Berlin", "Hauptstr. 5", ""},
       [](frmPlz& f) { f.txt_Ort.TypeKey("x"); }, "50667|Köln|Domkloster 4|", 0},
      {"closed by the frame: unloaded at once, the texts emptied", {"10115", "Berlin", "", ""},
       [](frmPlz& f) {
         f.txt_Ort.TypeKey("x");
         f.CloseRequested();
         EXPECT_FALSE(f.loaded());
         EXPECT_EQ(f.dialog_manager(), nullptr);
         EXPECT_EQ(session().connection, nullptr);  // reset before the dialog returns
       },
       "|||", 0},
      {"the house number moves out of the street", {"", "Hamburg", "Alsterweg 12a", ""},
       [](frmPlz& f) {
         // The unique place's postal code from the load is replaced by the caller's.
         EXPECT_EQ(f.txt_Plz.Text() + "|" + f.txt_Ort.Text() + "|" + f.txt_Strasse.Text() + "|" +
                       f.txt_Hausnummer.Text(),
                   "|Hamburg|Alsterweg|12a");
         EXPECT_EQ(f.lst_Orte.Items(), Lines{"Hamburg "});  // searched at load
         EXPECT_EQ(f.lbl_Ort.Caption() + f.lbl_Strasse.Caption() + f.txt_Ort.Tag(), "");
         f.cmd_Uebernehmen.Click();
       },
       "|Hamburg|Alsterweg|12a", -1},
      // Return is "Übernehmen" and Escape "Abbrechen" (how a form takes
      // Return on a focused button: in the choice dialog tests).
      {"Return in the place list after Down", {"", "", "", ""},
       [](frmPlz& f) {
         f.txt_Ort.SetFocus();
         f.txt_Ort.TypeText("Berl");
         f.txt_Ort.PressKey(key::kDown);
         EXPECT_EQ(f.focused(), &f.lst_Orte);
         f.PressReturn();
       },
       "10115|Berlin||", -1},
      {"Escape in the street list", {"", "", "", ""},
       [](frmPlz& f) {
         choose_berlin(f);
         f.txt_Strasse.SetFocus();
         f.txt_Strasse.PressKey(key::kDown);
         EXPECT_EQ(f.focused(), &f.lst_Strassen);
         f.PressEscape();
         EXPECT_FALSE(f.visible());
       },
       "50667|Köln|Domkloster 4|", 0},
      {"a given house number keeps the street", {"12345", "Berlin", "Hauptstr. 7", "9"},
       [](frmPlz& f) { f.cmd_Uebernehmen.Click(); }, "12345|Berlin|Hauptstr. 7|9", -1},
      {"a failure while opening leaves the arguments", {"10115", "Berlin", "", ""},
       [](frmPlz&) { throw Error(5, "Ungültiger Prozeduraufruf oder ungültiges Argument"); }, "10115|Berlin||", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(host_.Init(nullptr, "", db_.connection()));
    host_.Plz("50667");
    host_.Ort("Köln");
    host_.Strasse("Domkloster 4");
    host_.Hausnummer("");
    host_.Geprueft(-1);
    set_args(c.args[0], c.args[1], c.args[2], c.args[3]);
    run(c.user);
    EXPECT_EQ(args(), c.result);
    EXPECT_EQ(host_.Geprueft(), c.geprueft);
    EXPECT_EQ(session().connection, nullptr);
    EXPECT_EQ(session().OrtTabelle, nullptr);
    EXPECT_EQ(host_.Plz(), "");
    tk_->Verify();
  }
}

}  // namespace
}  // namespace noxplz
