// The import dialog without an import running: its start state opened
// through clsPlzManager::PlzImportieren, the path field, the chooser button,
// the cancel button and closing by the window frame. Runs of an import
// through the dialog are in tests/import_scenarios_test.cc.
#include "dialogs/frm_plz_import.h"

#include <gtest/gtest.h>

#include "manager/session.h"
#include "noxplz/plz_manager.h"
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

const std::string kCancelQuestion = "Wollen Sie den Import wirklich abbrechen?";

class ImportDialogTest : public testing::ScriptedTest {
 protected:
  ImportDialogTest() { manager_.Init(nullptr, "", db_.connection()); }
  clsPlzManager manager_;
};

TEST_F(ImportDialogTest, OpensResetAndCancelOrFrameCloseIt) {
  session().counters = RecordCounters{1, 2, 3, 4, 5, 6, 7, 8};
  tk_->ExpectForm("frmPlzImport", [this](Form& f) {
    auto& frm = dynamic_cast<frmPlzImport&>(f);
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(frm.count_label(i).Caption(), "0");
      EXPECT_EQ(frm.caption_label(i).ForeColor(), static_cast<int32_t>(0x80000012));  // button text
      EXPECT_EQ(frm.caption_label(i).BackColor(), frm.BackColor());
    }
    EXPECT_FALSE(frm.lbl_Delete.Visible());
    EXPECT_EQ(frm.lbl_Delete.ForeColor(), color::kRed);
    EXPECT_EQ(frm.Label1.Caption(), "Hinweis:   Ihre Datenbank vergößert sich um ca. 250 MB!");
    EXPECT_FALSE(frm.cmd_Importieren.Enabled());
    EXPECT_TRUE(frm.cmd_Abbruch.Enabled());
    tk_->ExpectMsgBox(kCancelQuestion, mb::kNo, mb::kYesNo, "Abbruch");
    frm.cmd_Abbruch.Click();
    EXPECT_TRUE(frm.visible());
    EXPECT_FALSE(frm.Abbruch());
    tk_->ExpectMsgBox(kCancelQuestion, mb::kYes, mb::kYesNo, "Abbruch");
    frm.cmd_Abbruch.Click();
    EXPECT_FALSE(frm.visible());
    EXPECT_TRUE(frm.Abbruch());
  });
  manager_.PlzImportieren();
  const RecordCounters& c = session().counters;
  EXPECT_EQ(c.GE + c.KG + c.OE + c.OR + c.OT + c.PF + c.PL + c.ST, 0);

  // Without an import running, closing by the frame hides the dialog without a question.
  tk_->ExpectForm("frmPlzImport", [](Form& f) { f.CloseRequested(); });
  manager_.PlzImportieren();
  EXPECT_EQ(tk_->log().back(), "Hide: frmPlzImport");
}

TEST_F(ImportDialogTest, PathFieldAndChooserButton) {
  frmPlzImport frm;
  frm.raise_load();
  const std::pair<std::string, bool> typed[] = {{" ", false}, {"a", true}};
  for (const auto& [text, enabled] : typed) {
    frm.txtDatenDatei.TypeText(text);
    EXPECT_EQ(frm.cmd_Importieren.Enabled(), enabled) << frm.txtDatenDatei.Text();
  }
  frm.txtDatenDatei.Text("   ");
  EXPECT_FALSE(frm.cmd_Importieren.Enabled());

  tk_->ExpectOpenFile(FileChoice{"/daten/post", "plz.dat"}, [](const FileDialogRequest& r) {
    EXPECT_EQ(r.title, "Datafactory Postalcode");
    EXPECT_EQ(r.file_name + r.initial_dir, "");
    EXPECT_EQ(r.filters, (std::vector<std::string>{"Alle Dateien (*.*):*.*", "Datafactory Postalcode (*.dat):*.dat"}));
    EXPECT_EQ(std::vector<bool>({r.option1, r.option2, r.option3, r.always_on}),
              std::vector<bool>({false, true, false, true}));
  });
  frm.Cmd_FileDialog2.Click();
  EXPECT_EQ(frm.txtDatenDatei.Text(), "/daten/post/plz.dat");
  EXPECT_TRUE(frm.cmd_Importieren.Enabled());
  // Cancelled: the path is emptied.
  tk_->ExpectOpenFile(std::nullopt);
  frm.Cmd_FileDialog2.Click();
  EXPECT_EQ(frm.txtDatenDatei.Text(), "");
  EXPECT_FALSE(frm.cmd_Importieren.Enabled());
}

}  // namespace
}  // namespace noxplz
