// frmAuswahl, the modal choice list of the searches: the caller fills
// lst_Auswahl with one line per candidate, sets the caption ("Orts-Auswahl" /
// "Straßen-Auswahl"), shows the form and reads AuswahlIndex once it is
// hidden: the chosen line, or -1 for "Abbrechen", no selection or a close by
// the window frame. Return takes the selected line (double click too),
// Escape cancels.
#pragma once

#include <cstdint>

#include "noxplz/ui.h"

namespace noxplz {

class frmAuswahl : public Form {
 public:
  frmAuswahl();

  int32_t AuswahlIndex = -1;
  // The line selected when the form is activated (the first by default).
  int32_t initial_line = 0;

  ListBox lst_Auswahl{*this, "lst_Auswahl", {120, 120, 5655, 2790}, 0};
  Button cmd_Uebernehmen{*this, "cmd_Uebernehmen", {3150, 3060, 1260, 405}, "Übernehmen", 1};
  Button cmd_Abbrechen{*this, "cmd_Abbrechen", {4515, 3060, 1260, 405}, "Abbrechen", 2};

  // Selects initial_line, or the first line when there is no such line (an
  // empty list stays without selection).
  void Form_Activate() override;
  // Closing by the window frame is a cancel.
  void CloseRequested() override;

  void cmd_Uebernehmen_Click();
  void cmd_Abbrechen_Click();
  void lst_Auswahl_DblClick();
};

}  // namespace noxplz
