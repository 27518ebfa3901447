// The choice dialogs of the searches: the place / street choice lists on
// frmAuswahl and the postal-code / place mismatch question frmChkPlzOrt.
#include <exception>
#include <functional>
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
// error ends the choice quietly with the result reached so far. `lines`
// composes the lines of the offered rows; `start` picks the row selected when
// the list opens (-1: the first line).
int32_t choose_row(const VariantTable& tabelle, std::string_view caption,
                   const std::function<std::vector<std::string>(const std::vector<int32_t>&)>& lines,
                   const std::function<int32_t(const std::vector<int32_t>&)>& start = {}) {
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
    for (int32_t i = 0; i <= tabelle.UpperBound(1); ++i)
      if (!text::trim(tabelle.Text(i, 0)).empty()) rows.push_back(i);
    for (const std::string& line : lines(rows)) form->lst_Auswahl.AddItem(line);
    if (start) {
      const int32_t row = start(rows);
      for (size_t k = 0; k < rows.size(); ++k)
        if (rows[k] == row) form->initial_line = static_cast<int32_t>(k);
    }
    form->Show();
    int32_t chosen = form->AuswahlIndex;
    result = chosen >= 0 && chosen < static_cast<int32_t>(rows.size()) ? rows[static_cast<size_t>(chosen)] : -1;
  } catch (const std::exception&) {
  }
  return result;
}

// The first of `rows` whose house-number range admits `hausnummer`; -1 when
// none does or no house number is given.
int32_t first_section_for(const VariantTable& strassen, const std::vector<int32_t>& rows,
                          const std::string& hausnummer) {
  if (text::trim(hausnummer).empty()) return -1;
  for (int32_t r : rows) {
    std::string hnr = hausnummer, von = strassen.Text(r, 2), bis = strassen.Text(r, 3), typ = strassen.Text(r, 4);
    if (text::trim(von).empty()) continue;
    if (Pruefe_Hausnummer(hnr, von, bis, typ)) return r;
  }
  return -1;
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

int32_t choose_place(const VariantTable& tabelle) {
  return choose_row(tabelle, "Orts-Auswahl", [&](const std::vector<int32_t>& rows) {
    return distinct_place_lines(tabelle, rows, place_choice_line, true);
  });
}

int32_t choose_street(const VariantTable& tabelle, const std::string& hausnummer) {
  return choose_row(
      tabelle, "Straßen-Auswahl",
      [&](const std::vector<int32_t>& rows) { return distinct_street_lines(tabelle, rows, street_choice_line, true); },
      [&](const std::vector<int32_t>& rows) { return first_section_for(tabelle, rows, hausnummer); });
}

int32_t Frage_PlzOrt() {
  auto form = std::make_unique<frmChkPlzOrt>();
  UnloadOnExit unload{*form};
  form->Show();
  return form->Antwort;
}

int32_t Frage_PlzOrt(const std::string& plz, const std::string& ort_zur_plz, bool eindeutig) {
  auto form = std::make_unique<frmChkPlzOrt>();
  UnloadOnExit unload{*form};
  form->show_place_of_code(text::trim(plz), text::trim(ort_zur_plz), eindeutig);
  form->Show();
  return form->Antwort;
}

}  // namespace noxplz
