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
  require_utf8(o.plz, "--plz");
  require_utf8(o.ort, "--ort");
  require_utf8(o.strasse, "--strasse");
  require_utf8(o.hausnummer, "--hausnummer");
  if (text::trim(o.plz).empty() && text::trim(o.ort).empty())
    throw Failure(kInvalid, "Geben Sie mindestens --plz oder --ort an, zum Beispiel: noxplz suche --ort Musterstadt "
                            "--strasse \"Hauptstr. 12\".");
}

// The answer of suche and pruefe: the same fields in both, the verdict and
// its reason.
struct Answer {
  std::string plz, ort, strasse, hausnummer;
  bool verified = false;
  Reason grund;
};

void print_answer(const Answer& a, bool json, bool color) {
  if (json) {
    print_json({{"plz", a.plz},
                {"ort", a.ort},
                {"strasse", a.strasse},
                {"hausnummer", a.hausnummer},
                {"geprueft", a.verified},
                {"grund", a.grund.code},
                {"hinweis", a.grund.hinweis}});
    return;
  }
  const std::pair<const char*, const std::string*> rows[] = {
      {"Plz", &a.plz}, {"Ort", &a.ort}, {"Straße", &a.strasse}, {"Hausnummer", &a.hausnummer}};
  for (const auto& [key, value] : rows)
    std::cout << key << std::string(12 - text::length(key), ' ') << text::printable(*value) << "\n";
  std::cout << "Geprüft" << std::string(5, ' ')
            << (a.verified ? paint("ja", Color::Green, color) : paint("nein", Color::Red, color)) << "\n";
  if (!a.grund.hinweis.empty()) std::cout << "Hinweis" << std::string(5, ' ') << text::printable(a.grund.hinweis) << "\n";
}

int run_suche(const Globals& globals, const SearchOptions& o) {
  require_place_or_code(o);
  Context context(globals, o.answers);
  context.open_database();
  clsPlzManager& m = context.manager();
  std::string plz = o.plz, ort = o.ort, strasse = o.strasse;
  m.Plz("");
  m.Suche_Plz_Original(plz, ort, strasse, o.hausnummer, o.mit_dialog);
  context.check_questions();
  Answer a{m.Plz(), m.Ort(), m.Strasse(), m.Such_Hausnummer(), m.Geprueft() == -1, m.Grund()};
  if (a.verified && a.plz.empty()) {
    // Postal code and place confirmed without the result properties being
    // written (no confirmation dialog): the confirmed input is the answer.
    a.plz = text::trim(m.Such_Plz());
    if (a.ort.empty()) a.ort = text::trim(m.Such_Ort());
    a.strasse = text::trim(m.Such_Strasse() + " " + m.Such_Hausnummer());
  }
  print_answer(a, o.json, context.stdout_color());
  return a.verified ? kOk : kNotVerified;
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
  Answer a{m.Plz(), m.Ort(), m.Strasse(), m.Hausnummer(), m.Geprueft() == -1, m.Grund()};
  print_answer(a, o.json, context.stdout_color());
  return a.verified ? kOk : kNotVerified;
}

int run_trenne(const std::string& input, const std::string& former_number, bool json) {
  require_utf8(input, "STRASSE");
  require_utf8(former_number, "--hausnummer");
  clsPlzManager m;
  m.Such_Strasse(input);
  m.Such_Hausnummer(former_number);
  m.TrenneStrasseHausNr();
  if (json) {
    print_json({{"strasse", m.Such_Strasse()}, {"hausnummer", m.Such_Hausnummer()}});
  } else {
    std::cout << "Straße      " << text::printable(m.Such_Strasse()) << "\n"
              << "Hausnummer  " << text::printable(m.Such_Hausnummer()) << "\n";
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
