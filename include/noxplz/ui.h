// UI seam: dialogs are forms made of plain control models; a Toolkit renders
// them (scripted in tests, on the terminal in the CLI, as Qt windows) and
// shows everything modal.
//
// Event rules follow the classic form runtime:
// - setting TextBox::Text by program raises Change (an unchanged text raises
//   nothing); a handler may suppress the next Change with SuppressNextChange();
// - setting ListBox::ListIndex raises Click (also when the index is unchanged,
//   as long as it is not -1);
// - typing a character raises KeyPress first (the handler may swallow the key
//   by setting it to 0), then the character lands and Change is raised; during
//   that Change TextBox::ChangedByKey() is true (a handler can tell the text a
//   key produced from a text set by program or edited without a character
//   key, such as Delete);
// - Button::Click() runs the click handler only when the button is enabled;
// - Return and Escape belong to the form (Form::PressReturn, PressEscape):
//   Return presses the focused button or else the default button, Escape the
//   cancel button; a form without a cancel button takes Escape as a close by
//   its window frame.
//
// Geometry is in twips (1/1440 inch); renderers use twips / 15 = pixels.
// Colours are 0x00BBGGRR; 0x80000000 + index names a system colour.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace noxplz {

namespace color {
inline constexpr int32_t kBlack = 0;
inline constexpr int32_t kRed = 255;
inline constexpr int32_t kGreen = 49152;
inline constexpr int32_t kBrightGreen = 65280;
inline constexpr int32_t kYellow = 65535;
inline constexpr int32_t kBlue = 16711680;
inline constexpr int32_t kWhite = 16777215;
inline constexpr int32_t kButtonFace = static_cast<int32_t>(0x8000000F);
inline constexpr int32_t kWindowText = static_cast<int32_t>(0x80000008);
inline constexpr int32_t kWindowBackground = static_cast<int32_t>(0x80000005);
inline constexpr int32_t kGrayText = static_cast<int32_t>(0x80000011);
inline constexpr int32_t kButtonText = static_cast<int32_t>(0x80000012);
}  // namespace color

namespace key {
inline constexpr int kBack = 8;
inline constexpr int kTab = 9;
inline constexpr int kReturn = 13;
inline constexpr int kEscape = 27;
inline constexpr int kUp = 38;
inline constexpr int kDown = 40;
inline constexpr int kLeft = 37;
inline constexpr int kRight = 39;
inline constexpr int kDelete = 46;
}  // namespace key

// Message box styles and answers.
namespace mb {
inline constexpr int kOkOnly = 0;
inline constexpr int kYesNo = 4;
inline constexpr int kQuestion = 32;
inline constexpr int kYesNoQuestion = 36;
// Added to a Yes/No style: "Nein" is the default button (Enter answers No).
inline constexpr int kDefaultButton2 = 256;
inline constexpr int kOk = 1;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace mb

// Caption of message boxes that have no title of their own.
inline constexpr std::string_view kDefaultCaption = "NoxPlz";

struct Geometry {
  int32_t left = 0, top = 0, width = 0, height = 0;  // twips
};

class Form;

class Control {
 public:
  enum class Kind { Label, TextBox, ListBox, Button, Picture };

  Control(Form& owner, std::string name, Kind kind, Geometry geometry, int32_t tab_index);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Kind kind() const { return kind_; }
  Form& owner() const { return owner_; }
  const Geometry& geometry() const { return geometry_; }
  int32_t TabIndex() const { return tab_index_; }

  bool Visible() const { return visible_; }
  void Visible(bool visible);
  bool Enabled() const { return enabled_; }
  void Enabled(bool enabled);

  // Asks the form's toolkit to move the keyboard focus here.
  void SetFocus();

  // Short help shown when the pointer rests on the control.
  const std::string& ToolTipText() const { return tool_tip_; }
  void ToolTipText(std::string_view text);

  // Renderers subscribe to learn of model changes (caption, text, items ...).
  std::function<void(Control&)> on_model_changed;

 protected:
  void changed();

 private:
  Form& owner_;
  std::string name_;
  Kind kind_;
  Geometry geometry_;
  int32_t tab_index_;
  bool visible_ = true;
  bool enabled_ = true;
  std::string tool_tip_;
};

class Label : public Control {
 public:
  Label(Form& owner, std::string name, Geometry geometry, std::string caption = {},
        int32_t tab_index = -1);
  const std::string& Caption() const { return caption_; }
  void Caption(std::string_view caption);
  int32_t ForeColor() const { return fore_color_; }
  void ForeColor(int32_t color);
  int32_t BackColor() const { return back_color_; }
  void BackColor(int32_t color);
  // Repaints at once (the toolkit draws the label before the caller goes on).
  void Refresh();

