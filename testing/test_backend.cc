#include "testing/test_backend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace noxplz::testing {
namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// With the PostgreSQL backend selected but no server given, every test of
// the run is skipped (or fails) before it starts.
class BackendEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (test_backend() != TestBackend::kPostgresql || !postgresql_test_server().empty()) return;
    if (postgresql_required()) FAIL() << no_server_message();
    GTEST_SKIP() << no_server_message();
  }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new BackendEnvironment);

}  // namespace

TestBackend test_backend() {
  std::string b = env("NOXPLZ_TEST_BACKEND");
  for (char& c : b) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return b == "postgresql" || b == "postgres" ? TestBackend::kPostgresql : TestBackend::kSqlite;
}

std::string postgresql_test_server() { return env("NOXPLZ_TEST_PG"); }

bool postgresql_required() { return env("NOXPLZ_TEST_PG_REQUIRED") == "1"; }

std::string no_server_message() {
  return "Kein PostgreSQL-Server für die Tests: NOXPLZ_TEST_PG ist nicht gesetzt. "
         "Einen Server startet \"scripts/pg-server start\"; dessen Ausgabe in NOXPLZ_TEST_PG setzen "
         "(scripts/test tut das selbst).";
}

}  // namespace noxplz::testing
