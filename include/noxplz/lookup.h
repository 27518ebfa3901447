// Lookups on the postal tables for a host: plain functions, plain results.
//
//   auto db = noxplz::open_connection("Provider=SQLite;Data Source=plz.db");
//   for (const noxplz::Place& p : noxplz::find_places(*db, "Bad "))
//     std::cout << p.name << ' ' << p.addition << ' ' << p.plz << '\n';
//   auto streets = noxplz::find_streets(*db, noxplz::PlaceKey{"10000545"}, "Haupt");
//
// Contract of every function here:
// - It runs its statements on the connection it is given (an open
//   connection to a database holding the postal tables, e.g. one imported
//   with noxplz/importer.h). It needs no clsPlzManager::Init, leaves the
//   thread's session (address properties, Geprueft, result tables) as it
//   was, and never shows a dialog or message box: it may run on any thread
//   that has a connection of its own.
// - A failure of the database (closed connection, missing tables) is thrown
//   as noxplz::Error with the database's number and description; a search
//   that finds nothing returns an empty list.
// - Names compare as the database compares them; the tables of the schema
//   scripts compare case-insensitively (ä = Ä) and ignore trailing blanks.
//   `%`, `_` and `[` in a prefix are wildcards of the database's LIKE.
// - Result texts are trimmed; lists are ordered as a user expects to read
//   them (by name, then addition and key).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"

namespace noxplz {

// A place (Ort) of the postal tables.
struct Place {
  std::string name;      // place name, e.g. "Frankfurt"
  std::string addition;  // addition to the name, e.g. "am Main"; "" when there is none
  std::string key;       // place key (ALORT), e.g. "10000545"
  std::string plz;       // a postal code of the place; "" when the tables hold none
};

// Current places (those not replaced by a successor key) whose name begins
// with `name_prefix`, ordered by name, addition and key; `plz` is the first
// postal code of the place. An empty prefix lists every current place.
std::vector<Place> find_places(Connection& connection, std::string_view name_prefix);

// The places that the postal code `plz` serves, one entry per place key,
// ordered by name, addition and key; `plz` of each entry is `plz` as
// stored. Empty when the postal code is unknown.
std::vector<Place> places_of_postal_code(Connection& connection, std::string_view plz);

// Which house numbers of its range a street section holds (HNR_Typ N, G, U).
enum class HouseNumbers {
  all,   // N: every house number
  even,  // G: even numbers only
  odd,   // U: odd numbers only
};

// One street section: a street of a place, or the part of it that one
// postal code serves.
struct Street {
  std::string name;       // street name as the post writes it, e.g. "Hauptstr."
  std::string plz;        // postal code of this section
  std::string house_from; // first house number of the section; "" = the whole street
  std::string house_to;   // last house number of the section; "" = the whole street
  HouseNumbers house_numbers = HouseNumbers::all;
  std::string district;   // district (Ortsteil) name; "" when not asked for or not known
  std::string place_key;  // place key (ALORT) of the street's place
};

// How the place of a street search is named.
struct PlaceKey {
  std::string key;  // place key (ALORT), as in Place::key
};
struct PlaceName {
  std::string name;  // the full place name, as in Place::name (every current place of that name)
};

struct StreetOptions {
  // Also look up each section's district name (one more statement per section).
  bool with_districts = false;
};

// The street sections of a place whose name begins with `name_prefix`,
// ordered by name, then house numbers. The prefix is written the way the
// component writes street names before it compares them: full stops
// dropped, "straße" and "strasse" shortened to "str" ("Bahnhofstraße" finds
// "Bahnhofstr."). An empty prefix lists every street of the place. For a
// place name, the sections of all current places with that name (compared
// as the database compares names) are listed, each with its place key.
std::vector<Street> find_streets(Connection& connection, const PlaceKey& place,
                                 std::string_view name_prefix = {}, StreetOptions options = {});
std::vector<Street> find_streets(Connection& connection, const PlaceName& place,
                                 std::string_view name_prefix = {}, StreetOptions options = {});

}  // namespace noxplz
