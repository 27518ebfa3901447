// A host application that uses NoxPlz without any window: it imports a
// Datafactory Postalcode file into an embedded database (headless, with
// progress), looks up places and streets, and checks addresses.
//
//   noxplz-host DATAFACTORY-DATEI DATENBANK
//
// Exit code 0 when every step did what it should, 1 otherwise.
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "noxplz/error.h"
#include "noxplz/importer.h"
#include "noxplz/lookup.h"
#include "noxplz/schema.h"
#include "noxplz/version.h"

namespace {

int fail(const std::string& text) {
  std::cerr << "Fehler: " << text << "\n";
  return 1;
}

// 1. The import without a dialog: progress in tenths of the file, then
// what the result object says per record type.
bool import_file(const std::string& file, const noxplz::ConnectionPtr& db) {
  noxplz::ImportOptions options;
  options.replace_existing = true;  // the answer to the deletion question, given in advance
  int shown = -1;
  options.on_progress = [&shown](const noxplz::ImportProgress& p) {
    const int tenth = static_cast<int>(p.share_read * 10);
    if (tenth == shown) return;
    shown = tenth;
    std::cout << "  " << tenth * 10 << " %: " << p.lines_read << " Zeilen gelesen\n";
  };
  options.on_message = [](const std::string& message) { std::cout << "  Meldung: " << message << "\n"; };

  const noxplz::ImportResult result = noxplz::import_datafactory(file, db, options);
  for (const noxplz::ImportTypeResult& t : result.types) {
    std::cout << "  " << t.code << " " << t.table << ": " << t.rows << " Sätze";
    if (t.check_count) std::cout << ", Prüfsumme " << *t.check_count;
    std::cout << (!t.delivered ? " (nicht geliefert)" : t.verified ? " (geprüft)" : " (FEHLER)") << "\n";
  }
  std::cout << "Import: " << noxplz::describe(result) << "\n";
  return result.outcome == noxplz::ImportOutcome::kImported && result.committed && result.all_verified;
}

void show(const noxplz::AddressCheckResult& r) {
  std::cout << "  " << noxplz::verdict_name(r.verdict) << ": " << r.address.plz << " " << r.address.place << ", "
            << r.address.street << " " << r.address.house_number << "\n"
            << "  Grund " << r.reason.code << ": " << r.reason.hinweis << "\n";
  for (const noxplz::CandidateAddress& c : r.candidates)
    std::cout << "    möglich: " << c.plz << " " << c.place << " " << c.place_addition << ", " << c.street << " "
              << c.house_from << "-" << c.house_to << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "Aufruf: noxplz-host DATAFACTORY-DATEI DATENBANK\n";
    return 2;
  }
  const std::string file = argv[1], database = argv[2];
  std::cout << "NoxPlz " << noxplz::version() << " (Header " << NOXPLZ_VERSION_STRING << ")\n";
  // A shared library of another minor version may have another interface.
  if (noxplz::version_number() / 100 != NOXPLZ_VERSION_NUMBER / 100)
    return fail("Die NoxPlz-Bibliothek passt nicht zu den Headern, mit denen das Programm gebaut wurde.");

  try {
    // The database file with the nine postal tables (made when missing).
    noxplz::ConnectionPtr db = noxplz::create_postal_database(database);
    std::cout << "Import von " << file << ":\n";
    if (!import_file(file, db)) return fail("Der Import ist nicht vollständig geprüft übernommen worden.");

    // 2. Places whose name begins with a prefix (here: all), and the places of a postal code.
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

    // 3. The streets of the place by its name, narrowed by a name prefix.
    const std::string prefix = section->name.substr(0, 3);
    std::vector<noxplz::Street> streets = noxplz::find_streets(*db, noxplz::PlaceName{place->name}, prefix);
    std::cout << "Straßen, die mit \"" << prefix << "\" beginnen: " << streets.size() << "\n";
    if (streets.empty()) return fail("Die Straßensuche mit Namensanfang findet nichts.");

    // 4. Address checks: place, street and house number give the postal code;
    //    a wrong postal code is corrected (or the choices are listed), never verified.
    const std::string street = section->name + " " + section->house_from;
    std::cout << "Prüfung ohne Postleitzahl:\n";
    const noxplz::AddressCheckResult found = noxplz::check_address(*db, {.place = place->name, .street = street});
    show(found);
    if (found.verdict != noxplz::AddressVerdict::verified || found.address.plz != section->plz)
      return fail("Die Adresse wurde nicht mit der Postleitzahl " + section->plz + " bestätigt.");

    std::cout << "Prüfung mit falscher Postleitzahl 00000:\n";
    const noxplz::AddressCheckResult wrong =
        noxplz::check_address(*db, {.plz = "00000", .place = place->name, .street = street});
    show(wrong);
    if (wrong.verdict == noxplz::AddressVerdict::verified || wrong.reason.hinweis.empty())
      return fail("Eine falsche Postleitzahl wurde nicht erkannt.");
  } catch (const noxplz::Error& e) {
    return fail(noxplz::format_error_number(e));
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  std::cout << "Alles in Ordnung.\n";
  return 0;
}
