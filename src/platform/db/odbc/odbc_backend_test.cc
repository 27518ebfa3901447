// The ODBC backend: the mapping of the classic SQL Server connection string,
// and the layer itself against the test server through psqlODBC (statements
// pass unchanged, so they are written in PostgreSQL's dialect here).
#include "platform/db/odbc/odbc_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "noxplz/db.h"
#include "noxplz/error.h"
#include "testing/error_matchers.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using testing::RaisesError;
using testing::RaisesErrorSaying;
using testing::TempDatabase;
using testing::TestBackend;

TEST(OdbcConnectionString, TheClassicSqlServerKeysMapToTheInstalledDriver) {
  const std::vector<std::string> ms = {"PostgreSQL Unicode", "ODBC Driver 17 for SQL Server",
                                       "ODBC Driver 18 for SQL Server", "FreeTDS"};
  const std::vector<std::string> tds = {"FreeTDS"};
  const struct {
    std::string connection;
    const std::vector<std::string>* installed;
    std::string expected;
  } cases[] = {
      {"Provider=SQLOLEDB;Data Source=srv\\inst;Initial Catalog=Adressen;User ID=anna;Password=ge;heim", &ms,
       "Driver=ODBC Driver 18 for SQL Server;Server=srv\\inst;Database=Adressen;UID=anna;PWD=ge;"},
      {"Provider=SQLOLEDB;Data Source=srv\\inst;Initial Catalog=Adressen;User ID=anna;Password=\"ge;heim\"", &ms,
       "Driver=ODBC Driver 18 for SQL Server;Server=srv\\inst;Database=Adressen;UID=anna;PWD={ge;heim};"},
      {"Provider=MSOLEDBSQL;Server=srv,1433;Database=plz;Integrated Security=SSPI;Trust Server Certificate=True", &ms,
       "Driver=ODBC Driver 18 for SQL Server;Server=srv,1433;Database=plz;Trusted_Connection=yes;"
       "TrustServerCertificate=yes;"},
      {"Provider=SQLNCLI11;Data Source=srv,1433;Initial Catalog=plz;User ID=sa;Password=x", &tds,
       "Driver=FreeTDS;Server=srv;Port=1433;ClientCharset=UTF-8;Database=plz;UID=sa;PWD=x;"},
      // A driver named by the caller gets every other key as it is.
      {"Provider=ODBC;Driver={PostgreSQL Unicode};Server=h;Port=5432;Connect Timeout=3", &tds,
       "Driver=PostgreSQL Unicode;port=5432;server=h;"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(odbc::driver_connection_string(parse_connection_string(c.connection), *c.installed), c.expected)
        << c.connection;

  EXPECT_THAT(
      [] {
        odbc::driver_connection_string(parse_connection_string("Provider=SQLOLEDB;Data Source=srv"), {"PostgreSQL Unicode"});
      },
      RaisesErrorSaying("ODBC Driver 18 for SQL Server", "tdsodbc"));
}

// psqlODBC on the test server, in a schema of the test's own.
class OdbcLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NOXPLZ_REQUIRE_POSTGRESQL();
    bool have_driver = false;
    for (const std::string& d : odbc::installed_drivers()) have_driver |= d == "PostgreSQL Unicode";
    if (!have_driver) {
      if (testing::postgresql_required()) FAIL() << "psqlODBC (\"PostgreSQL Unicode\") ist nicht eingerichtet";
      GTEST_SKIP() << "psqlODBC (\"PostgreSQL Unicode\") ist nicht eingerichtet (Paket odbc-postgresql)";
    }
    db_ = std::make_unique<TempDatabase>(TestBackend::kPostgresql);
    c_ = open_connection(Odbc(password()));
  }

  std::string password() { return parse_connection_string(testing::postgresql_test_server())["password"]; }

  std::string Odbc(const std::string& password) {
    auto p = parse_connection_string(db_->connection_string());
    return "Provider=ODBC;Driver={PostgreSQL Unicode};Server=" + p["host"] + ";Port=" + p["port"] + ";Database=" +
           p["database"] + ";UID=" + p["user id"] + ";PWD=" + password + ";ConnSettings={SET search_path TO " +
           p["search path"] + "}";
  }

  std::unique_ptr<TempDatabase> db_;
  ConnectionPtr c_;
};

