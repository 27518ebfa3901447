// The Qt toolkit on a small form of its own: rendering from the models,
// model and widget in step both ways, the event order of typing, arrows and
// list selection, the modal loop, errors and message boxes.
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <string>
#include <thread>
#include <vector>

#include "noxplz/error.h"
#include "noxplz/qt_toolkit.h"
#include "platform/ui/qt/qt_convert.h"
#include "qt_test_support.h"

namespace noxplz {
namespace {

using qt_testing::answer_next_box;
using qt_testing::click_row;
using qt_testing::SeenBox;
using qt_testing::when_shown;
using Events = std::vector<std::string>;

class TestForm : public Form {
 public:
  TestForm() : Form("frmTest", "Prüfformular", {0, 0, 6000, 3000}) {
    txt.KeyPress = [this](int& k) {
      log("KeyPress " + std::to_string(k) + " [" + txt.Text() + "]");
      if (swallow_digits && k >= '0' && k <= '9') k = 0;
      if (upper_case && k >= 'a' && k <= 'z') k -= 32;
    };
    txt.Change = [this] { log("Change [" + txt.Text() + "]"); };
    txt.KeyDown = [this](int& k, int) {
      log("KeyDown " + std::to_string(k));
      if (k == key::kDown) {
        lst.SetFocus();
        lst.ListIndex(0);
      }
    };
    lst.Click = [this] { log("Click " + std::to_string(lst.ListIndex())); };
    lst.DblClick = [this] { log("DblClick " + std::to_string(lst.ListIndex())); Hide(); };
    lst.KeyDown = [this](int& k, int) {
      log("ListKeyDown " + std::to_string(k));
      if (k == key::kUp && lst.ListIndex() == 0) txt.SetFocus();
    };
    ok.Default = true;
    ok.OnClick = [this] {
      log("OK");
      if (throw_on_ok) throw Error(91, "Objektvariable nicht festgelegt");
      Hide();
    };
    cancel.Cancel = true;
    cancel.OnClick = [this] { log("Abbrechen"); Hide(); };
    for (const char* item : {"Aachen", "Bonn", "Köln", "Düsseldorf"}) lst.AddItem(item);
  }
  void Form_Activate() override {
    log("Activate");
    if (throw_on_activate) throw Error(5, "Ungültiger Prozeduraufruf oder ungültiges Argument");
  }
  void CloseRequested() override { log("CloseRequested"); if (close_hides) Hide(); }
  void log(std::string e) { events.push_back(std::move(e)); }
  // The events since the last call.
  Events take() { return std::exchange(events, {}); }

  Label lbl{*this, "lbl_Info", {120, 120, 3000, 255}, "Grüße aus Köln"};
  TextBox txt{*this, "txt_Eingabe", {120, 450, 3000, 345}, 1};
  TextBox txt2{*this, "txt_Zweites", {3300, 450, 1500, 345}, 0};
  ListBox lst{*this, "lst_Liste", {120, 900, 3000, 1500}, 2};
  Button ok{*this, "cmd_OK", {3300, 2400, 1200, 405}, "&OK", 3};
  Button cancel{*this, "cmd_Abbrechen", {4600, 2400, 1200, 405}, "Abbrechen", 4};

  Events events;
  bool swallow_digits = false, upper_case = false, close_hides = true;
  bool throw_on_ok = false, throw_on_activate = false;
};

class QtToolkitTest : public qt_testing::QtTest {
 protected:
  // Shows the form; `act` plays the user once the window is up.
  void show(std::function<void()> act) {
    tk_->on_form_shown = [act](Form&) { act(); };
    form.Show();
    tk_->on_form_shown = nullptr;
  }

