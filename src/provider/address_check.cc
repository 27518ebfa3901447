#include "provider/address_check.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "lookup/db_access.h"
#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/schema.h"
#include "platform/text.h"

namespace noxplz {
namespace {

using lookup::for_each_row;

struct Place {
  std::string alort, name, zusatz;
};

struct PlaceCodes {
  std::vector<std::string> all, delivery;  // delivery: kind '6'
};

struct Section {
  std::string name, plz, von, bis, typ, otl;
};

template <class V>
using TextMap = std::unordered_map<std::string, V>;

}  // namespace

// What the checks of one session read, kept for as long as its connection
// reports the same data (Connection::DataStamp); any change in the database
// empties it. A backend that cannot tell keeps nothing: every check then
// reads afresh. Place names and postal codes recur from address to address,
// and a list check asks for the same places again and again.
struct AddressCheckCache {
  std::optional<DataStamp> stamp;
  size_t entries = 0;
  TextMap<std::vector<Place>> places_named, places_with_code;
  TextMap<std::pair<bool, std::string>> current;  // alort -> (no successor, OZusatz)
  TextMap<PlaceCodes> codes;
  TextMap<std::string> districts;  // alort '|' OTL key -> name
  TextMap<bool> district_places;   // alort -> all its districts are in `districts`
  TextMap<bool> has_streets;  // alort -> the place has street sections
  TextMap<bool> has_key;      // alort '|' street key -> a street of the place has that key
  // Whether the database indexes the street key (see has_street_key).
  std::optional<bool> street_key_index;
  TextMap<std::vector<Section>> exact_sections;  // alort '|' street as given

  void Clear() { *this = AddressCheckCache{}; }
};

namespace {

using text::trim;

// Enough for the place data of the full delivery several times over; beyond
// it the cache starts again, so a long-running host does not grow without bound.
constexpr size_t kMaxCacheEntries = 400'000;

// `cache` brought up to date with the state `stamp` of the data; nullptr
// when nothing may be kept.
AddressCheckCache* usable_cache(const std::optional<DataStamp>& stamp, std::shared_ptr<AddressCheckCache>& cache) {
  if (!stamp) {
    cache.reset();
    return nullptr;
  }
  if (!cache) cache = std::make_shared<AddressCheckCache>();
  AddressCheckCache& c = *cache;
  if (c.stamp != stamp || c.entries > kMaxCacheEntries) {
    c.Clear();
    c.stamp = stamp;
  }
  return &c;
}

// Where one check reads: its connection, and the cache when one may be kept.
struct Source {
  Connection& db;
  AddressCheckCache* cache = nullptr;
  // Without a cache, what the check read, held until it ends.
  mutable std::vector<std::shared_ptr<const void>> held;
};

// The value under `key`, read by `load` on first use; without a cache always
// read. The reference stays valid until the check ends (the cache is emptied
// only between checks), so a street's sections are not copied per use.
template <class V, class F>
const V& remembered(const Source& src, TextMap<V> AddressCheckCache::*member, const std::string& key, F&& load) {
  if (!src.cache) {
    auto value = std::make_shared<const V>(load());
    src.held.push_back(value);
    return *value;
  }
  TextMap<V>& map = src.cache->*member;
  auto found = map.find(key);
  if (found != map.end()) return found->second;
  V value = load();
  ++src.cache->entries;
  return map.emplace(key, std::move(value)).first->second;
}

// A field's text without its surrounding blanks (trimmed in place: the
// checks read this for every row).
std::string trimmed_text(Variant v) { return lookup::trimmed(std::move(v)).as_text(); }
std::string cell(Recordset& rs, const char* name) { return trimmed_text(rs.Field(name)); }

void add_unique(std::vector<std::string>& list, const std::string& value) {
  if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}
// Values in the order they first came, each once: a long street's sections
// bring hundreds of postal codes.
class Distinct {
 public:
  void add(const std::string& value) {
    if (seen_.insert(value).second) list_.push_back(value);
  }
  size_t size() const { return list_.size(); }
  const std::vector<std::string>& list() const { return list_; }

