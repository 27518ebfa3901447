// End-to-end searches: a host initialises a manager on the fixture database,
// runs Suche_Plz_Original / Suche_Ort_original / Suche_Plz / Suche_Ort, the
// scripted toolkit plays the user, and the host reads the properties.
#include <gtest/gtest.h>

#include <string>

#include "manager/session.h"
#include "noxplz/error.h"
#include "noxplz/plz_manager.h"
#include "noxplz/search_provider.h"
#include "noxplz/ui.h"
#include "testing/fake_search_provider.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;
using testing::ScopedFakeSearchProvider;

const char kOrtNichtGefunden[] = "Ort nicht gefunden. Bitte prüfen Sie die Schreibweise!";
const char kKeineStrasse[] = "Dieser Ort unterscheidet die Plz nach Straßen! Möchten Sie eine Auswahlliste?";
const char kStrasseUnbekannt[] = "Diese Straße ist nicht bekannt! Möchten Sie eine Auswahlliste?";
const char kInOrdnung[] = "Postleitzahl und Bestimmungsort sind in Ordnung!";
const char kStrasseNichtGefunden[] =
    "Straße nicht gefunden! (Bitte prüfen Sie die Schreibweise)\nMöchten Sie aus der Liste der Straßen auswählen?";

// The user picks line `row` of the choice list (checking its caption and lines).
auto pick(int32_t row, std::string caption = {}, std::vector<std::string> lines = {}) {
  return [=](Form& f) {
    if (!caption.empty()) {
      EXPECT_EQ(f.Caption(), caption);
    }
    auto& lst = f.control<ListBox>("lst_Auswahl");
    if (!lines.empty()) {
      EXPECT_EQ(lst.Items(), lines);
    }
    lst.ClickRow(row);
    f.control<Button>("cmd_Uebernehmen").Click();
  };
}
auto cancel_choice() {
  return [](Form& f) { f.control<Button>("cmd_Abbrechen").Click(); };
}
auto answer_mismatch(const char* button) {
  return [=](Form& f) { f.control<Button>(button).Click(); };
}

class SearchScenario : public PostalTest {
 protected:
  SearchScenario() { EXPECT_TRUE(m_.Init(nullptr, "", db_.connection())); }

  void expect_result(const std::string& plz, const std::string& ort, const std::string& strasse, int32_t geprueft) {
    EXPECT_EQ(m_.Plz(), plz);
    EXPECT_EQ(m_.Ort(), ort);
    EXPECT_EQ(m_.Strasse(), strasse);
    EXPECT_EQ(m_.Geprueft(), geprueft);
  }
  void expect_tables_released() {
    EXPECT_EQ(session().OrtTabelle, nullptr);
    EXPECT_EQ(session().StrTabelle, nullptr);
  }

  clsPlzManager m_;
};

// --- case A: place given, no postal code ---

TEST_F(SearchScenario, CaseAOnePlaceWithoutStreetsNeedsNoDialog) {
  EXPECT_FALSE(m_.Suche_Plz_Original("", " Kleinhausen ", "Dorfstr 3"));
  expect_result("55555", "Kleinhausen", "Dorfstr 3", -1);
  EXPECT_EQ(m_.Such_Strasse(), "Dorfstr");
  EXPECT_EQ(m_.Such_Hausnummer(), "3");
  EXPECT_EQ(m_.Hausnummer(), "");
  expect_tables_released();
  EXPECT_TRUE(tk().log().empty());
}

TEST_F(SearchScenario, CaseAExactStreetTakesTheSectionOfTheHouseNumber) {
  m_.Suche_Plz_Original("", "Berlin", "Hauptstr. 12");
  expect_result("10117", "Berlin", "Hauptstr. 12", -1);
  m_.Suche_Plz_Original("", "Berlin", "Hauptstr.", "13");
  expect_result("10119", "Berlin", "Hauptstr. 13", -1);
  m_.Suche_Plz_Original("", "Berlin", "Lindenweg");
  expect_result("10115", "Berlin", "Lindenweg ", -1);  // no house number: one trailing blank
  EXPECT_TRUE(tk().log().empty());
}

TEST_F(SearchScenario, CaseAExactStreetIsNotTakenForALongerNameSortedBeforeIt) {
  // "Hauptstraße" exists under its own name; the normalised list starts with "Hauptstr.".
  db_.insert("STR_DA", {{"ALORT", "11000000"}, {"NAME46", "Hauptstraße"}, {"PLZ", "10178"}});
  m_.Suche_Plz_Original("", "Berlin", "Hauptstraße 12");
  expect_result("10178", "Berlin", "Hauptstraße 12", -1);
}

