// A Toolkit for tests: the test scripts, in order, every message box answer,
// every form interaction and every file-dialog answer it expects. Anything
// shown that the script did not expect fails the test, and so does a
// scripted step that was never used (checked at destruction or by Verify()).
//
//   auto tk = std::make_shared<ScriptedToolkit>();
//   tk->ExpectMsgBox("Straße nicht gefunden! ...", mb::kYes)
//     .ExpectForm("frmAuswahl", [](Form& f) {
//        f.control<ListBox>("lst_Auswahl").ClickRow(1);
//        f.control<Button>("cmd_Uebernehmen").Click();
//      });
//   ScopedToolkit use(tk);
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "noxplz/ui.h"

namespace noxplz::testing {

class ScriptedToolkit : public Toolkit {
 public:
  ~ScriptedToolkit() override;

  // Expects a message box with exactly this prompt; answers `answer`.
  // `style` / `title`, when given, must match too (the title as shown, so an
  // untitled box has "NoxPlz").
  ScriptedToolkit& ExpectMsgBox(std::string prompt, int answer = mb::kOk,
                                std::optional<int> style = std::nullopt,
                                std::optional<std::string> title = std::nullopt);
  // Expects the modal display of the form named `form_name`; `actions` plays
  // the user (click, type, close by frame). The form must be hidden when the
  // actions return; otherwise the test fails and the form is closed.
  ScriptedToolkit& ExpectForm(std::string form_name, std::function<void(Form&)> actions);
  // Expects a file-open dialog; nullopt = the user cancels.
  ScriptedToolkit& ExpectOpenFile(std::optional<FileChoice> answer,
                                  std::function<void(const FileDialogRequest&)> check = {});

  // Fails the test for every unused step; clears the script.
  void Verify();

  // What was shown, one line per event: "MsgBox(style, title): prompt",
  // "ShowModal: frmName", "Hide: frmName", "OpenFile: title", "MousePointer: 11".
  const std::vector<std::string>& log() const { return log_; }
  int mouse_pointer() const { return mouse_pointer_; }
  // Called on every DoEvents (e.g. to press "Abbrechen" during an import).
  std::function<void()> on_do_events;

  int MsgBox(std::string_view prompt, int style, std::string_view title) override;
  void ShowModal(Form& form) override;
  void Hide(Form& form) override;
  void DoEvents() override {
    if (on_do_events) on_do_events();
  }
  void SetMousePointer(int pointer) override;
  std::optional<FileChoice> OpenFile(const FileDialogRequest& request) override;
  void Repaint(Control&) override {}

 private:
  struct Step {
    enum class Kind { MsgBox, Form, OpenFile } kind = Kind::MsgBox;
    std::string text;  // prompt or form name
    int answer = 0;
    std::optional<int> style;
    std::optional<std::string> title;
    std::function<void(Form&)> actions;
    std::optional<FileChoice> file;
    std::function<void(const FileDialogRequest&)> file_check;
  };
  std::optional<Step> next(Step::Kind kind, const std::string& what);

  std::vector<Step> steps_;
  size_t used_ = 0;
  std::vector<std::string> log_;
  int mouse_pointer_ = 0;
};

}  // namespace noxplz::testing
