// noxplz orte / ort / strassen / sql: the lookups on the postal tables.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include "cli.h"
#include "fuzzy/similar_names.h"
#include "lookup/global.h"
#include "noxplz/error.h"
#include "noxplz/lookup.h"
#include "platform/text.h"

namespace noxplz::cli {
namespace {

struct LookupOptions {
  std::string first;   // prefix, postal code, place name or place key
  std::string second;  // place or street prefix
  bool json = false;
  bool districts = false;
  bool alort = false;  // `first` is a place key
  AnswerOptions answers;
};

// Places of a similar name for a name that found nothing (typo tolerance).
std::vector<SimilarPlace> suggest_places(const std::string& name) {
  std::vector<SimilarPlace> similar = similar_places(name, {}, 8);
  std::erase_if(similar, [](const SimilarPlace& p) { return p.distance == 0; });
  return similar;
}

// "Meinten Sie: München, Mülheim?"; "" without names.
std::string did_you_mean(const std::vector<std::string>& names) {
  std::vector<std::string> unique;
  for (const std::string& n : names)
    if (std::find(unique.begin(), unique.end(), n) == unique.end()) unique.push_back(n);
  if (unique.empty()) return "";
  std::string text = "Meinten Sie: ";
  for (size_t i = 0; i < unique.size(); ++i) text += (i == 0 ? "" : ", ") + unique[i];
  return text + "?";
}

// Hint when nothing was found because nothing was imported yet.
void hint_if_empty(Context& context) {
  if (context.count_rows("ORT_DA") == 0)
    std::cerr << "Hinweis: Die Postdatenbank " << context.source_name()
              << " ist leer. Importieren Sie zuerst eine Datafactory-Datei: noxplz import DATEI\n";
}

int run_orte(const Globals& globals, const LookupOptions& o) {
  require_utf8(o.first, "PRÄFIX");
  Context context(globals, o.answers);
  context.open_database();
  const std::vector<Place> places = find_places(*context.connection(), o.first);
  nlohmann::json out = nlohmann::json::array();
  std::vector<std::vector<std::string>> rows;
  for (const Place& p : places) {
    out.push_back({{"ort", p.name}, {"zusatz", p.addition}, {"ortsschluessel", p.key}, {"plz", p.plz}});
    rows.push_back(printable_row({p.name, p.addition, p.key, p.plz}));
  }
  std::vector<SimilarPlace> similar;
  if (places.empty()) similar = suggest_places(o.first);
  if (o.json) {
    // When the prefix finds nothing: the places of a similar name, marked as suggestions.
    for (const SimilarPlace& p : similar)
      out.push_back({{"ort", p.name},
                     {"zusatz", p.addition},
                     {"ortsschluessel", p.alort},
                     {"plz", text::trim(Ermittle_Postleitzahl(p.alort))},
                     {"vorschlag", true}});
    print_json(out);
  } else if (!places.empty()) {
    print_table({"Ort", "Zusatz", "Ortsschlüssel", "Plz"}, rows);
  }
  if (places.empty()) {
    std::cerr << "Kein aktueller Ort beginnt mit „" << o.first << "“. Prüfen Sie die Schreibweise.\n";
    std::vector<std::string> names;
    for (const SimilarPlace& p : similar) names.push_back(p.name);
    if (!names.empty()) std::cerr << did_you_mean(names) << "\n";
    hint_if_empty(context);
    return kNotVerified;
  }
  return kOk;
}

int run_ort(const Globals& globals, const LookupOptions& o) {
  require_utf8(o.first, "PLZ");
  require_utf8(o.second, "ORT");
  Context context(globals, o.answers);
  context.open_database();
  std::string plz = o.first;
  std::string ort = context.manager().Suche_Ort_original(plz, o.second);
  context.check_questions();
  // Verified is what answers the question asked: the postal code's place, or
  // that the given place belongs to it. A place other than the given one is
  // the right place of the postal code, but the given pair is not verified.
  const Reason grund = context.manager().Grund();
  const bool verified = grund.code == "bestaetigt" || grund.code == "ausgewaehlt";
  if (o.json) {
    print_json({{"plz", o.first},
                {"ort", ort},
                {"geprueft", verified},
                {"grund", grund.code},
                {"hinweis", grund.hinweis}});
  } else if (!ort.empty()) {
    print_table({"Plz", "Ort", "Geprüft"}, {printable_row({o.first, ort, verified ? "ja" : "nein"})});
    if (!verified) std::cout << "Hinweis: " << text::printable(grund.hinweis) << "\n";
  }
  if (ort.empty()) {
    hint_if_empty(context);
    return kNotVerified;
  }
  return verified ? kOk : kNotVerified;
}

// The house-number kind as the tables write it; "" for a section without a range.
std::string house_number_kind(const Street& s) {
  switch (s.house_numbers) {
    case HouseNumbers::even: return "G";
    case HouseNumbers::odd: return "U";
    case HouseNumbers::all: break;
  }
  return s.house_from.empty() && s.house_to.empty() ? "" : "N";
}

bool all_digits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The place key of a place name: the current place of exactly that name (case
// does not matter), else of the names beginning with it; the user chooses
// when there are several. Empty when the choice was cancelled.
std::string place_key(Context& context, const std::string& name, std::string& shown) {
  const std::string wanted = text::trim(name);
  std::vector<Place> places = find_places(*context.connection(), wanted);
  std::vector<Place> exact;
  for (const Place& p : places)
    if (text::equals_ci(p.name, wanted)) exact.push_back(p);
  if (!exact.empty()) places = std::move(exact);
  if (places.empty()) {
    std::string message = "Kein aktueller Ort heißt „" + wanted + "“ oder beginnt so.";
    std::vector<std::string> names;
    for (const SimilarPlace& p : suggest_places(wanted)) names.push_back(p.name);
    if (!names.empty()) message += " " + did_you_mean(names);
    hint_if_empty(context);
    throw Failure(kNotVerified, message + " Die Orte zeigt „noxplz orte PRÄFIX“.");
  }
  size_t row = 0;
  if (places.size() > 1) {
    // The place choice list of the component, as a menu at the terminal.
    VariantTable table;
    table.ReDim(0, 0, 0, 3);
    for (size_t i = 0; i < places.size(); ++i) {
      const auto r = static_cast<int32_t>(i);
      table.Set(r, 0, Variant(places[i].name));
      table.Set(r, 1, Variant(places[i].addition));
      table.Set(r, 2, Variant(places[i].key));
      table.Set(r, 3, Variant(places[i].plz));
      table.AppendRows();
    }
    const int32_t chosen = choose_place(table);
    context.check_questions();
    if (chosen < 0) return "";
    row = static_cast<size_t>(chosen);
  }
  shown = text::trim(places[row].name + " " + places[row].addition);
  return places[row].key;
}

int run_strassen(const Globals& globals, const LookupOptions& o) {
  require_utf8(o.first, "ORTSSCHLUESSEL");
  require_utf8(o.second, "PRÄFIX");
  Context context(globals, o.answers);
  context.open_database();
  // A place key when asked for with --alort, or as eight digits (no place is named so).
  std::string shown;
  std::string key = text::trim(o.first);
  if (!o.alort && !(all_digits(key) && key.size() == 8)) {
    key = place_key(context, o.first, shown);
    if (key.empty()) return kInvalid;  // the choice was cancelled
  }
  const PlaceKey place{key};
  const StreetOptions options{.with_districts = o.districts};
  std::vector<Street> streets = find_streets(*context.connection(), place, o.second, options);
  // Nothing begins with the prefix: with --ja every street of the place instead.
  size_t all_streets = 0;
  if (streets.empty() && !o.second.empty()) {
    std::vector<Street> all = find_streets(*context.connection(), place, {}, options);
    all_streets = all.size();
    if (o.answers.yes) streets = std::move(all);
  }
  nlohmann::json out = nlohmann::json::array();
  std::vector<std::vector<std::string>> rows;
  for (const Street& s : streets) {
    std::vector<std::string> row{s.name, s.plz, s.house_from, s.house_to, house_number_kind(s), s.district};
    out.push_back({{"strasse", row[0]},
                   {"plz", row[1]},
                   {"hnr_von", row[2]},
                   {"hnr_bis", row[3]},
                   {"hnr_typ", row[4]},
                   {"ortsteil", row[5]}});
    if (!o.districts) row.pop_back();
    rows.push_back(printable_row(row));
  }
  if (o.json) {
    print_json(out);
  } else if (!streets.empty()) {
    std::vector<std::string> header{"Straße", "Plz", "HNr von", "HNr bis", "Typ"};
    if (o.districts) header.push_back("Ortsteil");
    print_table(header, rows);
  }
  if (streets.empty()) {
    const std::string street = text::trim(o.second);
    std::cerr << "Keine Straße " << (street.empty() ? "" : "beginnt mit „" + street + "“ ")
              << (shown.empty() ? "im Ort mit dem Schlüssel „" + key + "“" : "in " + shown + " (Ortsschlüssel " + key + ")")
              << ".";
    if (!street.empty()) {
      std::vector<std::string> names;
      for (const SimilarStreet& s : similar_streets(key, street, 8))
        if (s.distance > 0) names.push_back(s.name);
      if (!names.empty()) std::cerr << " " << did_you_mean(names);
    }
    if (all_streets > 0)
      std::cerr << " Der Ort hat " << all_streets
                << " Straßenabschnitte: ohne PRÄFIX (oder mit --ja) zeigt der Befehl alle.\n";
    else
      std::cerr << " Den Ortsschlüssel zeigt „noxplz orte NAME“ in der Spalte Ortsschlüssel.\n";
    hint_if_empty(context);
    return kNotVerified;
  }
  return kOk;
}

int run_sql(const Globals& globals, const std::string& statement, bool json) {
  require_utf8(statement, "ANWEISUNG");
  Context context(globals, AnswerOptions{}, true);
  context.open_database();
  int32_t affected = -1;
  RecordsetPtr rs;
  try {
    rs = context.connection()->Execute(statement, &affected);
  } catch (const Error& e) {
    throw Failure(kInvalid, "Die Anweisung wurde abgelehnt (" + format_error_number(e) +
                                "). Prüfen Sie sie; Tabellen und Spalten stehen in schema/sqlite/postal_tables.sql.");
  }
  std::vector<std::string> names = rs ? rs->FieldNames() : std::vector<std::string>{};
  if (names.empty()) {
    if (json)
      print_json({{"geaendert", affected}});
    else
      std::cout << (affected >= 0 ? std::to_string(affected) : std::string("0")) << " Zeilen geändert\n";
    return kOk;
  }
  nlohmann::json out = nlohmann::json::array();
  std::vector<std::vector<std::string>> rows;
  for (; !rs->Eof(); rs->MoveNext()) {
    nlohmann::json object = nlohmann::json::object();
    std::vector<std::string> row;
    for (const std::string& name : names) {
      Variant v = rs->Field(name);
      if (v.is_null())
        object[name] = nullptr;
      else if (v.type() == Variant::Type::Long)
        object[name] = v.as_long();
      else
        object[name] = v.as_text();
      row.push_back(v.is_null() ? "NULL" : v.as_text());
    }
    out.push_back(object);
    rows.push_back(printable_row(row));
  }
  rs->Close();
  if (json)
    print_json(out);
  else if (rows.empty())
    std::cout << "(keine Zeilen)\n";
  else
    print_table(printable_row(names), rows);
  return kOk;
}

}  // namespace

void add_lookup_commands(CLI::App& app, Globals& globals) {
  static LookupOptions orte, ort, strassen;

  auto* c = app.add_subcommand("orte", "listet die aktuellen Orte, deren Name mit PRÄFIX beginnt");
  c->add_option("PRÄFIX", orte.first, "Anfang des Ortsnamens (weggelassen oder leer: alle Orte)");
  c->add_flag("--json", orte.json, "Ausgabe als JSON");
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_orte(globals, orte); }); });

  c = app.add_subcommand("ort", "sucht den Ort zu einer Postleitzahl (mit Auswahlliste bei mehreren Orten)");
  c->add_option("PLZ", ort.first, "Postleitzahl")->required();
  c->add_option("ORT", ort.second, "erwarteter Ort (wird bestätigt, wenn er zur Postleitzahl gehört)");
  c->add_flag("--json", ort.json, "Ausgabe als JSON");
  add_answer_options(*c, ort.answers, true, false);
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_ort(globals, ort); }); });

  c = app.add_subcommand("strassen", "listet die Straßen eines Ortes");
  c->add_option("ORT", strassen.first,
                "Ortsname (bei mehreren Orten dieses Namens eine Auswahl) oder mit --alort der Ortsschlüssel")
      ->required();
  c->add_option("PRÄFIX", strassen.second, "Anfang des Straßennamens (leer: alle Straßen)");
  c->add_flag("--alort", strassen.alort, "ORT ist der Ortsschlüssel (ALORT) aus „noxplz orte“");
  c->add_option("--auswahl", strassen.answers.choices,
                "wählt in der Auswahl der Orte gleichen Namens die Zeile N (1 = erste, 0 = Abbrechen)")
      ->check(CLI::NonNegativeNumber);
  c->add_flag("--mit-ortsteil", strassen.districts, "zeigt den Ortsteil jedes Straßenabschnitts");
  c->add_flag("--json", strassen.json, "Ausgabe als JSON");
  c->add_flag("-j,--ja", strassen.answers.yes,
              "zeigt alle Straßen des Ortes, wenn keine mit PRÄFIX beginnt");
  c->add_flag("--nein", strassen.answers.no, "zeigt dann keine (Vorgabe)")->excludes("--ja");
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_strassen(globals, strassen); }); });

  static std::string statement;
  static bool sql_json = false;
  c = app.add_subcommand("sql", "führt eine SQL-Anweisung auf der Postdatenbank aus (mit deren Sortierung und LIKE)");
  c->add_option("ANWEISUNG", statement, "SQL-Text, z. B. \"SELECT COUNT(*) AS n FROM STR_DA\"")->required();
  c->add_flag("--json", sql_json, "Ausgabe als JSON");
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_sql(globals, statement, sql_json); }); });
}

}  // namespace noxplz::cli
