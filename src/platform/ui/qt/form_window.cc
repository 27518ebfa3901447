#include "platform/ui/qt/form_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <exception>

#include "noxplz/error.h"
#include "noxplz/error_log.h"
#include "platform/ui/qt/qt_convert.h"

namespace noxplz::qt {
namespace {

// Runs a model handler from a Qt event. Qt must never see an exception: a
// handler that lets one escape gets a message box and an entry in the error
// log, and the dialog stays usable.
template <class F>
void guarded(const Form& form, F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Error error = to_error(e);
    error_log().Report({form.Name(), error.number, format_error_number(error)});
    msg_box(format_error_message("Unerwarteter Fehler im Dialog " + form.Name(), error));
  }
}

// Visible and Enabled of the model. A child hidden here stays hidden when its
// window is shown; one made visible appears with the window.
void apply_common(QWidget* widget, const Control& model) {
  widget->setVisible(model.Visible());
  widget->setEnabled(model.Enabled());
}

// Sets one colour role of the active and inactive window (a disabled
// control keeps the style's greyed colours).
void set_palette_color(QWidget* widget, QPalette::ColorRole role, int32_t color) {
  QPalette palette = widget->palette();
  QColor c = to_qcolor(color, QApplication::palette());
  if (palette.color(QPalette::Active, role) == c && palette.color(QPalette::Inactive, role) == c) return;
  palette.setColor(QPalette::Active, role, c);
  palette.setColor(QPalette::Inactive, role, c);
  widget->setPalette(palette);
}

}  // namespace

// --- TextBoxWidget ---

TextBoxWidget::TextBoxWidget(TextBox& model, QWidget* parent) : QLineEdit(parent), model_(model) {
  // Text the user edits (typing, paste, cut, undo) flows into the model,
  // which raises Change; text set by program arrives through sync().
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    std::string value = to_std(text);
    if (value == model_.Text()) return;
    guarded(model_.owner(), [&] {
      if (typing_key_)
        model_.KeyText(value);
      else
        model_.Text(value);
    });
  });
  sync();
}

void TextBoxWidget::sync() {
  QString text = to_qstring(model_.Text());
  if (this->text() != text) setText(text);
  set_palette_color(this, QPalette::Base, model_.BackColor());
  apply_common(this, model_);
}

void TextBoxWidget::keyPressEvent(QKeyEvent* event) {
  Form& form = model_.owner();
  const int shift = shift_state(event->modifiers());
  // Return and Escape belong to the form's default and cancel buttons.
  const bool dialog_key = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                          event->key() == Qt::Key_Escape;

  if (int vk = virtual_key(event->key()); vk != 0 && model_.KeyDown) {
    Control* focused_before = form.focused();
    int code = vk;
    guarded(form, [&] { model_.KeyDown(code, shift); });
    // The handler moved the focus elsewhere (Down into a list): the key is spent.
    if (form.focused() != focused_before) return;
  }
  if (dialog_key) {  // the form's keys, pressed in this box
    form.set_focused(&model_);
    event->accept();
    guarded(form, [&] {
      if (event->key() == Qt::Key_Escape)
        form.PressEscape();
      else
        form.PressReturn();
    });
    return;
  }

  // Alt+letter is an access key (a button's "&Beenden"), never a character.
  if ((event->modifiers() & Qt::AltModifier) && !(event->modifiers() & Qt::ControlModifier)) {
    event->ignore();
    return;
  }
  QString typed = event->text();
  int code = key_ascii(typed);
  // Characters and Backspace reach KeyPress, and so do Ctrl+letter codes
  // (1..26), as the classic runtime raised them; navigation keys do not.
  bool is_character = code >= 0x20 || code == key::kBack ||
                      (code >= 1 && code <= 26 && (event->modifiers() & Qt::ControlModifier));
  if (code == key::kTab || !is_character) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  int key_ascii_code = code;
  if (model_.KeyPress) guarded(form, [&] { model_.KeyPress(key_ascii_code); });
  if (key_ascii_code == 0) return;  // swallowed
  if (key_ascii_code != code) {     // replaced by the handler
    if (key_ascii_code == key::kBack) {
      backspace();
    } else {
      QString replacement = key_ascii_text(key_ascii_code);
      if (!replacement.isEmpty()) insert(replacement);
    }
    std::string value = to_std(text());
    if (value != model_.Text()) guarded(form, [&] { model_.KeyText(value); });
    return;
  }
  struct Landed {
    bool& flag;
    ~Landed() { flag = false; }
  } landed{typing_key_};
  typing_key_ = true;
  QLineEdit::keyPressEvent(event);
}