 private:
  std::string caption_;
  int32_t fore_color_ = color::kWindowText;
  int32_t back_color_ = color::kButtonFace;
};

class TextBox : public Control {
 public:
  TextBox(Form& owner, std::string name, Geometry geometry, int32_t tab_index);
  const std::string& Text() const { return text_; }
  // Sets the text; raises Change when it differs from the current one.
  void Text(std::string_view text);
  const std::string& Tag() const { return tag_; }
  void Tag(std::string_view tag) { tag_ = std::string(tag); }
  int32_t BackColor() const { return back_color_; }
  void BackColor(int32_t color);
  // The next Change event is not raised (for a handler updating a box by program).
  void SuppressNextChange() { suppress_change_ = true; }

  // User input: one character typed at the end of the text (UTF-8 code point
  // or key::kBack). Raises KeyPress, then (unless swallowed) changes the text.
  void TypeKey(std::string_view character);
  // The text as a typed character key left it (toolkits call this after the
  // key's KeyPress): like Text(), with ChangedByKey() true during Change.
  void KeyText(std::string_view text);
  // True while Change runs for a text that a typed character produced.
  bool ChangedByKey() const { return changed_by_key_; }
  void TypeText(std::string_view text);  // TypeKey for each code point
  // User input: a key pressed that is no character (arrows, ...). Raises KeyDown.
  void PressKey(int key_code, int shift = 0);

  std::function<void()> Change;
  std::function<void(int& key_ascii)> KeyPress;
  std::function<void(int& key_code, int shift)> KeyDown;

 private:
  void set_text(std::string_view text, bool by_key);

  std::string text_;
  std::string tag_;
  int32_t back_color_ = color::kWhite;
  bool suppress_change_ = false;
  bool changed_by_key_ = false;
};

// Lines a list makes only when they are read: a list of tens of thousands
// of entries makes the few a view shows. A line once made stays the same.
// Read from the thread that owns the list's form.
class ListLines {
 public:
  virtual ~ListLines() = default;
  virtual size_t size() const = 0;
  // Line i (0 <= i < size()); the reference stays valid while the object lives.
  virtual const std::string& line(size_t i) const = 0;
};

class ListBox : public Control {
 public:
  ListBox(Form& owner, std::string name, Geometry geometry, int32_t tab_index);
  void Clear();
  void AddItem(std::string_view item);
  // Replaces all items at once (the selection is cleared as by Clear). The
  // lines are shared, not copied: a long list kept elsewhere costs nothing.
  void SetItems(std::shared_ptr<const std::vector<std::string>> items);
  // The same with lines made when read (see ListLines).
  void SetLines(std::shared_ptr<const ListLines> lines);
  int32_t ListCount() const;
  // Item i; error 381 (invalid index) outside 0..ListCount-1. A view reads
  // the items it shows this way, so lines set by SetLines are made then.
  const std::string& List(int32_t index) const;
  // All items; lines set by SetLines are all made for it.
  const std::vector<std::string>& Items() const;
  // Counts the times the items were cleared or replaced: a view that shows
  // them rebuilds when it changes, and only appends otherwise.
  uint64_t ItemsGeneration() const { return generation_; }
  int32_t ListIndex() const { return list_index_; }
  // Selects a row (-1 = none); raises Click for a row. Error 380 outside -1..ListCount-1.
  void ListIndex(int32_t index);

  // User input: clicks / double-clicks a row (selects it first), presses a key.
  void ClickRow(int32_t index);
  void DoubleClickRow(int32_t index);
  void PressKey(int key_code, int shift = 0);

  std::function<void()> Click;
  std::function<void()> DblClick;
  std::function<void(int& key_code, int shift)> KeyDown;

 private:
  // Clear, SetItems and SetLines: new items, no selection.
  void Replace(std::shared_ptr<const std::vector<std::string>> items, std::shared_ptr<const ListLines> lines);

  std::shared_ptr<const std::vector<std::string>> items_;  // null: none (or lines_)
  std::vector<std::string>* own_items_ = nullptr;         // items_ when made here by AddItem
  std::shared_ptr<const ListLines> lines_;                 // the items when set by SetLines
  mutable std::shared_ptr<const std::vector<std::string>> made_;  // all of lines_, once Items() asked
  uint64_t generation_ = 0;
  int32_t list_index_ = -1;
};

class Button : public Control {
 public:
  Button(Form& owner, std::string name, Geometry geometry, std::string caption, int32_t tab_index);
  const std::string& Caption() const { return caption_; }
  void Caption(std::string_view caption);
  // User input: clicks the button (ignored while disabled).
  void Click();
  bool Default = false;  // Return presses it
  bool Cancel = false;   // Escape presses it
  std::function<void()> OnClick;

 private:
  std::string caption_;
};

// A fixed image; the toolkit chooses the picture by name.
class Picture : public Control {
 public:
  enum class Image { None, Question, Information, Warning };
  Picture(Form& owner, std::string name, Geometry geometry, Image image);
  Image image() const { return image_; }

