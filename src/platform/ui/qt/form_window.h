// FormWindow renders one Form: a top-level window with one widget per
// control model, placed at the design geometry. Each widget subscribes to its
// model (Control::on_model_changed) and raises the model's events from user
// input; the subscriptions end with the window.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QAbstractListModel>
#include <QListView>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "noxplz/ui.h"

namespace noxplz::qt {

// Text box: KeyDown for every key with a virtual-key code, KeyPress for each
// typed character before it lands (a handler may swallow or replace it), then
// the model's text follows the widget and raises Change (with ChangedByKey()
// for the text a typed character produced).
class TextBoxWidget : public QLineEdit {
 public:
  TextBoxWidget(TextBox& model, QWidget* parent);
  TextBox& model() const { return model_; }
  void sync();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  TextBox& model_;
  bool typing_key_ = false;  // a typed character is landing
};

// The rows of a list box for a view: a line is asked of the list box only
// when the view shows it (a list may hold tens of thousands of lines that
// the list box makes when read).
class ListBoxRows : public QAbstractListModel {
 public:
  ListBoxRows(ListBox& list, QObject* parent) : QAbstractListModel(parent), list_(list) {}
  int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : rows_; }
  QVariant data(const QModelIndex& index, int role) const override;
  // Follows the list box: rows appended, or all rows new after a clear or
  // replacement.
  void sync();

 private:
  ListBox& list_;
  int rows_ = 0;
  uint64_t generation_ = 0;  // of the list box's items the rows show
};

// List box: KeyDown before the list moves; a changed selection (mouse,
// keyboard) sets the model's ListIndex, which raises Click, and so does a
// click on the row already selected; a double click raises DblClick. Return
// first takes the row under the keyboard cursor as a click does, then presses
// the form's default button; Escape its cancel button (Form::PressReturn,
// PressEscape), as in a text box.
class ListBoxWidget : public QListView {
 public:
  ListBoxWidget(ListBox& model, QWidget* parent);
  ListBox& model() const { return model_; }
  void sync();
  // The view's row of the list box's item `row`.
  QModelIndex row_index(int row) const { return rows_->index(row, 0); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void selection_changed();
  ListBox& model_;
  ListBoxRows* rows_;
  bool syncing_ = false;
  int row_before_press_ = -1;
  bool double_click_ = false;
};

class ButtonWidget : public QPushButton {
 public:
  ButtonWidget(Button& model, QWidget* parent);
  Button& model() const { return model_; }
  void sync();

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  Button& model_;
};

class LabelWidget : public QLabel {
 public:
  LabelWidget(Label& model, QWidget* parent);
  void sync();

 private:
  Label& model_;
};

class PictureWidget : public QLabel {
 public:
  PictureWidget(Picture& model, QWidget* parent);
  void sync();

 private:
  Picture& model_;
};

class FormWindow : public QWidget {
 public:
  FormWindow(Form& form, double scale, QWidget* parent);
  ~FormWindow() override;

  Form& form() const { return form_; }
  QWidget* widget_for(const Control& control) const;
  // Moves the keyboard focus to the control's widget.
  void focus(Control& control);
  // Focus on the form's focused control, else on the first in tab order.
  void initial_focus();
  void sync_form();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Form& form_;
  std::vector<std::pair<Control*, QWidget*>> widgets_;
  std::function<void(Form&)> previous_form_subscriber_;
  std::vector<std::function<void(Control&)>> previous_subscribers_;  // one per widget
};

}  // namespace noxplz::qt
