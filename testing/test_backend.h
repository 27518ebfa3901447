// Which database the database-facing test suites run on.
//
// The suites create their databases through TempDatabase, which asks this
// module: the embedded SQLite file by default, or, when the test process
// runs with NOXPLZ_TEST_BACKEND=postgresql, a fresh schema on the
// PostgreSQL server named by NOXPLZ_TEST_PG (a connection string, as
// scripts/pg-server start prints it). CTest registers those suites a second
// time with that setting, so the same tests run on both backends.
//
// Without NOXPLZ_TEST_PG the PostgreSQL tests are skipped with a message,
// unless NOXPLZ_TEST_PG_REQUIRED=1 (set by scripts/test), which makes a
// missing server a failure.
#pragma once

#include <string>

namespace noxplz::testing {

enum class TestBackend { kSqlite, kPostgresql };

TestBackend test_backend();

// The server's connection string, or "" when there is none.
std::string postgresql_test_server();

// Whether a missing server must fail the tests instead of skipping them.
bool postgresql_required();

// The message a test skips with when there is no server.
std::string no_server_message();

}  // namespace noxplz::testing

// In a test or SetUp(): skips (or, when required, fails) without a server.
#define NOXPLZ_REQUIRE_POSTGRESQL()                                           \
  do {                                                                        \
    if (::noxplz::testing::postgresql_test_server().empty()) {                \
      if (::noxplz::testing::postgresql_required())                           \
        FAIL() << ::noxplz::testing::no_server_message();                     \
      GTEST_SKIP() << ::noxplz::testing::no_server_message();                 \
    }                                                                         \
  } while (0)
