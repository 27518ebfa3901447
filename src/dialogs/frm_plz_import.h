// frmPlzImport, the dialog "Datafactory Postalcode Import": the user picks
// the data file, starts the import, watches the record counts per type,
// may abort, and sees the outcome of the verification.
//
// The import run (clsPlzImport) writes the labels and buttons below and reads
// the abort flag before every line; the dialog's handlers run inside the
// run's yields to the event loop.
#pragma once

#include <memory>
#include <string>

#include "noxplz/plz_import.h"
#include "noxplz/ui.h"

namespace noxplz {

class frmPlzImport : public Form {
 public:
  frmPlzImport();
  ~frmPlzImport() override;

  // True once the user confirmed that the import is to stop and the dialog
  // to close (or pressed "&Beenden").
  bool Abbruch() const { return abbruch_; }
  void Abbruch(bool value) { abbruch_ = value; }
  // True while an import started by the import button runs.
  bool importing() const { return importing_; }

  // Caption label ("GE-Sätze") and count label of a record type, in the
  // order GE KG OE OR OT PF PL ST (0..7).
  Label& caption_label(int type);
  Label& count_label(int type);

  // Controls; geometry in twips.
  Label Label17{*this, "Label17", {120, 165, 1095, 255}, "Datendatei:"};
  TextBox txtDatenDatei{*this, "txtDatenDatei", {1260, 120, 5595, 315}, 0};
  // The chooser button shows a picture in the classic dialog; "..." stands
  // for it here, with the tooltip kFileDialogToolTip.
  Button Cmd_FileDialog2{*this, "Cmd_FileDialog2", {6915, 120, 480, 315}, "...", 1};

  Label lbl_GE_Label{*this, "lbl_GE_Label", {120, 660, 1335, 255}, "GE-Sätze"};
  Label lbl_GE_Saetze{*this, "lbl_GE_Saetze", {1500, 660, 1815, 255}, "0"};
  Label lbl_KG_Label{*this, "lbl_KG_Label", {120, 1020, 1335, 255}, "KG-Sätze"};
  Label lbl_KG_Saetze{*this, "lbl_KG_Saetze", {1500, 1020, 1815, 255}, "0"};
  Label lbl_OE_Label{*this, "lbl_OE_Label", {120, 1380, 1335, 255}, "OE-Sätze"};
  Label lbl_OE_Saetze{*this, "lbl_OE_Saetze", {1500, 1380, 1815, 255}, "0"};
  Label lbl_OR_Label{*this, "lbl_OR_Label", {120, 1740, 1335, 255}, "OR-Sätze"};
  Label lbl_OR_Saetze{*this, "lbl_OR_Saetze", {1500, 1740, 1815, 255}, "0"};
  Label lbl_OT_Label{*this, "lbl_OT_Label", {3780, 660, 1335, 255}, "OT-Sätze"};
  Label lbl_OT_Saetze{*this, "lbl_OT_Saetze", {5160, 660, 1815, 255}, "0"};
  Label lbl_PF_Label{*this, "lbl_PF_Label", {3780, 1020, 1335, 255}, "PF-Sätze"};
  Label lbl_PF_Saetze{*this, "lbl_PF_Saetze", {5160, 1020, 1815, 255}, "0"};
  Label lbl_PL_Label{*this, "lbl_PL_Label", {3780, 1380, 1335, 255}, "PL-Sätze"};
  Label lbl_PL_Saetze{*this, "lbl_PL_Saetze", {5160, 1380, 1815, 255}, "0"};
  Label lbl_ST_Label{*this, "lbl_ST_Label", {3780, 1740, 1335, 255}, "ST-Sätze"};
  Label lbl_ST_Saetze{*this, "lbl_ST_Saetze", {5160, 1740, 1815, 255}, "0"};

  Label lbl_Delete{*this, "lbl_Delete", {120, 2220, 7275, 315}, "Alter Datafactory-Datenbestand wird gelöscht!"};
  Label Label1{*this, "Label1", {120, 2760, 3975, 435}, "Hinweis:   Ihre Datenbank vergößert sich um ca. 250 MB!"};
  Button cmd_Abbruch{*this, "cmd_Abbruch", {4440, 2760, 1395, 435}, "&Abbrechen", 3};
  Button cmd_Importieren{*this, "cmd_Importieren", {6000, 2760, 1395, 435}, "&Importieren", 2};

  static constexpr std::string_view kFileDialogToolTip = "Bestehende Vorlage auswählen";

  // --- handlers ---
  void Form_Load() override;
  // Closing by the window frame: during an import the cancel question, as
  // "&Abbrechen" asks it; otherwise the dialog hides.
  void CloseRequested() override;
  void Cmd_FileDialog2_Click();
  void txtDatenDatei_Change();
  void cmd_Importieren_Click();
  void cmd_Abbruch_Click();

 private:
  // Notice line, caption colours, counters and count labels back to the start.
  void Anzeige_Zuruecksetzen();

  // Shared so that a run keeps its import object alive should the chooser
  // button replace it during the run.
  std::shared_ptr<clsPlzImport> import_;
  bool abbruch_ = false;
  bool importing_ = false;
};

}  // namespace noxplz
