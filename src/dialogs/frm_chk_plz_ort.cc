#include "dialogs/frm_chk_plz_ort.h"

#include <exception>
#include <string>

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

void frmChkPlzOrt::show_place_of_code(std::string_view plz, std::string_view ort, bool eindeutig) {
  const std::string code(plz), place(ort);
  if (place.empty())
    lbl_OrtZurPlz.Caption("Zur Postleitzahl " + code + " ist kein Ort verzeichnet.");
  else if (eindeutig)
    lbl_OrtZurPlz.Caption("Zur Postleitzahl " + code + " gehört: " + place);
  else
    lbl_OrtZurPlz.Caption("Zur Postleitzahl " + code + " gehören mehrere Orte, darunter: " + place);
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