void TextBoxWidget::focusInEvent(QFocusEvent* event) {
  model_.owner().set_focused(&model_);
  QLineEdit::focusInEvent(event);
}

// --- ListBoxWidget ---

QVariant ListBoxRows::data(const QModelIndex& index, int role) const {
  // A row the list box no longer has (between its change and the next sync)
  // shows nothing instead of raising inside a paint.
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_ || index.row() >= list_.ListCount()) return {};
  return to_qstring(list_.List(index.row()));
}

void ListBoxRows::sync() {
  // Between two clears or replacements the list box only appends items, so
  // the rows are extended; after one they are all new.
  const int n = list_.ListCount();
  if (list_.ItemsGeneration() != generation_ || n < rows_) {
    beginResetModel();
    rows_ = n;
    generation_ = list_.ItemsGeneration();
    endResetModel();
  } else if (n > rows_) {
    beginInsertRows(QModelIndex(), rows_, n - 1);
    rows_ = n;
    endInsertRows();
  }
}

ListBoxWidget::ListBoxWidget(ListBox& model, QWidget* parent)
    : QListView(parent), model_(model), rows_(new ListBoxRows(model, this)) {
  setModel(rows_);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // One row height for all: the view asks only for the lines it shows.
  setUniformItemSizes(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selection_changed(); });
  // A click on the row already selected changes no selection but is a Click
  // all the same (the user chooses that row again).
  connect(this, &QListView::clicked, this, [this](const QModelIndex& index) {
    int r = index.row();
    if (double_click_ || r < 0 || r != row_before_press_ || r != model_.ListIndex()) return;
    guarded(model_.owner(), [&] { model_.ListIndex(r); });
  });
  connect(this, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
    int r = index.row();
    guarded(model_.owner(), [&] {
      if (r >= 0 && r < model_.ListCount() && model_.ListIndex() != r) model_.ListIndex(r);
      if (model_.DblClick) model_.DblClick();
    });
  });
  sync();
}

void ListBoxWidget::sync() {
  syncing_ = true;
  {
    QSignalBlocker block(this);
    QSignalBlocker block_selection(selectionModel());
    rows_->sync();
    int index = model_.ListIndex();
    if (index < 0) {
      selectionModel()->clear();
    } else if (currentIndex().row() != index || !selectionModel()->isSelected(row_index(index))) {
      selectionModel()->setCurrentIndex(row_index(index), QItemSelectionModel::ClearAndSelect);
      scrollTo(row_index(index));
    }
    viewport()->update();
  }
  apply_common(this, model_);
  syncing_ = false;
}

void ListBoxWidget::selection_changed() {
  if (syncing_) return;
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  int r = selected.isEmpty() ? -1 : selected.front().row();
  if (r < 0) {  // Ctrl+click took the selection away: a list box keeps its row
    if (model_.ListIndex() >= 0) sync();
    return;
  }
  if (r >= model_.ListCount() || r == model_.ListIndex()) return;
  guarded(model_.owner(), [&] { model_.ListIndex(r); });
}

void ListBoxWidget::keyPressEvent(QKeyEvent* event) {
  Form& form = model_.owner();
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    form.set_focused(&model_);
    event->accept();
    guarded(form, [&] {
      if (event->key() == Qt::Key_Escape) {
        form.PressEscape();
        return;
      }
      // The row under the keyboard cursor (moved with Ctrl+arrows, say) is
      // taken as a click takes it before the form's default button acts.
      const int r = currentIndex().row();
      if (r >= 0 && r < model_.ListCount() && r != model_.ListIndex()) model_.ListIndex(r);
      if (form.visible()) form.PressReturn();
    });
    return;
  }
  if (int vk = virtual_key(event->key()); vk != 0 && model_.KeyDown) {
    Control* focused_before = form.focused();
    int code = vk;
    guarded(form, [&] { model_.KeyDown(code, shift_state(event->modifiers())); });
    if (form.focused() != focused_before) return;
  }
  QListView::keyPressEvent(event);
}

