// The searches of clsPlzManager: Suche_Ort and Suche_Plz through the search
// provider, Suche_Ort_original and Suche_Plz_Original on the postal tables,
// the street/house-number splitter and the two choice lists.
#include <exception>
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

// The street row to take after an exact street match: among the rows that
// carry exactly the checked name, the first section whose house-number range
// admits the house number, else the first of those rows; row 0 when no row
// carries the name (the table may hold longer names with the same beginning).
int32_t exact_street_row(const VariantTable& strassen, const std::string& name, const std::string& hausnummer) {
  int32_t first_named = -1;
  for (int32_t r = 0; r < strassen.UpperBound(1); ++r) {
    if (!text::equals_ci(trim(strassen.Text(r, 0)), name)) continue;
    if (first_named < 0) first_named = r;
    std::string hnr = hausnummer, von = strassen.Text(r, 2), bis = strassen.Text(r, 3);
    if (!trim(von).empty() && Pruefe_Hausnummer(hnr, von, bis, strassen.Text(r, 4))) return r;
  }
  return first_named < 0 ? 0 : first_named;
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
  s.Such_Plz = mPlz;
  s.Such_Ort = mOrt;
  s.Such_Strasse = mStrasse;
  s.Such_Hausnummer = mHausnummer;
  std::string answer = provider->Call("Suche_Plz", request);

  // An answer with fewer than five fields counts as not verified; properties
  // whose fields are missing keep their values.
  std::vector<std::string> f = text::split(answer, '|');
  std::string* targets[] = {&s.Plz, &s.Ort, &s.Strasse, &s.Hausnummer};
  for (size_t i = 0; i < 4 && i < f.size(); ++i) *targets[i] = f[i];
  s.Geprueft = f.size() >= 5 && f[4] == "1" ? -1 : 0;
  return true;
}

std::string clsPlzManager::Suche_Ort_original(const std::string& mPlz, const std::string& mOrt) {
  std::string result;
  Session& s = session();
  s.Geprueft = 0;
  try {
    // Held here too, so a reset during the choice list cannot free it.
    VariantTablePtr ort_tabelle = s.OrtTabelle = std::make_shared<VariantTable>();
    VariantTable& orte = *ort_tabelle;
    if (!Ermittle_OrteZuPlz(mPlz, orte)) {
      msg_box("Kein Ort mit dieser Postleitzahl vorhanden!", mb::kOkOnly, "Postleitzahlen");
      return result;
    }
    if (!trim(mOrt).empty()) {
      int32_t r = orte.Find(0, 0, Variant(mOrt), 0, 1, 0);
      if (r != -1) {
        result = mOrt;
        s.AktuellerAlort = trim(orte.Text(r, 2));
        return result;
      }
    }
    int32_t n = orte.UpperBound(1);
    if (n == 0) return result;
    int32_t idx = n > 1 ? OrtsAuswahl(orte) : 0;
    if (idx == -1) return result;
    result = orte.Text(idx, 0);
    s.AktuellerAlort = trim(orte.Text(idx, 2));
    s.Geprueft = -1;
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
  // Lists all streets of a place and lets the user pick one; true when a row was taken.
  auto choose_any_street = [&](const std::string& alort) {
    std::string alle_strassen, keine_hausnummer;
    if (!Ermittle_Strassen(alort, *str_tabelle, alle_strassen, keine_hausnummer)) return false;
    int32_t j = StrassenAuswahl(*str_tabelle);
    if (j == -1) return false;
    take_street(j);
    return true;
  };

  try {
    s.Geprueft = 0;
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
        msg_box("Ort nicht gefunden. Bitte prüfen Sie die Schreibweise!");
      } else {
        int32_t n = orte.UpperBound(1);
        int32_t idx = n > 1 ? OrtsAuswahl(orte) : 0;
        if (idx != -1) {
          const std::string alort = orte.Text(idx, 2);
          s.Ort = orte.Text(idx, 0);
          s.Plz = Ermittle_Plz(trim(alort));
          s.Strasse = s.Such_Strasse;
          s.Geprueft = -1;
          TrenneStrasseHausNr();
          std::string geprueft_strasse = s.Such_Strasse;
          int32_t code = Pruefe_Strasse(alort, geprueft_strasse, "");
          if (Ermittle_Strassen(alort, *str_tabelle, s.Such_Strasse, s.Such_Hausnummer)) {
            if (code == 3) {
              take_street(exact_street_row(*str_tabelle, geprueft_strasse, s.Such_Hausnummer));
            } else {
              int32_t j = StrassenAuswahl(*str_tabelle);
              if (j != -1) take_street(j);
            }
          }
        }
      }
    } else if (plz_given && ort_given) {
      // Case B: postal code and place; do they belong together?
      std::string ort_zur_plz = Suche_Ort(s.Such_Plz, trim(s.Such_Ort));
      if (trim(ort_zur_plz) != trim(s.Such_Ort)) {
        switch (Frage_PlzOrt()) {
          case 2:  // the postal code is right: take its place
            // Without a place for the postal code there is nothing to take;
            // the address stays as Suche_Ort left it (not verified).
            if (!trim(ort_zur_plz).empty()) {
              s.Ort = trim(ort_zur_plz);
              s.Strasse = trim(s.Such_Strasse + " " + s.Such_Hausnummer);
              s.Plz = s.Such_Plz;
              s.Geprueft = -1;
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
        bool settled = false;
        switch (Pruefe_Strasse(alort, s.Such_Strasse, "")) {
          case 1:
            if (msg_box("Dieser Ort unterscheidet die Plz nach Straßen! Möchten Sie eine Auswahlliste?", mb::kYesNo,
                        "Keine Straße angegeben") == mb::kYes)
              settled = choose_any_street(alort);
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
              }
            }
            if (!settled) s.MitOrtteiAnzeige = mit_ortteil_anzeige;
            break;
          }
          case -1:
            if (msg_box("Diese Straße ist nicht bekannt! Möchten Sie eine Auswahlliste?", mb::kYesNo,
                        "Straße nicht gefunden") == mb::kYes &&
                choose_any_street(alort)) {
              s.Ort = s.Such_Ort;
              settled = true;
            }
            break;
          default:  // 0: no streets in the place, 3: the street exists under this name
            break;
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
      }
    }
  } catch (const std::exception&) {
    s.MitOrtteiAnzeige = mit_ortteil_anzeige;
    msg_box("Fehler beim ermitteln der Postleitzahl");
  }
  s.MitOrtteiAnzeige = mit_ortteil_anzeige;
  s.OrtTabelle.reset();
  s.StrTabelle.reset();
  return false;
}

}  // namespace noxplz
