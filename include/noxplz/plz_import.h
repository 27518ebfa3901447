// clsPlzImport: imports a Deutsche Post "Datafactory Postalcode" file into the
// nine postal tables and verifies the import against the file's own check
// records.
//
// Both operations work on the thread's shared connection (clsPlzManager::Init)
// and report on the import dialog `frmPlzImport` (src/dialogs/frm_plz_import.h):
// its progress labels, notice line and buttons, and its abort flag, which the
// run reads before every line. Everything runs on the caller's thread; the run
// yields to the toolkit's event loop after every line. The rules of the run
// live in one place, shared with the headless importer (importer.h); on the
// embedded database the replacement is atomic and exclusive (see there).
#pragma once

#include <string>

namespace noxplz {

class Form;
class frmPlzImport;

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
  // be the import dialog. The new data replaces the old only when the
  // verification is all green; otherwise (and on a cancel or any failure)
  // the old data stays and a message says so. Always returns false; the
  // outcome is on the dialog.
  bool Saetze_Einlesen(const std::string& mDatenDatei, Form& mFrm);

  // Compares every table with the check records of the file (count and date
  // sum per record type and status group) in one query and shows the outcome
  // on the dialog: caption labels green/red, the notice line, and after a
  // complete success "&Beenden" on the import button. A type is green only
  // when it had check records, each of them found its group and agreed, and
  // every group of its table was accounted for.
  void PruefeImport(Form& mFrm);

 private:
  frmPlzImport* frm_ = nullptr;  // the dialog the last run or verification reported on
};

}  // namespace noxplz
