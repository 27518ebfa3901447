#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "noxplz/error.h"
#include "noxplz/ui.h"

namespace noxplz {
namespace {

class DemoForm : public Form {
 public:
  DemoForm() : Form("frmDemo", "Demo", {0, 0, 3000, 2000}) {}
  TextBox txt{*this, "txt_Ort", {0, 0, 1000, 300}, 0};
  ListBox lst{*this, "lst_Orte", {0, 400, 1000, 900}, 1};
  Button ok{*this, "cmd_OK", {0, 1700, 600, 300}, "OK", 2};
  std::vector<std::string> events;
};

// Text set by program raises Change unless unchanged or suppressed once;
// typing raises KeyPress (with the Windows code) before the text changes,
// then Change; a swallowed key changes nothing.
TEST(ControlsTest, TextBoxEvents) {
  DemoForm f;
  f.txt.KeyPress = [&](int& k) { f.events.push_back("press " + std::to_string(k) + " text=" + f.txt.Text()); };
  f.txt.Change = [&] { f.events.push_back("change " + f.txt.Text()); };
  f.txt.Text("Bonn");
  f.txt.Text("Bonn");
  f.txt.SuppressNextChange();
  f.txt.Text("");
  f.txt.TypeText("Kö");
  f.txt.TypeKey("\b");
  EXPECT_EQ(f.events, (std::vector<std::string>{"change Bonn", "press 75 text=", "change K", "press 246 text=K",
                                                "change Kö", "press 8 text=Kö", "change K"}));
  f.txt.KeyPress = [](int& k) { k = 0; };
  f.txt.TypeKey("x");
  EXPECT_EQ(f.txt.Text(), "K");
}

// Hands lines over to a list with a selected row: the selection is gone
// and the list counts a replacement.
void hand_over(DemoForm& f, const std::function<void()>& set) {
  f.lst.AddItem("alt");
  f.lst.ListIndex(0);
  const uint64_t generation = f.lst.ItemsGeneration();
  set();
  EXPECT_EQ(f.lst.ListIndex(), -1);
  EXPECT_NE(f.lst.ItemsGeneration(), generation);
}

// ListIndex raises Click (not for -1) and checks its range; a disabled
// button ignores clicks.
TEST(ControlsTest, ListAndButtonEvents) {
  DemoForm f;
  f.lst.Click = [&] { f.events.push_back("click " + std::to_string(f.lst.ListIndex())); };
  f.lst.DblClick = [&] { f.events.push_back("dblclick"); };
  f.ok.OnClick = [&] { f.events.push_back("ok"); };
  f.lst.AddItem("a");
  f.lst.AddItem("b");
  f.lst.ListIndex(1);
  f.lst.DoubleClickRow(0);
  f.lst.ListIndex(-1);
  f.ok.Enabled(false);
  f.ok.Click();
  f.ok.Enabled(true);
  f.ok.Click();
  EXPECT_EQ(f.events, (std::vector<std::string>{"click 1", "click 0", "dblclick", "ok"}));
  EXPECT_THROW(f.lst.ListIndex(2), Error);
  EXPECT_THROW(f.lst.List(5), Error);
  f.lst.Clear();
  EXPECT_EQ(f.lst.ListCount(), 0);
  EXPECT_EQ(f.lst.ListIndex(), -1);

  // Lines handed over are shown as given, clear the selection like Clear,
  // and stay unchanged for their owner when the list grows afterwards.
  auto kept = std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"Aachen", "Bonn"});
  hand_over(f, [&] { f.lst.SetItems(kept); });
  EXPECT_EQ(f.lst.List(1), "Bonn");
  f.lst.AddItem("Celle");
  EXPECT_EQ(f.lst.Items(), (std::vector<std::string>{"Aachen", "Bonn", "Celle"}));
  EXPECT_EQ(kept->size(), 2u);
}

// Lines made when read: the count and a line cost only that line; all
// items make every line once; a list that grows keeps what it showed.
class CountingLines : public ListLines {
 public:
  size_t size() const override { return 50000; }
  const std::string& line(size_t i) const override {
    auto [at, made] = made_.try_emplace(i, "Zeile " + std::to_string(i));
    calls += made;
    return at->second;
  }
  mutable size_t calls = 0;

 private:
  mutable std::map<size_t, std::string> made_;
};

TEST(ControlsTest, LinesSetToBeMadeWhenReadAreMadeOnlyThen) {
  DemoForm f;
  auto lines = std::make_shared<CountingLines>();
  hand_over(f, [&] { f.lst.SetLines(lines); });
  EXPECT_EQ(f.lst.ListCount(), 50000);
  f.lst.ListIndex(49999);
  EXPECT_EQ(lines->calls, 0u);
  EXPECT_EQ(f.lst.List(49999), "Zeile 49999");
  EXPECT_EQ(f.lst.List(7), "Zeile 7");
  EXPECT_EQ(lines->calls, 2u);
  EXPECT_THROW(f.lst.List(50000), Error);
  EXPECT_EQ(f.lst.Items().size(), 50000u);
  EXPECT_EQ(f.lst.Items()[123], "Zeile 123");
  EXPECT_EQ(lines->calls, 50000u);
  f.lst.AddItem("neu");
  EXPECT_EQ(f.lst.ListCount(), 50001);
  EXPECT_EQ(f.lst.List(50000), "neu");
  EXPECT_EQ(f.lst.List(3), "Zeile 3");
  f.lst.Clear();
  EXPECT_EQ(f.lst.ListCount(), 0);
}

// Without a toolkit of its own a thread never blocks and never agrees to
// anything: Yes/No is answered No, a form is closed as if by its frame.
TEST(ToolkitTest, UnattendedDefaultAnswersNoAndClosesForms) {
  struct Closing : DemoForm {
    void CloseRequested() override {
      events.push_back("close");
      Hide();
    }
  } f;
  EXPECT_EQ(msg_box("Löschen?", mb::kYesNo), mb::kNo);
  f.Show();
  EXPECT_EQ(f.events, std::vector<std::string>{"close"});
  EXPECT_FALSE(f.visible());
}

}  // namespace
}  // namespace noxplz
