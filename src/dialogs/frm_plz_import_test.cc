// The import dialog: its controls' start state, the path field, the chooser
// button, the cancel button and closing by the window frame, opened through
// clsPlzManager::PlzImportieren.
#include "dialogs/frm_plz_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "manager/session.h"
#include "noxplz/plz_manager.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using testing::ScriptedToolkit;

constexpr int32_t kButtonText = static_cast<int32_t>(0x80000012);

class ImportDialogTest : public ::testing::Test {
 protected:
  ImportDialogTest() { manager_.Init(nullptr, "", db_.connection()); }

  testing::TempDatabase db_;
  clsPlzManager manager_;
  std::shared_ptr<ScriptedToolkit> tk_ = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use_{tk_};
};

TEST_F(ImportDialogTest, OpensWithZeroCountsWhateverTheCountersHeld) {
  session().counters = RecordCounters{1, 2, 3, 4, 5, 6, 7, 8};
  tk_->ExpectForm("frmPlzImport", [](Form& f) {
    auto& frm = dynamic_cast<frmPlzImport&>(f);
    EXPECT_EQ(frm.Caption(), "Datafactory Postalcode Import");
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(frm.count_label(i).Caption(), "0");
      EXPECT_EQ(frm.caption_label(i).ForeColor(), kButtonText);
      EXPECT_EQ(frm.caption_label(i).BackColor(), frm.BackColor());
    }
    EXPECT_EQ(frm.lbl_GE_Label.Caption(), "GE-Sätze");
    EXPECT_EQ(frm.lbl_ST_Label.Caption(), "ST-Sätze");
    EXPECT_FALSE(frm.lbl_Delete.Visible());
    EXPECT_EQ(frm.lbl_Delete.Caption(), "Alter Datafactory-Datenbestand wird gelöscht!");
    EXPECT_EQ(frm.lbl_Delete.ForeColor(), color::kRed);
    EXPECT_EQ(frm.Label1.Caption(), "Hinweis:   Ihre Datenbank vergößert sich um ca. 250 MB!");
    EXPECT_EQ(frm.Label17.Caption(), "Datendatei:");
    EXPECT_FALSE(frm.cmd_Importieren.Enabled());
    EXPECT_EQ(frm.cmd_Importieren.Caption(), "&Importieren");
    EXPECT_EQ(frm.cmd_Abbruch.Caption(), "&Abbrechen");
    EXPECT_TRUE(frm.cmd_Abbruch.Enabled());
    EXPECT_FALSE(frm.Abbruch());
    frm.CloseRequested();  // no import running: hides without a question
  });
  manager_.PlzImportieren();
  const RecordCounters& c = session().counters;
  EXPECT_EQ(c.GE + c.KG + c.OE + c.OR + c.OT + c.PF + c.PL + c.ST, 0);
  EXPECT_EQ(tk_->log().back(), "Hide: frmPlzImport");
}

TEST_F(ImportDialogTest, PathFieldEnablesTheImportButtonOnlyWithText) {
  frmPlzImport frm;
  frm.raise_load();
  frm.txtDatenDatei.TypeText(" ");
  EXPECT_FALSE(frm.cmd_Importieren.Enabled());
  frm.txtDatenDatei.TypeText("a");
  EXPECT_TRUE(frm.cmd_Importieren.Enabled());
  frm.txtDatenDatei.Text("   ");
  EXPECT_FALSE(frm.cmd_Importieren.Enabled());
}

TEST_F(ImportDialogTest, ChooserButtonFillsThePathOrEmptiesItOnCancel) {
  frmPlzImport frm;
  frm.raise_load();
  tk_->ExpectOpenFile(FileChoice{"/daten/post", "plz.dat"}, [](const FileDialogRequest& r) {
    EXPECT_EQ(r.title, "Datafactory Postalcode");
    EXPECT_EQ(r.file_name, "");
    EXPECT_EQ(r.initial_dir, "");
    EXPECT_EQ(r.filters,
              (std::vector<std::string>{"Alle Dateien (*.*):*.*", "Datafactory Postalcode (*.dat):*.dat"}));
    EXPECT_FALSE(r.option1);
    EXPECT_TRUE(r.option2);
    EXPECT_FALSE(r.option3);
    EXPECT_TRUE(r.always_on);
  });
  frm.Cmd_FileDialog2.Click();
  EXPECT_EQ(frm.txtDatenDatei.Text(), "/daten/post/plz.dat");
  EXPECT_TRUE(frm.cmd_Importieren.Enabled());

  tk_->ExpectOpenFile(std::nullopt);
  frm.Cmd_FileDialog2.Click();
  EXPECT_EQ(frm.txtDatenDatei.Text(), "");
  EXPECT_FALSE(frm.cmd_Importieren.Enabled());
}

