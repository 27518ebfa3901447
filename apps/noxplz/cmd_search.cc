// noxplz suche / pruefe / trenne: the address searches and the house-number splitter.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli.h"
#include "platform/text.h"

namespace noxplz::cli {
namespace {

struct SearchOptions {
  std::string plz, ort, strasse, hausnummer;
  bool mit_dialog = false;
  bool json = false;
  AnswerOptions answers;
};

void require_place_or_code(const SearchOptions& o) {
  if (text::trim(o.plz).empty() && text::trim(o.ort).empty())
    throw Failure(kInvalid, "Geben Sie mindestens --plz oder --ort an, zum Beispiel: noxplz suche --ort Musterstadt "
                            "--strasse \"Hauptstr. 12\".");
}

void print_result(const std::vector<std::pair<std::string, std::string>>& fields, bool verified, bool json,
                  bool color) {
  if (json) {
    nlohmann::json out = nlohmann::json::object();
    for (const auto& [key, value] : fields) {
      std::string k = text::lower(key);
      k = text::replace_all(k, "ß", "ss");
      out[k] = value;
    }
    out["geprueft"] = verified;
    print_json(out);
    return;
  }
  std::vector<std::vector<std::string>> rows;
  for (const auto& [key, value] : fields) rows.push_back({key, value});
  for (const auto& row : rows) std::cout << row[0] << std::string(12 - text::length(row[0]), ' ') << row[1] << "\n";
  std::cout << "Geprüft" << std::string(5, ' ')
            << (verified ? paint("ja", Color::Green, color) : paint("nein", Color::Red, color)) << "\n";
}

int run_suche(const Globals& globals, const SearchOptions& o) {
  require_place_or_code(o);
  Context context(globals, o.answers);
  context.open_database();
  clsPlzManager& m = context.manager();
  std::string plz = o.plz, ort = o.ort, strasse = o.strasse;
  m.Suche_Plz_Original(plz, ort, strasse, o.hausnummer, o.mit_dialog);
  context.check_questions();
  bool verified = m.Geprueft() == -1;
  print_result({{"Plz", m.Plz()}, {"Ort", m.Ort()}, {"Straße", m.Strasse()}}, verified, o.json,
               context.stdout_color());
  return verified ? kOk : kNotVerified;
}

int run_pruefe(const Globals& globals, const SearchOptions& o) {
  if (o.plz.empty() && o.ort.empty() && o.strasse.empty() && o.hausnummer.empty() && !isatty(STDIN_FILENO))
    return run_pruefe_lines(globals, o.json);
  require_place_or_code(o);
  Context context(globals, AnswerOptions{}, true);
  context.open_database();
  clsPlzManager& m = context.manager();
  std::string plz = o.plz, ort = o.ort, strasse = o.strasse;
  m.Suche_Plz(plz, ort, strasse, o.hausnummer, false);
  context.check_questions();
  bool verified = m.Geprueft() == -1;
  print_result({{"Plz", m.Plz()}, {"Ort", m.Ort()}, {"Straße", m.Strasse()}, {"Hausnummer", m.Hausnummer()}},
               verified, o.json, context.stdout_color());
  return verified ? kOk : kNotVerified;
}

int run_trenne(const std::string& input, const std::string& former_number, bool json) {
  clsPlzManager m;
  m.Such_Strasse(input);
  m.Such_Hausnummer(former_number);
  m.TrenneStrasseHausNr();
  if (json) {
    print_json({{"strasse", m.Such_Strasse()}, {"hausnummer", m.Such_Hausnummer()}});
  } else {
    std::cout << "Straße      " << m.Such_Strasse() << "\n"
              << "Hausnummer  " << m.Such_Hausnummer() << "\n";
  }
  return kOk;
}

void add_address_options(CLI::App& c, SearchOptions& o) {
  c.add_option("--plz", o.plz, "Postleitzahl");
  c.add_option("--ort", o.ort, "Ort");
  c.add_option("--strasse", o.strasse, "Straße, gern mit Hausnummer (\"Hauptstr. 12\")");
  c.add_option("--hausnummer", o.hausnummer, "Hausnummer");
  c.add_flag("--json", o.json, "Ausgabe als JSON");
}

}  // namespace

void add_search_commands(CLI::App& app, Globals& globals) {
  static SearchOptions suche, pruefe;

  auto* c = app.add_subcommand("suche",
                               "sucht und prüft Postleitzahl, Ort und Straße in den Posttabellen; fragt nach, wo "
                               "die Daten mehrere Antworten zulassen");
  add_address_options(*c, suche);
  c->add_flag("--mit-dialog", suche.mit_dialog,
              "bestätigt eine stimmige Adresse mit „Postleitzahl und Bestimmungsort sind in Ordnung!“");
  add_answer_options(*c, suche.answers, true, true);
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_suche(globals, suche); }); });

  c = app.add_subcommand("pruefe",
                         "prüft eine Adresse über den Suchdienst, ohne Rückfragen (für Skripte); ohne Adressoption "
                         "je Zeile der Standardeingabe eine Adresse: \"PLZ;Ort;Straße\" oder \"Straße Nr, PLZ Ort\"");
  add_address_options(*c, pruefe);
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_pruefe(globals, pruefe); }); });

  static std::string input, former_number;
  static bool trenne_json = false;
  c = app.add_subcommand("trenne", "trennt die Hausnummer vom Straßennamen (\"Hauptstraße 12a\")");
  c->add_option("STRASSE", input, "Straße mit Hausnummer, in Anführungszeichen")->required();
  c->add_option("--hausnummer", former_number, "bisherige Hausnummer (bleibt, wenn keine gefunden wird)");
  c->add_flag("--json", trenne_json, "Ausgabe als JSON");
  c->callback([] { exit_code() = run_guarded([] { return run_trenne(input, former_number, trenne_json); }); });
}

}  // namespace noxplz::cli
