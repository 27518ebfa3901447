#include "manager/session.h"

namespace noxplz {
namespace {

// Trivially destructible, so it can still be read while the thread's other
// objects are destroyed, after the session itself.
thread_local bool session_gone = false;

struct SessionHolder {
  Session state;
  ~SessionHolder() { session_gone = true; }
};

}  // namespace

Session& session() {
  thread_local SessionHolder holder;
  return holder.state;
}

bool session_ended() { return session_gone; }

}  // namespace noxplz
