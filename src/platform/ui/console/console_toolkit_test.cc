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
  int AuswahlIndex = 5;
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

// A console toolkit on string streams, the current toolkit while it lives.
struct Console {
  explicit Console(std::string input = {}, bool interactive = true, PresetAnswers answers = {})
      : in(std::move(input)),
        toolkit(ConsoleSettings{&in, &ui, interactive, false, false, 100}, std::move(answers)) {}
  std::istringstream in;
  std::ostringstream ui;
  ConsoleToolkit toolkit;
  ScopedToolkit use{std::shared_ptr<Toolkit>(&toolkit, [](Toolkit*) {})};
  // Input not read by the toolkit.
  std::string unread() {
    std::string rest;
    std::getline(in, rest, '\0');
    return rest;
  }
  // What the user saw, the failure message included.
  std::string seen() { return ui.str() + "\n" + toolkit.failure_message(); }
};

// A case of a question: what is typed, whether at a terminal, what is given
// in advance; the answer, a text shown, whether the question failed.
template <class Preset>
struct Case {
  const char* input;
  bool interactive;
  Preset preset;
  int answer;
  const char* shown;
  bool failed;
};

TEST(ConsoleMessageBox, OkBoxIsPrintedWithTitleAndReadsNothing) {
  Console c("j\n");
  EXPECT_EQ(c.toolkit.MsgBox("Kein Ort mit dieser Postleitzahl vorhanden!", mb::kOkOnly, "Postleitzahlen"),
            mb::kOk);
  EXPECT_EQ(c.toolkit.MsgBox("Ort nicht gefunden.", mb::kOkOnly, kDefaultCaption), mb::kOk);
  EXPECT_EQ(c.ui.str(), "Postleitzahlen: Kein Ort mit dieser Postleitzahl vorhanden!\nOrt nicht gefunden.\n");
  EXPECT_EQ(c.unread(), "j\n");
}

TEST(ConsoleMessageBox, YesNoIsAJNPromptAndWithoutTerminalNamesTheOption) {
  const Case<std::optional<bool>> cases[] = {
      {"vielleicht\nJa\n", true, {}, mb::kYes, "Bitte antworten Sie mit j (Ja) oder n (Nein).", false},
      {"n\n", true, {}, mb::kNo, "Achtung: Weiter? [J]a/[N]ein: ", false},
      {"", true, {}, mb::kNo, "Achtung: Weiter? [J]a/[N]ein: ", false},  // end of input
      {"j\n", false, {}, mb::kNo, "kein Terminal", true},
      {"", false, true, mb::kYes, "(vorgegeben)", false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::string(k.input) + (k.interactive ? " am Terminal" : " ohne Terminal"));
    PresetAnswers answers;
    answers.yes_no = k.preset;
    answers.yes_no_option = "--yes";
    Console c(k.input, k.interactive, answers);
    EXPECT_EQ(c.toolkit.MsgBox("Weiter?", mb::kYesNoQuestion, "Achtung"), k.answer);
    EXPECT_NE(c.seen().find(k.shown), std::string::npos) << c.seen();
    EXPECT_EQ(c.toolkit.question_failed(), k.failed);
    if (!k.failed) continue;
    EXPECT_NE(c.ui.str().find(c.toolkit.failure_message()), std::string::npos);
    EXPECT_NE(c.toolkit.failure_message().find("--yes"), std::string::npos);
    EXPECT_EQ(c.unread(), k.input) << "nothing read without a terminal";
    // A later question is answered No without a second message.
    EXPECT_EQ(c.toolkit.MsgBox("Noch eine Frage?", mb::kYesNo, "NoxPlz"), mb::kNo);
    EXPECT_EQ(c.ui.str().find("Noch eine Frage"), std::string::npos);
  }
}

TEST(ConsoleMenu, ListIsANumberedMenuWithZeroAbbrechen) {
  const Case<std::deque<int>> cases[] = {
      {"7\nabc\n2\n", true, {}, 1, "Bitte geben Sie eine Zahl von 1 bis 2 oder 0 (Abbrechen) ein.", false},
      {"0\n", true, {}, -1, "  0  Abbrechen\n", false},
      {"\n", true, {}, 0, "Orts-Auswahl:", false},  // Return takes the line the dialog selected
      {"", true, {}, -1, "Orts-Auswahl:", false},   // end of input
      {"1\n", false, {}, -1, "„Orts-Auswahl“", true},
      {"", false, {2}, 1, "", false},
      {"", false, {9}, -1, "Auswahl 9", true},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::string(k.input) + (k.interactive ? " am Terminal" : " ohne Terminal"));
    PresetAnswers answers;
    answers.choices = k.preset;
    Console c(k.input, k.interactive, answers);
    ChoiceForm form;
    form.lst_Auswahl.AddItem("Laufenburg (Baden)     (79725)");
    form.lst_Auswahl.AddItem("Laufenburg     (79724)");
    form.Show();
    EXPECT_EQ(form.AuswahlIndex, k.answer);
    EXPECT_FALSE(form.visible());
    EXPECT_NE(c.seen().find(k.shown), std::string::npos) << c.seen();
    EXPECT_EQ(c.toolkit.question_failed(), k.failed);
    if (k.interactive) {
      EXPECT_NE(c.ui.str().find("Orts-Auswahl:\n  1  Laufenburg (Baden)     (79725)\n  2  Laufenburg     (79724)\n"
                                "  0  Abbrechen\n"),
                std::string::npos);
    }
    if (k.failed && k.preset.empty()) {
      EXPECT_NE(c.toolkit.failure_message().find("--auswahl N"), std::string::npos);
      EXPECT_EQ(c.unread(), k.input);
    }
  }
}

