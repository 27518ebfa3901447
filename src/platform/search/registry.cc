#include <map>
#include <mutex>

#include "noxplz/error.h"
#include "noxplz/search_provider.h"
#include "platform/search/default_provider.h"
#include "platform/text.h"

namespace noxplz {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, SearchProviderFactory> factories;  // key: upper-case class id
};

// The registry starts with the default provider under the component's own
// identifier. Registering it here, rather than from a static object in the
// provider's file, keeps it in a statically linked program: this file is
// always linked, and it references the provider.
Registry& registry() {
  static Registry r;
  static const bool builtin_registered = [] {
    r.factories[text::ascii_upper(kSearchProviderClassId)] = default_search_provider_factory();
    return true;
  }();
  (void)builtin_registered;
  return r;
}

}  // namespace

void register_search_provider(std::string_view class_id, SearchProviderFactory factory) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  std::string key = text::ascii_upper(class_id);
  if (factory)
    r.factories[key] = std::move(factory);
  else
    r.factories.erase(key);
}

std::shared_ptr<SearchProvider> create_search_provider(std::string_view class_id) {
  SearchProviderFactory factory;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(text::ascii_upper(class_id));
    if (it != r.factories.end()) factory = it->second;
  }
  std::shared_ptr<SearchProvider> provider = factory ? factory() : nullptr;
  if (!provider)
    throw Error(err::kCannotCreateObject,
                "Objekterstellung durch ActiveX-Komponente nicht möglich (Suchkomponente " +
                    std::string(class_id) + " ist nicht registriert)");
  return provider;
}

}  // namespace noxplz
