// The choice dialogs of the searches: the place / street choice lists on
// frmAuswahl and the postal-code / place mismatch question frmChkPlzOrt.
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "dialogs/frm_auswahl.h"
#include "dialogs/frm_chk_plz_ort.h"
#include "lookup/global.h"
#include "platform/text.h"

namespace noxplz {
namespace {

// Unloads a form on every way out, ignoring errors of the unload.
struct UnloadOnExit {
  Form& form;
  ~UnloadOnExit() {
    try {
      form.Unload();
    } catch (...) {
    }
  }
};

// Shows frmAuswahl with one line per filled row (a row whose name column is
// empty is not offered) and returns the chosen row, -1 when cancelled. Any
// error ends the choice quietly with the result reached so far.
int32_t choose_row(const VariantTable& tabelle, std::string_view caption,
                   std::string (*line)(const VariantTable&, int32_t)) {
  int32_t result = -1;
  try {
    auto form = std::make_unique<frmAuswahl>();
    UnloadOnExit unload{*form};
    form->AuswahlIndex = -1;
    form->Caption(caption);
    result = form->AuswahlIndex;
    form->lst_Auswahl.Clear();
    // List line -> table row; the two agree unless a row without name was skipped.
    std::vector<int32_t> rows;
    for (int32_t i = 0; i <= tabelle.UpperBound(1); ++i) {
      if (text::trim(tabelle.Text(i, 0)).empty()) continue;
      form->lst_Auswahl.AddItem(line(tabelle, i));
      rows.push_back(i);
    }
    form->Show();
    int32_t chosen = form->AuswahlIndex;
    result = chosen >= 0 && chosen < static_cast<int32_t>(rows.size()) ? rows[static_cast<size_t>(chosen)] : -1;
  } catch (const std::exception&) {
  }
  return result;
}

}  // namespace

std::string place_choice_line(const VariantTable& tabelle, int32_t row) {
  return tabelle.Text(row, 0) + " " + tabelle.Text(row, 1) + "    (" + tabelle.Text(row, 3) + ")";
}

std::string street_choice_line(const VariantTable& tabelle, int32_t row) {
  std::string name = text::trim(tabelle.Text(row, 0));
  std::string von = text::trim(tabelle.Text(row, 2));
  std::string bis = text::trim(tabelle.Text(row, 3));
  std::string ortsteil = text::trim(tabelle.Text(row, 5));
  std::string district;
  if (!ortsteil.empty()) district = "   ( " + ortsteil + " )";
  if (!von.empty()) return name + "   ( " + von + " - " + bis + " )" + district;
  return name + district;
}

int32_t choose_place(const VariantTable& tabelle) { return choose_row(tabelle, "Orts-Auswahl", place_choice_line); }

int32_t choose_street(const VariantTable& tabelle) {
  return choose_row(tabelle, "Straßen-Auswahl", street_choice_line);
}

int32_t Frage_PlzOrt() {
  auto form = std::make_unique<frmChkPlzOrt>();
  UnloadOnExit unload{*form};
  form->Show();
  return form->Antwort;
}

}  // namespace noxplz