TEST_F(SearchScenario, PlacesWithApostrophes) {
  m_.Suche_Plz_Original("", "D'Orf", "");
  expect_result("66666", "D'Orf", "", -1);
  tk().ExpectMsgBox(kKeineStrasse, mb::kNo).ExpectMsgBox(kInOrdnung);
  m_.Suche_Plz_Original("66666", "D'Orf", "", "", true);
  expect_result("66666", "D'Orf", "", -1);
  tk().ExpectMsgBox(kInOrdnung);
  m_.Suche_Plz_Original("10115", "Berlin", "Rue d'Arc 1", "", true);
  expect_result("10115", "Berlin", "Rue d'Arc 1", -1);
}

TEST_F(SearchScenario, CaseAStreetPrefixOffersTheStreetChoiceEvenForOneRow) {
  tk().ExpectForm("frmAuswahl", pick(0, "Straßen-Auswahl", {"Lindenweg"}));
  m_.Suche_Plz_Original("", "Berlin", "Linden 4");
  expect_result("10115", "Berlin", "Lindenweg 4", -1);

  // Cancelled: the place's postal code and the typed street stand.
  tk().ExpectForm("frmAuswahl", cancel_choice());
  m_.Suche_Plz_Original("", "Berlin", "Bahnhofstraße 7");
  EXPECT_EQ(m_.Strasse(), "Bahnhofstraße 7");
  EXPECT_EQ(m_.Geprueft(), -1);
  EXPECT_EQ(m_.Such_Strasse(), "Bahnhofstr");  // normalised in place
  EXPECT_TRUE(m_.Plz() == "10115" || m_.Plz() == "10117") << m_.Plz();
}

TEST_F(SearchScenario, CaseAUnknownStreetAsksWhetherToListAllStreets) {
  tk().ExpectMsgBox(kStrasseNichtGefunden, mb::kNo, mb::kYesNo, "Achtung");
  m_.Suche_Plz_Original("", "Berlin", "Gartenweg 3");
  EXPECT_EQ(m_.Strasse(), "Gartenweg 3");
  EXPECT_EQ(m_.Geprueft(), -1);

  tk().ExpectMsgBox(kStrasseNichtGefunden, mb::kYes).ExpectForm("frmAuswahl", pick(4));
  m_.Suche_Plz_Original("", "Berlin", "Gartenweg 3");
  expect_result("10115", "Berlin", "Lindenweg 3", -1);
}

TEST_F(SearchScenario, CaseASeveralPlacesLetTheUserChoose) {
  tk().ExpectForm("frmAuswahl", pick(1, "Orts-Auswahl",
                                     {"Frankfurt (Oder)    (15230)", "Frankfurt am Main    (60311)"}));
  m_.Suche_Plz_Original("", "Frankfurt", "Zeil 3");
  expect_result("60313", "Frankfurt", "Zeil 3", -1);

  tk().ExpectForm("frmAuswahl", pick(0));
  m_.Suche_Plz_Original("", "frankf", "");
  expect_result("15230", "Frankfurt", "", -1);
}

TEST_F(SearchScenario, CaseACancelledPlaceChoiceChangesNothing) {
  m_.Plz("alt");
  m_.Ort("alt");
  m_.Strasse("alt");
  m_.Geprueft(-1);
  tk().ExpectForm("frmAuswahl", cancel_choice());
  EXPECT_FALSE(m_.Suche_Plz_Original("", "Frankfurt", "Zeil 3"));
  expect_result("alt", "alt", "alt", 0);
  tk().ExpectForm("frmAuswahl", [](Form& f) { f.CloseRequested(); });
  m_.Suche_Plz_Original("", "Frankfurt", "Zeil 3");
  EXPECT_EQ(m_.Geprueft(), 0);
}

TEST_F(SearchScenario, CaseAUnknownPlaceIsReported) {
  tk().ExpectMsgBox(kOrtNichtGefunden, mb::kOk, mb::kOkOnly, "NoxPlz");
  m_.Suche_Plz_Original("", "Xanten", "");
  EXPECT_EQ(m_.Geprueft(), 0);
  // A place that only exists as replaced by another one is not found either.
  db_.insert("ORT_DA", {{"ALORT", "05000000"}, {"ONAME", "Neudorf"}, {"ALORT_NEU", "05000001"}});
  tk().ExpectMsgBox(kOrtNichtGefunden);
  m_.Suche_Plz_Original("  ", "Neudorf", "");
}

