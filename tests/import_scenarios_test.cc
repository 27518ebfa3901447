// End-to-end imports: generated (and a few hand-made) Datafactory files
// imported through the import dialog into a fresh SQLite database, with
// every message box scripted.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "datafactory_gen.h"
#include "dialogs/frm_plz_import.h"
#include "manager/session.h"
#include "noxplz/error.h"
#include "noxplz/error_log.h"
#include "noxplz/plz_import.h"
#include "noxplz/plz_manager.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using datafactory::GenOptions;
using datafactory::GenSummary;
using testing::ScriptedToolkit;
using testing::TempDatabase;

constexpr const char* kCodes[8] = {"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"};
constexpr const char* kTables[8] = {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA", "OTL_DA", "POFA_DA", "PLZ_DA", "STR_DA"};
const std::string kQuestion = "Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?";

// Fields padded with blanks (or cut) to their widths, then the end mark.
std::string record(std::initializer_list<std::pair<std::string, int>> fields, char end_mark = '$') {
  std::string line;
  for (const auto& [value, width] : fields) {
    std::string v = value;
    v.resize(static_cast<size_t>(width), ' ');
    line += v;
  }
  return line + end_mark;
}

std::string kg_line(const std::string& schluessel, const std::string& name, const std::string& code = "KG") {
  return record({{code, 2}, {"2612", 4}, {"001", 3}, {"20240115", 8}, {schluessel, 8}, {"G", 1}, {name, 40}});
}

class ImportScenario : public ::testing::Test {
 protected:
  ImportScenario() {
    manager_.Init(nullptr, "", db_.connection());
    frm_.raise_load();
  }
  ~ImportScenario() override { std::filesystem::remove_all(dir_); }

  std::string generate(const GenOptions& o, const std::string& name = "daten.dat") {
    const std::string path = (dir_ / name).string();
    summary_ = datafactory::generate_file(path, o);
    return path;
  }
  std::string write(const std::string& bytes, const std::string& name = "hand.dat") {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Presses "&Importieren" with `path` in the path field.
  void import(const std::string& path) {
    frm_.txtDatenDatei.Text(path);
    frm_.cmd_Importieren.Click();
  }
  std::vector<int32_t> caption_colours() {
    std::vector<int32_t> c;
    for (int i = 0; i < 8; ++i) c.push_back(frm_.caption_label(i).ForeColor());
    return c;
  }
  static std::vector<int32_t> colours(std::initializer_list<std::string> red) {
    std::vector<int32_t> c;
    for (const char* code : kCodes) {
      bool is_red = false;
      for (const std::string& r : red) is_red = is_red || r == code;
      c.push_back(is_red ? color::kRed : color::kGreen);
    }
    return c;
  }
  std::string text(const std::string& sql, const std::string& column) {
    RecordsetPtr rs = db_.connection()->Execute(sql);
    EXPECT_FALSE(rs->Eof()) << sql;
    return rs->Eof() ? std::string() : rs->Field(column).as_text();
  }

  std::filesystem::path dir_ = testing::make_temp_dir("noxplz-import");
  TempDatabase db_;
  clsPlzManager manager_;
  std::shared_ptr<ScriptedToolkit> tk_ = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use_{tk_};
  frmPlzImport frm_;
  GenSummary summary_;
};

TEST_F(ImportScenario, SoundFileImportsEveryRecordAndVerifiesGreen) {
  const std::string path = generate(GenOptions{});
  tk_->ExpectMsgBox(kQuestion, mb::kYes, mb::kYesNoQuestion, "Achtung");
  import(path);

  EXPECT_EQ(caption_colours(), colours({}));
  EXPECT_EQ(frm_.lbl_Delete.Caption(), "Alle Werte wurden korrekt importiert!");
  EXPECT_EQ(frm_.cmd_Importieren.Caption(), "&Beenden");
  EXPECT_FALSE(frm_.cmd_Abbruch.Enabled());
  EXPECT_EQ(tk_->mouse_pointer(), 0);

  const RecordCounters& c = session().counters;
  const int32_t counters[8] = {c.GE, c.KG, c.OE, c.OR, c.OT, c.PF, c.PL, c.ST};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(kCodes[i]);
    const int64_t written = summary_.records.at(kCodes[i]);
    EXPECT_EQ(db_.count(kTables[i]), written);
    EXPECT_EQ(counters[i], written);
    // The label shows the last multiple of 50 the counter reached.
    EXPECT_EQ(frm_.count_label(i).Caption(), std::to_string(written / 50 * 50));
  }
  EXPECT_EQ(db_.count("PRUEF_DA"), summary_.check_records);

  // "&Beenden" closes the dialog for good.
  frm_.cmd_Importieren.Click();
  EXPECT_TRUE(frm_.Abbruch());
}

TEST_F(ImportScenario, AnsweringNoLeavesTheOldDataUntouched) {
  db_.insert("ORT_DA", {{"ONAME", "Altdorf"}, {"Datum", "20200101"}});
  db_.insert("PRUEF_DA", {{"Dateikennung", "OR"}, {"Satzzahl", "1"}});
  tk_->ExpectMsgBox(kQuestion, mb::kNo, mb::kYesNoQuestion, "Achtung");
  import(generate(GenOptions{}));
  EXPECT_EQ(db_.count("ORT_DA"), 1);
  EXPECT_EQ(db_.count("PRUEF_DA"), 1);
  EXPECT_EQ(db_.count("STR_DA"), 0);
  // No verification ran: the notice is as the reset left it.
  EXPECT_EQ(frm_.lbl_Delete.Caption(), "Alter Datafactory-Datenbestand wird gelöscht!");
  EXPECT_FALSE(frm_.lbl_Delete.Visible());
}

TEST_F(ImportScenario, InvalidFirstLineDeletesNothing) {
  db_.insert("STR_DA", {{"Name46", "Hauptstr"}});
  GenOptions header;
  header.header_line = true;
  const std::string sound = read(generate(GenOptions{}, "gut.dat"));
  const std::string ge_short = record({{"GE", 2}, {"2612", 4}, {"001", 3}, {"20240101", 8}, {"", 306}}).substr(0, 323);
  const std::string files[] = {
      generate(header, "kopf.dat"),
      write(ge_short + "\r\n" + sound, "kurz.dat"),  // 323 characters of a GE record, then a sound file
      write("", "leer.dat"),
      write("\r\n" + sound, "leerzeile.dat"),
  };
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    tk_->ExpectMsgBox("Dies ist keine gültige Datafactory-Datei!", mb::kOk, mb::kOkOnly, "NoxPlz");
    import(f);
    tk_->Verify();
    EXPECT_EQ(db_.count("STR_DA"), 1);
  }
  // A first check record whose count cannot be read is reported and is no sound first line either.
  tk_->ExpectMsgBox("Fehler beim Import der XX-Sätze!\n13 / Typen unverträglich");
  tk_->ExpectMsgBox("Dies ist keine gültige Datafactory-Datei!");
  import(write("XX2612001ST1        0000000020240115$\r\n" + sound, "xx.dat"));
  EXPECT_EQ(db_.count("STR_DA"), 1);
}

