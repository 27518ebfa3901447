// The import's verification statement, exactly as the import joins it, must
// run unchanged on the embedded database and compare counts and date sums.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "noxplz/db.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using noxplz::testing::TempDatabase;

std::string verification_query() {
  std::string q =
      "SELECT PRUEF_DA.Dateikennung, PRUEF_DA.STATUS, CASE WHEN PRUEF_DA.Satzzahl = TEST.SATZZAHL THEN 'OK' ELSE "
      "'FEHLER' END AS GleicheAnzahl, ";
  q += " CASE WHEN PRUEF_DA.Datum_Summe = Test.Datum_Summe THEN 'OK' ELSE 'FEHLER' END AS GleicheSumme, ";
  q += " PRUEF_DA.Satzzahl AS PRUEF_SATZZAHL, TEST.Satzzahl, PRUEF_DA.DATUM_SUMME AS PRUEF_DATUM_SUMME, "
       "TEST.DATUM_SUMME ";
  q += " FROM PRUEF_DA INNER JOIN ";
  q += " (SELECT 'OR' AS Dateikennung, status, COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS NUMERIC(16, "
       "0))) ";
  q += " + 10000000000000000 AS CHAR(17)), 16) AS DATUM_SUMME ";
  q += " From ort_da GROUP BY status) TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = "
       "PRUEF_DA.STATUS ";

  struct Block {
    const char* head;
    const char* tail1;
    const char* tail2;
  };
  const Block blocks[] = {
      {" (SELECT 'PL' AS Dateikennung, 'G' AS [Status], COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS "
       "NUMERIC(16, 0))) ",
       " FROM PLZ_DA) TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = PRUEF_DA.STATUS ", ""},
      {" (SELECT 'OE' AS Dateikennung, 'G' AS status, COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS "
       "NUMERIC(16, 0))) ",
       " FROM ORG_DA) TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = PRUEF_DA.STATUS ", ""},
      {" (SELECT 'ST' AS Dateikennung, status, COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS NUMERIC(16, "
       "0))) ",
       " From str_da ",
       " GROUP BY status) TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = PRUEF_DA.STATUS "},
      {" (SELECT 'OT' AS Dateikennung, status, COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS NUMERIC(16, "
       "0))) ",
       " From OTL_DA ",
       " GROUP BY status) TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = PRUEF_DA.STATUS "},
      {" (SELECT 'PF' AS Dateikennung, status, COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS NUMERIC(16, "
       "0))) ",
       " From POFA_da ",
       " GROUP BY status) TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = PRUEF_DA.STATUS "},
      {" (SELECT 'KG' AS Dateikennung, satzart AS status, COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS "
       "NUMERIC(16, 0))) ",
       " From KGS_DA ",
       " GROUP BY satzart) TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = PRUEF_DA.STATUS "},
      {" (SELECT 'GE' AS Dateikennung, 'G' AS status, COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS "
       "NUMERIC(16, 0))) ",
       " FROM GROSS_da) TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = PRUEF_DA.STATUS ", ""},
  };
  for (const Block& b : blocks) {
    q += " Union ";
    q += " SELECT PRUEF_DA.Dateikennung, PRUEF_DA.STATUS, CASE WHEN PRUEF_DA.Satzzahl = TEST.SATZZAHL THEN 'OK' "
         "ELSE 'FEHLER' END AS GleicheAnzahl, ";
    q += " CASE WHEN PRUEF_DA.Datum_Summe = Test.Datum_Summe THEN 'OK' ELSE 'FEHLER' END AS GleicheSumme, "
         "PRUEF_DA.Satzzahl, ";
    q += " TEST.Satzzahl , PRUEF_DA.DATUM_SUMME, TEST.DATUM_SUMME ";
    q += " FROM PRUEF_DA INNER JOIN ";
    q += b.head;
    q += " + 10000000000000000 AS CHAR(17)), 16) AS DATUM_SUMME ";
    q += b.tail1;
    q += b.tail2;
  }
  return q;
}

// A check record as the import writes it: the count as a bare number.
void add_check(TempDatabase& db, const std::string& type, const std::string& status, int count,
               const std::string& sum) {
  db.exec("Insert INTO PRUEF_DA  (Version_Dateikennung,Version_Datum,Version_Nr,  Dateikennung,Status,Satzzahl,"
          "Datum_Summe ) Values ( 'XX','2401','001','" + type + "','" + status + "'," + std::to_string(count) +
          ",'" + sum + "')");
}

