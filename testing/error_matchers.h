// Matchers for a call that throws the component's Error: with a given number
// and/or with given parts in its German description.
#pragma once

#include <gmock/gmock.h>

#include <string>

#include "noxplz/error.h"

namespace noxplz::testing {

// Throws an Error with `number` whose description holds every one of `parts`.
template <class... Parts>
auto RaisesError(int32_t number, const Parts&... parts) {
  return ::testing::Throws<Error>(::testing::AllOf(
      ::testing::Field(&Error::number, number), ::testing::Field(&Error::description, ::testing::HasSubstr(std::string(parts)))...));
}

// Throws an Error, whatever its number, whose description holds every one of `parts`.
template <class... Parts>
auto RaisesErrorSaying(const Parts&... parts) {
  return ::testing::Throws<Error>(
      ::testing::Field(&Error::description, ::testing::AllOf(::testing::HasSubstr(std::string(parts))...)));
}

}  // namespace noxplz::testing
