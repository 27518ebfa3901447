#include "noxplz/db.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "noxplz/error.h"

namespace noxplz {
namespace {

using ::testing::HasSubstr;

TEST(ConnectionString, KeysLowerCaseValuesTrimmed) {
  auto p = parse_connection_string(" Provider = SQLite ;Data Source= /tmp/plz.db ;;Persist Security Info");
  EXPECT_EQ(p, (std::map<std::string, std::string>{
                   {"provider", "SQLite"}, {"data source", "/tmp/plz.db"}, {"persist security info", ""}}));
}

TEST(ConnectionString, QuotedValuesMayHoldSeparators) {
  auto p = parse_connection_string("Data Source=\"C:\\Daten;alt\\plz.db\";Password='it''s';X=a=b");
  EXPECT_EQ(p["data source"], "C:\\Daten;alt\\plz.db");
  EXPECT_EQ(p["password"], "it's");
  EXPECT_EQ(p["x"], "a=b");
  EXPECT_TRUE(parse_connection_string("").empty());
}

// A provider that records what the connection hands it.
struct Recorder {
  std::map<std::string, std::string> properties;
  std::string sql;
  int32_t timeout = -2;
};

class RecordingBackend : public DbBackend {
 public:
  explicit RecordingBackend(Recorder* r) : r_(r) {}
  RecordsetPtr Execute(std::string_view sql, int32_t& affected, int32_t timeout) override {
    r_->sql = std::string(sql);
    r_->timeout = timeout;
    affected = 7;
    return nullptr;
  }

 private:
  Recorder* r_;
};

Recorder& recorder() {
  static Recorder r;
  return r;
}

void register_recorder() {
  register_db_provider("Aufzeichner", [](const std::map<std::string, std::string>& properties) {
    recorder().properties = properties;
    return std::make_unique<RecordingBackend>(&recorder());
  });
}

TEST(Connection, OpensTheRegisteredProviderByName) {
  register_recorder();
  Connection c;
  c.ConnectionString("PROVIDER=aufzeichner;Data Source=irgendwo");
  c.Open({}, "benutzer", "geheim");
  EXPECT_EQ(c.State(), Connection::kStateOpen);
  EXPECT_EQ(recorder().properties["data source"], "irgendwo");
  EXPECT_EQ(recorder().properties["user id"], "benutzer");
  EXPECT_EQ(recorder().properties["password"], "geheim");

  c.CommandTimeout(0);
  int32_t affected = 0;
  RecordsetPtr rs = c.Execute("SELECT 1", &affected);
  EXPECT_EQ(recorder().sql, "SELECT 1");
  EXPECT_EQ(recorder().timeout, 0);
  EXPECT_EQ(affected, 7);
  ASSERT_NE(rs, nullptr);  // a statement without rows still yields a record set, at its end
  EXPECT_TRUE(rs->Eof());
  EXPECT_THROW(rs->Field("x"), Error);

  try {
    c.Open("Provider=Aufzeichner");
    ADD_FAILURE() << "second Open accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number, 3705);
  }
  c.Close();
  EXPECT_EQ(c.State(), Connection::kStateClosed);
}

TEST(Connection, UnknownOrMissingProvider) {
  try {
    open_connection("Provider=SQLOLEDB;Data Source=server");
    ADD_FAILURE() << "unknown provider accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number, err::kDbProviderNotFound);
    EXPECT_THAT(e.description, HasSubstr("Der Provider \"SQLOLEDB\" ist nicht bekannt. Bekannt: "));
    EXPECT_THAT(e.description, HasSubstr("SQLite"));
  }
  try {
    open_connection("Data Source=/tmp/x.db");
    ADD_FAILURE() << "missing provider accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number, err::kDbProviderNotFound);
    EXPECT_THAT(e.description, HasSubstr("Provider"));
  }
}

TEST(Connection, ExecuteOnAClosedConnection) {
  Connection c;
  try {
    c.Execute("SELECT 1");
    ADD_FAILURE() << "closed connection executed";
  } catch (const Error& e) {
    EXPECT_EQ(e.number, err::kDbConnectionClosed);
    EXPECT_THAT(e.description, HasSubstr("geschlossen"));
  }
}

TEST(Connection, CommandRunsOnItsActiveConnection) {
  Command cmd;
  cmd.CommandText("DELETE FROM T");
  try {
    cmd.Execute();
    ADD_FAILURE() << "command without connection executed";
  } catch (const Error& e) {
    EXPECT_EQ(e.number, err::kObjectNotSet);
  }
  register_recorder();
  cmd.ActiveConnection(open_connection("Provider=Aufzeichner"));
  int32_t affected = 0;
  cmd.Execute(&affected);
  EXPECT_EQ(recorder().sql, "DELETE FROM T");
  EXPECT_EQ(affected, 7);
}

TEST(Connection, SqlQuoteDoublesSingleQuotes) {
  EXPECT_EQ(sql_quote("O'Neil"), "O''Neil");
  EXPECT_EQ(sql_quote("''"), "''''");
  EXPECT_EQ(sql_quote("Köln \"Mitte\""), "Köln \"Mitte\"");
  EXPECT_EQ(sql_quote(""), "");
}

}  // namespace
}  // namespace noxplz