// --- case B: postal code and place ---

TEST_F(SearchScenario, CaseBAgreeingExactStreetWithoutDialogSetsNothingMore) {
  m_.Suche_Plz_Original("10117", "Berlin", "Hauptstr. 12");
  // Suche_Ort set Ort and Geprueft; the confirmation step is skipped.
  expect_result("", "Berlin", "", -1);
  EXPECT_EQ(m_.Such_Strasse(), "Hauptstr.");
  EXPECT_EQ(m_.Such_Hausnummer(), "12");
  EXPECT_TRUE(tk().log().empty());
}

TEST_F(SearchScenario, CaseBAgreeingWithDialogConfirms) {
  tk().ExpectMsgBox(kInOrdnung, mb::kOk, mb::kOkOnly, "Postleitzahlen");
  m_.Suche_Plz_Original("10117", "Berlin", "Hauptstr. 12", "", true);
  expect_result("10117", "Berlin", "Hauptstr. 12", -1);
  // A place without streets: straight to the confirmation.
  tk().ExpectMsgBox(kInOrdnung);
  m_.Suche_Plz_Original("55555", "Kleinhausen", "Dorfstr", "1", true);
  expect_result("55555", "Kleinhausen", "Dorfstr 1", -1);
}

TEST_F(SearchScenario, CaseBMismatchPostalCodeIsRight) {
  tk().ExpectForm("frmChkPlzOrt", answer_mismatch("cmd_Postleitzahl"));
  m_.Suche_Plz_Original("10115", "Hamburg", "Hauptstr.", "5", true);
  expect_result("10115", "Berlin", "Hauptstr. 5", -1);
}

TEST_F(SearchScenario, CaseBMismatchPlaceIsRightSearchesAgainFromThePlace) {
  tk().ExpectForm("frmChkPlzOrt", answer_mismatch("cmd_Ort"));
  m_.Suche_Plz_Original("55555", "Berlin", "Lindenweg", "", true);  // no confirmation in the second run
  expect_result("10115", "Berlin", "Lindenweg ", -1);
  EXPECT_EQ(m_.Such_Plz(), "");
  expect_tables_released();
}

TEST_F(SearchScenario, CaseBMismatchNeitherAndClosed) {
  tk().ExpectForm("frmChkPlzOrt", answer_mismatch("cmd_Nein"));
  m_.Suche_Plz_Original("10115", "Hamburg", "Hauptstr. 5", "", true);
  expect_result("", "Berlin", "", 0);  // Ort as Suche_Ort left it

  // Closed by the frame: nothing more is taken over, and the disagreement
  // leaves the address unverified even where Suche_Ort had verified the
  // postal code's own place.
  tk().ExpectForm("frmChkPlzOrt", [](Form& f) { f.CloseRequested(); });
  m_.Suche_Plz_Original("55555", "Berlin", "", "", true);
  expect_result("", "Großdorf", "", 0);
  tk().ExpectForm("frmChkPlzOrt", [](Form& f) { f.CloseRequested(); });
  m_.Suche_Plz_Original("10115", "Hamburg", "", "", true);
  expect_result("", "Berlin", "", 0);
}

TEST_F(SearchScenario, CaseBPostalCodeRightButUnknownLeavesTheAddressUnverified) {
  m_.Ort("alt");
  tk().ExpectForm("frmChkPlzOrt", answer_mismatch("cmd_Postleitzahl"));
  m_.Suche_Plz_Original("99999", "Berlin", "Hauptstr. 5", "", true);
  expect_result("", "", "", 0);  // Suche_Ort found no place: Ort empty, nothing taken over
}

TEST_F(SearchScenario, CaseBNoStreetQuestion) {
  tk().ExpectMsgBox(kKeineStrasse, mb::kYes, mb::kYesNo, "Keine Straße angegeben").ExpectForm("frmAuswahl", pick(0));
  m_.Suche_Plz_Original("10115", "Berlin", "", "", true);
  expect_result("10117", "Berlin", "Bahnhofstr. ", -1);

  tk().ExpectMsgBox(kKeineStrasse, mb::kNo).ExpectMsgBox(kInOrdnung);
  m_.Suche_Plz_Original("10115", "Berlin", "  ", "", true);
  expect_result("10115", "Berlin", "", -1);

  // Yes, then the choice is cancelled: on to the confirmation.
  tk().ExpectMsgBox(kKeineStrasse, mb::kYes).ExpectForm("frmAuswahl", cancel_choice()).ExpectMsgBox(kInOrdnung);
  m_.Suche_Plz_Original("10115", "Berlin", "", "", true);
  expect_result("10115", "Berlin", "", -1);
}

