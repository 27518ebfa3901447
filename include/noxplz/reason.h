// Why a search answered as it did: a short stable code for programs and a
// German sentence for the user. Every search of clsPlzManager and the
// address check of the built-in provider set one.
//
// Codes: bestaetigt, ausgewaehlt, uebernommen, plz_passt_nicht_zur_strasse,
// plz_passt_nicht_zum_ort, plz_unbekannt, plz_mehrdeutig, ort_unbekannt,
// ort_mehrdeutig, strasse_unbekannt, strasse_fehlt, hausnummer_fehlt,
// hausnummer_ausserhalb, abgebrochen, eingabe_fehlt, eingabe_ungueltig,
// nicht_bestaetigt, fehler (meanings in docs/json.md).
#pragma once

#include <string>

namespace noxplz {

struct Reason {
  std::string code;     // e.g. "plz_passt_nicht_zur_strasse"
  std::string hinweis;  // e.g. "Die Postleitzahl 10115 passt nicht zu Hauptstr. 12 in Berlin; richtig ist 10117."
};

}  // namespace noxplz