 private:
  std::vector<std::string> list_;
  std::unordered_set<std::string> seen_;
};

bool contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}
std::string joined(const std::vector<std::string>& list) {
  std::string out;
  for (size_t i = 0; i < list.size(); ++i) out += (i == 0 ? "" : i + 1 == list.size() ? " und " : ", ") + list[i];
  return out;
}
// "Berlin" or "Frankfurt am Main": how a user names a place.
std::string with_addition(const std::string& name, const std::string& zusatz) {
  return zusatz.empty() ? name : name + " " + zusatz;
}

void add_place(std::vector<Place>& places, Place p) {
  for (const Place& q : places)
    if (q.alort == p.alort) return;
  places.push_back(std::move(p));
}

// Current places (no successor key) of that name; the database compares
// names without regard to case.
const std::vector<Place>& places_named(const Source& src, const std::string& ort) {
  return remembered(src, &AddressCheckCache::places_named, ort, [&] {
    std::vector<Place> places;
    for_each_row(src.db,
                 "SELECT ALORT, OName, OZusatz, ALORT_Neu FROM Ort_DA WHERE OName = ? ORDER BY OName, OZusatz, ALORT",
                 {ort},
                 [&](Recordset& rs) {
                   if (cell(rs, "ALORT_Neu").empty())
                     add_place(places, {cell(rs, "ALORT"), cell(rs, "OName"), cell(rs, "OZusatz")});
                 });
    return places;
  });
}

// Whether a place key has no successor (a key missing from Ort_DA counts as
// current), and its OZusatz.
const std::pair<bool, std::string>& current_place(const Source& src, const std::string& alort) {
  return remembered(src, &AddressCheckCache::current, alort, [&] {
    std::pair<bool, std::string> r{true, ""};
    for_each_row(src.db, "SELECT ALORT_Neu, OZusatz FROM Ort_DA WHERE ALORT = ?", {alort}, [&](Recordset& rs) {
      if (!cell(rs, "ALORT_Neu").empty()) r.first = false;
      r.second = cell(rs, "OZusatz");
    });
    return r;
  });
}

// Current places that carry the postal code.
const std::vector<Place>& places_with_code(const Source& src, const std::string& plz) {
  return remembered(src, &AddressCheckCache::places_with_code, plz, [&] {
    std::vector<Place> places;
    for_each_row(src.db, "SELECT ALORT, OName FROM Plz_DA WHERE Plz = ? ORDER BY OName, ALORT", {plz},
                 [&](Recordset& rs) { add_place(places, {cell(rs, "ALORT"), cell(rs, "OName"), ""}); });
    std::erase_if(places, [&](Place& p) {
      auto [current, zusatz] = current_place(src, p.alort);
      p.zusatz = std::move(zusatz);
      return !current;
    });
    return places;
  });
}

// The keys of `places` that are not known yet (`known` tells), when two or
// more are missing and no two differ only in case; else none: then each
// place is read by itself.
template <class F>
std::vector<std::string> unknown_places(const std::vector<Place>& places, F&& known) {
  std::vector<std::string> missing;
  for (const Place& p : places)
    if (!known(p.alort)) add_unique(missing, p.alort);
  if (missing.size() < 2) return {};
  for (size_t i = 0; i < missing.size(); ++i)
    for (size_t k = i + 1; k < missing.size(); ++k)
      if (text::equals_ci(missing[i], missing[k])) return {};  // one row would belong to both
  return missing;
}

// Runs `select` + " WHERE Alort IN (…)" + `rest` over `keys` and calls
// row(index of the row's place key, record set); `rest` may hold one ?
// marker for `rest_value`. The list is padded (repeating the last key) to a
// power of two, so a few prepared statements serve every count. False when a
// row's place key is not exactly one of `keys`.
template <class F>
bool for_each_place_row(const Source& src, const std::vector<std::string>& keys, const std::string& select,
                        const std::string& rest, std::optional<std::string_view> rest_value, F&& row) {
  constexpr size_t kMaxKeys = 64;
  bool usable = true;
  for (size_t from = 0; usable && from < keys.size(); from += kMaxKeys) {
    const size_t count = std::min(kMaxKeys, keys.size() - from);
    size_t padded = 2;
    while (padded < count) padded *= 2;
    std::string sql = select + " WHERE Alort IN (";
    std::vector<std::string_view> values;
    for (size_t i = 0; i < padded; ++i) {
      sql += i == 0 ? "?" : ", ?";
      values.push_back(keys[from + std::min(i, count - 1)]);
    }
    sql += ")" + rest;
    if (rest_value) values.push_back(*rest_value);
    const auto first = keys.begin() + static_cast<std::ptrdiff_t>(from);
    const auto last = first + static_cast<std::ptrdiff_t>(count);
    for_each_row(src.db, sql, std::span<const std::string_view>(values), [&](Recordset& rs) {
      if (!usable) return;
      const auto hit = std::find(first, last, cell(rs, "Alort"));
      if (hit == last) usable = false;
      else row(static_cast<size_t>(hit - keys.begin()), rs);
    });
  }
  return usable;
}

void add_code(PlaceCodes& codes, Recordset& rs) {
  std::string plz = cell(rs, "Plz");
  add_unique(codes.all, plz);
  if (cell(rs, "ART_Auslieferung") == "6") add_unique(codes.delivery, plz);
}

// The postal codes of several places by one statement, kept per place as
// codes_of() keeps them (rows per place in the order of its statement).
void read_codes(const Source& src, const std::vector<Place>& places) {
  if (!src.cache) return;
  const std::vector<std::string> missing =
      unknown_places(places, [&](const std::string& alort) { return src.cache->codes.contains(alort); });
  if (missing.empty()) return;
  std::vector<PlaceCodes> found(missing.size());
  if (!for_each_place_row(src, missing, "SELECT Alort, Plz, ART_Auslieferung FROM Plz_DA", " ORDER BY Alort, Plz", {},
                          [&](size_t i, Recordset& rs) { add_code(found[i], rs); }))
    return;
  for (size_t i = 0; i < missing.size(); ++i) {
    if (found[i].delivery.empty()) found[i].delivery = found[i].all;
    ++src.cache->entries;
    src.cache->codes.emplace(missing[i], std::move(found[i]));
  }
}

const PlaceCodes& codes_of(const Source& src, const std::string& alort) {
  return remembered(src, &AddressCheckCache::codes, alort, [&] {
    PlaceCodes codes;
    for_each_row(src.db, "SELECT Plz, ART_Auslieferung FROM Plz_DA WHERE Alort = ? ORDER BY Plz", {alort},
                 [&](Recordset& rs) { add_code(codes, rs); });
    if (codes.delivery.empty()) codes.delivery = codes.all;
    return codes;
  });
}

using text::street_key;

// The sections of a place are read with the term ALORT = ALORT (true for
// every row with a place key): on SQLite it selects the index made for these
// reads (IX_STR_DA_SECTIONS, see the schema), which holds every column read
// here, in this order. The order is total, so sections of one name and postal
// code come in the same order on every backend.
const std::string kSectionSelect = "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA";
const std::string kSectionColumns = kSectionSelect + " WHERE ALORT = ALORT AND Alort = ";
const std::string kSectionOrder = " ORDER BY Name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl";
const std::string kExactSections = kSectionColumns + "? AND Name46 = ?" + kSectionOrder;

// Reads the sections of one record set, their fields by position (a long
// street has hundreds of rows).
class SectionReader {
 public:
  Section operator()(Recordset& rs) {
    if (!fields_)
      fields_.emplace(rs, std::array<std::string_view, 6>{"name46", "Plz", "HNRVon", "HNRBis", "HNR_Typ", "OTL_Schl"});
    const lookup::Fields<6>& f = *fields_;
    Section s;
    f.text(0, s.name);
    f.text(1, s.plz);
    f.text(2, s.von);
    f.text(3, s.bis);
    f.text(4, s.typ);
    f.text(5, s.otl);
    return s;
  }

