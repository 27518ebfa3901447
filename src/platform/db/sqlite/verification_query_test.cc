// The import's original verification statement, exactly as the import joined
// it, must run unchanged on the embedded database and compare counts and date
// sums.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "noxplz/db.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using noxplz::testing::TempDatabase;

// Count and date sum of one record type: `status` is its status column (or
// the constant 'G'), `from` the table with its grouping.
std::string group(const std::string& code, const std::string& status, const std::string& from) {
  return " (SELECT '" + code + "' AS Dateikennung, " + status +
         ", COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS NUMERIC(16, 0))) " +
         " + 10000000000000000 AS CHAR(17)), 16) AS DATUM_SUMME " + from +
         ") TEST ON TEST.Dateikennung = PRUEF_DA.Dateikennung AND TEST.STATUS = PRUEF_DA.STATUS ";
}

std::string verification_query() {
  const char* groups[][3] = {
      {"OR", "status", " From ort_da GROUP BY status"},
      {"PL", "'G' AS [Status]", " FROM PLZ_DA"},
      {"OE", "'G' AS status", " FROM ORG_DA"},
      {"ST", "status", " From str_da  GROUP BY status"},
      {"OT", "status", " From OTL_DA  GROUP BY status"},
      {"PF", "status", " From POFA_da  GROUP BY status"},
      {"KG", "satzart AS status", " From KGS_DA  GROUP BY satzart"},
      {"GE", "'G' AS status", " FROM GROSS_da"},
  };
  std::string q;
  for (const auto& g : groups) {
    if (q.empty()) {
      q = "SELECT PRUEF_DA.Dateikennung, PRUEF_DA.STATUS, CASE WHEN PRUEF_DA.Satzzahl = TEST.SATZZAHL THEN 'OK' "
          "ELSE 'FEHLER' END AS GleicheAnzahl,  CASE WHEN PRUEF_DA.Datum_Summe = Test.Datum_Summe THEN 'OK' ELSE "
          "'FEHLER' END AS GleicheSumme,  PRUEF_DA.Satzzahl AS PRUEF_SATZZAHL, TEST.Satzzahl, PRUEF_DA.DATUM_SUMME "
          "AS PRUEF_DATUM_SUMME, TEST.DATUM_SUMME ";
    } else {
      q += " Union  SELECT PRUEF_DA.Dateikennung, PRUEF_DA.STATUS, CASE WHEN PRUEF_DA.Satzzahl = TEST.SATZZAHL "
           "THEN 'OK' ELSE 'FEHLER' END AS GleicheAnzahl,  CASE WHEN PRUEF_DA.Datum_Summe = Test.Datum_Summe THEN "
           "'OK' ELSE 'FEHLER' END AS GleicheSumme, PRUEF_DA.Satzzahl,  TEST.Satzzahl , PRUEF_DA.DATUM_SUMME, "
           "TEST.DATUM_SUMME ";
    }
    q += " FROM PRUEF_DA INNER JOIN " + group(g[0], g[1], g[2]);
  }
  return q;
}

// Per type and status: "GleicheAnzahl GleicheSumme PRUEF_SATZZAHL Satzzahl DATUM_SUMME".
std::map<std::string, std::string> run(TempDatabase& db) {
  std::map<std::string, std::string> outcome;
  for (auto rs = db.connection()->Execute(verification_query()); !rs->Eof(); rs->MoveNext()) {
    std::string key = rs->Field("Dateikennung").as_text() + "/" + rs->Field("Status").as_text();
    EXPECT_EQ(outcome.count(key), 0u) << key << " twice";
    outcome[key] = rs->Field("GleicheAnzahl").as_text() + " " + rs->Field("GleicheSumme").as_text() + " " +
                   rs->Field("PRUEF_SATZZAHL").as_text() + " " + rs->Field("Satzzahl").as_text() + " " +
                   rs->Field("DATUM_SUMME").as_text();
  }
  return outcome;
}

TEST(SqliteVerificationQuery, ComparesCountsAndDateSumsPerGroup) {
  TempDatabase db;
  EXPECT_TRUE(run(db).empty());
  // OR: two status groups; G matches, A has the right count but a wrong sum. ST: one row missing; the
  // sum of the rows present is right. KG: grouped by satzart. GE: the whole table is group G. PL: an
  // empty table with a check record: count 0 matches, the missing sum does not. OE: a check record under
  // a status other than G finds no group. PF: an empty grouped table: its check record is not compared.
  // OT: rows without a check record are not reported. XX: the check records' own is never matched.
  db.exec("INSERT INTO ORT_DA (Datum, STATUS) VALUES ('20240101', 'G'), ('20240102', 'G'), ('20230101', 'A')");
  db.exec("INSERT INTO STR_DA (Datum, Status) VALUES ('20240101', 'G'), ('20240101', 'G'), ('20240101', 'G')");
  db.exec("INSERT INTO KGS_DA (Datum, satzart) VALUES ('19991231', 'K')");
  db.exec("INSERT INTO GROSS_DA (Datum) VALUES ('20240101'), ('20240101')");
  db.exec("INSERT INTO ORG_DA (Datum) VALUES ('20240101')");
  db.exec("INSERT INTO OTL_DA (Datum, STATUS) VALUES ('20240101', 'G')");
  const struct {
    const char *type, *status;
    int count;
    const char* sum;
  } checks[] = {
      {"OR", "G", 2, "0000000040480203"}, {"OR", "A", 1, "0000000020230102"}, {"ST", "G", 4, "0000000060720303"},
      {"KG", "K", 1, "0000000019991231"}, {"GE", "G", 2, "0000000040480202"}, {"PL", "G", 0, "0000000000000000"},
      {"OE", "X", 1, "0000000020240101"}, {"PF", "G", 5, "0000000000000001"}, {"XX", "G", 9, "0000000000000009"},
  };
  for (const auto& c : checks)  // as the import writes them: the count as a bare number
    db.exec("Insert INTO PRUEF_DA  (Version_Dateikennung,Version_Datum,Version_Nr,  Dateikennung,Status,Satzzahl,"
            "Datum_Summe ) Values ( 'XX','2401','001','" + std::string(c.type) + "','" + c.status + "'," +
            std::to_string(c.count) + ",'" + c.sum + "')");

  const std::map<std::string, std::string> expected = {
      {"OR/G", "OK OK 2 2 0000000040480203"}, {"OR/A", "OK FEHLER 1 1 0000000020230101"},
      {"ST/G", "FEHLER OK 4 3 0000000060720303"}, {"KG/K", "OK OK 1 1 0000000019991231"},
      {"GE/G", "OK OK 2 2 0000000040480202"}, {"PL/G", "OK FEHLER 0 0 "},
  };
  EXPECT_EQ(run(db), expected);
}

}  // namespace
}  // namespace noxplz
