#include "manager/session.h"

namespace noxplz {

Session& session() {
  thread_local Session state;
  return state;
}

}  // namespace noxplz
