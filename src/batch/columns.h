// Which columns of an address list hold postal code, place, street and house
// number: found by header name (case, umlauts, blanks and punctuation do not
// matter), or given by the user as FELD=SPALTE pairs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace noxplz::batch {

// The address of one line, as the list gives it.
struct ListAddress {
  std::string plz, ort, strasse, hausnummer;
};

struct ColumnMap {
  std::optional<size_t> plz, ort, strasse, hausnummer;
  // A column "PLZ Ort" holding both ("12345 Musterstadt").
  std::optional<size_t> plz_ort;
  // The street column also carries the house number ("Straße mit Hausnummer").
  bool street_with_number = false;

  bool any() const { return plz || ort || strasse || plz_ort; }
  // The highest column index used, for telling a short line from a broken one.
  size_t highest() const;
  // The address of a line; missing fields count as empty. A house number in
  // the street text is split off (as TrenneStrasseHausNr does) when the line
  // has no house number of its own.
  ListAddress address(const std::vector<std::string>& fields) const;
};

// The folded form of a header name: lower case, ä ö ü ß as ae oe ue ss,
// everything but letters and digits dropped ("Haus-Nr." -> "hausnr").
std::string fold_header(std::string_view name);

// Finds the columns by their header names. Throws std::invalid_argument with
// a German message for a mapping that names an unknown field or column.
//
// `mapping` ("plz=Postcode,ort=City,strasse=Street,hausnummer=3") names
// columns by header name or number (1 = first) and overrides the names found.
ColumnMap find_columns(const std::vector<std::string>& header, std::string_view mapping = {});

// The result columns appended to every line, in this order.
const std::vector<std::string>& result_columns();

// The header without result columns of an earlier run at its end, so a
// checked list can be checked again; returns how many columns were dropped.
size_t strip_result_columns(std::vector<std::string>& header);

}  // namespace noxplz::batch
