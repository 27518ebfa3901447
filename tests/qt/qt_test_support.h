// Helpers for driving real widgets in the Qt tests: acting on the next
// message box or file dialog that opens, clicking list rows, typing, and a
// watchdog that closes a dialog a test forgot to close.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QAbstractItemModel>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "noxplz/qt_toolkit.h"

namespace noxplz::qt_testing {

// Waiters of when_shown() that have not seen their dialog yet.
inline std::vector<QPointer<QTimer>>& pending_waiters() {
  static std::vector<QPointer<QTimer>> waiters;
  return waiters;
}

// Ends every pending waiter and returns how many were still waiting (each a
// dialog the test expected and never saw). Call at the end of each test.
inline int cancel_pending_waiters() {
  int pending = 0;
  for (QPointer<QTimer>& t : pending_waiters()) {
    if (t && t->isActive()) ++pending;
    if (t) t->deleteLater();
  }
  pending_waiters().clear();
  return pending;
}

// Runs `act` on the next visible top-level widget of type W (QMessageBox,
// QFileDialog) once it is shown; fails after `timeout_ms`.
template <class W>
void when_shown(std::function<void(W*)> act, int timeout_ms = 5000) {
  auto* timer = new QTimer;
  pending_waiters().push_back(timer);
  auto waited = std::make_shared<int>(0);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act, waited, timeout_ms] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<W*>(w); d && d->isVisible()) {
        timer->stop();
        timer->deleteLater();
        return act(d);
      }
    if ((*waited += 5) > timeout_ms) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "erwarteter Dialog wurde nicht gezeigt";
    }
  });
  timer->start();
}

inline QAbstractButton* button_with_text(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == text) return b;
  return nullptr;
}

// What a message box showed.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
};

// Answers the next message box by clicking the button with `text`, noting
// what it showed in `seen` when given.
inline void answer_next_box(const QString& text, std::shared_ptr<SeenBox> seen = nullptr) {
  when_shown<QMessageBox>([text, seen](QMessageBox* box) {
    if (seen) *seen = {box->windowTitle(), box->text(), box->icon(), {}};
    if (seen) for (QAbstractButton* b : box->buttons()) seen->buttons << b->text();
    QAbstractButton* b = button_with_text(box, text);
    if (!b) {
      ADD_FAILURE() << "kein Knopf " << text.toStdString() << " in " << box->text().toStdString();
      return box->reject();
    }
    QTest::mouseClick(b, Qt::LeftButton);
  });
}

// The number of rows of a list on the screen, and the text of one.
inline int row_count(QListView* list) { return list->model()->rowCount(); }
inline QString row_text(QListView* list, int row) { return list->model()->index(row, 0).data().toString(); }

inline void click_row(QListView* list, int row, bool twice = false) {
  ASSERT_NE(list, nullptr);
  ASSERT_LT(row, row_count(list));
  const QModelIndex index = list->model()->index(row, 0);
  list->scrollTo(index);
  const QPoint at = list->visualRect(index).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// Ends a test that would otherwise hang: after `ms` it fails the test and,
// every 100 ms, rejects every open dialog and hides every shown form.
class Watchdog {
 public:
  explicit Watchdog(QtToolkit& tk, int ms = 30000) {
    QObject::connect(&timer_, &QTimer::timeout, [&tk, this] {
      if (!fired_) ADD_FAILURE() << "Dialog blieb offen: Test abgebrochen";
      fired_ = true;
      timer_.setInterval(100);
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
      for (Form* f : tk.shown_forms()) tk.Hide(*f);
    });
    timer_.start(ms);
  }

 private:
  QTimer timer_;
  bool fired_ = false;
};

// Types text key by key as a keyboard does; unlike QTest::keyClicks it
// handles umlauts and ß.
inline void type_text(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(widget, c.toLatin1());
      continue;
    }
    auto key = static_cast<Qt::Key>(c.toUpper().unicode());
    QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
  }
}

// A Qt toolkit and a watchdog for each test; at its end every dialog the
// test waited for must have been shown.
class QtTest : public ::testing::Test {
 protected:
  void TearDown() override {
    tk_->on_form_shown = nullptr;
    EXPECT_EQ(cancel_pending_waiters(), 0) << "an expected dialog was never shown";
  }
  // The widget of control `c` in the shown window.
  template <class W>
  W* w(const Control& c) {
    auto* widget = dynamic_cast<W*>(tk_->widget(c));
    EXPECT_NE(widget, nullptr) << c.Name();
    return widget;
  }

  std::shared_ptr<QtToolkit> tk_ = std::make_shared<QtToolkit>();
  ScopedToolkit use_{tk_};
  Watchdog dog_{*tk_};
};

}  // namespace noxplz::qt_testing
