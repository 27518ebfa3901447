// The SQLite backend through the Connection, on the postal tables.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/schema.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using noxplz::testing::TempDatabase;

std::vector<std::string> column(const RecordsetPtr& rs, const std::string& name) {
  std::vector<std::string> values;
  for (; !rs->Eof(); rs->MoveNext()) values.push_back(rs->Field(name).as_text());
  rs->Close();
  return values;
}

std::string padded(std::string s, size_t width) {
  while (s.size() < width) s += ' ';
  return s;
}

void add_place(TempDatabase& db, const std::string& name, const std::string& alort = "00000001") {
  db.insert("ORT_DA", {{"ALORT", alort}, {"STATUS", "G"}, {"ONAME", padded(name, 40)}, {"Datum", "20240101"}});
}

Error error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, "");
}

TEST(SqliteBackend, LikeIsCaseInsensitiveForUmlauts) {
  TempDatabase db;
  for (const char* name : {"München", "Münster", "Berlin", "Munderkingen", "MÜHLHAUSEN"}) add_place(db, name);
  auto rs = db.connection()->Execute("SELECT ONAME FROM Ort_DA WHERE OName like 'mün%' ORDER BY ONAME");
  EXPECT_EQ(column(rs, "ONAME"), (std::vector<std::string>{padded("München", 40), padded("Münster", 40)}));

  rs = db.connection()->Execute("SELECT ONAME FROM ORT_DA WHERE ONAME LIKE '[BM]_[^n]%' ORDER BY ONAME");
  EXPECT_EQ(column(rs, "oname"), (std::vector<std::string>{padded("Berlin", 40), padded("MÜHLHAUSEN", 40)}));
}

TEST(SqliteBackend, EqualityIgnoresCaseAndTrailingBlanks) {
  TempDatabase db;
  db.insert("STR_DA", {{"ALORT", "00000001"}, {"Name46", padded("Hauptstr.", 46)}, {"HNRVON", "1"}});
  db.insert("STR_DA", {{"ALORT", "00000001"}, {"Name46", padded("Hauptstraße", 46)}, {"HNRVON", "2"}});

  auto rs = db.connection()->Execute(
      "SELECT name46, HNRVon FROM Str_DA WHERE Alort = '00000001' and Name46 = 'HAUPTSTR.'");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Field("Name46").as_text(), padded("Hauptstr.", 46));  // stored as delivered
  EXPECT_EQ(rs->Field("hnrvon").as_text(), "1");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  rs = db.connection()->Execute("SELECT HNRVON FROM STR_DA WHERE Name46 = 'hauptstrasse'");
  EXPECT_TRUE(rs->Eof()) << "accent-sensitive: ß is not ss";
}

TEST(SqliteBackend, OrderBySortsGermanWordsCaseInsensitively) {
  TempDatabase db;
  for (const char* name : {"zeppelin", "Ärger", "Apfel", "arm", "Basel", "Öl", "ost", "ABC"}) add_place(db, name);
  auto rs = db.connection()->Execute("SELECT ONAME FROM ORT_DA ORDER BY ONAME");
  std::vector<std::string> names;
  for (const auto& n : column(rs, "ONAME")) names.push_back(n.substr(0, n.find_last_not_of(' ') + 1));
  EXPECT_EQ(names, (std::vector<std::string>{"ABC", "Apfel", "Ärger", "arm", "Basel", "Öl", "ost", "zeppelin"}));
}

TEST(SqliteBackend, TsqlFunctionsAndLiteralsThatLookLikeThem) {
  TempDatabase db;
  auto rs = db.connection()->Execute(
      "SELECT 'RIGHT(x, 2)' AS t, RIGHT('abcdef', 2) AS r, LEFT('Grüße', 3) AS l, LEN('Grüß  ') AS n, "
      "ISNULL(NULL, 'leer') AS i, RIGHT(CAST(20240101 + 10000000000000000 AS CHAR(17)), 16) AS s");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Field("t").as_text(), "RIGHT(x, 2)");
  EXPECT_EQ(rs->Field("r").as_text(), "ef");
  EXPECT_EQ(rs->Field("l").as_text(), "Grü");
  EXPECT_EQ(rs->Field("n"), Variant(int32_t{4}));
  EXPECT_EQ(rs->Field("i").as_text(), "leer");
  EXPECT_EQ(rs->Field("s").as_text(), "0000000020240101");

  rs = db.connection()->Execute(
      "SELECT NULL LIKE 'a%' AS n, '100%' LIKE '100!%' ESCAPE '!' AS e, '1000' LIKE '100!%' ESCAPE '!' AS f");
  EXPECT_TRUE(rs->Field("n").is_null());
  EXPECT_EQ(rs->Field("e"), Variant(int32_t{1}));
  EXPECT_EQ(rs->Field("f"), Variant(int32_t{0}));
}

