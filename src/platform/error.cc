#include "noxplz/error.h"

namespace noxplz {

std::string format_error_number(const Error& error) {
  return std::to_string(error.number) + " / " + error.description;
}

std::string format_error_message(std::string_view fixed_text, const Error& error) {
  std::string out(fixed_text);
  out += '\n';
  out += format_error_number(error);
  return out;
}

Error to_error(const std::exception& e) {
  if (auto* err = dynamic_cast<const Error*>(&e)) return *err;
  if (dynamic_cast<const std::bad_alloc*>(&e)) return Error(7, "Nicht genügend Speicher");
  return Error(err::kInvalidCall, std::string("Unerwarteter Fehler: ") + e.what());
}

}  // namespace noxplz
