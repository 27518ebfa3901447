// Lookups on the postal tables for a host: plain functions, plain results.
// Places by name prefix, the places of a postal code, the streets of a place,
// and the check of a whole address with its reason.
//
//   auto db = noxplz::open_connection("Provider=SQLite;Data Source=plz.db");
//   for (const noxplz::Place& p : noxplz::find_places(*db, "Bad "))
//     std::cout << p.name << ' ' << p.addition << ' ' << p.plz << '\n';
//   auto streets = noxplz::find_streets(*db, noxplz::PlaceKey{"10000545"}, "Haupt");
//   auto checked = noxplz::check_address(*db, {.plz = "10117", .place = "Berlin", .street = "Hauptstr. 5"});
//   if (checked.verdict != noxplz::AddressVerdict::verified) std::cout << checked.reason.hinweis << '\n';
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
#include "noxplz/reason.h"

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

// An address as a user writes it, or as the check answers it. The members
// have initialisers, so {.place = "Berlin"} names only what is known.
struct PostalAddress {
  std::string plz{};           // postal code; "" when not known
  std::string place{};         // place name (Ort), without its addition; "" when not known
  std::string street{};        // street; may end with the house number when house_number is ""
  std::string house_number{};  // e.g. "12a"
};

// What the data says about an address.
enum class AddressVerdict {
  verified,   // the data confirms it; what the input left empty is filled in
  corrected,  // a given value is wrong and the data allows exactly one right address
  ambiguous,  // the data allows several addresses: see candidates
  unknown,    // the data knows no answer (unknown place or street, a house
              // number in no section, no postal code and no place, text that is no UTF-8)
};

// One address the data allows. For a choice between places only plz (when
// the place has exactly one delivery code), place and place_addition are set;
// for a choice between postal codes of a place, plz, place and
// place_addition; for a choice between street sections, all of them.
struct CandidateAddress {
  std::string plz;
  std::string place;
  std::string place_addition;  // e.g. "am Main"
  std::string street;
  std::string district;        // district (Ortsteil) of the section; "" when not known
  std::string house_from;      // the section's house-number range; "" = the whole street
  std::string house_to;
  HouseNumbers house_numbers = HouseNumbers::all;
};

struct AddressCheckResult {
  AddressVerdict verdict = AddressVerdict::unknown;
  // Why: a stable code and a German sentence for the user (codes in
  // noxplz/reason.h), e.g. {"plz_passt_nicht_zur_strasse", "Die Postleitzahl
  // 10117 passt nicht zu Hauptstr. 5 in Berlin; richtig ist 10115."}.
  Reason reason;
  // verified and corrected: the right address in the tables' spelling
  // ("Hauptstraße" answers "Hauptstr."). Otherwise the input, trimmed, with
  // the house number split off the street.
  PostalAddress address;
  // ambiguous (and a house number in no section): the addresses the data allows.
  std::vector<CandidateAddress> candidates;
};

// Checks one address against the postal tables without any dialog: the
// place by name (the postal code picks among places of the same name) or,
// without a name, by postal code; then the street, written as the tables
// write it or differently ("Hauptstraße", "Hauptstrasse" for "Hauptstr."),
// and the section whose house-number range holds the house number. A postal
// code is verified only when the data confirms it for this address: a code
// of another section of the same street is never verified. Without a street
// only whether the code belongs to the place is checked, and the reason says so.
//
// Besides the contract above: what the checks read is kept for the calling
// thread while the connection reports the same data (SQLite does; any change
// to the tables, by whoever, is seen by the next check; on a backend that
// cannot tell, every check reads afresh). This store is the thread's own and
// separate from the session's.
AddressCheckResult check_address(Connection& connection, const PostalAddress& address);

// "verifiziert", "korrigiert", "mehrdeutig", "unbekannt": the verdict as the
// CLI and the list check write it.
std::string_view verdict_name(AddressVerdict verdict);

}  // namespace noxplz
