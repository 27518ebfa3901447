// The street packs of the embedded database: written by the import, the
// same answer as the statement on STR_DA for every place, and gone for a
// place once anything changes its streets.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <sstream>
#include <string>
#include <vector>

#include "datafactory_gen.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/schema.h"
#include "platform/db/sqlite/dialect_functions.h"
#include "platform/db/sqlite/street_packs.h"
#include "testing/imported_delivery.h"
#include "testing/temp_database.h"

namespace noxplz::sqlite {
namespace {

using Rows = std::vector<std::string>;

// The column names, then every row; NULL told apart from empty text.
Rows dump(const RecordsetPtr& rs) {
  Rows out;
  const std::vector<std::string> names = rs->FieldNames();
  std::string head;
  for (const std::string& n : names) head += n + "|";
  out.push_back(head);
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string line;
    for (size_t i = 0; i < names.size(); ++i) {
      const Variant v = rs->FieldAt(static_cast<int32_t>(i));
      line += v.is_null() ? std::string("<NULL>") : "'" + v.as_text() + "'";
      line += "|";
    }
    out.push_back(line);
  }
  return out;
}

std::string quoted(const std::string& v) { return "'" + sql_quote(v) + "'"; }

const char* const kAll = "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = ";
const char* const kSome = "select HNRVon, NAME46, HNRBis from str_da where alort = ";

// The same query in a form the packs do not answer (and SQLite plans alike).
std::string on_table(const std::string& head, const std::string& key) {
  return head + quoted(key) + " AND 1 = 1 order by Name46";
}
std::string packed(const std::string& head, const std::string& key) {
  return head + quoted(key) + " order by Name46";
}

class StreetPacks : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<testing::TempDatabase>(testing::TestBackend::kSqlite);
    Import();
    c_ = db_->connection();
  }
  void TearDown() override { session() = Session{}; }

  void Import() {
    datafactory::GenOptions o;
    o.st = 6000;
    std::ostringstream bytes;
    datafactory::generate(bytes, o);
    ASSERT_TRUE(testing::import_delivery(*db_, bytes.str()));
  }

  std::vector<std::string> keys() {
    std::vector<std::string> out;
    for (RecordsetPtr rs = c_->Execute("SELECT DISTINCT ALORT FROM STR_DA ORDER BY ALORT"); !rs->Eof(); rs->MoveNext())
      out.push_back(rs->Field("ALORT").as_text());
    return out;
  }
  int32_t packs() { return c_->Execute("SELECT COUNT(*) AS n FROM STR_DA_PACK")->Field("n").as_long(); }
  int32_t packs_of(const std::string& key) {
    return c_->Execute("SELECT COUNT(*) AS n FROM STR_DA_PACK WHERE ALORT = " + quoted(key))->Field("n").as_long();
  }

  std::unique_ptr<testing::TempDatabase> db_;
  ConnectionPtr c_;
};

TEST_F(StreetPacks, EveryPlaceReadsFromItsPackWhatTheStatementReadsFromTheTable) {
  const std::vector<std::string> places = keys();
  ASSERT_GT(places.size(), 50u);
  EXPECT_EQ(packs(), static_cast<int32_t>(places.size()));
  size_t ties = 0;
  for (const std::string& key : places) {
    const Rows from_table = dump(c_->Execute(on_table(kAll, key)));
    ASSERT_EQ(dump(c_->Execute(packed(kAll, key))), from_table) << key;
    ASSERT_EQ(dump(c_->Execute(packed(kSome, key))), dump(c_->Execute(on_table(kSome, key)))) << key;
    for (size_t i = 2; i < from_table.size(); ++i)
      ties += from_table[i].substr(0, from_table[i].find('|')) == from_table[i - 1].substr(0, from_table[i - 1].find('|'));
  }
  EXPECT_GT(ties, 100u);  // sections of one street: their order is the table's
  // The names as SQLite gives them: as the table declares them.
  EXPECT_EQ(dump(c_->Execute(packed(kSome, places[0])))[0], "HNRVON|Name46|HNRBIS|");
  // Closed with the connection, as its other record sets are; one read to
  // its end stays at its end.
  RecordsetPtr on_row = c_->Execute(packed(kAll, places[0]));
  RecordsetPtr at_end = c_->Execute(packed(kAll, places[1]));
  ASSERT_FALSE(on_row->Eof());
  while (!at_end->Eof()) at_end->MoveNext();
  c_->Close();
  EXPECT_THROW(on_row->Eof(), Error);
  EXPECT_THROW(on_row->FieldAt(0), Error);
  EXPECT_THROW(on_row->FieldIndex("Plz"), Error);
  EXPECT_TRUE(at_end->Eof());
}