void ListBoxWidget::mousePressEvent(QMouseEvent* event) {
  double_click_ = false;
  row_before_press_ = model_.ListIndex();
  QListView::mousePressEvent(event);
}

void ListBoxWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  double_click_ = true;
  QListView::mouseDoubleClickEvent(event);
}

void ListBoxWidget::focusInEvent(QFocusEvent* event) {
  model_.owner().set_focused(&model_);
  // QAbstractItemView would make the first row current on focus; a list box
  // gains the focus without selecting anything.
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

// --- ButtonWidget ---

ButtonWidget::ButtonWidget(Button& model, QWidget* parent) : QPushButton(parent), model_(model) {
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this, [this] { guarded(model_.owner(), [&] { model_.Click(); }); });
  sync();
}

void ButtonWidget::sync() {
  QString caption = to_qstring(model_.Caption());
  if (text() != caption) setText(caption);
  setDefault(model_.Default);
  apply_common(this, model_);
}

void ButtonWidget::focusInEvent(QFocusEvent* event) {
  model_.owner().set_focused(&model_);
  QPushButton::focusInEvent(event);
}

// --- LabelWidget, PictureWidget ---

LabelWidget::LabelWidget(Label& model, QWidget* parent) : QLabel(parent), model_(model) {
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAutoFillBackground(true);
  sync();
}

void LabelWidget::sync() {
  QString caption = to_qstring(model_.Caption());
  if (text() != caption) setText(caption);
  set_palette_color(this, QPalette::WindowText, model_.ForeColor());
  set_palette_color(this, QPalette::Window, model_.BackColor());
  apply_common(this, model_);
}

PictureWidget::PictureWidget(Picture& model, QWidget* parent) : QLabel(parent), model_(model) {
  setAlignment(Qt::AlignCenter);
  sync();
}

void PictureWidget::sync() {
  QStyle::StandardPixmap which = QStyle::SP_MessageBoxQuestion;
  switch (model_.image()) {
    case Picture::Image::None: setPixmap({}); apply_common(this, model_); return;
    case Picture::Image::Question: which = QStyle::SP_MessageBoxQuestion; break;
    case Picture::Image::Information: which = QStyle::SP_MessageBoxInformation; break;
    case Picture::Image::Warning: which = QStyle::SP_MessageBoxWarning; break;
  }
  int side = std::min(std::min(width(), height()), style()->pixelMetric(QStyle::PM_MessageBoxIconSize));
  setPixmap(style()->standardIcon(which, nullptr, this).pixmap(side > 0 ? side : 32));
  apply_common(this, model_);
}

// --- FormWindow ---


// Creates the widget of a control and subscribes it to the model, after any
// subscriber that was there before; the tooltip travels with every change.
template <class W, class M>
W* make_synced(Control& control, QWidget* parent) {
  auto* w = new W(static_cast<M&>(control), parent);
  w->setToolTip(to_qstring(control.ToolTipText()));
  control.on_model_changed = [w, previous = control.on_model_changed](Control& c) {
    if (previous) previous(c);
    w->setToolTip(to_qstring(c.ToolTipText()));
    w->sync();
  };
  return w;
}

