// PruefeImport: the import verification against the check records.
#include "import/verification.h"

#include <array>
#include <string>

#include "dialogs/frm_plz_import.h"
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
    // Every check record of the type, with its group if there is one: a
    // missing group compares as "FEHLER".
    if (!sql.empty()) sql += " Union ";
    sql += "SELECT PRUEF_DA.Dateikennung, PRUEF_DA.STATUS, "
           "CASE WHEN PRUEF_DA.Satzzahl = TEST.SATZZAHL THEN 'OK' ELSE 'FEHLER' END AS GleicheAnzahl, "
           " CASE WHEN PRUEF_DA.Datum_Summe = TEST.Datum_Summe THEN 'OK' ELSE 'FEHLER' END AS GleicheSumme, "
           " PRUEF_DA.Satzzahl AS PRUEF_SATZZAHL, TEST.Satzzahl, PRUEF_DA.DATUM_SUMME AS PRUEF_DATUM_SUMME, "
           "TEST.DATUM_SUMME "
           " FROM PRUEF_DA LEFT JOIN ";
    sql += group_select(s);
    sql += " ON TEST.STATUS = PRUEF_DA.STATUS WHERE PRUEF_DA.Dateikennung = '" + std::string(s.code) + "' ";
    // Every group of the table that no check record accounts for.
    sql += " Union SELECT TEST.Dateikennung, TEST.STATUS, 'FEHLER', 'FEHLER', NULL, TEST.Satzzahl, NULL, "
           "TEST.DATUM_SUMME FROM ";
    sql += group_select(s);
    sql += " LEFT JOIN PRUEF_DA ON PRUEF_DA.Dateikennung = '" + std::string(s.code) +
           "' AND PRUEF_DA.STATUS = TEST.STATUS WHERE PRUEF_DA.Dateikennung IS NULL ";
  }
  return sql;
}

}  // namespace import

void clsPlzImport::PruefeImport(Form& mFrm) {
  try {
    toolkit().DoEvents();
    frmPlzImport& frm = [&]() -> frmPlzImport& {
      auto* dialog = dynamic_cast<frmPlzImport*>(&mFrm);
      if (!dialog) throw Error(err::kTypeMismatch, "Typen unverträglich");
      return *dialog;
    }();
    frm_ = &frm;

    frm.lbl_Delete.Caption("Überprüfung läuft");
    frm.lbl_Delete.ForeColor(color::kBlue);
    frm.lbl_Delete.BackColor(frm.BackColor());
    frm.lbl_Delete.Visible(true);

    const std::string sql = import::verification_query();

    // Per type: a row came back for it, and none of its rows disagreed.
    std::array<bool, 8> gesehen{}, richtig{};
    richtig.fill(true);
    if (ConnectionPtr connection = session().connection) {
      RecordsetPtr rs = connection->Execute(sql);
      while (!rs->Eof()) {
        const int typ = import::record_type_of(text::ascii_upper(rs->Field("Dateikennung").as_text()));
        if (typ >= 0 && typ < 8) {
          gesehen[typ] = true;
          if (richtig[typ]) {
            if (text::trim(text::upper(rs->Field("GleicheAnzahl").as_text())) != "OK") richtig[typ] = false;
            if (text::trim(text::upper(rs->Field("GleicheSumme").as_text())) != "OK") richtig[typ] = false;
          }
        }
        rs->MoveNext();
      }
      rs->Close();
    }

    bool alle = true;
    for (int i = 0; i < 8; ++i) {
      const bool ok = gesehen[i] && richtig[i];
      alle = alle && ok;
      frm.caption_label(i).ForeColor(ok ? color::kGreen : color::kRed);
    }
    if (alle) {
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
  } catch (const std::exception& e) {
    msg_box(format_error_number(to_error(e)));
  }
}

}  // namespace noxplz
