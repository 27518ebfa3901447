// The provider the registry starts with under kSearchProviderClassId. The
// seam only declares it; the built-in provider (src/provider/) defines it.
// The registry calls it, so a statically linked program always keeps the
// built-in provider without a registration object that the linker could drop.
#pragma once

#include "noxplz/search_provider.h"

namespace noxplz {

SearchProviderFactory default_search_provider_factory();

}  // namespace noxplz
