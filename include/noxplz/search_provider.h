// Search-provider seam: an outside component, created by class identifier and
// called late-bound by method name ("Suche_Plz", "Suche_Ort") with one
// "|"-separated request text; its return value is the answer text.
//
// The registry maps class identifiers to factories. The component asks for
// its one fixed identifier (kSearchProviderClassId); by default a built-in
// provider answering from the postal tables is registered there, and a host
// may register its own implementation under the same identifier.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace noxplz {

inline constexpr std::string_view kSearchProviderClassId = "{6C1A52E4-0D7B-4F3A-9E2B-5A1F0C3D8E71}";

class SearchProvider {
 public:
  virtual ~SearchProvider() = default;
  // Calls `method` with `request`; returns the answer text. Unknown methods
  // raise error 438 (object does not support this method).
  virtual std::string Call(std::string_view method, std::string& request) = 0;
};

using SearchProviderFactory = std::function<std::shared_ptr<SearchProvider>()>;

// Registers (or replaces, or with an empty factory removes) the factory for a
// class identifier. Registrations are process-wide.
void register_search_provider(std::string_view class_id, SearchProviderFactory factory);

// Creates a new provider object; error 429 when nothing is registered under the identifier.
std::shared_ptr<SearchProvider> create_search_provider(std::string_view class_id);

}  // namespace noxplz