TEST_F(ImportScenario, WrongEndMarksAreReportedPerRecordAndSkipped) {
  GenOptions o;
  o.wrong_end_marks = 3;
  o.wrong_end_mark_type = "ST";
  const std::string path = generate(o);
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  for (int i = 0; i < 3; ++i)
    tk_->ExpectMsgBox("Falsche Satzlänge bei den ST-Sätzen, Import nicht möglich!", mb::kOk, mb::kOkOnly, "NoxPlz");
  import(path);
  EXPECT_EQ(db_.count("STR_DA"), summary_.records.at("ST") - 3);
  EXPECT_EQ(session().counters.ST, summary_.records.at("ST") - 3);
  // The file's check records count the damaged records: ST cannot agree.
  EXPECT_EQ(caption_colours(), colours({"ST"}));
  EXPECT_EQ(frm_.lbl_Delete.Caption(), "Es konnten nicht alle Werte korrekt importiert werden!");
  EXPECT_EQ(frm_.cmd_Importieren.Caption(), "&Importieren");
}

TEST_F(ImportScenario, WrongCheckCountTurnsExactlyThatTypeRed) {
  GenOptions o;
  o.wrong_count_type = "PF";
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  import(generate(o));
  EXPECT_EQ(caption_colours(), colours({"PF"}));
  EXPECT_EQ(db_.count("POFA_DA"), summary_.records.at("PF"));
}

TEST_F(ImportScenario, FalseGreenCasesAreRed) {
  const std::string sound = read(generate(GenOptions{}));
  // A check record whose group never arrived, and no check record at all for OE.
  std::string changed;
  std::istringstream lines(sound);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("XX2612001OE", 0) != 0) changed += line + "\n";
  changed += "XX2612001ST9000000050000000101200505$\r\n";
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  import(write(changed));
  EXPECT_EQ(caption_colours(), colours({"OE", "ST"}));
  EXPECT_EQ(frm_.lbl_Delete.Caption(), "Es konnten nicht alle Werte korrekt importiert werden!");
}

