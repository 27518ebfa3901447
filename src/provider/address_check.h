// The address check of the built-in search provider: one postal code, place,
// street and house number checked against the postal tables without any
// dialog. The provider's "Suche_Plz" answer is built on it; a batch check of
// many addresses and the public lookup API call it directly.
//
// Outcomes:
//   verified   the data confirms the address; fields the input left empty are
//              filled in (a missing postal code, the table's spelling);
//   corrected  a given value is wrong and the data leaves exactly one right
//              answer, which the result carries;
//   ambiguous  the data leaves several answers (listed as candidates);
//   unknown    the data knows no answer (unknown place or street, a house
//              number in no section, unusable input).
// Never verified: a given postal code that is not the one of the street
// section (or, without a street, not one of the place's postal codes).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/reason.h"

namespace noxplz {

struct AddressInput {
  std::string plz, ort, strasse, hausnummer;  // a house number may also end the street
};

struct AddressCandidate {
  std::string plz, ort, zusatz, strasse, ortsteil;  // zusatz: the place's name addition
  std::string hnr_von, hnr_bis, hnr_typ;  // the section's range, empty for a whole street
};

enum class CheckOutcome { Verified, Corrected, Ambiguous, Unknown };

struct AddressCheck {
  CheckOutcome outcome = CheckOutcome::Unknown;
  Reason grund;
  // The answer: for verified and corrected the right address in the table's
  // spelling; otherwise the input (trimmed, house number split off).
  std::string plz, ort, strasse, hausnummer;
  std::vector<AddressCandidate> kandidaten;  // ambiguous: the answers the data allows
};

// What the checks read, kept while the connection's data stays the same
// (Connection::DataStamp); defined in address_check.cc.
struct AddressCheckCache;

// Checks one address on `connection`. `cache` keeps what the checks read
// there: it is made, emptied when the data stamp changes, and dropped when
// the backend reports no stamp. Raises database errors.
AddressCheck check_address(Connection& connection, std::shared_ptr<AddressCheckCache>& cache,
                           const AddressInput& input);

// Checks one address on the thread's shared connection with the session's
// cache. Raises database errors (error 91 without a connection).
AddressCheck check_address(const AddressInput& input);

// "verifiziert", "korrigiert", "mehrdeutig", "unbekannt".
std::string_view outcome_name(CheckOutcome outcome);

}  // namespace noxplz
