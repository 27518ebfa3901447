// The lookups of noxplz/lookup.h: the same statements as the module Global's
// routines, run on the connection the host hands in, failures thrown.
#include <map>
#include <utility>

#include "lookup/db_access.h"
#include "lookup/global.h"
#include "noxplz/lookup.h"

namespace noxplz {
namespace {

using lookup::ScopedRecordset;

// A field as trimmed text; Null reads as "".
std::string field_text(const ScopedRecordset& rs, std::string_view name) {
  Variant v = rs->Field(name);
  return v.is_null() ? std::string() : text::trim(v.as_text());
}

// Current places of a WHERE condition on ORT_DA, with their first postal
// code as Ermittle_Postleitzahl finds it. One statement, so an import
// committed meanwhile cannot give places of the old data codes of the new.
std::vector<Place> current_places(Connection& connection, const std::string& condition) {
  std::vector<Place> places;
  ScopedRecordset rs(connection.Execute(
      "SELECT ALORT_Neu, Oname, ozusatz, ALORT, (SELECT TOP 1 Plz FROM PLZ_DA WHERE PLZ_DA.Alort = Ort_DA.ALORT) AS "
      "Plz FROM Ort_DA WHERE " + condition + " ORDER BY OName, OZusatz, ALORT"));
  for (; !rs->Eof(); rs->MoveNext()) {
    if (!field_text(rs, "ALORT_Neu").empty()) continue;  // replaced by a successor
    places.push_back({field_text(rs, "Oname"), field_text(rs, "ozusatz"), field_text(rs, "ALORT"),
                      field_text(rs, "Plz")});
  }
  return places;
}

HouseNumbers house_numbers_of(const std::string& type) {
  if (type == "G") return HouseNumbers::even;
  if (type == "U") return HouseNumbers::odd;
  return HouseNumbers::all;
}

// Appends the street sections of one place key.
void append_streets(Connection& connection, const std::string& key, const std::string& prefix,
                    const StreetOptions& options, std::vector<Street>& streets) {
  std::string sql = "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = '" +
                    sql_quote(key) + "'";
  if (!prefix.empty()) sql += " and Name46 like '" + sql_quote(prefix) + "%'";
  sql += " order by Name46";
  const size_t first = streets.size();
  std::vector<std::string> district_keys;
  {
    ScopedRecordset rs(connection.Execute(sql));
    for (; !rs->Eof(); rs->MoveNext()) {
      Street street;
      street.name = field_text(rs, "name46");
      street.plz = field_text(rs, "Plz");
      street.house_from = field_text(rs, "HNRVon");
      street.house_to = field_text(rs, "HNRBis");
      street.house_numbers = house_numbers_of(field_text(rs, "HNR_Typ"));
      street.place_key = key;
      streets.push_back(std::move(street));
      district_keys.push_back(field_text(rs, "OTL_Schl"));
    }
  }
  if (!options.with_districts) return;
  std::map<std::string, std::string> names;  // district key -> name, one statement per key
  for (size_t i = 0; i < district_keys.size(); ++i) {
    auto [it, added] = names.try_emplace(district_keys[i]);
    if (added) {
      ScopedRecordset rs(connection.Execute("SELECT Name FROM OTL_DA WHERE Alort = '" + sql_quote(key) +
                                            "' and schl = '" + sql_quote(district_keys[i]) + "' order by Name"));
      if (!rs->Eof()) it->second = field_text(rs, "Name");
    }
    streets[first + i].district = it->second;
  }
}

}  // namespace

std::vector<Place> find_places(Connection& connection, std::string_view name_prefix) {
  return current_places(connection, "OName like '" + sql_quote(name_prefix) + "%'");
}

std::vector<Place> places_of_postal_code(Connection& connection, std::string_view plz) {
  std::vector<Place> places;
  ScopedRecordset rs(connection.Execute("SELECT Oname, OZusatz, ALORT, Plz FROM Plz_DA WHERE Plz = '" +
                                        sql_quote(plz) + "' ORDER BY OName, OZusatz, ALORT"));
  for (; !rs->Eof(); rs->MoveNext()) {
    Place place{field_text(rs, "Oname"), field_text(rs, "OZusatz"), field_text(rs, "ALORT"), field_text(rs, "Plz")};
    bool seen = false;
    for (const Place& p : places) seen = seen || p.key == place.key;
    if (!seen) places.push_back(std::move(place));
  }
  return places;
}

std::vector<Street> find_streets(Connection& connection, const PlaceKey& place, std::string_view name_prefix,
                                 StreetOptions options) {
  std::vector<Street> streets;
  append_streets(connection, place.key, normalize_street_name(name_prefix), options, streets);
  return streets;
}

std::vector<Street> find_streets(Connection& connection, const PlaceName& place, std::string_view name_prefix,
                                 StreetOptions options) {
  std::vector<Street> streets;
  const std::string prefix = normalize_street_name(name_prefix);
  for (const Place& p : current_places(connection, "OName = '" + sql_quote(place.name) + "'"))
    append_streets(connection, p.key, prefix, options, streets);
  return streets;
}

}  // namespace noxplz
