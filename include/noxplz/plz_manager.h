// clsPlzManager: the host's entry point. Initialisation, the address
// properties, the searches, the search dialog and the import dialog.
//
// All manager (and import) objects of one thread share one session state:
// connection, flags, address properties and Geprueft. The end of any manager
// object resets that state for the whole thread (its connection is released
// and the address texts are emptied), as the component always did.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "noxplz/db.h"
#include "noxplz/reason.h"
#include "noxplz/variant.h"

namespace noxplz {

class clsPlzManager {
 public:
  clsPlzManager() = default;
  ~clsPlzManager();  // resets the thread's session
  clsPlzManager(const clsPlzManager&) = delete;
  clsPlzManager& operator=(const clsPlzManager&) = delete;

  // Starts a session: resets the state, keeps the host object and the
  // connection string, takes `connection` (used exactly as given) or opens
  // one itself. Returns false when an error occurred or its own connection
  // could not be opened (the unopened connection is still kept).
  bool Init(std::shared_ptr<void> appObj, std::string_view connectionstring,
            ConnectionPtr connection = nullptr, bool pMitOrtteiAnzeige = false);

  // Opens the import dialog "Datafactory Postalcode Import".
  void PlzImportieren();
  // Opens the search dialog "Plz-Prüfung" pre-filled with the four texts;
  // after "Übernehmen" they hold the dialog's texts. Ends the session.
  void PlzSuchenDialog(std::string& mPlz, std::string& mOrt, std::string& mStrasse,
                       std::string& mHausnummer);
  void PlzSuchenDialog(std::string& mPlz, std::string& mOrt, std::string& mStrasse);

  // --- address properties (shared per thread) ---
  int32_t Geprueft() const;
  void Geprueft(int32_t value);
  std::string Such_Plz() const;
  void Such_Plz(std::string_view value);
  std::string Such_Postfach() const;
  void Such_Postfach(std::string_view value);
  std::string Such_Strasse() const;
  void Such_Strasse(std::string_view value);
  std::string Such_Hausnummer() const;
  void Such_Hausnummer(std::string_view value);
  std::string Such_Ort() const;
  void Such_Ort(std::string_view value);
  std::string Such_OrtsTeil() const;
  void Such_OrtsTeil(std::string_view value);
  std::string Such_Gemeinde() const;
  void Such_Gemeinde(std::string_view value);
  std::string Such_GrossEmpfaenge() const;
  void Such_GrossEmpfaenge(std::string_view value);
  std::string Plz() const;
  void Plz(std::string_view value);
  std::string Postfach() const;
  void Postfach(std::string_view value);
  std::string Strasse() const;
  void Strasse(std::string_view value);
  std::string Hausnummer() const;
  void Hausnummer(std::string_view value);
  // Stored as a Boolean; reads "True"/"False". Writing a text that is neither
  // a Boolean word nor a number raises error 13 and keeps the old value.
  std::string OkMeldungUnterdrucken() const;
  void OkMeldungUnterdrucken(std::string_view value);
  std::string Ort() const;
  void Ort(std::string_view value);
  std::string OrtsTeil() const;
  void OrtsTeil(std::string_view value);
  std::string Gemeinde() const;
  void Gemeinde(std::string_view value);
  std::string GrossEmpfaenge() const;
  void GrossEmpfaenge(std::string_view value);
  bool MitOrtteiAnzeige() const;
  void MitOrtteiAnzeige(bool value);

  // --- searches ---
  // None of the searches writes its arguments back: the results are in the
  // properties Plz, Ort, Strasse, Hausnummer and Geprueft (-1 verified, 0 not).

  // Postal-code search through the search provider ("Suche_Plz"). Returns
  // true once the answer is read; a failure to create or call the provider
  // is raised to the caller.
  bool Suche_Plz(const std::string& mPlz, const std::string& mOrt, const std::string& mStrasse,
                 const std::string& mHausnummer = {}, bool MitDialog = false);
  // Postal-code search and verification on the postal tables, asking the user
  // where the data leaves a choice. Always returns false.
  bool Suche_Plz_Original(const std::string& mPlz, const std::string& mOrt, const std::string& mStrasse,
                          const std::string& mHausnummer = {}, bool MitDialog = false);
  // Place of a postal code through the search provider ("Suche_Ort"); sets
  // Ort and Geprueft. A failure of the provider is raised to the caller.
  std::string Suche_Ort(const std::string& mPlz, const std::string& mOrt = {});
  // Place of a postal code from the postal tables, with the place choice list.
  std::string Suche_Ort_original(const std::string& mPlz, const std::string& mOrt = {});
  // Moves a trailing house number from Such_Strasse into Such_Hausnummer.
  void TrenneStrasseHausNr();

  // Why the last search of this thread answered as it did: a stable code
  // ("bestaetigt", "plz_passt_nicht_zur_strasse", ...) and a German sentence
  // a host can show. Every search sets it; the properties and Geprueft are
  // not affected by it. Empty before the first search.
  Reason Grund() const;

 private:
  ConnectionPtr GetConnection();
  void Reset();
  int32_t OrtsAuswahl(VariantTable& tabelle);
  int32_t StrassenAuswahl(VariantTable& tabelle);
};

}  // namespace noxplz