// Proves the answer really comes from the pack: a pack exchanged behind the
// component's back is what the query then reads.
TEST_F(StreetPacks, TheQueryIsAnsweredFromThePack) {
  const std::vector<std::string> places = keys();
  const std::string a = places[0], b = places[1];
  db_->exec("UPDATE STR_DA_PACK SET ROWS = (SELECT ROWS FROM STR_DA_PACK WHERE ALORT = " + quoted(b) +
            "), SECTIONS = (SELECT SECTIONS FROM STR_DA_PACK WHERE ALORT = " + quoted(b) + ") WHERE ALORT = " +
            quoted(a));
  EXPECT_EQ(dump(c_->Execute(packed(kAll, a))), dump(c_->Execute(on_table(kAll, b))));
  // A pack that does not hold what its row count says is not read.
  db_->exec("UPDATE STR_DA_PACK SET SECTIONS = SECTIONS + 1 WHERE ALORT = " + quoted(a));
  EXPECT_EQ(dump(c_->Execute(packed(kAll, a))), dump(c_->Execute(on_table(kAll, a))));
  // Nor one of another format.
  const std::string c = places[2];
  db_->exec("UPDATE STR_DA_PACK SET FORMAT = 2, ROWS = (SELECT ROWS FROM STR_DA_PACK WHERE ALORT = " + quoted(c) +
            "), SECTIONS = (SELECT SECTIONS FROM STR_DA_PACK WHERE ALORT = " + quoted(c) + ") WHERE ALORT = " +
            quoted(b));
  EXPECT_EQ(dump(c_->Execute(packed(kAll, b))), dump(c_->Execute(on_table(kAll, b))));
  db_->exec("UPDATE STR_DA_PACK SET FORMAT = 1 WHERE ALORT = " + quoted(b));
  EXPECT_EQ(dump(c_->Execute(packed(kAll, b))), dump(c_->Execute(on_table(kAll, c))));  // the exchange shows
  // A key the statement matches under the collation finds the pack too.
  EXPECT_EQ(dump(c_->Execute(packed(kAll, b + "  "))), dump(c_->Execute(on_table(kAll, c))));
}

// Whoever changes a place's streets, through the component or another
// program, removes that place's pack and no other; its streets are then
// read from the table, changed.
TEST_F(StreetPacks, AChangeOfAPlacesStreetsRemovesItsPackOnly) {
  const std::vector<std::string> places = keys();
  const int32_t all = packs();
  const std::string a = places[0], b = places[1], c = places[2], d = places[3], e = places[4], f = places[5];

  ConnectionPtr other = open_connection(db_->connection_string());
  other->Execute("UPDATE STR_DA SET NAME46 = 'Aaa-Neuweg' WHERE ALORT = " + quoted(a) +
                 " AND ROWID = (SELECT MIN(ROWID) FROM STR_DA WHERE ALORT = " + quoted(a) + ")");
  EXPECT_EQ(packs_of(a), 0);
  EXPECT_EQ(packs(), all - 1);
  const Rows changed = dump(c_->Execute(packed(kAll, a)));
  EXPECT_EQ(changed, dump(c_->Execute(on_table(kAll, a))));
  EXPECT_EQ(changed[1].substr(0, 13), "'Aaa-Neuweg'|");

  // Another program: a plain SQLite connection with the collation and the
  // functions the schema's indexes use.
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(db_->path().c_str(), &h), SQLITE_OK);
  ASSERT_EQ(register_dialect_functions(h), SQLITE_OK);
  sqlite3_busy_timeout(h, 5000);
  const std::string changes = "DELETE FROM STR_DA WHERE ALORT = " + quoted(b) +
                              "; INSERT INTO STR_DA (ALORT, NAME46, PLZ) VALUES (" + quoted(c) +
                              ", 'Zzz-Anbau', NULL); UPDATE STR_DA SET ALORT = " + quoted(b) + " WHERE ALORT = " +
                              quoted(d) + " AND ROWID = (SELECT MIN(ROWID) FROM STR_DA WHERE ALORT = " + quoted(d) +
                              // A row put in the place of another fires no DELETE trigger.
                              "); REPLACE INTO STR_DA (ROWID, ALORT, NAME46) VALUES ((SELECT MIN(ROWID) FROM STR_DA "
                              "WHERE ALORT = " + quoted(e) + "), " + quoted(f) + ", 'Ersatzweg')";
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(h, changes.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(h);
  for (const std::string& key : {b, c, d, e, f}) {
    EXPECT_EQ(packs_of(key), 0) << key;
    EXPECT_EQ(dump(c_->Execute(packed(kAll, key))), dump(c_->Execute(on_table(kAll, key)))) << key;
  }
  EXPECT_EQ(packs(), all - 6);
  EXPECT_EQ(dump(c_->Execute(packed(kAll, c))).back(), "'Zzz-Anbau'|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|");

  // The next import packs every place again.
  Import();
  EXPECT_EQ(packs(), static_cast<int32_t>(keys().size()));
  EXPECT_EQ(dump(c_->Execute(packed(kAll, a))), dump(c_->Execute(on_table(kAll, a))));
}

