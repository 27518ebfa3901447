#include "dialogs/frm_plz_import.h"

#include <string>
#include <vector>

#include "lookup/global.h"
#include "manager/session.h"
#include "platform/text.h"

namespace noxplz {
namespace {

// The counters in the order of the labels.
constexpr int32_t RecordCounters::*kCounters[8] = {&RecordCounters::GE, &RecordCounters::KG,
                                                   &RecordCounters::OE, &RecordCounters::OR,
                                                   &RecordCounters::OT, &RecordCounters::PF,
                                                   &RecordCounters::PL, &RecordCounters::ST};

// Button-text system colour of the caption labels.
constexpr int32_t kButtonText = static_cast<int32_t>(0x80000012);

}  // namespace

frmPlzImport::frmPlzImport() : Form("frmPlzImport", "Datafactory Postalcode Import", {0, 0, 7575, 3420}) {
  lbl_Delete.ForeColor(color::kRed);
  lbl_Delete.Visible(false);
  cmd_Importieren.Enabled(false);
  Cmd_FileDialog2.ToolTipText(kFileDialogToolTip);

  txtDatenDatei.Change = [this] { txtDatenDatei_Change(); };
  Cmd_FileDialog2.OnClick = [this] { Cmd_FileDialog2_Click(); };
  cmd_Importieren.OnClick = [this] { cmd_Importieren_Click(); };
  cmd_Abbruch.OnClick = [this] { cmd_Abbruch_Click(); };
}

frmPlzImport::~frmPlzImport() = default;

Label& frmPlzImport::caption_label(int type) {
  Label* labels[8] = {&lbl_GE_Label, &lbl_KG_Label, &lbl_OE_Label, &lbl_OR_Label,
                      &lbl_OT_Label, &lbl_PF_Label, &lbl_PL_Label, &lbl_ST_Label};
  return *labels[type];
}

Label& frmPlzImport::count_label(int type) {
  Label* labels[8] = {&lbl_GE_Saetze, &lbl_KG_Saetze, &lbl_OE_Saetze, &lbl_OR_Saetze,
                      &lbl_OT_Saetze, &lbl_PF_Saetze, &lbl_PL_Saetze, &lbl_ST_Saetze};
  return *labels[type];
}

void frmPlzImport::Form_Load() {
  import_ = std::make_shared<clsPlzImport>();
  Anzeige_Zuruecksetzen();
}

void frmPlzImport::Anzeige_Zuruecksetzen() {
  lbl_Delete.Caption("Alter Datafactory-Datenbestand wird gelöscht!");
  lbl_Delete.ForeColor(color::kRed);
  lbl_Delete.BackColor(BackColor());
  for (int i = 0; i < 8; ++i) caption_label(i).ForeColor(kButtonText);
  for (int i = 0; i < 8; ++i) caption_label(i).BackColor(BackColor());
  RecordCounters& counters = session().counters;
  for (int i = 0; i < 8; ++i) counters.*kCounters[i] = 0;
  for (int i = 0; i < 8; ++i) count_label(i).Caption(std::to_string(counters.*kCounters[i]));
}

void frmPlzImport::Cmd_FileDialog2_Click() {
  import_ = std::make_shared<clsPlzImport>();
  std::vector<std::string> filter(8);
  filter[0] = "Datafactory Postalcode (*.dat):*.dat";
  std::string pfad = Dateiauswahl("Datafactory Postalcode", "", "", filter, "", false, true, false);
  txtDatenDatei.Text(text::trim(pfad));
}

void frmPlzImport::txtDatenDatei_Change() { cmd_Importieren.Enabled(!text::trim(txtDatenDatei.Text()).empty()); }

void frmPlzImport::cmd_Importieren_Click() {
  // A click during a running import (its handlers run inside the run's
  // yields) would start a second run inside the first: ignored.
  if (importing_) return;
  if (cmd_Importieren.Caption() == "&Beenden") {
    abbruch_ = true;
    Hide();
    return;
  }
  Anzeige_Zuruecksetzen();
  std::shared_ptr<clsPlzImport> import = import_;
  if (!import) import = import_ = std::make_shared<clsPlzImport>();
  importing_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{importing_};
  import->Saetze_Einlesen(txtDatenDatei.Text(), *this);
}

void frmPlzImport::cmd_Abbruch_Click() {
  toolkit().SetMousePointer(0);
  if (msg_box("Wollen Sie den Import wirklich abbrechen?", mb::kYesNo, "Abbruch") == mb::kYes) {
    abbruch_ = true;
    Hide();
  } else {
    abbruch_ = false;
  }
}

void frmPlzImport::CloseRequested() {
  if (importing_) {
    cmd_Abbruch_Click();
  } else {
    Hide();
  }
}

}  // namespace noxplz
