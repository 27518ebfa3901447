// The console toolkit's declarations are public: noxplz/console_toolkit.h.
#pragma once

#include "noxplz/console_toolkit.h"
