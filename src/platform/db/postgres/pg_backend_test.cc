// The PostgreSQL backend against the real server (NOXPLZ_TEST_PG): the SQL
// Server behaviour the component relies on, errors, time limits, a server
// that goes away.
#include "platform/db/postgres/pg_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/error.h"
#include "platform/text.h"
#include "testing/error_matchers.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using testing::padded;
using testing::RaisesError;
using testing::RaisesErrorSaying;
using testing::TempDatabase;
using testing::TestBackend;

std::vector<std::string> column(Connection& c, const std::string& sql, const std::string& field) {
  std::vector<std::string> values;
  for (auto rs = c.Execute(sql); !rs->Eof(); rs->MoveNext()) values.push_back(text::trim(rs->Field(field).as_text()));
  return values;
}

// Replaces every occurrence of "Password=<old>" with a wrong password.
std::string with_wrong_password(std::string cs) {
  size_t p = cs.find("Password=");
  if (p == std::string::npos) return cs + ";Password=falsch";
  size_t end = cs.find(';', p);
  return cs.substr(0, p) + "Password=ganz-falsch" + (end == std::string::npos ? "" : cs.substr(end));
}

class PgBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NOXPLZ_REQUIRE_POSTGRESQL();
    db_ = std::make_unique<TempDatabase>(TestBackend::kPostgresql);
    ASSERT_TRUE(db_->is_postgresql());
  }
  Connection& c() { return *db_->connection(); }
  std::unique_ptr<TempDatabase> db_;
};

TEST_F(PgBackendTest, ComparesLikeSqlServerWithACaseInsensitiveGermanCollation) {
  for (const char* name : {"München", "MÜNSTER", "Mainz", "mülheim", "Munster", "Zwickau", "Ärzte", "Aue", "ahlen",
                           "Oberhausen", "Öhringen", "Übach", "Ulm", "Straße", "Strasse", "D'Orf"})
    db_->insert("ORT_DA", {{"ONAME", padded(name, 40)}, {"ALORT", "1"}});
  db_->insert("STR_DA", {{"ALORT", "11000000"}, {"NAME46", padded("Hauptstr", 46)}});

  const struct {
    const char *sql, *field;
    std::vector<std::string> expected;
  } cases[] = {
      // LIKE ignores case for every letter, umlauts included, and keeps ü apart from u.
      {"SELECT OName FROM Ort_DA WHERE OName like 'mün%' ORDER BY OName", "oname", {"München", "MÜNSTER"}},
      {"SELECT OName FROM Ort_DA WHERE OName like 'MÜ%' ORDER BY OName", "oname", {"mülheim", "München", "MÜNSTER"}},
      {"SELECT OName FROM Ort_DA WHERE OName like 'd''o%'", "oname", {"D'Orf"}},
      {"SELECT OName FROM Ort_DA WHERE OName like '[ÄÖ]%' ORDER BY OName", "oname", {"Ärzte", "Öhringen"}},
      // = ignores trailing blanks and case; ß and ss stay different.
      {"SELECT Name46 FROM Str_DA WHERE Alort = '11000000' and Name46 = 'HAUPTSTR'", "name46", {"Hauptstr"}},
      {"SELECT OName FROM Ort_DA WHERE OName = 'strasse'", "oname", {"Strasse"}},
      // German order: umlauts beside their base letter, case ignored.
      {"SELECT OName FROM Ort_DA WHERE OName NOT LIKE 'M%' AND OName <> 'D''Orf' ORDER BY OName", "oname",
       {"ahlen", "Ärzte", "Aue", "Oberhausen", "Öhringen", "Strasse", "Straße", "Übach", "Ulm", "Zwickau"}},
  };
  for (const auto& k : cases) EXPECT_EQ(column(c(), k.sql, k.field), k.expected) << k.sql;
}

TEST_F(PgBackendTest, ThePrefixSearchOfAPlaceUsesTheIndex) {
  db_->exec("SET enable_seqscan = off");
  std::string plan;
  for (auto rs = c().Execute("EXPLAIN SELECT ALORT_Neu FROM Ort_DA WHERE OName like 'mün%'"); !rs->Eof(); rs->MoveNext())
    plan += rs->Field("QUERY PLAN").as_text() + "\n";
  EXPECT_NE(plan.find("ix_ort_da_oname_like"), std::string::npos) << plan;
}

