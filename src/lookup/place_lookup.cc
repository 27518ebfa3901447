// Place and postal-code lookups: Ermittle_Orte, Ermittle_OrteZuPlz,
// Ermittle_Plz, Ermittle_Postleitzahl, Ermittle_Ortsteil.
#include "lookup/db_access.h"
#include "lookup/global.h"
#include "lookup/list_cache.h"
#include "noxplz/ui.h"

namespace noxplz {

namespace lookup {
namespace {
thread_local int64_t failures_shown = 0;
}  // namespace

void show_lookup_error(std::string_view fixed_text, const std::exception& e) {
  ++failures_shown;
  msg_box(format_error_message(fixed_text, to_error(e)));
}

}  // namespace lookup

int64_t lookup_failures_shown() { return lookup::failures_shown; }

using lookup::run;
using lookup::ScopedRecordset;
using lookup::trimmed;

namespace {

// Ermittle_Orte in one statement: each place row brings the postal code that
// Ermittle_Postleitzahl would find for it (the first row of PLZ_DA with that
// key, read the same way) instead of one statement per place. Throws on any
// failure; the caller then runs the classic form, which reports as it always did.
const std::string kPlacesWithFirstPostalCode =
    "SELECT ALORT_Neu, Oname, ozusatz, ALORT, (SELECT TOP 1 Plz FROM PLZ_DA WHERE Alort = ISNULL(o.ALORT, '')) AS "
    "Erste_Plz FROM Ort_DA o";
const std::string kPlaceListOrder = " ORDER BY OName, OZusatz, ALORT";

bool places_with_first_postal_code(const std::string& name, VariantTable& tabelle) {
  bool result = false;
  tabelle.ReDim(0, 0, 0, 3);
  ScopedRecordset rs(run(kPlacesWithFirstPostalCode + " WHERE OName like '" + sql_quote(name) + "%'" + kPlaceListOrder));
  for (; !rs->Eof(); rs->MoveNext()) {
    if (!text::trim(rs->Field("ALORT_Neu").as_text()).empty()) continue;  // replaced place
    int32_t row = tabelle.UpperBound(1);
    tabelle.Set(row, 0, trimmed(rs->Field("Oname")));
    tabelle.Set(row, 1, trimmed(rs->Field("ozusatz")));
    tabelle.Set(row, 2, rs->Field("ALORT").as_text());
    tabelle.Set(row, 3, text::trim(rs->Field("Erste_Plz").as_text()));
    tabelle.AppendRows(1);
    result = true;
  }
  return result;
}

// The place list of `name` narrowed from the session's place directory with
// the database's own LIKE: the rows and order of the statement above. False
// when there is no directory or no LIKE test.
bool places_from_directory(const std::string& name, VariantTable& tabelle, bool& found) {
  const auto places = lookup::places_named_like(name);
  if (!places) return false;
  const std::vector<const PlaceDirectory::Place*>& hits = *places;
  const auto n = static_cast<int32_t>(hits.size());
  tabelle.ReDim(0, n, 0, 3);
  for (int32_t r = 0; r < n; ++r) {
    tabelle.Set(r, 0, hits[r]->oname);
    tabelle.Set(r, 1, hits[r]->ozusatz);
    tabelle.Set(r, 2, hits[r]->alort);
    tabelle.Set(r, 3, hits[r]->plz);
  }
  found = n > 0;
  return true;
}

}  // namespace

void RawTexts::Add(const Variant& v) {
  null_.push_back(v.is_null());
  if (const std::string* t = v.text_if()) chars_ += *t;
  else if (!v.is_null()) chars_ += v.as_text();
  ends_.push_back(static_cast<uint32_t>(chars_.size()));
}

namespace lookup {

const PlaceDirectory* place_directory(KeptLists& cache) {
  if (cache.places) return cache.places.get();
  if (cache.places_unreadable) return nullptr;
  try {
    auto directory = std::make_shared<PlaceDirectory>();
    ScopedRecordset rs(run(kPlacesWithFirstPostalCode + kPlaceListOrder));
    const lookup::Fields<5> field(*rs, {"ALORT_Neu", "Oname", "ozusatz", "ALORT", "Erste_Plz"});
    for (; !rs->Eof(); rs->MoveNext()) {
      PlaceDirectory::Place p;
      p.replaced = !text::trim(field[0].as_text()).empty();
      Variant oname = field[1];
      directory->onames.Add(oname);
      p.oname = trimmed(std::move(oname));
      p.ozusatz = trimmed(field[2]);
      p.alort = field[3].as_text();
      p.plz = text::trim(field[4].as_text());
      directory->places.push_back(std::move(p));
    }
    cache.places = std::move(directory);
  } catch (const std::exception&) {
    // The lists are then read name by name, and report as they always did.
    cache.places_unreadable = true;
  }
  return cache.places.get();
}

std::optional<std::vector<const PlaceDirectory::Place*>> places_named_like(const std::string& name) {
  KeptLists* cache = kept_lists();
  if (!cache) return std::nullopt;
  const DbBackend::LikeTest like = like_test(name + "%");
  if (!like) return std::nullopt;
  const PlaceDirectory* directory = place_directory(*cache);
  if (!directory) return std::nullopt;
  std::vector<const PlaceDirectory::Place*> hits;
  for (size_t i = 0; i < directory->places.size(); ++i) {
    const PlaceDirectory::Place& p = directory->places[i];
    if (!p.replaced && !directory->onames.is_null(i) && like(directory->onames.at(i))) hits.push_back(&p);
  }
  return hits;
}

}  // namespace lookup

// The place lists of this many name prefixes are kept (see list_cache.h):
// the first letters of place names recur from dialog to dialog.
constexpr size_t kPlaceListsKept = 32;

bool Ermittle_Orte(const std::string& name, VariantTable& tabelle) {
  try {
    KeptLists* cache = lookup::kept_lists();
    if (cache && lookup::take_kept(cache->place_lists, name, tabelle)) return tabelle.UpperBound(1) > 0;
    bool found = false;
    if (!(cache && places_from_directory(name, tabelle, found)))
      found = places_with_first_postal_code(name, tabelle);
    if (cache) lookup::keep(cache->place_lists, name, tabelle, kPlaceListsKept);
    return found;
  } catch (const std::exception&) {
    // The classic statements below fail the same way and report it.
  }
  bool result = false;
  try {
    tabelle.ReDim(0, 0, 0, 3);
    // Ordered the same way as Fill_OrtCombo, so entry i of the place list is row i.
    ScopedRecordset rs(run("SELECT ALORT_Neu, Oname, ozusatz, ALORT FROM Ort_DA WHERE OName like '" +
                           sql_quote(name) + "%' ORDER BY OName, OZusatz, ALORT"));
    for (; !rs->Eof(); rs->MoveNext()) {
      if (!text::trim(rs->Field("ALORT_Neu").as_text()).empty()) continue;  // replaced place
      int32_t row = tabelle.UpperBound(1);
      std::string alort = rs->Field("ALORT").as_text();
      tabelle.Set(row, 0, trimmed(rs->Field("Oname")));
      tabelle.Set(row, 1, trimmed(rs->Field("ozusatz")));
      tabelle.Set(row, 2, alort);
      tabelle.Set(row, 3, Ermittle_Postleitzahl(alort));
      tabelle.AppendRows(1);
      result = true;
    }
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Ermittlung des Bestimmungsortes", e);
  }
  return result;
}

bool Ermittle_OrteZuPlz(const std::string& plz, VariantTable& tabelle) {
  bool result = false;
  try {
    tabelle.ReDim(0, 0, 0, 3);
    ScopedRecordset rs(run("SELECT Oname, ALORT, Plz FROM Plz_DA WHERE Plz = '" + sql_quote(plz) + "'"));
    for (; !rs->Eof(); rs->MoveNext()) {
      int32_t row = tabelle.UpperBound(1);
      tabelle.Set(row, 0, trimmed(rs->Field("Oname")));
      tabelle.Set(row, 2, rs->Field("ALORT").as_text());
      tabelle.Set(row, 3, rs->Field("Plz").as_text());
      tabelle.AppendRows(1);
      result = true;
    }
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Ermittlung des Bestimmungsortes", e);
  }
  return result;
}

std::string Ermittle_Plz(const std::string& alort) {
  std::string result;
  try {
    ScopedRecordset rs(run("SELECT Plz FROM Plz_DA WHERE Alort = '" + sql_quote(alort) +
                           "' and ART_Auslieferung = '6'"));
    if (!rs->Eof()) result = rs->Field("Plz").as_text();
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Ermittlung der Plz", e);
  }
  return result;
}

std::string Ermittle_Postleitzahl(const std::string& alort) {
  std::string result;
  try {
    ScopedRecordset rs(run("SELECT Plz FROM PLZ_DA WHERE Alort = '" + sql_quote(alort) + "'"));
    if (!rs->Eof()) result = text::trim(rs->Field("Plz").as_text());
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Ermittlung de Postleitzahl", e);
  }
  return result;
}

std::string Ermittle_Ortsteil(const std::string& alort, const std::string& schl) {
  std::string result;
  if (!session().MitOrtteiAnzeige) return result;
  try {
    ScopedRecordset rs(run("SELECT Name FROM OTL_DA WHERE Alort = '" + sql_quote(alort) + "' and schl = '" +
                           sql_quote(schl) + "' order by Name"));
    if (!rs->Eof()) result = text::trim(rs->Field("Name").as_text());
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Ermittlung des Ortsteils", e);
  }
  return result;
}

}  // namespace noxplz
