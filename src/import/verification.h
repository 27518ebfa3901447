// The statement that compares the imported tables with the file's check records.
#pragma once

#include <string>

#include "import/import_run.h"

namespace noxplz {
class frmPlzImport;
}

namespace noxplz::import {

// One query over all eight data tables. Each result row names a record type
// (`Dateikennung`), a status and whether count (`GleicheAnzahl`) and date sum
// (`GleicheSumme`) agree ("OK") or not ("FEHLER"). Rows come for every check
// record of a data type, matched or not (an unmatched one compares as
// "FEHLER"), and for every status group of a table without a check record
// (always "FEHLER"). A type without any row had neither.
std::string verification_query();

// The display of the verification on the import dialog: the notice line
// "Überprüfung läuft", then per type its caption green or red and the
// outcome on the notice line (and "&Beenden" after a complete success).
void show_verification_started(frmPlzImport& frm);
void show_verdict(frmPlzImport& frm, const Verdict& verdict);

}  // namespace noxplz::import