 private:
  std::optional<lookup::Fields<6>> fields_;
};

// The street sections of exactly that name (as the database compares).
const std::vector<Section>& exact_sections(const Source& src, const std::string& alort, const std::string& strasse) {
  return remembered(src, &AddressCheckCache::exact_sections, alort + '|' + strasse, [&] {
    std::vector<Section> exact;
    for_each_row(src.db, kExactSections, {alort, strasse},
                 [&, read = SectionReader()](Recordset& rs) mutable { exact.push_back(read(rs)); });
    return exact;
  });
}

// With several places to choose from, the sections of that street name in
// all of them whose sections are not kept yet, read by one statement instead
// of one per place and kept per place as exact_sections() keeps them. Rows
// come per place in the order of the single-place statement.
void read_exact_sections(const Source& src, const std::vector<Place>& places, const std::string& strasse) {
  if (!src.cache) return;
  const std::vector<std::string> missing = unknown_places(
      places, [&](const std::string& alort) { return src.cache->exact_sections.contains(alort + '|' + strasse); });
  if (missing.empty()) return;
  std::vector<std::vector<Section>> found(missing.size());
  if (!for_each_place_row(src, missing, "SELECT ALORT, name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA",
                          " AND ALORT = ALORT AND Name46 = ?"
                          " ORDER BY Alort, Name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl",
                          strasse,
                          [&, read = SectionReader()](size_t i, Recordset& rs) mutable {
                            found[i].push_back(read(rs));
                          }))
    return;
  for (size_t i = 0; i < missing.size(); ++i) {
    ++src.cache->entries;
    src.cache->exact_sections.emplace(missing[i] + '|' + strasse, std::move(found[i]));
  }
}

// Whether the database indexes the street key of a name per place: the
// SQLite backend with the index of the current schema (IX_STR_DA_STREET_KEY;
// a database made by an older version has it after `noxplz init`). The
// statements name the index, since SQLite would rather walk a place's names.
bool has_street_key(const Source& src) {
  if (!src.cache) return false;  // only SQLite keeps a cache
  std::optional<bool>& known = src.cache->street_key_index;
  if (!known) {
    known = false;
    if (schema_dialect(src.db.ConnectionString()) == SchemaDialect::kSqlite)
      for_each_row(src.db,
                   "SELECT name FROM sqlite_master WHERE type = 'index' AND name = 'IX_STR_DA_STREET_KEY'",
                   [&](Recordset&) { known = true; });
  }
  return *known;
}

// Whether the place has any street section.
bool has_streets(const Source& src, const std::string& alort) {
  return remembered(src, &AddressCheckCache::has_streets, alort, [&] {
    bool any = false;
    for_each_row(src.db, "SELECT TOP 1 Alort FROM Str_DA WHERE Alort = ?", {alort},
                 [&](Recordset&) { any = true; });
    return any;
  });
}

// The street sections of a place whose name has `key` ("Hauptstraße" finds
// "Hauptstr."), in the order of exact_sections(). Where the database has the
// street key, its index answers; otherwise every section of the place is read
// and its key compared here. `streets`, when given, tells whether the place
// has any street at all (asked only when no section has the key).
std::vector<Section> sections_with_key(const Source& src, const std::string& alort, const std::string& key,
                                       bool* streets) {
  std::vector<Section> by_key;
  if (has_street_key(src)) {
    for_each_row(src.db,
                 kSectionSelect + " INDEXED BY IX_STR_DA_STREET_KEY WHERE Alort = ? AND noxplz_street_key(Name46) = ?" +
                     kSectionOrder,
                 {alort, key},
                 [&, read = SectionReader()](Recordset& rs) mutable { by_key.push_back(read(rs)); });
    if (streets && by_key.empty()) *streets = has_streets(src, alort);
    return by_key;
  }
  SectionReader read;
  for_each_row(src.db, kSectionColumns + "?" + kSectionOrder, {alort}, [&](Recordset& rs) {
    if (streets) *streets = true;
    Section section = read(rs);
    if (street_key(section.name) == key) by_key.push_back(std::move(section));
  });
  return by_key;
}

// Whether a street of the place has a name with `key`.
bool has_key(const Source& src, const std::string& alort, const std::string& key) {
  return remembered(src, &AddressCheckCache::has_key, alort + '|' + key,
                    [&] { return !sections_with_key(src, alort, key, nullptr).empty(); });
}

// With several places to search by key: where the database has the street
// key, which of them have a street with that key is asked by one statement
// for all places not known yet, and kept per place as has_key() keeps it.
void read_keys(const Source& src, const std::vector<const Place*>& places, const std::string& key) {
  if (!src.cache || !has_street_key(src)) return;
  std::vector<Place> list;
  for (const Place* p : places) list.push_back(*p);
  const std::vector<std::string> missing = unknown_places(
      list, [&](const std::string& alort) { return src.cache->has_key.contains(alort + '|' + key); });
  if (missing.empty()) return;
  std::vector<bool> found(missing.size());
  if (!for_each_place_row(src, missing, "SELECT DISTINCT Alort FROM Str_DA INDEXED BY IX_STR_DA_STREET_KEY",
                          " AND noxplz_street_key(Name46) = ?", key,
                          [&](size_t i, Recordset&) { found[i] = true; }))
    return;
  for (size_t i = 0; i < missing.size(); ++i) {
    ++src.cache->entries;
    src.cache->has_key.emplace(missing[i] + '|' + key, found[i]);
  }
}

// The street's sections in the place: the rows of exactly that name (as the
// database compares), else those whose name normalises to the same key
// ("Hauptstraße" finds "Hauptstr."). `streets` tells whether the place has
// any street at all.
// `by_key` holds the sections found by key.
const std::vector<Section>& sections_of(const Source& src, const std::string& alort, const std::string& strasse,
                                        bool& streets, std::vector<Section>& by_key) {
  streets = false;
  const std::vector<Section>& exact = exact_sections(src, alort, strasse);
  if (!exact.empty()) {
    streets = true;
    return exact;
  }
  by_key = sections_with_key(src, alort, street_key(strasse), &streets);
  return by_key;
}

bool admits(const Section& s, const std::string& hausnummer) {
  if (s.von.empty()) return true;  // a section without a range holds the whole street
  if (hausnummer.empty()) return true;
  std::string hnr = hausnummer, von = s.von, bis = s.bis;
  return Pruefe_Hausnummer(hnr, von, bis, s.typ);
}

bool digits_only(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// All districts of a place at once, into the cache: the key of a district is
// a number, and the candidates of one address mostly lie in a few districts
// of the same place. Rows come in the order of the single district's
// statement (by key, then as stored), so each key keeps its first non-empty
// name. False when a key is no plain number (then the database's comparison
// decides, district by district).
bool read_districts(const Source& src, const std::string& alort) {
  auto [known, fresh] = src.cache->district_places.emplace(alort, false);
  if (!fresh) return known->second;
  TextMap<std::string> names;
  bool usable = true;
  for_each_row(src.db, "SELECT Schl, Name FROM OTL_DA WHERE ALORT = ? ORDER BY Schl", {alort},
               [&](Recordset& rs) {
                 std::string schl = rs.Field("Schl").as_text();
                 schl.erase(schl.find_last_not_of(' ') + 1);
                 if (!digits_only(schl)) usable = false;
                 std::string& name = names[schl];
                 if (usable && name.empty()) name = cell(rs, "Name");
               });
  if (!usable) return false;
  for (auto& [schl, name] : names) {
    ++src.cache->entries;
    src.cache->districts.emplace(alort + '|' + schl, std::move(name));
  }
  known->second = true;
  return true;
}

std::string district(const Source& src, const std::string& alort, const std::string& otl) {
  if (otl.empty()) return {};
  if (src.cache && digits_only(otl)) {
    const std::string key = alort + '|' + otl;
    auto found = src.cache->districts.find(key);
    if (found != src.cache->districts.end()) return found->second;
    if (read_districts(src, alort)) {
      found = src.cache->districts.find(key);
      return found == src.cache->districts.end() ? std::string() : found->second;
    }
  }
  return remembered(src, &AddressCheckCache::districts, alort + '|' + otl, [&] {
    std::string name;
    for_each_row(src.db, "SELECT Name FROM OTL_DA WHERE ALORT = ? AND Schl = ?", {alort, otl},
                 [&](Recordset& rs) {
                   if (name.empty()) name = cell(rs, "Name");
                 });
    return name;
  });
}

AddressCandidate candidate(const Source& src, const Place& place, const Section& s) {
  return {s.plz, place.name, place.zusatz, s.name, district(src, place.alort, s.otl), s.von, s.bis, s.typ};
}

// The check for one place, once the place is settled.
struct Query {
  std::string plz, ort, strasse, hausnummer;
  bool ort_unknown = false;  // the given place name is unknown; `place` is the postal code's
};

AddressCheck check_in_place(const Source& src, const Query& q, const Place& place) {
  AddressCheck r;
  r.plz = q.plz;
  r.ort = place.name;
  r.strasse = q.strasse;
  r.hausnummer = q.hausnummer;
  const std::string ort = with_addition(place.name, place.zusatz);
  auto set = [&](CheckOutcome outcome, std::string code, std::string hinweis) {
    r.outcome = outcome;
    r.grund = {std::move(code), std::move(hinweis)};
    return r;
  };
  // A right answer that changes a given value is a correction, not a confirmation.
  auto confirmed = [&](std::string hinweis) {
    if (q.ort_unknown)
      return set(CheckOutcome::Corrected, "ort_unbekannt",
                 "Den Ort „" + q.ort + "“ gibt es nicht; zur Postleitzahl " + r.plz + " gehört " + ort + ".");
    return set(CheckOutcome::Verified, "bestaetigt", std::move(hinweis));
  };

  bool has_streets = false;
  const std::vector<Section> none;
  std::vector<Section> by_key;
  const std::vector<Section>& sections =
      q.strasse.empty() ? none : sections_of(src, place.alort, q.strasse, has_streets, by_key);

  if (q.strasse.empty() || (!has_streets && sections.empty())) {
    // Without a street (or in a place without a street directory) the place's postal codes decide.
    const PlaceCodes& codes = codes_of(src, place.alort);
    const std::string ohne = q.strasse.empty() ? "ohne Straße" : "ohne Straßenverzeichnis";
    if (!q.plz.empty() && contains(codes.all, q.plz)) {
      if (codes.all.size() == 1) return confirmed("Die Postleitzahl " + q.plz + " gilt für ganz " + ort + ".");
      return confirmed("Die Postleitzahl " + q.plz + " gehört zu " + ort + "; " + ohne +
                       " ist nur diese Zuordnung geprüft.");
    }
    if (codes.delivery.size() == 1) {
      r.plz = codes.delivery.front();
      if (q.plz.empty()) return confirmed(ort + " hat nur die Postleitzahl " + r.plz + ".");
      return set(CheckOutcome::Corrected, "plz_passt_nicht_zum_ort",
                 "Die Postleitzahl " + q.plz + " gehört nicht zu " + ort + "; richtig ist " + r.plz + ".");
    }
    r.plz = q.plz;
    for (const std::string& code : codes.delivery)
      r.kandidaten.push_back({code, place.name, place.zusatz, "", "", "", "", ""});
    if (codes.delivery.empty())
      return set(CheckOutcome::Unknown, "plz_unbekannt", "Zu " + ort + " ist keine Postleitzahl verzeichnet.");
    if (!q.plz.empty())
      return set(CheckOutcome::Ambiguous, "plz_passt_nicht_zum_ort",
                 "Die Postleitzahl " + q.plz + " gehört nicht zu " + ort + "; der Ort hat die Postleitzahlen " +
                     joined(codes.delivery) + ".");
    return set(CheckOutcome::Ambiguous, "strasse_fehlt",
               ort + " hat mehrere Postleitzahlen; ohne Straße ist keine eindeutig.");
  }

  if (sections.empty())
    return set(CheckOutcome::Unknown, "strasse_unbekannt",
               "Die Straße „" + q.strasse + "“ ist in " + ort + " nicht bekannt.");

  Distinct street_codes;
  for (const Section& s : sections) street_codes.add(s.plz);
  std::vector<const Section*> admitted;
  for (const Section& s : sections)
    if (admits(s, q.hausnummer)) admitted.push_back(&s);
  const std::string name = sections.front().name;
  r.strasse = name;
  const std::string adresse = trim(name + " " + q.hausnummer) + " in " + ort;
  if (admitted.empty()) {
    if (street_codes.size() == 1) {  // a street with one postal code decides alone
      for (const Section& s : sections) admitted.push_back(&s);
    } else {
      for (const Section& s : sections) r.kandidaten.push_back(candidate(src, place, s));
      return set(CheckOutcome::Unknown, "hausnummer_ausserhalb",
                 "Die Hausnummer " + q.hausnummer + " liegt in keinem Abschnitt von " + name + " in " + ort + ".");
    }
  }
  Distinct distinct_codes;
  for (const Section* s : admitted) distinct_codes.add(s->plz);
  const std::vector<std::string>& codes = distinct_codes.list();

  if (!q.plz.empty() && contains(codes, q.plz))
    return confirmed("Die Postleitzahl " + q.plz + " gilt für " + adresse + ".");
  if (codes.size() == 1) {
    r.plz = codes.front();
    if (q.plz.empty()) return confirmed("Die Postleitzahl " + r.plz + " gilt für " + adresse + ".");
    return set(CheckOutcome::Corrected, "plz_passt_nicht_zur_strasse",
               "Die Postleitzahl " + q.plz + " passt nicht zu " + adresse + "; richtig ist " + r.plz + ".");
  }
  for (const Section* s : admitted) r.kandidaten.push_back(candidate(src, place, *s));
  if (q.hausnummer.empty())
    return set(CheckOutcome::Ambiguous, "hausnummer_fehlt",
               name + " in " + ort + " hat mehrere Postleitzahlen (" + joined(codes) +
                   "); ohne Hausnummer ist keine eindeutig.");
  if (!q.plz.empty())
    return set(CheckOutcome::Ambiguous, "plz_passt_nicht_zur_strasse",
               "Die Postleitzahl " + q.plz + " passt nicht zu " + adresse + "; in Frage kommen " + joined(codes) +
                   ".");
  return set(CheckOutcome::Ambiguous, "plz_mehrdeutig",
             "Für " + adresse + " kommen mehrere Postleitzahlen in Frage: " + joined(codes) + ".");
}

}  // namespace

std::string_view outcome_name(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::Verified: return "verifiziert";
    case CheckOutcome::Corrected: return "korrigiert";
    case CheckOutcome::Ambiguous: return "mehrdeutig";
    case CheckOutcome::Unknown: break;
  }
  return "unbekannt";
}

