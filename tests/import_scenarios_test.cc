// End-to-end imports: generated (and a few hand-made) Datafactory files
// imported through the import dialog into a fresh SQLite database, with
// every message box scripted.
#include <gtest/gtest.h>

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
#include "testing/postal_fixture.h"

namespace noxplz {
namespace {

using datafactory::GenOptions;

constexpr const char* kCodes[8] = {"GE", "KG", "OE", "OR", "OT", "PF", "PL", "ST"};
constexpr const char* kTables[8] = {"GROSS_DA", "KGS_DA", "ORG_DA", "ORT_DA", "OTL_DA", "POFA_DA", "PLZ_DA", "STR_DA"};
const std::string kQuestion = "Vor dem Import werden eventuell vorhandene Datafactory-Daten gelöscht! Weiter?";
const std::string kCancelQuestion = "Wollen Sie den Import wirklich abbrechen?";
const std::string kAllGood = "Alle Werte wurden korrekt importiert!";
const std::string kNotAllGood = "Es konnten nicht alle Werte korrekt importiert werden!";
const std::string kNotTakenOver =
    "Die neuen Daten wurden nicht übernommen, weil die Prüfung nicht alle Werte bestätigt hat. "
    "Die bisherigen Postdaten bleiben unverändert erhalten.";
// The deletion question: Yes/No with the question icon, "Nein" the default button.
constexpr int kQuestionStyle = mb::kYesNoQuestion | mb::kDefaultButton2;

std::string blanks(int n) { return std::string(static_cast<size_t>(n), ' '); }

// A count as the labels show it, with German thousands separators ("3.050").
std::string shown_count(int64_t n) {
  std::string digits = std::to_string(n % 1000);
  if (n < 1000) return digits;
  return std::to_string(n / 1000) + "." + std::string(3 - digits.size(), '0') + digits;
}

// Fields padded with blanks (or cut) to their widths, then the end mark.
std::string record(std::initializer_list<std::pair<std::string, int>> fields) {
  std::string line;
  for (const auto& [value, width] : fields) line += (value + blanks(width)).substr(0, static_cast<size_t>(width));
  return line + "$";
}

std::string kg_line(const std::string& schluessel, const std::string& name) {
  return record({{"KG", 2}, {"2612", 4}, {"001", 3}, {"20240115", 8}, {schluessel, 8}, {"G", 1}, {name, 40}});
}

class ImportScenario : public testing::ScriptedTest {
 protected:
  ImportScenario() {
    manager_.Init(nullptr, "", db_.connection());
    frm_.raise_load();
  }

  // A generated file's bytes; its summary goes to summary_.
  std::string generated(const GenOptions& o = {}) {
    std::ostringstream out;
    summary_ = datafactory::generate(out, o);
    return out.str();
  }
  std::string write(const std::string& bytes, const std::string& name = "daten.dat") {
    return testing::write_file(db_.dir(), name, bytes);
  }
  // Presses "&Importieren" with `path` in the path field.
  void import(const std::string& path) {
    frm_.txtDatenDatei.Text(path);
    frm_.cmd_Importieren.Click();
  }
  // The types whose caption is red ("?" for a colour neither red nor green).
  std::string red_types() {
    std::string red;
    for (int i = 0; i < 8; ++i) {
      const int32_t c = frm_.caption_label(i).ForeColor();
      red += c == color::kRed ? std::string(kCodes[i]) + " " : (c == color::kGreen ? "" : "? ");
    }
    return red;
  }
  // The columns of the table's first row, joined by "|".
  std::string fields(const std::string& table, std::initializer_list<const char*> columns) {
    RecordsetPtr rs = db_.connection()->Execute("SELECT * FROM " + table);
    std::string joined;
    for (const char* c : columns)
      joined += (c == *columns.begin() ? "" : "|") + (rs->Eof() ? "?" : rs->Field(c).as_text());
    return joined;
  }
  int64_t all_rows() {
    int64_t n = db_.count("PRUEF_DA");
    for (const char* t : kTables) n += db_.count(t);
    return n;
  }
  int64_t records(const char* code) { return summary_.records.at(code); }