TEST_F(SearchScenario, CaseBComparesThePlaceAsWritten) {
  // The provider answers the table's spelling "Berlin": a mismatch for "berlin".
  tk().ExpectForm("frmChkPlzOrt", answer_mismatch("cmd_Postleitzahl"));
  m_.Suche_Plz_Original("10115", "berlin", "Gartenweg 3");
  expect_result("10115", "Berlin", "Gartenweg 3", -1);
}

TEST_F(SearchScenario, CaseBUnknownStreetQuestionAnswers) {
  tk().ExpectMsgBox(kStrasseUnbekannt, mb::kYes).ExpectForm("frmAuswahl", pick(4));
  m_.Suche_Plz_Original("10115", "Berlin", "Gartenweg 3");
  expect_result("10115", "Berlin", "Lindenweg 3", -1);

  m_.Strasse("alt");
  tk().ExpectMsgBox(kStrasseUnbekannt, mb::kNo);
  m_.Suche_Plz_Original("10115", "Berlin", "Gartenweg 3");
  expect_result("10115", "Berlin", "alt", -1);
}

TEST_F(SearchScenario, CaseBStreetPrefixListsSectionsWithDistricts) {
  tk().ExpectForm("frmAuswahl", [](Form& f) {
    const auto& items = f.control<ListBox>("lst_Auswahl").Items();
    ASSERT_EQ(items.size(), 3u);
    for (const std::string& line : items) EXPECT_NE(line.find(" )   ( "), std::string::npos) << line;
    for (int32_t i = 0; i < 3; ++i)
      if (items[static_cast<size_t>(i)].find("0002 - 0020") != std::string::npos) pick(i)(f);
  });
  m_.Suche_Plz_Original("10117", "Berlin", "Haupt 12");
  expect_result("10117", "Berlin", "Hauptstr. 12", -1);
  EXPECT_FALSE(m_.MitOrtteiAnzeige());  // switched on for the list only

  tk().ExpectForm("frmAuswahl", cancel_choice()).ExpectMsgBox(kInOrdnung);
  m_.Suche_Plz_Original("10117", "Berlin", "Haupt 12", "", true);
  expect_result("10117", "Berlin", "Haupt 12", -1);
  EXPECT_FALSE(m_.MitOrtteiAnzeige());
}

TEST_F(SearchScenario, CaseBChecksTheStreetInThePlaceItVerifies) {
  // An earlier place search settles on Frankfurt am Main ...
  EXPECT_EQ(m_.Suche_Ort_original("60311", ""), "Frankfurt");
  EXPECT_EQ(session().AktuellerAlort, "06000000");
  // ... which must not decide about the street of a Berlin address.
  tk().ExpectMsgBox(kInOrdnung);
  m_.Suche_Plz_Original("10115", "Berlin", "Lindenweg 2", "", true);
  expect_result("10115", "Berlin", "Lindenweg 2", -1);
  // And with no earlier search at all.
  session().AktuellerAlort.clear();
  tk().ExpectMsgBox(kStrasseUnbekannt, mb::kNo).ExpectMsgBox(kInOrdnung);
  m_.Suche_Plz_Original("60311", "Frankfurt", "Lindenweg 2", "", true);
}

// --- case C and the rest ---

TEST_F(SearchScenario, CaseCPostalCodeAlone) {
  m_.Suche_Plz_Original("10117", "", "Hauptstr.", "12");
  expect_result("10117", "Berlin", "Hauptstr. 12", -1);
  m_.Plz("alt");
  m_.Suche_Plz_Original("99999", " ", "Hauptstr. 12");
  expect_result("alt", "", "Hauptstr. 12", 0);
}

TEST_F(SearchScenario, NeitherPostalCodeNorPlaceDoesNothing) {
  m_.Geprueft(-1);
  EXPECT_FALSE(m_.Suche_Plz_Original(" ", "", "Hauptstr. 12"));
  EXPECT_EQ(m_.Geprueft(), 0);
  EXPECT_EQ(m_.Such_Strasse(), "Hauptstr. 12");
  EXPECT_TRUE(tk().log().empty());
  expect_tables_released();
}

