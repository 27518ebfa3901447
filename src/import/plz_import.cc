// clsPlzImport: the import run, the validity test of the file, the deletion
// of the old data and the record procedure that serves all nine record types.
#include "noxplz/plz_import.h"

#include <filesystem>
#include <string>

#include "dialogs/frm_plz_import.h"
#include "import/line_reader.h"
#include "import/record_layout.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/error_log.h"
#include "noxplz/ui.h"

namespace noxplz {
namespace {

using import::record_layouts;
using import::RecordLayout;

constexpr int kHourglass = 11;
constexpr int kDefaultPointer = 0;

Error object_not_set() { return Error(err::kObjectNotSet, "Objektvariable oder With-Blockvariable nicht festgelegt"); }

frmPlzImport& as_import_dialog(Form& form) {
  auto* dialog = dynamic_cast<frmPlzImport*>(&form);
  if (!dialog) throw Error(err::kTypeMismatch, "Typen unverträglich");
  return *dialog;
}

// Draws every control of the dialog at once.
void repaint(Form& form) {
  for (Control* c : form.Controls()) toolkit().Repaint(*c);
}

}  // namespace

clsPlzImport::clsPlzImport() = default;
clsPlzImport::~clsPlzImport() = default;

bool clsPlzImport::Saetze_Einlesen(const std::string& mDatenDatei, Form& mFrm) {
  try {
    command_ = std::make_shared<Command>();
    ConnectionPtr connection = session().connection;
    if (!connection) throw object_not_set();
    command_->ActiveConnection(connection);
    command_->CommandType(Command::kAdCmdText);

    std::error_code ec;
    if (std::filesystem::is_regular_file(mDatenDatei, ec)) {
      frmPlzImport& frm = as_import_dialog(mFrm);
      frm_ = &frm;

      if (!Pruefe_Datei(mDatenDatei)) {
        msg_box("Dies ist keine gültige Datafactory-Datei!");
        return false;
      }
      if (msg_box("Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?",
                  mb::kYesNoQuestion, "Achtung") != mb::kYes)
        return false;
      if (!Loesche_Daten()) {
        msg_box("Bestehende Datafactory-Daten können nicht gelöscht werden! Import wird abgeprochen.");
        return false;
      }

      frm.lbl_Delete.Caption("Datafactory-Daten werden importiert");
      frm.lbl_Delete.ForeColor(color::kBlue);
      frm.lbl_Delete.BackColor(frm.BackColor());
      frm.lbl_Delete.Visible(true);
      toolkit().SetMousePointer(kHourglass);
      Bilde_InsertKoepfe();

      import::LineReader reader(mDatenDatei);
      std::string zeile;
      while (reader.next(zeile)) {
        if (frm.Abbruch()) break;  // the line just read is not imported
        toolkit().SetMousePointer(kHourglass);
        Dispatch(zeile, false);
        toolkit().DoEvents();
      }
      reader.close();
    }

    toolkit().SetMousePointer(kDefaultPointer);
    PruefeImport(mFrm);
    command_.reset();
  } catch (const std::exception& e) {
    const Error error = to_error(e);
    toolkit().SetMousePointer(kDefaultPointer);
    command_.reset();
    msg_box(format_error_message("Fehler beim Importieren der Datafactory Postalcode Daten", error));
    error_log().Report({"clsPlzImport.Saetze_Einlesen", error.number, error.description});
  }
  return false;
}

bool clsPlzImport::Pruefe_Datei(const std::string& mDatenDatei) {
  bool antwort = false;
  try {
    import::LineReader reader(mDatenDatei);
    std::string zeile;
    if (reader.next(zeile)) antwort = Dispatch(zeile, true);
    reader.close();
  } catch (const std::exception&) {
    antwort = false;
  }
  return antwort;
}

bool clsPlzImport::Loesche_Daten() {
  frmPlzImport& frm = *frm_;
  toolkit().SetMousePointer(kHourglass);
  toolkit().DoEvents();
  frm.lbl_Delete.Visible(true);
  repaint(frm);
  bool antwort = true;
  try {
    ConnectionPtr connection = session().connection;
    if (!connection) throw object_not_set();
    connection->CommandTimeout(0);
    const auto& layouts = record_layouts();
    for (int i = 0; i < import::kRecordTypes; ++i) {
      if (i == import::kST) connection->CommandTimeout(0);
      int32_t affected = 0;
      connection->Execute("DELETE FROM " + std::string(layouts[i].table), &affected, -1);
      if (i < 8) {
        frm.count_label(i).ForeColor(color::kGrayText);
        frm.count_label(i).Refresh();
      }
    }
    toolkit().SetMousePointer(kDefaultPointer);
    frm.lbl_Delete.Visible(false);
    repaint(frm);
  } catch (const std::exception& e) {
    toolkit().SetMousePointer(kDefaultPointer);
    frm.lbl_Delete.Visible(false);
    msg_box(format_error_number(to_error(e)));
    antwort = false;
  }
  return antwort;
}

void clsPlzImport::Bilde_InsertKoepfe() {
  const auto& layouts = record_layouts();
  for (int i = 0; i < import::kRecordTypes; ++i) koepfe_[i] = import::insert_head(layouts[i]);
}

bool clsPlzImport::Dispatch(const std::string& zeile, bool nur_pruefen) {
  switch (import::record_type_of(zeile)) {
    case import::kGE: return Importiere_GE(zeile, nur_pruefen);
    case import::kKG: return Importiere_KG(zeile, nur_pruefen);
    case import::kOE: return Importiere_OE(zeile, nur_pruefen);
    case import::kOR: return Importiere_OR(zeile, nur_pruefen);
    case import::kOT: return Importiere_OT(zeile, nur_pruefen);
    case import::kPF: return Importiere_PF(zeile, nur_pruefen);
    case import::kPL: return Importiere_PL(zeile, nur_pruefen);
    case import::kST: return Importiere_ST(zeile, nur_pruefen);
    case import::kXX: return Importiere_XX(zeile, nur_pruefen);
    default: return false;
  }
}

bool clsPlzImport::Importiere_GE(const std::string& z, bool p) { return Importiere(import::kGE, z, p); }
bool clsPlzImport::Importiere_KG(const std::string& z, bool p) { return Importiere(import::kKG, z, p); }
bool clsPlzImport::Importiere_OE(const std::string& z, bool p) { return Importiere(import::kOE, z, p); }
bool clsPlzImport::Importiere_OR(const std::string& z, bool p) { return Importiere(import::kOR, z, p); }
bool clsPlzImport::Importiere_OT(const std::string& z, bool p) { return Importiere(import::kOT, z, p); }
bool clsPlzImport::Importiere_PF(const std::string& z, bool p) { return Importiere(import::kPF, z, p); }
bool clsPlzImport::Importiere_PL(const std::string& z, bool p) { return Importiere(import::kPL, z, p); }
bool clsPlzImport::Importiere_ST(const std::string& z, bool p) { return Importiere(import::kST, z, p); }
bool clsPlzImport::Importiere_XX(const std::string& z, bool p) { return Importiere(import::kXX, z, p); }

bool clsPlzImport::Importiere(int typ, const std::string& zeile, bool nur_pruefen) {
  const RecordLayout& layout = record_layouts()[typ];
  bool ergebnis = true;
  try {
    letzte_values_.clear();
    const bool end_mark_ok = import::build_values(layout, zeile, letzte_values_);
    if (nur_pruefen) return end_mark_ok;
    if (!end_mark_ok) {
      msg_box(layout.wrong_length_message());
      return false;
    }

    std::string sql;
    sql.reserve(koepfe_[typ].size() + 1 + letzte_values_.size());
    sql += koepfe_[typ];
    sql += ' ';
    sql += letzte_values_;
    if (!command_) throw object_not_set();
    command_->CommandText(sql);
    int32_t affected = 0;
    try {
      command_->Execute(&affected);
    } catch (const Error& e) {
      // A duplicate key is skipped without a word: nothing inserted, nothing counted.
      if (e.description.find(kDuplicateKeyText) == std::string::npos) throw;
      affected = 0;
    }

    if (affected > 0 && layout.counter) {
      int32_t& zaehler = session().counters.*layout.counter;
      ++zaehler;
      if (zaehler % 50 == 0) {
        toolkit().DoEvents();
        if (frm_) {
          Label& label = frm_->count_label(typ);
          label.ForeColor(color::kBlack);
          label.Caption(std::to_string(zaehler));
          label.Refresh();
        }
      }
    }
  } catch (const std::exception& e) {
    msg_box(format_error_message(layout.error_message(), to_error(e)));
    // A line that cannot even be read is no sound first record.
    if (nur_pruefen) ergebnis = false;
  }
  return ergebnis;
}

}  // namespace noxplz