AddressCheck check_address(const AddressInput& input) {
  Session& s = session();
  if (!s.connection) throw Error(err::kObjectNotSet, "Objektvariable oder With-Blockvariable nicht festgelegt");
  return check_address(*s.connection, s.check_cache, input);
}

AddressCheck check_address(Connection& connection, std::shared_ptr<AddressCheckCache>& cache,
                           const AddressInput& input) {
  Query q;
  q.plz = trim(input.plz);
  q.ort = trim(input.ort);
  q.strasse = input.strasse;
  q.hausnummer = input.hausnummer;
  if (trim(q.hausnummer).empty()) {
    split_house_number(q.strasse, q.hausnummer);
  } else {
    q.strasse = trim(q.strasse);
    q.hausnummer = trim(q.hausnummer);
  }

  AddressCheck r;
  r.plz = q.plz;
  r.ort = q.ort;
  r.strasse = q.strasse;
  r.hausnummer = q.hausnummer;
  auto fail = [&](CheckOutcome outcome, std::string code, std::string hinweis) {
    r.outcome = outcome;
    r.grund = {std::move(code), std::move(hinweis)};
    return r;
  };

  for (const std::string* value : {&q.plz, &q.ort, &q.strasse, &q.hausnummer})
    if (!text::is_valid_utf8(*value))
      return fail(CheckOutcome::Unknown, "eingabe_ungueltig",
                  "Die Eingabe enthält Zeichen, die kein gültiges UTF-8 sind; sie lässt sich nicht prüfen.");
  if (q.plz.empty() && q.ort.empty())
    return fail(CheckOutcome::Unknown, "eingabe_fehlt", "Geben Sie eine Postleitzahl oder einen Ort an.");

  // One state of the data for the whole check: what the cache holds and
  // what the statements read belong to the same stamp.
  const Connection::ReadScope reading(connection);
  const Source src{connection, usable_cache(reading.Stamp(), cache), {}};
  // The places in question: a list kept by the cache (valid until the check
  // ends), or one made here.
  std::vector<Place> own;
  const std::vector<Place>* candidates = &own;
  if (!q.ort.empty()) {
    candidates = &places_named(src, q.ort);
    if (candidates->empty()) {
      if (q.plz.empty()) return fail(CheckOutcome::Unknown, "ort_unbekannt", "Den Ort „" + q.ort + "“ gibt es nicht.");
      candidates = &places_with_code(src, q.plz);
      if (candidates->empty())
        return fail(CheckOutcome::Unknown, "ort_unbekannt",
                    "Weder die Postleitzahl " + q.plz + " noch den Ort „" + q.ort + "“ gibt es.");
      q.ort_unknown = true;
    } else if (candidates->size() > 1 && !q.plz.empty()) {
      // Several places of that name: the postal code picks among them.
      const std::vector<Place>& with_code = places_with_code(src, q.plz);
      std::vector<Place> kept;
      for (const Place& p : *candidates)
        for (const Place& c : with_code)
          if (c.alort == p.alort) kept.push_back(p);
      if (!kept.empty()) {
        own = std::move(kept);
        candidates = &own;
      }
    }
  } else {
    candidates = &places_with_code(src, q.plz);
    if (candidates->empty())
      return fail(CheckOutcome::Unknown, "plz_unbekannt", "Die Postleitzahl " + q.plz + " gibt es nicht.");
  }

  if (candidates->size() > 1 && !q.strasse.empty()) {
    // Several places remain: the street picks among them when it exists in
    // only one. The places that have the name exactly are counted first; a
    // place without it is searched by the name's key only while fewer than
    // two places are found.
    read_exact_sections(src, *candidates, q.strasse);
    std::vector<const Place*> found, by_key;
    for (const Place& p : *candidates)
      (exact_sections(src, p.alort, q.strasse).empty() ? by_key : found).push_back(&p);
    const std::string key = street_key(q.strasse);
    if (found.size() < 2) read_keys(src, by_key, key);
    for (const Place* p : by_key) {
      if (found.size() > 1) break;
      if (has_key(src, p->alort, key)) found.push_back(p);
    }
    if (found.size() == 1) return check_in_place(src, q, *found.front());
  }
  const std::vector<Place>& places = *candidates;
  if (places.size() == 1) return check_in_place(src, q, places.front());

  read_codes(src, places);
  for (const Place& p : places) {
    const PlaceCodes& codes = codes_of(src, p.alort);
    r.kandidaten.push_back({codes.delivery.size() == 1 ? codes.delivery.front() : "", p.name, p.zusatz, "", "", "",
                            "", ""});
  }
  if (q.ort.empty())
    return fail(CheckOutcome::Ambiguous, "ort_mehrdeutig", "Zur Postleitzahl " + q.plz + " gehören mehrere Orte.");
  return fail(CheckOutcome::Ambiguous, "ort_mehrdeutig",
              "Den Ort „" + q.ort + "“ gibt es mehrmals; die Angaben wählen keinen davon aus.");
}

}  // namespace noxplz