TEST_F(PgBackendTest, RecordSetsCountsNullsAndNumbers) {
  db_->insert("PLZ_DA", {{"PLZ", "10115"}, {"ALORT", "11000000"}});
  db_->insert("PLZ_DA", {{"PLZ", "10117"}, {"ALORT", "11000000"}});
  int32_t affected = 0;
  c().Execute("UPDATE Plz_DA SET OName = 'Berlin' WHERE Alort = '11000000'", &affected);
  EXPECT_EQ(affected, 2);
  c().Execute("SELECT Plz FROM Plz_DA", &affected);
  EXPECT_EQ(affected, -1);

  auto rs = c().Execute("SELECT COUNT(*) AS Anzahl, MAX(OZusatz) AS Leer, SUM(CAST(plz AS NUMERIC(16,0))) AS Summe, "
                        "12345678901 AS Gross FROM PLZ_DA");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Field("ANZAHL").as_long(), 2);  // field names ignore case
  EXPECT_TRUE(rs->Field("leer").is_null());
  EXPECT_EQ(rs->Field("Summe").as_long(), 20232);
  EXPECT_EQ(rs->Field("Gross").as_text(), "12345678901");  // beyond 32 bits: text
  EXPECT_THROW(rs->Field("gibtsnicht"), Error);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_THROW(rs->MoveNext(), Error);

  // Quotes in values survive the round trip; a backslash is an ordinary character.
  db_->insert("ORT_DA", {{"ONAME", "Rue d'Arc \\ x"}});
  EXPECT_EQ(column(c(), "SELECT OName FROM ORT_DA WHERE OName = 'Rue d''Arc \\ x'", "OName"),
            (std::vector<std::string>{"Rue d'Arc \\ x"}));
}

TEST_F(PgBackendTest, ServerErrorsBecomeGermanMessages) {
  db_->exec("CREATE UNIQUE INDEX ux_plz ON PLZ_DA (PLZ, ALORT)");
  db_->insert("PLZ_DA", {{"PLZ", "10115"}, {"ALORT", "11000000"}});
  EXPECT_THAT([&] { db_->insert("PLZ_DA", {{"PLZ", "10115"}, {"ALORT", "11000000 "}}); },  // blanks do not count
              RaisesError(err::kDbIntegrity, kDuplicateKeyText, "23505"));
  const struct {
    const char* sql;
    const char* german;
  } cases[] = {
      {"SELECT x FROM GIBTS_NICHT", "Ungültiger Objektname"},
      {"SELECT gibtsnicht FROM PLZ_DA", "Ungültiger Spaltenname"},
      {"SELEKT 1", "Falsche Syntax"},
      {"INSERT INTO PLZ_DA (PLZ) VALUES ('1234567')", "abgeschnitten"},
  };
  for (const auto& k : cases) EXPECT_THAT([&] { c().Execute(k.sql); }, RaisesErrorSaying(k.german)) << k.sql;
  // The connection goes on after an error.
  EXPECT_EQ(db_->count("PLZ_DA"), 1);
}

TEST_F(PgBackendTest, AStatementThatRunsTooLongIsStoppedAtTheCommandTimeout) {
  c().CommandTimeout(1);
  EXPECT_THAT([&] { c().Execute("SELECT pg_sleep(20)"); }, RaisesError(err::kDbTimeout, "Zeitüberschreitung"));
  c().CommandTimeout(30);
  EXPECT_EQ(db_->count("PLZ_DA"), 0);
}

TEST_F(PgBackendTest, AConnectionTheServerDroppedIsReportedAndThenOpenedAgain) {
  const int32_t pid = c().Execute("SELECT pg_backend_pid() AS pid")->Field("pid").as_long();
  ConnectionPtr admin = open_connection(db_->connection_string());
  admin->Execute("SELECT pg_terminate_backend(" + std::to_string(pid) + ")");
  EXPECT_THAT([&] { db_->count("PLZ_DA"); }, RaisesErrorSaying("Verbindung"));
  EXPECT_EQ(db_->count("PLZ_DA"), 0);  // the next statement connects again
}

