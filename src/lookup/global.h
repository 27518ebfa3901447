// The module Global: lookups on the postal tables, list fillers, the file
// chooser and the place/street choice helpers shared by searches and dialogs.
// Every statement runs on the thread's shared connection; every value placed
// into a statement goes through sql_quote().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "noxplz/ui.h"
#include "noxplz/variant.h"

namespace noxplz {

// --- place and postal-code lookups ---
bool Ermittle_Orte(const std::string& name, VariantTable& tabelle);
bool Ermittle_OrteZuPlz(const std::string& plz, VariantTable& tabelle);
std::string Ermittle_Plz(const std::string& alort);
std::string Ermittle_Postleitzahl(const std::string& alort);
std::string Ermittle_Ortsteil(const std::string& alort, const std::string& schl);

// --- street lookups and house-number check ---
// `strasse` is rewritten with its normalised form.
bool Ermittle_Strassen(const std::string& alort, VariantTable& tabelle, std::string& strasse,
                       const std::string& hausnummer);
// 0 no streets, 1 empty name, 3 exact, 2 prefix, -1 not found; `strasse` is rewritten trimmed.
int32_t Pruefe_Strasse(const std::string& alort, std::string& strasse, const std::string& hausnummer);
// `hausnummer`, `von`, `bis` are rewritten trimmed.
bool Pruefe_Hausnummer(std::string& hausnummer, std::string& von, std::string& bis,
                       const std::string& typ);

// --- list fillers ---
bool Fill_OrtCombo(ListBox& liste, const std::string& name);
bool Fill_StrCombo(ListBox& liste, const std::string& alort, const std::string& strasse,
                   const std::string& hausnummer);

// --- file chooser ---
std::string Dateiauswahl(const std::string& titel, const std::string& dateiname,
                         const std::string& erweiterung, const std::vector<std::string>& filter,
                         const std::string& verzeichnis, bool option1, bool option2, bool option3);

// --- mismatch question: 2 postal code right, 1 place right, -1 neither, 0 closed ---
int32_t Frage_PlzOrt();

}  // namespace noxplz
