// clsPlzManager::PlzSuchenDialog: opens the search dialog "Plz-Prüfung"
// pre-filled with the host's address and hands the outcome back through the
// four arguments and Geprueft.
#include <exception>
#include <memory>

#include "dialogs/frm_plz.h"
#include "manager/session.h"
#include "noxplz/plz_manager.h"

namespace noxplz {

void clsPlzManager::PlzSuchenDialog(std::string& mPlz, std::string& mOrt, std::string& mStrasse,
                                    std::string& mHausnummer) {
  std::unique_ptr<frmPlz> dialog;
  int32_t antwort = 0;
  try {
    dialog = std::make_unique<frmPlz>();
    Session& s = session();
    s.Such_Plz = mPlz;
    s.Such_Ort = mOrt;
    s.Such_Strasse = mStrasse;
    s.Such_Hausnummer = mHausnummer;
    // The first touch of a control loads the dialog: Form_Load runs before
    // the postal code is set, so the caller's code replaces whatever the
    // place search of the load put there.
    dialog->raise_load();
    dialog->txt_Plz.Text(session().Such_Plz);
    dialog->txt_Ort.Text(session().Such_Ort);
    dialog->txt_Strasse.Text(session().Such_Strasse);
    dialog->txt_Hausnummer.Text(session().Such_Hausnummer);
    dialog->Show();
    antwort = dialog->Antwort();
  } catch (const std::exception&) {
    // No message: the dialog goes away (ending its manager if it was loaded)
    // and the arguments keep their values.
    try {
      if (dialog) dialog->Unload();
    } catch (const std::exception&) {
    }
    return;
  }

  // From here on nothing may stop the remaining steps. After "Abbrechen" the
  // result texts are those that stood before the dialog opened; after a close
  // by the window frame they have already been emptied by the unload.
  {
    const Session& s = session();
    mPlz = s.Plz;
    mOrt = s.Ort;
    mStrasse = s.Strasse;
    mHausnummer = s.Hausnummer;
  }
  try {
    dialog->Unload();  // ends the dialog's manager: the session is reset
  } catch (const std::exception&) {
  }
  dialog.reset();
  session().Geprueft = antwort;
}

void clsPlzManager::PlzSuchenDialog(std::string& mPlz, std::string& mOrt, std::string& mStrasse) {
  std::string hausnummer;
  PlzSuchenDialog(mPlz, mOrt, mStrasse, hausnummer);
}

}  // namespace noxplz
