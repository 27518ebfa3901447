// A host application that uses NoxPlz without any window: it looks up places
// and streets in an embedded database that holds an imported Datafactory
// Postalcode file, and checks an address.
//
//   noxplz-host DATENBANK
//
// Exit code 0 when every step did what it should, 1 otherwise.
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "noxplz/error.h"
#include "noxplz/lookup.h"
#include "noxplz/plz_manager.h"
#include "noxplz/schema.h"
#include "noxplz/version.h"

namespace {

int fail(const std::string& text) {
  std::cerr << "Fehler: " << text << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Aufruf: noxplz-host DATENBANK\n";
    return 2;
  }
  const std::string database = argv[1];
  std::cout << "NoxPlz " << noxplz::version() << " (Header " << NOXPLZ_VERSION_STRING << ")\n";
  // A shared library of another minor version may have another interface.
  if (noxplz::version_number() / 100 != NOXPLZ_VERSION_NUMBER / 100)
    return fail("Die NoxPlz-Bibliothek passt nicht zu den Headern, mit denen das Programm gebaut wurde.");

  try {
    if (!std::filesystem::exists(database)) return fail("Die Datenbank " + database + " fehlt.");
    noxplz::ConnectionPtr db = noxplz::open_connection(noxplz::sqlite_connection_string(database));

    // 1. Places whose name begins with a prefix (here: all), and the places of a postal code.
    std::vector<noxplz::Place> places = noxplz::find_places(*db, "");
    std::cout << "Aktuelle Orte: " << places.size() << "\n";
    // A place whose name no other place has, with streets that have house-number ranges.
    std::optional<noxplz::Place> place;
    std::optional<noxplz::Street> section;
    for (const noxplz::Place& p : places) {
      if (noxplz::find_places(*db, p.name).size() != 1) continue;
      for (const noxplz::Street& s : noxplz::find_streets(*db, noxplz::PlaceKey{p.key}))
        if (!s.house_from.empty()) {
          place = p;
          section = s;
          break;
        }
      if (place) break;
    }
    if (!place) return fail("Kein Ort mit eindeutigem Namen und Hausnummernbereichen gefunden.");
    std::cout << "Ort: " << place->name << " (Schlüssel " << place->key << ", Plz " << place->plz << ")\n";

    bool found_again = false;
    for (const noxplz::Place& p : noxplz::places_of_postal_code(*db, place->plz))
      found_again = found_again || p.key == place->key;
    if (!found_again) return fail("Der Ort wird über seine Postleitzahl nicht wiedergefunden.");

    // 2. The streets of the place by its name, narrowed by a name prefix.
    std::vector<noxplz::Street> streets =
        noxplz::find_streets(*db, noxplz::PlaceName{place->name}, section->name.substr(0, 3));
    std::cout << "Straßen, die mit \"" << section->name.substr(0, 3) << "\" beginnen: " << streets.size() << "\n";
    if (streets.empty()) return fail("Die Straßensuche mit Namensanfang findet nichts.");

    // 3. An address check: place, street and house number give the postal code.
    //    Without a toolkit nothing is asked: a choice would count as not verified.
    noxplz::clsPlzManager manager;
    if (!manager.Init(nullptr, "", db)) return fail("Init ist fehlgeschlagen.");
    manager.Suche_Plz_Original("", place->name, section->name + " " + section->house_from);
    std::cout << "Adresse: " << manager.Strasse() << ", " << manager.Plz() << " " << manager.Ort() << " — "
              << (manager.Geprueft() == -1 ? "geprüft" : "nicht geprüft") << "\n";
    if (manager.Geprueft() != -1 || manager.Plz() != section->plz)
      return fail("Die Adresse wurde nicht mit der Postleitzahl " + section->plz + " bestätigt.");
  } catch (const noxplz::Error& e) {
    return fail(noxplz::format_error_number(e));
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  std::cout << "Alles in Ordnung.\n";
  return 0;
}
