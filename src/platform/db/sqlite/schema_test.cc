#include "noxplz/schema.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/temp_database.h"

namespace noxplz {
namespace {

// Opening again keeps the tables and their rows; names match without regard
// to case, as the lookups spell them.
TEST(SqliteSchema, OpeningAgainKeepsTheTablesAndTheirRows) {
  testing::TempDatabase db;
  db.insert("ORT_DA", {{"ONAME", "Köln"}});
  ConnectionPtr again = create_postal_database(db.path());
  EXPECT_EQ(again->Execute("SELECT COUNT(Alort_Neu) + COUNT(*) AS N FROM Ort_DA WHERE OName = 'KÖLN'")
                ->Field("N").as_long(), 1);
}

TEST(SqliteSchema, ConnectionStringKeepsAwkwardPaths) {
  for (const std::string path : {"/tmp/plz.db", "/tmp/a;b.db", "/tmp/\"q\".db", " /tmp/x.db"}) {
    auto properties = parse_connection_string(sqlite_connection_string(path));
    EXPECT_EQ(properties["provider"], "SQLite");
    EXPECT_EQ(properties["data source"], path);
  }
}

}  // namespace
}  // namespace noxplz
