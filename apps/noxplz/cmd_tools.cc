// noxplz generate / dialog / import-dialog: sample data files and the Qt windows.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <functional>
#include <iostream>

#include "cli.h"
#include "datafactory_gen.h"
#include "platform/ui/console/import_display.h"

#ifdef NOXPLZ_CLI_WITH_QT
#include "noxplz/qt_toolkit.h"
#endif

namespace noxplz::cli {
namespace {

struct GenerateCommand {
  std::string out;
  bool full = false;
  uint64_t seed = 1;
};

int run_generate(const GenerateCommand& g) {
  datafactory::GenOptions options = g.full ? datafactory::GenOptions::Full() : datafactory::GenOptions{};
  options.seed = g.seed;
  datafactory::GenSummary summary;
  try {
    summary = datafactory::generate_file(g.out, options);
  } catch (const std::exception& e) {
    throw Failure(kError, "Die Datei „" + g.out + "“ lässt sich nicht schreiben (" + e.what() +
                              "). Prüfen Sie Pfad und Schreibrechte bei --out.");
  }
  std::cout << "Datafactory-Datei geschrieben: " << g.out << " (" << group_digits(summary.lines) << " Zeilen, "
            << group_digits(summary.bytes / 1024) << " KB)\n";
  std::vector<std::vector<std::string>> rows;
  for (const auto& type : console::kRecordTypes) {
    auto it = summary.records.find(type.code);
    rows.push_back({type.code, group_digits(it == summary.records.end() ? 0 : it->second)});
  }
  rows.push_back({"XX", group_digits(summary.check_records)});
  print_table({"Satzart", "Sätze"}, rows);
  return kOk;
}

// Qt needs a screen; without one it would end the program with an English message.
void require_display() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || (platform && *platform);
  if (!display)
    throw Failure(kError, "Kein Bildschirm gefunden (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt). Starten Sie "
                          "den Befehl in einer grafischen Sitzung; auf der Konsole helfen „noxplz suche“ und "
                          "„noxplz import“.");
}

// Runs `show` with the thread's dialogs in Qt windows on the opened database.
// Without Qt or without a screen it says so in German instead.
int with_qt_windows(const Globals& globals, const std::function<void(Context&)>& show) {
#ifdef NOXPLZ_CLI_WITH_QT
  require_display();
  Context context(globals, AnswerOptions{});
  context.open_database();
  ScopedToolkit use(std::make_shared<QtToolkit>());
  show(context);
  return kOk;
#else
  (void)globals;
  (void)show;
  throw Failure(kError, "Dieses noxplz wurde ohne Qt gebaut; die Fenster stehen nicht zur Verfügung. Installieren "
                        "Sie qt6-base-dev und bauen Sie neu (scripts/build), oder verwenden Sie auf der Konsole "
                        "„noxplz suche“ und „noxplz import“.");
#endif
}

struct DialogCommand {
  std::string plz, ort, strasse, hausnummer;
};

int run_dialog(const Globals& globals, const DialogCommand& d) {
  return with_qt_windows(globals, [&](Context& context) {
    std::string plz = d.plz, ort = d.ort, strasse = d.strasse, nr = d.hausnummer;
    // After "Übernehmen" the four texts hold the dialog's address.
    context.manager().PlzSuchenDialog(plz, ort, strasse, nr);
    std::cout << "Plz         " << plz << "\nOrt         " << ort << "\nStraße      " << strasse
              << "\nHausnummer  " << nr << "\n";
  });
}

int run_import_dialog(const Globals& globals) {
  return with_qt_windows(globals, [](Context& context) { context.manager().PlzImportieren(); });
}

}  // namespace

void add_tool_commands(CLI::App& app, Globals& globals) {
  static GenerateCommand generate;
  auto* c = app.add_subcommand("generate", "erzeugt eine Beispieldatei im Datafactory-Postalcode-Format");
  c->add_option("-o,--out", generate.out, "Pfad der neuen Datei")->required();
  c->add_flag("--full", generate.full, "volle Lieferung (etwa 1,1 Millionen Sätze) statt einer kleinen Datei");
  c->add_option("--seed", generate.seed, "Startwert des Zufallsgenerators (gleicher Wert, gleiche Datei)");
  c->callback([] { exit_code() = run_guarded([] { return run_generate(generate); }); });

  static DialogCommand dialog;
  c = app.add_subcommand("dialog", "öffnet den Suchdialog „Plz-Prüfung“ in einem Fenster (Qt)");
  c->add_option("--plz", dialog.plz, "Postleitzahl zum Start");
  c->add_option("--ort", dialog.ort, "Ort zum Start");
  c->add_option("--strasse", dialog.strasse, "Straße zum Start");
  c->add_option("--hausnummer", dialog.hausnummer, "Hausnummer zum Start");
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_dialog(globals, dialog); }); });

  c = app.add_subcommand("import-dialog", "öffnet den Dialog „Datafactory Postalcode Import“ in einem Fenster (Qt)");
  c->callback([&globals] { exit_code() = run_guarded([&] { return run_import_dialog(globals); }); });
}

}  // namespace noxplz::cli
