// Shared pieces of the noxplz program: global options, the database, the
// console dialogs, exit codes and output (tables, JSON, colours).
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/plz_manager.h"
#include "platform/ui/console/console_toolkit.h"

namespace CLI {
class App;
}

namespace noxplz::cli {

using console::group_digits;

// Exit codes of every command.
enum Exit : int {
  kOk = 0,           // done; for searches and imports: verified
  kError = 1,        // any other error (database, connection, program)
  kInvalid = 2,      // wrong call, missing or invalid file, a question answered No or not answerable
  kNotVerified = 3,  // done, but not (all) verified / nothing found
};

// A failure the program reports in German and ends with `code`.
struct Failure : std::runtime_error {
  Failure(int code, const std::string& message) : std::runtime_error(message), code(code) {}
  int code;
};

struct Globals {
  std::string db = "noxplz.db";
  std::string connection;
  bool db_given = false;
};

// Answers in advance for the console dialogs, as options of a command.
struct AnswerOptions {
  bool yes = false;
  bool no = false;
  std::vector<int> choices;
  std::vector<std::string> buttons;
  std::string yes_option = "--ja oder --nein";
};

// Everything a command needs while it runs: the console dialogs installed
// as the thread's toolkit, and (after open_database) an initialised manager.
class Context {
 public:
  Context(const Globals& globals, const AnswerOptions& answers, bool ask_nothing = false);
  ~Context();

  // Opens the database given by --db / --connection (a new --db file is
  // created with the postal tables) and starts the manager's session on it.
  void open_database();
  clsPlzManager& manager() { return *manager_; }
  const ConnectionPtr& connection() const { return connection_; }
  console::ConsoleToolkit& toolkit() { return *toolkit_; }
  // A question could not be answered: reports it as a Failure (exit 2).
  void check_questions() const;
  // Rows of a postal table (for summaries).
  long long count_rows(const std::string& table);
  // Where the data lives, for messages ("noxplz.db" or "der Verbindung").
  std::string source_name() const;
  // The connection string the session was started with (after open_database).
  const std::string& connection_string() const { return connection_string_; }

  bool stdout_color() const { return stdout_color_; }

 private:
  Globals globals_;
  std::shared_ptr<console::ConsoleToolkit> toolkit_;
  std::shared_ptr<Toolkit> previous_toolkit_;
  std::unique_ptr<clsPlzManager> manager_;
  ConnectionPtr connection_;
  std::string connection_string_;
  bool stdout_color_ = false;
};

// --- output ---
enum class Color { Green, Red, Yellow, Bold };
std::string paint(const std::string& text, Color color, bool enabled);

// A text table: header row, rows; columns padded by characters (not bytes).
// Cells are printed as given: data cells go through printable_row first.
void print_table(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);
// Texts that are no valid UTF-8 (data read back from a database) appear with
// U+FFFD in their place, so the output is always valid JSON.
void print_json(const nlohmann::json& value);
// Data cells made safe for the terminal: control characters (escape
// sequences included) and bytes that are no UTF-8 appear escaped.
std::vector<std::string> printable_row(std::vector<std::string> cells);

// A text argument of a command must be UTF-8: otherwise a Failure (exit 2)
// that names the option and the first bad byte.
void require_utf8(const std::string& value, const std::string& option);

// Registers the commands on the application.
void add_import_commands(CLI::App& app, Globals& globals);
void add_lookup_commands(CLI::App& app, Globals& globals);
void add_search_commands(CLI::App& app, Globals& globals);
void add_tool_commands(CLI::App& app, Globals& globals);
void add_list_commands(CLI::App& app, Globals& globals);

// `noxplz pruefe` without an address option: one address per line of
// standard input, checked like a line of `pruefe-liste`.
int run_pruefe_lines(const Globals& globals, bool json);

// Adds --ja/--nein, --auswahl, --antwort to a command.
void add_answer_options(CLI::App& command, AnswerOptions& answers, bool menus, bool buttons);

// The exit code the selected command leaves for main().
int& exit_code();

// Runs a command body: converts Failure and library errors into German
// messages and exit codes. Never lets an exception escape.
int run_guarded(const std::function<int()>& body);

}  // namespace noxplz::cli
