// The built-in search provider, registered under kSearchProviderClassId by
// default. It answers "Suche_Ort" and "Suche_Plz" from the postal tables on
// the calling thread's shared connection and never shows a dialog, so the
// provider-backed searches work on the embedded default without any outside
// component. A host replaces it by registering its own provider under the
// same identifier.
//
// "Suche_Ort", request plz|ort|...: answer plz|place||verified|place, where
// place is the given place in the table's spelling when the postal code
// carries it (trimmed, case-insensitive; verified), else the postal code's
// only place name (verified), else its first place (not verified), or empty
// for an unknown postal code (not verified).
//
// "Suche_Plz", request plz|ort|strasse|hnr|...: answer
// plz|ort|strasse|hnr|verified. A house number at the end of the street is
// split off when hnr is empty. The one current place is found by postal code
// and/or name; the street among its sections by normalised name (full stops
// removed, "straße"/"strasse" -> "str", case-insensitive) and the section
// whose range admits the house number. The answer carries the table's
// spellings and the section's postal code, verified "1" only when place and
// postal code are unambiguous; otherwise it echoes the request's first four
// fields with "0".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "noxplz/search_provider.h"

namespace noxplz {

class BuiltinSearchProvider : public SearchProvider {
 public:
  // Raises database errors as they come; error 91 without a shared
  // connection, 438 for any other method.
  std::string Call(std::string_view method, std::string& request) override;
};

// The factory the registry installs by default.
SearchProviderFactory builtin_search_provider_factory();

// Puts the built-in provider (back) under kSearchProviderClassId.
void register_builtin_search_provider();

}  // namespace noxplz
