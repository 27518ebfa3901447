#include "noxplz/error.h"
#include "noxplz/ui.h"
#include "platform/text.h"

namespace noxplz {

Control::Control(Form& owner, std::string name, Kind kind, Geometry geometry, int32_t tab_index)
    : owner_(owner), name_(std::move(name)), kind_(kind), geometry_(geometry), tab_index_(tab_index) {
  owner_.add(this);
}

void Control::Visible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  changed();
}

void Control::Enabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  changed();
}

void Control::ToolTipText(std::string_view text) {
  if (tool_tip_ == text) return;
  tool_tip_ = std::string(text);
  changed();
}

void Control::SetFocus() {
  if (!visible_ || !enabled_) throw Error(5, "Ungültiger Prozeduraufruf oder ungültiges Argument");
  toolkit().SetFocus(*this);
}

void Control::changed() {
  if (on_model_changed) on_model_changed(*this);
}

// --- Label ---

Label::Label(Form& owner, std::string name, Geometry geometry, std::string caption, int32_t tab_index)
    : Control(owner, std::move(name), Kind::Label, geometry, tab_index), caption_(std::move(caption)) {}

void Label::Caption(std::string_view caption) {
  if (caption_ == caption) return;
  caption_ = std::string(caption);
  changed();
}

void Label::ForeColor(int32_t c) {
  if (fore_color_ == c) return;
  fore_color_ = c;
  changed();
}

void Label::BackColor(int32_t c) {
  if (back_color_ == c) return;
  back_color_ = c;
  changed();
}

void Label::Refresh() { toolkit().Repaint(*this); }

// --- TextBox ---

TextBox::TextBox(Form& owner, std::string name, Geometry geometry, int32_t tab_index)
    : Control(owner, std::move(name), Kind::TextBox, geometry, tab_index) {}

void TextBox::Text(std::string_view text) { set_text(text, false); }

void TextBox::KeyText(std::string_view text) { set_text(text, true); }

void TextBox::set_text(std::string_view text, bool by_key) {
  if (text_ == text) return;
  text_ = std::string(text);
  changed();
  if (suppress_change_) {
    suppress_change_ = false;
    return;
  }
  // A text the Change handler sets by program is no key's text.
  struct Restore {
    bool& flag;
    bool previous;
    ~Restore() { flag = previous; }
  } restore{changed_by_key_, changed_by_key_};
  changed_by_key_ = by_key;
  if (Change) Change();
}

void TextBox::BackColor(int32_t c) {
  if (back_color_ == c) return;
  back_color_ = c;
  changed();
}

void TextBox::TypeKey(std::string_view character) {
  // KeyPress sees the character code; for non-ASCII letters the Windows-1252
  // code (ä = 228 ...) as the classic runtime reported it.
  int code = 0;
  if (character.size() == 1) {
    code = static_cast<unsigned char>(character[0]);
  } else if (character.size() == 2 && static_cast<unsigned char>(character[0]) < 0xE0) {
    code = ((static_cast<unsigned char>(character[0]) & 0x1F) << 6) |
           (static_cast<unsigned char>(character[1]) & 0x3F);
  } else {
    code = '?';
  }
  int key = code;
  if (KeyPress) KeyPress(key);
  if (key == 0) return;
  if (key == key::kBack) {
    size_t n = text::length(text_);
    if (n > 0) KeyText(text::left(text_, n - 1));
    return;
  }
  if (key == key::kReturn || key == key::kEscape || key == key::kTab) return;
  std::string typed;
  if (key == code) {
    typed = std::string(character);
  } else {  // the handler replaced the key (e.g. upper case)
    typed = key < 0x80 ? std::string(1, static_cast<char>(key))
                       : text::windows1252_to_utf8(std::string(1, static_cast<char>(key)));
  }
  KeyText(text_ + typed);
}

void TextBox::TypeText(std::string_view text) {
  for (const std::string& cp : text::code_points(text)) TypeKey(cp);
}

void TextBox::PressKey(int key_code, int shift) {
  int code = key_code;
  if (KeyDown) KeyDown(code, shift);
}

// --- ListBox ---

ListBox::ListBox(Form& owner, std::string name, Geometry geometry, int32_t tab_index)
    : Control(owner, std::move(name), Kind::ListBox, geometry, tab_index) {}

void ListBox::Replace(std::shared_ptr<const std::vector<std::string>> items, std::shared_ptr<const ListLines> lines) {
  items_ = std::move(items);
  own_items_ = nullptr;
  lines_ = std::move(lines);
  made_.reset();
  ++generation_;
  list_index_ = -1;
  changed();
}