  clsPlzManager manager_;
  frmPlzImport frm_;
  datafactory::GenSummary summary_;
};

// A generated file, sound or with one deliberate fault, in one line ending.
struct GeneratedCase {
  const char* name;
  void (*fault)(GenOptions&);
  char drop;        // removed from the generator's CR LF line ends ('\0': none)
  const char* red;  // types that must turn red
};

void PrintTo(const GeneratedCase& c, std::ostream* os) { *os << c.name; }

class GeneratedImport : public ImportScenario, public ::testing::WithParamInterface<GeneratedCase> {};

TEST_P(GeneratedImport, StoresEveryRecordAndVerifiesThenAnsweringNoKeepsTheData) {
  const GeneratedCase& c = GetParam();
  GenOptions o;
  c.fault(o);
  std::string bytes = generated(o);
  std::erase(bytes, c.drop);
  std::vector<std::vector<std::string>> shown(8, {"0"});  // every caption each count label showed
  for (int i = 0; i < 8; ++i)
    frm_.count_label(i).on_model_changed = [&, i](Control&) {
      if (shown[i].back() != frm_.count_label(i).Caption()) shown[i].push_back(frm_.count_label(i).Caption());
    };
  const bool green = std::string(c.red).empty();
  tk_->ExpectMsgBox(kQuestion, mb::kYes, kQuestionStyle, "Achtung");
  for (int i = 0; i < o.wrong_end_marks; ++i)
    tk_->ExpectMsgBox("Falsche Satzlänge bei den " + o.wrong_end_mark_type + "-Sätzen, Import nicht möglich!",
                      mb::kOk, mb::kOkOnly, "NoxPlz");
  // A red verification keeps the old data (here: none) and says so.
  if (!green) tk_->ExpectMsgBox(kNotTakenOver, mb::kOk, mb::kOkOnly, "NoxPlz");
  import(write(bytes));

  const RecordCounters& n = session().counters;
  const int32_t counters[8] = {n.GE, n.KG, n.OE, n.OR, n.OT, n.PF, n.PL, n.ST};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(kCodes[i]);
    // Records with a wrong end mark are skipped; the check records still count them.
    const int64_t stored = records(kCodes[i]) - (o.wrong_end_mark_type == kCodes[i] ? o.wrong_end_marks : 0);
    EXPECT_EQ(db_.count(kTables[i]), green ? stored : 0);
    EXPECT_EQ(counters[i], stored);
    // The label moves on at every 50th record while reading, in black, and
    // shows the true final count at the end; a type without records keeps
    // the grey of the deletion.
    std::vector<std::string> every_50th;
    for (int64_t k = 0; k <= stored; k += 50) every_50th.push_back(shown_count(k));
    if (stored % 50 != 0) every_50th.push_back(shown_count(stored));
    EXPECT_EQ(shown[i], every_50th);
    EXPECT_EQ(frm_.count_label(i).ForeColor(), stored > 0 ? color::kBlack : color::kGrayText);
  }
  EXPECT_EQ(db_.count("PRUEF_DA"), green ? summary_.check_records : 0);
  EXPECT_EQ(red_types(), c.red);
  EXPECT_EQ(tk_->mouse_pointer(), 0);
  EXPECT_EQ(frm_.lbl_Delete.Caption(), green ? kAllGood : kNotAllGood);
  EXPECT_EQ(frm_.cmd_Importieren.Caption(), green ? "&Beenden" : "&Importieren");
  EXPECT_EQ(frm_.cmd_Abbruch.Enabled(), !green);
  if (green) {
    frm_.cmd_Importieren.Click();  // "&Beenden" closes the dialog for good
    EXPECT_TRUE(frm_.Abbruch());
    return;
  }
  // Importing again, the deletion question answered No: the data stays, the display is reset.
  db_.insert("ORT_DA", {{"ONAME", "Altdorf"}});  // not in the file
  const int64_t rows = all_rows();
  tk_->ExpectMsgBox(kQuestion, mb::kNo, kQuestionStyle, "Achtung");
  frm_.cmd_Importieren.Click();
  EXPECT_EQ(all_rows(), rows);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(frm_.caption_label(i).ForeColor(), static_cast<int32_t>(0x80000012)) << kCodes[i];  // button text
    EXPECT_EQ(frm_.count_label(i).Caption(), "0") << kCodes[i];
  }
  EXPECT_EQ(session().counters.ST, 0);
  EXPECT_EQ(frm_.lbl_Delete.Caption(), "Alter Datafactory-Datenbestand wird gelöscht!");  // no verification ran
}

