// The statement that compares the imported tables with the file's check records.
#pragma once

#include <string>

namespace noxplz::import {

// One query over all eight data tables. Each result row names a record type
// (`Dateikennung`), a status and whether count (`GleicheAnzahl`) and date sum
// (`GleicheSumme`) agree ("OK") or not ("FEHLER"). Rows come for every check
// record of a data type, matched or not (an unmatched one compares as
// "FEHLER"), and for every status group of a table without a check record
// (always "FEHLER"). A type without any row had neither.
std::string verification_query();

}  // namespace noxplz::import
