// A test fixture for the host API: the postal fixture database on a
// connection of the test's own and a scripted toolkit with an empty script,
// so any dialog fails the test. The thread's session starts empty.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "manager/session.h"
#include "noxplz/lookup.h"
#include "testing/postal_fixture.h"

namespace noxplz::testing {

// "N", "G" or "U", as the tables write the kind of house numbers.
inline std::string house_numbers_code(HouseNumbers h) {
  switch (h) {
    case HouseNumbers::all: return "N";
    case HouseNumbers::even: return "G";
    case HouseNumbers::odd: return "U";
  }
  return "?";
}

class HostApiTest : public ScriptedTest {
 protected:
  explicit HostApiTest(std::string what) : what_(std::move(what)) { fill_postal_fixture(db_); }
  ~HostApiTest() override { EXPECT_EQ(tk_->log(), std::vector<std::string>{}) << what_ << " show nothing"; }
  Connection& db() { return *db_.connection(); }

  std::string what_;
};

}  // namespace noxplz::testing
