// QtToolkit: shows the dialogs as real Qt 6 windows. Link `noxplz_qt`.
//
//   QApplication app(argc, argv);            // or let QtToolkit create one
//   noxplz::ScopedToolkit use(std::make_shared<noxplz::QtToolkit>());
//   manager.PlzSuchenDialog(plz, ort, strasse, nr);
//
// Every form is rendered from its control models (design twips / 15 = pixels,
// times the screen scale); widgets and models stay in step both ways, and user
// input raises the models' events in the classic order: KeyDown, KeyPress
// (before the character lands), Change; selecting a list row raises Click,
// a double click DblClick. Forms are application-modal; Form::Hide ends the
// modal loop once the running handlers have returned. Closing a window by its
// frame calls Form::CloseRequested().
//
// Widgets live on the GUI thread: install a QtToolkit on that thread only;
// on any other thread its dialogs raise error 5 instead of showing.
// This header does not include Qt.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "noxplz/ui.h"

class QWidget;

namespace noxplz {

class QtToolkit : public Toolkit {
 public:
  // Uses the running QApplication, or creates one when there is none.
  QtToolkit();
  ~QtToolkit() override;
  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;

  int MsgBox(std::string_view prompt, int style, std::string_view title) override;
  void ShowModal(Form& form) override;
  void Hide(Form& form) override;
  void DoEvents() override;
  void SetMousePointer(int pointer) override;
  std::optional<FileChoice> OpenFile(const FileDialogRequest& request) override;
  void Repaint(Control& control) override;
  void SetFocus(Control& control) override;

  // The window showing `form`, or nullptr while it is not shown.
  QWidget* window(const Form& form) const;
  // The widget of `control` while its form is shown, else nullptr.
  QWidget* widget(const Control& control) const;
  // The forms on display, outermost first.
  std::vector<Form*> shown_forms() const;
  // The innermost window this toolkit shows (parent of message boxes).
  QWidget* top_window() const;
  // The mouse pointer last set (0 default, 11 hourglass).
  int mouse_pointer() const;

  // Called once a form's window is shown and activated, before its modal
  // loop starts (tests and the screenshot tool act on the dialog here).
  std::function<void(Form&)> on_form_shown;
  // Parent for forms and message boxes when no form is shown (the host's
  // main window); nullptr = the active window.
  QWidget* host_window = nullptr;

 private:
  // Error 5 on any thread but the application's (GUI) thread.
  void require_gui_thread() const;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace noxplz
