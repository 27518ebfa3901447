// The module Global: lookups on the postal tables, list fillers, the file
// chooser and the place/street choice helpers shared by searches and dialogs.
// Every statement runs on the thread's shared connection; every value placed
// into a statement goes through sql_quote().
//
// Error rule of the lookups and list fillers: a failure (statement, missing
// table or column, no connection) is shown in a message box as the routine's
// fixed text, a line feed and "NUMBER / description"; the routine then
// returns its result as it stood. Nothing is thrown to the caller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/ui.h"
#include "noxplz/variant.h"

namespace noxplz {

// --- place and postal-code lookups ---
// Place rows (columns 0..3): name trimmed, addition trimmed (empty for
// Ermittle_OrteZuPlz), place key untrimmed, postal code. n rows found are
// rows 0..n-1 followed by one empty row, so UpperBound(1) == n.

// Current places (no successor key) whose name begins with `name`, ordered by
// name, addition and key (the same order as Fill_OrtCombo). True when a row was written.
bool Ermittle_Orte(const std::string& name, VariantTable& tabelle);
// One row per postal-code row of `plz`. True when a row was written.
bool Ermittle_OrteZuPlz(const std::string& plz, VariantTable& tabelle);
// Postal code of a place key among its delivery-kind '6' rows, untrimmed; "" if none.
std::string Ermittle_Plz(const std::string& alort);
// First postal code of a place key, trimmed; "" if none.
std::string Ermittle_Postleitzahl(const std::string& alort);
// District name for place key and district key, trimmed; "" while
// MitOrtteiAnzeige is off (no statement runs then).
std::string Ermittle_Ortsteil(const std::string& alort, const std::string& schl);

// --- street lookups and house-number check ---
// Street rows (columns 0..5): name, postal code, first and last house number,
// type (N/G/U), district name. `strasse` is rewritten with its normalised
// form; when nothing matches but the place has streets the user is asked
// whether to list them all. True when a row was written.
bool Ermittle_Strassen(const std::string& alort, VariantTable& tabelle, std::string& strasse,
                       const std::string& hausnummer);
// 0 no streets, 1 empty name, 3 exact, 2 prefix, -1 not found; `strasse` is rewritten trimmed.
int32_t Pruefe_Strasse(const std::string& alort, std::string& strasse, const std::string& hausnummer);
// Whether `hausnummer` lies in von..bis and fits the type ("N" all, "G" even,
// "U" odd). House numbers compare as numbers (see compare_house_numbers); a
// house number or range end without a leading number lies in no range.
// `hausnummer`, `von`, `bis` are rewritten trimmed.
bool Pruefe_Hausnummer(std::string& hausnummer, std::string& von, std::string& bis,
                       const std::string& typ);

// --- list fillers ---
// Entry i of the list shows row i of the table that Ermittle_Orte /
// Ermittle_Strassen fill for the same input.
bool Fill_OrtCombo(ListBox& liste, const std::string& name);
bool Fill_StrCombo(ListBox& liste, const std::string& alort, const std::string& strasse,
                   const std::string& hausnummer);
// Whether Fill_StrCombo's selection of all streets of a place starts without
// an error (the statement is run and closed again at once; nothing is shown).
bool street_list_selection_starts(const std::string& alort);
// How many failures the lookups and list fillers of this thread have shown so
// far: a caller compares the count before and after a lookup to learn whether
// it reported one.
int64_t lookup_failures_shown();
// The display lines of the two fillers: "Name Zusatz" and "Name (von-bis)" or
// "Name" (inputs are trimmed here).
std::string place_list_line(std::string_view oname, std::string_view ozusatz);
std::string street_list_line(std::string_view name46, std::string_view hnr_von, std::string_view hnr_bis);
// The same into `out` (its memory reused).
void street_list_line_into(std::string& out, std::string_view name46, std::string_view hnr_von,
                           std::string_view hnr_bis);

// --- file chooser ---
std::string Dateiauswahl(const std::string& titel, const std::string& dateiname,
                         const std::string& erweiterung, const std::vector<std::string>& filter,
                         const std::string& verzeichnis, bool option1, bool option2, bool option3);

// --- choice dialogs ---
// Mismatch question: 2 postal code right, 1 place right, -1 neither, 0 closed.
int32_t Frage_PlzOrt();
// The same question naming the place that belongs to the postal code (on the
// form's extra label); `eindeutig` false when the postal code has several places.
int32_t Frage_PlzOrt(const std::string& plz, const std::string& ort_zur_plz, bool eindeutig = true);
// The place / street choice list (frmAuswahl, caption "Orts-Auswahl" /
// "Straßen-Auswahl") over the filled rows of a place / street table; returns
// the chosen table row or -1.
// Lines that read the same carry what tells their rows apart (see below). The
// street list starts on the first section whose range admits `hausnummer`
// (when there is one), else on its first line.
int32_t choose_place(const VariantTable& tabelle);
int32_t choose_street(const VariantTable& tabelle, const std::string& hausnummer = {});
// Their lines for row `row`.
std::string place_choice_line(const VariantTable& tabelle, int32_t row);
std::string street_choice_line(const VariantTable& tabelle, int32_t row);

// --- lines that tell entries apart ---
// A cell's text, read in place where the cell holds text (else written into
// `scratch`): lines are made for every row of tens of thousands.
std::string_view cell_text(const VariantTable& t, int32_t row, int32_t col, std::string& scratch);
// The rows 0..UpperBound(1)-1 of a lookup table.
std::vector<int32_t> filled_rows(const VariantTable& tabelle);
// `line` for each of `rows`; where lines would read the same, each line of
// that group gets "   – " and what tells its row apart. Places: the postal
// code (unless the line shows it), then the municipality of the place key,
// then the place key, as far as needed. Streets: the postal code and the
// district (unless the line shows it). Rows alike in all of it stay alike.
std::vector<std::string> distinct_place_lines(const VariantTable& orte, const std::vector<int32_t>& rows,
                                              std::string (*line)(const VariantTable&, int32_t),
                                              bool line_shows_plz);
std::vector<std::string> distinct_street_lines(const VariantTable& strassen, const std::vector<int32_t>& rows,
                                               std::string (*line)(const VariantTable&, int32_t),
                                               bool line_shows_district);
// The line of row `row` of a street table (Ermittle_Strassen's columns):
// street_list_line of its name and house-number range.
std::string street_table_line(const VariantTable& strassen, int32_t row);
// distinct_street_lines(strassen, filled_rows(strassen), street_table_line,
// false), each line made when read: the search dialog's list of all streets
// of a very large place makes only the lines it shows.
std::shared_ptr<const ListLines> street_list_lines(std::shared_ptr<const VariantTable> strassen);
// The name of the municipality (KGS_DA) of a place key (Ort_DA.KGS); empty
// when unknown. Reports no error: it only helps telling lines apart.
std::string municipality_of_place(const std::string& alort);

// --- address text helpers (pure) ---
// Moves a trailing house number from the street text into `hausnummer`: the
// street is trimmed; only its second half is searched for a digit, which
// starts the house number. Without one, both texts are only trimmed; an
// empty street leaves `hausnummer` untouched.
void split_house_number(std::string& strasse, std::string& hausnummer);
// The street-name normalisation of Ermittle_Strassen: full stops removed,
// "strasse" and "straße" (lower case only) replaced by "str", trimmed.
std::string normalize_street_name(std::string_view strasse);
// Compares two house numbers: leading number numerically (leading zeros
// ignored), then the rest case-insensitively, empty rest first. Returns <0,
// 0, >0; `ok` becomes false when either text has no leading number.
int compare_house_numbers(std::string_view a, std::string_view b, bool& ok);

}  // namespace noxplz
