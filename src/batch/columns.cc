#include "batch/columns.h"

#include <algorithm>
#include <stdexcept>

#include "fuzzy/folding.h"
#include "lookup/global.h"
#include "platform/text.h"

namespace noxplz::batch {
namespace {

enum class Field { Plz, Ort, Strasse, Hausnummer, StrasseMitNummer, PlzOrt };

// Header names as they fold, for each field.
struct Known {
  const char* folded;
  Field field;
};
constexpr Known kKnown[] = {
    {"plz", Field::Plz},
    {"postleitzahl", Field::Plz},
    {"ort", Field::Ort},
    {"stadt", Field::Ort},
    {"wohnort", Field::Ort},
    {"ortsname", Field::Ort},
    {"strasse", Field::Strasse},
    {"str", Field::Strasse},
    {"strassenname", Field::Strasse},
    {"hausnummer", Field::Hausnummer},
    {"hausnr", Field::Hausnummer},
    {"hnr", Field::Hausnummer},
    {"nr", Field::Hausnummer},
    {"nummer", Field::Hausnummer},
    {"strassemithausnummer", Field::StrasseMitNummer},
    {"strasseundhausnummer", Field::StrasseMitNummer},
    {"strassehausnummer", Field::StrasseMitNummer},
    {"strassehausnr", Field::StrasseMitNummer},
    {"strassenr", Field::StrasseMitNummer},
    {"strhausnr", Field::StrasseMitNummer},
    {"strnr", Field::StrasseMitNummer},
    {"strassehnr", Field::StrasseMitNummer},
    {"plzort", Field::PlzOrt},
    {"plzundort", Field::PlzOrt},
    {"postleitzahlort", Field::PlzOrt},
};

std::optional<Field> field_of(std::string_view name) {
  const std::string f = fold_header(name);
  if (f == "plz" || f == "postleitzahl") return Field::Plz;
  if (f == "ort") return Field::Ort;
  if (f == "strasse" || f == "str") return Field::Strasse;
  if (f == "hausnummer" || f == "hausnr" || f == "nr") return Field::Hausnummer;
  return std::nullopt;
}

void set(ColumnMap& map, Field field, size_t column) {
  switch (field) {
    case Field::Plz: map.plz = column; break;
    case Field::Ort: map.ort = column; break;
    case Field::Strasse: map.strasse = column; map.street_with_number = false; break;
    case Field::Hausnummer: map.hausnummer = column; break;
    case Field::StrasseMitNummer: map.strasse = column; map.street_with_number = true; break;
    case Field::PlzOrt: map.plz_ort = column; break;
  }
}

std::string field_at(const std::vector<std::string>& fields, const std::optional<size_t>& column) {
  return column && *column < fields.size() ? fields[*column] : std::string();
}

}  // namespace

std::string fold_header(std::string_view name) {
  std::string letters = fuzzy::fold_letters(text::trim(name));
  std::string out;
  for (char c : letters)
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += c;
  return out;
}

size_t ColumnMap::highest() const {
  size_t h = 0;
  for (const auto& c : {plz, ort, strasse, hausnummer, plz_ort})
    if (c) h = std::max(h, *c);
  return h;
}

ListAddress ColumnMap::address(const std::vector<std::string>& fields) const {
  ListAddress a;
  a.plz = text::trim(field_at(fields, plz));
  a.ort = text::trim(field_at(fields, ort));
  if (plz_ort) {
    // "12345 Musterstadt": the leading digits are the postal code.
    std::string both = text::trim(field_at(fields, plz_ort));
    size_t digits = 0;
    while (digits < both.size() && both[digits] >= '0' && both[digits] <= '9') ++digits;
    if (a.plz.empty()) a.plz = both.substr(0, digits);
    if (a.ort.empty()) a.ort = text::trim(std::string_view(both).substr(digits));
  }
  a.strasse = text::trim(field_at(fields, strasse));
  a.hausnummer = text::trim(field_at(fields, hausnummer));
  if (a.hausnummer.empty()) split_house_number(a.strasse, a.hausnummer);
  return a;
}

ColumnMap find_columns(const std::vector<std::string>& header, std::string_view mapping) {
  ColumnMap map;
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string f = fold_header(header[i]);
    for (const Known& k : kKnown)
      if (f == k.folded) {
        // The first column of a kind wins ("Ort" before a later "Stadt").
        bool taken = false;
        switch (k.field) {
          case Field::Plz: taken = map.plz.has_value(); break;
          case Field::Ort: taken = map.ort.has_value(); break;
          case Field::Strasse:
          case Field::StrasseMitNummer: taken = map.strasse.has_value(); break;
          case Field::Hausnummer: taken = map.hausnummer.has_value(); break;
          case Field::PlzOrt: taken = map.plz_ort.has_value(); break;
        }
        if (!taken) set(map, k.field, i);
        break;
      }
  }

  for (const std::string& pair : text::split(mapping, ',')) {
    if (text::trim(pair).empty()) continue;
    const size_t eq = pair.find('=');
    if (eq == std::string::npos)
      throw std::invalid_argument("„" + text::trim(pair) +
                                  "“ ist keine Zuordnung. Schreiben Sie FELD=SPALTE, zum Beispiel "
                                  "--spalten \"plz=Postcode,ort=City\".");
    const std::string name = text::trim(pair.substr(0, eq));
    const std::string column = text::trim(pair.substr(eq + 1));
    std::optional<Field> field = field_of(name);
    const std::string folded_name = fold_header(name);
    if (folded_name == "strassemithausnummer" || folded_name == "strassehausnummer") field = Field::StrasseMitNummer;
    if (folded_name == "plzort") field = Field::PlzOrt;
    if (!field)
      throw std::invalid_argument("Das Feld „" + name +
                                  "“ gibt es nicht. Möglich sind plz, ort, strasse, hausnummer, "
                                  "strasse+hausnummer und plz+ort.");
    std::optional<size_t> index;
    if (!column.empty() && std::all_of(column.begin(), column.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      const unsigned long n = column.size() > 6 ? 0 : std::stoul(column);
      if (n == 0 || n > header.size())
        throw std::invalid_argument("Die Spalte " + column + " gibt es nicht: die Liste hat " +
                                    std::to_string(header.size()) + " Spalten.");
      index = n - 1;
    } else {
      for (size_t i = 0; i < header.size() && !index; ++i)
        if (text::equals_ci(text::trim(header[i]), column)) index = i;
      for (size_t i = 0; i < header.size() && !index; ++i)
        if (fold_header(header[i]) == fold_header(column)) index = i;
    }
    if (!index) {
      std::string names;
      for (const std::string& h : header) names += (names.empty() ? "" : ", ") + ("„" + h + "“");
      throw std::invalid_argument("Die Spalte „" + column + "“ steht nicht in der Kopfzeile. Vorhanden sind: " +
                                  names + ".");
    }
    set(map, *field, *index);
  }
  return map;
}

const std::vector<std::string>& result_columns() {
  static const std::vector<std::string> columns = {"Status",         "PLZ_neu", "Ort_neu",   "Strasse_neu",
                                                   "Hausnummer_neu", "Grund",   "Vorschlaege"};
  return columns;
}

size_t strip_result_columns(std::vector<std::string>& header) {
  const auto& columns = result_columns();
  if (header.size() < columns.size()) return 0;
  for (size_t i = 0; i < columns.size(); ++i)
    if (!text::equals_ci(text::trim(header[header.size() - columns.size() + i]), columns[i])) return 0;
  header.resize(header.size() - columns.size());
  return columns.size();
}

}  // namespace noxplz::batch
