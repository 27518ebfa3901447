#include "noxplz/qt_toolkit.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <vector>

#include "noxplz/error.h"
#include "platform/ui/qt/form_window.h"
#include "platform/ui/qt/qt_convert.h"
#include "platform/ui/qt/qt_translations.h"

namespace noxplz {

struct QtToolkit::Impl {
  // One entry per form on display, innermost last.
  struct Shown {
    Form* form = nullptr;
    qt::FormWindow* window = nullptr;
    QEventLoop* loop = nullptr;
    bool hide_requested = false;
  };

  std::unique_ptr<QApplication> own_application;
  std::vector<Shown> shown;
  int mouse_pointer = 0;
  bool cursor_overridden = false;

  Shown* find(const Form& form) {
    for (auto& s : shown)
      if (s.form == &form) return &s;
    return nullptr;
  }
  const Shown* find(const Form& form) const {
    for (const auto& s : shown)
      if (s.form == &form) return &s;
    return nullptr;
  }
};

namespace {

// Arguments for a QApplication the toolkit creates itself; they must outlive it.
int g_argc = 1;
char g_arg0[] = "noxplz";
char* g_argv[] = {g_arg0, nullptr};

// Screen scale relative to the 96 dpi the design pixels assume (Qt's own
// device-pixel ratio comes on top for high-density screens).
double screen_scale(const QWidget* near) {
  QScreen* screen = near && near->screen() ? near->screen() : QGuiApplication::primaryScreen();
  if (!screen) return 1.0;
  return std::clamp(screen->logicalDotsPerInch() / 96.0, 1.0, 4.0);
}

// Centres `window` on its parent (or the screen), kept inside the screen.
void center_on(QWidget* window, QWidget* parent) {
  QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
  QRect area = parent && parent->isVisible() ? parent->frameGeometry() : QRect();
  if (!area.isValid() && screen) area = screen->availableGeometry();
  if (!area.isValid()) return;
  QPoint top_left = area.center() - QPoint(window->width() / 2, window->height() / 2);
  if (screen) {
    const QRect bounds = screen->availableGeometry();
    top_left.setX(std::clamp(top_left.x(), bounds.left(), std::max(bounds.left(), bounds.right() - window->width())));
    top_left.setY(std::clamp(top_left.y(), bounds.top(), std::max(bounds.top(), bounds.bottom() - window->height())));
  }
  window->move(top_left);
}

// Gives the keyboard back to the window below a closed message box or file
// dialog (a window manager does this too; without one nobody would).
void reactivate(QWidget* window) {
  if (window && window->isVisible()) window->activateWindow();
}

}  // namespace

QtToolkit::QtToolkit() : impl_(std::make_unique<Impl>()) {
  if (!QApplication::instance()) impl_->own_application = std::make_unique<QApplication>(g_argc, g_argv);
  qt::install_german_qt_translations();  // Qt's own buttons and file chooser in German too
}

QtToolkit::~QtToolkit() {
  if (impl_->cursor_overridden) QGuiApplication::restoreOverrideCursor();
  for (auto& s : impl_->shown) {
    if (s.loop) s.loop->exit();
  }
}

QWidget* QtToolkit::top_window() const {
  if (!impl_->shown.empty()) return impl_->shown.back().window;
  if (host_window) return host_window;
  return QApplication::activeWindow();
}

QWidget* QtToolkit::window(const Form& form) const {
  const Impl::Shown* s = impl_->find(form);
  return s ? s->window : nullptr;
}

QWidget* QtToolkit::widget(const Control& control) const {
  const Impl::Shown* s = impl_->find(control.owner());
  return s ? s->window->widget_for(control) : nullptr;
}

std::vector<Form*> QtToolkit::shown_forms() const {
  std::vector<Form*> forms;
  for (const auto& s : impl_->shown) forms.push_back(s.form);
  return forms;
}

int QtToolkit::mouse_pointer() const { return impl_->mouse_pointer; }

void QtToolkit::require_gui_thread() const {
  // Widgets exist only on the application's thread; elsewhere Qt would crash.
  if (QThread::currentThread() != QCoreApplication::instance()->thread())
    throw Error(err::kInvalidCall, "Dialoge der Qt-Oberfläche können nur im Hauptthread der Anwendung gezeigt werden");
}

int QtToolkit::MsgBox(std::string_view prompt, int style, std::string_view title) {
  require_gui_thread();
  QMessageBox box(top_window());
  box.setWindowTitle(qt::to_qstring(title.empty() ? kDefaultCaption : title));
  box.setText(qt::to_qstring(prompt));
  box.setTextFormat(Qt::PlainText);
  box.setIcon((style & mb::kQuestion) ? QMessageBox::Question : QMessageBox::NoIcon);
  box.setWindowModality(Qt::ApplicationModal);
  const bool yes_no = (style & 0xF) == mb::kYesNo;
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* ok = nullptr;
  if (yes_no) {
    yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    no = box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
    box.setDefaultButton((style & mb::kDefaultButton2) ? no : yes);
    box.setEscapeButton(no);
  } else {
    ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
  }
  box.exec();
  reactivate(top_window());
  if (!yes_no) return mb::kOk;
  return box.clickedButton() == yes ? mb::kYes : mb::kNo;
}

void QtToolkit::ShowModal(Form& form) {
  require_gui_thread();
  if (impl_->find(form)) return;  // already on display
  form.raise_load();
  if (!form.loaded()) return;  // unloaded while loading

  QWidget* parent = top_window();
  auto window = std::make_unique<qt::FormWindow>(form, screen_scale(parent), parent);
  center_on(window.get(), parent);
  QEventLoop loop;
  impl_->shown.push_back({&form, window.get(), &loop, false});
  // However the display ends (an error from Form_Activate included), the
  // window goes and the form is no longer on display.
  // The keyboard goes back to the window below, as after a message box.
  struct EndDisplay {
    Impl& impl;
    Form& form;
    std::unique_ptr<qt::FormWindow>& window;
    QPointer<QWidget> below;
    ~EndDisplay() {
      window->hide();
      form.set_visible(false);
      impl.shown.erase(std::remove_if(impl.shown.begin(), impl.shown.end(),
                                      [&](const Impl::Shown& s) { return s.form == &form; }),
                       impl.shown.end());
      window.reset();
      if (below) reactivate(below->window());
    }
  } end_display{*impl_, form, window, QPointer<QWidget>(parent)};

  form.set_visible(true);
  window->show();
  window->activateWindow();
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) window->raise();
  window->initial_focus();
  form.raise_activate();
  if (on_form_shown && form.visible()) on_form_shown(form);

