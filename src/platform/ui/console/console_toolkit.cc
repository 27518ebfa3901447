#include "platform/ui/console/console_toolkit.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <istream>
#include <ostream>

#include "platform/text.h"
#include "platform/ui/console/import_display.h"

namespace noxplz::console {
namespace {

volatile std::sig_atomic_t g_cancel_requested = 0;

std::string first_line(std::string_view s) {
  auto pos = s.find('\n');
  return std::string(pos == std::string_view::npos ? s : s.substr(0, pos));
}

std::string without_ampersand(std::string_view caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] != '&') continue;
    out += caption[i];
  }
  return out;
}

bool is_cancel_button(const Button& b) {
  return b.Cancel || text::equals_ci(without_ampersand(b.Caption()), "Abbrechen");
}

std::optional<bool> parse_yes_no(const std::string& answer) {
  std::string a = text::lower(text::trim(answer));
  if (a == "j" || a == "ja" || a == "y" || a == "yes") return true;
  if (a == "n" || a == "nein" || a == "no") return false;
  return std::nullopt;
}

std::optional<int> parse_number(const std::string& answer) {
  std::string a = text::trim(answer);
  if (a.empty() || a.size() > 9) return std::nullopt;
  for (char c : a)
    if (c < '0' || c > '9') return std::nullopt;
  return std::stoi(a);
}

}  // namespace

std::string group_digits(long long value) { return text::group_digits(value); }

ConsoleToolkit::ConsoleToolkit(ConsoleSettings settings, PresetAnswers answers)
    : settings_(settings), answers_(std::move(answers)) {}

ConsoleToolkit::~ConsoleToolkit() { EndWatch(); }

std::string ConsoleToolkit::access_key_label(std::string_view caption, char* key) {
  std::string out;
  char found = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] != '&' && !found) {
      found = caption[i + 1];
      out += '[';
      out += caption[i + 1];
      out += ']';
      ++i;
      continue;
    }
    out += caption[i];
  }
  if (!found && !out.empty()) {
    found = out[0];
    out = "[" + out.substr(0, 1) + "]" + out.substr(1);
  }
  if (key) *key = static_cast<char>(std::toupper(static_cast<unsigned char>(found)));
  return out;
}

void ConsoleToolkit::print_line(const std::string& line) {
  if (!settings_.ui) return;
  if (display_) display_->clear_line();
  *settings_.ui << line << "\n" << std::flush;
}