// The value without the blanks CHAR(n) pads it with.
std::string unpadded(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::vector<std::string> names(Connection& c, const std::string& sql) {
  std::vector<std::string> values;
  for (auto rs = c.Execute(sql); !rs->Eof(); rs->MoveNext()) values.push_back(unpadded(rs->Field("v").as_text()));
  return values;
}

std::unique_ptr<RowInserter> inserter(ReplaceUnit& unit, std::string_view table, std::string_view column) {
  const std::string_view columns[] = {column};
  return unit.PrepareInsert(table, columns);
}

int32_t insert(RowInserter& ins, std::string_view value) {
  const std::string_view values[] = {value};
  return ins.Insert(values);
}

TEST_F(PgBackendTest, TheReplaceUnitLoadsEveryValueAsGivenAndShowsItOnlyAfterCommit) {
  db_->insert("ORT_DA", {{"ONAME", "Alt"}});
  ConnectionPtr other = open_connection(db_->connection_string());
  const std::string_view tables[] = {"ORT_DA"};
  auto unit = c().BeginReplace(tables);
  ASSERT_NE(unit, nullptr);
  c().Execute("DELETE FROM ORT_DA");
  auto ins = inserter(*unit, "ORT_DA", "ONAME");
  // What COPY's text format treats specially must arrive as it was given.
  const std::vector<std::string> values = {"Tab\there", "Back\\slash", "Zeile\nzwei", "Wagen\rrücklauf",
                                           "\\N", "\\.", "O'Brien \"Ä\""};
  for (const std::string& v : values) EXPECT_EQ(insert(*ins, v), RowInserter::kPending);
  // This connection sees its rows (they are sent first), the other one the old data.
  EXPECT_EQ(names(c(), "SELECT ONAME AS v FROM ORT_DA ORDER BY ONAME COLLATE \"C\"").size(), values.size());
  EXPECT_EQ(names(*other, "SELECT ONAME AS v FROM ORT_DA"), std::vector<std::string>{"Alt"});
  const RowInserter::Outcomes outcomes = ins->TakeOutcomes(true);
  EXPECT_EQ(outcomes.inserted, static_cast<int64_t>(values.size()));
  EXPECT_TRUE(outcomes.refused.empty());
  EXPECT_EQ(ins->TakeOutcomes(true).inserted, 0);  // each outcome once

  // A second import is refused at once, on this connection and on another.
  for (Connection* conn : {&c(), other.get()})
    EXPECT_THAT([&] { conn->BeginReplace(tables); }, RaisesError(kErrImportRunning));
  EXPECT_FALSE(unit->Broken());
  unit->Commit();
  std::vector<std::string> expected = values;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names(*other, "SELECT ONAME AS v FROM ORT_DA ORDER BY ONAME COLLATE \"C\""), expected);
  EXPECT_THROW(insert(*ins, "zu spät"), Error);
  // The next import may begin.
  EXPECT_NE(other->BeginReplace(tables), nullptr);
}

TEST_F(PgBackendTest, ARefusedRowIsReportedAloneDuplicatesAreCountedTheOtherRowsGoIn) {
  db_->exec("ALTER TABLE ORT_DA ADD CONSTRAINT kein_nein CHECK (ONAME <> 'Nein')");
  db_->exec("CREATE UNIQUE INDEX ux_plz ON PLZ_DA (PLZ)");
  db_->insert("ORT_DA", {{"ONAME", "Alt"}});
  const std::string_view tables[] = {"ORT_DA", "PLZ_DA"};
  auto unit = c().BeginReplace(tables);
  c().Execute("DELETE FROM ORT_DA");
  auto orte = inserter(*unit, "ORT_DA", "ONAME");
  auto plz = inserter(*unit, "PLZ_DA", "PLZ");
  // Rows of two tables in turn: each table's COPY ends when the other's begins.
  for (const char* v : {"Ja", "Nein", "Auch ja"}) insert(*orte, v);
  for (const char* v : {"10115", "10115", "1234567", "10117"}) insert(*plz, v);
  insert(*orte, "Nein");
  insert(*orte, "Zuletzt");

  RowInserter::Outcomes o = orte->TakeOutcomes(true);
  EXPECT_EQ(o.inserted, 3);
  EXPECT_EQ(o.duplicates, 0);
  ASSERT_EQ(o.refused.size(), 2u);
  EXPECT_NE(o.refused[0].description.find("kein_nein"), std::string::npos) << o.refused[0].description;
  RowInserter::Outcomes p = plz->TakeOutcomes(true);
  EXPECT_EQ(p.inserted, 2);
  EXPECT_EQ(p.duplicates, 1);
  ASSERT_EQ(p.refused.size(), 1u);
  EXPECT_NE(p.refused[0].description.find("abgeschnitten"), std::string::npos) << p.refused[0].description;
  EXPECT_FALSE(unit->Broken());
  unit->Commit();
  EXPECT_EQ(names(c(), "SELECT ONAME AS v FROM ORT_DA ORDER BY ONAME"),
            (std::vector<std::string>{"Auch ja", "Ja", "Zuletzt"}));
  EXPECT_EQ(names(c(), "SELECT PLZ AS v FROM PLZ_DA ORDER BY PLZ"), (std::vector<std::string>{"10115", "10117"}));
}

