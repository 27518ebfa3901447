// frmPlz, the interactive search dialog "Plz-Prüfung": the user types place,
// street and house number, narrows places and streets in live lists and takes
// the four texts over with "Übernehmen".
//
// The dialog works on the thread's shared OrtTabelle and StrTabelle. Entry i
// of lst_Orte shows row i of OrtTabelle, entry i of lst_Strassen row i of
// StrTabelle, after every fill. The Tag of txt_Ort holds the place key of the
// place last chosen in lst_Orte when that place has streets; the street side
// works on that place.
//
// The four caption labels above the text boxes form a control array in the
// design; here they are four labels named "Label1(0)" to "Label1(3)".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "noxplz/plz_manager.h"
#include "noxplz/ui.h"
#include "noxplz/variant.h"

namespace noxplz {

class frmPlz : public Form {
 public:
  frmPlz();
  ~frmPlz() override;

  // -1 after "Übernehmen", 0 after "Abbrechen" or before any button.
  int32_t Antwort() const { return antwort_; }
  // The dialog's own manager; set between Form_Load and Form_Unload.
  clsPlzManager* dialog_manager() const { return manager_.get(); }

  // Controls in design order (geometry in twips, tab index from the design).
  TextBox txt_Plz{*this, "txt_Plz", {30, 390, 885, 345}, 0};
  Label Label1_0{*this, "Label1(0)", {60, 90, 855, 255}, "Plz", 1};
  Label Label1_1{*this, "Label1(1)", {960, 90, 3195, 255}, "Ort", 2};
  TextBox txt_Ort{*this, "txt_Ort", {930, 390, 3225, 345}, 3};
  Label Label1_2{*this, "Label1(2)", {4200, 90, 3195, 255}, "Strasse", 4};
  TextBox txt_Hausnummer{*this, "txt_Hausnummer", {7440, 390, 645, 345}, 5};
  Label Label1_3{*this, "Label1(3)", {7440, 90, 645, 255}, "Nr", 6};
  TextBox txt_Strasse{*this, "txt_Strasse", {4170, 390, 3225, 345}, 7};
  ListBox lst_Orte{*this, "lst_Orte", {30, 750, 4125, 1035}, 8};
  ListBox lst_Strassen{*this, "lst_Strassen", {4170, 750, 3915, 1035}, 9};
  Label lbl_Ort{*this, "lbl_Ort", {30, 1830, 4155, 285}, "lbl_Ort", 10};
  Label lbl_Strasse{*this, "lbl_Strasse", {4200, 1830, 3885, 285}, "lbl_Strasse", 11};
  Button cmd_Uebernehmen{*this, "cmd_Uebernehmen", {6810, 2190, 1305, 405}, "Übernehmen", 12};
  Button cmd_Abbruch{*this, "cmd_Abbruch", {5490, 2190, 1305, 405}, "Abbrechen", 13};

  // --- lifecycle ---
  void Form_Load() override;
  void Form_Unload() override;
  // Closing by the window frame unloads the dialog at once.
  void CloseRequested() override;

  // --- buttons ---
  void cmd_Uebernehmen_Click();
  void cmd_Abbruch_Click();

  // --- place side ---
  void txt_Ort_Change();
  void txt_Ort_KeyDown(int key_code);
  void lst_Orte_Click();
  void lst_Orte_KeyDown(int key_code);

  // --- street side ---
  // Refreshes the street list for the text as a typed key left it.
  void txt_Strasse_Change();
  void txt_Strasse_KeyDown(int key_code);
  void lst_Strassen_Click();
  void lst_Strassen_KeyDown(int key_code);

 private:
  // Narrows StrTabelle and lst_Strassen to the street typed so far.
  void Aktualisiere_Strassen();
  // Fill_StrCombo and Ermittle_Strassen for all streets of a place; returns
  // what Ermittle_Strassen returned.
  bool list_all_streets(const std::string& alort, VariantTable& strassen);

  // The shared tables; recreated empty should a reset have released them.
  VariantTablePtr ort_tabelle();
  VariantTablePtr str_tabelle();

  std::unique_ptr<clsPlzManager> manager_;
  int32_t antwort_ = 0;
};

// Display lines as the list fillers compose them, from a row of the tables:
// place "Name Zusatz" (a trailing blank without addition); a street's line
// is street_table_line.
std::string place_line(const VariantTable& orte, int32_t row);
// The lines of the two lists for the rows found in a table (rows
// 0..UpperBound(1)-1): the lines above, where two would read the same with
// what tells them apart (place: postal code, municipality; street: postal
// code and district).
std::vector<std::string> place_lines(const VariantTable& orte);
std::vector<std::string> street_lines(const VariantTable& strassen);

// Makes `liste` show `lines` unless it already does; returns true when the
// list had to be rebuilt.
bool keep_list_in_step(ListBox& liste, const std::vector<std::string>& lines);

}  // namespace noxplz
