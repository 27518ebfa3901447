// PruefeImport against tables filled directly: which record types turn
// green, and what the dialog shows.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "dialogs/frm_plz_import.h"
#include "manager/session.h"
#include "noxplz/plz_import.h"
#include "noxplz/plz_manager.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using testing::ScriptedToolkit;
using testing::TempDatabase;

constexpr const char* kCodes[8] = {"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"};

class VerificationTest : public ::testing::Test {
 protected:
  VerificationTest() { manager_.Init(nullptr, "", db_.connection()); }

  // One row of `code` with `status` (ignored where the table has no status) and date `datum`.
  void add_row(const std::string& code, const std::string& status, const std::string& datum) {
    if (code == "GE") db_.insert("GROSS_DA", {{"Version_Dateikennung", "GE"}, {"Datum", datum}});
    if (code == "OE") db_.insert("ORG_DA", {{"Version_Dateikennung", "OE"}, {"Datum", datum}});
    if (code == "PL") db_.insert("PLZ_DA", {{"Version_Dateikennung", "PL"}, {"Datum", datum}});
    if (code == "KG") db_.insert("KGS_DA", {{"versionkennung", "KG"}, {"datum", datum}, {"satzart", status}});
    if (code == "OR") db_.insert("ORT_DA", {{"Version_Dateikennung", "OR"}, {"Datum", datum}, {"STATUS", status}});
    if (code == "OT") db_.insert("OTL_DA", {{"Version_Dateikennung", "OT"}, {"Datum", datum}, {"STATUS", status}});
    if (code == "PF") db_.insert("POFA_DA", {{"Version_Dateikennung", "PF"}, {"Datum", datum}, {"STATUS", status}});
    if (code == "ST") db_.insert("STR_DA", {{"Version_Dateikennung", "ST"}, {"Datum", datum}, {"Status", status}});
  }
  void add_check(const std::string& code, const std::string& status, int count, const std::string& sum16) {
    db_.insert("PRUEF_DA", {{"Version_Dateikennung", "XX"},
                            {"Dateikennung", code},
                            {"Status", status},
                            {"Satzzahl", std::to_string(count)},
                            {"Datum_Summe", sum16}});
  }
  static std::string status_of(const std::string& code) {
    return code == "GE" || code == "OE" || code == "PL" ? "G" : (code == "KG" ? "K" : "1");
  }
  // Two rows per type (dates 20240101 and 20250202) and matching check records.
  void fill_consistent() {
    for (const char* code : kCodes) {
      add_row(code, status_of(code), "20240101");
      add_row(code, status_of(code), "20250202");
      add_check(code, status_of(code), 2, "0000000040490303");
    }
  }

  // Runs the verification on a fresh dialog; returns the caption colours.
  std::array<int32_t, 8> verify() {
    clsPlzImport import;
    import.PruefeImport(frm_);
    std::array<int32_t, 8> colours{};
    for (int i = 0; i < 8; ++i) colours[i] = frm_.caption_label(i).ForeColor();
    return colours;
  }
  // Colours with `red` types red and the rest green.
  static std::array<int32_t, 8> expect(std::initializer_list<std::string> red) {
    std::array<int32_t, 8> c{};
    for (int i = 0; i < 8; ++i) {
      c[i] = color::kGreen;
      for (const std::string& r : red)
        if (r == kCodes[i]) c[i] = color::kRed;
    }
    return c;
  }
  void expect_failure_notice() {
    EXPECT_EQ(frm_.lbl_Delete.Caption(), "Es konnten nicht alle Werte korrekt importiert werden!");
    EXPECT_EQ(frm_.lbl_Delete.ForeColor(), color::kYellow);
    EXPECT_EQ(frm_.lbl_Delete.BackColor(), color::kRed);
    EXPECT_TRUE(frm_.lbl_Delete.Visible());
    EXPECT_EQ(frm_.cmd_Importieren.Caption(), "&Importieren");
    EXPECT_TRUE(frm_.cmd_Abbruch.Enabled());
  }

  TempDatabase db_;
  clsPlzManager manager_;
  std::shared_ptr<ScriptedToolkit> tk_ = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use_{tk_};
  frmPlzImport frm_;
};

