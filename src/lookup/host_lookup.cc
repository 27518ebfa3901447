// The lookups of noxplz/lookup.h: the same statements as the module Global's
// routines, run on the connection the host hands in, failures thrown.
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

// The street sections that `from_where` (FROM … WHERE … on Str_DA, with the
// name prefix added here) selects, in `order`. One statement, the district
// names as a subquery: an import committed meanwhile cannot mix its data
// into the answer.
std::vector<Street> streets(Connection& connection, const std::string& from_where, const std::string& prefix,
                            const std::string& order, const StreetOptions& options) {
  std::string sql = "SELECT Str_DA.name46, Str_DA.Plz, Str_DA.HNRVon, Str_DA.HNRBis, Str_DA.HNR_Typ, Str_DA.Alort";
  if (options.with_districts)
    sql += ", (SELECT TOP 1 Name FROM OTL_DA WHERE OTL_DA.Alort = Str_DA.Alort and OTL_DA.schl = Str_DA.OTL_Schl "
           "order by Name) AS Ortsteil";
  sql += " " + from_where;
  if (!prefix.empty()) sql += " and Str_DA.Name46 like '" + sql_quote(prefix) + "%'";
  sql += " order by " + order;
  std::vector<Street> result;
  ScopedRecordset rs(connection.Execute(sql));
  for (; !rs->Eof(); rs->MoveNext()) {
    Street street;
    street.name = field_text(rs, "name46");
    street.plz = field_text(rs, "Plz");
    street.house_from = field_text(rs, "HNRVon");
    street.house_to = field_text(rs, "HNRBis");
    street.house_numbers = house_numbers_of(field_text(rs, "HNR_Typ"));
    street.place_key = field_text(rs, "Alort");
    if (options.with_districts) street.district = field_text(rs, "Ortsteil");
    result.push_back(std::move(street));
  }
  return result;
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
  return streets(connection, "FROM Str_DA WHERE Str_DA.Alort = '" + sql_quote(place.key) + "'",
                 normalize_street_name(name_prefix), "Str_DA.Name46", options);
}

std::vector<Street> find_streets(Connection& connection, const PlaceName& place, std::string_view name_prefix,
                                 StreetOptions options) {
  // The current places of that name in their order, each with its sections.
  return streets(connection,
                 "FROM Str_DA INNER JOIN Ort_DA ON Ort_DA.ALORT = Str_DA.Alort WHERE Ort_DA.OName = '" +
                     sql_quote(place.name) + "' and (Ort_DA.ALORT_Neu IS NULL or Ort_DA.ALORT_Neu = '')",
                 normalize_street_name(name_prefix), "Ort_DA.OName, Ort_DA.OZusatz, Ort_DA.ALORT, Str_DA.Name46",
                 options);
}

}  // namespace noxplz
