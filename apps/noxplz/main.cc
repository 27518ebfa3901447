// noxplz: the command-line program of NoxPlz. Imports Datafactory Postalcode
// files, looks up places and streets, searches and checks addresses, with
// the component's dialogs as questions on the terminal.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli.h"
#include "help_format.h"
#include "noxplz/version.h"

int main(int argc, char** argv) {
  using namespace noxplz::cli;
  CLI::App app{"NoxPlz – Postleitzahlen, Orte und Straßen aus den Datafactory-Postalcode-Daten der Deutschen Post",
               "noxplz"};
  app.set_help_flag("-h,--help,--hilfe", "zeigt diese Hilfe")->group("Optionen");
  app.set_version_flag("-V,--version", std::string("noxplz ") + noxplz::version(), "zeigt die Version")
      ->group("Optionen");
  auto formatter = std::make_shared<GermanFormatter>();
  app.formatter(formatter);
  formatter->label("Usage", "Aufruf");
  formatter->label("OPTIONS", "OPTIONEN");
  formatter->label("SUBCOMMAND", "BEFEHL");
  formatter->label("SUBCOMMANDS", "BEFEHLE");
  formatter->label("Positionals", "Argumente");
  formatter->label("REQUIRED", "(Pflicht)");
  formatter->label("Excludes", "schließt aus");
  formatter->label("Needs", "braucht");
  formatter->column_width(34);
  app.option_defaults()->group("Optionen");
  app.footer(
      "Rückgabewerte: 0 erledigt bzw. geprüft, 1 Fehler, 2 falscher Aufruf, fehlende oder ungültige Datei oder "
      "Frage mit Nein bzw. nicht beantwortet, 3 nicht (vollständig) geprüft oder nichts gefunden.\n"
      "Hilfe zu einem Befehl: noxplz BEFEHL --help");

  Globals globals;
  auto* db = app.add_option("--db", globals.db,
                            "Datenbankdatei (eingebettetes SQLite; wird mit den Posttabellen angelegt, wenn neu)")
                 ->capture_default_str();
  auto* connection =
      app.add_option("--connection", globals.connection,
                     "Verbindungszeichenfolge statt --db, z. B. \"Provider=SQLite;Data Source=plz.db\"");
  db->excludes(connection);
  app.fallthrough();

  add_import_commands(app, globals);
  add_lookup_commands(app, globals);
  add_search_commands(app, globals);
  add_tool_commands(app, globals);
  add_list_commands(app, globals);
  for (CLI::App* sub : app.get_subcommands({})) {
    sub->group("Befehle");
    if (CLI::Option* help = sub->get_help_ptr()) help->group("Optionen");
  }
  app.require_subcommand(1);

  if (argc == 1) {
    std::cout << app.help();
    return kOk;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "Fehler im Aufruf: " << german_parse_error(e) << "\nHilfe: noxplz --help oder noxplz BEFEHL --help\n";
    return kInvalid;
  }
  return exit_code();
}
