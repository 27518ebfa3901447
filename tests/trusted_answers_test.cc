// Answers a host can trust: a postal code that is not the one of the street
// section is never reported as verified, a guessed postal code is never
// verified, and every search says why it answered as it did. The fixture
// adds to the common one:
//
//   Berlin (10115, 10117, 10999): "Lange Str." split across 10115 and 10117,
//     the odd side at 51, the even side at 32:
//       U 1-49 -> 10115, U 51-99 -> 10117, G 2-30 -> 10115, G 32-98 -> 10117
//     Lindenweg has only 10115.
//   Einsiedel (77777 only) with the streets Dorfstr. and Mühlweg.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "manager/session.h"
#include "noxplz/plz_manager.h"
#include "noxplz/search_provider.h"
#include "noxplz/ui.h"
#include "provider/address_check.h"
#include "testing/fake_search_provider.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using testing::PostalTest;

constexpr const char* kInOrdnung = "Postleitzahl und Bestimmungsort sind in Ordnung!";
constexpr const char* kStrasseNichtGefunden =
    "Straße nicht gefunden! (Bitte prüfen Sie die Schreibweise)\nMöchten Sie aus der Liste der Straßen auswählen?";
constexpr const char* kStrasseUnbekannt = "Diese Straße ist nicht bekannt! Möchten Sie eine Auswahlliste?";

std::string take_question(const std::string& given, const std::string& adresse, const std::string& right) {
  return "Die Postleitzahl " + given + " passt nicht zu " + adresse + ".\nRichtig ist die Postleitzahl " + right +
         ". Möchten Sie sie übernehmen?";
}

class TrustedAnswers : public PostalTest {
 protected:
  TrustedAnswers() {
    for (const auto& [code, von, bis, typ] : testing::FixtureRows<4>{{"10115", "0001", "0049", "U"},
                                                                     {"10117", "0051", "0099", "U"},
                                                                     {"10115", "0002", "0030", "G"},
                                                                     {"10117", "0032", "0098", "G"}})
      db_.insert("STR_DA", {{"ALORT", "11000000"}, {"NAME46", testing::padded("Lange Str.", 46)}, {"PLZ", code},
                            {"HNRVON", testing::padded(von, 8)}, {"HNRBIS", testing::padded(bis, 8)},
                            {"HNR_TYP", typ}, {"OTL_SCHL", "001"}, {"STATUS", "0"}});
    db_.insert("ORT_DA", {{"ALORT", "13000000"}, {"ONAME", testing::padded("Einsiedel", 40)}, {"STATUS", "0"}});
    db_.insert("PLZ_DA", {{"PLZ", "77777"}, {"ALORT", "13000000"}, {"ART_Auslieferung", "6"}, {"OName", "Einsiedel"}});
    for (const char* name : {"Dorfstr.", "Mühlweg"})
      db_.insert("STR_DA", {{"ALORT", "13000000"}, {"NAME46", name}, {"PLZ", "77777"}, {"STATUS", "0"}});
    EXPECT_TRUE(m_.Init(nullptr, "", db_.connection()));
  }

  struct Run {
    const char *plz, *ort, *strasse, *hausnummer;
    bool mit_dialog;
  };
  // Runs Suche_Plz_Original on properties that read "alt"; returns
  // "Plz|Ort|Strasse|Geprueft|grund".
  std::string search(Run in) {
    m_.Plz("alt");
    m_.Ort("alt");
    m_.Strasse("alt");
    m_.Geprueft(-1);
    m_.Suche_Plz_Original(in.plz, in.ort, in.strasse, in.hausnummer, in.mit_dialog);
    tk().Verify();
    EXPECT_FALSE(m_.Grund().hinweis.empty()) << m_.Grund().code;
    return m_.Plz() + "|" + m_.Ort() + "|" + m_.Strasse() + "|" + std::to_string(m_.Geprueft()) + "|" +
           m_.Grund().code;
  }
  void cancel_list() {
    tk().ExpectForm("frmAuswahl", [](Form& f) { f.control<Button>("cmd_Abbrechen").Click(); });
  }
  // Picks the list line that contains `text`; fails when none does.
  void pick_line(std::string text) {
    tk().ExpectForm("frmAuswahl", [text](Form& f) {
      auto& list = f.control<ListBox>("lst_Auswahl");
      for (int32_t i = 0; i < list.ListCount(); ++i)
        if (list.List(i).find(text) != std::string::npos) {
          list.ClickRow(i);
          f.control<Button>("cmd_Uebernehmen").Click();
          return;
        }
      ADD_FAILURE() << "no line with " << text;
      f.control<Button>("cmd_Abbrechen").Click();
    });
  }

