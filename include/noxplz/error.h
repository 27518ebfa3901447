// Errors as the component raises and reports them: a run-time number and a
// description, shown to the user as "NUMBER / description".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace noxplz {

// Familiar run-time error numbers used across the component.
namespace err {
inline constexpr int32_t kInvalidCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kCannotCreateObject = 429;
// Database errors (the numbers the classic data objects report).
inline constexpr int32_t kDbItemNotFound = 3265;        // unknown field name
inline constexpr int32_t kDbConnectionClosed = 3709;    // statement on a closed connection
inline constexpr int32_t kDbProviderNotFound = 3706;    // unknown provider
inline constexpr int32_t kDbError = -2147217900;        // generic statement error
inline constexpr int32_t kDbTimeout = -2147217871;      // command time-out
inline constexpr int32_t kDbIntegrity = -2147217873;    // constraint / duplicate key
inline constexpr int32_t kDbOpenFailed = -2147467259;   // cannot open the data source
}  // namespace err

// A failure travelling through the component.
class Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string description)
      : std::runtime_error(description), number(number), description(std::move(description)) {}

  int32_t number;
  std::string description;
};

// "fixed text\nNUMBER / description": the text of a routine's error message box.
std::string format_error_message(std::string_view fixed_text, const Error& error);

// "NUMBER / description" without a fixed text.
std::string format_error_number(const Error& error);

// Turns any exception into an Error (unknown exceptions become a generic one).
Error to_error(const std::exception& e);

}  // namespace noxplz
