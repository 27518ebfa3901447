// Street lookups and the house-number check: Ermittle_Strassen,
// Pruefe_Strasse, Pruefe_Hausnummer.
#include <algorithm>
#include <map>

#include "lookup/db_access.h"
#include "lookup/global.h"
#include "lookup/list_cache.h"
#include "noxplz/ui.h"

namespace noxplz {

using lookup::run;
using lookup::ScopedRecordset;
using lookup::trimmed;

namespace {

constexpr size_t kStreetListsKept = 4;

// Number of street rows of a place.
int32_t count_streets(const std::string& alort) {
  ScopedRecordset rs(run("SELECT Count(*) as Anzahl FROM Str_DA WHERE Alort = '" + sql_quote(alort) + "'"));
  return rs->Eof() ? 0 : rs->Field("Anzahl").as_long();
}

// The rows of the kept list of all streets under `key` whose name the
// database's LIKE would match with `strasse%`, in the list's order (which is
// the order of the narrowed selection too: both read the index on ALORT and
// Name46). The list holds the names trimmed; for a name of plain characters
// (no %, _ or [, no blank at either end, as typed names are trimmed) the LIKE
// decides the same on them as on the names as stored, as long as no stored
// name begins with a blank. False where that does not hold, where no such
// list is kept or the backend offers no LIKE test; `alle` then receives
// nothing.
bool narrow_kept(KeptLists& cache, const std::string& key, const std::string& strasse, VariantTable& tabelle,
                 int32_t& alle) {
  if (strasse.find_first_of("%_[") != std::string::npos || strasse.front() == ' ' || strasse.back() == ' ')
    return false;
  auto kept = std::find_if(cache.entries.begin(), cache.entries.end(),
                           [&](const KeptLists::Entry& e) { return e.key == key && e.narrowable; });
  if (kept == cache.entries.end()) return false;
  const DbBackend::LikeTest like = lookup::like_test(strasse + "%");
  if (!like) return false;
  const VariantTable& all = *kept->table;
  auto matches = [&](int32_t r) {
    const std::string* name = all.Get(r, 0).text_if();
    return name && like(*name);
  };
  // A name that continues the one narrowed last matches only rows that
  // matched that one (`a%` holds every value `ab%` matches).
  const bool continues = !kept->narrowed_for.empty() && strasse.starts_with(kept->narrowed_for);
  std::vector<int32_t> rows;
  if (continues) {
    for (int32_t r : kept->narrowed_rows)
      if (matches(r)) rows.push_back(r);
  } else {
    for (int32_t r = 0; r < all.UpperBound(1); ++r)
      if (matches(r)) rows.push_back(r);
  }
  kept->narrowed_for = strasse;
  kept->narrowed_rows = rows;
  tabelle.ReDim(0, static_cast<int32_t>(rows.size()), 0, 5);
  for (size_t i = 0; i < rows.size(); ++i)
    for (int32_t c = 0; c <= 5; ++c) tabelle.Set(static_cast<int32_t>(i), c, all.Get(rows[i], c));
  alle = all.UpperBound(1);
  return true;
}

}  // namespace

bool Ermittle_Strassen(const std::string& alort, VariantTable& tabelle, std::string& strasse,
                       const std::string& /*hausnummer*/) {
  bool result = false;
  try {
    int32_t anzahl = 0;
    tabelle.ReDim(0, 0, 0, 5);
    strasse = normalize_street_name(strasse);

    // All streets of a place: from the cache when this session listed them
    // since the data last changed.
    KeptLists* kept = lookup::kept_lists();
    KeptLists* cache = strasse.empty() ? kept : nullptr;
    const std::string cache_key = alort + "|" + (session().MitOrtteiAnzeige ? "1" : "0");
    if (cache && lookup::take_kept(cache->entries, cache_key, tabelle)) return tabelle.UpperBound(1) > 0;
    const int64_t failures_before = lookup_failures_shown();
    // A name typed in a place whose streets are kept: narrowed from them.
    bool narrowed = false, counted = false;
    if (kept && !strasse.empty() && narrow_kept(*kept, cache_key, strasse, tabelle, anzahl)) {
      narrowed = counted = true;
      result = tabelle.UpperBound(1) > 0;
    }

    std::string sql = "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = '" +
                      sql_quote(alort) + "'";
    if (!strasse.empty()) sql += " and Name46 like '" + sql_quote(strasse) + "%'";
    sql += " order by Name46";
    // The street count only decides the question when nothing matched, so it
    // is taken after the list (a count over a large place costs as much as
    // the narrowed list). Should the list not even start, the count is taken
    // first as it always was, so a failure reports the same statement.
    RecordsetPtr list;
    if (!strasse.empty() && !narrowed) {
      try {
        list = run(sql);
      } catch (const std::exception&) {
        anzahl = count_streets(alort);
        counted = true;
      }
    }
    // A list of all streets is narrowed later where no stored name begins with a blank.
    bool narrowable = true;
    if (!narrowed) {
      ScopedRecordset rs(list ? std::move(list) : run(sql));
      // The district names of one place repeat from section to section: each
      // key is looked up once per run (all rows are read from one snapshot).
      std::map<std::string, std::string> ortsteile;
      const bool districts = session().MitOrtteiAnzeige;
      const lookup::Fields<6> field(*rs, {"name46", "Plz", "HNRVon", "HNRBis", "HNR_Typ", "OTL_Schl"});
      for (; !rs->Eof(); rs->MoveNext()) {
        int32_t row = tabelle.UpperBound(1);
        Variant name = field[0];
        if (const std::string* held = name.text_if(); held && held->starts_with(' ')) narrowable = false;
        tabelle.Set(row, 0, trimmed(std::move(name)));
        for (int32_t col = 1; col <= 4; ++col) tabelle.Set(row, col, trimmed(field[static_cast<size_t>(col)]));
        std::string ortsteil;
        if (districts) {
          std::string schl = text::trim(field[5].as_text());
          auto known = ortsteile.find(schl);
          if (known != ortsteile.end()) {
            ortsteil = known->second;
          } else {
            const int64_t failures = lookup_failures_shown();
            ortsteil = Ermittle_Ortsteil(alort, schl);
            // A failed lookup is asked again for the next row, so it reports again.
            if (lookup_failures_shown() == failures) ortsteile.emplace(std::move(schl), ortsteil);
          }
        }
        tabelle.Set(row, 5, std::move(ortsteil));
        tabelle.AppendRows(1);
        result = true;
      }
    }  // closed before a question is shown
    // Kept only when nothing went wrong on the way (a failed district lookup
    // is asked again, and reports again, next time).
    if (cache && lookup_failures_shown() == failures_before)
      lookup::keep(cache->entries, cache_key, tabelle, kStreetListsKept, narrowable);
    if (!result && !strasse.empty() && !counted) anzahl = count_streets(alort);

    if (!result && anzahl > 0) {
      int answer = msg_box(
          "Straße nicht gefunden! (Bitte prüfen Sie die Schreibweise)\nMöchten Sie aus der Liste der Straßen "
          "auswählen?",
          mb::kYesNo, "Achtung");
      if (answer == mb::kYes) {
        std::string alle_strassen, keine_hausnummer;
        result = Ermittle_Strassen(alort, tabelle, alle_strassen, keine_hausnummer);
      }
    }
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Ermittlung der Strassen", e);
  }
  return result;
}

int32_t Pruefe_Strasse(const std::string& alort, std::string& strasse, const std::string& /*hausnummer*/) {
  try {
    strasse = text::trim(strasse);
    if (strasse.empty()) return 1;
    if (count_streets(alort) == 0) return 0;
    {
      ScopedRecordset rs(run("SELECT name46 FROM Str_DA WHERE Alort = '" + sql_quote(alort) + "' and Name46 = '" +
                             sql_quote(strasse) + "' order by Name46"));
      if (!rs->Eof()) return 3;
    }
    {
      ScopedRecordset rs(run("SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = '" +
                             sql_quote(alort) + "' and Name46 like '" + sql_quote(strasse) + "%' order by Name46"));
      if (!rs->Eof()) return 2;
    }
    return -1;
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Prüfung der Strassen", e);
  }
  return 0;
}

bool Pruefe_Hausnummer(std::string& hausnummer, std::string& von, std::string& bis, const std::string& typ) {
  von = text::trim(von);
  bis = text::trim(bis);
  hausnummer = text::trim(hausnummer);

  auto number = text::leading_number(hausnummer);
  if (!number) return false;  // no leading number: in no range
  bool even = (number->digits.back() - '0') % 2 == 0;

  std::string art = text::trim(typ);
  bool admitted = art == "N" || (art == "G" && even) || (art == "U" && !even);
  if (!admitted) return false;

  bool ok_von = true, ok_bis = true;
  int low = compare_house_numbers(von, hausnummer, ok_von);
  int high = compare_house_numbers(hausnummer, bis, ok_bis);
  return ok_von && ok_bis && low <= 0 && high <= 0;
}

namespace lookup {

KeptLists* kept_lists() {
  Session& s = session();
  const std::optional<DataStamp> stamp = s.connection ? s.connection->DataStamp() : std::nullopt;
  if (!stamp) {
    s.kept_lists.reset();
    return nullptr;
  }
  if (!s.kept_lists) s.kept_lists = std::make_shared<KeptLists>();
  if (s.kept_lists->stamp != stamp) {
    *s.kept_lists = KeptLists{};
    s.kept_lists->stamp = stamp;
  }
  return s.kept_lists.get();
}

bool take_kept(std::list<KeptLists::Entry>& lists, const std::string& key, VariantTable& tabelle) {
  auto hit = std::find_if(lists.begin(), lists.end(), [&](const KeptLists::Entry& e) { return e.key == key; });
  if (hit == lists.end()) return false;
  lists.splice(lists.begin(), lists, hit);
  tabelle = *hit->table;
  return true;
}

DbBackend::LikeTest like_test(const std::string& pattern) {
  const ConnectionPtr& c = session().connection;
  return c ? c->LikeMatcher(pattern) : DbBackend::LikeTest{};
}

KeptLists::Entry* kept_entry_of(std::list<KeptLists::Entry>& lists, const VariantTable& tabelle) {
  for (KeptLists::Entry& e : lists)
    if (e.table->SameCells(tabelle)) return &e;
  return nullptr;
}

void keep(std::list<KeptLists::Entry>& lists, const std::string& key, const VariantTable& tabelle,
          size_t limit, bool narrowable) {
  lists.push_front({key, std::make_shared<const VariantTable>(tabelle), nullptr, nullptr, narrowable, {}, {}});
  if (lists.size() > limit) lists.pop_back();
}

}  // namespace lookup
}  // namespace noxplz
