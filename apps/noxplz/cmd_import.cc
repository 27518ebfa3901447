// noxplz import FILE / noxplz verify: the import run and the verification
// with the import dialog rendered on the terminal.
#include <CLI/CLI.hpp>
#include <csignal>
#include <filesystem>
#include <iostream>

#include "cli.h"
#include "dialogs/frm_plz_import.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/plz_import.h"
#include "platform/ui/console/import_display.h"

namespace noxplz::cli {
namespace {

constexpr const char* kTables[8] = {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA", "OTL_DA", "POFA_DA", "PLZ_DA", "STR_DA"};
constexpr std::string_view kNotADatafactoryFile = "Dies ist keine gültige Datafactory-Datei!";
constexpr std::string_view kDeleteQuestion = "Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?";

struct ImportOptions {
  std::string file;
  bool yes = false;
  bool json = false;
};

bool verification_ran(const frmPlzImport& form) {
  const std::string& notice = form.lbl_Delete.Caption();
  return form.lbl_Delete.Visible() && (notice == console::kNoticeAllOk || notice == console::kNoticeNotAllOk);
}

constexpr int32_t RecordCounters::*kCounters[8] = {&RecordCounters::GE, &RecordCounters::KG,
                                                   &RecordCounters::OE, &RecordCounters::OR,
                                                   &RecordCounters::OT, &RecordCounters::PF,
                                                   &RecordCounters::PL, &RecordCounters::ST};

// The outcome of the verification as the dialog shows it: per record type
// its caption colour, with the rows now in the table (after an import: the
// records the file delivered, which are in the table only when they were
// taken over).
int report_verification(Context& context, frmPlzImport& form, bool json, bool after_import = false) {
  bool all_ok = form.lbl_Delete.Caption() == console::kNoticeAllOk;
  nlohmann::json types = nlohmann::json::array();
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 8; ++i) {
    const Label& caption = form.caption_label(i);
    // Green verified, red failed; a caption in its normal colour is a type the file did not deliver.
    const bool ok = caption.ForeColor() == color::kGreen;
    const bool failed = caption.ForeColor() == color::kRed;
    const char* verdict = ok ? "OK" : failed ? "FEHLER" : "nicht geliefert";
    long long n = after_import ? session().counters.*kCounters[i] : context.count_rows(kTables[i]);
    types.push_back({{"typ", console::kRecordTypes[i].code},
                     {"tabelle", kTables[i]},
                     {"saetze", n},
                     {"ok", !failed},
                     {"pruefung", verdict}});
    rows.push_back({caption.Caption(), kTables[i], console::group_digits(n),
                    ok ? paint(verdict, Color::Green, context.stdout_color())
                       : failed ? paint(verdict, Color::Red, context.stdout_color()) : verdict});
  }
  if (json) {
    print_json({{"alle_ok", all_ok}, {"meldung", form.lbl_Delete.Caption()}, {"typen", types}});
  } else {
    print_table({"Satzart", "Tabelle", after_import ? "Sätze" : "Zeilen", "Prüfung"}, rows);
    std::cout << "\n"
              << paint(form.lbl_Delete.Caption(), all_ok ? Color::Green : Color::Red, context.stdout_color())
              << "\n";
    if (!all_ok && after_import)
      std::cout << "Die rot markierten Satzarten stimmen nicht mit den Prüfsätzen (XX) der Datei überein; die neuen "
                   "Daten wurden nicht übernommen. Die bisherigen Postdaten bleiben unverändert erhalten.\n";
    else if (!all_ok && context.count_rows("PRUEF_DA") == 0)
      std::cout << "Die Datenbank enthält keine Prüfsätze (XX), gegen die geprüft werden könnte. Importieren Sie "
                   "eine vollständige Datafactory-Datei: noxplz import DATEI\n";
    else if (!all_ok)
      std::cout << "Die rot markierten Satzarten stimmen nicht mit den Prüfsätzen (XX) der Datei überein. "
                   "Importieren Sie eine vollständige, unveränderte Datafactory-Datei erneut.\n";
  }
  return all_ok ? kOk : kNotVerified;
}

bool shown(Context& context, std::string_view prompt, int* answer = nullptr) {
  for (const auto& m : context.toolkit().messages())
    if (m.prompt == prompt) {
      if (answer) *answer = m.answer;
      return true;
    }
  return false;
}

// A message containing `part` was shown.
bool shown_part(Context& context, std::string_view part) {
  for (const auto& m : context.toolkit().messages())
    if (m.prompt.find(part) != std::string::npos) return true;
  return false;
}

void on_interrupt(int) { console::ConsoleToolkit::RequestCancel(); }

int run_import(const Globals& globals, const ImportOptions& options) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(options.file, ec))
    throw Failure(kInvalid, "Die Datei „" + options.file +
                                "“ gibt es nicht. Prüfen Sie den Pfad; eine Beispieldatei erzeugt "
                                "„noxplz generate --out beispiel.dat“.");
  if (!fs::is_regular_file(options.file, ec))
    throw Failure(kInvalid, "„" + options.file + "“ ist keine Datei. Geben Sie den Pfad einer Datafactory-Datei an.");
  auto size = fs::file_size(options.file, ec);

