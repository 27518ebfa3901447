// A delivery imported the way a user imports it, for tests that need real
// postal data in a database.
#pragma once

#include <string>

#include "testing/temp_database.h"

namespace noxplz::testing {

// Imports the delivery `bytes` (a Datafactory file) into `db` with
// clsPlzImport::Saetze_Einlesen and its dialog model, answering the
// question before the old data is deleted with Yes. True when the import
// ended verified (the dialog offers "&Beenden"). Fails the test when
// another question or message came up.
bool import_delivery(TempDatabase& db, const std::string& bytes);

}  // namespace noxplz::testing
