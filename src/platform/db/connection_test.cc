#include "noxplz/db.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "noxplz/error.h"
#include "testing/error_matchers.h"

namespace noxplz {
namespace {

using noxplz::testing::RaisesError;
using Properties = std::map<std::string, std::string>;

// A provider that records what the connection hands it.
struct {
  Properties properties;
  std::string sql;
  int32_t timeout = -2;
} recorded;

class RecordingBackend : public DbBackend {
 public:
  RecordsetPtr Execute(std::string_view sql, int32_t& affected, int32_t timeout) override {
    recorded.sql = std::string(sql);
    recorded.timeout = timeout;
    affected = 7;
    return nullptr;
  }
};

TEST(Connection, OpensTheRegisteredProviderByName) {
  register_db_provider("Aufzeichner", [](const Properties& properties) {
    recorded.properties = properties;
    return std::make_unique<RecordingBackend>();
  });
  // Keys in lower case, values trimmed; quoted values may hold separators.
  Connection c;
  c.ConnectionString(" PROVIDER = aufzeichner ;Data Source=\"C:\\Daten;alt\\plz.db\";;Initial Catalog='it''s';X=a=b;Y");
  c.Open({}, "benutzer", "geheim");
  EXPECT_EQ(c.State(), Connection::kStateOpen);
  EXPECT_EQ(recorded.properties, (Properties{{"provider", "aufzeichner"}, {"data source", "C:\\Daten;alt\\plz.db"},
                                             {"initial catalog", "it's"}, {"x", "a=b"}, {"y", ""},
                                             {"user id", "benutzer"}, {"password", "geheim"}}));
  c.CommandTimeout(0);
  int32_t affected = 0;
  RecordsetPtr rs = c.Execute("SELECT 1", &affected);
  EXPECT_EQ(recorded.sql, "SELECT 1");
  EXPECT_EQ(recorded.timeout, 0);
  EXPECT_EQ(affected, 7);
  ASSERT_NE(rs, nullptr);  // a statement without rows still yields a record set, at its end
  EXPECT_TRUE(rs->Eof());
  EXPECT_THROW(rs->Field("x"), Error);
  EXPECT_THAT([&] { c.Open("Provider=Aufzeichner"); }, RaisesError(3705));

  Command cmd;  // runs on its active connection only
  cmd.CommandText("DELETE FROM T");
  EXPECT_THAT([&] { cmd.Execute(); }, RaisesError(err::kObjectNotSet));
  cmd.ActiveConnection(open_connection("Provider=Aufzeichner"));
  cmd.Execute(&affected);
  EXPECT_EQ(recorded.sql, "DELETE FROM T");

  c.Close();
  EXPECT_EQ(c.State(), Connection::kStateClosed);
  EXPECT_THAT([&] { c.Execute("SELECT 1"); }, RaisesError(err::kDbConnectionClosed, "geschlossen"));
}

TEST(Connection, UnknownOrMissingProvider) {
  EXPECT_THAT([] { open_connection("Provider=OraOLEDB.Oracle;Data Source=server"); },
              RaisesError(err::kDbProviderNotFound, "Der Provider \"OraOLEDB.Oracle\" ist nicht bekannt. Bekannt: ",
                          "SQLite"));
  EXPECT_THAT([] { open_connection("Data Source=/tmp/x.db"); }, RaisesError(err::kDbProviderNotFound, "Provider"));
}

}  // namespace
}  // namespace noxplz
