// clsPlzManager::PlzImportieren: opens the import dialog "Datafactory
// Postalcode Import" and returns once the user has closed it.
#include <exception>
#include <memory>
#include <string>

#include "dialogs/frm_plz_import.h"
#include "manager/session.h"
#include "noxplz/plz_manager.h"

namespace noxplz {

void clsPlzManager::PlzImportieren() {
  try {
    // The dialog lives for this call: once hidden nothing can reach it any more.
    auto dialog = std::make_unique<frmPlzImport>();
    dialog->raise_load();  // resets the counters and shows "0" everywhere
    const RecordCounters& c = session().counters;
    const int32_t werte[8] = {c.GE, c.KG, c.OE, c.OR, c.OT, c.PF, c.PL, c.ST};
    for (int i = 0; i < 8; ++i) dialog->count_label(i).Caption(std::to_string(werte[i]));
    dialog->Show();
  } catch (const std::exception&) {
    // No message: the operation simply ends.
  }
}

}  // namespace noxplz