TEST_F(OdbcLayerTest, RunsStatementsAndReadsRecordSetsByFieldName) {
  int32_t affected = 0;
  c_->Execute("INSERT INTO ORT_DA (ALORT, ONAME, STATUS) VALUES ('1', 'Müller-Straße ß', 'G'), ('2', 'Köln', 'G'), "
              "('3', 'Ulm', NULL)",
              &affected);
  EXPECT_EQ(affected, 3);
  c_->Execute("UPDATE ORT_DA SET OZUSATZ = 'x' WHERE STATUS = 'G'", &affected);
  EXPECT_EQ(affected, 2);
  c_->Execute("DELETE FROM ORT_DA WHERE ALORT = 'gibt es nicht'", &affected);
  EXPECT_EQ(affected, 0);

  auto rs = c_->Execute("SELECT alort AS Schluessel, rtrim(ONAME) AS Name, STATUS, COUNT(*) OVER () AS Anzahl, "
                        "repeat('ä', 3000) AS Lang FROM ORT_DA ORDER BY ALORT");
  EXPECT_EQ(rs->FieldNames().size(), 5u);
  std::vector<std::string> names;
  for (; !rs->Eof(); rs->MoveNext()) {
    names.push_back(rs->Field("NAME").as_text());  // any letter case
    EXPECT_EQ(rs->Field("anzahl").as_long(), 3);
    EXPECT_EQ(rs->Field("Lang").as_text().size(), 6000u);  // read in pieces, UTF-8 again
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Müller-Straße ß", "Köln", "Ulm"}));
  EXPECT_THROW(rs->Field("Name"), Error);  // past the end

  rs = c_->Execute("SELECT STATUS FROM ORT_DA WHERE ALORT = '3'");
  EXPECT_TRUE(rs->Field("status").is_null());
  EXPECT_THROW(rs->Field("gibtsnicht"), Error);
  rs->Close();
  EXPECT_THROW(rs->Eof(), Error);
}

TEST_F(OdbcLayerTest, ErrorsCarrySqlstateAndTheServersText) {
  c_->Execute("CREATE UNIQUE INDEX ux_test ON PLZ_DA (PLZ)");
  c_->Execute("INSERT INTO PLZ_DA (PLZ) VALUES ('10115')");
  const struct {
    const char* sql;
    int32_t number;
    const char* expected;
  } cases[] = {
      {"INSERT INTO PLZ_DA (PLZ) VALUES ('10115')", err::kDbIntegrity, "doppelter Schlüssel"},
      {"SELEKT 1", err::kDbError, "SQLSTATE 42601"},
      {"SELECT x FROM gibt_es_nicht", err::kDbError, "gibt_es_nicht"},
  };
  for (const auto& k : cases)
    EXPECT_THAT([&] { c_->Execute(k.sql); }, RaisesError(k.number, k.expected, "SQLSTATE")) << k.sql;
  EXPECT_EQ(c_->Execute("SELECT COUNT(*) AS n FROM PLZ_DA")->Field("n").as_long(), 1);
}

TEST_F(OdbcLayerTest, AStatementOverItsTimeLimitIsStopped) {
  c_->CommandTimeout(1);
  EXPECT_THAT([&] { c_->Execute("SELECT pg_sleep(20)"); }, RaisesError(err::kDbTimeout));
}

TEST_F(OdbcLayerTest, AWrongPasswordIsRefusedInGerman) {
  EXPECT_THAT([&] { open_connection(Odbc("ganz-falsch")); }, RaisesError(err::kDbOpenFailed, "Anmeldung"));
}

}  // namespace
}  // namespace noxplz