TEST(ConsoleButtons, AccessKeysMakeTheQuestion) {
  const Case<std::deque<char>> cases[] = {
      {"x\no\n", true, {}, 1, "[P]ostleitzahl/[O]rt/[N]ein [Postleitzahl]: ", false},
      {"\n", true, {}, 2, "stimmen nicht überein! Prüfen?\n", false},  // Return: the focused button
      {"", true, {}, 0, "", false},                                     // end of input closes
      {"p\n", false, {}, 0, "--antwort", true},
      {"", false, {'n'}, -1, "", false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::string(k.input) + (k.interactive ? " am Terminal" : " ohne Terminal"));
    PresetAnswers answers;
    answers.buttons = k.preset;
    Console c(k.input, k.interactive, answers);
    MismatchForm form;
    form.Show();
    EXPECT_EQ(form.Antwort, k.answer);
    EXPECT_FALSE(form.visible());
    EXPECT_NE(c.seen().find(k.shown), std::string::npos) << c.seen();
    EXPECT_EQ(c.toolkit.question_failed(), k.failed);
  }
  char key = 0;
  EXPECT_EQ(ConsoleToolkit::access_key_label("Über&nehmen", &key), "Über[n]ehmen");
  EXPECT_EQ(key, 'N');
  EXPECT_EQ(ConsoleToolkit::access_key_label("Abbrechen", &key), "[A]bbrechen");
  EXPECT_EQ(key, 'A');
}

TEST(ConsoleFileChooser, AsksForAnExistingPath) {
  auto dir = std::filesystem::temp_directory_path() / ("noxplz_console_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto file = dir / "post.dat";
  std::ofstream(file) << "x";
  FileDialogRequest request;
  request.title = "Datafactory Postalcode";
  request.filters = {"Datafactory Postalcode (*.dat):*.dat", ""};
  {
    Console c((dir / "fehlt.dat").string() + "\n" + file.string() + "\n");
    auto choice = c.toolkit.OpenFile(request);
    ASSERT_TRUE(choice);
    EXPECT_EQ(std::filesystem::path(choice->directory) / choice->file_name, file);
    EXPECT_NE(c.ui.str().find("Datafactory Postalcode – Datafactory Postalcode (*.dat)"), std::string::npos);
    EXPECT_NE(c.ui.str().find("gibt es nicht"), std::string::npos);
  }
  EXPECT_FALSE(Console("\n").toolkit.OpenFile(request));
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
  }
  TextBox txtDatenDatei{*this, "txtDatenDatei", {}, 0};
  Label lbl_GE_Saetze{*this, "lbl_GE_Saetze", {}, "0"}, lbl_KG_Saetze{*this, "lbl_KG_Saetze", {}, "0"},
      lbl_OE_Saetze{*this, "lbl_OE_Saetze", {}, "0"}, lbl_OR_Saetze{*this, "lbl_OR_Saetze", {}, "0"},
      lbl_OT_Saetze{*this, "lbl_OT_Saetze", {}, "0"}, lbl_PF_Saetze{*this, "lbl_PF_Saetze", {}, "0"},
      lbl_PL_Saetze{*this, "lbl_PL_Saetze", {}, "0"}, lbl_ST_Saetze{*this, "lbl_ST_Saetze", {}, "0"};
  Label lbl_Delete{*this, "lbl_Delete", {}, "Alter Datafactory-Datenbestand wird gelöscht!"};
  Button cmd_Abbruch{*this, "cmd_Abbruch", {}, "&Abbrechen", 1};
  Button cmd_Importieren{*this, "cmd_Importieren", {}, "&Importieren", 2};
};

TEST(ConsoleImport, ShareReadFollowsCountsAndRecordLengths) {
  Console c;
  ImportForm form;
  ImportDisplay display(c.toolkit, form, 10 * (234 + 2));
  form.lbl_ST_Saetze.Caption("5");
  EXPECT_EQ(display.counts()[7], 5);
  EXPECT_DOUBLE_EQ(display.share_read(display.counts()), 0.5);
  form.lbl_GE_Saetze.Caption("1.000");  // grouped digits are read as one number
  EXPECT_EQ(display.counts()[0], 1000);
  EXPECT_DOUBLE_EQ(display.share_read(display.counts()), 1.0);  // never beyond the whole file
  EXPECT_NE(display.status_text(1.0).find("GE 1.000 · KG 0"), std::string::npos);
  EXPECT_EQ(display.compact_text(1.0), "100 % · 1.005/s · GE 1.000 ST 5");
  EXPECT_EQ(group_digits(-1234567), "-1.234.567");
}

TEST(ConsoleImport, PlainLinesShowNoticesAndEveryTenthOfAKnownFile) {
  Console c("", false);
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
  std::string out = c.ui.str();
  EXPECT_NE(out.find("Alter Datafactory-Datenbestand wird gelöscht!\nDatafactory-Daten werden importiert\n"
                     "Überprüfung läuft\n" + std::string(kNoticeAllOk) + "\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(form.txtDatenDatei.Text(), "/nicht/da.dat");
  EXPECT_EQ(out.find("% gelesen"), std::string::npos) << "the file size is unknown: no share";

  Console known("", false);
  known.toolkit.WatchImport(form, 100 * (168 + 2));
  for (int n = 1; n <= 100; ++n) {
    form.lbl_PL_Saetze.Caption(std::to_string(n));
    known.toolkit.DoEvents();
  }
  known.toolkit.EndWatch();
  out = known.ui.str();
  for (int tenth = 10; tenth <= 100; tenth += 10)
    EXPECT_NE(out.find(std::to_string(tenth) + " % gelesen"), std::string::npos) << tenth << "\n" << out;
  EXPECT_EQ(out.find("5 % gelesen"), std::string::npos);
}

}  // namespace
}  // namespace noxplz::console