TEST_F(VerificationTest, EveryGroupAccountedForTurnsAllGreen) {
  fill_consistent();
  EXPECT_EQ(verify(), expect({}));
  EXPECT_EQ(frm_.lbl_Delete.Caption(), "Alle Werte wurden korrekt importiert!");
  EXPECT_EQ(frm_.lbl_Delete.ForeColor(), color::kBlack);
  EXPECT_EQ(frm_.lbl_Delete.BackColor(), color::kBrightGreen);
  EXPECT_TRUE(frm_.lbl_Delete.Visible());
  EXPECT_EQ(frm_.cmd_Importieren.Caption(), "&Beenden");
  EXPECT_FALSE(frm_.cmd_Abbruch.Enabled());
}

TEST_F(VerificationTest, WithoutCheckRecordsEverythingIsRed) {
  for (const char* code : kCodes) add_row(code, status_of(code), "20240101");
  EXPECT_EQ(verify(), expect({"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"}));
  expect_failure_notice();
}

TEST_F(VerificationTest, DifferingCountOrDateSumTurnsOnlyThatTypeRed) {
  fill_consistent();
  add_row("ST", "2", "20240101");
  add_check("ST", "2", 2, "0000000020240101");  // one row arrived, two stated
  add_row("PF", "2", "20240101");
  add_check("PF", "2", 1, "0000000020240102");  // count agrees, date sum does not
  EXPECT_EQ(verify(), expect({"ST", "PF"}));
  expect_failure_notice();
}

TEST_F(VerificationTest, CheckRecordWhoseGroupNeverArrivedIsRed) {
  fill_consistent();
  add_check("ST", "9", 5, "0000000101200505");  // e.g. every such record was rejected
  EXPECT_EQ(verify(), expect({"ST"}));
}

TEST_F(VerificationTest, TypeWithoutAnyCheckRecordIsRed) {
  fill_consistent();
  db_.exec("DELETE FROM PRUEF_DA WHERE Dateikennung = 'OE'");
  EXPECT_EQ(verify(), expect({"OE"}));
}

TEST_F(VerificationTest, GroupThatNoCheckRecordAccountsForIsRed) {
  fill_consistent();
  add_row("OR", "2", "20240101");
  add_row("KG", "G", "20240101");
  EXPECT_EQ(verify(), expect({"OR", "KG"}));
}

TEST_F(VerificationTest, CheckRecordOfAnUngroupedTableNeedsStatusG) {
  fill_consistent();
  db_.exec("UPDATE PRUEF_DA SET Status = '1' WHERE Dateikennung = 'PL'");
  EXPECT_EQ(verify(), expect({"PL"}));
}

TEST_F(VerificationTest, EmptyTablesAreRedEvenWithACheckRecordOfNoRecords) {
  fill_consistent();
  db_.exec("DELETE FROM PLZ_DA");
  db_.exec("DELETE FROM STR_DA");
  db_.exec("UPDATE PRUEF_DA SET Satzzahl = 0, Datum_Summe = '0000000000000000' WHERE Dateikennung IN ('PL', 'ST')");
  EXPECT_EQ(verify(), expect({"PL", "ST"}));
}

TEST_F(VerificationTest, CheckRecordsOfUnknownTypesAreIgnored) {
  fill_consistent();
  add_check("XX", "G", 9, "0000000000000009");
  add_check("ZZ", "1", 9, "0000000000000009");
  EXPECT_EQ(verify(), expect({}));
}

TEST_F(VerificationTest, WithoutConnectionEverythingIsRed) {
  fill_consistent();
  session().connection.reset();
  EXPECT_EQ(verify(), expect({"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"}));
  expect_failure_notice();
}

TEST_F(VerificationTest, AFormThatIsNoImportDialogIsReported) {
  Form other("frmAnders", "Anders", {});
  tk_->ExpectMsgBox("13 / Typen unverträglich", mb::kOk, mb::kOkOnly, "NoxPlz");
  clsPlzImport import;
  import.PruefeImport(other);
}

}  // namespace
}  // namespace noxplz
