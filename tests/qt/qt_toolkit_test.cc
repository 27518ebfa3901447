// The Qt toolkit on a small form of its own: rendering from the models,
// model and widget in step both ways, the event order of typing, arrows and
// list selection, the modal loop, message boxes and the file chooser.
#include <QCloseEvent>
#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <fstream>
#include <thread>
#include <stdexcept>
#include <string>
#include <vector>

#include "noxplz/error.h"
#include "noxplz/qt_toolkit.h"
#include "platform/ui/qt/qt_convert.h"
#include "qt_test_support.h"

namespace noxplz {
namespace {

using qt_testing::answer_next_box;
using qt_testing::click_row;
using qt_testing::double_click_row;
using qt_testing::SeenBox;
using qt_testing::when_shown;
using qt_testing::widget_of;

class TestForm : public Form {
 public:
  TestForm() : Form("frmTest", "Prüfformular", {0, 0, 6000, 3000}) {
    txt.KeyPress = [this](int& k) {
      events.push_back("KeyPress " + std::to_string(k) + " [" + txt.Text() + "]");
      if (swallow_digits && k >= '0' && k <= '9') k = 0;
      if (upper_case && k >= 'a' && k <= 'z') k -= 32;
    };
    txt.Change = [this] { events.push_back("Change [" + txt.Text() + "]"); };
    txt.KeyDown = [this](int& k, int) {
      events.push_back("KeyDown " + std::to_string(k));
      if (k == key::kDown) {
        lst.SetFocus();
        lst.ListIndex(0);
      }
    };
    lst.Click = [this] { events.push_back("Click " + std::to_string(lst.ListIndex())); };
    lst.DblClick = [this] {
      events.push_back("DblClick " + std::to_string(lst.ListIndex()));
      Hide();
    };
    lst.KeyDown = [this](int& k, int) {
      events.push_back("ListKeyDown " + std::to_string(k));
      if (k == key::kUp && lst.ListIndex() == 0) txt.SetFocus();
    };
    ok.Default = true;
    ok.OnClick = [this] {
      events.push_back("OK");
      if (throw_on_ok) throw Error(91, "Objektvariable nicht festgelegt");
      Hide();
    };
    cancel.Cancel = true;
    cancel.OnClick = [this] {
      events.push_back("Abbrechen");
      Hide();
    };
  }
  void Form_Activate() override {
    events.push_back("Activate");
    if (throw_on_activate) throw Error(5, "Ungültiger Prozeduraufruf oder ungültiges Argument");
  }
  void CloseRequested() override {
    events.push_back("CloseRequested");
    if (close_hides) Hide();
  }

  Label lbl{*this, "lbl_Info", {120, 120, 3000, 255}, "Grüße aus Köln"};
  TextBox txt{*this, "txt_Eingabe", {120, 450, 3000, 345}, 1};
  TextBox txt2{*this, "txt_Zweites", {3300, 450, 1500, 345}, 0};
  ListBox lst{*this, "lst_Liste", {120, 900, 3000, 1500}, 2};
  Button ok{*this, "cmd_OK", {3300, 2400, 1200, 405}, "&OK", 3};
  Button cancel{*this, "cmd_Abbrechen", {4600, 2400, 1200, 405}, "Abbrechen", 4};
  Picture pic{*this, "Picture1", {4000, 900, 480, 480}, Picture::Image::Question};

  std::vector<std::string> events;
  bool swallow_digits = false;
  bool upper_case = false;
  bool close_hides = true;
  bool throw_on_ok = false;
  bool throw_on_activate = false;
};

class QtToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* item : {"Aachen", "Bonn", "Köln", "Düsseldorf"}) form.lst.AddItem(item);
  }
  // Shows the form; `act` plays the user once the window is up.
  void show(std::function<void()> act) {
    tk->on_form_shown = [act](Form&) { act(); };
    form.Show();
    tk->on_form_shown = nullptr;
  }
  void TearDown() override {
    EXPECT_EQ(qt_testing::cancel_pending_waiters(), 0) << "an expected dialog was never shown";
  }
  template <class W>
  W* w(const Control& c) {
    return widget_of<W>(*tk, c);
  }

  std::shared_ptr<QtToolkit> tk = std::make_shared<QtToolkit>();
  ScopedToolkit use{tk};
  qt_testing::Watchdog dog{*tk};
  TestForm form;
};