FormWindow::FormWindow(Form& form, double scale, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      form_(form) {
  setObjectName(to_qstring(form.Name()));
  setWindowModality(Qt::ApplicationModal);
  setFixedSize(px(form.geometry().width, scale), px(form.geometry().height, scale));
  // The design geometry was laid out for 8-point text; a larger default font
  // would not fit the controls (sizes in points follow the screen scale).
  QFont design_font = font();
  if (design_font.pointSizeF() > 8.0) design_font.setPointSizeF(8.0);
  setFont(design_font);
  setAutoFillBackground(true);

  previous_form_subscriber_ = form.on_model_changed;
  for (Control* control : form.Controls()) {
    previous_subscribers_.push_back(control->on_model_changed);
    QWidget* widget = nullptr;
    switch (control->kind()) {
      case Control::Kind::Label:
        widget = make_synced<LabelWidget, Label>(*control, this);
        break;
      case Control::Kind::TextBox:
        widget = make_synced<TextBoxWidget, TextBox>(*control, this);
        break;
      case Control::Kind::ListBox:
        widget = make_synced<ListBoxWidget, ListBox>(*control, this);
        break;
      case Control::Kind::Button:
        widget = make_synced<ButtonWidget, Button>(*control, this);
        break;
      case Control::Kind::Picture:
        widget = make_synced<PictureWidget, Picture>(*control, this);
        break;
    }
    const Geometry& g = control->geometry();
    widget->setObjectName(to_qstring(control->Name()));
    widget->setGeometry(px(g.left, scale), px(g.top, scale), px(g.width, scale), px(g.height, scale));
    if (control->kind() == Control::Kind::Picture) static_cast<PictureWidget*>(widget)->sync();
    if (control->kind() == Control::Kind::Label || control->kind() == Control::Kind::Picture)
      widget->setFocusPolicy(Qt::NoFocus);
    widgets_.emplace_back(control, widget);
  }

  // Tab order follows the design's tab indexes.
  std::vector<std::pair<Control*, QWidget*>> order;
  for (const auto& entry : widgets_)
    if (entry.second->focusPolicy() != Qt::NoFocus) order.push_back(entry);
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first->TabIndex() < b.first->TabIndex(); });
  for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1].second, order[i].second);

  form.on_model_changed = [this](Form& f) {
    if (previous_form_subscriber_) previous_form_subscriber_(f);
    sync_form();
  };
  sync_form();
}

// Whoever listened to the models before the window (another renderer, a
// test) is told of changes during the display too and keeps listening after.
FormWindow::~FormWindow() {
  form_.on_model_changed = std::move(previous_form_subscriber_);
  for (size_t i = 0; i < widgets_.size(); ++i)
    widgets_[i].first->on_model_changed = std::move(previous_subscribers_[i]);
}

void FormWindow::sync_form() {
  setWindowTitle(to_qstring(form_.Caption()));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, to_qcolor(form_.BackColor(), QApplication::palette()));
  setPalette(palette);
}

QWidget* FormWindow::widget_for(const Control& control) const {
  for (const auto& [c, w] : widgets_)
    if (c == &control) return w;
  return nullptr;
}

void FormWindow::focus(Control& control) {
  if (QWidget* w = widget_for(control)) w->setFocus(Qt::OtherFocusReason);
}

void FormWindow::initial_focus() {
  Control* target = form_.focused();
  if (!target) {
    for (const auto& [c, w] : widgets_) {
      if (w->focusPolicy() == Qt::NoFocus || !c->Visible() || !c->Enabled()) continue;
      if (!target || c->TabIndex() < target->TabIndex()) target = c;
    }
  }
  if (target) {
    form_.set_focused(target);
    focus(*target);
  }
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The window stays until the form hides itself (or the toolkit ends the
  // modal display); what closing means is the form's decision.
  event->ignore();
  guarded(form_, [&] { form_.CloseRequested(); });
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  const bool is_return = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool is_escape = event->key() == Qt::Key_Escape;
  if (!is_return && !is_escape) {
    QWidget::keyPressEvent(event);
    return;
  }
  // What the keys mean is the form's: the focused or default button, the
  // cancel button or the close box. Text and list boxes pass them on
  // themselves; here they come from a button or the window. The model learns
  // the focus from Qt (a window that was never activated got no focus events).
  event->accept();
  for (const auto& [c, w] : widgets_)
    if (w == focusWidget()) form_.set_focused(c);
  guarded(form_, [&] {
    if (is_return)
      form_.PressReturn();
    else
      form_.PressEscape();
  });
}

}  // namespace noxplz::qt