  clsPlzManager m_;
};

// --- case B: postal code, place and street ---

TEST_F(TrustedAnswers, CaseBWithoutDialogVerifiesOnlyTheSectionsPostalCode) {
  const struct {
    Run in;
    const char* want;
  } cases[] = {
      // The right code: Suche_Ort verified, nothing else is written.
      {{"10115", "Berlin", "Lange Str. 7", "", false}, "alt|Berlin|alt|-1|bestaetigt"},
      {{"10117", "Berlin", "Lange Str.", "53", false}, "alt|Berlin|alt|-1|bestaetigt"},
      {{"10117", "Berlin", "Lange Str. 32", "", false}, "alt|Berlin|alt|-1|bestaetigt"},
      // Without a house number every section of the street counts.
      {{"10117", "Berlin", "Lange Str.", "", false}, "alt|Berlin|alt|-1|bestaetigt"},
      // The code of another district: not verified, the right one suggested.
      {{"10117", "Berlin", "Lange Str. 7", "", false}, "10115|Berlin|alt|0|plz_passt_nicht_zur_strasse"},
      {{"10999", "Berlin", "Lange Str. 77", "", false}, "10117|Berlin|alt|0|plz_passt_nicht_zur_strasse"},
      // The code of the other side of the street: 40 is even (10117), 41 odd (10115).
      {{"10115", "Berlin", "Lange Str. 40", "", false}, "10117|Berlin|alt|0|plz_passt_nicht_zur_strasse"},
      {{"10117", "Berlin", "Lange Str. 41", "", false}, "10115|Berlin|alt|0|plz_passt_nicht_zur_strasse"},
      // A street with one postal code decides alone, whatever the house number.
      {{"10117", "Berlin", "Lindenweg 3", "", false}, "10115|Berlin|alt|0|plz_passt_nicht_zur_strasse"},
      {{"10115", "Berlin", "Lindenweg 999", "", false}, "alt|Berlin|alt|-1|bestaetigt"},
      // A house number in no section of a street with several codes cannot be verified.
      {{"10115", "Berlin", "Lange Str. 120", "", false}, "alt|Berlin|alt|0|hausnummer_ausserhalb"},
      {{"10115", "Berlin", "Lange Str.", "x", false}, "alt|Berlin|alt|0|hausnummer_ausserhalb"},
      // The three-section street of the common fixture: 12 lies only in G 2-20.
      {{"10115", "Berlin", "Hauptstr. 12", "", false}, "10117|Berlin|alt|0|plz_passt_nicht_zur_strasse"},
      // A place with one postal code.
      {{"77777", "Einsiedel", "Dorfstr. 3", "", false}, "alt|Einsiedel|alt|-1|bestaetigt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.in.plz) + " " + c.in.strasse + " " + c.in.hausnummer);
    EXPECT_EQ(search(c.in), c.want);
  }
}

TEST_F(TrustedAnswers, CaseBWithDialogAsksToTakeTheRightPostalCode) {
  // The right code is confirmed as before.
  tk().ExpectMsgBox(kInOrdnung, mb::kOk, mb::kOkOnly, "Postleitzahlen");
  EXPECT_EQ(search({"10115", "Berlin", "Lange Str. 7", "", true}), "10115|Berlin|Lange Str. 7|-1|bestaetigt");
  // The wrong district: never "in Ordnung"; Yes takes the right code.
  tk().ExpectMsgBox(take_question("10117", "Lange Str. 7 in Berlin", "10115"), mb::kYes, mb::kYesNoQuestion,
                    "Postleitzahlen");
  EXPECT_EQ(search({"10117", "Berlin", "Lange Str. 7", "", true}), "10115|Berlin|Lange Str. 7|-1|uebernommen");
  // No leaves it unverified, with the right code as the suggestion.
  tk().ExpectMsgBox(take_question("10115", "Lange Str. 40 in Berlin", "10117"), mb::kNo, mb::kYesNoQuestion,
                    "Postleitzahlen");
  EXPECT_EQ(search({"10115", "Berlin", "Lange Str.", "40", true}), "10117|Berlin|alt|0|plz_passt_nicht_zur_strasse");
  // No right code to name: the street's sections are offered instead.
  pick_line("0051 - 0099");
  EXPECT_EQ(search({"10115", "Berlin", "Lange Str. 120", "", true}), "10117|Berlin|Lange Str. 120|-1|ausgewaehlt");
  cancel_list();
  EXPECT_EQ(search({"10115", "Berlin", "Lange Str. 120", "", true}), "alt|Berlin|alt|0|hausnummer_ausserhalb");
}

TEST_F(TrustedAnswers, CaseBUnresolvedStreetInAPlaceWithSeveralCodesIsNotVerified) {
  // An unknown street: in Berlin the given code cannot be confirmed ...
  tk().ExpectMsgBox(kStrasseUnbekannt, mb::kNo);
  EXPECT_EQ(search({"10115", "Berlin", "Gartenweg 3", "", true}), "alt|Berlin|alt|0|strasse_unbekannt");
  // ... in Einsiedel, with its one code, it can.
  tk().ExpectMsgBox(kStrasseUnbekannt, mb::kNo);
  tk().ExpectMsgBox(kInOrdnung);
  EXPECT_EQ(search({"77777", "Einsiedel", "Gartenweg 3", "", true}), "77777|Einsiedel|Gartenweg 3|-1|bestaetigt");
  // A street prefix whose list is cancelled.
  cancel_list();
  EXPECT_EQ(search({"10115", "Berlin", "Lange 7", "", true}), "alt|Berlin|Lange|0|abgebrochen");
}

TEST_F(TrustedAnswers, MismatchQuestionNamesThePlaceAndPostalCodeAnswerStillChecksTheStreet) {
  tk().ExpectForm("frmChkPlzOrt", [](Form& f) {
    EXPECT_EQ(f.control<Label>("lbl_OrtZurPlz").Caption(), "Zur Postleitzahl 10117 gehört: Berlin");
    EXPECT_EQ(f.control<Label>("Label1").Caption(),
              "Die Postleitzahl und der Bestimmungsort stimmen nicht überein! Prüfen?");
    f.control<Button>("cmd_Postleitzahl").Click();
  });
  // "The postal code is right" takes Berlin, but 10117 is not the code of Lange Str. 7.
  EXPECT_EQ(search({"10117", "Hamburg", "Lange Str. 7", "", false}), "10115|Berlin|Lange Str. 7|0|plz_passt_nicht_zur_strasse");
  tk().ExpectForm("frmChkPlzOrt", [](Form& f) {
    EXPECT_EQ(f.control<Label>("lbl_OrtZurPlz").Caption(), "Zur Postleitzahl 55555 gehören mehrere Orte, darunter: Großdorf");
    f.control<Button>("cmd_Nein").Click();
  });
  EXPECT_EQ(search({"55555", "Berlin", "", "", false}), "alt|Großdorf|alt|0|plz_passt_nicht_zum_ort");
  tk().ExpectForm("frmChkPlzOrt", [](Form& f) {
    EXPECT_EQ(f.control<Label>("lbl_OrtZurPlz").Caption(), "Zur Postleitzahl 99999 ist kein Ort verzeichnet.");
    f.CloseRequested();
  });
  EXPECT_EQ(search({"99999", "Berlin", "", "", false}), "alt||alt|0|plz_passt_nicht_zum_ort");
}

// --- case A: place and street, no postal code ---

TEST_F(TrustedAnswers, CaseAUnresolvedStreetLeavesAGuessUnverified) {
  // Berlin has several codes: its main code is only a suggestion.
  tk().ExpectMsgBox(kStrasseNichtGefunden, mb::kNo);
  const std::string unknown = search({"", "Berlin", "Gartenweg 3", "", false});
  EXPECT_THAT(unknown, ::testing::MatchesRegex("1011[57]\\|Berlin\\|Gartenweg 3\\|0\\|strasse_unbekannt"));
  cancel_list();
  EXPECT_THAT(search({"", "Berlin", "Lange 7", "", false}),
              ::testing::MatchesRegex("1011[57]\\|Berlin\\|Lange 7\\|0\\|abgebrochen"));
  cancel_list();  // no street: the list of all streets, cancelled
  EXPECT_THAT(search({"", "Berlin", "", "", false}), ::testing::MatchesRegex("1011[57]\\|Berlin\\|\\|0\\|abgebrochen"));
  // Einsiedel has one code: it is certain in each case.
  tk().ExpectMsgBox(kStrasseNichtGefunden, mb::kNo);
  EXPECT_EQ(search({"", "Einsiedel", "Gartenweg 3", "", false}), "77777|Einsiedel|Gartenweg 3|-1|bestaetigt");
  cancel_list();
  EXPECT_EQ(search({"", "Einsiedel", "Dorf 3", "", false}), "77777|Einsiedel|Dorf 3|-1|bestaetigt");
  cancel_list();
  EXPECT_EQ(search({"", "Einsiedel", "", "", false}), "77777|Einsiedel||-1|bestaetigt");
  EXPECT_EQ(search({"", "Kleinhausen", "Irgendwo 1", "", false}), "55555|Kleinhausen|Irgendwo 1|-1|bestaetigt");
}

TEST_F(TrustedAnswers, CaseAExactStreetTakesTheSectionOfTheHouseNumberOrAsks) {
  EXPECT_EQ(search({"", "Berlin", "Lange Str. 40", "", false}), "10117|Berlin|Lange Str. 40|-1|bestaetigt");
  EXPECT_EQ(search({"", "Berlin", "Lange Str. 41", "", false}), "10115|Berlin|Lange Str. 41|-1|bestaetigt");
  EXPECT_EQ(search({"", "Berlin", "Lindenweg 500", "", false}), "10115|Berlin|Lindenweg 500|-1|bestaetigt");
  // No house number, or one in no section: the user picks a section.
  pick_line("0032 - 0098");
  EXPECT_EQ(search({"", "Berlin", "Lange Str.", "", false}), "10117|Berlin|Lange Str. |-1|ausgewaehlt");
  cancel_list();
  EXPECT_THAT(search({"", "Berlin", "Lange Str. 120", "", false}),
              ::testing::MatchesRegex("1011[57]\\|Berlin\\|Lange Str. 120\\|0\\|hausnummer_ausserhalb"));
}

// --- the reason of the other searches ---

TEST_F(TrustedAnswers, EverySearchSetsItsReason) {
  // (Suche_Ort_original: in SearchScenario.SucheOrtOriginalPaths.)
  auto grund = [&] { return m_.Grund().code; };
  EXPECT_EQ(m_.Suche_Ort("10115", "Berlin"), "Berlin");
  EXPECT_EQ(grund(), "bestaetigt");
  EXPECT_TRUE(m_.Suche_Plz("10115", "Berlin", "Lange Str. 40"));
  EXPECT_EQ(m_.Plz() + "|" + std::to_string(m_.Geprueft()) + "|" + grund(), "10117|0|plz_passt_nicht_zur_strasse");
  EXPECT_EQ(m_.Grund().hinweis, "Die Postleitzahl 10115 passt nicht zu Lange Str. 40 in Berlin; richtig ist 10117.");

  // A host's own provider without reason fields: the verdict gives one.
  testing::ScopedFakeSearchProvider fake;
  fake->Answer("Suche_Plz", "10115|Berlin|Lange Str.|7|1");
  m_.Suche_Plz("10115", "Berlin", "Lange Str. 7");
  EXPECT_EQ(grund(), "bestaetigt");
  fake->Answer("Suche_Plz", "10115|Berlin|Lange Str.|7|0|plz_passt_nicht_zur_strasse|Falsch.");
  m_.Suche_Plz("10115", "Berlin", "Lange Str. 7");
  EXPECT_EQ(grund() + " " + m_.Grund().hinweis, "plz_passt_nicht_zur_strasse Falsch.");
  fake->Answer("Suche_Plz", "10115|Berlin");
  m_.Suche_Plz("10115", "Berlin", "Lange Str. 7");
  EXPECT_EQ(grund(), "nicht_bestaetigt");
}

// --- "|" inside an input ---

TEST_F(TrustedAnswers, AnInputHoldingTheSeparatorIsNeverSentNorVerified) {
  {
  testing::ScopedFakeSearchProvider fake;
  fake->Answer("Suche_Plz", "01067|Sankt Wolfsstadt|Ahorngasse||1");
  fake->Answer("Suche_Ort", "01067|Sankt Wolfsstadt||1|Sankt Wolfsstadt");
  const std::vector<std::vector<std::string>> inputs = {
      {"01067|Sankt Wolfsstadt|Ahorngasse|", "Falschort", "Nirgendwo", ""},
      {"10115", "Berlin|x", "Lange Str.", "7"},
      {"10115", "Berlin", "Lange|Str.", "7"},
      {"10115", "Berlin", "Lange Str.", "7|1"},
  };
  for (const auto& in : inputs) {
    SCOPED_TRACE(in[0] + " / " + in[1] + " / " + in[2] + " / " + in[3]);
    m_.Geprueft(-1);
    m_.Plz("alt");
    EXPECT_TRUE(m_.Suche_Plz(in[0], in[1], in[2], in[3]));
    EXPECT_EQ(m_.Geprueft(), 0);
    EXPECT_EQ(m_.Plz(), "alt");
    EXPECT_EQ(m_.Grund().code, "eingabe_ungueltig");
    EXPECT_EQ(m_.Such_Plz(), in[0]);  // the inputs are kept as given
  }
  m_.Geprueft(-1);
  m_.Ort("alt");
  EXPECT_EQ(m_.Suche_Ort("01067|Sankt Wolfsstadt", ""), "");
  EXPECT_EQ(m_.Geprueft(), 0);
  EXPECT_EQ(m_.Ort(), "alt");
  EXPECT_EQ(m_.Grund().code, "eingabe_ungueltig");
  EXPECT_EQ(m_.Suche_Ort("01067", "Sankt|Wolfsstadt"), "");
  EXPECT_TRUE(fake->calls.empty()) << fake->calls.front();
  }
  // The same through the built-in provider.
  m_.Geprueft(-1);
  m_.Suche_Plz("01067|Sankt Wolfsstadt|Ahorngasse|", "Falschort", "Nirgendwo");
  EXPECT_EQ(std::to_string(m_.Geprueft()) + " " + m_.Grund().code, "0 eingabe_ungueltig");
  // Suche_Plz_Original asks its place through Suche_Ort: nothing is asked, nothing confirmed.
  EXPECT_EQ(search({"10115|Berlin", "Berlin", "Lange Str. 7", "", true}), "alt|alt|alt|0|eingabe_ungueltig");
}

// --- the address check itself ---

TEST_F(TrustedAnswers, AddressCheckOutcomes) {
  // What this fixture adds to the check's own table (HostAddressCheckTest):
  // the sides of a street split by parity, a code of another kind, the
  // delivery codes as the candidates of a place without street.
  const struct {
    AddressInput in;
    const char* want;  // outcome|plz|ort|strasse|hausnummer|grund|candidate codes
  } cases[] = {
      {{"10115", "Berlin", "Lange Str. 7", ""}, "verifiziert|10115|Berlin|Lange Str.|7|bestaetigt|"},
      {{"", "berlin", "Lange Strasse", "40"}, "verifiziert|10117|Berlin|Lange Str.|40|bestaetigt|"},
      {{"10117", "Berlin", "Lange Str. 7", ""}, "korrigiert|10115|Berlin|Lange Str.|7|plz_passt_nicht_zur_strasse|"},
      {{"10999", "Berlin", "", ""}, "verifiziert|10999|Berlin|||bestaetigt|"},
      {{"", "Berlin", "", ""}, "mehrdeutig||Berlin|||strasse_fehlt|10115 10117 "},
      {{"99999", "", "", ""}, "unbekannt|99999||||plz_unbekannt|"},
  };
  // The second pass answers from what the first one kept.
  for (int pass = 0; pass < 2; ++pass)
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(pass) + ": " + c.in.plz + "|" + c.in.ort + "|" + c.in.strasse + "|" + c.in.hausnummer);
    const AddressCheck r = check_address(c.in);
    std::string codes;
    for (const AddressCandidate& k : r.kandidaten) codes += k.plz + " ";
    EXPECT_EQ(std::string(outcome_name(r.outcome)) + "|" + r.plz + "|" + r.ort + "|" + r.strasse + "|" +
                  r.hausnummer + "|" + r.grund.code + "|" + codes,
              c.want);
    EXPECT_FALSE(r.grund.hinweis.empty());
  }
}

}  // namespace
}  // namespace noxplz