void add_row(TempDatabase& db, const std::string& table, const std::string& status_column, const std::string& status,
             const std::string& datum) {
  if (status_column.empty())
    db.insert(table, {{"Datum", datum}});
  else
    db.insert(table, {{"Datum", datum}, {status_column, status}});
}

using Outcome = std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>>;

Outcome run(TempDatabase& db) {
  Outcome outcome;
  auto rs = db.connection()->Execute(verification_query());
  for (; !rs->Eof(); rs->MoveNext()) {
    auto key = std::make_pair(rs->Field("Dateikennung").as_text(), rs->Field("Status").as_text());
    EXPECT_EQ(outcome.count(key), 0u) << key.first << "/" << key.second << " twice";
    outcome[key] = {rs->Field("GleicheAnzahl").as_text(), rs->Field("GleicheSumme").as_text()};
  }
  rs->Close();
  return outcome;
}

TEST(SqliteVerificationQuery, EmptyTablesGiveNoRows) {
  TempDatabase db;
  auto rs = db.connection()->Execute(verification_query());
  EXPECT_TRUE(rs->Eof());
}

TEST(SqliteVerificationQuery, ComparesCountsAndDateSumsPerGroup) {
  TempDatabase db;
  // OR: two status groups; G matches, A has the right count but a wrong sum.
  add_row(db, "ORT_DA", "STATUS", "G", "20240101");
  add_row(db, "ORT_DA", "STATUS", "G", "20240102");
  add_row(db, "ORT_DA", "STATUS", "A", "20230101");
  add_check(db, "OR", "G", 2, "0000000040480203");
  add_check(db, "OR", "A", 1, "0000000020230102");
  // ST: one row missing; the sum of the rows present is right.
  for (int i = 0; i < 3; ++i) add_row(db, "STR_DA", "Status", "G", "20240101");
  add_check(db, "ST", "G", 4, "0000000060720303");
  // KG: grouped by satzart; matches.
  add_row(db, "KGS_DA", "satzart", "K", "19991231");
  add_check(db, "KG", "K", 1, "0000000019991231");
  // GE: the whole table is group G; matches.
  add_row(db, "GROSS_DA", "", "", "20240101");
  add_row(db, "GROSS_DA", "", "", "20240101");
  add_check(db, "GE", "G", 2, "0000000040480202");
  // PL: empty table with a check record: count 0 matches, the missing sum does not.
  add_check(db, "PL", "G", 0, "0000000000000000");
  // OE: a check record under a status other than G finds no group.
  add_row(db, "ORG_DA", "", "", "20240101");
  add_check(db, "OE", "X", 1, "0000000020240101");
  // PF: empty grouped table: its check record is not compared.
  add_check(db, "PF", "G", 5, "0000000000000001");
  // OT: rows without a check record are not reported.
  add_row(db, "OTL_DA", "STATUS", "G", "20240101");
  // A check record of the check records themselves is never matched.
  add_check(db, "XX", "G", 9, "0000000000000009");

  Outcome expected = {
      {{"OR", "G"}, {"OK", "OK"}},     {{"OR", "A"}, {"OK", "FEHLER"}}, {{"ST", "G"}, {"FEHLER", "OK"}},
      {{"KG", "K"}, {"OK", "OK"}},     {{"GE", "G"}, {"OK", "OK"}},     {{"PL", "G"}, {"OK", "FEHLER"}},
  };
  EXPECT_EQ(run(db), expected);
}

TEST(SqliteVerificationQuery, CountAndSumColumnsCarryTheValues) {
  TempDatabase db;
  add_row(db, "PLZ_DA", "", "", "20240101");
  add_row(db, "PLZ_DA", "", "", "20240115");
  add_check(db, "PL", "G", 2, "0000000040480216");
  auto rs = db.connection()->Execute(verification_query());
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Field("PRUEF_SATZZAHL").as_long(), 2);
  EXPECT_EQ(rs->Field("Satzzahl").as_long(), 2);
  EXPECT_EQ(rs->Field("DATUM_SUMME").as_text(), "0000000040480216");
  EXPECT_EQ(rs->Field("GleicheSumme").as_text(), "OK");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
}

}  // namespace
}  // namespace noxplz