 private:
  Image image_;
};

class Toolkit;

// A dialog: control models, design geometry and handlers. Subclasses declare
// their controls as members (registered in declaration order) and wire events.
class Form {
 public:
  Form(std::string name, std::string caption, Geometry geometry);
  virtual ~Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void Caption(std::string_view caption);
  const Geometry& geometry() const { return geometry_; }
  int32_t BackColor() const { return back_color_; }
  void BackColor(int32_t color) { back_color_ = color; }

  const std::vector<Control*>& Controls() const { return controls_; }
  Control* FindControl(std::string_view name) const;
  template <class T>
  T& control(std::string_view name) const {
    auto* c = dynamic_cast<T*>(FindControl(name));
    if (!c) throw std::logic_error("no such control: " + std::string(name));
    return *c;
  }

  // Lifecycle, called by the toolkit / callers.
  void Show();      // shows the form modally on the thread's toolkit; returns when hidden
  void Hide();      // ends the modal display
  void Unload();    // raises Form_Unload once; the form is gone for the user
  bool visible() const { return visible_; }
  bool loaded() const { return loaded_; }

  // User input: the Return key (the focused button, else the default
  // button) and the Escape key (the cancel button; without one, as a close
  // by the window frame). A disabled or hidden button is not pressed.
  void PressReturn();
  void PressEscape();
  Button* DefaultButton() const;
  Button* CancelButton() const;

  // Handlers a form overrides.
  virtual void Form_Load() {}
  virtual void Form_Activate() {}
  // The user closes the window by its frame. Default: hide.
  virtual void CloseRequested() { Hide(); }
  virtual void Form_Unload() {}

  // Called by toolkits.
  void raise_load();
  void raise_activate() { Form_Activate(); }
  void set_visible(bool visible) { visible_ = visible; }
  void set_focused(Control* control) { focused_ = control; }
  Control* focused() const { return focused_; }

  std::function<void(Form&)> on_model_changed;

 private:
  friend class Control;
  void add(Control* control) { controls_.push_back(control); }

  std::string name_;
  std::string caption_;
  Geometry geometry_;
  int32_t back_color_ = color::kButtonFace;
  std::vector<Control*> controls_;
  Control* focused_ = nullptr;
  bool visible_ = false;
  bool loaded_ = false;
  bool unloaded_ = false;
};

struct FileDialogRequest {
  std::string title;
  std::string file_name;  // proposed file name
  // "Description:pattern" entries in the order they were added,
  // e.g. {"Alle Dateien (*.*):*.*", "Datafactory Postalcode (*.dat):*.dat"}.
  std::vector<std::string> filters;
  std::string initial_dir;
  // The caller's three options and the always-on one, in the order they were set.
  bool option1 = false, option3 = false, option2 = false, always_on = true;
};

struct FileChoice {
  std::string directory;
  std::string file_name;
};

// Shows forms and everything modal. Implementations: scripted (tests),
// console (CLI), Qt (real windows), and the unattended default.
class Toolkit {
 public:
  virtual ~Toolkit() = default;
  // Shows a message box and returns the answer (mb::kOk, kYes, kNo).
  // `title` is never empty here: msg_box() fills in the default caption.
  virtual int MsgBox(std::string_view prompt, int style, std::string_view title) = 0;
  // Shows `form` modally: loads it if needed, activates it, and returns once
  // it is hidden (Form::Hide) or closed.
  virtual void ShowModal(Form& form) = 0;
  // Ends the modal display of `form`.
  virtual void Hide(Form& form) = 0;
  // Lets the user interface process pending events (repaints, clicks).
  virtual void DoEvents() = 0;
  // 0 default pointer, 11 hourglass.
  virtual void SetMousePointer(int pointer) = 0;
  // Asks for an existing file; nullopt when the user cancels.
  virtual std::optional<FileChoice> OpenFile(const FileDialogRequest& request) = 0;
  // Draws a control at once.
  virtual void Repaint(Control& control) = 0;
  // Moves the keyboard focus.
  virtual void SetFocus(Control& control) { control.owner().set_focused(&control); }
};

// Toolkit of the current thread. Default: the unattended toolkit, which
// writes message boxes to the error log, answers questions with No, and
// closes every form at once (as if the user closed it by its frame).
Toolkit& toolkit();
std::shared_ptr<Toolkit> set_toolkit(std::shared_ptr<Toolkit> toolkit);  // returns the previous one

// Keeps a toolkit installed for a scope.
class ScopedToolkit {
 public:
  explicit ScopedToolkit(std::shared_ptr<Toolkit> toolkit) : previous_(set_toolkit(std::move(toolkit))) {}
  ~ScopedToolkit() { set_toolkit(std::move(previous_)); }
  ScopedToolkit(const ScopedToolkit&) = delete;
  ScopedToolkit& operator=(const ScopedToolkit&) = delete;

 private:
  std::shared_ptr<Toolkit> previous_;
};

// Message box on the thread's toolkit; an empty title becomes "NoxPlz".
int msg_box(std::string_view prompt, int style = mb::kOkOnly, std::string_view title = {});

}  // namespace noxplz