TEST(QtConvert, ColoursKeysFiltersAndGeometry) {
  QPalette palette;
  EXPECT_EQ(qt::to_qcolor(color::kRed, palette), QColor(255, 0, 0));
  EXPECT_EQ(qt::to_qcolor(color::kBlue, palette), QColor(0, 0, 255));
  EXPECT_EQ(qt::to_qcolor(color::kGreen, palette), QColor(0, 192, 0));
  EXPECT_EQ(qt::to_qcolor(0x00336699, palette), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(qt::to_qcolor(color::kButtonFace, palette), palette.color(QPalette::Button));
  EXPECT_EQ(qt::to_qcolor(color::kWindowText, palette), palette.color(QPalette::WindowText));
  EXPECT_EQ(qt::to_qcolor(static_cast<int32_t>(0x80000012), palette), palette.color(QPalette::ButtonText));

  EXPECT_EQ(qt::virtual_key(Qt::Key_Down), key::kDown);
  EXPECT_EQ(qt::virtual_key(Qt::Key_Up), key::kUp);
  EXPECT_EQ(qt::virtual_key(Qt::Key_Delete), key::kDelete);
  EXPECT_EQ(qt::virtual_key(Qt::Key_Q), 81);
  EXPECT_EQ(qt::virtual_key(Qt::Key_7), 55);
  EXPECT_EQ(qt::virtual_key(Qt::Key_F5), 116);
  EXPECT_EQ(qt::virtual_key(Qt::Key_Adiaeresis), 0);
  EXPECT_EQ(qt::shift_state(Qt::ShiftModifier | Qt::AltModifier), 5);

  EXPECT_EQ(qt::key_ascii(QStringLiteral("a")), 'a');
  EXPECT_EQ(qt::key_ascii(QStringLiteral("ä")), 228);
  EXPECT_EQ(qt::key_ascii(QStringLiteral("ß")), 223);
  EXPECT_EQ(qt::key_ascii(QStringLiteral("€")), 128);
  EXPECT_EQ(qt::key_ascii(QStringLiteral("ab")), -1);
  EXPECT_EQ(qt::key_ascii(QString(QChar(0x4E2D))), '?');
  EXPECT_EQ(qt::key_ascii_text(196), QStringLiteral("Ä"));
  EXPECT_EQ(qt::key_ascii_text(128), QStringLiteral("€"));
  EXPECT_EQ(qt::key_ascii_text(0x81), QString());

  EXPECT_EQ(qt::name_filters({"Alle Dateien (*.*):*.*", "Datafactory Postalcode (*.dat):*.dat",
                              "Texte:*.txt;*.asc", ":*.csv"}),
            (QStringList{"Alle Dateien (*)", "Datafactory Postalcode (*.dat)", "Texte (*.txt *.asc)",
                         "*.csv (*.csv)"}));

  EXPECT_EQ(qt::px(8175, 1.0), 545);
  EXPECT_EQ(qt::px(345, 1.0), 23);
  EXPECT_EQ(qt::px(345, 2.0), 46);
}

TEST_F(QtToolkitTest, RendersEveryControlFromItsModelAtTheDesignGeometry) {
  int told = 0;
  form.txt.on_model_changed = [&](Control&) { ++told; };
  QWidget* window = nullptr;
  show([&] {
    window = tk->window(form);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Prüfformular"));
    EXPECT_EQ(window->size(), QSize(400, 200));
    EXPECT_TRUE(window->isModal());

    auto* label = w<QLabel>(form.lbl);
    EXPECT_EQ(label->text(), QStringLiteral("Grüße aus Köln"));
    EXPECT_EQ(label->geometry(), QRect(8, 8, 200, 17));
    EXPECT_EQ(w<QLineEdit>(form.txt)->geometry(), QRect(8, 30, 200, 23));
    auto* list = w<QListWidget>(form.lst);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Köln"));
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_EQ(w<QPushButton>(form.ok)->text(), QStringLiteral("&OK"));
    EXPECT_FALSE(w<QLabel>(form.pic)->pixmap().isNull());

    form.txt.Text("während");
    EXPECT_EQ(told, 1) << "the earlier subscriber hears changes during the display";
    EXPECT_EQ(w<QLineEdit>(form.txt)->text(), QStringLiteral("während"));
    told = 0;
    // Tab order by tab index: txt_Zweites (0) first, then txt_Eingabe, the list, the buttons.
    EXPECT_EQ(form.focused(), &form.txt2);
    EXPECT_EQ(w<QWidget>(form.txt2)->nextInFocusChain(), w<QWidget>(form.txt));
    EXPECT_EQ(w<QWidget>(form.txt)->nextInFocusChain(), w<QWidget>(form.lst));
    EXPECT_EQ(w<QWidget>(form.ok)->nextInFocusChain(), w<QWidget>(form.cancel));
    QTest::mouseClick(w<QPushButton>(form.cancel), Qt::LeftButton);
  });
  EXPECT_EQ(form.events, (std::vector<std::string>{"Activate", "Change [während]", "Abbrechen"}));
  EXPECT_FALSE(form.visible());
  EXPECT_EQ(tk->window(form), nullptr);
  EXPECT_EQ(form.lst.on_model_changed, nullptr) << "the window unsubscribed from its models";
  ASSERT_NE(form.txt.on_model_changed, nullptr) << "an earlier subscriber stays";
  form.txt.Text("danach");
  EXPECT_EQ(told, 1);
}

TEST_F(QtToolkitTest, ModelChangesByProgramReachTheWidgets) {
  show([&] {
    auto* edit = w<QLineEdit>(form.txt);
    form.txt.Text("Hauptstraße");
    EXPECT_EQ(edit->text(), QStringLiteral("Hauptstraße"));
    form.txt.BackColor(color::kRed);
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(255, 0, 0));
    form.txt.BackColor(color::kWhite);
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(255, 255, 255));

    auto* label = w<QLabel>(form.lbl);
    form.lbl.Caption("Übernommen");
    form.lbl.ForeColor(color::kBlue);
    form.lbl.BackColor(color::kYellow);
    EXPECT_EQ(label->text(), QStringLiteral("Übernommen"));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(label->palette().color(QPalette::Window), QColor(255, 255, 0));
    form.lbl.Visible(false);
    EXPECT_FALSE(label->isVisible());
    form.lbl.Visible(true);
    EXPECT_TRUE(label->isVisible());

    auto* list = w<QListWidget>(form.lst);
    form.events.clear();
    form.lst.ListIndex(1);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_TRUE(list->item(1)->isSelected());
    EXPECT_EQ(form.events, (std::vector<std::string>{"Click 1"})) << "one Click, not a second from the widget";
    form.lst.Clear();
    EXPECT_EQ(list->count(), 0);
    form.lst.AddItem("Zülpich");
    form.lst.AddItem("Zons");
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Zons"));
    EXPECT_TRUE(list->selectedItems().isEmpty());

    auto* button = w<QPushButton>(form.ok);
    form.ok.Enabled(false);
    EXPECT_FALSE(button->isEnabled());
    form.ok.Caption("&Beenden");
    EXPECT_EQ(button->text(), QStringLiteral("&Beenden"));
    form.Caption("Neuer Titel");
    EXPECT_EQ(tk->window(form)->windowTitle(), QStringLiteral("Neuer Titel"));
    form.Hide();
  });
  EXPECT_FALSE(form.visible());
}