TEST(SqliteBackend, DuplicateKeyIsReportedAsSuch) {
  TempDatabase db;
  db.exec("CREATE TABLE T_SCHLUESSEL (K VARCHAR(5) PRIMARY KEY, V VARCHAR(10))");
  db.exec("CREATE TABLE T_NUMMER (ID INTEGER PRIMARY KEY, V VARCHAR(10))");
  db.exec("INSERT INTO T_SCHLUESSEL (K, V) VALUES ('a', 'eins')");
  db.exec("INSERT INTO T_NUMMER (ID, V) VALUES (1, 'eins')");

  Error e = error_of([&] { db.exec("INSERT INTO T_SCHLUESSEL (K, V) VALUES ('a', 'zwei')"); });
  EXPECT_EQ(e.number, err::kDbIntegrity);
  EXPECT_THAT(e.description, HasSubstr(std::string(kDuplicateKeyText)));
  EXPECT_THAT(e.description, HasSubstr("'T_SCHLUESSEL'"));

  e = error_of([&] { db.exec("INSERT INTO T_NUMMER (ID, V) VALUES (1, 'zwei')"); });
  EXPECT_EQ(e.number, err::kDbIntegrity);
  EXPECT_THAT(e.description, HasSubstr(std::string(kDuplicateKeyText)));

  // The rejected row is skipped; the rows before and after it stay.
  db.exec("INSERT INTO T_SCHLUESSEL (K, V) VALUES ('b', 'drei')");
  EXPECT_EQ(db.count("T_SCHLUESSEL"), 2);
}

TEST(SqliteBackend, QuotedValuesSelectExactlyTheirRow) {
  TempDatabase db;
  const std::string hostile = "O'; DROP TABLE ORT_DA; --";
  add_place(db, "D'dorf", "1");
  add_place(db, hostile, "2");
  add_place(db, "Ddorf", "3");

  auto rs = db.connection()->Execute("SELECT ALORT FROM ORT_DA WHERE ONAME = '" + sql_quote("D'dorf") + "'");
  EXPECT_EQ(column(rs, "ALORT"), std::vector<std::string>{"1"});
  rs = db.connection()->Execute("SELECT ALORT FROM ORT_DA WHERE ONAME = '" + sql_quote(hostile) + "'");
  EXPECT_EQ(column(rs, "ALORT"), std::vector<std::string>{"2"});
  EXPECT_EQ(db.count("ORT_DA"), 3);
}

TEST(SqliteBackend, OpenFailuresExplainThemselvesInGerman) {
  auto dir = testing::make_temp_dir();
  const std::string missing = (dir / "fehlt" / "plz.db").string();
  Error e = error_of([&] { open_connection(sqlite_connection_string(missing)); });
  EXPECT_EQ(e.number, err::kDbOpenFailed);
  EXPECT_THAT(e.description, HasSubstr("existiert nicht"));
  EXPECT_THAT(e.description, HasSubstr((dir / "fehlt").string()));

  const std::string text_file = (dir / "notiz.db").string();
  std::ofstream(text_file) << std::string(2000, 'x');
  e = error_of([&] { open_connection(sqlite_connection_string(text_file)); });
  EXPECT_EQ(e.number, err::kDbOpenFailed);
  EXPECT_THAT(e.description, HasSubstr("keine SQLite-Datenbank"));

  e = error_of([&] { open_connection("Provider=SQLite"); });
  EXPECT_THAT(e.description, HasSubstr("Data Source"));
  e = error_of([&] { open_connection("Provider=SQLite;Data Source=" + dir.string()); });
  EXPECT_THAT(e.description, HasSubstr("Verzeichnis"));
  std::filesystem::remove_all(dir);
}