// Any change of the schema since the packs were written may change the
// statement's order or leave changes unguarded: a new index, a temporary
// table that hides STR_DA, a STR_DA made anew (without the triggers).
TEST_F(StreetPacks, PacksAreNotReadOnceTheSchemaChanged) {
  const std::vector<std::string> places = keys();
  const std::string a = places[0], b = places[1];
  const Rows before = dump(c_->Execute(packed(kAll, a)));
  const auto exchange = [&] {
    db_->exec("UPDATE STR_DA_PACK SET ROWS = (SELECT ROWS FROM STR_DA_PACK WHERE ALORT = " + quoted(b) +
              "), SECTIONS = (SELECT SECTIONS FROM STR_DA_PACK WHERE ALORT = " + quoted(b) + ") WHERE ALORT = " +
              quoted(a));
  };
  exchange();
  ASSERT_EQ(dump(c_->Execute(packed(kAll, a))), dump(c_->Execute(on_table(kAll, b))));
  db_->exec("CREATE INDEX IX_TEST ON STR_DA (Name46)");
  EXPECT_EQ(dump(c_->Execute(packed(kAll, a))), before);
  Import();  // packs for this schema
  exchange();
  ASSERT_EQ(dump(c_->Execute(packed(kAll, a))), dump(c_->Execute(on_table(kAll, b))));
  c_->Execute("CREATE TEMP TABLE Str_DA AS SELECT * FROM main.STR_DA WHERE ALORT = " + quoted(a));
  EXPECT_EQ(dump(c_->Execute(packed(kAll, a))), dump(c_->Execute(on_table(kAll, a))));  // the temporary one
  c_->Execute("DROP TABLE temp.Str_DA");
  Import();
  db_->exec("DROP TABLE STR_DA");
  c_->Execute(std::string(postal_schema(SchemaDialect::kSqlite)));  // makes what is missing
  db_->insert("STR_DA", {{"ALORT", a}, {"NAME46", "Neuer Weg"}, {"PLZ", "01234"}});
  EXPECT_EQ(packs_of(a), 1);
  const Rows now = dump(c_->Execute(packed(kAll, a)));
  ASSERT_EQ(now.size(), 2u);
  EXPECT_EQ(now[1].substr(0, 12), "'Neuer Weg'|");
  EXPECT_NE(before.size(), now.size());
}

// An import that fails keeps the packs of the data it leaves in place; while
// it runs, nothing reads a pack of the rows it is replacing.
TEST_F(StreetPacks, AnImportThatFailsKeepsThePacks) {
  const std::string a = keys()[0];
  const Rows before = dump(c_->Execute(packed(kAll, a)));
  const int32_t all = packs();
  std::vector<std::string_view> tables = {"ORT_DA", "STR_DA"};
  {
    std::unique_ptr<ReplaceUnit> unit = c_->BeginReplace(tables);
    ASSERT_TRUE(unit);
    c_->Execute("DELETE FROM STR_DA");
    EXPECT_EQ(dump(c_->Execute(packed(kAll, a))).size(), 1u);  // the names, no rows
    unit->Rollback();
  }
  EXPECT_EQ(packs(), all);
  EXPECT_EQ(dump(c_->Execute(packed(kAll, a))), before);
  // The guard is back with them.
  db_->exec("DELETE FROM STR_DA WHERE ALORT = " + quoted(a));
  EXPECT_EQ(packs_of(a), 0);
}