TEST_F(SearchScenario, AFailingProviderEndsTheSearchWithItsMessage) {
  ScopedFakeSearchProvider fake;
  fake->Fail(Error(err::kCannotCreateObject, "nicht verfügbar"));
  m_.MitOrtteiAnzeige(true);
  tk().ExpectMsgBox("Fehler beim ermitteln der Postleitzahl", mb::kOk, mb::kOkOnly, "NoxPlz");
  EXPECT_FALSE(m_.Suche_Plz_Original("10115", "Berlin", ""));
  EXPECT_TRUE(m_.MitOrtteiAnzeige());
  EXPECT_EQ(m_.Geprueft(), 0);
  expect_tables_released();
}

TEST_F(SearchScenario, ArgumentsMayBeTheSessionsOwnInputs) {
  m_.Such_Plz("");
  m_.Such_Ort("Kleinhausen");
  m_.Such_Strasse("Dorfstr 3");
  m_.Suche_Plz_Original(session().Such_Plz, session().Such_Ort, session().Such_Strasse, session().Such_Hausnummer);
  expect_result("55555", "Kleinhausen", "Dorfstr 3", -1);
}

// --- Suche_Ort_original ---

TEST_F(SearchScenario, SucheOrtOriginalPaths) {
  EXPECT_EQ(m_.Suche_Ort_original("60311"), "Frankfurt");  // one place: no dialog
  EXPECT_EQ(m_.Geprueft(), -1);
  EXPECT_EQ(session().AktuellerAlort, "06000000");

  EXPECT_EQ(m_.Suche_Ort_original("55555", "Kleinhausen"), "Kleinhausen");  // given and found
  EXPECT_EQ(m_.Geprueft(), 0);
  EXPECT_EQ(session().AktuellerAlort, "07000000");
  ASSERT_NE(session().OrtTabelle, nullptr);  // stays filled
  EXPECT_EQ(session().OrtTabelle->UpperBound(1), 2);

  tk().ExpectForm("frmAuswahl", [](Form& f) {
    auto& lst = f.control<ListBox>("lst_Auswahl");
    for (int32_t i = 0; i < lst.ListCount(); ++i)
      if (lst.List(i).rfind("Großdorf", 0) == 0) pick(i)(f);
  });
  EXPECT_EQ(m_.Suche_Ort_original("55555", "Berlin"), "Großdorf");  // the chosen place, not the given one
  EXPECT_EQ(m_.Geprueft(), -1);
  EXPECT_EQ(session().AktuellerAlort, "07000001");

  tk().ExpectForm("frmAuswahl", cancel_choice());
  EXPECT_EQ(m_.Suche_Ort_original("55555"), "");
  EXPECT_EQ(m_.Geprueft(), 0);

  tk().ExpectMsgBox("Kein Ort mit dieser Postleitzahl vorhanden!", mb::kOk, mb::kOkOnly, "Postleitzahlen");
  EXPECT_EQ(m_.Suche_Ort_original("99999", "Berlin"), "");
}

// --- Suche_Plz and Suche_Ort through the provider ---

TEST_F(SearchScenario, SuchePlzRequestAndAnswer) {
  ScopedFakeSearchProvider fake;
  fake->Answer("Suche_Plz", "10117|Berlin|Hauptstr.|12|1|x");
  EXPECT_TRUE(m_.Suche_Plz("1011", "Ber", "Hauptstr 12"));
  ASSERT_EQ(fake->calls.size(), 1u);
  EXPECT_EQ(fake->calls[0].method, "Suche_Plz");
  EXPECT_EQ(fake->calls[0].request, "1011|Ber|Hauptstr 12||0|0|0");
  expect_result("10117", "Berlin", "Hauptstr.", -1);
  EXPECT_EQ(m_.Hausnummer(), "12");
  EXPECT_EQ(m_.Such_Plz(), "1011");
  EXPECT_EQ(m_.Such_Strasse(), "Hauptstr 12");

  m_.OkMeldungUnterdrucken("True");
  fake->Answer("Suche_Plz", "1|2|3|4|ja");
  EXPECT_TRUE(m_.Suche_Plz("a", "b", "c", "d", true));
  EXPECT_EQ(fake->calls[1].request, "a|b|c|d|1|0|1");
  EXPECT_EQ(m_.Such_Hausnummer(), "d");
  expect_result("1", "2", "3", 0);
  EXPECT_EQ(fake->created, 2);  // a new provider per call
}

