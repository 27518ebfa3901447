// frmChkPlzOrt, the question "Prüfe Postleitzahl und Bestimmungsort" asked
// when a postal code and a place do not belong together. Antwort after the
// form is hidden: 2 "&Postleitzahl" (the postal code is right), 1 "&Ort"
// (the place is right), -1 "&Nein", 0 closed by the window frame or Escape.
#pragma once

#include <cstdint>
#include <string_view>

#include "noxplz/ui.h"

namespace noxplz {

class frmChkPlzOrt : public Form {
 public:
  frmChkPlzOrt();

  int32_t Antwort = 0;

  Picture Picture1{*this, "Picture1", {180, 240, 720, 720}, Picture::Image::Question};
  Label Label1{*this, "Label1", {1080, 240, 4455, 720}};
  // Which place belongs to the postal code, so the user does not decide blind.
  Label lbl_OrtZurPlz{*this, "lbl_OrtZurPlz", {1080, 870, 4455, 285}};
  Button cmd_Postleitzahl{*this, "cmd_Postleitzahl", {1080, 1200, 1455, 405}, "&Postleitzahl", 0};
  Button cmd_Ort{*this, "cmd_Ort", {2610, 1200, 1455, 405}, "&Ort", 1};
  Button cmd_Nein{*this, "cmd_Nein", {4140, 1200, 1395, 405}, "&Nein", 2};

  // Names the place of the postal code on lbl_OrtZurPlz ("Zur Postleitzahl
  // 10115 gehört: Berlin"); `eindeutig` false when the code has several places.
  void show_place_of_code(std::string_view plz, std::string_view ort, bool eindeutig);

  void Form_Load() override;
  // Puts the keyboard focus on "&Postleitzahl".
  void Form_Activate() override;
  // Closing by the window frame answers 0.
  void CloseRequested() override;

  void cmd_Postleitzahl_Click();
  void cmd_Ort_Click();
  void cmd_Nein_Click();
};

}  // namespace noxplz
