#include "noxplz/error_log.h"

#include <cstdio>
#include <mutex>

namespace noxplz {
namespace {

// Default log: one line per report on standard error.
class StderrLog : public ErrorLog {
 public:
  void Report(const ErrorReport& r) override {
    std::fprintf(stderr, "NoxPlz-Fehlerprotokoll: %s: Fehler %d: %s\n", r.procedure.c_str(), r.number,
                 r.message.c_str());
  }
};

std::mutex g_mutex;
std::shared_ptr<ErrorLog>& current() {
  static std::shared_ptr<ErrorLog> log = std::make_shared<StderrLog>();
  return log;
}

}  // namespace

ErrorLog& error_log() {
  std::lock_guard lock(g_mutex);
  return *current();
}

std::shared_ptr<ErrorLog> set_error_log(std::shared_ptr<ErrorLog> log) {
  std::lock_guard lock(g_mutex);
  auto previous = current();
  current() = log ? std::move(log) : std::make_shared<StderrLog>();
  return previous;
}

}  // namespace noxplz