INSTANTIATE_TEST_SUITE_P(
    Files, GeneratedImport,
    ::testing::Values(
        GeneratedCase{"Sound", [](GenOptions&) {}, '\0', ""},
        GeneratedCase{"WrongEndMarks", [](GenOptions& o) { o.wrong_end_marks = 3; }, '\0', "ST "},
        GeneratedCase{"WrongCheckCount", [](GenOptions& o) { o.wrong_count_type = "PF"; }, '\0', "PF "},
        GeneratedCase{"UnknownLinesWithLineFeeds", [](GenOptions& o) { o.unknown_lines = 7; }, '\r', ""},
        GeneratedCase{"LowerCaseCodesWithCarriageReturns", [](GenOptions& o) { o.lower_case_type = "OR"; }, '\n', ""}),
    [](const ::testing::TestParamInfo<GeneratedCase>& info) { return std::string(info.param.name); });

TEST_F(ImportScenario, InvalidFirstLineDeletesNothing) {
  db_.insert("STR_DA", {{"Name46", "Hauptstr"}});
  GenOptions header;
  header.header_line = true;
  const std::string sound = generated();
  const std::string ge_short = record({{"GE", 2}, {"2612", 4}, {"001", 3}, {"20240101", 8}, {"", 306}}).substr(0, 323);
  for (const std::string& bytes : {generated(header), ge_short + "\r\n" + sound, std::string(), "\r\n" + sound}) {
    SCOPED_TRACE(bytes.substr(0, 30));
    tk_->ExpectMsgBox("Dies ist keine gültige Datafactory-Datei!", mb::kOk, mb::kOkOnly, "NoxPlz");
    import(write(bytes));
    tk_->Verify();
    EXPECT_EQ(db_.count("STR_DA"), 1);
  }
  // A first check record whose count cannot be read is reported and is no sound first line either.
  tk_->ExpectMsgBox("Fehler beim Import der XX-Sätze!\n13 / Typen unverträglich");
  tk_->ExpectMsgBox("Dies ist keine gültige Datafactory-Datei!");
  import(write("XX2612001ST1        0000000020240115$\r\n" + sound));
  EXPECT_EQ(db_.count("STR_DA"), 1);
}

TEST_F(ImportScenario, StoredValuesAreExactlyTheFileFields) {
  const std::string name46 = "M\x81hlen-Stra\xE1" "e O'Brien";  // 21 bytes, 25 blanks follow
  const std::string st = record({{"st", 2},       {"2612", 4},     {"001", 3},     {"20240115", 8}, {"01234567", 8},
                                 {"123456", 6},   {"54321", 5},    {"1", 8},       {"99", 8},       {"1", 1},
                                 {"0", 1},        {"1", 1},        {"MUEHLEN", 46}, {name46, 46},    {"M\x81hlen", 22},
                                 {"", 1},         {"U", 1},        {"12345", 5},   {"007", 3},      {"001", 3},
                                 {"22222222", 8}, {"09162000", 8}, {"", 8},        {"", 6},         {"", 5},
                                 {"", 8},         {"", 8}});
  const std::string orl = record({{"OR", 2}, {"2612", 4}, {"001", 3}, {"20240115", 8}, {"01234567", 8}, {"1", 1},
                                  {"Gr\x94\xE1" "dorf", 40}, {"", 40}, {"b. K\x94ln", 30}, {"1", 1},
                                  {"Gr\x94\xE1" "dorf", 24}, {"09162000", 8}, {"", 8}});
  // A PF line longer than its record: what follows the end mark is ignored.
  const std::string pf = record({{"PF", 2}, {"2612", 4}, {"001", 3}, {"20240115", 8}, {"01234567", 8}, {"000001", 6},
                                 {"000099", 6}, {"1", 1}, {"11111111", 8}, {"0", 1}, {"12345", 5}, {"2", 1},
                                 {"", 6}, {"", 6}}) + "REST";
  ASSERT_EQ(st.size() + orl.size() + pf.size(), 234u + 178u + 70u);
  // The verification is red (only ST has a check record), so the rows are
  // taken back at the end: they are read while the run still holds them.
  std::vector<std::string> stored;
  tk_->on_do_events = [&] {
    stored = {fields("STR_DA", {"Version_Dateikennung", "Name46", "HNRVON", "HNR_Typ", "OTL_Schl", "HNRBIS_NEU"}),
              fields("ORT_DA", {"ONAME", "OZUSATZ"}), fields("KGS_DA", {"name"}), fields("POFA_DA", {"PFNRBIS_NEU"}),
              fields("PRUEF_DA", {"Satzzahl", "Datum_Summe"}), std::to_string(db_.count("PRUEF_DA"))};
  };
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  tk_->ExpectMsgBox("Fehler beim Import der XX-Sätze!\n13 / Typen unverträglich", mb::kOk, mb::kOkOnly, "NoxPlz");
  tk_->ExpectMsgBox("Falsche Satzlänge bei den XX-Sätzen, Import nicht möglich!", mb::kOk, mb::kOkOnly, "NoxPlz");
  tk_->ExpectMsgBox(kNotTakenOver, mb::kOk, mb::kOkOnly, "NoxPlz");
  import(write(kg_line("09162000", "M\x81nchen") + "\r\n" + st + "\r" + orl + "\n" + pf + "\r\n" +
               "XX2612001ST1        0000000020240115$\r\n" +  // count of blanks: conversion error
               "XX2612001ST100000001000000002024011\r\n" +   // 36 characters: no end mark
               "XX2612001ST1000000010000000020240115$"));     // last line without ending

  ASSERT_EQ(stored.size(), 6u);
  EXPECT_EQ(stored[0], "st|Mühlen-Straße O`Brien" + blanks(25) + "|1       |U|001|" + blanks(8));  // the type code as in the file
  EXPECT_EQ(stored[1], "Größdorf" + blanks(32) + "|b. Köln" + blanks(23));
  EXPECT_EQ(stored[2], "München" + blanks(33));
  EXPECT_EQ(stored[3], blanks(6));
  EXPECT_EQ(stored[4], "1|0000000020240115");
  EXPECT_EQ(stored[5], "1");
  EXPECT_EQ(all_rows(), 0);  // taken back
  // Only ST has a check record, and it agrees; KG, OR and PF have rows without
  // one; GE, OE, OT and PL were not delivered at all (normal colour, "? ").
  EXPECT_EQ(red_types(), "? KG ? OR ? PF ? ");
  EXPECT_EQ(frm_.lbl_GE_Label.ForeColor(), static_cast<int32_t>(0x80000012));  // the caption's own colour
}

