#include <gtest/gtest.h>

#include "noxplz/error.h"
#include "noxplz/ui.h"
#include "testing/scripted_toolkit.h"

namespace noxplz {
namespace {

class DemoForm : public Form {
 public:
  DemoForm() : Form("frmDemo", "Demo", {0, 0, 3000, 2000}) {}
  TextBox txt{*this, "txt_Ort", {0, 0, 1000, 300}, 0};
  ListBox lst{*this, "lst_Orte", {0, 400, 1000, 900}, 1};
  Label lbl{*this, "lbl_Info", {0, 1400, 1000, 200}, "Info"};
  Button ok{*this, "cmd_OK", {0, 1700, 600, 300}, "OK", 2};
};

TEST(ControlsTest, TextChangeRulesAndSuppression) {
  DemoForm f;
  int changes = 0;
  f.txt.Change = [&] { ++changes; };
  f.txt.Text("Bonn");
  f.txt.Text("Bonn");  // unchanged: no event
  EXPECT_EQ(changes, 1);
  f.txt.SuppressNextChange();
  f.txt.Text("Berlin");
  EXPECT_EQ(changes, 1);
  f.txt.Text("Bremen");
  EXPECT_EQ(changes, 2);
}

TEST(ControlsTest, TypingRaisesKeyPressBeforeTheCharacterLands) {
  DemoForm f;
  std::vector<std::string> events;
  f.txt.KeyPress = [&](int& k) { events.push_back("press " + std::to_string(k) + " text=" + f.txt.Text()); };
  f.txt.Change = [&] { events.push_back("change " + f.txt.Text()); };
  f.txt.TypeText("Kö");
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0], "press 75 text=");
  EXPECT_EQ(events[1], "change K");
  EXPECT_EQ(events[2], "press 246 text=K");  // ö as the Windows code 246
  EXPECT_EQ(events[3], "change Kö");
  f.txt.TypeKey("\b");
  EXPECT_EQ(f.txt.Text(), "K");
  f.txt.KeyPress = [](int& k) { k = 0; };  // swallowed key changes nothing
  f.txt.TypeKey("x");
  EXPECT_EQ(f.txt.Text(), "K");
}

TEST(ControlsTest, ListIndexRaisesClickAndChecksRange) {
  DemoForm f;
  int clicks = 0, dbl = 0;
  f.lst.Click = [&] { ++clicks; };
  f.lst.DblClick = [&] { ++dbl; };
  f.lst.AddItem("a");
  f.lst.AddItem("b");
  f.lst.ListIndex(1);
  EXPECT_EQ(clicks, 1);
  f.lst.DoubleClickRow(0);
  EXPECT_EQ(f.lst.ListIndex(), 0);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(dbl, 1);
  f.lst.ListIndex(-1);
  EXPECT_EQ(clicks, 2);
  EXPECT_THROW(f.lst.ListIndex(2), Error);
  EXPECT_THROW(f.lst.List(5), Error);
  f.lst.Clear();
  EXPECT_EQ(f.lst.ListCount(), 0);
  EXPECT_EQ(f.lst.ListIndex(), -1);
}

TEST(ControlsTest, DisabledButtonIgnoresClicksAndFormFindsControlsByName) {
  DemoForm f;
  int clicks = 0;
  f.ok.OnClick = [&] { ++clicks; };
  f.ok.Enabled(false);
  f.ok.Click();
  EXPECT_EQ(clicks, 0);
  f.ok.Enabled(true);
  f.control<Button>("cmd_OK").Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(f.Controls().size(), 4u);
  EXPECT_EQ(f.FindControl("gibt_es_nicht"), nullptr);
  EXPECT_THROW(f.control<ListBox>("txt_Ort"), std::logic_error);
}

TEST(ControlsTest, ModelChangesReachTheRenderer) {
  DemoForm f;
  int notified = 0;
  f.lbl.on_model_changed = [&](Control&) { ++notified; };
  f.lbl.Caption("Neu");
  f.lbl.Caption("Neu");
  f.lbl.ForeColor(color::kRed);
  f.lbl.Visible(false);
  EXPECT_EQ(notified, 3);
}

TEST(ToolkitTest, MsgBoxWithoutTitleShowsTheDefaultCaption) {
  auto tk = std::make_shared<testing::ScriptedToolkit>();
  tk->ExpectMsgBox("Frage?", mb::kYes, mb::kYesNoQuestion, "NoxPlz").ExpectMsgBox("Hinweis", mb::kOk, 0, "Titel");
  ScopedToolkit use(tk);
  EXPECT_EQ(msg_box("Frage?", mb::kYesNoQuestion), mb::kYes);
  EXPECT_EQ(msg_box("Hinweis", mb::kOkOnly, "Titel"), mb::kOk);
}

TEST(ToolkitTest, ScriptedFormActionsPlayTheUser) {
  auto tk = std::make_shared<testing::ScriptedToolkit>();
  DemoForm f;
  bool loaded = false;
  f.ok.OnClick = [&] { f.Hide(); };
  tk->ExpectForm("frmDemo", [&](Form& form) {
    loaded = form.loaded();
    form.control<Button>("cmd_OK").Click();
  });
  ScopedToolkit use(tk);
  f.Show();
  EXPECT_TRUE(loaded);
  EXPECT_FALSE(f.visible());
  EXPECT_EQ(tk->log().front(), "ShowModal: frmDemo");
}

TEST(ToolkitTest, UnattendedDefaultAnswersNoAndClosesForms) {
  DemoForm f;
  bool closed = false;
  struct Closing : DemoForm {
    bool* flag;
    void CloseRequested() override {
      *flag = true;
      Hide();
    }
  } g;
  g.flag = &closed;
  EXPECT_EQ(msg_box("Löschen?", mb::kYesNo), mb::kNo);
  g.Show();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(g.visible());
}

}  // namespace
}  // namespace noxplz