std::optional<std::string> ConsoleToolkit::read_line(const std::string& prompt) {
  if (display_) display_->clear_line();
  if (settings_.ui) *settings_.ui << prompt << std::flush;
  std::string line;
  if (!settings_.in || !std::getline(*settings_.in, line)) {
    if (settings_.ui) *settings_.ui << "\n" << std::flush;
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void ConsoleToolkit::cannot_ask(const std::string& question, const std::string& option) {
  std::string message = "Fehler: Die Frage „" + first_line(question) +
                        "“ kann nicht gestellt werden, weil die Standardeingabe kein Terminal ist. "
                        "Geben Sie die Antwort mit " + option +
                        " an oder rufen Sie den Befehl in einem Terminal auf.";
  if (!question_failed_) {
    question_failed_ = true;
    failure_message_ = message;
    print_line(message);
  }
}

int ConsoleToolkit::MsgBox(std::string_view prompt, int style, std::string_view title) {
  std::string head = title == kDefaultCaption || title.empty() ? "" : std::string(title) + ": ";
  bool question = (style & 0xF) == mb::kYesNo;
  ShownMessage shown{std::string(prompt), style, std::string(title), mb::kOk};
  if (!question) {
    print_line(head + std::string(prompt));
  } else if (question_failed_) {
    shown.answer = mb::kNo;  // after a failed question everything is answered No
  } else if (answers_.yes_no) {
    shown.answer = *answers_.yes_no ? mb::kYes : mb::kNo;
    print_line(head + std::string(prompt) + " [J]a/[N]ein: " + (*answers_.yes_no ? "Ja" : "Nein") +
               " (vorgegeben)");
  } else if (!settings_.interactive) {
    cannot_ask(std::string(prompt), answers_.yes_no_option);
    shown.answer = mb::kNo;
  } else {
    // With "Nein" as the default button an empty answer (Enter) is No.
    const bool no_default = (style & mb::kDefaultButton2) != 0;
    std::string ask = head + std::string(prompt) + (no_default ? " [j]a/[N]ein: " : " [J]a/[N]ein: ");
    shown.answer = mb::kNo;
    for (;;) {
      auto line = read_line(ask);
      if (!line) break;
      if (no_default && text::trim(*line).empty()) break;
      if (auto yes = parse_yes_no(*line)) {
        shown.answer = *yes ? mb::kYes : mb::kNo;
        break;
      }
      print_line("Bitte antworten Sie mit j (Ja) oder n (Nein).");
      ask = "[J]a/[N]ein: ";
    }
  }
  messages_.push_back(shown);
  return shown.answer;
}

void ConsoleToolkit::show_menu(Form& form, ListBox& list) {
  const int n = list.ListCount();
  print_line(form.Caption() + ":");
  for (int i = 0; i < n; ++i) {
    std::string number = std::to_string(i + 1);
    // List lines come from the data: escape sequences in them never reach the terminal.
    print_line(std::string(number.size() < 3 ? 3 - number.size() : 0, ' ') + number + "  " +
               text::printable(list.List(i)));
  }
  print_line("  0  Abbrechen");

  int choice = 0;
  if (question_failed_) {
    choice = 0;
  } else if (!answers_.choices.empty()) {
    choice = answers_.choices.front();
    answers_.choices.pop_front();
    if (choice < 0 || choice > n) {
      std::string message = "Fehler: Die vorgegebene Auswahl " + std::to_string(choice) + " gibt es in „" +
                            form.Caption() + "“ nicht; möglich sind 1 bis " + std::to_string(n) +
                            " oder 0 (Abbrechen). Passen Sie " + answers_.choice_option + " an.";
      if (!question_failed_) {
        question_failed_ = true;
        failure_message_ = message;
        print_line(message);
      }
      choice = 0;
    } else {
      print_line("Auswahl: " + std::to_string(choice) + " (vorgegeben)");
    }
  } else if (!settings_.interactive) {
    cannot_ask(form.Caption(), answers_.choice_option);
  } else {
    int preselected = list.ListIndex() >= 0 ? list.ListIndex() + 1 : 0;
    std::string range = n > 0 ? "1–" + std::to_string(n) + ", 0 = Abbrechen" : "0 = Abbrechen";
    std::string ask = "Auswahl (" + range + ")" + (preselected ? " [" + std::to_string(preselected) + "]" : "") + ": ";
    for (;;) {
      auto line = read_line(ask);
      if (!line) {
        choice = 0;
        break;
      }
      if (text::trim(*line).empty() && preselected) {
        choice = preselected;
        break;
      }
      auto number = parse_number(*line);
      if (number && *number <= n) {
        choice = *number;
        break;
      }
      print_line("Bitte geben Sie eine Zahl von " + std::string(n > 0 ? "1 bis " + std::to_string(n) + " oder " : "") +
                 "0 (Abbrechen) ein.");
    }
  }

  std::vector<Button*> buttons;
  for (Control* c : form.Controls())
    if (auto* b = dynamic_cast<Button*>(c)) buttons.push_back(b);
  Button* cancel = nullptr;
  Button* accept = nullptr;
  for (Button* b : buttons)
    if (is_cancel_button(*b) && !cancel) cancel = b;
  for (Button* b : buttons)
    if (b->Default && b != cancel) accept = b;
  if (!accept)
    for (Button* b : buttons)
      if (b != cancel && !accept) accept = b;

  if (choice > 0) {
    list.ClickRow(choice - 1);
    if (accept) {
      accept->Click();
    } else if (list.DblClick) {
      list.DblClick();
    }
  } else if (cancel) {
    cancel->Click();
  } else {
    form.CloseRequested();
  }
}

void ConsoleToolkit::show_buttons(Form& form, std::vector<Button*> buttons) {
  std::stable_sort(buttons.begin(), buttons.end(),
                   [](const Button* a, const Button* b) { return a->TabIndex() < b->TabIndex(); });
  Button* preferred = dynamic_cast<Button*>(form.focused());
  if (preferred) {
    auto it = std::find(buttons.begin(), buttons.end(), preferred);
    if (it != buttons.end()) std::rotate(buttons.begin(), it, it + 1);
  }
  print_line(form.Caption() + ":");
  for (Control* c : form.Controls())
    if (auto* l = dynamic_cast<Label*>(c); l && l->Visible() && !l->Caption().empty()) print_line(l->Caption());

  std::string choices;
  std::vector<char> keys;
  for (Button* b : buttons) {
    char key = 0;
    if (!choices.empty()) choices += "/";
    choices += access_key_label(b->Caption(), &key);
    keys.push_back(key);
  }
  auto button_for = [&](char key) -> Button* {
    key = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    for (size_t i = 0; i < buttons.size(); ++i)
      if (keys[i] == key && buttons[i]->Enabled()) return buttons[i];
    return nullptr;
  };

  Button* chosen = nullptr;
  if (question_failed_) {
    chosen = nullptr;
  } else if (!answers_.buttons.empty()) {
    char key = answers_.buttons.front();
    answers_.buttons.pop_front();
    chosen = button_for(key);
    if (!chosen) {
      std::string message = std::string("Fehler: Die vorgegebene Antwort „") + key + "“ passt zu keiner Schaltfläche von „" +
                            form.Caption() + "“ (" + choices + "). Passen Sie " + answers_.button_option + " an.";
      question_failed_ = true;
      failure_message_ = message;
      print_line(message);
    } else {
      print_line(choices + ": " + without_ampersand(chosen->Caption()) + " (vorgegeben)");
    }
  } else if (!settings_.interactive) {
    cannot_ask(form.Caption(), answers_.button_option);
  } else {
    std::string ask = choices + (preferred ? " [" + without_ampersand(preferred->Caption()) + "]" : "") + ": ";
    for (;;) {
      auto line = read_line(ask);
      if (!line) break;
      std::string answer = text::trim(*line);
      if (answer.empty() && preferred) {
        chosen = preferred;
        break;
      }
      if (!answer.empty() && (chosen = button_for(answer[0]))) break;
      print_line("Bitte antworten Sie mit einem der Buchstaben in eckigen Klammern.");
    }
  }
  if (chosen) {
    chosen->Click();
  } else {
    form.CloseRequested();  // as if the window was closed by its frame
  }
}

void ConsoleToolkit::show_import(Form& form) {
  std::string path = import_path_;
  if (path.empty()) {
    FileDialogRequest request;
    request.title = form.Caption();
    auto choice = OpenFile(request);
    if (!choice) return;
    path = (std::filesystem::path(choice->directory) / choice->file_name).string();
  }
  auto* box = dynamic_cast<TextBox*>(form.FindControl("txtDatenDatei"));
  auto* start = dynamic_cast<Button*>(form.FindControl("cmd_Importieren"));
  if (!box || !start) {
    print_line("Fehler: Das Fenster „" + form.Caption() + "“ hat kein Pfadfeld und keine Import-Schaltfläche.");
    return;
  }
  box->Text(path);
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  WatchImport(form, ec ? 0 : size);
  start->Click();
  EndWatch();
  auto* notice = dynamic_cast<Label*>(form.FindControl("lbl_Delete"));
  if (notice && notice->Visible() && (notice->Caption() == kNoticeAllOk || notice->Caption() == kNoticeNotAllOk))
    print_line(notice->Caption());
}

void ConsoleToolkit::ShowModal(Form& form) {
  form.raise_load();
  form.set_visible(true);
  form.raise_activate();

  std::vector<ListBox*> lists;
  std::vector<Button*> buttons;
  int text_boxes = 0;
  for (Control* c : form.Controls()) {
    if (auto* l = dynamic_cast<ListBox*>(c)) lists.push_back(l);
    if (auto* b = dynamic_cast<Button*>(c); b && b->Visible()) buttons.push_back(b);
    if (dynamic_cast<TextBox*>(c)) ++text_boxes;
  }
  if (form.Name() == "frmPlzImport") {
    show_import(form);
  } else if (lists.size() == 1 && text_boxes == 0) {
    show_menu(form, *lists.front());
  } else if (lists.empty() && text_boxes == 0 && !buttons.empty()) {
    show_buttons(form, buttons);
  } else {
    print_line("Fehler: Das Fenster „" + form.Caption() +
               "“ lässt sich auf der Konsole nicht bedienen. Verwenden Sie „noxplz dialog“ in einer "
               "grafischen Sitzung (Qt).");
  }
  if (form.visible()) {
    form.CloseRequested();
    form.set_visible(false);
  }
}

void ConsoleToolkit::Hide(Form& form) { form.set_visible(false); }

void ConsoleToolkit::RequestCancel() { g_cancel_requested = 1; }

void ConsoleToolkit::DoEvents() {
  if (!display_) return;
  if (g_cancel_requested) {
    g_cancel_requested = 0;
    if (auto* cancel = dynamic_cast<Button*>(display_->form().FindControl("cmd_Abbruch"))) {
      display_->clear_line();
      if (settings_.interactive) {
        cancel->Click();  // asks "Wollen Sie den Import wirklich abbrechen?"
      } else {
        // Nobody can answer: the interrupt itself is the answer.
        auto saved = answers_.yes_no;
        answers_.yes_no = true;
        cancel->Click();
        answers_.yes_no = saved;
      }
    }
  }
  if (display_) display_->tick();
}

void ConsoleToolkit::Repaint(Control& control) {
  if (display_ && &control.owner() == &display_->form()) display_->tick();
}

void ConsoleToolkit::WatchImport(Form& form, std::uintmax_t file_size) {
  EndWatch();
  display_ = std::make_unique<ImportDisplay>(*this, form, file_size);
}

void ConsoleToolkit::EndWatch() { display_.reset(); }

std::optional<FileChoice> ConsoleToolkit::OpenFile(const FileDialogRequest& request) {
  std::string title = request.title.empty() ? "Datei öffnen" : request.title;
  std::string path;
  if (question_failed_) return std::nullopt;
  if (!answers_.files.empty()) {
    path = answers_.files.front();
    answers_.files.pop_front();
    if (path.empty()) return std::nullopt;
  } else if (!settings_.interactive) {
    cannot_ask(title + ": Welche Datei?", answers_.file_option);
    return std::nullopt;
  } else {
    std::string types;
    for (const std::string& f : request.filters) {
      auto colon = f.find(':');
      std::string description = f.substr(0, colon);
      if (description.empty()) continue;
      types += (types.empty() ? "" : ", ") + description;
    }
    print_line(title + (types.empty() ? "" : " – " + types));
    for (;;) {
      auto line = read_line("Pfad der Datei (leer = Abbrechen): ");
      if (!line) return std::nullopt;
      path = text::trim(*line);
      if (path.empty()) return std::nullopt;
      std::error_code ec;
      if (std::filesystem::is_regular_file(path, ec)) break;
      print_line("Die Datei „" + path + "“ gibt es nicht. Geben Sie den Pfad einer vorhandenen Datei ein.");
    }
  }
  std::filesystem::path p = std::filesystem::absolute(path);
  return FileChoice{p.parent_path().string(), p.filename().string()};
}

}  // namespace noxplz::console
