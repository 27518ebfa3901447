#include "platform/ui/console/console_toolkit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ui/console/import_display.h"

namespace noxplz::console {
namespace {

// Forms built like the component's dialogs, so the console rendering is
// tested from the control models alone.
class ChoiceForm : public Form {
 public:
  ChoiceForm() : Form("frmAuswahl", "Orts-Auswahl", {0, 0, 6000, 4000}) {
    cmd_Uebernehmen.OnClick = [this] {
      AuswahlIndex = lst_Auswahl.ListIndex();
      Hide();
    };
    cmd_Abbrechen.OnClick = [this] {
      AuswahlIndex = -1;
      Hide();
    };
    lst_Auswahl.DblClick = [this] { cmd_Uebernehmen.Click(); };
  }
  void Form_Activate() override {
    if (lst_Auswahl.ListCount() > 0) lst_Auswahl.ListIndex(0);
  }
  ListBox lst_Auswahl{*this, "lst_Auswahl", {}, 0};
  Button cmd_Uebernehmen{*this, "cmd_Uebernehmen", {}, "Übernehmen", 1};
  Button cmd_Abbrechen{*this, "cmd_Abbrechen", {}, "Abbrechen", 2};
  int AuswahlIndex = -1;
};

class MismatchForm : public Form {
 public:
  MismatchForm() : Form("frmChkPlzOrt", "Prüfe Postleitzahl und Bestimmungsort", {}) {
    cmd_Nein.OnClick = [this] { answer(-1); };
    cmd_Ort.OnClick = [this] { answer(1); };
    cmd_Postleitzahl.OnClick = [this] { answer(2); };
  }
  void Form_Load() override {
    Label1.Caption("Die Postleitzahl und der Bestimmungsort stimmen nicht überein! Prüfen?");
  }
  void Form_Activate() override { set_focused(&cmd_Postleitzahl); }
  void answer(int a) {
    Antwort = a;
    Hide();
  }
  Label Label1{*this, "Label1", {}};
  Picture Picture1{*this, "Picture1", {}, Picture::Image::Question};
  Button cmd_Nein{*this, "cmd_Nein", {}, "&Nein", 2};
  Button cmd_Ort{*this, "cmd_Ort", {}, "&Ort", 1};
  Button cmd_Postleitzahl{*this, "cmd_Postleitzahl", {}, "&Postleitzahl", 0};
  int Antwort = 0;
};

struct Console {
  explicit Console(std::string input = {}, bool interactive = true, PresetAnswers answers = {})
      : in(std::move(input)),
        toolkit(ConsoleSettings{&in, &ui, interactive, false, false, 100}, std::move(answers)) {}
  std::istringstream in;
  std::ostringstream ui;
  ConsoleToolkit toolkit;
  // Input not read by the toolkit.
  std::string unread() {
    std::string rest;
    std::getline(in, rest, '\0');
    return rest;
  }
};

ChoiceForm& fill(ChoiceForm& form, std::initializer_list<const char*> items) {
  for (const char* item : items) form.lst_Auswahl.AddItem(item);
  return form;
}

TEST(ConsoleMessageBox, OkBoxIsPrintedWithTitleAndReadsNothing) {
  Console c("j\n");
  EXPECT_EQ(c.toolkit.MsgBox("Kein Ort mit dieser Postleitzahl vorhanden!", mb::kOkOnly, "Postleitzahlen"),
            mb::kOk);
  EXPECT_EQ(c.toolkit.MsgBox("Ort nicht gefunden.", mb::kOkOnly, kDefaultCaption), mb::kOk);
  EXPECT_EQ(c.ui.str(), "Postleitzahlen: Kein Ort mit dieser Postleitzahl vorhanden!\nOrt nicht gefunden.\n");
  EXPECT_EQ(c.unread(), "j\n");
}

TEST(ConsoleMessageBox, YesNoAsksUntilTheAnswerIsClear) {
  Console c("vielleicht\nJa\nn\n");
  EXPECT_EQ(c.toolkit.MsgBox("Weiter?", mb::kYesNoQuestion, "Achtung"), mb::kYes);
  EXPECT_EQ(c.toolkit.MsgBox("Noch einmal?", mb::kYesNo, "NoxPlz"), mb::kNo);
  EXPECT_NE(c.ui.str().find("Achtung: Weiter? [J]a/[N]ein: "), std::string::npos);
  EXPECT_NE(c.ui.str().find("Bitte antworten Sie mit j (Ja) oder n (Nein)."), std::string::npos);
  ASSERT_EQ(c.toolkit.messages().size(), 2u);
  EXPECT_EQ(c.toolkit.messages()[0].answer, mb::kYes);
  EXPECT_FALSE(c.toolkit.question_failed());
}

TEST(ConsoleMessageBox, EndOfInputAnswersNo) {
  Console c("");
  EXPECT_EQ(c.toolkit.MsgBox("Weiter?", mb::kYesNo, "Achtung"), mb::kNo);
}

TEST(ConsoleMessageBox, WithoutTerminalItNamesTheOptionAndReadsNothing) {
  PresetAnswers answers;
  answers.yes_no_option = "--yes";
  Console c("j\n", false, answers);
  EXPECT_EQ(c.toolkit.MsgBox("Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?",
                             mb::kYesNoQuestion, "Achtung"),
            mb::kNo);
  EXPECT_TRUE(c.toolkit.question_failed());
  EXPECT_NE(c.toolkit.failure_message().find("--yes"), std::string::npos);
  EXPECT_NE(c.toolkit.failure_message().find("kein Terminal"), std::string::npos);
  EXPECT_NE(c.ui.str().find(c.toolkit.failure_message()), std::string::npos);
  EXPECT_EQ(c.unread(), "j\n");
  // A later question is answered No without a second message.
  EXPECT_EQ(c.toolkit.MsgBox("Noch eine Frage?", mb::kYesNo, "NoxPlz"), mb::kNo);
  EXPECT_EQ(c.ui.str().find("Noch eine Frage"), std::string::npos);
}

TEST(ConsoleMessageBox, AnswerGivenInAdvanceWinsWithoutTerminal) {
  PresetAnswers answers;
  answers.yes_no = true;
  Console c("", false, answers);
  EXPECT_EQ(c.toolkit.MsgBox("Weiter?", mb::kYesNoQuestion, "Achtung"), mb::kYes);
  EXPECT_FALSE(c.toolkit.question_failed());
  EXPECT_NE(c.ui.str().find("(vorgegeben)"), std::string::npos);
}

TEST(ConsoleMenu, ListsTheLinesAndTakesTheChosenOne) {
  Console c("7\nabc\n2\n");
  ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
  ChoiceForm form;
  fill(form, {"Laufenburg (Baden)     (79725)", "Laufenburg     (79724)"});
  form.Show();
  EXPECT_EQ(form.AuswahlIndex, 1);
  EXPECT_FALSE(form.visible());
  const std::string out = c.ui.str();
  EXPECT_NE(out.find("Orts-Auswahl:\n  1  Laufenburg (Baden)     (79725)\n  2  Laufenburg     (79724)\n  0  Abbrechen\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Bitte geben Sie eine Zahl von 1 bis 2 oder 0 (Abbrechen) ein."), std::string::npos);
}

TEST(ConsoleMenu, ZeroEmptyAnswerAndEndOfInput) {
  {
    Console c("0\n");
    ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
    ChoiceForm form;
    fill(form, {"A", "B"});
    form.Show();
    EXPECT_EQ(form.AuswahlIndex, -1);
  }
  {
    Console c("\n");  // Return takes the line the dialog selected (the first)
    ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
    ChoiceForm form;
    fill(form, {"A", "B"});
    form.Show();
    EXPECT_EQ(form.AuswahlIndex, 0);
  }
  {
    Console c("");
    ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
    ChoiceForm form;
    fill(form, {"A", "B"});
    form.AuswahlIndex = 5;
    form.Show();
    EXPECT_EQ(form.AuswahlIndex, -1);
  }
}

TEST(ConsoleMenu, WithoutTerminalCancelsAndNamesTheOption) {
  Console c("1\n", false);
  ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
  ChoiceForm form;
  fill(form, {"A", "B"});
  form.Show();
  EXPECT_EQ(form.AuswahlIndex, -1);
  EXPECT_TRUE(c.toolkit.question_failed());
  EXPECT_NE(c.toolkit.failure_message().find("„Orts-Auswahl“"), std::string::npos);
  EXPECT_NE(c.toolkit.failure_message().find("--auswahl N"), std::string::npos);
  EXPECT_EQ(c.unread(), "1\n");
}

TEST(ConsoleMenu, ChoicesGivenInAdvanceAreUsedInOrderAndChecked) {
  PresetAnswers answers;
  answers.choices = {2, 9};
  Console c("", false, answers);
  ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
  ChoiceForm first;
  fill(first, {"A", "B", "C"});
  first.Show();
  EXPECT_EQ(first.AuswahlIndex, 1);
  EXPECT_FALSE(c.toolkit.question_failed());
  ChoiceForm second;
  fill(second, {"A", "B"});
  second.Show();
  EXPECT_EQ(second.AuswahlIndex, -1);
  EXPECT_TRUE(c.toolkit.question_failed());
  EXPECT_NE(c.toolkit.failure_message().find("Auswahl 9"), std::string::npos);
}

TEST(ConsoleButtons, AccessKeysMakeTheQuestion) {
  Console c("x\no\n");
  ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
  MismatchForm form;
  form.Show();
  EXPECT_EQ(form.Antwort, 1);
  const std::string out = c.ui.str();
  EXPECT_NE(out.find("Die Postleitzahl und der Bestimmungsort stimmen nicht überein! Prüfen?\n"), std::string::npos);
  EXPECT_NE(out.find("[P]ostleitzahl/[O]rt/[N]ein [Postleitzahl]: "), std::string::npos) << out;
}

TEST(ConsoleButtons, ReturnPressesTheFocusedButtonAndEndOfInputCloses) {
  {
    Console c("\n");
    ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
    MismatchForm form;
    form.Show();
    EXPECT_EQ(form.Antwort, 2);
  }
  {
    Console c("");
    ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
    MismatchForm form;
    form.Show();
    EXPECT_EQ(form.Antwort, 0);
    EXPECT_FALSE(form.visible());
  }
}

TEST(ConsoleButtons, WithoutTerminalOrWithAPresetLetter) {
  {
    Console c("p\n", false);
    ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
    MismatchForm form;
    form.Show();
    EXPECT_EQ(form.Antwort, 0);
    EXPECT_TRUE(c.toolkit.question_failed());
    EXPECT_NE(c.toolkit.failure_message().find("--antwort"), std::string::npos);
  }
  {
    PresetAnswers answers;
    answers.buttons = {'n'};
    Console c("", false, answers);
    ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
    MismatchForm form;
    form.Show();
    EXPECT_EQ(form.Antwort, -1);
    EXPECT_FALSE(c.toolkit.question_failed());
  }
}

TEST(ConsoleHelpers, AccessKeyLabelAndDigitGroups) {
  char key = 0;
  EXPECT_EQ(ConsoleToolkit::access_key_label("&Postleitzahl", &key), "[P]ostleitzahl");
  EXPECT_EQ(key, 'P');
  EXPECT_EQ(ConsoleToolkit::access_key_label("Über&nehmen", &key), "Über[n]ehmen");
  EXPECT_EQ(key, 'N');
  EXPECT_EQ(ConsoleToolkit::access_key_label("Abbrechen", &key), "[A]bbrechen");
  EXPECT_EQ(key, 'A');
  EXPECT_EQ(group_digits(0), "0");
  EXPECT_EQ(group_digits(999), "999");
  EXPECT_EQ(group_digits(1000), "1.000");
  EXPECT_EQ(group_digits(1234567), "1.234.567");
  EXPECT_EQ(group_digits(-1234), "-1.234");
}

TEST(ConsoleFileChooser, AsksForAnExistingPath) {
  auto dir = std::filesystem::temp_directory_path() / ("noxplz_console_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto file = dir / "post.dat";
  std::ofstream(file) << "x";
  Console c((dir / "fehlt.dat").string() + "\n" + file.string() + "\n");
  FileDialogRequest request;
  request.title = "Datafactory Postalcode";
  request.filters = {"Datafactory Postalcode (*.dat):*.dat", ""};
  auto choice = c.toolkit.OpenFile(request);
  ASSERT_TRUE(choice);
  EXPECT_EQ(std::filesystem::path(choice->directory) / choice->file_name, file);
  EXPECT_NE(c.ui.str().find("Datafactory Postalcode – Datafactory Postalcode (*.dat)"), std::string::npos);
  EXPECT_NE(c.ui.str().find("gibt es nicht"), std::string::npos);

  Console empty("\n");
  EXPECT_FALSE(empty.toolkit.OpenFile(request));
  Console batch(file.string() + "\n", false);
  EXPECT_FALSE(batch.toolkit.OpenFile(request));
  EXPECT_TRUE(batch.toolkit.question_failed());
  std::filesystem::remove_all(dir);
}

// The import dialog as far as the progress display reads it.
class ImportForm : public Form {
 public:
  ImportForm() : Form("frmPlzImport", "Datafactory Postalcode Import", {}) {
    lbl_Delete.Visible(false);
    cmd_Abbruch.OnClick = [this] {
      if (msg_box("Wollen Sie den Import wirklich abbrechen?", mb::kYesNo, "Abbruch") == mb::kYes) {
        abort = true;
        Hide();
      }
    };
  }
  Label& count(const char* code) { return control<Label>(std::string("lbl_") + code + "_Saetze"); }
  TextBox txtDatenDatei{*this, "txtDatenDatei", {}, 0};
  Label lbl_GE_Saetze{*this, "lbl_GE_Saetze", {}, "0"}, lbl_KG_Saetze{*this, "lbl_KG_Saetze", {}, "0"},
      lbl_OE_Saetze{*this, "lbl_OE_Saetze", {}, "0"}, lbl_OR_Saetze{*this, "lbl_OR_Saetze", {}, "0"},
      lbl_OT_Saetze{*this, "lbl_OT_Saetze", {}, "0"}, lbl_PF_Saetze{*this, "lbl_PF_Saetze", {}, "0"},
      lbl_PL_Saetze{*this, "lbl_PL_Saetze", {}, "0"}, lbl_ST_Saetze{*this, "lbl_ST_Saetze", {}, "0"};
  Label lbl_Delete{*this, "lbl_Delete", {}, "Alter Datafactory-Datenbestand wird gelöscht!"};
  Button cmd_Abbruch{*this, "cmd_Abbruch", {}, "&Abbrechen", 1};
  Button cmd_Importieren{*this, "cmd_Importieren", {}, "&Importieren", 2};
  bool abort = false;
};

TEST(ConsoleImport, ShareReadFollowsCountsAndRecordLengths) {
  Console c;
  ImportForm form;
  ImportDisplay display(c.toolkit, form, 10 * (234 + 2));
  form.lbl_ST_Saetze.Caption("5");
  auto counts = display.counts();
  EXPECT_EQ(counts[7], 5);
  EXPECT_DOUBLE_EQ(display.share_read(counts), 0.5);
  form.lbl_GE_Saetze.Caption("1.000");  // grouped digits are read as one number
  EXPECT_EQ(display.counts()[0], 1000);
  EXPECT_DOUBLE_EQ(display.share_read(display.counts()), 1.0);  // never beyond the whole file
  EXPECT_NE(display.status_text(1.0).find("GE 1.000 · KG 0"), std::string::npos);
  EXPECT_EQ(display.compact_text(1.0), "100 % · 1.005/s · GE 1.000 ST 5");
}

TEST(ConsoleImport, PlainLinesShowNoticesAndEveryTenthOfTheFile) {
  Console c("", false);
  ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
  ImportForm form;
  form.cmd_Importieren.OnClick = [&form] {
    form.lbl_Delete.Visible(true);
    form.lbl_Delete.Visible(false);
    form.lbl_Delete.Caption("Datafactory-Daten werden importiert");
    form.lbl_Delete.Visible(true);
    for (int n = 1; n <= 20; ++n) {
      form.lbl_PL_Saetze.Caption(std::to_string(n));
      form.lbl_PL_Saetze.Refresh();
      toolkit().DoEvents();
    }
    form.lbl_Delete.Caption("Überprüfung läuft");
    form.lbl_Delete.Caption(std::string(kNoticeAllOk));
  };
  c.toolkit.SetImportPath("/nicht/da.dat");
  form.Show();
  const std::string out = c.ui.str();
  EXPECT_NE(out.find("Alter Datafactory-Datenbestand wird gelöscht!\nDatafactory-Daten werden importiert\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Überprüfung läuft\n"), std::string::npos);
  EXPECT_EQ(form.txtDatenDatei.Text(), "/nicht/da.dat");
  // The file size is unknown here: no share, but the final notice closes the run.
  EXPECT_NE(out.find(std::string(kNoticeAllOk) + "\n"), std::string::npos);
  EXPECT_EQ(out.find("% gelesen"), std::string::npos);
}

TEST(ConsoleImport, TenthsOfAKnownFile) {
  Console c("", false);
  ImportForm form;
  c.toolkit.WatchImport(form, 100 * (168 + 2));
  for (int n = 1; n <= 100; ++n) {
    form.lbl_PL_Saetze.Caption(std::to_string(n));
    c.toolkit.DoEvents();
  }
  c.toolkit.EndWatch();
  const std::string out = c.ui.str();
  for (int tenth = 10; tenth <= 100; tenth += 10)
    EXPECT_NE(out.find(std::to_string(tenth) + " % gelesen"), std::string::npos) << tenth << "\n" << out;
  EXPECT_EQ(out.find("5 % gelesen"), std::string::npos);
}

TEST(ConsoleImport, InterruptPressesCancelAndWithoutTerminalConfirmsItself) {
  Console c("", false);
  ScopedToolkit use(std::shared_ptr<Toolkit>(&c.toolkit, [](Toolkit*) {}));
  ImportForm form;
  form.set_visible(true);
  c.toolkit.WatchImport(form, 0);
  c.toolkit.DoEvents();
  EXPECT_FALSE(form.abort);
  ConsoleToolkit::RequestCancel();
  c.toolkit.DoEvents();
  EXPECT_TRUE(form.abort);
  EXPECT_FALSE(c.toolkit.question_failed());
  c.toolkit.EndWatch();
}

}  // namespace
}  // namespace noxplz::console