  Impl::Shown* entry = impl_->find(form);
  if (entry && !entry->hide_requested && form.visible()) loop.exec();
}

void QtToolkit::Hide(Form& form) {
  Impl::Shown* s = impl_->find(form);
  if (!s) return;
  s->hide_requested = true;
  s->window->hide();
  s->loop->exit();
}

void QtToolkit::DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtToolkit::SetMousePointer(int pointer) {
  impl_->mouse_pointer = pointer;
  if (QThread::currentThread() != QCoreApplication::instance()->thread()) return;
  const bool busy = pointer == 11 || pointer == 13;
  if (busy) {
    Qt::CursorShape shape = pointer == 11 ? Qt::WaitCursor : Qt::BusyCursor;
    if (impl_->cursor_overridden) {
      QGuiApplication::changeOverrideCursor(QCursor(shape));
    } else {
      QGuiApplication::setOverrideCursor(QCursor(shape));
      impl_->cursor_overridden = true;
    }
  } else if (impl_->cursor_overridden) {
    QGuiApplication::restoreOverrideCursor();
    impl_->cursor_overridden = false;
  }
}

std::optional<FileChoice> QtToolkit::OpenFile(const FileDialogRequest& request) {
  require_gui_thread();
  QFileDialog dialog(top_window(), qt::to_qstring(request.title));
  dialog.setOption(QFileDialog::DontUseNativeDialog, QGuiApplication::platformName() == "offscreen");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);  // the chooser asks for an existing file
  dialog.setNameFilters(qt::name_filters(request.filters));
  if (!request.initial_dir.empty()) dialog.setDirectory(qt::to_qstring(request.initial_dir));
  if (!request.file_name.empty()) dialog.selectFile(qt::to_qstring(request.file_name));
  dialog.setWindowModality(Qt::ApplicationModal);
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  reactivate(top_window());
  if (!accepted) return std::nullopt;
  QFileInfo chosen(dialog.selectedFiles().front());
  return FileChoice{qt::to_std(QDir::toNativeSeparators(chosen.absolutePath())), qt::to_std(chosen.fileName())};
}

void QtToolkit::Repaint(Control& control) {
  if (QWidget* w = widget(control)) w->repaint();
}

void QtToolkit::SetFocus(Control& control) {
  control.owner().set_focused(&control);
  if (Impl::Shown* s = impl_->find(control.owner())) s->window->focus(control);
}

}  // namespace noxplz