TEST_F(ImportDialogTest, CancelAnsweredNoStaysOpenYesCloses) {
  tk_->ExpectForm("frmPlzImport", [this](Form& f) {
    auto& frm = dynamic_cast<frmPlzImport&>(f);
    tk_->ExpectMsgBox("Wollen Sie den Import wirklich abbrechen?", mb::kNo, mb::kYesNo, "Abbruch");
    frm.cmd_Abbruch.Click();
    EXPECT_TRUE(frm.visible());
    EXPECT_FALSE(frm.Abbruch());
    tk_->ExpectMsgBox("Wollen Sie den Import wirklich abbrechen?", mb::kYes, mb::kYesNo, "Abbruch");
    frm.cmd_Abbruch.Click();
    EXPECT_FALSE(frm.visible());
    EXPECT_TRUE(frm.Abbruch());
  });
  manager_.PlzImportieren();
}

TEST_F(ImportDialogTest, ImportingAgainResetsTheDisplayBeforeTheQuestion) {
  const auto dir = testing::make_temp_dir("noxplz-dialog");
  const std::string path = (dir / "x.dat").string();
  std::ofstream(path, std::ios::binary) << "KG" "2612" "001" "20240115" "09162000" "G" "M\x81nchen"
                                        << std::string(33, ' ') << "$\r\n";
  frmPlzImport frm;
  frm.raise_load();
  frm.txtDatenDatei.Text(path);
  tk_->ExpectMsgBox("Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?", mb::kYes);
  frm.cmd_Importieren.Click();
  // Only KG was in the file and it had no check record: everything red.
  EXPECT_EQ(frm.lbl_KG_Label.ForeColor(), color::kRed);
  EXPECT_EQ(session().counters.KG, 1);

  tk_->ExpectMsgBox("Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?", mb::kNo);
  frm.cmd_Importieren.Click();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(frm.caption_label(i).ForeColor(), kButtonText);
    EXPECT_EQ(frm.count_label(i).Caption(), "0");
  }
  EXPECT_EQ(session().counters.KG, 0);
  EXPECT_EQ(db_.count("KGS_DA"), 1);  // No: the data of the first run stays
  std::filesystem::remove_all(dir);
}

TEST_F(ImportDialogTest, CancelDuringAnImportHidesTheDialogOnlyAfterTheVerification) {
  const auto dir = testing::make_temp_dir("noxplz-dialog");
  const std::string path = (dir / "x.dat").string();
  {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 30; ++i)
      out << "KG261200120240115" << 10000000 + i << "GAugsburg" << std::string(32, ' ') << "$\r\n";
  }
  int events = 0;
  Form* current = nullptr;
  tk_->on_do_events = [&] {
    if (++events == 5) {
      tk_->ExpectMsgBox("Wollen Sie den Import wirklich abbrechen?", mb::kYes, mb::kYesNo, "Abbruch");
      dynamic_cast<frmPlzImport&>(*current).cmd_Abbruch.Click();
    }
  };
  tk_->ExpectForm("frmPlzImport", [&](Form& f) {
    current = &f;
    auto& frm = dynamic_cast<frmPlzImport&>(f);
    frm.txtDatenDatei.Text(path);
    tk_->ExpectMsgBox("Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?", mb::kYes);
    frm.cmd_Importieren.Click();
    // Hidden by the cancel, yet the run finished with its verification first.
    EXPECT_FALSE(frm.visible());
    EXPECT_EQ(frm.lbl_Delete.Caption(), "Es konnten nicht alle Werte korrekt importiert werden!");
    EXPECT_LT(session().counters.KG, 30);
  });
  manager_.PlzImportieren();
  EXPECT_EQ(tk_->mouse_pointer(), 0);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace noxplz