TEST_F(ImportScenario, CancelAnsweredNoGoesOnYesStopsBeforeTheNextLineAndStillVerifies) {
  const std::string path = write(generated());
  int events = 0;
  int64_t rows_at_abort = -1;
  tk_->on_do_events = [&] {
    ++events;
    if (events == 100) frm_.cmd_Abbruch.Click();
    if (events == 200) frm_.CloseRequested();         // asks the cancel question during an import
    if (events == 300) frm_.cmd_Importieren.Click();  // does nothing during the run
    if (events != 400) return;
    frm_.cmd_Abbruch.Click();
    rows_at_abort = all_rows();
  };
  tk_->ExpectForm("frmPlzImport", [&](Form&) {
    tk_->ExpectMsgBox(kQuestion, mb::kYes);
    tk_->ExpectMsgBox(kCancelQuestion, mb::kNo, mb::kYesNo, "Abbruch");
    tk_->ExpectMsgBox(kCancelQuestion, mb::kNo, mb::kYesNo, "Abbruch");
    tk_->ExpectMsgBox(kCancelQuestion, mb::kYes, mb::kYesNo, "Abbruch");
    tk_->ExpectMsgBox("Der Import wurde abgebrochen. Die bisherigen Postdaten bleiben unverändert erhalten.",
                      mb::kOk, mb::kOkOnly, "NoxPlz");
    import(path);
    // Hidden by the cancel, yet the run verified what arrived.
    EXPECT_FALSE(frm_.visible());
    EXPECT_EQ(frm_.lbl_Delete.Caption(), kNotAllGood);
    EXPECT_EQ(frm_.lbl_ST_Label.ForeColor(), color::kRed);
  });
  tk_->ShowModal(frm_);
  EXPECT_TRUE(frm_.Abbruch());
  EXPECT_GT(rows_at_abort, 0);
  EXPECT_LT(rows_at_abort, summary_.lines);
  EXPECT_EQ(all_rows(), 0);  // the old data (none) is kept
  EXPECT_EQ(tk_->mouse_pointer(), 0);
}

TEST_F(ImportScenario, MissingFileOnlyVerifies) {
  import((db_.dir() / "fehlt.dat").string());
  EXPECT_EQ(red_types(), "? ? ? ? ? ? ? ? ");  // nothing delivered, and nothing verified either
  EXPECT_EQ(frm_.lbl_Delete.Caption(), kNotAllGood);
}

