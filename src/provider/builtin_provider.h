// The built-in search provider, registered under kSearchProviderClassId by
// default. It answers "Suche_Ort" and "Suche_Plz" from the postal tables on
// the calling thread's shared connection and never shows a dialog, so the
// provider-backed searches work on the embedded default without any outside
// component. A host replaces it by registering its own provider under the
// same identifier.
//
// "Suche_Ort", request plz|ort|...: answer plz|place||verified|place|grund|hinweis,
// where place is the given place in the table's spelling when the postal
// code carries it (trimmed, case-insensitive; verified), else the postal
// code's only place name (verified), else its first place (not verified), or
// empty for an unknown postal code (not verified).
//
// "Suche_Plz", request plz|ort|strasse|hnr|...: answer
// plz|ort|strasse|hnr|verified|grund|hinweis from check_address
// (provider/address_check.h). Verified ("1") carries the confirmed address in
// the table's spelling; corrected carries the one right address with "0";
// otherwise the request's first four fields come back with "0". A given
// postal code that is not the one of the street section is never "1".
//
// Fields 5 and 6 (the reason's code and German sentence) come after the five
// fields the classic answer has, so a reader of those five is not disturbed.
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
