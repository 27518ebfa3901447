// The same host with the component's dialogs as Qt windows: opens the search
// dialog "Plz-Prüfung" on a postal database and prints what the user took over.
//
//   noxplz-host-dialog DATENBANK
#include <QApplication>
#include <iostream>
#include <memory>
#include <string>

#include "noxplz/plz_manager.h"
#include "noxplz/qt_toolkit.h"
#include "noxplz/schema.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::cerr << "Aufruf: noxplz-host-dialog DATENBANK\n";
    return 2;
  }
  noxplz::ScopedToolkit ui(std::make_shared<noxplz::QtToolkit>());
  noxplz::clsPlzManager plz;
  if (!plz.Init(nullptr, noxplz::sqlite_connection_string(argv[1]))) return 1;
  std::string postleitzahl, ort, strasse, hausnummer;
  plz.PlzSuchenDialog(postleitzahl, ort, strasse, hausnummer);
  std::cout << postleitzahl << " " << ort << ", " << strasse << " " << hausnummer << "\n";
  return 0;
}