TEST_F(SearchScenario, SuchePlzShortAnswerIsUnverifiedAndKeepsMissingFields) {
  ScopedFakeSearchProvider fake;
  m_.Strasse("alt");
  m_.Hausnummer("7");
  m_.Geprueft(-1);
  fake->Answer("Suche_Plz", "10115|Berlin");
  EXPECT_TRUE(m_.Suche_Plz("10115", "Berlin", "x"));
  expect_result("10115", "Berlin", "alt", 0);
  EXPECT_EQ(m_.Hausnummer(), "7");
  fake->Answer("Suche_Plz", "");
  m_.Geprueft(-1);
  m_.Suche_Plz("10115", "Berlin", "x");
  EXPECT_EQ(m_.Plz(), "");  // one empty field
  EXPECT_EQ(m_.Geprueft(), 0);
}

TEST_F(SearchScenario, SucheOrtRequestAndAnswer) {
  ScopedFakeSearchProvider fake;
  fake->Answer("Suche_Ort", "10115|Berlin|x|1|Berlin");
  EXPECT_EQ(m_.Suche_Ort("10115", "Berlin"), "Berlin");
  EXPECT_EQ(fake->calls[0].request, "10115|Berlin||0||0");
  EXPECT_EQ(m_.Ort(), "Berlin");
  EXPECT_EQ(m_.Geprueft(), -1);

  m_.OkMeldungUnterdrucken("-1");
  fake->Answer("Suche_Ort", "10115|Berlin||1|");
  EXPECT_EQ(m_.Suche_Ort("10115"), "");
  EXPECT_EQ(fake->calls[1].request, "10115|||0||1");
  EXPECT_EQ(m_.Ort(), "Berlin");

  fake->Answer("Suche_Ort", "14467|||0|Potsdam");
  EXPECT_EQ(m_.Suche_Ort("14467"), "Potsdam");
  EXPECT_EQ(m_.Ort(), "Potsdam");
  EXPECT_EQ(m_.Geprueft(), 0);

  m_.Geprueft(-1);
  fake->Answer("Suche_Ort", "10115|Berlin|x|1");  // four fields: unverified
  EXPECT_EQ(m_.Suche_Ort("10115"), "");
  EXPECT_EQ(m_.Ort(), "Berlin");
  EXPECT_EQ(m_.Geprueft(), 0);
}

TEST_F(SearchScenario, ProviderFailuresReachTheCaller) {
  {
    ScopedFakeSearchProvider fake;
    fake->Fail(Error(-2147467259, "Suchkomponente gestört"));
    m_.Plz("alt");
    EXPECT_THROW(m_.Suche_Plz("10115", "Berlin", "x"), Error);
    EXPECT_EQ(m_.Such_Plz(), "10115");  // the inputs were set before the call
    EXPECT_EQ(m_.Plz(), "alt");
    EXPECT_THROW(m_.Suche_Ort("10115"), Error);
  }
  register_search_provider(kSearchProviderClassId, nullptr);
  m_.Such_Plz("");
  try {
    m_.Suche_Plz("10115", "Berlin", "x");
    ADD_FAILURE() << "error 429 expected";
  } catch (const Error& e) {
    EXPECT_EQ(e.number, err::kCannotCreateObject);
  }
  EXPECT_EQ(m_.Such_Plz(), "");  // creation failed before the inputs were set
  register_builtin_search_provider();
}

TEST_F(SearchScenario, SuchePlzWorksOnTheEmbeddedDefault) {
  EXPECT_TRUE(m_.Suche_Plz("", "Berlin", "Hauptstraße 13"));
  expect_result("10119", "Berlin", "Hauptstr.", -1);
  EXPECT_EQ(m_.Hausnummer(), "13");
  EXPECT_TRUE(m_.Suche_Plz("", "Berlin", "Hauptstraße"));
  expect_result("", "Berlin", "Hauptstraße", 0);  // the sections differ: not settled
  EXPECT_EQ(m_.Suche_Ort("55555", "kleinhausen"), "Kleinhausen");
  EXPECT_EQ(m_.Geprueft(), -1);
}

TEST_F(SearchScenario, TrenneStrasseHausNrWorksOnTheSearchInputs) {
  m_.Such_Strasse(" Am Markt 5 ");
  m_.Such_Hausnummer("9");
  m_.TrenneStrasseHausNr();
  EXPECT_EQ(m_.Such_Strasse(), "Am Markt");
  EXPECT_EQ(m_.Such_Hausnummer(), "5");
}

}  // namespace
}  // namespace noxplz
