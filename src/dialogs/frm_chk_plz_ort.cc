#include "dialogs/frm_chk_plz_ort.h"

#include <exception>

namespace noxplz {

frmChkPlzOrt::frmChkPlzOrt() : Form("frmChkPlzOrt", "Prüfe Postleitzahl und Bestimmungsort", {0, 0, 5760, 1935}) {
  cmd_Postleitzahl.Default = true;
  cmd_Postleitzahl.OnClick = [this] { cmd_Postleitzahl_Click(); };
  cmd_Ort.OnClick = [this] { cmd_Ort_Click(); };
  cmd_Nein.OnClick = [this] { cmd_Nein_Click(); };
}

void frmChkPlzOrt::Form_Load() {
  Label1.Caption("Die Postleitzahl und der Bestimmungsort stimmen nicht überein! Prüfen?");
}

void frmChkPlzOrt::Form_Activate() {
  try {
    cmd_Postleitzahl.SetFocus();
  } catch (const std::exception&) {
    // A button that cannot take the focus changes nothing about the question.
  }
}

void frmChkPlzOrt::CloseRequested() {
  Antwort = 0;
  Hide();
}

void frmChkPlzOrt::cmd_Postleitzahl_Click() {
  Antwort = 2;
  Hide();
}

void frmChkPlzOrt::cmd_Ort_Click() {
  Antwort = 1;
  Hide();
}

void frmChkPlzOrt::cmd_Nein_Click() {
  Antwort = -1;
  Hide();
}

}  // namespace noxplz
