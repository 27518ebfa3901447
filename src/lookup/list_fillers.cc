// List fillers of the search dialog: Fill_OrtCombo and Fill_StrCombo. They
// run the selections of Ermittle_Orte / Ermittle_Strassen in the same order,
// so entry i of a list shows row i of the matching table.
#include "lookup/db_access.h"
#include "lookup/list_cache.h"
#include "lookup/global.h"

namespace noxplz {

using lookup::run;
using lookup::ScopedRecordset;

std::string place_list_line(std::string_view oname, std::string_view ozusatz) {
  return text::trim(oname) + " " + text::trim(ozusatz);
}

void street_list_line_into(std::string& out, std::string_view name46, std::string_view hnr_von,
                           std::string_view hnr_bis) {
  // Built in one piece: a list of all streets makes tens of thousands.
  const std::string_view name = text::trim_view(name46), von = text::trim_view(hnr_von);
  out.assign(name);
  if (von.empty()) return;
  const std::string_view bis = text::trim_view(hnr_bis);
  out.reserve(name.size() + von.size() + bis.size() + 4);
  out.append(" (").append(von).append("-").append(bis).append(")");
}

std::string street_list_line(std::string_view name46, std::string_view hnr_von, std::string_view hnr_bis) {
  std::string line;
  street_list_line_into(line, name46, hnr_von, hnr_bis);
  return line;
}

namespace {

// The lines of the places `OName like 'name%'` from the session's place
// directory (see list_cache.h); false when there is none to ask.
bool place_lines_from_directory(ListBox& liste, const std::string& name, bool& found) {
  const auto places = lookup::places_named_like(name);
  if (!places) return false;
  auto lines = std::make_shared<std::vector<std::string>>();
  for (const PlaceDirectory::Place* p : *places) lines->push_back(place_list_line(p->oname.as_text(), p->ozusatz.as_text()));
  found = !lines->empty();
  liste.SetItems(std::move(lines));
  return true;
}

}  // namespace

bool Fill_OrtCombo(ListBox& liste, const std::string& name) {
  bool result = false;
  try {
    if (place_lines_from_directory(liste, name, result)) return result;
    liste.Clear();
    ScopedRecordset rs(run("SELECT ALORT_Neu, ozusatz, Oname FROM Ort_DA WHERE OName like '" + sql_quote(name) +
                           "%' ORDER BY OName, OZusatz, ALORT"));
    for (; !rs->Eof(); rs->MoveNext()) {
      if (!text::trim(rs->Field("ALORT_Neu").as_text()).empty()) continue;  // replaced place
      liste.AddItem(place_list_line(rs->Field("Oname").as_text(), rs->Field("ozusatz").as_text()));
      result = true;
    }
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Ermittlung des Bestimmungsortes (Fill_OrtCombo)", e);
  }
  return result;
}

namespace {

std::string all_streets_list_sql(const std::string& alort) {
  return "SELECT HNRVon, name46, HNRBis FROM Str_DA WHERE Alort = '" + sql_quote(alort) + "' order by Name46";
}

}  // namespace

bool street_list_selection_starts(const std::string& alort) {
  try {
    ScopedRecordset rs(run(all_streets_list_sql(alort)));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool Fill_StrCombo(ListBox& liste, const std::string& alort, const std::string& strasse,
                   const std::string& /*hausnummer*/) {
  bool result = false;
  try {
    liste.Clear();
    std::string sql;
    if (text::trim(strasse).empty()) {
      sql = all_streets_list_sql(alort);
    } else {
      sql = "SELECT HNRVon, name46, HNRBis FROM Str_DA WHERE Alort = '" + sql_quote(alort) +
            "' and Name46 like '" + sql_quote(strasse) + "%' order by Name46";
    }
    ScopedRecordset rs(run(sql));
    for (; !rs->Eof(); rs->MoveNext()) {
      liste.AddItem(street_list_line(rs->Field("name46").as_text(), rs->Field("HNRVon").as_text(),
                                     rs->Field("HNRBis").as_text()));
      result = true;
    }
  } catch (const std::exception& e) {
    lookup::show_lookup_error("Fehler bei der Ermittlung der Strassen (Fill_StrCombo)", e);
  }
  return result;
}

}  // namespace noxplz