// Answers every question with Yes and keeps every message shown.
class CollectingToolkit : public testing::ScriptedToolkit {
 public:
  int MsgBox(std::string_view prompt, int style, std::string_view) override {
    shown.emplace_back(prompt);
    return (style & 0xF) == mb::kYesNo ? mb::kYes : mb::kOk;
  }
  std::vector<std::string> shown;
};

TEST_F(ImportScenario, DuplicatesOnAKeyedTableAreSkippedSilentlyOtherRejectionsReported) {
  auto tk = std::make_shared<CollectingToolkit>();
  ScopedToolkit use(tk);
  db_.exec("CREATE UNIQUE INDEX UX_KGS_TEST ON KGS_DA (schluessel)");
  if (db_.is_postgresql())
    db_.exec("ALTER TABLE KGS_DA ADD CONSTRAINT abgelehnt CHECK (schluessel <> '09162001')");
  else
    db_.exec("CREATE TRIGGER NUR_TEST BEFORE INSERT ON KGS_DA WHEN NEW.schluessel = '09162001' "
             "BEGIN SELECT RAISE(ABORT, 'abgelehnt'); END");
  const std::string kg = kg_line("09162000", "M\x81nchen") + "\r\n";
  // No check records: the verification is red and the rows are taken
  // back at the end, so they are counted while the run holds them.
  int32_t kg_rows = -1;
  std::string first_key;
  tk->on_do_events = [&] {
    kg_rows = db_.count("KGS_DA");
    first_key = fields("KGS_DA", {"schluessel"});
  };
  import(write(kg + kg + kg_line("09162001", "Augsburg") + "\r\n" + kg + kg_line("09162002", "Passau")));
  // The question, one message for the rejected record only, the data kept.
  ASSERT_EQ(tk->shown.size(), 3u);
  EXPECT_TRUE(tk->shown[1].starts_with("Fehler beim Import der KG-Sätze!\n")) << tk->shown[1];
  EXPECT_NE(tk->shown[1].find("abgelehnt"), std::string::npos) << tk->shown[1];
  EXPECT_EQ(tk->shown[2], kNotTakenOver);
  EXPECT_EQ(first_key, "09162000");
  EXPECT_EQ(kg_rows, 2);  // the run went on after the rejection
  EXPECT_EQ(session().counters.KG, 2);
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
  tk_->ExpectMsgBox("Fehler beim Importieren der Datafactory Postalcode Daten\n"
                    "91 / Objektvariable oder With-Blockvariable nicht festgelegt",
                    mb::kOk, mb::kOkOnly, "NoxPlz");
  import(write(generated()));
  set_error_log(previous);
  ASSERT_EQ(log->reports.size(), 1u);
  EXPECT_EQ(log->reports[0].procedure, "clsPlzImport.Saetze_Einlesen");
  EXPECT_EQ(log->reports[0].number, 91);
  EXPECT_EQ(log->reports[0].message, "Objektvariable oder With-Blockvariable nicht festgelegt");
  EXPECT_NE(frm_.lbl_Delete.Caption(), kNotAllGood);  // no verification after the error
}

TEST_F(ImportScenario, FailedDeletionStopsTheImport) {
  db_.insert("GROSS_DA", {{"Name", "Alt"}});
  db_.exec("DROP TABLE PRUEF_DA");
  const std::string expected = db_.error_of("DELETE FROM PRUEF_DA");  // as this backend words it
  ASSERT_FALSE(expected.empty());
  tk_->ExpectMsgBox(kQuestion, mb::kYes);
  tk_->ExpectMsgBox(expected, mb::kOk, mb::kOkOnly, "NoxPlz");
  tk_->ExpectMsgBox("Bestehende Datafactory-Daten können nicht gelöscht werden! Import wird abgeprochen.\n"
                    "Die bisherigen Postdaten bleiben unverändert erhalten.",
                    mb::kOk, mb::kOkOnly, "NoxPlz");
  import(write(generated()));
  EXPECT_EQ(db_.count("GROSS_DA"), 1);  // the tables emptied before the failure are back
  EXPECT_EQ(db_.count("STR_DA"), 0);
  EXPECT_FALSE(frm_.lbl_Delete.Visible());
  EXPECT_EQ(tk_->mouse_pointer(), 0);
}

}  // namespace
}  // namespace noxplz
