// noxplz generate / dialog / import-dialog: sample data files and the Qt windows.
#include <filesystem>
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <functional>
#include <iostream>

#include "cli.h"
#include "datafactory_gen.h"
#include "noxplz/error.h"
#include "noxplz/schema.h"
#include "platform/ui/console/import_display.h"

#ifdef NOXPLZ_CLI_WITH_QT
#include "dialogs/frm_plz_import.h"
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

#ifdef NOXPLZ_CLI_WITH_QT
// The Qt windows, noting how the import dialog ended: the dialog is gone once
// PlzImportieren returns, and when its modal display ends the import run and
// its verification have finished.
class WindowToolkit : public QtToolkit {
 public:
  void ShowModal(Form& form) override {
    QtToolkit::ShowModal(form);
    if (const auto* dialog = dynamic_cast<const frmPlzImport*>(&form))
      import_verified = dialog->lbl_Delete.Visible() && dialog->lbl_Delete.Caption() == console::kNoticeAllOk;
  }
  bool import_verified = false;
};
#else
struct WindowToolkit {
  bool import_verified = false;
};
#endif

// Runs `show` with the thread's dialogs in Qt windows on the opened database
// and returns its exit code. Without Qt or without a screen it says so in
// German instead.
int with_qt_windows(const Globals& globals, const std::function<int(Context&, WindowToolkit&)>& show) {
#ifdef NOXPLZ_CLI_WITH_QT
  require_display();
  Context context(globals, AnswerOptions{});
  context.open_database();
  auto windows = std::make_shared<WindowToolkit>();
  ScopedToolkit use(windows);
  return show(context, *windows);
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

// 0 after "Übernehmen" with the address on standard output; 3 after
// "Abbrechen" or the close box, with nothing taken over.
int run_dialog(const Globals& globals, const DialogCommand& d) {
  return with_qt_windows(globals, [&](Context& context, WindowToolkit&) {
    std::string plz = d.plz, ort = d.ort, strasse = d.strasse, nr = d.hausnummer;
    context.manager().PlzSuchenDialog(plz, ort, strasse, nr);
    if (context.manager().Geprueft() != -1) {
      std::cerr << "Der Suchdialog wurde ohne „Übernehmen“ geschlossen; es wurde keine Adresse übernommen.\n";
      return kNotVerified;
    }
    std::cout << "Plz         " << plz << "\nOrt         " << ort << "\nStraße      " << strasse
              << "\nHausnummer  " << nr << "\n";
    return kOk;
  });
}

// 0 only when the dialog ended on an import whose verification was all
// green; 3 otherwise (closed without import, cancelled, failed verification).
int run_import_dialog(const Globals& globals) {
  return with_qt_windows(globals, [](Context& context, WindowToolkit& windows) {
    context.manager().PlzImportieren();
    if (windows.import_verified) {
      std::cout << console::kNoticeAllOk << "\n";
      return kOk;
    }
    std::cerr << "Der Importdialog wurde ohne vollständig geprüften Import geschlossen.\n";
    return kNotVerified;
  });
}

}  // namespace

// The nine tables of a Datafactory delivery.
constexpr const char* kTables[] = {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA", "OTL_DA",
                                   "POFA_DA", "PLZ_DA", "STR_DA", "PRUEF_DA"};

// Creates the postal tables: in a new database file (--db), or in an empty
// server database (--connection). Tables that are there already are kept; a
// file made by an older version gets the indexes of this one.
int run_init(const Globals& globals) {
  if (globals.connection.empty()) {
    std::error_code ec;
    const bool existed = std::filesystem::exists(globals.db, ec);
    try {
      create_postal_database(globals.db);
    } catch (const Error& e) {
      throw Failure(kError, "Die Datenbank „" + globals.db + "“ lässt sich nicht anlegen (" + format_error_number(e) +
                                "). Prüfen Sie Pfad und Schreibrechte bei --db.");
    }
    if (existed)
      std::cout << "„" << globals.db << "“ hat jetzt alle Posttabellen und Indizes dieser Version; "
                                         "vorhandene Daten sind unverändert.\n";
    else
      std::cout << "Die Posttabellen sind in „" << globals.db << "“ angelegt.\n";
    return kOk;
  }
  ConnectionPtr connection;
  try {
    connection = open_connection(globals.connection);
  } catch (const Error& e) {
    throw Failure(kError, "Die Datenbankverbindung lässt sich nicht öffnen (" + format_error_number(e) +
                              "). Prüfen Sie die Verbindungszeichenfolge bei --connection.");
  }
  int present = 0;
  for (const char* table : kTables) {
    try {
      connection->Execute(std::string("SELECT COUNT(*) AS Anzahl FROM ") + table + " WHERE 1 = 0");
      ++present;
    } catch (const Error&) {
      // missing: created below
    }
  }
  if (present == static_cast<int>(std::size(kTables))) {
    std::cout << "Die neun Posttabellen sind in dieser Datenbank schon vorhanden; nichts geändert.\n";
    return kOk;
  }
  try {
    create_postal_tables(*connection);
  } catch (const Error& e) {
    throw Failure(kError, "Die Posttabellen lassen sich nicht anlegen (" + format_error_number(e) + ")." +
                              (present > 0 ? " Ein Teil der Tabellen ist schon vorhanden: legen Sie die fehlenden mit "
                                             "dem Skript aus schema/ selbst an."
                                           : " Prüfen Sie die Rechte des Benutzers (CREATE in der Datenbank)."));
  }
  std::cout << "Die neun Posttabellen und ihre Indizes sind angelegt.\n";
  return kOk;
}

void add_tool_commands(CLI::App& app, Globals& globals) {
  auto* init = app.add_subcommand(
      "init", "legt die neun Posttabellen mit ihren Indizes an (--db: neue Datei, --connection: Serverdatenbank)");
  init->callback([&globals] { exit_code() = run_guarded([&] { return run_init(globals); }); });

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