void exec(sqlite3* h, const std::string& sql) {
  char* error = nullptr;
  ASSERT_EQ(sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
}

// Cells at the edges of a pack's layout, on hand-made rows: NULL, empty,
// only blanks, 254 blanks of padding (the most a pack holds) and 255, a
// value that is no text, keys that differ in case and blanks, a NULL key,
// and sections of one name stored out of their order.
TEST(StreetPackCells, AreReadBackAsTheTableHoldsThem) {
  testing::TempDatabase db(testing::TestBackend::kSqlite);
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(db.path().c_str(), &h), SQLITE_OK);
  ASSERT_EQ(register_dialect_functions(h), SQLITE_OK);
  exec(h,
       "INSERT INTO STR_DA (ALORT, NAME46, PLZ, HNRVON, HNRBIS, HNR_TYP, OTL_SCHL) VALUES "
       "('abc', 'Weg', NULL, '', '   ', 'N', NULL), ('ABC  ', 'weg ', '01234', '1', '9', NULL, '001'), "
       "('abc', 'Aweg', '01235', ' 2', '8 ', '', ''), ('abc', 'WEG', NULL, NULL, NULL, NULL, NULL), "
       "('lng', 'Langweg' || printf('%254s', ''), '01236', '1', '1', 'G', '002'), "
       "('pad', 'Zuvielweg' || printf('%255s', ''), '01237', '1', '1', 'G', '003'), "
       "('blb', x'00', '01238', '1', '1', 'G', '004'), (NULL, 'Ohneort', '01239', '', '', '', '')");
  exec(h, "BEGIN");
  const std::optional<PackFailure> failed = write_street_packs(h);
  EXPECT_FALSE(failed) << failed->message;
  exec(h, "COMMIT");
  sqlite3_close(h);

  const ConnectionPtr& c = db.connection();
  EXPECT_EQ(c->Execute("SELECT COUNT(*) AS n FROM STR_DA_PACK")->Field("n").as_long(), 2);  // abc and lng
  for (const std::string key : {"abc", "ABC", "lng", "pad", "blb"})
    EXPECT_EQ(dump(c->Execute(packed(kAll, key))), dump(c->Execute(on_table(kAll, key)))) << key;
  const Rows abc = dump(c->Execute(packed(kAll, "abc")));
  ASSERT_EQ(abc.size(), 5u);
  EXPECT_EQ(abc[1], "'Aweg'|'01235'|' 2'|'8 '|''|''|");
  EXPECT_EQ(abc[2], "'Weg'|<NULL>|''|'   '|'N'|<NULL>|");
  // Those reads came from the packs: exchanged, they show.
  c->Execute("UPDATE STR_DA_PACK SET ROWS = (SELECT ROWS FROM STR_DA_PACK WHERE ALORT = 'abc'), SECTIONS = 4 "
             "WHERE ALORT = 'lng'");
  EXPECT_EQ(dump(c->Execute(packed(kAll, "lng"))), abc);
}

// A failure while the packs are written (here an interruption half way
// through the places) reports SQLite's own code and words.
TEST(StreetPackWriting, AFailureReportsSQLitesOwnCodeAndWords) {
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &h), SQLITE_OK);
  ASSERT_EQ(register_dialect_functions(h), SQLITE_OK);
  exec(h, sqlite_postal_schema());
  for (int i = 0; i < 200; ++i)
    exec(h, "INSERT INTO STR_DA (ALORT, NAME46) VALUES ('" + std::to_string(10000000 + i) + "', 'Weg')");
  // Interrupted half way through the places (counted in a first run).
  struct Steps {
    int done = 0, stop_at = 1 << 30;
  } steps;
  sqlite3_progress_handler(
      h, 20, [](void* p) { auto* s = static_cast<Steps*>(p); return ++s->done > s->stop_at ? 1 : 0; }, &steps);
  exec(h, "BEGIN");
  ASSERT_FALSE(write_street_packs(h));
  exec(h, "ROLLBACK");
  steps = {0, steps.done / 2};
  exec(h, "BEGIN");
  const std::optional<PackFailure> failed = write_street_packs(h);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->rc, SQLITE_INTERRUPT);
  EXPECT_EQ(failed->message, "interrupted");
  sqlite3_close(h);
}

TEST(PackedQuery, OnlyTheStreetsOfOnePlaceInNameOrder) {
  auto q = packed_query("SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = '10000019' "
                        "order by Name46");
  ASSERT_TRUE(q);
  EXPECT_EQ(q->key, "10000019");
  EXPECT_EQ(q->columns, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  q = packed_query("select  OTL_SCHL,name46\nfrom STR_DA where ALORT = N'O''Hara'  ORDER  BY  name46");
  ASSERT_TRUE(q);
  EXPECT_EQ(q->key, "O'Hara");
  EXPECT_EQ(q->columns, (std::vector<int>{5, 0}));
  for (const char* other : {
           "SELECT name46, Plz FROM Str_DA WHERE Alort = '1' and Name46 like 'A%' order by Name46",
           "SELECT name46, Plz FROM Str_DA WHERE Alort = '1' order by Name46 DESC",
           "SELECT name46, Plz FROM Str_DA WHERE Alort = '1' order by Plz",
           "SELECT name46, Plz FROM Str_DA WHERE Alort = '1'",
           "SELECT name46, KGS FROM Str_DA WHERE Alort = '1' order by Name46",
           "SELECT * FROM Str_DA WHERE Alort = '1' order by Name46",
           "SELECT name46 AS n FROM Str_DA WHERE Alort = '1' order by Name46",
           "SELECT name46, Plz FROM Str_DA WHERE Alort = 1 order by Name46",
           "SELECT name46, Plz FROM Str_DA WHERE Alort = '1' order by Name46; DELETE FROM Str_DA",
           "SELECT name46, Plz FROM Plz_DA WHERE Alort = '1' order by Name46",
       })
    EXPECT_FALSE(packed_query(other)) << other;
}

}  // namespace
}  // namespace noxplz::sqlite