TEST_F(QtToolkitTest, TypingRaisesKeyPressBeforeTheCharacterLandsThenChange) {
  show([&] {
    auto* edit = w<QLineEdit>(form.txt);
    form.events.clear();
    QTest::keyClicks(edit, "ab");
    EXPECT_EQ(form.events, (std::vector<std::string>{"KeyDown 65", "KeyPress 97 []", "Change [a]", "KeyDown 66",
                                                     "KeyPress 98 [a]", "Change [ab]"}));
    form.events.clear();
    qt_testing::type_text(edit, QStringLiteral("ö"));
    EXPECT_EQ(form.txt.Text(), "abö");
    ASSERT_FALSE(form.events.empty());
    EXPECT_EQ(form.events.back(), "Change [abö]");
    EXPECT_NE(std::find(form.events.begin(), form.events.end(), "KeyPress 246 [ab]"), form.events.end());

    form.events.clear();
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(form.txt.Text(), "ab");
    EXPECT_EQ(form.events, (std::vector<std::string>{"KeyDown 8", "KeyPress 8 [abö]", "Change [ab]"}));

    // A handler swallows digits and upper-cases letters.
    form.swallow_digits = true;
    form.upper_case = true;
    QTest::keyClicks(edit, "x1y");
    EXPECT_EQ(form.txt.Text(), "abXY");
    EXPECT_EQ(edit->text(), QStringLiteral("abXY"));

    // Alt+letter is an access key: no KeyPress, nothing typed.
    form.events.clear();
    QTest::keyClick(edit, Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(form.txt.Text(), "abXY");
    EXPECT_EQ(form.events, (std::vector<std::string>{"KeyDown 18", "KeyDown 66"}));

    // Keys without a character raise KeyDown only.
    form.events.clear();
    QTest::keyClick(edit, Qt::Key_Left);
    EXPECT_EQ(form.events, (std::vector<std::string>{"KeyDown 37"}));
    form.Hide();
  });
}

TEST_F(QtToolkitTest, PasteReachesTheModelAndTypingInTheMiddleKeepsTheCursor) {
  show([&] {
    auto* edit = w<QLineEdit>(form.txt);
    form.txt.Text("Hauptstr");
    edit->setCursorPosition(5);
    QTest::keyClicks(edit, "-");
    EXPECT_EQ(form.txt.Text(), "Haupt-str");
    form.events.clear();
    edit->selectAll();
    edit->insert("Ringweg");  // what a paste does
    EXPECT_EQ(form.txt.Text(), "Ringweg");
    form.Hide();
  });
}

TEST_F(QtToolkitTest, ArrowKeysRaiseKeyDownAndFocusMovesAsTheHandlersAsk) {
  show([&] {
    auto* edit = w<QLineEdit>(form.txt);
    auto* list = w<QListWidget>(form.lst);
    form.txt.SetFocus();
    form.events.clear();
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(form.events, (std::vector<std::string>{"KeyDown 40", "Click 0"}));
    EXPECT_EQ(form.focused(), &form.lst);
    EXPECT_EQ(tk->window(form)->focusWidget(), list);
    EXPECT_EQ(list->currentRow(), 0);

    // Down in the list moves the selection, which raises Click.
    form.events.clear();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(form.events, (std::vector<std::string>{"ListKeyDown 40", "Click 1"}));
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(form.lst.ListIndex(), 0);
    EXPECT_EQ(form.focused(), &form.lst);

    // Up on the first row: focus back to the text box, selection unchanged.
    form.events.clear();
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(form.events, (std::vector<std::string>{"ListKeyDown 38"}));
    EXPECT_EQ(form.focused(), &form.txt);
    EXPECT_EQ(tk->window(form)->focusWidget(), edit);
    EXPECT_EQ(form.lst.ListIndex(), 0);
    form.Hide();
  });
}

TEST_F(QtToolkitTest, ClickingARowRaisesClickDoubleClickRaisesDblClick) {
  show([&] {
    auto* list = w<QListWidget>(form.lst);
    // Gaining the focus selects nothing.
    list->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(form.lst.ListIndex(), -1);
    form.events.clear();
    click_row(list, 2);
    EXPECT_EQ(form.lst.ListIndex(), 2);
    EXPECT_EQ(form.events, (std::vector<std::string>{"Click 2"}));
    click_row(list, 2);  // the same row again: chosen again
    EXPECT_EQ(form.events, (std::vector<std::string>{"Click 2", "Click 2"}));
    // Ctrl+click on the selected row would leave a Qt list without selection;
    // a list box keeps its row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(2)).center());
    EXPECT_TRUE(list->item(2)->isSelected());
    EXPECT_EQ(form.lst.ListIndex(), 2);
    form.events.clear();
    double_click_row(list, 3);  // the handler hides the form
  });
  EXPECT_EQ(form.events, (std::vector<std::string>{"Click 3", "DblClick 3"}));
  EXPECT_FALSE(form.visible());
}

TEST_F(QtToolkitTest, ReturnPressesTheDefaultButtonEscapeTheCancelButton) {
  show([&] { QTest::keyClick(w<QLineEdit>(form.txt), Qt::Key_Return); });
  EXPECT_EQ(form.events.back(), "OK");
  form.events.clear();
  show([&] { QTest::keyClick(w<QListWidget>(form.lst), Qt::Key_Escape); });
  EXPECT_EQ(form.events.back(), "Abbrechen");
  // Return on a focused button presses that button.
  show([&] {
    w<QPushButton>(form.cancel)->setFocus();
    QTest::keyClick(tk->window(form), Qt::Key_Return);
  });
  EXPECT_EQ(form.events.back(), "Abbrechen");
  // A disabled default button is not pressed; the dialog stays.
  form.events.clear();
  show([&] {
    form.ok.Enabled(false);
    QTest::keyClick(w<QLineEdit>(form.txt), Qt::Key_Return);
    EXPECT_TRUE(form.visible());
    QTest::keyClick(w<QLineEdit>(form.txt), Qt::Key_Escape);
  });
  EXPECT_EQ(form.events, (std::vector<std::string>{"Activate", "KeyDown 13", "KeyDown 27", "Abbrechen"}));
}

TEST_F(QtToolkitTest, ClosingByTheFrameAsksTheForm) {
  form.close_hides = false;
  show([&] {
    QWidget* window = tk->window(form);
    window->close();
    EXPECT_TRUE(window->isVisible()) << "the form decided to stay";
    EXPECT_TRUE(form.visible());
    form.close_hides = true;
    window->close();
  });
  EXPECT_EQ(form.events, (std::vector<std::string>{"Activate", "CloseRequested", "CloseRequested"}));
  EXPECT_FALSE(form.visible());
}

TEST_F(QtToolkitTest, HideEndsTheModalLoopOnlyAfterTheRunningHandlerReturns) {
  // A long handler (an import) keeps the UI alive with DoEvents; a Hide
  // requested meanwhile ends the modal display once the handler is done.
  bool handler_done = false;
  form.ok.OnClick = [&] {
    form.events.push_back("lange Arbeit");
    QTimer::singleShot(0, [&] { form.cancel.Click(); });
    for (int i = 0; i < 20; ++i) tk->DoEvents();
    EXPECT_FALSE(form.visible()) << "Abbrechen ran inside DoEvents";
    handler_done = true;
  };
  show([&] { QTimer::singleShot(0, [&] { QTest::mouseClick(w<QPushButton>(form.ok), Qt::LeftButton); }); });
  EXPECT_TRUE(handler_done);
  EXPECT_EQ(form.events, (std::vector<std::string>{"Activate", "lange Arbeit", "Abbrechen"}));
}

TEST_F(QtToolkitTest, MousePointerElevenIsTheBusyCursor) {
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  tk->SetMousePointer(11);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  tk->SetMousePointer(11);  // twice: still one override to undo
  tk->SetMousePointer(0);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(tk->mouse_pointer(), 0);
}

TEST_F(QtToolkitTest, AnErrorEscapingAHandlerIsShownAndTheDialogStays) {
  form.throw_on_ok = true;
  auto seen = std::make_shared<SeenBox>();
  show([&] {
    answer_next_box("OK", seen);
    QTest::mouseClick(w<QPushButton>(form.ok), Qt::LeftButton);
    EXPECT_TRUE(form.visible());
    form.Hide();
  });
  EXPECT_EQ(seen->text, QStringLiteral("Unerwarteter Fehler im Dialog frmTest\n91 / Objektvariable nicht festgelegt"));
}

TEST_F(QtToolkitTest, AnErrorInActivateEndsTheDisplayCleanly) {
  form.throw_on_activate = true;
  EXPECT_THROW(form.Show(), Error);
  EXPECT_EQ(tk->window(form), nullptr);
  EXPECT_FALSE(form.visible());
  EXPECT_EQ(form.txt.on_model_changed, nullptr);
  form.throw_on_activate = false;
  show([&] { QTest::mouseClick(w<QPushButton>(form.cancel), Qt::LeftButton); });  // shown again
  EXPECT_EQ(form.events.back(), "Abbrechen");
}

TEST_F(QtToolkitTest, DialogsOnAnotherThreadAreRefusedWithAGermanError) {
  int number = 0;
  std::string text;
  std::thread worker([&] {
    ScopedToolkit there(std::make_shared<QtToolkit>());
    try {
      msg_box("Hallo");
    } catch (const Error& e) {
      number = e.number;
      text = e.description;
    }
  });
  worker.join();
  EXPECT_EQ(number, 5);
  EXPECT_EQ(text, "Dialoge der Qt-Oberfläche können nur im Hauptthread der Anwendung gezeigt werden");
}

TEST_F(QtToolkitTest, MessageBoxesHaveGermanButtonsTheQuestionIconAndTheTitle) {
  auto seen = std::make_shared<SeenBox>();
  answer_next_box("Ja", seen);
  EXPECT_EQ(msg_box("Wollen Sie wirklich?", mb::kYesNoQuestion, "Abbruch"), mb::kYes);
  EXPECT_EQ(seen->title, QStringLiteral("Abbruch"));
  EXPECT_EQ(seen->text, QStringLiteral("Wollen Sie wirklich?"));
  EXPECT_EQ(seen->icon, QMessageBox::Question);
  EXPECT_EQ(seen->buttons, (QStringList{"Ja", "Nein"}));

  answer_next_box("Nein", seen);
  EXPECT_EQ(msg_box("Löschen?", mb::kYesNo, "Abbruch"), mb::kNo);
  EXPECT_EQ(seen->icon, QMessageBox::NoIcon);

  *seen = {};
  answer_next_box("OK", seen);
  EXPECT_EQ(msg_box("Import beendet"), mb::kOk);
  EXPECT_EQ(seen->title, QStringLiteral("NoxPlz"));
  EXPECT_EQ(seen->buttons, (QStringList{"OK"}));

  // Escape on a question answers No.
  when_shown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(msg_box("Weiter?", mb::kYesNoQuestion), mb::kNo);
}

TEST_F(QtToolkitTest, AMessageBoxFromAHandlerBelongsToTheDialog) {
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
    window = tk->window(form);
    QTest::mouseClick(w<QPushButton>(form.ok), Qt::LeftButton);
  });
  EXPECT_EQ(parent, window);
  EXPECT_FALSE(form.visible());
}

