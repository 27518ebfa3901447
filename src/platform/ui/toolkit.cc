#include "noxplz/error_log.h"
#include "noxplz/ui.h"

namespace noxplz {
namespace {

// The default when a host installs no toolkit: nobody can answer, so message
// boxes go to the error log, questions are answered No, and every form is
// closed at once as if the user closed its window.
class UnattendedToolkit : public Toolkit {
 public:
  int MsgBox(std::string_view prompt, int style, std::string_view title) override {
    error_log().Report({"MsgBox " + std::string(title), 0, std::string(prompt)});
    return (style & 0xF) == mb::kYesNo ? mb::kNo : mb::kOk;
  }
  void ShowModal(Form& form) override {
    form.raise_load();
    form.set_visible(true);
    form.raise_activate();
    form.CloseRequested();
    form.set_visible(false);
  }
  void Hide(Form& form) override { form.set_visible(false); }
  void DoEvents() override {}
  void SetMousePointer(int) override {}
  std::optional<FileChoice> OpenFile(const FileDialogRequest&) override { return std::nullopt; }
  void Repaint(Control&) override {}
};

std::shared_ptr<Toolkit>& current() {
  thread_local std::shared_ptr<Toolkit> tk = std::make_shared<UnattendedToolkit>();
  return tk;
}

}  // namespace

Toolkit& toolkit() { return *current(); }

std::shared_ptr<Toolkit> set_toolkit(std::shared_ptr<Toolkit> tk) {
  auto previous = current();
  current() = tk ? std::move(tk) : std::make_shared<UnattendedToolkit>();
  return previous;
}

int msg_box(std::string_view prompt, int style, std::string_view title) {
  return toolkit().MsgBox(prompt, style, title.empty() ? kDefaultCaption : title);
}

}  // namespace noxplz