TEST(SqliteBackend, StatementErrorsNameSqlitesMessageAndTheStatement) {
  TempDatabase db;
  Error e = error_of([&] { db.connection()->Execute("SELECT * FROM XYZ"); });
  EXPECT_EQ(e.number, err::kDbError);
  EXPECT_THAT(e.description, StartsWith("SQL-Fehler: no such table: XYZ"));
  EXPECT_THAT(e.description, HasSubstr("(Anweisung: SELECT * FROM XYZ)"));
  // A failing INSERT reports its own text, not the internal form.
  e = error_of([&] { db.exec("INSERT INTO ORT_DA (GIBTESNICHT) VALUES ('x')"); });
  EXPECT_THAT(e.description, HasSubstr("VALUES ('x')"));
}

TEST(SqliteBackend, FieldsByNameAndTheirTypes) {
  TempDatabase db;
  add_place(db, "Köln");
  auto rs = db.connection()->Execute(
      "SELECT ONAME, OZUSATZ, Count(*) as Anzahl, 3000000000 AS Gross, 2.5 AS Halb, 3.0 AS Ganz, -7 AS Negativ "
      "FROM Ort_DA GROUP BY ONAME, OZUSATZ");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Field("oname"), rs->Field("ONAME"));
  EXPECT_EQ(rs->Field("OName").type(), Variant::Type::Text);
  EXPECT_TRUE(rs->Field("ozusatz").is_null());
  EXPECT_EQ(rs->Field("ANZAHL"), Variant(int32_t{1}));
  EXPECT_EQ(rs->Field("Gross"), Variant("3000000000"));
  EXPECT_EQ(rs->Field("Halb"), Variant("2.5"));
  EXPECT_EQ(rs->Field("Ganz"), Variant("3"));
  EXPECT_EQ(rs->Field("Negativ"), Variant(int32_t{-7}));
  EXPECT_EQ(rs->FieldNames(),
            (std::vector<std::string>{"ONAME", "OZUSATZ", "Anzahl", "Gross", "Halb", "Ganz", "Negativ"}));

  Error e = error_of([&] { rs->Field("Ortsname"); });
  EXPECT_EQ(e.number, err::kDbItemNotFound);
  EXPECT_THAT(e.description, HasSubstr("Ortsname"));

  rs->MoveNext();
  ASSERT_TRUE(rs->Eof());
  EXPECT_THROW(rs->Field("ONAME"), Error);
  rs->Close();
  rs->Close();
  EXPECT_THROW(rs->Eof(), Error);
}

TEST(SqliteBackend, RecordsAffected) {
  TempDatabase db;
  auto& c = *db.connection();
  int32_t n = 99;
  c.Execute("Insert INTO KGS_DA  (versionkennung,datum,satzart) Values ( 'KG','20240101','K')", &n);
  EXPECT_EQ(n, 1);
  c.Execute("INSERT INTO KGS_DA (versionkennung, datum, satzart) VALUES ('KG', '20240102', 'K')", &n);
  c.Execute("INSERT INTO KGS_DA (versionkennung, datum, satzart) VALUES ('KG', '20240103', 'G')", &n);
  c.Execute("UPDATE KGS_DA SET name = 'x' WHERE satzart = 'k'", &n);
  EXPECT_EQ(n, 2);
  c.Execute("SELECT * FROM KGS_DA", &n);
  EXPECT_EQ(n, -1);
  c.Execute("DELETE FROM KGS_DA", &n);
  EXPECT_EQ(n, 3);
  c.Execute("CREATE TABLE T_LEER (a VARCHAR(1))", &n);
  EXPECT_EQ(n, -1);
  auto rs = c.Execute("DELETE FROM KGS_DA");
  EXPECT_TRUE(rs->Eof());
}