void ListBox::Clear() { Replace(nullptr, nullptr); }

void ListBox::SetItems(std::shared_ptr<const std::vector<std::string>> items) { Replace(std::move(items), nullptr); }

void ListBox::SetLines(std::shared_ptr<const ListLines> lines) { Replace(nullptr, std::move(lines)); }

void ListBox::AddItem(std::string_view item) {
  // Lines handed over by SetItems or SetLines are copied before the first
  // change of their own.
  if (!own_items_) {
    auto own = std::make_shared<std::vector<std::string>>(Items());
    own_items_ = own.get();
    items_ = std::move(own);
    lines_.reset();
    made_.reset();
  }
  own_items_->emplace_back(item);
  changed();
}

const std::vector<std::string>& ListBox::Items() const {
  static const std::vector<std::string> kNone;
  if (lines_) {
    if (!made_) {
      auto all = std::make_shared<std::vector<std::string>>();
      all->reserve(lines_->size());
      for (size_t i = 0; i < lines_->size(); ++i) all->push_back(lines_->line(i));
      made_ = std::move(all);
    }
    return *made_;
  }
  return items_ ? *items_ : kNone;
}

int32_t ListBox::ListCount() const {
  return static_cast<int32_t>(lines_ ? lines_->size() : items_ ? items_->size() : 0);
}

const std::string& ListBox::List(int32_t index) const {
  if (index < 0 || index >= ListCount()) throw Error(381, "Ungültiger Index für Eigenschaftenfeld");
  if (lines_) return lines_->line(static_cast<size_t>(index));
  return (*items_)[static_cast<size_t>(index)];
}

void ListBox::ListIndex(int32_t index) {
  if (index < -1 || index >= ListCount()) throw Error(380, "Unzulässiger Eigenschaftswert");
  list_index_ = index;
  changed();
  if (index >= 0 && Click) Click();
}

void ListBox::ClickRow(int32_t index) { ListIndex(index); }

void ListBox::DoubleClickRow(int32_t index) {
  ListIndex(index);
  if (DblClick) DblClick();
}

void ListBox::PressKey(int key_code, int shift) {
  int code = key_code;
  if (KeyDown) KeyDown(code, shift);
}

// --- Button, Picture ---

Button::Button(Form& owner, std::string name, Geometry geometry, std::string caption, int32_t tab_index)
    : Control(owner, std::move(name), Kind::Button, geometry, tab_index), caption_(std::move(caption)) {}

void Button::Caption(std::string_view caption) {
  if (caption_ == caption) return;
  caption_ = std::string(caption);
  changed();
}

void Button::Click() {
  if (!Enabled()) return;
  if (OnClick) OnClick();
}

Picture::Picture(Form& owner, std::string name, Geometry geometry, Image image)
    : Control(owner, std::move(name), Kind::Picture, geometry, -1), image_(image) {}

// --- Form ---

Form::Form(std::string name, std::string caption, Geometry geometry)
    : name_(std::move(name)), caption_(std::move(caption)), geometry_(geometry) {}

void Form::Caption(std::string_view caption) {
  caption_ = std::string(caption);
  if (on_model_changed) on_model_changed(*this);
}

Control* Form::FindControl(std::string_view name) const {
  for (Control* c : controls_)
    if (c->Name() == name) return c;
  return nullptr;
}

Button* Form::DefaultButton() const {
  for (Control* c : controls_)
    if (auto* b = dynamic_cast<Button*>(c); b && b->Default) return b;
  return nullptr;
}

Button* Form::CancelButton() const {
  for (Control* c : controls_)
    if (auto* b = dynamic_cast<Button*>(c); b && b->Cancel) return b;
  return nullptr;
}

void Form::PressReturn() {
  Button* target = dynamic_cast<Button*>(focused_);
  if (!target) target = DefaultButton();
  if (target && target->Visible()) target->Click();
}

void Form::PressEscape() {
  Button* cancel = CancelButton();
  if (!cancel) {
    CloseRequested();
    return;
  }
  if (cancel->Visible()) cancel->Click();
}

void Form::raise_load() {
  if (loaded_) return;
  loaded_ = true;
  unloaded_ = false;
  Form_Load();
}

void Form::Show() { toolkit().ShowModal(*this); }

void Form::Hide() {
  if (!visible_) return;
  toolkit().Hide(*this);
  visible_ = false;
}

void Form::Unload() {
  if (!loaded_ || unloaded_) return;
  Hide();
  unloaded_ = true;
  loaded_ = false;
  Form_Unload();
}

}  // namespace noxplz
