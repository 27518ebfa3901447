#include "noxplz/version.h"

namespace noxplz {

const char* version() noexcept { return NOXPLZ_VERSION_STRING; }

int version_number() noexcept { return NOXPLZ_VERSION_NUMBER; }

}  // namespace noxplz
