// PruefeImport against tables filled directly: which record types turn
// green, and what the dialog shows.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dialogs/frm_plz_import.h"
#include "manager/session.h"
#include "noxplz/plz_import.h"
#include "noxplz/plz_manager.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

constexpr const char* kCodes[8] = {"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"};
constexpr const char* kAllRed = "GE KG OE OR OT PF PL ST ";

// INSERT of one data row of `code`; the status goes where the table has one.
std::string row(const std::string& code, const std::string& status, const std::string& datum = "20240101") {
  static const std::map<std::string, std::pair<std::string, std::string>> kTableAndStatus = {
      {"GE", {"GROSS_DA", ""}},      {"OE", {"ORG_DA", ""}},       {"PL", {"PLZ_DA", ""}},
      {"KG", {"KGS_DA", "satzart"}}, {"OR", {"ORT_DA", "STATUS"}}, {"OT", {"OTL_DA", "STATUS"}},
      {"PF", {"POFA_DA", "STATUS"}}, {"ST", {"STR_DA", "Status"}}};
  const auto& [table, column] = kTableAndStatus.at(code);
  if (column.empty()) return "INSERT INTO " + table + " (Datum) VALUES ('" + datum + "')";
  return "INSERT INTO " + table + " (Datum, " + column + ") VALUES ('" + datum + "', '" + status + "')";
}

std::string check(const std::string& code, const std::string& status, int count, const std::string& sum16) {
  return "INSERT INTO PRUEF_DA (Version_Dateikennung, Dateikennung, Status, Satzzahl, Datum_Summe) VALUES ('XX', '" +
         code + "', '" + status + "', " + std::to_string(count) + ", '" + sum16 + "')";
}

// Runs the verification on `frm`; returns the red types ("?" for a colour neither red nor green).
std::string red_types(frmPlzImport& frm) {
  clsPlzImport().PruefeImport(frm);
  std::string red;
  for (int i = 0; i < 8; ++i) {
    const int32_t c = frm.caption_label(i).ForeColor();
    red += c == color::kRed ? std::string(kCodes[i]) + " " : (c == color::kGreen ? "" : "? ");
  }
  return red;
}

TEST(Verification, ATypeIsGreenOnlyWhenItsGroupsAndCheckRecordsAllAgree) {
  const struct {
    const char* name;
    std::vector<std::string> change;  // applied to a consistent database
    std::string red;
    bool disconnect = false;
  } cases[] = {
      {"consistent", {}, ""},
      {"no check records", {"DELETE FROM PRUEF_DA"}, kAllRed},
      {"count or date sum differ",
       {row("ST", "2"), check("ST", "2", 2, "0000000020240101"),    // one row arrived, two stated
        row("PF", "2"), check("PF", "2", 1, "0000000020240102")},   // count agrees, date sum does not
       "PF ST "},
      {"check record whose group never arrived", {check("ST", "9", 5, "0000000101200505")}, "ST "},
      {"type without any check record", {"DELETE FROM PRUEF_DA WHERE Dateikennung = 'OE'"}, "OE "},
      {"groups no check record accounts for", {row("OR", "2"), row("KG", "G")}, "KG OR "},
      {"ungrouped table, check record of another status",
       {"UPDATE PRUEF_DA SET Status = '1' WHERE Dateikennung = 'PL'"}, "PL "},
      {"empty tables, check records of no records",
       {"DELETE FROM PLZ_DA", "DELETE FROM STR_DA",
        "UPDATE PRUEF_DA SET Satzzahl = 0, Datum_Summe = '0000000000000000' WHERE Dateikennung IN ('PL', 'ST')"},
       "PL ST "},
      {"check records of unknown types are ignored",
       {check("XX", "G", 9, "0000000000000009"), check("ZZ", "1", 9, "0000000000000009")}, ""},
      {"no connection", {}, kAllRed, true},
  };
  ScopedToolkit use(std::make_shared<testing::ScriptedToolkit>());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDatabase db;
    clsPlzManager manager;
    manager.Init(nullptr, "", db.connection());
    // Two rows per type (dates 20240101 and 20250202) and matching check records, then the change.
    for (const std::string code : kCodes) {
      const std::string status = code == "GE" || code == "OE" || code == "PL" ? "G" : (code == "KG" ? "K" : "1");
      for (const std::string& sql : {row(code, status), row(code, status, "20250202"),
                                     check(code, status, 2, "0000000040490303")})
        db.exec(sql);
    }
    for (const std::string& sql : c.change) db.exec(sql);
    if (c.disconnect) session().connection.reset();
    frmPlzImport frm;
    EXPECT_EQ(red_types(frm), c.red);
    const bool green = c.red.empty();
    EXPECT_EQ(frm.lbl_Delete.Caption(), green ? "Alle Werte wurden korrekt importiert!"
                                               : "Es konnten nicht alle Werte korrekt importiert werden!");
    EXPECT_EQ(frm.lbl_Delete.ForeColor(), green ? color::kBlack : color::kYellow);
    EXPECT_EQ(frm.lbl_Delete.BackColor(), green ? color::kBrightGreen : color::kRed);
    EXPECT_TRUE(frm.lbl_Delete.Visible());
    EXPECT_EQ(frm.cmd_Importieren.Caption(), green ? "&Beenden" : "&Importieren");
    EXPECT_EQ(frm.cmd_Abbruch.Enabled(), !green);
  }
}

TEST(Verification, AFormThatIsNoImportDialogIsReported) {
  auto tk = std::make_shared<testing::ScriptedToolkit>();
  ScopedToolkit use(tk);
  Form other("frmAnders", "Anders", {});
  tk->ExpectMsgBox("13 / Typen unverträglich", mb::kOk, mb::kOkOnly, "NoxPlz");
  clsPlzImport().PruefeImport(other);
}

}  // namespace
}  // namespace noxplz
