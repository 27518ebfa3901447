#include "testing/imported_delivery.h"

#include <memory>

#include "dialogs/frm_plz_import.h"
#include "noxplz/plz_import.h"
#include "noxplz/plz_manager.h"
#include "noxplz/ui.h"
#include "testing/scripted_toolkit.h"

namespace noxplz::testing {

bool import_delivery(TempDatabase& db, const std::string& bytes) {
  auto tk = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use(tk);
  const std::string file = write_file(db.dir(), "daten.dat", bytes);
  clsPlzManager manager;
  manager.Init(nullptr, "", db.connection());
  frmPlzImport frm;
  frm.raise_load();
  tk->ExpectMsgBox("Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?", mb::kYes);
  clsPlzImport import;
  import.Saetze_Einlesen(file, frm);
  tk->Verify();
  return frm.cmd_Importieren.Caption() == "&Beenden";
}

}  // namespace noxplz::testing
