#include "testing/scripted_toolkit.h"

#include <gtest/gtest.h>

namespace noxplz::testing {
namespace {

const char* kind_name(auto kind) {
  static const char* const kNames[] = {"Meldung", "Formular", "Dateiauswahl"};
  return kNames[static_cast<int>(kind)];
}

}  // namespace

ScriptedToolkit::~ScriptedToolkit() { Verify(); }

ScriptedToolkit& ScriptedToolkit::ExpectMsgBox(std::string prompt, int answer, std::optional<int> style,
                                               std::optional<std::string> title) {
  steps_.push_back({Step::Kind::MsgBox, std::move(prompt), answer, style, std::move(title), {}, {}, {}});
  return *this;
}

ScriptedToolkit& ScriptedToolkit::ExpectForm(std::string form_name, std::function<void(Form&)> actions) {
  steps_.push_back({Step::Kind::Form, std::move(form_name), 0, {}, {}, std::move(actions), {}, {}});
  return *this;
}

ScriptedToolkit& ScriptedToolkit::ExpectOpenFile(std::optional<FileChoice> answer,
                                                 std::function<void(const FileDialogRequest&)> check) {
  steps_.push_back({Step::Kind::OpenFile, "", 0, {}, {}, {}, std::move(answer), std::move(check)});
  return *this;
}

void ScriptedToolkit::Verify() {
  for (size_t i = used_; i < steps_.size(); ++i)
    ADD_FAILURE() << "Skriptschritt nie benutzt: " << kind_name(steps_[i].kind) << " \"" << steps_[i].text << "\"";
  steps_.clear();
  used_ = 0;
}

std::optional<ScriptedToolkit::Step> ScriptedToolkit::next(Step::Kind kind, const std::string& what) {
  if (used_ >= steps_.size()) {
    ADD_FAILURE() << "Unerwartet angezeigt (" << kind_name(kind) << "): \"" << what << "\"";
    return std::nullopt;
  }
  const Step& s = steps_[used_];
  if (s.kind != kind) {
    ADD_FAILURE() << "Erwartet " << kind_name(s.kind) << " \"" << s.text << "\", angezeigt " << kind_name(kind)
                  << " \"" << what << "\"";
    return std::nullopt;
  }
  ++used_;
  return s;
}

int ScriptedToolkit::MsgBox(std::string_view prompt, int style, std::string_view title) {
  log_.push_back("MsgBox(" + std::to_string(style) + ", " + std::string(title) + "): " + std::string(prompt));
  auto step = next(Step::Kind::MsgBox, std::string(prompt));
  if (!step) return (style & 0xF) == mb::kYesNo ? mb::kNo : mb::kOk;
  EXPECT_EQ(step->text, prompt) << "Meldungstext";
  EXPECT_EQ(step->style.value_or(style), style) << "Stil der Meldung \"" << prompt << "\"";
  EXPECT_EQ(step->title.value_or(std::string(title)), title) << "Titel der Meldung \"" << prompt << "\"";
  return step->answer;
}

void ScriptedToolkit::ShowModal(Form& form) {
  log_.push_back("ShowModal: " + form.Name());
  form.raise_load();
  form.set_visible(true);
  form.raise_activate();
  auto step = next(Step::Kind::Form, form.Name());
  if (step) {
    EXPECT_EQ(step->text, form.Name()) << "Formular";
    if (step->actions) step->actions(form);
  }
  if (form.visible()) {
    if (step) ADD_FAILURE() << "Formular " << form.Name() << " ist nach den Skriptaktionen noch sichtbar";
    form.CloseRequested();
    form.set_visible(false);
  }
}

void ScriptedToolkit::Hide(Form& form) {
  log_.push_back("Hide: " + form.Name());
  form.set_visible(false);
}

void ScriptedToolkit::SetMousePointer(int pointer) {
  mouse_pointer_ = pointer;
  log_.push_back("MousePointer: " + std::to_string(pointer));
}

std::optional<FileChoice> ScriptedToolkit::OpenFile(const FileDialogRequest& request) {
  log_.push_back("OpenFile: " + request.title);
  auto step = next(Step::Kind::OpenFile, request.title);
  if (!step) return std::nullopt;
  if (step->file_check) step->file_check(request);
  return step->file;
}

}  // namespace noxplz::testing