TEST(SqliteBackend, SeveralRecordSetsOpenAtOnce) {
  TempDatabase db;
  add_place(db, "Aachen", "1");
  add_place(db, "Bonn", "2");
  add_place(db, "Celle", "3");
  db.insert("PLZ_DA", {{"PLZ", "53111"}, {"ALORT", "2"}});

  auto& c = *db.connection();
  auto places = c.Execute("SELECT ALORT, ONAME FROM ORT_DA ORDER BY ALORT");
  std::vector<std::string> seen;
  for (; !places->Eof(); places->MoveNext()) {
    std::string alort = places->Field("ALORT").as_text();
    auto codes = c.Execute("SELECT Plz FROM PLZ_DA WHERE Alort = '" + alort + "'");
    seen.push_back(alort + ":" + (codes->Eof() ? "-" : codes->Field("Plz").as_text()));
    codes->Close();
    // A change in between does not disturb the open record set.
    c.Execute("UPDATE ORT_DA SET OZUSATZ = 'gelesen' WHERE ALORT = '" + alort + "'");
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1:-", "2:53111", "3:-"}));
  EXPECT_EQ(db.count("ORT_DA WHERE OZUSATZ = 'GELESEN'"), 3);
}

TEST(SqliteBackend, ClosingTheConnectionClosesItsRecordSets) {
  TempDatabase db;
  add_place(db, "Aachen");
  add_place(db, "Bonn");
  auto c = open_connection(db.connection_string());
  auto rs = c->Execute("SELECT ONAME FROM ORT_DA");
  c->Close();
  EXPECT_THROW(rs->Eof(), Error);
  Error e = error_of([&] { c->Execute("SELECT 1"); });
  EXPECT_EQ(e.number, err::kDbConnectionClosed);
}

int32_t count_plz(Connection& c) { return c.Execute("SELECT COUNT(*) AS N FROM PLZ_DA")->Field("N").as_long(); }

void insert_plz(Connection& c, int from, int to) {
  for (int i = from; i < to; ++i)
    c.Execute("INSERT INTO PLZ_DA (PLZ, Datum) VALUES ('" + std::to_string(10000 + i) + "', '20240101')");
}

// A long run of changes is committed in groups; other connections see all of
// it once the writer has run a query or has been closed. A few single changes
// are committed at once.
TEST(SqliteBackend, ChangesReachOtherConnections) {
  TempDatabase db;
  auto writer = open_connection(db.connection_string() + ";Commit Interval=60000");
  auto reader = open_connection(db.connection_string());
  insert_plz(*writer, 0, 3);
  EXPECT_EQ(count_plz(*reader), 3);

  insert_plz(*writer, 3, 2500);
  EXPECT_EQ(count_plz(*writer), 2500);
  EXPECT_EQ(count_plz(*reader), 2500);

  insert_plz(*writer, 2500, 4000);
  writer->Execute("DELETE FROM PLZ_DA WHERE PLZ < '10025'");
  writer->Close();
  EXPECT_EQ(count_plz(*reader), 3975);
}

// A recursive count that keeps SQLite busy for as long as it is asked to.
std::string slow_count(int64_t rows) {
  return "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + std::to_string(rows) +
         ") SELECT COUNT(*) AS N FROM c";
}

TEST(SqliteBackend, CommandTimeout) {
  TempDatabase db;
  auto& c = *db.connection();

  // Size the count so that it runs about 1.5 s here; with no limit it runs through.
  c.CommandTimeout(0);
  int64_t rows = 200000;
  double took = 0;
  for (int attempt = 0; attempt < 4 && took < 1.2; ++attempt) {
    if (took > 0) rows = static_cast<int64_t>(static_cast<double>(rows) * 1.5 / std::max(took, 0.01));
    auto start = std::chrono::steady_clock::now();
    auto rs = c.Execute(slow_count(rows));
    took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(rs->Field("N").as_text(), std::to_string(rows));
  }
  ASSERT_GE(took, 1.2);

  c.CommandTimeout(1);
  Error e = error_of([&] { c.Execute(slow_count(rows)); });
  EXPECT_EQ(e.number, err::kDbTimeout);
  EXPECT_THAT(e.description, StartsWith("Zeitüberschreitung"));
  EXPECT_EQ(c.Execute("SELECT 1 AS Eins")->Field("Eins").as_long(), 1);  // still usable
}

// A timed-out data change makes SQLite roll back the whole open transaction;
// the changes before it were successful and must stay.
TEST(SqliteBackend, TimeoutKeepsEarlierChanges) {
  TempDatabase db;
  auto c = open_connection(db.connection_string() + ";Commit Interval=60000");
  insert_plz(*c, 0, 1500);
  c->CommandTimeout(1);
  Error e = error_of([&] {
    c->Execute(
        "INSERT INTO PLZ_DA (PLZ) WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
        "SELECT x FROM c WHERE x < 0");
  });
  EXPECT_EQ(e.number, err::kDbTimeout);
  c->Execute("INSERT INTO PLZ_DA (PLZ) VALUES ('20000')");
  c->Close();
  EXPECT_EQ(db.count("PLZ_DA"), 1501);
}

}  // namespace
}  // namespace noxplz