TEST_F(ImportScenario, UnknownLinesLowerCaseCodesAndLineFeedsOnly) {
  GenOptions o;
  o.unknown_lines = 7;
  o.lower_case_type = "OR";
  std::string bytes = read(generate(o));
  // The same file moved to a system that ends lines with LF alone.
  std::string lf;
  for (char ch : bytes)
    if (ch != '\r') lf += ch;
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  import(write(lf));
  EXPECT_EQ(caption_colours(), colours({}));
  EXPECT_EQ(db_.count("ORT_DA"), summary_.records.at("OR"));
  EXPECT_EQ(text("SELECT DISTINCT Version_Dateikennung AS K FROM ORT_DA", "K"), "or");
  EXPECT_EQ(session().counters.OR, summary_.records.at("OR"));
}

TEST_F(ImportScenario, StoredValuesAreExactlyTheFileFields) {
  const std::string name46 = "M\x81hlen-Stra\xE1" "e O'Brien";  // 21 bytes, 25 blanks follow
  const std::string st = record({{"st", 2},       {"2612", 4},     {"001", 3},     {"20240115", 8}, {"01234567", 8},
                                 {"123456", 6},   {"54321", 5},    {"1", 8},       {"99", 8},       {"1", 1},
                                 {"0", 1},        {"1", 1},        {"MUEHLEN", 46}, {name46, 46},    {"M\x81hlen", 22},
                                 {"", 1},         {"U", 1},        {"12345", 5},   {"007", 3},      {"001", 3},
                                 {"22222222", 8}, {"09162000", 8}, {"", 8},        {"", 6},         {"", 5},
                                 {"", 8},         {"", 8}});
  ASSERT_EQ(st.size(), 234u);
  const std::string orl = record({{"OR", 2},        {"2612", 4},        {"001", 3},  {"20240115", 8}, {"01234567", 8},
                                  {"1", 1},         {"Gr\x94\xE1" "dorf", 40}, {"", 40}, {"b. K\x94ln", 30},
                                  {"1", 1},         {"Gr\x94\xE1" "dorf", 24}, {"09162000", 8}, {"", 8}});
  ASSERT_EQ(orl.size(), 178u);
  // A PF line longer than its record: what follows the end mark is ignored.
  const std::string pf = record({{"PF", 2}, {"2612", 4}, {"001", 3}, {"20240115", 8}, {"01234567", 8}, {"000001", 6},
                                 {"000099", 6}, {"1", 1}, {"11111111", 8}, {"0", 1}, {"12345", 5}, {"2", 1},
                                 {"", 6}, {"", 6}}) + "REST";
  ASSERT_EQ(pf.size(), 70u);
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  tk_->ExpectMsgBox("Fehler beim Import der XX-Sätze!\n13 / Typen unverträglich", mb::kOk, mb::kOkOnly, "NoxPlz");
  tk_->ExpectMsgBox("Falsche Satzlänge bei den XX-Sätzen, Import nicht möglich!", mb::kOk, mb::kOkOnly, "NoxPlz");
  import(write(kg_line("09162000", "M\x81nchen") + "\r\n" + st + "\r" + orl + "\n" + pf + "\r\n" +
               "XX2612001ST1        0000000020240115$\r\n" +  // count of blanks: conversion error
               "XX2612001ST100000001000000002024011\r\n" +   // 36 characters: no end mark
               "XX2612001ST1000000010000000020240115$"));     // last line without ending

  EXPECT_EQ(text("SELECT Version_Dateikennung AS V FROM STR_DA", "V"), "st");
  EXPECT_EQ(text("SELECT Name46 FROM STR_DA", "Name46"), "Mühlen-Straße O`Brien" + std::string(25, ' '));
  EXPECT_EQ(text("SELECT HNRVON FROM STR_DA", "HNRVON"), "1       ");
  EXPECT_EQ(text("SELECT HNR_Typ FROM STR_DA", "HNR_Typ"), "U");
  EXPECT_EQ(text("SELECT OTL_Schl FROM STR_DA", "OTL_Schl"), "001");
  EXPECT_EQ(text("SELECT HNRBIS_NEU FROM STR_DA", "HNRBIS_NEU"), std::string(8, ' '));
  EXPECT_EQ(text("SELECT ONAME FROM ORT_DA", "ONAME"), "Größdorf" + std::string(32, ' '));
  EXPECT_EQ(text("SELECT OZUSATZ FROM ORT_DA", "OZUSATZ"), "b. Köln" + std::string(23, ' '));
  EXPECT_EQ(text("SELECT name FROM KGS_DA", "name"), "München" + std::string(33, ' '));
  EXPECT_EQ(text("SELECT PFNRBIS_NEU FROM POFA_DA", "PFNRBIS_NEU"), std::string(6, ' '));
  EXPECT_EQ(db_.count("PRUEF_DA"), 1);
  EXPECT_EQ(text("SELECT Satzzahl FROM PRUEF_DA", "Satzzahl"), "1");
  EXPECT_EQ(text("SELECT Datum_Summe FROM PRUEF_DA", "Datum_Summe"), "0000000020240115");
  // Only ST has a check record, and it agrees.
  EXPECT_EQ(caption_colours(), colours({"GE", "KG", "OE", "OR", "OT", "PF", "PL"}));
}

