#include "noxplz/schema.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "testing/temp_database.h"

namespace noxplz {
namespace {

int32_t column_count(Connection& c, const std::string& table) {
  auto rs = c.Execute("SELECT COUNT(*) AS N FROM pragma_table_info('" + table + "')");
  return rs->Field("N").as_long();
}

TEST(SqliteSchema, CreatesTheNinePostalTables) {
  auto dir = testing::make_temp_dir();
  const std::string path = (dir / "neu.db").string();
  {
    ConnectionPtr c = create_postal_database(path);
    const std::map<std::string, int32_t> expected = {
        {"GROSS_DA", 17}, {"KGS_DA", 7},  {"ORG_DA", 22}, {"ORT_DA", 13}, {"OTL_DA", 11},
        {"POFA_DA", 14},  {"PLZ_DA", 24}, {"STR_DA", 27}, {"PRUEF_DA", 7},
    };
    for (const auto& [table, columns] : expected) EXPECT_EQ(column_count(*c, table), columns) << table;
    c->Execute("INSERT INTO ORT_DA (ONAME) VALUES ('Köln')");
  }
  // Opening again keeps the tables and their rows.
  ConnectionPtr again = create_postal_database(path);
  EXPECT_EQ(again->Execute("SELECT COUNT(*) AS N FROM ORT_DA")->Field("N").as_long(), 1);
  // Names are matched without regard to case, as the lookups spell them.
  auto rs = again->Execute("SELECT oname, Alort_Neu FROM Ort_DA WHERE OName = 'KÖLN'");
  EXPECT_FALSE(rs->Eof());
  rs->Close();
  again.reset();
  std::filesystem::remove_all(dir);
}

TEST(SqliteSchema, ScriptIsCompiledIn) {
  std::string script = sqlite_postal_schema();
  EXPECT_THAT(script, ::testing::HasSubstr("CREATE TABLE IF NOT EXISTS STR_DA"));
  EXPECT_THAT(script, ::testing::HasSubstr("COLLATE NOXPLZ_CI"));
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