TEST_F(QtToolkitTest, OpenFileOffersTheFiltersAndReturnsDirectoryAndName) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString data = dir.filePath("post.dat");
  std::ofstream(data.toStdString()) << "x";

  FileDialogRequest request;
  request.title = "Datafactory Postalcode";
  request.filters = {"Alle Dateien (*.*):*.*", "Datafactory Postalcode (*.dat):*.dat"};
  request.initial_dir = dir.path().toStdString();

  QStringList filters;
  QString title;
  when_shown<QFileDialog>([&](QFileDialog* d) {
    filters = d->nameFilters();
    title = d->windowTitle();
    d->selectFile(data);
    static_cast<QDialog*>(d)->accept();  // public as a QDialog
  });
  auto choice = tk->OpenFile(request);
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->directory, QFileInfo(dir.path()).absoluteFilePath().toStdString());
  EXPECT_EQ(choice->file_name, "post.dat");
  EXPECT_EQ(filters, (QStringList{"Alle Dateien (*)", "Datafactory Postalcode (*.dat)"}));
  EXPECT_EQ(title, QStringLiteral("Datafactory Postalcode"));

  when_shown<QFileDialog>([](QFileDialog* d) { d->reject(); });
  EXPECT_FALSE(tk->OpenFile(request).has_value());
}

}  // namespace
}  // namespace noxplz
