#include "cli.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "noxplz/error.h"
#include "noxplz/schema.h"
#include "platform/text.h"

namespace noxplz::cli {
namespace {

constexpr const char* kPostalTables[] = {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA", "OTL_DA",
                                         "POFA_DA",  "PLZ_DA", "STR_DA", "PRUEF_DA"};

bool colors_allowed() { return std::getenv("NO_COLOR") == nullptr; }

int terminal_width() {
  winsize ws{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    int n = std::atoi(columns);
    if (n > 0) return n;
  }
  return 100;
}

}  // namespace

int& exit_code() {
  static int code = kOk;
  return code;
}

Context::Context(const Globals& globals, const AnswerOptions& answers, bool ask_nothing) : globals_(globals) {
  console::ConsoleSettings settings;
  settings.in = &std::cin;
  settings.ui = &std::cerr;
  settings.interactive = !ask_nothing && isatty(STDIN_FILENO);
  settings.live = isatty(STDERR_FILENO);
  settings.color = settings.live && colors_allowed();
  settings.width = terminal_width();
  stdout_color_ = isatty(STDOUT_FILENO) && colors_allowed();

  console::PresetAnswers preset;
  if (answers.yes) preset.yes_no = true;
  if (answers.no) preset.yes_no = false;
  preset.choices.assign(answers.choices.begin(), answers.choices.end());
  for (const std::string& b : answers.buttons)
    if (!b.empty()) preset.buttons.push_back(b[0]);
  preset.yes_no_option = answers.yes_option;
  preset.choice_option = "--auswahl N (1 = erste Zeile, 0 = Abbrechen)";
  preset.button_option = "--antwort P, O oder N (Postleitzahl, Ort, Nein)";
  preset.file_option = "dem Dateipfad als Argument";
  if (ask_nothing) {
    const std::string none = "keiner Option: dieser Befehl stellt keine Fragen (für Fragen „noxplz suche“ verwenden)";
    preset.yes_no_option = preset.choice_option = preset.button_option = none;
  }
  toolkit_ = std::make_shared<console::ConsoleToolkit>(settings, std::move(preset));
  previous_toolkit_ = set_toolkit(toolkit_);
}

Context::~Context() {
  manager_.reset();  // ends the session before the toolkit goes
  set_toolkit(previous_toolkit_);
}

std::string Context::source_name() const {
  return globals_.connection.empty() ? "„" + globals_.db + "“" : "der Datenbank der Verbindung";
}

void Context::open_database() {
  namespace fs = std::filesystem;
  std::string connection_string;
  if (!globals_.connection.empty()) {
    connection_string = globals_.connection;
    try {
      connection_ = open_connection(connection_string);
    } catch (const Error& e) {
      throw Failure(kError, "Die Datenbankverbindung lässt sich nicht öffnen (" + format_error_number(e) +
                                "). Prüfen Sie die Verbindungszeichenfolge bei --connection, zum Beispiel "
                                "\"Provider=SQLite;Data Source=plz.db\".");
    }
  } else {
    const std::string& path = globals_.db;
    connection_string = sqlite_connection_string(path);
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (fs::is_directory(status))
      throw Failure(kError, "„" + path + "“ ist ein Verzeichnis. Geben Sie mit --db den Pfad einer Datenbankdatei an.");
    if (!fs::exists(status)) {
      fs::path parent = fs::path(path).parent_path();
      if (!parent.empty() && !fs::is_directory(parent, ec))
        throw Failure(kError, "Das Verzeichnis „" + parent.string() +
                                  "“ für die Datenbank gibt es nicht. Legen Sie es an oder wählen Sie mit --db "
                                  "einen anderen Pfad.");
      try {
        connection_ = create_postal_database(path);
      } catch (const Error& e) {
        throw Failure(kError, "Die Datenbank „" + path + "“ lässt sich nicht anlegen (" + format_error_number(e) +
                                  "). Prüfen Sie Pfad und Schreibrechte bei --db.");
      }
      std::cerr << "Neue Postdatenbank angelegt: " << path << "\n";
    } else {
      try {
        connection_ = open_connection(connection_string);
      } catch (const Error& e) {
        throw Failure(kError, "„" + path + "“ ist keine Postdatenbank oder lässt sich nicht öffnen (" +
                                  format_error_number(e) +
                                  "). Geben Sie mit --db eine von noxplz angelegte Datenbank an oder einen neuen "
                                  "Dateinamen (die Datei wird dann mit den Posttabellen angelegt).");
      }
    }
  }
  for (const char* table : kPostalTables) {
    try {
      connection_->Execute(std::string("SELECT COUNT(*) AS Anzahl FROM ") + table + " WHERE 1 = 0");
    } catch (const Error& e) {
      throw Failure(kError, source_name() + " ist keine Postdatenbank: die Tabelle " + table +
                                " fehlt oder ist nicht lesbar (" + format_error_number(e) +
                                "). Geben Sie mit --db eine neue Datei an (noxplz legt sie mit den Posttabellen "
                                "an) oder legen Sie die Tabellen in der Serverdatenbank mit „noxplz --connection … "
                                "init“ bzw. den Skripten in schema/ an.");
    }
  }
  connection_string_ = connection_string;
  manager_ = std::make_unique<clsPlzManager>();
  if (!manager_->Init(nullptr, connection_string, connection_))
    throw Failure(kError, "Die Sitzung auf " + source_name() +
                              " ließ sich nicht beginnen. Prüfen Sie die Meldung oben und die Datenbank.");
}

void Context::check_questions() const {
  if (toolkit_->question_failed()) throw Failure(kInvalid, "");  // the toolkit has printed why
}

long long Context::count_rows(const std::string& table) {
  auto rs = connection_->Execute("SELECT COUNT(*) AS Anzahl FROM " + table);
  return rs->Eof() ? 0 : rs->Field("Anzahl").as_long();
}

std::string paint(const std::string& text, Color color, bool enabled) {
  if (!enabled) return text;
  const char* code = "";
  switch (color) {
    case Color::Green: code = "\033[32m"; break;
    case Color::Red: code = "\033[31m"; break;
    case Color::Yellow: code = "\033[33m"; break;
    case Color::Bold: code = "\033[1m"; break;
  }
  return code + text + "\033[0m";
}

void print_table(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> width(header.size(), 0);
  auto measure = [&](const std::vector<std::string>& row) {
    for (size_t i = 0; i < row.size() && i < width.size(); ++i) width[i] = std::max(width[i], text::length(row[i]));
  };
  measure(header);
  for (const auto& row : rows) measure(row);
  auto print_row = [&](const std::vector<std::string>& row) {
    std::string line;
    for (size_t i = 0; i < row.size() && i < width.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(width[i] - text::length(row[i]) + 2, ' ');
    }
    std::cout << text::trim_right(line) << "\n";
  };
  print_row(header);
  std::vector<std::string> rule;
  for (size_t w : width) {
    std::string r;
    for (size_t i = 0; i < w; ++i) r += "─";
    rule.push_back(r);
  }
  print_row(rule);
  for (const auto& row : rows) print_row(row);
}

void print_json(const nlohmann::json& value) {
  std::cout << value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

std::vector<std::string> printable_row(std::vector<std::string> cells) {
  for (std::string& cell : cells) cell = text::printable(cell);
  return cells;
}

void require_utf8(const std::string& value, const std::string& option) {
  const size_t bad = text::first_invalid_utf8(value);
  if (bad == std::string::npos) return;
  static const char* kHex = "0123456789ABCDEF";
  const unsigned char byte = static_cast<unsigned char>(value[bad]);
  const std::string hex = std::string("0x") + kHex[byte >> 4] + kHex[byte & 0xF];
  throw Failure(kInvalid, "Die Angabe bei " + option + " ist kein gültiger UTF-8-Text (Byte " + hex + " an Stelle " +
                              std::to_string(bad + 1) +
                              "). Stellen Sie die Zeichenkodierung des Terminals oder Skripts auf UTF-8 um und "
                              "geben Sie die Angabe erneut ein.");
}

void add_answer_options(CLI::App& command, AnswerOptions& answers, bool menus, bool buttons) {
  auto* yes = command.add_flag("-j,--ja", answers.yes, "beantwortet jede Ja/Nein-Frage mit Ja");
  auto* no = command.add_flag("--nein", answers.no, "beantwortet jede Ja/Nein-Frage mit Nein");
  yes->excludes(no);
  if (menus)
    command.add_option("--auswahl", answers.choices,
                       "wählt in Auswahllisten die Zeile N (1 = erste, 0 = Abbrechen); mehrfach für "
                       "mehrere Listen, der Reihe nach")
        ->check(CLI::NonNegativeNumber);
  if (buttons)
    command.add_option("--antwort", answers.buttons,
                       "beantwortet „Postleitzahl und Bestimmungsort stimmen nicht überein“: P (Postleitzahl "
                       "richtig), O (Ort richtig) oder N (Nein)")
        ->check(CLI::IsMember({"P", "O", "N", "p", "o", "n"}));
}

int run_guarded(const std::function<int()>& body) {
  try {
    return body();
  } catch (const Failure& f) {
    if (f.what()[0] != '\0') std::cerr << "Fehler: " << f.what() << "\n";
    return f.code;
  } catch (const Error& e) {
    std::cerr << "Fehler: Die Datenbank meldet " << format_error_number(e)
              << ". Prüfen Sie die Datenbank (--db oder --connection) und versuchen Sie es erneut.\n";
    return kError;
  } catch (const std::exception& e) {
    std::cerr << "Fehler: Unerwarteter Programmfehler (" << e.what()
              << "). Bitte melden Sie ihn zusammen mit dem Aufruf, der ihn ausgelöst hat.\n";
    return kError;
  }
}

}  // namespace noxplz::cli
