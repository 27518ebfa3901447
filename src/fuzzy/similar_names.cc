#include "fuzzy/similar_names.h"

#include <algorithm>
#include <unordered_map>

#include "fuzzy/folding.h"
#include "lookup/db_access.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "platform/text.h"

namespace noxplz {
namespace {

using lookup::for_each_row;
using lookup::quoted;

using text::trim;

struct PlaceEntry {
  std::string folded, name, addition, alort;
};
struct StreetEntry {
  std::string folded, name;
};
using StreetList = std::vector<StreetEntry>;

// Streets of this many places are kept; beyond that the oldest half goes.
constexpr size_t kStreetPlacesKept = 4096;


std::vector<PlaceEntry> load_places() {
  std::vector<PlaceEntry> places;
  for_each_row("SELECT ONAME, OZUSATZ, ALORT, ALORT_NEU FROM ORT_DA", [&](Recordset& rs) {
    if (!trim(rs.Field("ALORT_NEU").as_text()).empty()) return;
    PlaceEntry e;
    e.name = trim(rs.Field("ONAME").as_text());
    e.addition = trim(rs.Field("OZUSATZ").as_text());
    e.alort = trim(rs.Field("ALORT").as_text());
    e.folded = fuzzy::fold_name(e.name);
    places.push_back(std::move(e));
  });
  return places;
}

std::shared_ptr<const StreetList> load_streets(std::string_view alort) {
  auto list = std::make_shared<StreetList>();
  std::vector<std::string> names;
  for_each_row("SELECT Name46 FROM STR_DA WHERE ALORT = " + quoted(alort),
               [&](Recordset& rs) { names.push_back(trim(rs.Field("Name46").as_text())); });
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (std::string& n : names) {
    std::string folded = fuzzy::fold_name(n);
    list->push_back({std::move(folded), std::move(n)});
  }
  return list;
}

// The entries within the tolerance of `folded`, nearest first, then by name.
template <class Entry, class Out, class Make>
std::vector<Out> nearest(const std::vector<Entry>& entries, const std::string& folded, size_t limit, Make make) {
  std::vector<Out> out;
  if (folded.empty()) return out;
  const int allowed = fuzzy::tolerance(folded.size());
  for (const Entry& e : entries) {
    const int d = e.folded == folded ? 0 : fuzzy::edit_distance(folded, e.folded, allowed);
    if (d <= allowed) out.push_back(make(e, d));
  }
  std::stable_sort(out.begin(), out.end(), [](const Out& a, const Out& b) {
    if (a.distance != b.distance) return a.distance < b.distance;
    return a.name < b.name;
  });
  if (out.size() > limit) out.resize(limit);
  return out;
}

SimilarPlace make_place(const PlaceEntry& e, int d) { return {e.name, e.addition, e.alort, d}; }
SimilarStreet make_street(const StreetEntry& e, int d) { return {e.name, d}; }

}  // namespace

struct SimilarNames::Data {
  std::mutex mutex;
  bool places_loaded = false;
  std::vector<PlaceEntry> places;
  std::unordered_map<std::string, size_t> place_by_key;
  std::unordered_map<std::string, std::shared_ptr<const StreetList>> streets;
  std::vector<std::string> street_order;  // place keys in the order they were read
};

SimilarNames::SimilarNames() : data_(std::make_unique<Data>()) {}
SimilarNames::~SimilarNames() = default;

std::vector<SimilarPlace> SimilarNames::places(std::string_view name, std::string_view plz, size_t limit) {
  {
    std::lock_guard lock(data_->mutex);
    if (!data_->places_loaded) {
      data_->places = load_places();
      for (size_t i = 0; i < data_->places.size(); ++i) data_->place_by_key.emplace(data_->places[i].alort, i);
      data_->places_loaded = true;
    }
  }
  const std::string folded = fuzzy::fold_name(name);
  const std::string code = trim(plz);
  if (code.empty()) return nearest<PlaceEntry, SimilarPlace>(data_->places, folded, limit, make_place);

  // The current places of the postal code, each place key once.
  std::vector<PlaceEntry> of_code;
  for_each_row("SELECT ALORT FROM PLZ_DA WHERE PLZ = " + quoted(code), [&](Recordset& rs) {
    auto hit = data_->place_by_key.find(trim(rs.Field("ALORT").as_text()));
    if (hit == data_->place_by_key.end()) return;
    const PlaceEntry& e = data_->places[hit->second];
    for (const PlaceEntry& known : of_code)
      if (known.alort == e.alort) return;
    of_code.push_back(e);
  });
  return nearest<PlaceEntry, SimilarPlace>(of_code, folded, limit, make_place);
}

std::vector<SimilarStreet> SimilarNames::streets(std::string_view alort, std::string_view street, size_t limit) {
  const std::string key = trim(alort);
  std::shared_ptr<const StreetList> list;
  {
    std::lock_guard lock(data_->mutex);
    auto hit = data_->streets.find(key);
    if (hit != data_->streets.end()) list = hit->second;
  }
  if (!list) {
    list = load_streets(key);
    std::lock_guard lock(data_->mutex);
    if (data_->streets.emplace(key, list).second) {
      data_->street_order.push_back(key);
      if (data_->street_order.size() > kStreetPlacesKept) {
        const size_t drop = kStreetPlacesKept / 2;
        for (size_t i = 0; i < drop; ++i) data_->streets.erase(data_->street_order[i]);
        data_->street_order.erase(data_->street_order.begin(), data_->street_order.begin() + drop);
      }
    }
  }
  return nearest<StreetEntry, SimilarStreet>(*list, fuzzy::fold_name(street), limit, make_street);
}

std::vector<SimilarPlace> similar_places(std::string_view name, std::string_view plz, size_t limit) {
  SimilarNames names;
  return names.places(name, plz, limit);
}

std::vector<SimilarStreet> similar_streets(std::string_view alort, std::string_view street, size_t limit) {
  SimilarNames names;
  return names.streets(alort, street, limit);
}

}  // namespace noxplz
