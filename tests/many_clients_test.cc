// Many workstations on one server database: eight client processes look
// addresses up in a loop while a ninth imports a new delivery. No client
// sees an error or a mixture; each sees the old data until the commit and
// the new data after it. (The same with the full file and its latencies:
// bench/clients_bench.)
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "datafactory_gen.h"
#include "noxplz/importer.h"
#include "testing/lookup_clients.h"
#include "testing/temp_database.h"
#include "testing/test_backend.h"

namespace noxplz {
namespace {

using testing::LookupClients;
using testing::TempDatabase;
using testing::TestBackend;

std::string generated(uint64_t seed) {
  datafactory::GenOptions o;
  o.seed = seed;
  o.st = 20000;
  std::ostringstream out;
  datafactory::generate(out, o);
  return out.str();
}

void import_file(const TempDatabase& db, const std::string& bytes, const std::string& name) {
  ImportOptions yes;
  yes.replace_existing = true;
  const ImportResult r = import_datafactory(testing::write_file(db.dir(), name, bytes), db.connection(), yes);
  ASSERT_EQ(r.outcome, ImportOutcome::kImported);
  ASSERT_TRUE(r.committed);
}

TEST(ManyClients, EightClientsLookingUpDuringAnImportSeeOldDataUntilTheCommitThenNewDataAndNoError) {
  NOXPLZ_REQUIRE_POSTGRESQL();
  TempDatabase served(TestBackend::kPostgresql), reference(TestBackend::kPostgresql);
  const std::string old_file = generated(11), new_file = generated(12);
  import_file(served, old_file, "alt.dat");
  import_file(reference, new_file, "neu.dat");
  // Lookups whose answers tell the two deliveries apart.
  const auto lookups = testing::pick_lookups(*served.connection(), *reference.connection(), 30);
  ASSERT_GE(lookups.size(), 20u);
  std::set<testing::ProbeLookup::Kind> kinds;
  for (const auto& l : lookups) kinds.insert(l.kind);
  ASSERT_EQ(kinds.size(), 4u);  // every kind of lookup is among them

  LookupClients clients(8, served.connection_string(), lookups);
  ASSERT_TRUE(clients.WaitForRounds(testing::kBefore, 2, 60));
  clients.SetPhase(testing::kDuring);
  ImportOptions yes;
  yes.replace_existing = true;
  const ImportResult r =
      import_datafactory(testing::write_file(served.dir(), "neu.dat", new_file), served.connection(), yes);
  // Committed once the import has returned: every lookup that begins now must see the new data.
  clients.SetPhase(testing::kAfter);
  EXPECT_EQ(r.outcome, ImportOutcome::kImported);
  EXPECT_TRUE(clients.WaitForRounds(testing::kAfter, 2, 60));
  const auto reports = clients.Stop();

  ASSERT_EQ(reports.size(), 8u);
  int64_t old_during = 0;
  for (size_t i = 0; i < reports.size(); ++i) {
    const testing::ClientReport& c = reports[i];
    SCOPED_TRACE("Client " + std::to_string(i) + ": " + c.first_problem);
    EXPECT_EQ(c.errors, 0);
    EXPECT_EQ(c.other_answers, 0);
    EXPECT_EQ(c.old_after_new, 0);
    EXPECT_EQ(c.new_answers[testing::kBefore], 0);
    EXPECT_EQ(c.old_answers[testing::kAfter], 0);
    EXPECT_GT(c.new_answers[testing::kAfter], 0);
    EXPECT_GT(c.lookups[testing::kDuring], 0) << "no lookup while the import ran";
    old_during += c.old_answers[testing::kDuring];
  }
  EXPECT_GT(old_during, 0);  // the import did not hide the old data
}

}  // namespace
}  // namespace noxplz
