// clsPlzImport: imports a Deutsche Post "Datafactory Postalcode" file into the
// nine postal tables and verifies the import against the file's own check
// records.
//
// Both operations work on the thread's shared connection (clsPlzManager::Init)
// and report on the import dialog `frmPlzImport` (src/dialogs/frm_plz_import.h):
// its progress labels, notice line and buttons, and its abort flag, which the
// run reads before every line. Everything runs on the caller's thread; the run
// yields to the toolkit's event loop after every line.
#pragma once

#include <array>
#include <memory>
#include <string>

namespace noxplz {

class Form;
class frmPlzImport;
class Command;

class clsPlzImport {
 public:
  clsPlzImport();
  ~clsPlzImport();
  clsPlzImport(const clsPlzImport&) = delete;
  clsPlzImport& operator=(const clsPlzImport&) = delete;

  // Imports the file `mDatenDatei`: checks that its first line is a record of
  // a known type with its end mark, asks before deleting, empties the nine
  // tables, inserts one row per record (reporting wrong end marks and
  // rejected rows per record; duplicate keys are skipped silently) and ends
  // with PruefeImport. A missing file only runs the verification. `mFrm` must
  // be the import dialog. Always returns false; the outcome is on the dialog.
  bool Saetze_Einlesen(const std::string& mDatenDatei, Form& mFrm);

  // Compares every table with the check records of the file (count and date
  // sum per record type and status group) in one query and shows the outcome
  // on the dialog: caption labels green/red, the notice line, and after a
  // complete success "&Beenden" on the import button. A type is green only
  // when it had check records, each of them found its group and agreed, and
  // every group of its table was accounted for.
  void PruefeImport(Form& mFrm);

 private:
  bool Pruefe_Datei(const std::string& mDatenDatei);
  bool Loesche_Daten();
  void Bilde_InsertKoepfe();

  // One routine per record type, all served by Importiere(): cut the line by
  // the type's layout, check the end mark, insert, count.
  bool Importiere_GE(const std::string& zeile, bool nur_pruefen);
  bool Importiere_KG(const std::string& zeile, bool nur_pruefen);
  bool Importiere_OE(const std::string& zeile, bool nur_pruefen);
  bool Importiere_OR(const std::string& zeile, bool nur_pruefen);
  bool Importiere_OT(const std::string& zeile, bool nur_pruefen);
  bool Importiere_PF(const std::string& zeile, bool nur_pruefen);
  bool Importiere_PL(const std::string& zeile, bool nur_pruefen);
  bool Importiere_ST(const std::string& zeile, bool nur_pruefen);
  bool Importiere_XX(const std::string& zeile, bool nur_pruefen);
  bool Importiere(int typ, const std::string& zeile, bool nur_pruefen);
  // Hands a line to the routine of its record type; false for unknown types.
  bool Dispatch(const std::string& zeile, bool nur_pruefen);

  std::shared_ptr<Command> command_;      // statement command of the running import
  frmPlzImport* frm_ = nullptr;           // the dialog the run reports on
  std::array<std::string, 9> koepfe_;     // INSERT heads, one per record type
  std::string letzte_values_;             // VALUES text of the last record cut
};

}  // namespace noxplz
