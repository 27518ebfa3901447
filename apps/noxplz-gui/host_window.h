// The host window of noxplz-gui: an address (Plz, Ort, Straße, Nr), the
// buttons "Suchdialog…", "Prüfen" and "Import…", and the result with Geprueft.
// It uses the library as any host does: the public headers, one
// clsPlzManager, Init before every call (the search dialog ends the session).
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <string>

#include "noxplz/db.h"
#include "noxplz/plz_manager.h"

namespace noxplz::gui {

class HostWindow : public QWidget {
 public:
  HostWindow(std::string path, ConnectionPtr connection);

  // The address fields, the buttons and the result labels (for tests).
  QLineEdit *plz, *ort, *strasse, *nr;
  QPushButton *search_button, *check_button, *import_button;
  QLabel *r_plz, *r_ort, *r_strasse, *r_nr, *r_geprueft, *status;

  void search_dialog();
  void check_address();
  void import_file();

 private:
  bool init();
  void show_result(const std::string& plz, const std::string& ort, const std::string& strasse,
                   const std::string& nr, int32_t geprueft);
  void show_database();

  std::string path_;
  ConnectionPtr connection_;
  clsPlzManager manager_;
};

}  // namespace noxplz::gui
