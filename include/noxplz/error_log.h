// Error-log seam: where the import run reports unexpected errors. The default
// writes one line per report to standard error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace noxplz {

struct ErrorReport {
  std::string procedure;   // e.g. "clsPlzImport.Saetze_Einlesen"
  int32_t number = 0;      // error number
  std::string message;     // what happened ("NUMBER / description" or a note)
};

class ErrorLog {
 public:
  virtual ~ErrorLog() = default;
  virtual void Report(const ErrorReport& report) = 0;
};

// The process-wide error log (default: standard error).
ErrorLog& error_log();
// Installs a log; returns the previous one. nullptr restores the default.
std::shared_ptr<ErrorLog> set_error_log(std::shared_ptr<ErrorLog> log);

}  // namespace noxplz
