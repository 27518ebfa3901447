// PruefeImport: the import verification against the check records.
#include "import/verification.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "dialogs/frm_plz_import.h"
#include "import/import_run.h"
#include "import/record_layout.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "noxplz/error.h"
#include "noxplz/plz_import.h"
#include "noxplz/ui.h"
#include "platform/text.h"

namespace noxplz {
namespace import {
namespace {

struct GroupSource {
  const char* code;
  const char* table;
  const char* status;    // status of a group: a column or the constant 'G'
  const char* group_by;  // nullptr: the whole table is one group
};

// In the order the statement has always compared them.
constexpr GroupSource kSources[8] = {
    {"OR", "ORT_DA", "status", "status"},   {"PL", "PLZ_DA", "'G'", nullptr},
    {"OE", "ORG_DA", "'G'", nullptr},       {"ST", "STR_DA", "status", "status"},
    {"OT", "OTL_DA", "status", "status"},   {"PF", "POFA_DA", "status", "status"},
    {"KG", "KGS_DA", "satzart", "satzart"}, {"GE", "GROSS_DA", "'G'", nullptr},
};

// Count and date sum per status group; the sum as 16-digit text with leading
// zeros, the form of the check record.
std::string group_select(const GroupSource& s) {
  std::string sql = " (SELECT '" + std::string(s.code) + "' AS Dateikennung, " + s.status +
                    " AS STATUS, COUNT(*) AS Satzzahl, RIGHT(CAST(SUM(CAST(datum AS NUMERIC(16, 0))) "
                    " + 10000000000000000 AS CHAR(17)), 16) AS DATUM_SUMME "
                    " FROM " + s.table;
  if (s.group_by) sql += " GROUP BY " + std::string(s.group_by);
  sql += ") TEST ";
  return sql;
}

}  // namespace

std::string verification_query() {
  std::string sql;
  for (const GroupSource& s : kSources) {
    // Every check record of the type beside its group, and every group
    // beside its check record: a full outer join, so each table is grouped
    // once. A check record without a group, or a group without a check
    // record, compares as "FEHLER".
    if (!sql.empty()) sql += " Union ";
    sql += "SELECT COALESCE(PRUEF.Dateikennung, TEST.Dateikennung) AS Dateikennung, "
           "COALESCE(PRUEF.STATUS, TEST.STATUS) AS STATUS, "
           "CASE WHEN PRUEF.Satzzahl = TEST.SATZZAHL THEN 'OK' ELSE 'FEHLER' END AS GleicheAnzahl, "
           " CASE WHEN PRUEF.Datum_Summe = TEST.Datum_Summe THEN 'OK' ELSE 'FEHLER' END AS GleicheSumme, "
           " PRUEF.Satzzahl AS PRUEF_SATZZAHL, TEST.Satzzahl, PRUEF.DATUM_SUMME AS PRUEF_DATUM_SUMME, "
           "TEST.DATUM_SUMME "
           " FROM (SELECT Dateikennung, STATUS, Satzzahl, Datum_Summe FROM PRUEF_DA WHERE Dateikennung = '";
    sql += s.code;
    sql += "') PRUEF FULL OUTER JOIN ";
    sql += group_select(s);
    sql += " ON TEST.STATUS = PRUEF.STATUS ";
  }
  return sql;
}

}  // namespace import

namespace import {

Verdict verify_tables(const ConnectionPtr& connection, bool cancelled) {
  const std::string sql = verification_query();
  // Per type: a row came back for it, and none of its rows disagreed.
  std::array<bool, 8> gesehen{}, richtig{}, geliefert{};
  richtig.fill(true);
  Verdict verdict;
  if (connection) {
    RecordsetPtr rs = connection->Execute(sql);
    const std::vector<std::string> names = rs->FieldNames();
    const bool has_count = std::any_of(names.begin(), names.end(),
                                       [](const std::string& n) { return text::equals_ci(n, "PRUEF_SATZZAHL"); });
    while (!rs->Eof()) {
      const int typ = record_type_of(text::ascii_upper(rs->Field("Dateikennung").as_text()));
      if (typ >= 0 && typ < 8) {
        gesehen[typ] = true;
        // Evidence of a delivery: a check record, or rows in the table (a
        // table read as one group yields a row of count 0 when empty).
        const Variant zeilen = rs->Field("Satzzahl");
        if (!rs->Field("PRUEF_SATZZAHL").is_null() || (!zeilen.is_null() && zeilen.as_text() != "0"))
          geliefert[typ] = true;
        if (richtig[typ]) {
          if (text::trim(text::upper(rs->Field("GleicheAnzahl").as_text())) != "OK") richtig[typ] = false;
          if (text::trim(text::upper(rs->Field("GleicheSumme").as_text())) != "OK") richtig[typ] = false;
        }
        if (has_count) {
          const Variant stated = rs->Field("PRUEF_SATZZAHL");
          if (!stated.is_null() && !stated.is_empty()) {
            try {
              verdict.check_count[typ] = verdict.check_count[typ].value_or(0) + stated.as_long();
            } catch (const Error&) {
              // A count that is no number adds nothing; the verdict already says FEHLER.
            }
          }
        }
      }
      rs->MoveNext();
    }
    rs->Close();
  }
  // A type with no rows, no check record and no line read from the file was
  // not delivered (a file without PF or OE records is a legitimate delivery):
  // it does not fail the verification. After a cancelled import nobody knows
  // what the rest of the file held, so there every type is judged.
  constexpr int32_t RecordCounters::*kLinesRead[8] = {&RecordCounters::GE, &RecordCounters::KG, &RecordCounters::OE,
                                                      &RecordCounters::OR, &RecordCounters::OT, &RecordCounters::PF,
                                                      &RecordCounters::PL, &RecordCounters::ST};
  verdict.all_ok = true;
  for (int i = 0; i < 8; ++i) {
    if (connection && !cancelled && !geliefert[i] && session().counters.*kLinesRead[i] == 0) {
      verdict.delivered[i] = false;
      verdict.ok[i] = true;
      continue;
    }
    verdict.ok[i] = gesehen[i] && richtig[i];
    verdict.all_ok = verdict.all_ok && verdict.ok[i];
  }
  if (std::none_of(geliefert.begin(), geliefert.end(), [](bool g) { return g; })) verdict.all_ok = false;  // nothing at all
  return verdict;
}

void show_verification_started(frmPlzImport& frm) {
  frm.lbl_Delete.Caption("Überprüfung läuft");
  frm.lbl_Delete.ForeColor(color::kBlue);
  frm.lbl_Delete.BackColor(frm.BackColor());
  frm.lbl_Delete.Visible(true);
}

void show_verdict(frmPlzImport& frm, const Verdict& verdict) {
  // Green verified, red failed; a type the file did not deliver keeps the caption's normal colour.
  for (int i = 0; i < 8; ++i)
    frm.caption_label(i).ForeColor(!verdict.delivered[i] ? color::kButtonText
                                   : verdict.ok[i]       ? color::kGreen
                                                         : color::kRed);
  if (verdict.all_ok) {
    frm.lbl_Delete.Caption("Alle Werte wurden korrekt importiert!");
    frm.lbl_Delete.ForeColor(color::kBlack);
    frm.lbl_Delete.BackColor(color::kBrightGreen);
    frm.cmd_Importieren.Caption("&Beenden");
    frm.cmd_Abbruch.Enabled(false);
  } else {
    frm.lbl_Delete.Caption("Es konnten nicht alle Werte korrekt importiert werden!");
    frm.lbl_Delete.ForeColor(color::kYellow);
    frm.lbl_Delete.BackColor(color::kRed);
  }
  frm.lbl_Delete.Visible(true);
}

}  // namespace import

}  // namespace noxplz