TEST_F(ImportScenario, ProgressLabelsChangeEveryFiftiethRecordOnly) {
  GenOptions o;
  o.orte = 123;
  o.oe = 20;
  std::vector<std::string> or_captions{"0"};
  frm_.lbl_OR_Saetze.on_model_changed = [&](Control&) {
    if (or_captions.empty() || or_captions.back() != frm_.lbl_OR_Saetze.Caption())
      or_captions.push_back(frm_.lbl_OR_Saetze.Caption());
  };
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  import(generate(o));
  EXPECT_EQ(or_captions, (std::vector<std::string>{"0", "50", "100"}));
  EXPECT_EQ(frm_.lbl_OR_Saetze.ForeColor(), color::kBlack);
  // Fewer than 50 OE records: the label keeps "0" in the grey of the deletion.
  EXPECT_EQ(frm_.lbl_OE_Saetze.Caption(), "0");
  EXPECT_EQ(frm_.lbl_OE_Saetze.ForeColor(), color::kGrayText);
  EXPECT_EQ(session().counters.OE, 20);
}

TEST_F(ImportScenario, AbortThroughTheDialogStopsBeforeTheNextLineAndStillVerifies) {
  int events = 0;
  int64_t rows_at_abort = -1;
  auto rows = [&] {
    int64_t n = 0;
    for (const char* t : kTables) n += db_.count(t);
    return n + db_.count("PRUEF_DA");
  };
  tk_->on_do_events = [&] {
    if (++events == 400) {
      frm_.cmd_Abbruch.Click();
      rows_at_abort = rows();
    }
  };
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  tk_->ExpectMsgBox("Wollen Sie den Import wirklich abbrechen?", mb::kYes, mb::kYesNo, "Abbruch");
  import(generate(GenOptions{}));
  EXPECT_TRUE(frm_.Abbruch());
  EXPECT_GT(rows_at_abort, 0);
  EXPECT_EQ(rows(), rows_at_abort);
  EXPECT_LT(rows_at_abort, summary_.lines);
  // The verification ran on what arrived.
  EXPECT_EQ(frm_.lbl_Delete.Caption(), "Es konnten nicht alle Werte korrekt importiert werden!");
  EXPECT_EQ(frm_.lbl_ST_Label.ForeColor(), color::kRed);
}

TEST_F(ImportScenario, CancelAnsweredNoAndCloseByFrameNoGoOnImporting) {
  int events = 0;
  tk_->on_do_events = [&] {
    ++events;
    if (events == 100) frm_.cmd_Abbruch.Click();
    if (events == 200) frm_.CloseRequested();
    // A second press of the import button during the run does nothing.
    if (events == 300) frm_.cmd_Importieren.Click();
  };
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  tk_->ExpectMsgBox("Wollen Sie den Import wirklich abbrechen?", mb::kNo, mb::kYesNo, "Abbruch");
  tk_->ExpectMsgBox("Wollen Sie den Import wirklich abbrechen?", mb::kNo, mb::kYesNo, "Abbruch");
  import(generate(GenOptions{}));
  EXPECT_FALSE(frm_.Abbruch());
  EXPECT_EQ(caption_colours(), colours({}));
  EXPECT_EQ(db_.count("STR_DA"), summary_.records.at("ST"));
}