TEST_F(PgBackendTest, RowsHeldByAnInserterThatGoesAwaySpoilTheUnitAndTheOldDataStays) {
  db_->insert("ORT_DA", {{"ONAME", "Alt"}});
  const std::string_view tables[] = {"ORT_DA"};
  auto unit = c().BeginReplace(tables);
  c().Execute("DELETE FROM ORT_DA");
  auto ins = inserter(*unit, "ORT_DA", "ONAME");
  insert(*ins, "Neu");
  ins.reset();
  EXPECT_TRUE(unit->Broken());
  EXPECT_THROW(unit->Commit(), Error);
  EXPECT_EQ(names(c(), "SELECT ONAME AS v FROM ORT_DA"), std::vector<std::string>{"Alt"});
}

// Reads in one scope (an address check) see one state of the data, that of
// its first read: a row another connection commits later appears only after
// the scope, also when an inner scope ended or a statement in the scope failed.
TEST_F(PgBackendTest, ReadsInOneScopeSeeOneStateOfTheData) {
  ConnectionPtr other = open_connection(db_->connection_string());
  auto places = [&] { return column(c(), "SELECT ONAME FROM ORT_DA ORDER BY ONAME", "ONAME"); };
  auto add = [&](const std::string& name) {
    other->Execute("INSERT INTO ORT_DA (ALORT, ONAME) VALUES ('1', '" + name + "')");
  };
  {
    const Connection::ReadScope outer(c());
    EXPECT_TRUE(places().empty());
    add("Aue");
    { const Connection::ReadScope inner(c()); }
    EXPECT_TRUE(places().empty());
    EXPECT_THAT([&] { c().Execute("SELECT Fehlt FROM ORT_DA"); }, RaisesError(err::kDbError));
  }
  EXPECT_EQ(places(), std::vector<std::string>{"Aue"});
  {
    const Connection::ReadScope scope(c());
    add("Zwickau");  // before the scope's first read: part of its state
    EXPECT_EQ(places(), (std::vector<std::string>{"Aue", "Zwickau"}));
    add("Zeitz");
    EXPECT_EQ(places(), (std::vector<std::string>{"Aue", "Zwickau"}));
  }
  EXPECT_EQ(places(), (std::vector<std::string>{"Aue", "Zeitz", "Zwickau"}));
}

TEST(PgConnect, AWrongLoginOrAnUnreachableServerGivesAGermanMessage) {
  NOXPLZ_REQUIRE_POSTGRESQL();
  const std::string server = testing::postgresql_test_server();
  const struct {
    std::string connection;
    const char* german;
  } cases[] = {
      {with_wrong_password(server), "Kennwort"},
      {server + ";Database=gibt_es_nicht", "gibt es auf dem PostgreSQL-Server"},
      // A port nobody listens on: refused at once, no waiting.
      {"Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=x;User ID=x;Password=x", "nicht erreichbar"},
  };
  for (const auto& k : cases)
    EXPECT_THAT([&] { open_connection(k.connection); }, RaisesError(err::kDbOpenFailed, k.german)) << k.connection;
}

TEST(PgConnect, PropertiesBecomeLibpqParameters) {
  auto params = postgres::libpq_parameters(parse_connection_string(
      "Provider=PostgreSQL;Data Source=db.example;Initial Catalog=plz;UID=anna;PWD=a;b;Search Path=post daten"));
  auto value = [&](const std::string& key) {
    std::string v;
    for (const auto& [k, val] : params)
      if (k == key) v = val;
    return v;
  };
  EXPECT_EQ(value("host"), "db.example");
  EXPECT_EQ(value("dbname"), "plz");
  EXPECT_EQ(value("user"), "anna");
  EXPECT_EQ(value("password"), "a");
  EXPECT_EQ(value("options"), "-c search_path=post\\ daten");
  EXPECT_EQ(value("connect_timeout"), "10");
  EXPECT_EQ(value("client_encoding"), "UTF8");

  // A URI: expanded by libpq, the explicit properties after it win.
  params = postgres::libpq_parameters(parse_connection_string("Uri=postgresql://u@h:5433/d;Connect Timeout=3"));
  EXPECT_EQ(params.back().first, "client_encoding");
  EXPECT_EQ(value("dbname"), "postgresql://u@h:5433/d");
  EXPECT_EQ(value("connect_timeout"), "3");
}

TEST(PgConnect, AUriAloneNamesThePostgresqlProvider) {
  NOXPLZ_REQUIRE_POSTGRESQL();
  auto p = parse_connection_string(testing::postgresql_test_server());
  const std::string uri = "postgresql://" + p["user id"] + ":" + p["password"] + "@" + p["host"] + ":" + p["port"] + "/" +
                          p["database"];
  ConnectionPtr c = open_connection(uri);
  EXPECT_EQ(c->Execute("SELECT 1 + 1 AS n")->Field("n").as_long(), 2);
}

}  // namespace
}  // namespace noxplz
