#include "dialogs/frm_auswahl.h"

namespace noxplz {

frmAuswahl::frmAuswahl() : Form("frmAuswahl", "", {0, 0, 5985, 3960}) {
  cmd_Uebernehmen.Default = true;
  cmd_Abbrechen.Cancel = true;
  cmd_Uebernehmen.OnClick = [this] { cmd_Uebernehmen_Click(); };
  cmd_Abbrechen.OnClick = [this] { cmd_Abbrechen_Click(); };
  lst_Auswahl.DblClick = [this] { lst_Auswahl_DblClick(); };
}

void frmAuswahl::Form_Activate() {
  if (lst_Auswahl.ListCount() == 0) return;
  lst_Auswahl.ListIndex(initial_line >= 0 && initial_line < lst_Auswahl.ListCount() ? initial_line : 0);
}

void frmAuswahl::CloseRequested() {
  AuswahlIndex = -1;
  Hide();
}

void frmAuswahl::cmd_Uebernehmen_Click() {
  AuswahlIndex = lst_Auswahl.ListIndex();
  Hide();
}

void frmAuswahl::cmd_Abbrechen_Click() {
  AuswahlIndex = -1;
  Hide();
}

void frmAuswahl::lst_Auswahl_DblClick() { cmd_Uebernehmen_Click(); }

}  // namespace noxplz