TEST_F(ImportScenario, DuplicatesOnAKeyedTableAreSkippedSilently) {
  db_.exec("CREATE UNIQUE INDEX UX_KGS_TEST ON KGS_DA (schluessel)");
  const std::string kg = kg_line("09162000", "M\x81nchen");
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  import(write(kg + "\r\n" + kg + "\r\n" + kg_line("09162001", "Augsburg") + "\r\n" + kg + "\r\n"));
  EXPECT_EQ(db_.count("KGS_DA"), 2);
  EXPECT_EQ(session().counters.KG, 2);
}

TEST_F(ImportScenario, MissingFileOnlyVerifies) {
  import((dir_ / "fehlt.dat").string());
  EXPECT_EQ(caption_colours(), colours({"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"}));
  EXPECT_EQ(frm_.lbl_Delete.Caption(), "Es konnten nicht alle Werte korrekt importiert werden!");
}

// Answers every question with Yes and keeps every message shown.
class CollectingToolkit : public ScriptedToolkit {
 public:
  int MsgBox(std::string_view prompt, int style, std::string_view) override {
    shown.emplace_back(prompt);
    return (style & 0xF) == mb::kYesNo ? mb::kYes : mb::kOk;
  }
  std::vector<std::string> shown;
};

TEST_F(ImportScenario, RejectedRowsAreReportedAndTheRunGoesOn) {
  auto tk = std::make_shared<CollectingToolkit>();
  ScopedToolkit use(tk);
  db_.exec("CREATE TRIGGER NUR_TEST BEFORE INSERT ON OTL_DA BEGIN SELECT RAISE(ABORT, 'abgelehnt'); END");
  GenOptions o;
  o.ot = 3;
  import(generate(o));
  ASSERT_EQ(tk->shown.size(), 4u);  // the question, then one message per OT record
  for (size_t i = 1; i < tk->shown.size(); ++i) {
    EXPECT_EQ(tk->shown[i].rfind("Fehler beim Import der OT-Sätze!\n", 0), 0u) << tk->shown[i];
    EXPECT_NE(tk->shown[i].find("abgelehnt"), std::string::npos) << tk->shown[i];
  }
  EXPECT_EQ(session().counters.OT, 0);
  EXPECT_EQ(db_.count("STR_DA"), summary_.records.at("ST"));
  EXPECT_EQ(caption_colours(), colours({"OT"}));
}

class CapturingLog : public ErrorLog {
 public:
  void Report(const ErrorReport& r) override { reports.push_back(r); }
  std::vector<ErrorReport> reports;
};

TEST_F(ImportScenario, RunWithoutConnectionIsReportedAndLogged) {
  auto log = std::make_shared<CapturingLog>();
  auto previous = set_error_log(log);
  session().connection.reset();
  tk_->ExpectMsgBox(
      "Fehler beim Importieren der Datafactory Postalcode Daten\n91 / Objektvariable oder With-Blockvariable nicht "
      "festgelegt",
      mb::kOk, mb::kOkOnly, "NoxPlz");
  import(generate(GenOptions{}));
  set_error_log(previous);
  ASSERT_EQ(log->reports.size(), 1u);
  EXPECT_EQ(log->reports[0].procedure, "clsPlzImport.Saetze_Einlesen");
  EXPECT_EQ(log->reports[0].number, 91);
  EXPECT_EQ(log->reports[0].message, "Objektvariable oder With-Blockvariable nicht festgelegt");
  // No verification after the error.
  EXPECT_NE(frm_.lbl_Delete.Caption(), "Es konnten nicht alle Werte korrekt importiert werden!");
}

TEST_F(ImportScenario, FailedDeletionStopsTheImport) {
  db_.insert("GROSS_DA", {{"Name", "Alt"}});
  db_.exec("DROP TABLE PRUEF_DA");
  std::string expected;
  try {
    db_.exec("DELETE FROM PRUEF_DA");
  } catch (const Error& e) {
    expected = format_error_number(e);
  }
  ASSERT_FALSE(expected.empty());
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  tk_->ExpectMsgBox(expected, mb::kOk, mb::kOkOnly, "NoxPlz");
  tk_->ExpectMsgBox("Bestehende Datafactory-Daten können nicht gelöscht werden! Import wird abgeprochen.", mb::kOk,
                    mb::kOkOnly, "NoxPlz");
  import(generate(GenOptions{}));
  EXPECT_EQ(db_.count("GROSS_DA"), 0);  // emptied before the failure
  EXPECT_EQ(db_.count("STR_DA"), 0);
  EXPECT_FALSE(frm_.lbl_Delete.Visible());
  EXPECT_EQ(tk_->mouse_pointer(), 0);
}

}  // namespace
}  // namespace noxplz
