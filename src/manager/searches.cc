// The searches of clsPlzManager: Suche_Ort and Suche_Plz through the search
// provider, Suche_Ort_original and Suche_Plz_Original on the postal tables,
// the street/house-number splitter and the two choice lists.
#include <algorithm>
#include <exception>
#include <initializer_list>
#include <memory>
#include <vector>

#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/error.h"
#include "noxplz/plz_manager.h"
#include "noxplz/search_provider.h"
#include "noxplz/ui.h"
#include "platform/text.h"

namespace noxplz {
namespace {

using text::trim;

// The place key of the place `ort` under postal code `plz` (the first place
// row of the postal code with that name, compared trimmed and without regard
// to case); "" when there is none.
std::string place_key_of(const std::string& plz, const std::string& ort) {
  VariantTable orte;
  if (!Ermittle_OrteZuPlz(plz, orte)) return {};
  for (int32_t r = 0; r < orte.UpperBound(1); ++r)
    if (text::equals_ci(trim(orte.Text(r, 0)), ort)) return trim(orte.Text(r, 2));
  return {};
}

void set_grund(std::string code, std::string hinweis) {
  session().Grund = Reason{std::move(code), std::move(hinweis)};
}

// "|" separates the fields of a provider request; a value holding it would
// shift the fields, so such an input is never sent.
bool holds_separator(std::initializer_list<const std::string*> values) {
  for (const std::string* v : values)
    if (v->find('|') != std::string::npos) return true;
  return false;
}
const char* const kSeparatorHinweis =
    "Die Eingabe enthält das Zeichen „|“. Es trennt die Felder der Anfrage an den Suchdienst, darum wurde "
    "nicht gesucht. Entfernen Sie es aus Postleitzahl, Ort, Straße und Hausnummer.";

// The reason a provider answer carries in fields 5 and 6; an answer without
// them (a provider of the host) gets one from its verdict.
void take_provider_reason(const std::vector<std::string>& f, size_t verdict_field) {
  if (f.size() > 6 && !f[5].empty()) {
    set_grund(f[5], f[6]);
  } else if (f.size() > verdict_field && f[verdict_field] == "1") {
    set_grund("bestaetigt", "Der Suchdienst hat die Angaben bestätigt.");
  } else {
    set_grund("nicht_bestaetigt", "Der Suchdienst hat die Angaben nicht bestätigt.");
  }
}

// A section of a street: one STR_DA row.
struct Section {
  std::string name, plz, von, bis, typ, otl;
};

// The sections that carry exactly this name in the place (as the database
// compares names: without regard to case and trailing blanks).
std::vector<Section> named_sections(const std::string& alort, const std::string& name) {
  const ConnectionPtr& connection = session().connection;
  if (!connection) throw Error(err::kObjectNotSet, "Objektvariable oder With-Blockvariable nicht festgelegt");
  std::vector<Section> sections;
  RecordsetPtr rs = connection->Execute(
      "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = '" + sql_quote(trim(alort)) +
      "' and Name46 = '" + sql_quote(trim(name)) + "' order by Name46, Plz");
  for (; !rs->Eof(); rs->MoveNext())
    sections.push_back({trim(rs->Field("name46").as_text()), trim(rs->Field("Plz").as_text()),
                        trim(rs->Field("HNRVon").as_text()), trim(rs->Field("HNRBis").as_text()),
                        trim(rs->Field("HNR_Typ").as_text()), trim(rs->Field("OTL_Schl").as_text())});
  rs->Close();
  return sections;
}

// What the street's sections say about a house number: the sections whose
// range admits it (without a house number: all), and their postal codes. A
// street with one postal code decides alone, whatever the house number.
struct StreetCodes {
  std::vector<Section> admitted;
  std::vector<std::string> codes;
  bool outside = false;  // the house number lies in no section of a street with several codes
};
StreetCodes street_codes(const std::vector<Section>& sections, const std::string& hausnummer) {
  StreetCodes r;
  std::vector<std::string> all;
  for (const Section& sec : sections) {
    if (std::find(all.begin(), all.end(), sec.plz) == all.end()) all.push_back(sec.plz);
    std::string hnr = hausnummer, von = sec.von, bis = sec.bis;
    if (sec.von.empty() || trim(hausnummer).empty() || Pruefe_Hausnummer(hnr, von, bis, sec.typ))
      r.admitted.push_back(sec);
  }
  if (r.admitted.empty()) {
    if (all.size() == 1) r.admitted = sections;
    r.outside = all.size() > 1;
  }
  for (const Section& sec : r.admitted)
    if (std::find(r.codes.begin(), r.codes.end(), sec.plz) == r.codes.end()) r.codes.push_back(sec.plz);
  return r;
}

// A street table (the layout of Ermittle_Strassen) of these sections, for the choice list.
void fill_street_table(VariantTable& tabelle, const std::string& alort, const std::vector<Section>& sections) {
  tabelle.ReDim(0, 0, 0, 5);
  for (const Section& sec : sections) {
    int32_t row = tabelle.UpperBound(1);
    tabelle.Set(row, 0, Variant(sec.name));
    tabelle.Set(row, 1, Variant(sec.plz));
    tabelle.Set(row, 2, Variant(sec.von));
    tabelle.Set(row, 3, Variant(sec.bis));
    tabelle.Set(row, 4, Variant(sec.typ));
    tabelle.Set(row, 5, Variant(Ermittle_Ortsteil(trim(alort), sec.otl)));
    tabelle.AppendRows(1);
  }
}

// Whether the place has more than one postal code (its postal-code rows and
// its streets' codes). A place whose codes cannot be read counts as having
// several: its main postal code is then no certain answer.
bool has_several_codes(const std::string& alort) {
  try {
    const ConnectionPtr& connection = session().connection;
    if (!connection) return true;
    std::vector<std::string> codes;
    for (const char* table : {"Plz_DA", "Str_DA"}) {
      RecordsetPtr rs = connection->Execute(std::string("SELECT DISTINCT Plz FROM ") + table + " WHERE Alort = '" +
                                            sql_quote(trim(alort)) + "'");
      for (; !rs->Eof() && codes.size() < 2; rs->MoveNext()) {
        std::string plz = trim(rs->Field("Plz").as_text());
        if (!plz.empty() && std::find(codes.begin(), codes.end(), plz) == codes.end()) codes.push_back(plz);
      }
      rs->Close();
      if (codes.size() > 1) return true;
    }
    return false;
  } catch (const std::exception&) {
    return true;
  }
}

std::string joined(const std::vector<std::string>& list) {
  std::string out;
  for (size_t i = 0; i < list.size(); ++i) out += (i == 0 ? "" : i + 1 == list.size() ? " und " : ", ") + list[i];
  return out;
}

}  // namespace

int32_t clsPlzManager::OrtsAuswahl(VariantTable& tabelle) { return choose_place(tabelle); }

// The list starts on the section that admits the house number of the search.
int32_t clsPlzManager::StrassenAuswahl(VariantTable& tabelle) {
  return choose_street(tabelle, session().Such_Hausnummer);
}

void clsPlzManager::TrenneStrasseHausNr() {
  Session& s = session();
  split_house_number(s.Such_Strasse, s.Such_Hausnummer);
}

std::string clsPlzManager::Suche_Ort(const std::string& mPlz, const std::string& mOrt) {
  std::string result;
  Session& s = session();
  std::shared_ptr<SearchProvider> provider = create_search_provider(kSearchProviderClassId);
  if (holds_separator({&mPlz, &mOrt})) {
    s.Geprueft = 0;
    set_grund("eingabe_ungueltig", kSeparatorHinweis);
    return result;
  }
  std::string request = mPlz + "|" + mOrt + "|" + "|0||" + (s.OkMeldungUnterdrucken ? "1" : "0");
  std::string answer = provider->Call("Suche_Ort", request);

  // From here on nothing can fail. An answer with fewer than five fields
  // counts as not verified; the fields it has are still taken.
  std::vector<std::string> f = text::split(answer, '|');
  if (f.size() > 1) s.Ort = f[1];
  if (f.size() > 4 && !f[4].empty()) {
    result = f[4];
    if (s.Ort.empty()) s.Ort = f[4];
  }
  s.Geprueft = f.size() >= 5 && f[3] == "1" ? -1 : 0;
  take_provider_reason(f.size() >= 5 ? f : std::vector<std::string>{}, 3);
  return result;
}

bool clsPlzManager::Suche_Plz(const std::string& mPlz, const std::string& mOrt, const std::string& mStrasse,
                              const std::string& mHausnummer, bool MitDialog) {
  Session& s = session();
  std::shared_ptr<SearchProvider> provider = create_search_provider(kSearchProviderClassId);
  std::string dialog_flag = MitDialog ? "1" : "0";
  std::string message_flag = s.OkMeldungUnterdrucken ? "1" : "0";
  std::string request =
      mPlz + "|" + mOrt + "|" + mStrasse + "|" + mHausnummer + "|" + dialog_flag + "|0|" + message_flag;
  const bool unsendable = holds_separator({&mPlz, &mOrt, &mStrasse, &mHausnummer});
  s.Such_Plz = mPlz;
  s.Such_Ort = mOrt;
  s.Such_Strasse = mStrasse;
  s.Such_Hausnummer = mHausnummer;
  if (unsendable) {
    // The provider would read other fields than the caller gave: not asked,
    // not verified, the results as they were.
    s.Geprueft = 0;
    set_grund("eingabe_ungueltig", kSeparatorHinweis);
    return true;
  }
  std::string answer = provider->Call("Suche_Plz", request);

  // An answer with fewer than five fields counts as not verified; properties
  // whose fields are missing keep their values.
  std::vector<std::string> f = text::split(answer, '|');
  std::string* targets[] = {&s.Plz, &s.Ort, &s.Strasse, &s.Hausnummer};
  for (size_t i = 0; i < 4 && i < f.size(); ++i) *targets[i] = f[i];
  s.Geprueft = f.size() >= 5 && f[4] == "1" ? -1 : 0;
  take_provider_reason(f.size() >= 5 ? f : std::vector<std::string>{}, 4);
  return true;
}

std::string clsPlzManager::Suche_Ort_original(const std::string& mPlz, const std::string& mOrt) {
  std::string result;
  Session& s = session();
  s.Geprueft = 0;
  set_grund("fehler", "Die Suche wurde durch einen Fehler beendet.");
  try {
    // Held here too, so a reset during the choice list cannot free it.
    VariantTablePtr ort_tabelle = s.OrtTabelle = std::make_shared<VariantTable>();
    VariantTable& orte = *ort_tabelle;
    if (!Ermittle_OrteZuPlz(mPlz, orte)) {
      set_grund("plz_unbekannt", "Zur Postleitzahl " + trim(mPlz) + " ist kein Ort verzeichnet.");
      msg_box("Kein Ort mit dieser Postleitzahl vorhanden!", mb::kOkOnly, "Postleitzahlen");
      return result;
    }
    if (!trim(mOrt).empty()) {
      int32_t r = orte.Find(0, 0, Variant(mOrt), 0, 1, 0);
      if (r != -1) {
        result = mOrt;
        s.AktuellerAlort = trim(orte.Text(r, 2));
        set_grund("bestaetigt", "Der Ort " + trim(mOrt) + " gehört zur Postleitzahl " + trim(mPlz) + ".");
        return result;
      }
    }
    int32_t n = orte.UpperBound(1);
    if (n == 0) return result;
    int32_t idx = n > 1 ? OrtsAuswahl(orte) : 0;
    if (idx == -1) {
      set_grund("abgebrochen", "Die Auswahl des Ortes wurde abgebrochen.");
      return result;
    }
    result = orte.Text(idx, 0);
    s.AktuellerAlort = trim(orte.Text(idx, 2));
    s.Geprueft = -1;
    if (n > 1)
      set_grund("ausgewaehlt", "Der Ort " + trim(result) + " wurde aus der Liste der Orte zur Postleitzahl " +
                                   trim(mPlz) + " gewählt.");
    else if (trim(mOrt).empty())
      set_grund("bestaetigt", "Zur Postleitzahl " + trim(mPlz) + " gehört " + trim(result) + ".");
    else
      set_grund("plz_passt_nicht_zum_ort",
                "Zur Postleitzahl " + trim(mPlz) + " gehört " + trim(result) + ", nicht " + trim(mOrt) + ".");
  } catch (const std::exception& e) {
    msg_box(format_error_message("Fehler bei der Ermittlung des Bestimmungsortes", to_error(e)));
  }
  return result;
}

bool clsPlzManager::Suche_Plz_Original(const std::string& mPlz, const std::string& mOrt,
                                       const std::string& mStrasse, const std::string& mHausnummer,
                                       bool MitDialog) {
  Session& s = session();
  const bool mit_ortteil_anzeige = s.MitOrtteiAnzeige;
  // Copies first: a caller may pass the session's own search inputs.
  const std::string plz_in = mPlz, ort_in = mOrt, strasse_in = mStrasse, hausnummer_in = mHausnummer;

  // The search's own references to its two tables: a reset of the session
  // while a dialog or the search provider runs (a manager of the host ending)
  // must not pull the tables from under the search.
  VariantTablePtr ort_tabelle, str_tabelle;

  // Takes street row j of StrTabelle: its postal code, its name with the house number.
  auto take_street = [&](int32_t j) {
    const VariantTable& strassen = *str_tabelle;
    s.Plz = strassen.Text(j, 1);
    s.Strasse = strassen.Text(j, 0) + " " + s.Such_Hausnummer;
    s.Geprueft = -1;
  };
  auto chosen = [&](const std::string& ort) {
    set_grund("ausgewaehlt", "Die Postleitzahl " + trim(s.Plz) + " gilt für den gewählten Straßenabschnitt " +
                                 trim(s.Strasse) + " in " + trim(ort) + ".");
  };
  // Lists all streets of a place and lets the user pick one; true when a row was taken.
  auto choose_any_street = [&](const std::string& alort) {
    std::string alle_strassen, keine_hausnummer;
    if (!Ermittle_Strassen(alort, *str_tabelle, alle_strassen, keine_hausnummer)) return false;
    int32_t j = StrassenAuswahl(*str_tabelle);
    if (j == -1) return false;
    take_street(j);
    return true;
  };
  // Lets the user pick one of a street's sections; true when a row was taken.
  auto choose_section = [&](const std::string& alort, const std::vector<Section>& sections) {
    fill_street_table(*str_tabelle, alort, sections);
    int32_t j = StrassenAuswahl(*str_tabelle);
    if (j == -1) return false;
    take_street(j);
    return true;
  };
  // The postal code given with an exact street, checked against the street's
  // sections (case B). True when the sections confirm it; otherwise the
  // address is settled here: with the dialog the user may take the right
  // postal code or pick a section, without it the address stays unverified
  // with the right postal code (where there is exactly one) as a suggestion.
  auto code_fits_street = [&](const std::string& alort, const std::string& ort, const std::vector<Section>& sections) {
    const StreetCodes found = street_codes(sections, s.Such_Hausnummer);
    const std::string plz = trim(s.Such_Plz);
    if (std::find(found.codes.begin(), found.codes.end(), plz) != found.codes.end()) return true;
    const std::string name = sections.front().name;
    const std::string adresse = trim(name + " " + s.Such_Hausnummer) + " in " + trim(ort);
    s.Geprueft = 0;
    if (found.codes.size() == 1) {
      const std::string right = found.codes.front();
      s.Plz = right;
      set_grund("plz_passt_nicht_zur_strasse",
                "Die Postleitzahl " + plz + " passt nicht zu " + adresse + "; richtig ist " + right + ".");
      if (MitDialog &&
          msg_box("Die Postleitzahl " + plz + " passt nicht zu " + adresse + ".\nRichtig ist die Postleitzahl " +
                      right + ". Möchten Sie sie übernehmen?",
                  mb::kYesNoQuestion, "Postleitzahlen") == mb::kYes) {
        s.Strasse = name + " " + s.Such_Hausnummer;
        s.Ort = s.Such_Ort;
        s.Geprueft = -1;
        set_grund("uebernommen", "Die richtige Postleitzahl " + right + " für " + adresse + " wurde übernommen.");
      }
      return false;
    }
    if (found.outside)
      set_grund("hausnummer_ausserhalb", "Die Hausnummer " + trim(s.Such_Hausnummer) + " liegt in keinem Abschnitt von " +
                                             name + " in " + trim(ort) + "; die Postleitzahl lässt sich nicht prüfen.");
    else if (trim(s.Such_Hausnummer).empty())
      set_grund("hausnummer_fehlt", name + " in " + trim(ort) + " hat mehrere Postleitzahlen (" + joined(found.codes) +
                                        "); ohne Hausnummer ist keine eindeutig.");
    else
      set_grund("plz_passt_nicht_zur_strasse", "Die Postleitzahl " + plz + " passt nicht zu " + adresse +
                                                   "; in Frage kommen " + joined(found.codes) + ".");
    if (MitDialog && choose_section(alort, found.outside ? sections : found.admitted)) {
      s.Ort = s.Such_Ort;
      chosen(s.Such_Ort);
    }
    return false;
  };

  try {
    s.Geprueft = 0;
    set_grund("eingabe_fehlt", "Geben Sie eine Postleitzahl oder einen Ort an.");
    s.OrtTabelle = ort_tabelle = std::make_shared<VariantTable>();
    s.StrTabelle = str_tabelle = std::make_shared<VariantTable>();
    s.Such_Plz = plz_in;
    s.Such_Ort = ort_in;
    s.Such_Strasse = strasse_in;
    s.Such_Hausnummer = hausnummer_in;
    const bool plz_given = !trim(s.Such_Plz).empty();
    const bool ort_given = !trim(s.Such_Ort).empty();

    if (ort_given && !plz_given) {
      // Case A: the place alone; its postal code, then the street's.
      VariantTable& orte = *ort_tabelle;
      if (!Ermittle_Orte(trim(s.Such_Ort), orte)) {
        set_grund("ort_unbekannt", "Einen Ort „" + trim(s.Such_Ort) + "“ gibt es nicht.");
        msg_box("Ort nicht gefunden. Bitte prüfen Sie die Schreibweise!");
      } else {
        int32_t n = orte.UpperBound(1);
        int32_t idx = n > 1 ? OrtsAuswahl(orte) : 0;
        if (idx == -1) {
          set_grund("abgebrochen", "Die Auswahl des Ortes wurde abgebrochen.");
        } else {
          const std::string alort = orte.Text(idx, 2);
          const std::string ort = trim(orte.Text(idx, 0));
          s.Ort = orte.Text(idx, 0);
          s.Plz = Ermittle_Plz(trim(alort));
          s.Strasse = s.Such_Strasse;
          s.Geprueft = -1;
          TrenneStrasseHausNr();
          std::string geprueft_strasse = s.Such_Strasse;
          int32_t code = Pruefe_Strasse(alort, geprueft_strasse, "");
          bool settled = false;
          if (Ermittle_Strassen(alort, *str_tabelle, s.Such_Strasse, s.Such_Hausnummer)) {
            if (code == 3) {
              // The exact street: its sections that admit the house number decide.
              std::vector<Section> sections = named_sections(alort, geprueft_strasse);
              StreetCodes found = street_codes(sections, s.Such_Hausnummer);
              if (found.codes.size() == 1) {
                s.Plz = found.admitted.front().plz;
                s.Strasse = found.admitted.front().name + " " + s.Such_Hausnummer;
                s.Geprueft = -1;
                settled = true;
                set_grund("bestaetigt", "Die Postleitzahl " + trim(s.Plz) + " gilt für " +
                                            trim(s.Strasse) + " in " + ort + ".");
              } else if (!sections.empty()) {
                // Several postal codes and the house number picks none: the user chooses.
                settled = choose_section(alort, found.codes.empty() ? sections : found.admitted);
                if (settled) chosen(ort);
                if (!settled && found.outside)
                  set_grund("hausnummer_ausserhalb", "Die Hausnummer " + trim(s.Such_Hausnummer) +
                                                         " liegt in keinem Abschnitt von " + sections.front().name +
                                                         " in " + ort + ".");
                else if (!settled && trim(s.Such_Hausnummer).empty())
                  set_grund("hausnummer_fehlt", sections.front().name + " in " + ort +
                                                    " hat mehrere Postleitzahlen; ohne Hausnummer ist keine "
                                                    "eindeutig.");
                else if (!settled)
                  set_grund("abgebrochen", "Die Auswahl des Straßenabschnitts wurde abgebrochen.");
              }
            } else {
              int32_t j = StrassenAuswahl(*str_tabelle);
              if (j != -1) {
                take_street(j);
                settled = true;
                chosen(ort);
              } else {
                set_grund("abgebrochen", "Die Auswahl der Straße wurde abgebrochen.");
              }
            }
          } else if (!trim(s.Such_Strasse).empty()) {
            set_grund("strasse_unbekannt", "Die Straße „" + trim(s.Such_Strasse) + "“ ist in " + ort +
                                               " nicht bekannt.");
          } else {
            set_grund("strasse_fehlt", "Es wurde keine Straße angegeben.");
          }
          if (!settled) {
            // The street is unresolved: the place's main postal code is a
            // guess unless the place has only one.
            if (has_several_codes(alort)) {
              s.Geprueft = 0;
              if (s.Grund.code == "strasse_fehlt")
                s.Grund.hinweis = ort + " hat mehrere Postleitzahlen; ohne Straße ist keine eindeutig.";
              s.Grund.hinweis += " Die Postleitzahl " + trim(s.Plz) + " ist nur ein Vorschlag.";
            } else {
              set_grund("bestaetigt", ort + " hat nur die Postleitzahl " + trim(s.Plz) + ".");
            }
          }
        }
      }
    } else if (plz_given && ort_given) {
      // Case B: postal code and place; do they belong together?
      std::string ort_zur_plz = Suche_Ort(s.Such_Plz, trim(s.Such_Ort));
      if (s.Grund.code == "eingabe_ungueltig") {
        // The place of the postal code could not be asked: nothing to compare.
      } else if (trim(ort_zur_plz) != trim(s.Such_Ort)) {
        set_grund("plz_passt_nicht_zum_ort",
                  trim(ort_zur_plz).empty()
                      ? "Zur Postleitzahl " + trim(s.Such_Plz) + " ist kein Ort verzeichnet."
                      : "Zur Postleitzahl " + trim(s.Such_Plz) + " gehört " + trim(ort_zur_plz) + ", nicht " +
                            trim(s.Such_Ort) + ".");
        switch (Frage_PlzOrt(s.Such_Plz, ort_zur_plz, s.Geprueft == -1)) {
          case 2:  // the postal code is right: take its place
            // Without a place for the postal code there is nothing to take;
            // the address stays as Suche_Ort left it (not verified).
            if (!trim(ort_zur_plz).empty()) {
              s.Ort = trim(ort_zur_plz);
              s.Strasse = trim(s.Such_Strasse + " " + s.Such_Hausnummer);
              s.Plz = s.Such_Plz;
              s.Geprueft = -1;
              set_grund("ausgewaehlt", "Die Postleitzahl " + trim(s.Such_Plz) + " wurde als richtig bestätigt; ihr Ort " +
                                           trim(ort_zur_plz) + " wurde übernommen.");
              // The street still has to fit the postal code.
              std::string strasse = s.Such_Strasse, hausnummer = s.Such_Hausnummer;
              split_house_number(strasse, hausnummer);
              const std::string alort = place_key_of(trim(s.Such_Plz), trim(ort_zur_plz));
              if (!strasse.empty() && !alort.empty()) {
                std::vector<Section> sections = named_sections(alort, strasse);
                if (!sections.empty()) {
                  s.Such_Strasse = strasse;
                  s.Such_Hausnummer = hausnummer;
                  const std::string such_ort = s.Such_Ort;
                  s.Such_Ort = trim(ort_zur_plz);
                  if (code_fits_street(alort, ort_zur_plz, sections))
                    s.Strasse = trim(sections.front().name + " " + hausnummer);
                  s.Such_Ort = such_ort;
                }
              }
            }
            break;
          case 1:  // the place is right: search its postal code
            s.Such_Plz.clear();
            Suche_Plz_Original(s.Such_Plz, s.Such_Ort, s.Such_Strasse, s.Such_Hausnummer, false);
            break;
          case -1:
            s.Geprueft = 0;
            break;
          default:  // closed without an answer
            // Postal code and place still disagree and nobody settled it:
            // the address must not stand as verified because the provider
            // knew the postal code's place.
            s.Geprueft = 0;
            break;
        }
      } else {
        TrenneStrasseHausNr();
        // The street is checked in the place being verified, never in one
        // left over from an earlier search.
        const std::string alort = place_key_of(trim(s.Such_Plz), trim(s.Such_Ort));
        const std::string ort = trim(s.Such_Ort);
        bool settled = false;
        bool unresolved = false;  // a street was given but not found or not chosen
        set_grund("bestaetigt", "Die Postleitzahl " + trim(s.Such_Plz) + " gehört zu " + ort + ".");
        switch (Pruefe_Strasse(alort, s.Such_Strasse, "")) {
          case 1:
            if (msg_box("Dieser Ort unterscheidet die Plz nach Straßen! Möchten Sie eine Auswahlliste?", mb::kYesNo,
                        "Keine Straße angegeben") == mb::kYes)
              settled = choose_any_street(alort);
            if (settled) chosen(ort);
            else
              set_grund("bestaetigt", "Die Postleitzahl " + trim(s.Such_Plz) + " gehört zu " + ort +
                                          "; ohne Straße ist nur diese Zuordnung geprüft.");
            break;
          case 2: {
            s.MitOrtteiAnzeige = true;  // the street rows carry district names
            s.Strasse = s.Such_Strasse;
            s.Geprueft = -1;
            TrenneStrasseHausNr();
            if (Ermittle_Strassen(alort, *str_tabelle, s.Such_Strasse, s.Such_Hausnummer)) {
              int32_t j = StrassenAuswahl(*str_tabelle);
              if (j != -1) {
                take_street(j);
                settled = true;
                chosen(ort);
              }
            }
            if (!settled) {
              s.MitOrtteiAnzeige = mit_ortteil_anzeige;
              unresolved = true;
              set_grund("abgebrochen", "Die Straße „" + trim(s.Such_Strasse) + "“ wurde nicht aus der Liste gewählt.");
            }
            break;
          }
          case -1:
            if (msg_box("Diese Straße ist nicht bekannt! Möchten Sie eine Auswahlliste?", mb::kYesNo,
                        "Straße nicht gefunden") == mb::kYes &&
                choose_any_street(alort)) {
              s.Ort = s.Such_Ort;
              settled = true;
              chosen(ort);
            } else {
              unresolved = true;
              set_grund("strasse_unbekannt", "Die Straße „" + trim(s.Such_Strasse) + "“ ist in " + ort +
                                                 " nicht bekannt.");
            }
            break;
          case 3:  // the street exists under this name: its sections decide about the postal code
            if (!code_fits_street(alort, ort, named_sections(alort, s.Such_Strasse))) settled = true;
            else
              set_grund("bestaetigt", "Die Postleitzahl " + trim(s.Such_Plz) + " gilt für " +
                                          trim(s.Such_Strasse + " " + s.Such_Hausnummer) + " in " + ort + ".");
            break;
          default:  // 0: no streets in the place: the postal code decides
            break;
        }
        if (unresolved && has_several_codes(alort)) {
          // The given street is not in the data of a place whose postal
          // codes differ by street: the postal code cannot be confirmed.
          s.Geprueft = 0;
          s.Grund.hinweis += " " + ort + " hat mehrere Postleitzahlen; " + trim(s.Such_Plz) +
                             " lässt sich ohne bekannte Straße nicht bestätigen.";
          settled = true;
        } else if (unresolved) {
          set_grund("bestaetigt", ort + " hat nur die Postleitzahl " + trim(s.Such_Plz) + "; die Straße „" +
                                      trim(s.Such_Strasse) + "“ ist dort nicht verzeichnet.");
        }
        if (!settled && MitDialog) {
          msg_box("Postleitzahl und Bestimmungsort sind in Ordnung!", mb::kOkOnly, "Postleitzahlen");
          s.Plz = s.Such_Plz;
          s.Strasse = trim(s.Such_Strasse + " " + s.Such_Hausnummer);
          s.Ort = s.Such_Ort;
          s.Geprueft = -1;
        }
      }
    } else if (plz_given) {
      // Case C: the postal code alone; its place.
      s.Ort = Suche_Ort(s.Such_Plz, "");
      if (!trim(s.Ort).empty()) {
        s.Plz = s.Such_Plz;
        s.Strasse = trim(s.Such_Strasse + " " + s.Such_Hausnummer);
        s.Geprueft = -1;
        set_grund("bestaetigt", "Zur Postleitzahl " + trim(s.Such_Plz) + " gehört " + trim(s.Ort) + ".");
      } else if (s.Grund.code == "nicht_bestaetigt" || s.Grund.code == "bestaetigt") {
        set_grund("plz_unbekannt", "Zur Postleitzahl " + trim(s.Such_Plz) + " ist kein Ort verzeichnet.");
      }
    }
  } catch (const std::exception&) {
    s.MitOrtteiAnzeige = mit_ortteil_anzeige;
    set_grund("fehler", "Die Suche wurde durch einen Fehler beendet.");
    msg_box("Fehler beim ermitteln der Postleitzahl");
  }
  s.MitOrtteiAnzeige = mit_ortteil_anzeige;
  s.OrtTabelle.reset();
  s.StrTabelle.reset();
  return false;
}

}  // namespace noxplz