  AnswerOptions answers;
  answers.yes = options.yes;
  answers.yes_option = "--yes (Ja: vorhandene Daten löschen und importieren)";
  Context context(globals, answers);
  context.open_database();

  frmPlzImport form;
  form.raise_load();
  form.txtDatenDatei.Text(options.file);
  context.toolkit().WatchImport(form, ec ? 0 : size);
  auto previous = std::signal(SIGINT, on_interrupt);
  form.cmd_Importieren.Click();
  std::signal(SIGINT, previous);
  context.toolkit().EndWatch();

  context.check_questions();
  if (verification_ran(form)) return report_verification(context, form, options.json, true);
  int answer = 0;
  if (shown(context, kNotADatafactoryFile))
    throw Failure(kInvalid, "„" + options.file +
                                "“ ist keine Datafactory-Postalcode-Datei (die erste Zeile muss ein Satz einer "
                                "bekannten Satzart mit dem Endezeichen „$“ sein). Es wurde nichts gelöscht; die "
                                "Datenbank ist unverändert.");
  if (shown(context, kDeleteQuestion, &answer) && answer != mb::kYes)
    throw Failure(kInvalid, "Import nicht gestartet, weil die Frage mit Nein beantwortet wurde. Die Datenbank ist "
                            "unverändert. Mit --yes wird ohne Frage importiert.");
  if (shown_part(context, kImportRunningText))
    throw Failure(kError, "Der Import wurde nicht begonnen, weil auf dieselbe Datenbank gerade ein anderer Import "
                          "läuft. Die Datenbank ist unverändert.");
  if (shown_part(context, "kann nicht gelesen werden"))
    throw Failure(kInvalid, "„" + options.file + "“ kann nicht gelesen werden (siehe Meldung oben). Die Datenbank "
                            "ist unverändert.");
  if (shown_part(context, "bleiben unverändert erhalten"))
    throw Failure(kError, "Der Import ist mit einem Fehler abgebrochen (siehe Meldung oben). Die bisherigen "
                          "Postdaten bleiben unverändert erhalten. Beheben Sie die Ursache und importieren Sie die "
                          "Datei erneut.");
  throw Failure(kError, "Der Import ist mit einem Fehler abgebrochen (siehe Meldung oben); die Tabellen sind "
                        "unvollständig. Beheben Sie die Ursache und importieren Sie die Datei erneut.");
}

int run_verify(const Globals& globals, bool json) {
  Context context(globals, AnswerOptions{});
  context.open_database();
  frmPlzImport form;
  form.raise_load();
  clsPlzImport import;
  import.PruefeImport(form);
  if (!verification_ran(form))
    throw Failure(kError, "Die Prüfung ist mit einem Fehler abgebrochen (siehe Meldung oben). Prüfen Sie die "
                          "Datenbank und wiederholen Sie „noxplz verify“.");
  return report_verification(context, form, json);
}

}  // namespace

void add_import_commands(CLI::App& app, Globals& globals) {
  static ImportOptions import_options;
  auto* import = app.add_subcommand(
      "import", "importiert eine Datafactory-Postalcode-Datei (ersetzt alle Postdaten) und prüft sie");
  import->add_option("DATEI", import_options.file, "Pfad der Datafactory-Datei")->required();
  import->add_flag("-y,--yes,--ja", import_options.yes,
                   "löscht vorhandene Postdaten ohne Rückfrage (für Skripte)");
  import->add_flag("--json", import_options.json, "Prüfergebnis als JSON");
  import->callback([&globals] { exit_code() = run_guarded([&] { return run_import(globals, import_options); }); });

  static bool verify_json = false;
  auto* verify = app.add_subcommand(
      "verify", "prüft die Postdaten gegen die Prüfsätze (XX) der zuletzt importierten Datei");
  verify->add_flag("--json", verify_json, "Prüfergebnis als JSON");
  verify->callback([&globals] { exit_code() = run_guarded([&] { return run_verify(globals, verify_json); }); });
}

}  // namespace noxplz::cli
