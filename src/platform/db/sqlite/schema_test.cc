#include "noxplz/schema.h"

#include <gmock/gmock.h>
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

// The address checks read a street's sections from their index alone, in
// its order; the classic street lookups keep their index, and with it the
// order of equal rows they always had.
TEST(SqliteSchema, OnlyTheChecksReadTheSectionsIndex) {
  testing::TempDatabase db;
  const auto plan = [&](const std::string& sql) {
    std::string details;
    for (RecordsetPtr rs = db.connection()->Execute("EXPLAIN QUERY PLAN " + sql); !rs->Eof(); rs->MoveNext())
      details += rs->Field("detail").as_text() + "\n";
    return details;
  };
  const std::string columns = "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA ";
  const std::string check = plan(columns + "WHERE ALORT = ALORT AND Alort = '1' AND Name46 = 'Ring' "
                                           "ORDER BY Name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl");
  EXPECT_THAT(check, ::testing::HasSubstr("USING COVERING INDEX IX_STR_DA_SECTIONS (ALORT=? AND Name46=?)"));
  EXPECT_THAT(check, ::testing::Not(::testing::HasSubstr("TEMP B-TREE")));
  EXPECT_THAT(plan(columns + "WHERE Alort = '1' and Name46 = 'Ring' order by Name46, Plz"),
              ::testing::HasSubstr("USING INDEX IX_STR_DA_ALORT_NAME46 (ALORT=? AND Name46=?)"));
  EXPECT_THAT(plan(columns + "WHERE Alort = '1' order by Name46"),
              ::testing::HasSubstr("USING INDEX IX_STR_DA_ALORT_NAME46 (ALORT=?)"));
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
