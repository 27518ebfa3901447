// Creates an embedded postal database, opens it the way a host does and
// lists the nine postal tables with their row counts.
#include <cstdio>
#include <string>

#include "noxplz/error.h"
#include "noxplz/plz_manager.h"
#include "noxplz/schema.h"

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : "noxplz.db";
  try {
    noxplz::create_postal_database(path);
    noxplz::clsPlzManager manager;
    auto connection = std::make_shared<noxplz::Connection>();
    connection->Open(noxplz::sqlite_connection_string(path));
    if (!manager.Init(nullptr, "", connection)) return 1;
    std::printf("Postdatenbank: %s\n\n%-10s %12s\n", path.c_str(), "Tabelle", "Zeilen");
    for (const char* table : {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA", "OTL_DA", "POFA_DA", "PLZ_DA",
                              "STR_DA", "PRUEF_DA"}) {
      auto rs = connection->Execute(std::string("SELECT COUNT(*) AS Anzahl FROM ") + table);
      std::printf("%-10s %12d\n", table, rs->Field("Anzahl").as_long());
    }
  } catch (const noxplz::Error& e) {
    std::fprintf(stderr, "Fehler: %s\n", noxplz::format_error_number(e).c_str());
    return 1;
  }
  return 0;
}
