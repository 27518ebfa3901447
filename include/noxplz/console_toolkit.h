// ConsoleToolkit: the component's dialogs on a text terminal (the noxplz
// program uses it). Link `NoxPlz::console` (pkg-config: noxplz-console).
//
//   noxplz::console::ConsoleSettings s{&std::cin, &std::cerr, true, true};
//   noxplz::ScopedToolkit use(std::make_shared<noxplz::console::ConsoleToolkit>(s));
//
// - Message boxes: OK boxes are printed; Yes/No boxes become "[J]a/[N]ein"
//   prompts.
// - Forms are rendered from their control models: a form with one list box
//   (frmAuswahl) becomes a numbered menu with 0 = Abbrechen; a form of labels
//   and buttons (frmChkPlzOrt) becomes a one-letter question built from the
//   buttons' access keys ("[P]ostleitzahl/[O]rt/[N]ein"); the import dialog
//   frmPlzImport runs its import with a progress display.
// - The file chooser is a path prompt.
//
// Answers can be given in advance (command-line options); a question without
// an answer in advance is asked on the terminal. When the input is no
// terminal, the question is not asked: the toolkit prints a German message
// naming the option that answers it, answers No / Abbrechen (so nothing is
// changed) and remembers the failure (question_failed()). It never waits for
// input that cannot come.
//
// All dialog output goes to the `ui` stream (standard error in the CLI), so
// that standard output carries only results.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "noxplz/ui.h"

namespace noxplz::console {

// Answers given in advance, consumed in order.
struct PresetAnswers {
  std::optional<bool> yes_no;  // every Yes/No question
  std::deque<int> choices;     // menus: 1..n a line, 0 Abbrechen
  std::deque<char> buttons;    // button questions: the access key letter
  std::deque<std::string> files;  // file chooser: a path ("" = Abbrechen)
  // How the CLI spells the options, for the message when an answer is missing.
  std::string yes_no_option = "--ja oder --nein";
  std::string choice_option = "--auswahl N";
  std::string button_option = "--antwort BUCHSTABE";
  std::string file_option = "den Dateipfad als Argument";
};

struct ConsoleSettings {
  std::istream* in = nullptr;   // answers typed by the user
  std::ostream* ui = nullptr;   // prompts, messages, progress
  bool interactive = false;     // `in` is a terminal: questions may be asked
  bool live = false;            // `ui` is a terminal: progress as one line rewritten in place
  bool color = false;           // colours on `ui`
  int width = 100;              // terminal width for the live line
};

// One message box as it was shown and answered.
struct ShownMessage {
  std::string prompt;
  int style = 0;
  std::string title;
  int answer = 0;
};

class ImportDisplay;

class ConsoleToolkit : public Toolkit {
 public:
  ConsoleToolkit(ConsoleSettings settings, PresetAnswers answers = {});
  ~ConsoleToolkit() override;

  int MsgBox(std::string_view prompt, int style, std::string_view title) override;
  void ShowModal(Form& form) override;
  void Hide(Form& form) override;
  void DoEvents() override;
  void SetMousePointer(int pointer) override { mouse_pointer_ = pointer; }
  std::optional<FileChoice> OpenFile(const FileDialogRequest& request) override;
  void Repaint(Control& control) override;

  // Shows the progress of an import into `form` (frmPlzImport) while it runs:
  // notices, counts per record type, share of the file read. `file_size` is
  // the size of the data file in bytes (0 = unknown).
  void WatchImport(Form& form, std::uintmax_t file_size);
  void EndWatch();
  // Asks the import to stop at the next yield (as the cancel button would):
  // safe to call from a signal handler.
  static void RequestCancel();

  // The path that the import dialog imports when shown (instead of asking).
  void SetImportPath(std::string path) { import_path_ = std::move(path); }

  // True once a question could not be answered (no terminal, no answer in advance).
  bool question_failed() const { return question_failed_; }
  // The first such question's message (German, names the option).
  const std::string& failure_message() const { return failure_message_; }
  const std::vector<ShownMessage>& messages() const { return messages_; }
  int mouse_pointer() const { return mouse_pointer_; }

  // "[P]ostleitzahl" for "&Postleitzahl"; the access key letter in `key`.
  static std::string access_key_label(std::string_view caption, char* key = nullptr);

 private:
  friend class ImportDisplay;
  enum class Ask { Answer, Cancel };
  // Reads one line; nullopt at the end of the input.
  std::optional<std::string> read_line(const std::string& prompt);
  void cannot_ask(const std::string& question, const std::string& option);
  void print_line(const std::string& text);  // clears a live progress line first

  void show_menu(Form& form, ListBox& list);
  void show_buttons(Form& form, std::vector<Button*> buttons);
  void show_import(Form& form);

  ConsoleSettings settings_;
  PresetAnswers answers_;
  std::vector<ShownMessage> messages_;
  bool question_failed_ = false;
  std::string failure_message_;
  int mouse_pointer_ = 0;
  std::string import_path_;
  std::unique_ptr<ImportDisplay> display_;
};

// "12.345" (German thousands separator).
std::string group_digits(long long value);

}  // namespace noxplz::console