  TestForm form;
};

// Conversions the widget tests below do not reach: keys without a
// Windows-1252 character, filters with several patterns.
TEST(QtConvert, UnmappedKeysAndFilters) {
  EXPECT_EQ(qt::virtual_key(Qt::Key_Adiaeresis), 0);
  EXPECT_EQ(qt::key_ascii(QStringLiteral("€")), 128);
  EXPECT_EQ(qt::key_ascii(QStringLiteral("ab")), -1);
  EXPECT_EQ(qt::key_ascii(QString(QChar(0x4E2D))), '?');
  EXPECT_EQ(qt::key_ascii_text(128), QStringLiteral("€"));
  EXPECT_EQ(qt::key_ascii_text(0x81), QString());
  EXPECT_EQ(qt::name_filters({"Texte:*.txt;*.asc", ":*.csv"}), (QStringList{"Texte (*.txt *.asc)", "*.csv (*.csv)"}));
}

// Rendering at twips/15, tab order, program changes reaching the widgets
// (colours, captions and enabling are seen in the dialog tests); an earlier
// subscriber of a model keeps hearing.
TEST_F(QtToolkitTest, RendersFromTheModelsAndFollowsTheirChanges) {
  int told = 0;
  form.txt.on_model_changed = [&](Control&) { ++told; };
  show([&] {
    QWidget* window = tk_->window(form);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Prüfformular"));
    EXPECT_TRUE(window->isModal());
    EXPECT_EQ(w<QLabel>(form.lbl)->text(), QStringLiteral("Grüße aus Köln"));
    EXPECT_EQ(w<QLineEdit>(form.txt)->geometry(), QRect(8, 30, 200, 23));
    auto* list = w<QListWidget>(form.lst);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Köln"));
    // Tab order by tab index: txt_Zweites (0) first.
    EXPECT_EQ(form.focused(), &form.txt2);
    EXPECT_EQ(w<QWidget>(form.txt2)->nextInFocusChain(), w<QWidget>(form.txt));
    EXPECT_EQ(w<QWidget>(form.txt)->nextInFocusChain(), w<QWidget>(form.lst));

    form.txt.Text("Hauptstraße");
    EXPECT_EQ(told, 1) << "the earlier subscriber hears changes during the display";
    EXPECT_EQ(w<QLineEdit>(form.txt)->text(), QStringLiteral("Hauptstraße"));

    form.take();
    form.lst.ListIndex(1);
    EXPECT_TRUE(list->item(1)->isSelected());
    EXPECT_EQ(form.take(), Events{"Click 1"}) << "one Click, not a second from the widget";
    // Lines replaced by as many others are shown anew, not kept from before.
    form.lst.SetItems(std::make_shared<const std::vector<std::string>>(
        std::vector<std::string>{"Aue", "Bad Elster", "Chemnitz", "Dresden"}));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Chemnitz"));
    EXPECT_EQ(list->currentRow(), -1);
    form.Caption("Neuer Titel");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Neuer Titel"));
    QTest::mouseClick(w<QPushButton>(form.cancel), Qt::LeftButton);
  });
  EXPECT_EQ(form.events.back(), "Abbrechen");
  EXPECT_EQ(tk_->window(form), nullptr);
  EXPECT_EQ(form.lst.on_model_changed, nullptr) << "the window unsubscribed from its models";
  ASSERT_NE(form.txt.on_model_changed, nullptr) << "an earlier subscriber stays";
  told = 0;
  form.txt.Text("danach");
  EXPECT_EQ(told, 1);
}

TEST_F(QtToolkitTest, TypingRaisesKeyPressBeforeTheCharacterLandsThenChange) {
  show([&] {
    auto* edit = w<QLineEdit>(form.txt);
    form.take();
    QTest::keyClicks(edit, "ab");
    EXPECT_EQ(form.take(),
              (Events{"KeyDown 65", "KeyPress 97 []", "Change [a]", "KeyDown 66", "KeyPress 98 [a]", "Change [ab]"}));
    qt_testing::type_text(edit, QStringLiteral("ö"));
    EXPECT_EQ(form.txt.Text(), "abö");
    EXPECT_EQ(form.take(), (Events{"KeyPress 246 [ab]", "Change [abö]"}));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(form.take(), (Events{"KeyDown 8", "KeyPress 8 [abö]", "Change [ab]"}));

    // A handler swallows digits and upper-cases letters.
    form.swallow_digits = form.upper_case = true;
    QTest::keyClicks(edit, "x1y");
    EXPECT_EQ(form.txt.Text(), "abXY");
    EXPECT_EQ(edit->text(), QStringLiteral("abXY"));
    // Alt+letter is an access key: nothing typed; keys without a character raise KeyDown only.
    form.take();
    QTest::keyClick(edit, Qt::Key_B, Qt::AltModifier);
    QTest::keyClick(edit, Qt::Key_Left);
    EXPECT_EQ(form.txt.Text(), "abXY");
    EXPECT_EQ(form.take(), (Events{"KeyDown 18", "KeyDown 66", "KeyDown 37"}));

    // Typing in the middle keeps the cursor; a paste reaches the model.
    edit->setCursorPosition(2);
    QTest::keyClicks(edit, "-");
    EXPECT_EQ(form.txt.Text(), "ab-XY");
    edit->selectAll();
    edit->insert("Ringweg");
    EXPECT_EQ(form.txt.Text(), "Ringweg");
    form.Hide();
  });
}

TEST_F(QtToolkitTest, ListFollowsArrowsAndClicksAsTheHandlersAsk) {
  show([&] {
    auto* edit = w<QLineEdit>(form.txt);
    auto* list = w<QListWidget>(form.lst);
    list->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(form.lst.ListIndex(), -1) << "gaining the focus selects nothing";
    // Down in the text box moves the focus into the list (seen in the dialog
    // tests); there the arrows move the selection, each move a Click.
    form.take();
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(form.take(), (Events{"KeyDown 40", "Click 0"}));
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(form.take(), (Events{"ListKeyDown 40", "Click 1", "ListKeyDown 38", "Click 0"}));
    // Up on the first row: focus back to the text box, selection unchanged.
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(form.take(), Events{"ListKeyDown 38"});
    EXPECT_EQ(tk_->window(form)->focusWidget(), edit);
    EXPECT_EQ(form.lst.ListIndex(), 0);

    click_row(list, 2);
    click_row(list, 2);  // the same row again: chosen again
    EXPECT_EQ(form.take(), (Events{"Click 2", "Click 2"}));
    // Ctrl+click on the selected row would leave a Qt list without selection; a list box keeps its row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(2)).center());
    EXPECT_TRUE(list->item(2)->isSelected());
    EXPECT_EQ(form.lst.ListIndex(), 2);
    form.take();
    click_row(list, 3, true);  // the DblClick handler hides the form
  });
  EXPECT_EQ(form.events, (Events{"Click 3", "DblClick 3"}));
  EXPECT_FALSE(form.visible());
}

TEST_F(QtToolkitTest, ReturnEscapeAndTheFrameEndTheDialogAsTheFormDecides) {
  show([&] { QTest::keyClick(w<QLineEdit>(form.txt), Qt::Key_Return); });
  EXPECT_EQ(form.events.back(), "OK");
  show([&] { QTest::keyClick(w<QListWidget>(form.lst), Qt::Key_Escape); });
  EXPECT_EQ(form.events.back(), "Abbrechen");
  show([&] {  // Return on a focused button presses that button
    w<QPushButton>(form.cancel)->setFocus();
    QTest::keyClick(tk_->window(form), Qt::Key_Return);
  });
  EXPECT_EQ(form.events.back(), "Abbrechen");
  form.take();
  show([&] {  // a disabled default button is not pressed
    form.ok.Enabled(false);
    QTest::keyClick(w<QLineEdit>(form.txt), Qt::Key_Return);
    EXPECT_TRUE(form.visible());
    QTest::keyClick(w<QLineEdit>(form.txt), Qt::Key_Escape);
  });
  EXPECT_EQ(form.take(), (Events{"Activate", "KeyDown 13", "KeyDown 27", "Abbrechen"}));

  form.close_hides = false;
  show([&] {
    QWidget* window = tk_->window(form);
    window->close();
    EXPECT_TRUE(window->isVisible()) << "the form decided to stay";
    form.close_hides = true;
    window->close();
  });
  EXPECT_EQ(form.take(), (Events{"Activate", "CloseRequested", "CloseRequested"}));
  EXPECT_FALSE(form.visible());
}

TEST_F(QtToolkitTest, HideEndsTheModalLoopOnlyAfterTheRunningHandlerReturns) {
  // A long handler (an import) keeps the UI alive with DoEvents; a Hide
  // requested meanwhile ends the modal display once the handler is done.
  bool handler_done = false;
  form.ok.OnClick = [&] {
    form.log("lange Arbeit");
    QTimer::singleShot(0, [&] { form.cancel.Click(); });
    for (int i = 0; i < 20; ++i) tk_->DoEvents();
    EXPECT_FALSE(form.visible()) << "Abbrechen ran inside DoEvents";
    handler_done = true;
  };
  show([&] { QTimer::singleShot(0, [&] { QTest::mouseClick(w<QPushButton>(form.ok), Qt::LeftButton); }); });
  EXPECT_TRUE(handler_done);
  EXPECT_EQ(form.events, (Events{"Activate", "lange Arbeit", "Abbrechen"}));
}

TEST_F(QtToolkitTest, MousePointerElevenIsTheBusyCursor) {
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  tk_->SetMousePointer(11);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  tk_->SetMousePointer(11);  // twice: still one override to undo
  tk_->SetMousePointer(0);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(QtToolkitTest, ErrorsInHandlersAreShownOrEndTheDisplayCleanly) {
  form.throw_on_ok = true;
  auto seen = std::make_shared<SeenBox>();
  show([&] {
    answer_next_box("OK", seen);
    QTest::mouseClick(w<QPushButton>(form.ok), Qt::LeftButton);
    EXPECT_TRUE(form.visible()) << "the dialog stays";
    form.Hide();
  });
  EXPECT_EQ(seen->text, QStringLiteral("Unerwarteter Fehler im Dialog frmTest\n91 / Objektvariable nicht festgelegt"));

  form.throw_on_activate = true;
  EXPECT_THROW(form.Show(), Error);
  EXPECT_EQ(tk_->window(form), nullptr);
  EXPECT_FALSE(form.visible());
  EXPECT_EQ(form.txt.on_model_changed, nullptr);
  form.throw_on_activate = false;
  show([&] { QTest::mouseClick(w<QPushButton>(form.cancel), Qt::LeftButton); });  // shown again
  EXPECT_EQ(form.events.back(), "Abbrechen");

  // From another thread: refused with an error, never a crash.
  Error refused(0, "");
  std::thread([&] {
    ScopedToolkit there(std::make_shared<QtToolkit>());
    try { msg_box("Hallo"); } catch (const Error& e) { refused = e; }
  }).join();
  EXPECT_EQ(refused.number, 5);
  EXPECT_EQ(refused.description, "Dialoge der Qt-Oberfläche können nur im Hauptthread der Anwendung gezeigt werden");
}

TEST_F(QtToolkitTest, MessageBoxesHaveGermanButtonsIconAndTitleAndBelongToTheDialog) {
  auto seen = std::make_shared<SeenBox>();
  answer_next_box("Ja", seen);
  EXPECT_EQ(msg_box("Wollen Sie wirklich?", mb::kYesNoQuestion, "Abbruch"), mb::kYes);
  EXPECT_EQ(seen->icon, QMessageBox::Question);
  answer_next_box("OK", seen);
  EXPECT_EQ(msg_box("Import beendet"), mb::kOk);
  EXPECT_EQ(seen->title, QStringLiteral("NoxPlz"));
  EXPECT_EQ(seen->icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen->buttons, (QStringList{"OK"}));
  when_shown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(msg_box("Weiter?", mb::kYesNoQuestion), mb::kNo) << "Escape on a question answers No";

  // From a handler the box is a child of the dialog.
  QWidget* parent = nullptr;
  form.ok.OnClick = [&] {
    when_shown<QMessageBox>([&](QMessageBox* box) {
      parent = box->parentWidget();
      QTest::mouseClick(qt_testing::button_with_text(box, "Ja"), Qt::LeftButton);
    });
    if (msg_box("Übernehmen?", mb::kYesNo) == mb::kYes) form.Hide();
  };
  QWidget* window = nullptr;
  show([&] {
    window = tk_->window(form);
    QTest::mouseClick(w<QPushButton>(form.ok), Qt::LeftButton);
  });
  EXPECT_EQ(parent, window);
  EXPECT_FALSE(form.visible());
}

}  // namespace
}  // namespace noxplz
