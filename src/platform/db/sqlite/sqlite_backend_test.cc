// The SQLite backend through the Connection, on the postal tables.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/schema.h"
#include "testing/error_matchers.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using noxplz::testing::padded;
using noxplz::testing::RaisesError;
using noxplz::testing::TempDatabase;

// The first column of every row, trailing blanks removed.
std::vector<std::string> column(const RecordsetPtr& rs) {
  std::vector<std::string> values;
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string v = rs->Field(rs->FieldNames().front()).as_text();
    values.push_back(v.substr(0, v.find_last_not_of(' ') + 1));
  }
  return values;
}

void add_place(TempDatabase& db, const std::string& name, const std::string& alort = "00000001") {
  db.insert("ORT_DA", {{"ALORT", alort}, {"STATUS", "G"}, {"ONAME", padded(name, 40)}, {"Datum", "20240101"}});
}

// Text columns compare case-insensitively (umlauts included) and without
// trailing blanks, sort as a German user expects; LIKE and the T-SQL
// functions are SQL Server's, also where a literal merely looks like them;
// a value quoted by sql_quote selects exactly its row and runs nothing.
TEST(SqliteBackend, AnswersLikeAGermanSqlServer) {
  TempDatabase db;
  for (const char* name : {"München", "Münster", "Berlin", "Munderkingen", "MÜHLHAUSEN", "zeppelin", "Ärger",
                           "arger", "Apfel", "arm", "Öl", "ost", "ABC", "Ulm", "Über"})
    add_place(db, name);
  db.insert("STR_DA", {{"ALORT", "00000001"}, {"Name46", padded("Hauptstr", 46)}, {"HNRVON", "1"}});
  db.insert("STR_DA", {{"ALORT", "00000001"}, {"Name46", padded("Hauptstraße", 46)}, {"HNRVON", "2"}});
  const std::string hostile = "O'; DROP TABLE ORT_DA; --";
  db.insert("STR_DA", {{"Name46", "D'dorf"}, {"HNRVON", "3"}});
  db.insert("STR_DA", {{"Name46", hostile}, {"HNRVON", "4"}});
  const struct {
    std::string sql;
    std::vector<std::string> expected;
  } cases[] = {
      {"SELECT ONAME FROM Ort_DA WHERE OName like 'mün%' ORDER BY ONAME", {"München", "Münster"}},
      {"SELECT ONAME FROM ORT_DA WHERE ONAME LIKE '[BM]_[^n]%' ORDER BY ONAME", {"Berlin", "MÜHLHAUSEN"}},
      {"SELECT ONAME FROM ORT_DA WHERE ONAME = 'ÄRGER'", {"Ärger"}},
      {"SELECT ONAME FROM ORT_DA ORDER BY ONAME",
       {"ABC", "Apfel", "arger", "Ärger", "arm", "Berlin", "MÜHLHAUSEN", "München", "Munderkingen", "Münster", "Öl",
        "ost", "Über", "Ulm", "zeppelin"}},
      {"SELECT HNRVon FROM Str_DA WHERE Alort = '00000001' and Name46 = 'Hauptstr'", {"1"}},
      {"SELECT HNRVON FROM STR_DA WHERE Name46 = 'HAUPTSTRASSE'", {}},  // ß is not ss
      {"SELECT HNRVON FROM STR_DA WHERE Name46 = 'HAUPTSTRAßE'", {"2"}},
      {"SELECT HNRVON FROM STR_DA WHERE Name46 = '" + sql_quote("D'dorf") + "'", {"3"}},
      {"SELECT HNRVON FROM STR_DA WHERE Name46 = '" + sql_quote(hostile) + "'", {"4"}},
      {"SELECT Name46 || '|' FROM STR_DA WHERE HNRVON = '1'", {padded("Hauptstr", 46) + "|"}},  // as delivered
      {"SELECT 'RIGHT(x, 2)' || RIGHT('abcdef', 2) || LEFT('Grüße', 3) || LEN('Grüß  ') || ISNULL(NULL, 'leer')",
       {"RIGHT(x, 2)efGrü4leer"}},
      {"SELECT RIGHT(CAST(20240101 + 10000000000000000 AS CHAR(17)), 16)", {"0000000020240101"}},
      {"SELECT ISNULL(NULL LIKE 'a%', 'null') || ('100%' LIKE '100!%' ESCAPE '!') || ('1000' LIKE '100!%' ESCAPE '!')",
       {"null10"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(column(db.connection()->Execute(c.sql)), c.expected);
  }
  EXPECT_EQ(db.count("ORT_DA"), 15);
}

TEST(SqliteBackend, FailuresExplainThemselvesInGerman) {
  TempDatabase db;
  std::ofstream(db.dir() / "notiz.db") << std::string(2000, 'x');
  const std::string missing_dir = (db.dir() / "fehlt").string();
  auto open = [](const std::string& path) { return [=] { open_connection(sqlite_connection_string(path)); }; };
  EXPECT_THAT(open(missing_dir + "/plz.db"), RaisesError(err::kDbOpenFailed, "existiert nicht", missing_dir));
  EXPECT_THAT(open((db.dir() / "notiz.db").string()), RaisesError(err::kDbOpenFailed, "keine SQLite-Datenbank"));
  EXPECT_THAT(open(db.dir().string()), RaisesError(err::kDbOpenFailed, "Verzeichnis"));
  EXPECT_THAT([] { open_connection("Provider=SQLite"); }, RaisesError(err::kDbOpenFailed, "Data Source"));

  EXPECT_THAT([&] { db.exec("SELECT * FROM XYZ"); },
              RaisesError(err::kDbError, "SQL-Fehler: no such table: XYZ", "(Anweisung: SELECT * FROM XYZ)"));
  // A failing INSERT reports its own text, not the internal form.
  EXPECT_THAT([&] { db.exec("INSERT INTO ORT_DA (GIBTESNICHT) VALUES ('x')"); },
              RaisesError(err::kDbError, "VALUES ('x')"));

  // Both kinds of SQLite key (a declared key and the row id) report a
  // duplicate as SQL Server does; the rejected row is skipped, the others stay.
  for (const std::string key : {"K VARCHAR(5)", "K INTEGER"}) {
    SCOPED_TRACE(key);
    db.exec("DROP TABLE IF EXISTS T_SCHLUESSEL");
    db.exec("CREATE TABLE T_SCHLUESSEL (" + key + " PRIMARY KEY, V VARCHAR(10))");
    db.exec("INSERT INTO T_SCHLUESSEL (K, V) VALUES ('1', 'eins')");
    EXPECT_THAT([&] { db.exec("INSERT INTO T_SCHLUESSEL (K, V) VALUES ('1', 'zwei')"); },
                RaisesError(err::kDbIntegrity, "doppelter Schlüssel", "'T_SCHLUESSEL'"));
    db.exec("INSERT INTO T_SCHLUESSEL (K, V) VALUES ('2', 'drei')");
    EXPECT_EQ(db.count("T_SCHLUESSEL"), 2);
  }
}

// SQLite's memory statistics cost every allocation a process-wide mutex:
// the component turns them off when it starts SQLite, and leaves them on
// when the host started SQLite first. SQLite starts once per process, so
// each case runs in a process of its own.
TEST(SqliteBackendDeathTest, MemoryStatisticsOffUnlessTheHostStartedSqlite) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::filesystem::path dir = noxplz::testing::make_temp_dir();
  // Exits with 0 when SQLite counts its memory.
  auto counted = [&](bool host_first) {
    if (host_first) sqlite3_initialize();
    auto c = open_connection(sqlite_connection_string((dir / "statistik.db").string()));
    void* block = sqlite3_malloc(4096);
    const bool counts = sqlite3_memory_used() > 0;
    sqlite3_free(block);
    std::exit(counts ? 0 : 1);
  };
  EXPECT_EXIT(counted(false), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(counted(true), ::testing::ExitedWithCode(0), "");
  std::filesystem::remove_all(dir);
}

// A connection that only reads leaves a database file that is not ours
// untouched (journal mode included); the first change switches it to WAL.
TEST(SqliteBackend, OnlyAChangeSwitchesTheFileToWal) {
  TempDatabase db;
  const std::string path = (db.dir() / "fremd.db").string();
  auto header = [&] {
    std::string bytes(100, '\0');
    std::ifstream(path, std::ios::binary).read(bytes.data(), 100);
    return bytes;
  };
  auto foreign = open_connection(sqlite_connection_string(path));
  foreign->Execute("CREATE TABLE KUNDEN (NAME VARCHAR(10))");
  foreign->Execute("PRAGMA journal_mode=DELETE");
  foreign->Close();
  const std::string before = header();
  ASSERT_EQ(before[18], 1);  // rollback journal

  auto reader = open_connection(sqlite_connection_string(path));
  EXPECT_THROW(reader->Execute("SELECT COUNT(*) AS Anzahl FROM PLZ_DA WHERE 1 = 0"), Error);
  reader->Execute("SELECT COUNT(*) AS Anzahl FROM KUNDEN");
  reader->Close();
  EXPECT_EQ(header(), before);

  auto writer = open_connection(sqlite_connection_string(path));
  writer->Execute("INSERT INTO KUNDEN (NAME) VALUES ('Meier')");
  writer->Close();
  EXPECT_EQ(header()[18], 2);  // WAL
}

TEST(SqliteBackend, RecordSetsAndRecordsAffected) {
  TempDatabase db;
  add_place(db, "Köln");
  auto rs = db.connection()->Execute(
      "SELECT ONAME, OZUSATZ, Count(*) as Anzahl, 3000000000 AS Gross, 2.5 AS Halb, 3.0 AS Ganz "
      "FROM Ort_DA GROUP BY ONAME, OZUSATZ");
  EXPECT_EQ(rs->FieldNames(), (std::vector<std::string>{"ONAME", "OZUSATZ", "Anzahl", "Gross", "Halb", "Ganz"}));
  EXPECT_EQ(rs->Field("oname"), Variant(padded("Köln", 40)));
  EXPECT_TRUE(rs->Field("ozusatz").is_null());
  EXPECT_EQ(rs->Field("ANZAHL"), Variant(int32_t{1}));
  EXPECT_EQ(rs->Field("Gross"), Variant("3000000000"));
  EXPECT_EQ(rs->Field("Halb"), Variant("2.5"));
  EXPECT_EQ(rs->Field("Ganz"), Variant("3"));
  EXPECT_THAT([&] { rs->Field("Ortsname"); }, RaisesError(err::kDbItemNotFound, "Ortsname"));

  rs->MoveNext();
  ASSERT_TRUE(rs->Eof());
  EXPECT_THROW(rs->Field("ONAME"), Error);
  rs->Close();
  rs->Close();
  EXPECT_THROW(rs->Eof(), Error);

  // Records affected: -1 for statements that change no rows by nature.
  EXPECT_EQ(db.exec("Insert INTO KGS_DA  (versionkennung,datum,satzart) Values ( 'KG','20240101','K')"), 1);
  db.exec("INSERT INTO KGS_DA (versionkennung, datum, satzart) VALUES ('KG', '20240102', 'K')");
  db.exec("INSERT INTO KGS_DA (versionkennung, datum, satzart) VALUES ('KG', '20240103', 'G')");
  EXPECT_EQ(db.exec("UPDATE KGS_DA SET name = 'x' WHERE satzart = 'k'"), 2);
  EXPECT_EQ(db.exec("SELECT * FROM KGS_DA"), -1);
  EXPECT_EQ(db.exec("DELETE FROM KGS_DA"), 3);
  EXPECT_EQ(db.exec("CREATE TABLE T_LEER (a VARCHAR(1))"), -1);
  EXPECT_TRUE(db.connection()->Execute("DELETE FROM KGS_DA")->Eof());

  // Closing the connection closes its record sets.
  rs = db.connection()->Execute("SELECT ONAME FROM ORT_DA");
  db.connection()->Close();
  EXPECT_THROW(rs->Eof(), Error);
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
    EXPECT_EQ(c.Execute(slow_count(rows))->Field("N").as_text(), std::to_string(rows));
    took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  ASSERT_GE(took, 1.2);

  // A statement far longer than the limit (not one near it: a loaded machine
  // must not decide the outcome) is stopped.
  c.CommandTimeout(1);
  EXPECT_THAT([&] { c.Execute(slow_count(rows * 1000)); }, RaisesError(err::kDbTimeout, "Zeitüberschreitung"));
  EXPECT_EQ(c.Execute("SELECT 1 AS Eins")->Field("Eins").as_long(), 1);  // still usable
}

int32_t count_plz(Connection& c) { return c.Execute("SELECT COUNT(*) AS N FROM PLZ_DA")->Field("N").as_long(); }

void insert_plz(Connection& c, int from, int to) {
  for (int i = from; i < to; ++i)
    c.Execute("INSERT INTO PLZ_DA (PLZ, Datum) VALUES ('" + std::to_string(10000 + i) + "', '20240101')");
}

// A long run of changes is committed in groups; other connections see all of
// it once the writer has run a query or has been closed, a few single changes
// at once. A timed-out change makes SQLite roll back the whole open group; the
// accepted changes before it are replayed and stay.
TEST(SqliteBackend, GroupedCommitsReachOtherConnectionsAndSurviveARollback) {
  TempDatabase db;
  auto writer = open_connection(db.connection_string() + ";Commit Interval=60000");
  auto reader = open_connection(db.connection_string());
  insert_plz(*writer, 0, 3);
  EXPECT_EQ(count_plz(*reader), 3);
  insert_plz(*writer, 3, 2500);
  EXPECT_EQ(count_plz(*writer), 2500);
  EXPECT_EQ(count_plz(*reader), 2500);

  insert_plz(*writer, 2500, 4000);
  writer->CommandTimeout(1);
  EXPECT_THAT([&] { writer->Execute("INSERT INTO PLZ_DA (PLZ) " + slow_count(100000000000)); },
              RaisesError(err::kDbTimeout));
  writer->Execute("INSERT INTO PLZ_DA (PLZ) VALUES ('20000')");
  writer->Execute("DELETE FROM PLZ_DA WHERE PLZ < '10025'");
  writer->Close();
  EXPECT_EQ(count_plz(*reader), 3976);
}

// A group is committed at the end of its interval also while the writer
// pauses (an import waiting for the answer to a message box): another
// connection may write and sees the changes.
TEST(SqliteBackend, AGroupIsCommittedWhileTheWriterPauses) {
  TempDatabase db;
  auto writer = open_connection(db.connection_string() + ";Commit Interval=100");
  auto other = open_connection(db.connection_string());
  insert_plz(*writer, 0, 1500);
  insert_plz(*other, 1500, 1501);  // waits for the write lock, not for the writer's next statement
  EXPECT_EQ(count_plz(*other), 1501);
  EXPECT_EQ(count_plz(*writer), 1501);
}

// Without WAL a reader of another connection can keep a COMMIT from
// getting through; the group then stays open and is committed later, none of
// its changes is taken back.
TEST(SqliteBackend, AGroupThatCannotBeCommittedYetStaysOpen) {
  TempDatabase db;
  db.connection()->Close();
  auto writer = open_connection(db.connection_string() + ";Commit Interval=60000");
  insert_plz(*writer, 0, 1);
  writer->Execute("PRAGMA journal_mode=DELETE");
  auto reader = open_connection(db.connection_string());
  insert_plz(*writer, 1, 1500);  // the last 501 in one group
  auto rs = reader->Execute("SELECT PLZ FROM PLZ_DA");
  ASSERT_FALSE(rs->Eof());  // the reader holds the file
  EXPECT_EQ(count_plz(*writer), 1500);
  rs->Close();
  writer->Close();
  EXPECT_EQ(count_plz(*reader), 1500);
}

// The data stamp moves with every change: another connection's commit,
// this connection's own rows, a new index. A read scope holds one state:
// its statements, also after a failed one, and the stamp do not see a
// commit made meanwhile; once it ends, both do.
TEST(SqliteBackend, TheStampSeesEveryChangeAndAReadScopeHoldsOneState) {
  TempDatabase db;
  auto reader = open_connection(db.connection_string());
  auto writer = open_connection(db.connection_string());
  insert_plz(*writer, 0, 3);
  const std::optional<DataStamp> before = reader->DataStamp();
  ASSERT_TRUE(before);
  EXPECT_EQ(reader->DataStamp(), before);
  {
    const Connection::ReadScope outer(*reader);
    EXPECT_EQ(outer.Stamp(), before);
    EXPECT_EQ(count_plz(*reader), 3);
    insert_plz(*writer, 3, 5);
    {
      const Connection::ReadScope inner(*reader);
      EXPECT_EQ(inner.Stamp(), before);
    }
    EXPECT_THROW(reader->Execute("SELECT Unbekannt FROM PLZ_DA"), Error);
    EXPECT_EQ(count_plz(*reader), 3);
    EXPECT_EQ(reader->DataStamp(), before);
  }
  EXPECT_EQ(count_plz(*reader), 5);
  const std::optional<DataStamp> committed = reader->DataStamp();
  EXPECT_NE(committed, before);
  insert_plz(*reader, 5, 6);
  const std::optional<DataStamp> own = reader->DataStamp();
  EXPECT_NE(own, committed);
  reader->Execute("CREATE INDEX IX_TEST_ONAME ON PLZ_DA (ONAME)");
  EXPECT_NE(reader->DataStamp(), own);
  // A scope whose connection is closed (and opened again) meanwhile ends quietly.
  {
    const Connection::ReadScope gone(*writer);
    writer->Close();
    writer->Open(db.connection_string());
    insert_plz(*writer, 6, 7);
  }
  EXPECT_EQ(count_plz(*reader), 7);
}

// Read scopes that follow each other closely share one read transaction,
// yet each sees exactly what a transaction of its own would: a commit of
// another connection, also one that SQLite made for a program of its own,
// shows in the very next scope. The shared transaction holds up no one for
// long: a checkpoint that waits for every reader goes through once it has
// ended by itself, and the reader's own change right after does too.
TEST(SqliteBackend, CloseScopesShareAReadYetEachSeesTheLatestCommit) {
  using namespace std::chrono_literals;
  TempDatabase db;
  auto reader = open_connection(db.connection_string());
  auto writer = open_connection(db.connection_string());
  writer->Execute("CREATE TABLE ZAEHLER (N INTEGER)");
  writer->Execute("INSERT INTO ZAEHLER (N) VALUES (0)");  // the file is in WAL mode from here
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db.path().c_str(), &other), SQLITE_OK);
  auto count = [&] {
    const Connection::ReadScope scope(*reader);
    return reader->Execute("SELECT COUNT(*) AS N FROM ZAEHLER")->Field("N").as_long();
  };
  long expected = 1;
  for (int round = 0; round < 6; ++round) {
    for (int i = 0; i < 4; ++i) ASSERT_EQ(count(), expected) << "Runde " << round;
    const std::string insert = "INSERT INTO ZAEHLER (N) VALUES (" + std::to_string(round) + ")";
    if (round % 2 == 0) writer->Execute(insert);
    else ASSERT_EQ(sqlite3_exec(other, insert.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    ++expected;
    ASSERT_EQ(count(), expected) << "Runde " << round;
  }

  // Right after the second of two close scopes (after a pause, so the
  // second one takes a fresh read that it may keep) the read is still held:
  // a checkpoint that must wait for every reader is refused at once (when
  // the machine got there within 5 ms of that scope's start, well inside
  // the 20 ms a read is kept), and goes through once the read has ended.
  std::this_thread::sleep_for(50ms);
  count();
  const auto began = std::chrono::steady_clock::now();
  count();
  const int at_once = sqlite3_wal_checkpoint_v2(other, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  if (std::chrono::steady_clock::now() - began < 5ms) {
    EXPECT_EQ(at_once, SQLITE_BUSY);
  }
  sqlite3_busy_timeout(other, 2000);
  const auto waiting = std::chrono::steady_clock::now();
  EXPECT_EQ(sqlite3_wal_checkpoint_v2(other, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr), SQLITE_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - waiting, 1s);
  EXPECT_EQ(std::filesystem::file_size(db.path() + "-wal"), 0u);

  for (int i = 0; i < 4; ++i) count();
  writer->Execute("INSERT INTO ZAEHLER (N) VALUES (7)");
  reader->Execute("INSERT INTO ZAEHLER (N) VALUES (8)");
  EXPECT_EQ(count(), expected + 2);
  // A change made within a scope reaches others once the scope has ended.
  for (int i = 0; i < 4; ++i) count();
  {
    const Connection::ReadScope scope(*reader);
    reader->Execute("INSERT INTO ZAEHLER (N) VALUES (9)");
  }
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(other, "SELECT COUNT(*) FROM ZAEHLER", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int64(st, 0), expected + 3);
  sqlite3_finalize(st);
  sqlite3_close(other);
}

// A query's prepared statement serves the next run with other values, also
// while a record set of the same query is still being read (the inner run
// gets a statement of its own); TOP n is answered as in T-SQL.
TEST(SqliteBackend, QueriesReuseTheirStatementsWithOtherValues) {
  TempDatabase db;
  for (const char* name : {"Berlin", "Bern", "Bonn", "Köln", "Kiel"}) add_place(db, name, std::string("0") + name[0]);
  const ConnectionPtr& c = db.connection();
  auto names = [&](const std::string& prefix) {
    return column(c->Execute("SELECT ONAME FROM ORT_DA WHERE ONAME LIKE '" + sql_quote(prefix) + "%' ORDER BY ONAME"));
  };
  EXPECT_EQ(names("Ber"), (std::vector<std::string>{"Berlin", "Bern"}));
  EXPECT_EQ(names("K"), (std::vector<std::string>{"Kiel", "Köln"}));
  EXPECT_EQ(names("x"), std::vector<std::string>{});
  EXPECT_EQ(names("ber"), (std::vector<std::string>{"Berlin", "Bern"}));

  RecordsetPtr outer = c->Execute("SELECT ONAME FROM ORT_DA WHERE ONAME LIKE 'B%' ORDER BY ONAME");
  std::vector<std::string> pairs;
  for (; !outer->Eof(); outer->MoveNext()) {
    const std::string o = column(c->Execute("SELECT ONAME FROM ORT_DA WHERE ONAME LIKE 'K%' ORDER BY ONAME")).front();
    pairs.push_back(outer->Field("ONAME").as_text().substr(0, 4) + "/" + o);
  }
  EXPECT_EQ(pairs, (std::vector<std::string>{"Berl/Kiel", "Bern/Kiel", "Bonn/Kiel"}));
  EXPECT_EQ(names("Bo"), std::vector<std::string>{"Bonn"});

  EXPECT_EQ(column(c->Execute("SELECT TOP 2 ONAME FROM ORT_DA ORDER BY ONAME DESC")),
            (std::vector<std::string>{"Köln", "Kiel"}));
  EXPECT_EQ(column(c->Execute("SELECT ONAME, (SELECT TOP 1 ALORT FROM ORT_DA i WHERE i.ONAME > o.ONAME ORDER BY "
                              "i.ONAME) AS n FROM ORT_DA o WHERE ONAME = 'Bern'")),
            std::vector<std::string>{"Bern"});
  // A failing query reports its own statement, also on a cached statement's turn.
  EXPECT_THAT([&] { c->Execute("SELECT ONAME FROM ORT_DA WHERE ONAME LIKE 'B%' ESCAPE 'xy'"); },
              RaisesError(err::kDbError, "ESCAPE"));
  EXPECT_EQ(names("Ber").size(), 2u);
}

// Field names resolve without regard to case, once per record set; a name
// read from a reused buffer is resolved again.
TEST(SqliteBackend, FieldsByNameAnyCaseAlsoFromAReusedBuffer) {
  TempDatabase db;
  add_place(db, "Berlin", "11000000");
  RecordsetPtr rs = db.connection()->Execute("SELECT ALORT, ONAME AS Stadt, STATUS FROM ORT_DA");
  std::string name = "alort";
  EXPECT_EQ(rs->Field(name).as_text(), "11000000");
  name = "STADT";  // the same buffer and length, another name
  EXPECT_EQ(rs->Field(name).as_text().substr(0, 6), "Berlin");
  name = "Status";
  EXPECT_EQ(rs->Field(name).as_text(), "G");
  EXPECT_EQ(rs->Field("stadt").as_text().substr(0, 6), "Berlin");
  EXPECT_EQ(rs->Field("ALORT").as_text(), "11000000");
  EXPECT_THAT([&] { rs->Field("ONAME"); }, RaisesError(err::kDbItemNotFound, "\"ONAME\""));
}

// A replace unit writes the street sections of one place in the order of the
// (ALORT, Name46) index, sections of one name in the order they came: read
// through the index they come from the table front to back, and every query
// answers as if they had been written as they came. Rows held for that are
// written before any other statement, and their outcomes are counted.
TEST(SqliteBackend, AReplaceUnitLaysOutEachPlacesSectionsInNameOrder) {
  TempDatabase db;
  Connection& c = *db.connection();
  const std::string_view tables[] = {"STR_DA"};
  auto unit = c.BeginReplace(tables);
  ASSERT_NE(unit, nullptr);
  c.Execute("DELETE FROM STR_DA");
  const std::string_view columns[] = {"ALORT", "Name46", "HNRVON"};
  auto ins = unit->PrepareInsert("STR_DA", columns);
  // As a delivery may send them: places one after another, names unsorted,
  // "ÄUSSERE Str." and "Äußere Str." differ (ss before ß), "Weg" comes back.
  const std::vector<std::array<std::string_view, 3>> rows = {
      {"2", "Weg", "1"}, {"2", "Zeile", "1"}, {"2", "Äußere Str.", "1"}, {"2", "Weg", "20"}, {"2", "au", "1"},
      {"2", "Weg", "3"}, {"2", "ÄUSSERE Str.", "5"}, {"1", "Markt", "1"}, {"1", "Allee", "7"}, {"1", "Markt", "2"}};
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(ins->Insert(rows[i]), RowInserter::kPending);
  // A statement in between sees every row given so far.
  EXPECT_EQ(column(c.Execute("SELECT COUNT(*) AS n FROM STR_DA")), std::vector<std::string>{"7"});
  for (size_t i = 7; i < rows.size(); ++i) ins->Insert(rows[i]);
  EXPECT_EQ(ins->TakeOutcomes(true).inserted, 10);
  EXPECT_EQ(ins->TakeOutcomes(true).inserted, 0) << "each outcome is told once";
  ins.reset();
  unit->Commit();

  auto sections = [&](const std::string& alort) {
    std::vector<std::string> out;
    RecordsetPtr rs = c.Execute("SELECT Name46, HNRVON FROM STR_DA WHERE ALORT = '" + alort + "' ORDER BY Name46");
    for (; !rs->Eof(); rs->MoveNext()) out.push_back(rs->Field("Name46").as_text() + " " + rs->Field("HNRVON").as_text());
    return out;
  };
  EXPECT_EQ(sections("2"), (std::vector<std::string>{"au 1", "ÄUSSERE Str. 5", "Äußere Str. 1", "Weg 1", "Weg 20",
                                                     "Weg 3", "Zeile 1"}));
  EXPECT_EQ(sections("1"), (std::vector<std::string>{"Allee 7", "Markt 1", "Markt 2"}));
  // The table holds them in that order: index order and row order agree.
  std::vector<std::string> by_index, by_row;
  for (RecordsetPtr rs = c.Execute("SELECT ALORT, Name46, HNRVON FROM STR_DA ORDER BY ROWID"); !rs->Eof(); rs->MoveNext())
    by_row.push_back(rs->Field("ALORT").as_text() + ":" + rs->Field("Name46").as_text() + " " +
                     rs->Field("HNRVON").as_text());
  for (const std::string alort : {"2", "1"})
    for (const std::string& s : sections(alort)) by_index.push_back(alort + ":" + s);
  EXPECT_EQ(by_row, by_index);
}

}  // namespace
}  // namespace noxplz
