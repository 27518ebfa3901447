#include "provider/builtin_provider.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "platform/search/default_provider.h"
#include "platform/text.h"

namespace noxplz {
namespace {

using text::trim;

RecordsetPtr run(const std::string& sql) {
  const ConnectionPtr& connection = session().connection;
  if (!connection) throw Error(err::kObjectNotSet, "Objektvariable oder With-Blockvariable nicht festgelegt");
  return connection->Execute(sql);
}

// Reads every row of a statement, closing the record set afterwards.
template <class F>
void for_each_row(const std::string& sql, F&& row) {
  RecordsetPtr rs = run(sql);
  try {
    for (; !rs->Eof(); rs->MoveNext()) row(*rs);
  } catch (...) {
    try {
      rs->Close();
    } catch (...) {
    }
    throw;
  }
  rs->Close();
}

std::string quoted(std::string_view value) { return "'" + sql_quote(value) + "'"; }

std::string field(const std::vector<std::string>& f, size_t i) { return i < f.size() ? f[i] : std::string(); }

void add_unique(std::vector<std::string>& list, const std::string& value) {
  if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}

// --- Suche_Ort ---

std::string suche_ort(const std::vector<std::string>& request) {
  const std::string plz = trim(field(request, 0));
  const std::string ort = trim(field(request, 1));
  std::vector<std::string> names;  // the postal code's place names, trimmed, in table order
  if (!plz.empty())
    for_each_row("SELECT Oname, ALORT FROM Plz_DA WHERE Plz = " + quoted(plz) + " ORDER BY OName, ALORT",
                 [&](Recordset& rs) { add_unique(names, trim(rs.Field("Oname").as_text())); });

  std::string place;
  bool verified = false;
  if (!ort.empty()) {
    auto hit = std::find_if(names.begin(), names.end(), [&](const std::string& n) { return text::equals_ci(n, ort); });
    if (hit != names.end()) {
      place = *hit;
      verified = true;
    }
  }
  if (place.empty() && !names.empty()) {
    place = names.front();
    verified = names.size() == 1;
  }
  return field(request, 0) + "|" + place + "||" + (verified ? "1" : "0") + "|" + place;
}

// --- Suche_Plz ---

struct Place {
  std::string alort;  // trimmed
  std::string name;   // trimmed, the table's spelling
};

// Whether a place key has no successor (unknown keys count as current).
bool is_current(const std::string& alort) {
  bool current = true;
  for_each_row("SELECT ALORT_Neu FROM Ort_DA WHERE ALORT = " + quoted(alort), [&](Recordset& rs) {
    if (!trim(rs.Field("ALORT_Neu").as_text()).empty()) current = false;
  });
  return current;
}

// The current places with this postal code and/or name (the database compares
// names without regard to case), one entry per place key.
std::vector<Place> find_places(const std::string& plz, const std::string& ort) {
  std::vector<Place> candidates;
  auto add = [&](const std::string& alort, const std::string& name) {
    for (const Place& p : candidates)
      if (p.alort == alort) return;
    candidates.push_back({alort, name});
  };
  if (!plz.empty()) {
    std::string sql = "SELECT ALORT, Oname FROM Plz_DA WHERE Plz = " + quoted(plz);
    if (!ort.empty()) sql += " AND OName = " + quoted(ort);
    for_each_row(sql + " ORDER BY ALORT", [&](Recordset& rs) {
      add(trim(rs.Field("ALORT").as_text()), trim(rs.Field("Oname").as_text()));
    });
    std::erase_if(candidates, [](const Place& p) { return !is_current(p.alort); });
  } else if (!ort.empty()) {
    for_each_row("SELECT ALORT, Oname, ALORT_Neu FROM Ort_DA WHERE OName = " + quoted(ort) + " ORDER BY ALORT",
                 [&](Recordset& rs) {
                   if (trim(rs.Field("ALORT_Neu").as_text()).empty())
                     add(trim(rs.Field("ALORT").as_text()), trim(rs.Field("Oname").as_text()));
                 });
  }
  return candidates;
}

// The place's postal codes for delivery (kind '6'), or all of them when it has none of that kind.
std::vector<std::string> postal_codes_of(const std::string& alort) {
  std::vector<std::string> delivery, all;
  for_each_row("SELECT Plz, ART_Auslieferung FROM Plz_DA WHERE Alort = " + quoted(alort) + " ORDER BY Plz",
               [&](Recordset& rs) {
                 std::string plz = trim(rs.Field("Plz").as_text());
                 add_unique(all, plz);
                 if (trim(rs.Field("ART_Auslieferung").as_text()) == "6") add_unique(delivery, plz);
               });
  return delivery.empty() ? all : delivery;
}

std::string street_key(std::string_view name) { return normalize_street_name(text::lower(trim(name))); }

struct Answer {
  std::string plz, street;
};

// Resolves the street among the place's sections; nullopt when the street is
// unknown or the house number leaves more than one postal code.
std::optional<Answer> resolve_street(const std::string& alort, const std::string& strasse,
                                     const std::string& hausnummer) {
  const std::string key = street_key(strasse);
  std::vector<std::string> codes;
  std::string name;
  for_each_row(
      "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ FROM Str_DA WHERE Alort = " + quoted(alort) +
          " ORDER BY Name46, Plz",
      [&](Recordset& rs) {
        std::string name46 = trim(rs.Field("name46").as_text());
        if (street_key(name46) != key) return;
        std::string von = rs.Field("HNRVon").as_text(), bis = rs.Field("HNRBis").as_text();
        std::string hnr = hausnummer;
        bool admits = trim(von).empty() || (!trim(hnr).empty() &&
                                            Pruefe_Hausnummer(hnr, von, bis, rs.Field("HNR_Typ").as_text()));
        if (!admits) return;
        if (name.empty()) name = name46;
        add_unique(codes, trim(rs.Field("Plz").as_text()));
      });
  if (codes.size() != 1) return std::nullopt;
  return Answer{codes.front(), name};
}

std::string suche_plz(const std::vector<std::string>& request) {
  const std::string echo = field(request, 0) + "|" + field(request, 1) + "|" + field(request, 2) + "|" +
                           field(request, 3) + "|0";
  const std::string plz = trim(field(request, 0));
  const std::string ort = trim(field(request, 1));
  std::string strasse = field(request, 2);
  std::string hausnummer = field(request, 3);
  if (trim(hausnummer).empty()) {
    split_house_number(strasse, hausnummer);
  } else {
    strasse = trim(strasse);
    hausnummer = trim(hausnummer);
  }
  if (plz.empty() && ort.empty()) return echo;

  std::vector<Place> places = find_places(plz, ort);
  if (places.size() != 1) return echo;
  const Place& place = places.front();

  Answer answer;
  if (!strasse.empty()) {
    std::optional<Answer> street = resolve_street(place.alort, strasse, hausnummer);
    if (!street) return echo;
    answer = *street;
  } else if (!plz.empty()) {
    answer.plz = plz;
  } else {
    std::vector<std::string> codes = postal_codes_of(place.alort);
    if (codes.size() != 1) return echo;
    answer.plz = codes.front();
  }
  return answer.plz + "|" + place.name + "|" + answer.street + "|" + hausnummer + "|1";
}

}  // namespace

// Method names are matched without regard to case, as a late-bound call does.
std::string BuiltinSearchProvider::Call(std::string_view method, std::string& request) {
  std::vector<std::string> fields = text::split(request, '|');
  if (text::equals_ci(method, "Suche_Ort")) return suche_ort(fields);
  if (text::equals_ci(method, "Suche_Plz")) return suche_plz(fields);
  throw Error(438, "Objekt unterstützt diese Eigenschaft oder Methode nicht");
}

SearchProviderFactory builtin_search_provider_factory() {
  return [] { return std::make_shared<BuiltinSearchProvider>(); };
}

SearchProviderFactory default_search_provider_factory() { return builtin_search_provider_factory(); }

void register_builtin_search_provider() {
  register_search_provider(kSearchProviderClassId, builtin_search_provider_factory());
}

}  // namespace noxplz
