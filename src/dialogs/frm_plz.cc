#include "dialogs/frm_plz.h"

#include <exception>

#include "lookup/global.h"
#include "lookup/list_cache.h"
#include "manager/session.h"
#include "platform/text.h"

namespace noxplz {
namespace {

constexpr int32_t kRowDim = 1;

// Runs `step`, ignoring any error it raises: the key handlers move focus and
// selection on a best-effort basis (an empty list has no first entry).
template <class F>
void ignoring_errors(F&& step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

// Number of rows a lookup wrote: rows 0..n-1 hold them, row n is empty.
int32_t rows_found(const VariantTable& t) { return t.UpperBound(kRowDim); }

// True when `row` can be read from `t` (the empty row after the last one included).
bool readable_row(const VariantTable& t, int32_t row) {
  return row >= t.LowerBound(kRowDim) && row <= t.UpperBound(kRowDim);
}

}  // namespace

std::string place_line(const VariantTable& orte, int32_t row) {
  return place_list_line(orte.Text(row, 0), orte.Text(row, 1));
}

std::vector<std::string> place_lines(const VariantTable& orte) {
  return distinct_place_lines(orte, filled_rows(orte), place_line, false);
}

std::vector<std::string> street_lines(const VariantTable& strassen) {
  return distinct_street_lines(strassen, filled_rows(strassen), street_table_line, false);
}

namespace {

using Lines = std::shared_ptr<const std::vector<std::string>>;

// Fills `liste` with the lines of `tabelle`. A table the session keeps (a
// list of all streets, a place list) has its lines made once and kept with
// it, so a list shown again costs neither the lines nor their copy. Street
// lines are made when the list shows them (a place may have 47,000 street
// sections); they read a copy of the table, which shares its cells.
void fill_lines(ListBox& liste, const VariantTable& tabelle, bool streets) {
  KeptLists* cache = lookup::kept_lists();
  KeptLists::Entry* kept =
      cache ? lookup::kept_entry_of(streets ? cache->entries : cache->place_lists, tabelle) : nullptr;
  if (streets) {
    std::shared_ptr<const ListLines> lines = kept ? kept->street_lines : nullptr;
    if (!lines) lines = street_list_lines(std::make_shared<const VariantTable>(tabelle));
    if (kept) kept->street_lines = lines;
    liste.SetLines(std::move(lines));
    return;
  }
  Lines lines = kept ? kept->lines : nullptr;
  if (!lines) lines = std::make_shared<const std::vector<std::string>>(place_lines(tabelle));
  if (kept) kept->lines = lines;
  liste.SetItems(std::move(lines));
}

}  // namespace

bool keep_list_in_step(ListBox& liste, const std::vector<std::string>& lines) {
  if (liste.Items() == lines) return false;
  // The list filler and the lookup are two selections; should they disagree
  // (an error in one of them, rows in another order), the list follows the
  // table, because the handlers read the chosen row from the table. Lines
  // that read the same get what tells them apart here too.
  liste.Clear();
  for (const std::string& line : lines) liste.AddItem(line);
  return true;
}

frmPlz::frmPlz() : Form("frmPlz", "Plz-Prüfung", {0, 0, 8175, 2670}) {
  // Return takes the address over, Escape cancels, from any control.
  cmd_Uebernehmen.Default = true;
  cmd_Abbruch.Cancel = true;
  cmd_Uebernehmen.OnClick = [this] { cmd_Uebernehmen_Click(); };
  cmd_Abbruch.OnClick = [this] { cmd_Abbruch_Click(); };
  txt_Ort.Change = [this] { txt_Ort_Change(); };
  txt_Ort.KeyDown = [this](int& key_code, int) { txt_Ort_KeyDown(key_code); };
  lst_Orte.Click = [this] { lst_Orte_Click(); };
  lst_Orte.KeyDown = [this](int& key_code, int) { lst_Orte_KeyDown(key_code); };
  txt_Strasse.Change = [this] { txt_Strasse_Change(); };
  txt_Strasse.KeyDown = [this](int& key_code, int) { txt_Strasse_KeyDown(key_code); };
  lst_Strassen.Click = [this] { lst_Strassen_Click(); };
  lst_Strassen.KeyDown = [this](int& key_code, int) { lst_Strassen_KeyDown(key_code); };
}

// A dialog destroyed while still loaded ends its manager like an unload.
frmPlz::~frmPlz() { Unload(); }

// The handlers hold their own reference to a table: a modal question inside
// a handler may let another manager of the thread end, and the session's
// reset must not free a table a handler is still filling or reading.
VariantTablePtr frmPlz::ort_tabelle() {
  VariantTablePtr& t = session().OrtTabelle;
  if (!t) t = std::make_shared<VariantTable>();
  return t;
}

VariantTablePtr frmPlz::str_tabelle() {
  VariantTablePtr& t = session().StrTabelle;
  if (!t) t = std::make_shared<VariantTable>();
  return t;
}

// --- lifecycle ---

void frmPlz::Form_Load() {
  manager_ = std::make_unique<clsPlzManager>();
  session().OrtTabelle = std::make_shared<VariantTable>();
  session().StrTabelle = std::make_shared<VariantTable>();
  lbl_Ort.Caption("");
  lbl_Strasse.Caption("");
  if (text::trim(manager_->Such_Hausnummer()).empty()) manager_->TrenneStrasseHausNr();
  // Runs the place search as typing would, so the list opens filled.
  txt_Ort.Text(manager_->Such_Ort());
  txt_Hausnummer.Text(manager_->Such_Hausnummer());
  txt_Strasse.Text(manager_->Such_Strasse());
}

void frmPlz::Form_Unload() {
  // Ending the dialog's manager resets the thread's session.
  ignoring_errors([&] { manager_.reset(); });
}

void frmPlz::CloseRequested() { Unload(); }

// --- buttons ---

void frmPlz::cmd_Uebernehmen_Click() {
  Session& s = session();
  s.Plz = txt_Plz.Text();
  s.Strasse = txt_Strasse.Text();
  s.Hausnummer = txt_Hausnummer.Text();
  s.Ort = txt_Ort.Text();
  antwort_ = -1;
  Hide();
}

void frmPlz::cmd_Abbruch_Click() {
  antwort_ = 0;
  Hide();
}

// --- place side ---

void frmPlz::txt_Ort_Change() {
  const std::string name = txt_Ort.Text();
  if (text::trim(name).empty()) {
    lst_Orte.Clear();
    return;
  }
  lst_Strassen.Clear();
  txt_Plz.Text("");
  VariantTablePtr orte_ref = ort_tabelle();
  VariantTable& orte = *orte_ref;
  // The place list shows the lines of the table's rows. Fill_OrtCombo would
  // run the same selection a second time; it runs only after a failed
  // lookup, so its own report appears as it always did.
  const int64_t failures = lookup_failures_shown();
  Ermittle_Orte(name, orte);
  if (lookup_failures_shown() == failures) {
    fill_lines(lst_Orte, orte, false);
  } else {
    Fill_OrtCombo(lst_Orte, name);
    keep_list_in_step(lst_Orte, place_lines(orte));
  }
  if (rows_found(orte) == 1) txt_Plz.Text(Ermittle_Plz(orte.Text(0, 2)));
}

void frmPlz::txt_Ort_KeyDown(int key_code) {
  if (key_code != key::kDown) return;
  ignoring_errors([&] { lst_Orte.SetFocus(); });
  ignoring_errors([&] { lst_Orte.ListIndex(0); });
}

void frmPlz::lst_Orte_Click() {
  VariantTablePtr orte_ref = ort_tabelle();
  VariantTable& orte = *orte_ref;
  const int32_t i = lst_Orte.ListIndex();
  if (!readable_row(orte, i)) return;
  const std::string alort = orte.Text(i, 2);

  VariantTablePtr strassen_ref = str_tabelle();
  VariantTable& strassen = *strassen_ref;
  const bool hat_strassen = list_all_streets(alort, strassen);

  if (hat_strassen) {
    txt_Plz.Text(Ermittle_Plz(alort));
    txt_Ort.Tag(alort);
    if (!text::trim(txt_Strasse.Text()).empty()) Aktualisiere_Strassen();
  } else {
    txt_Ort.Tag("");
    txt_Plz.Text(Ermittle_Plz(alort));
  }

  // The bare name goes into the field without a new place search, so the
  // list, its selection and the tables stay as the click left them.
  const int32_t j = lst_Orte.ListIndex();
  if (readable_row(orte, j)) {
    const std::string name = orte.Text(j, 0);
    if (txt_Ort.Text() != name) {  // an unchanged text raises no Change to suppress
      txt_Ort.SuppressNextChange();
      txt_Ort.Text(name);
    }
  }
  txt_Hausnummer.BackColor(color::kWhite);
}

void frmPlz::lst_Orte_KeyDown(int key_code) {
  if (key_code != key::kUp) return;
  ignoring_errors([&] {
    if (lst_Orte.ListIndex() == 0) txt_Ort.SetFocus();
  });
}

// --- street side ---

void frmPlz::txt_Strasse_Change() {
  // The list follows the text a typed character (or Backspace) left: a street
  // taken over from the list, a text set by program or one changed by Delete
  // narrows nothing.
  if (!txt_Strasse.ChangedByKey()) return;
  const std::string alort = text::trim(txt_Ort.Tag());
  if (alort.empty()) return;
  if (!text::trim(txt_Strasse.Text()).empty()) {
    Aktualisiere_Strassen();
    return;
  }
  // An emptied field lists all streets of the place; txt_Plz stays.
  VariantTablePtr strassen_ref = str_tabelle();
  list_all_streets(alort, *strassen_ref);
}

bool frmPlz::list_all_streets(const std::string& alort, VariantTable& strassen) {
  std::string strasse, hausnummer;  // empty: all streets, no question
  // Fill_StrCombo and Ermittle_Strassen select the same rows; the list is
  // made from the table's rows instead of a second selection. Where the
  // selection fails, or the lookup reports a failure, both run as they
  // always did, so every report appears in its usual order.
  if (!street_list_selection_starts(alort)) {
    Fill_StrCombo(lst_Strassen, alort, "", "");
    const bool found = Ermittle_Strassen(alort, strassen, strasse, hausnummer);
    keep_list_in_step(lst_Strassen, street_lines(strassen));
    return found;
  }
  const int64_t failures = lookup_failures_shown();
  const bool found = Ermittle_Strassen(alort, strassen, strasse, hausnummer);
  if (lookup_failures_shown() == failures) {
    fill_lines(lst_Strassen, strassen, true);
  } else {
    Fill_StrCombo(lst_Strassen, alort, "", "");
    keep_list_in_step(lst_Strassen, street_lines(strassen));
  }
  return found;
}

void frmPlz::Aktualisiere_Strassen() {
  const std::string alort = text::trim(txt_Ort.Tag());
  if (alort.empty()) return;
  VariantTablePtr strassen_ref = str_tabelle();
  VariantTable& strassen = *strassen_ref;
  std::string strasse = txt_Strasse.Text();  // receives the normalised text; the box keeps the typed one
  std::string hausnummer;
  const bool gefunden = Ermittle_Strassen(alort, strassen, strasse, hausnummer);
  fill_lines(lst_Strassen, strassen, true);
  txt_Plz.Text(gefunden ? text::trim(strassen.Text(0, 1)) : std::string());
}

void frmPlz::txt_Strasse_KeyDown(int key_code) {
  if (key_code != key::kDown) return;
  ignoring_errors([&] { lst_Strassen.SetFocus(); });
  ignoring_errors([&] { lst_Strassen.ListIndex(0); });
}

void frmPlz::lst_Strassen_Click() {
  VariantTablePtr strassen_ref = str_tabelle();
  VariantTable& strassen = *strassen_ref;
  const int32_t i = lst_Strassen.ListIndex();
  if (!readable_row(strassen, i)) return;
  txt_Plz.Text(text::trim(strassen.Text(i, 1)));
  txt_Strasse.Text(text::trim(strassen.Text(i, 0)));  // Change only; the list stays

  std::string von = text::trim(strassen.Text(i, 2));
  if (von.empty()) return;  // a section without range leaves the colour
  std::string hausnummer = txt_Hausnummer.Text();
  std::string bis = text::trim(strassen.Text(i, 3));
  const std::string typ = text::trim(strassen.Text(i, 4));
  const bool im_bereich = Pruefe_Hausnummer(hausnummer, von, bis, typ);
  txt_Hausnummer.BackColor(im_bereich ? color::kWhite : color::kRed);
}

void frmPlz::lst_Strassen_KeyDown(int key_code) {
  if (key_code != key::kUp) return;
  ignoring_errors([&] {
    if (lst_Strassen.ListIndex() == 0) txt_Strasse.SetFocus();
  });
}

}  // namespace noxplz
