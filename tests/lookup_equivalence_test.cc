// The fast forms of the lookups against their plain forms, on a generated
// delivery imported into a real database plus hand-made rows at the
// collation's edges: the index range the backend adds to a LIKE, the
// one-statement Ermittle_Orte and the search dialog's lists made from the
// tables must give the same rows in the same order as the statements they
// stand for.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "datafactory_gen.h"
#include "dialogs/frm_plz.h"
#include "lookup/global.h"
#include "manager/session.h"
#include "noxplz/db.h"
#include "platform/text.h"
#include "testing/scripted_toolkit.h"
#include "testing/imported_delivery.h"
#include "testing/temp_database.h"

namespace noxplz {
namespace {

using Rows = std::vector<std::string>;

// Every field of every row, joined; text as stored (blanks included).
Rows all_rows(const RecordsetPtr& rs) {
  Rows rows;
  const std::vector<std::string> names = rs->FieldNames();
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string line;
    for (const std::string& n : names) line += rs->Field(n).as_text() + "|";
    rows.push_back(line);
  }
  return rows;
}

std::string quoted(const std::string& v) { return "'" + sql_quote(v) + "'"; }

std::string table_rows(const VariantTable& t) {
  std::string out;
  for (int32_t r = 0; r <= t.UpperBound(1); ++r) {
    for (int32_t c = 0; c <= t.UpperBound(2); ++c) out += t.Text(r, c) + "|";
    out += "\n";
  }
  return out;
}

class LookupEquivalence : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = new testing::TempDatabase();
    datafactory::GenOptions o;
    o.st = 20000;
    o.orte = 700;
    o.pl = 1200;
    o.ot = 300;
    std::ostringstream bytes;
    datafactory::generate(bytes, o);
    ASSERT_TRUE(testing::import_delivery(*db_, bytes.str()));  // verified all green
    // Places at the collation's edges: case and umlaut variants of one
    // name, full ties (same name, addition and key) that differ in case or
    // blanks only, names beginning with characters next to the letters.
    int n = 0;
    for (const char* name : {"Zeta", "ZETA", "zeta ", "Zéta", "Zäta", "Zata", "Zßta", "Zssta", "Zsta", "@Ort",
                             "[Ort", "`Ort", "_Ort", "%Ort", "{Ort", "~Ort", "ÿOrt", "ŸOrt", "þOrt", "ÞOrt",
                             "¿Ort", "ÀOrt", "Æort", "×Ort", "÷Ort", "ıOrt", "İOrt", "Zeta", "zeta"}) {
      const std::string alort = ++n < 27 ? "99" + std::to_string(100000 + n) : "99100001";
      db_->insert("ORT_DA", {{"ALORT", alort}, {"ONAME", name}, {"OZUSATZ", ""}, {"STATUS", "G"}});
      db_->insert("PLZ_DA", {{"PLZ", std::to_string(90000 + n)}, {"ALORT", alort}, {"ART_Auslieferung", "6"}});
      for (const char* street : {"Ärger", "arger", "Arger ", "Strasse", "Straße", "STRASSE", "Str.", "[Weg]", " Leerweg"})
        db_->insert("STR_DA", {{"ALORT", "99100001"}, {"NAME46", street}, {"PLZ", "90001"},
                               {"HNRVON", std::to_string(n)}});
    }
  }
  static void TearDownTestSuite() {
    delete db_;
    db_ = nullptr;
  }
  void SetUp() override {
    session() = Session{};
    session().connection = db_->connection();
  }
  void TearDown() override { session() = Session{}; }

  // Patterns: prefixes of real names in several spellings, wildcards, sets,
  // umlauts, trailing blanks and the characters next to the letters.
  static std::vector<std::string> patterns(const std::string& sql) {
    std::set<std::string> out = {"", "Z", "z", "Ze", "ZE", "Zé", "Zä", "Za", "Zß", "Zs", "Zss", "@", "[", "`", "_",
                                 "%", "{", "~", "ÿ", "Ÿ", "þ", "¿", "À", "à", "æ", "×", "÷", "ı", "İ", "Z_ta",
                                 "Z%a", "[Z]", "[[]", "[a-c]", "[^a]", "Ä", "ä", "A", "Ar", "Str", "STRA", "Straß",
                                 "Strasse ", "Bad ", "a ", " ", "Zeta_", "zeta[ ]"};
    const Rows names = all_rows(db_->connection()->Execute(sql));
    for (size_t i = 0; i < names.size(); i += 7) {
      std::string name = names[i].substr(0, names[i].find('|'));
      for (size_t len : {1, 2, 3, 5}) {
        size_t cut = 0;
        for (size_t k = 0; k < len && cut < name.size(); ++k) {
          ++cut;
          while (cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) ++cut;
        }
        const std::string prefix = name.substr(0, cut);
        out.insert(prefix);
        std::string upper = prefix;
        for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        out.insert(upper);
      }
    }
    return {out.begin(), out.end()};
  }

  static testing::TempDatabase* db_;
};

testing::TempDatabase* LookupEquivalence::db_ = nullptr;

// "(col) like" is the plain form: the backend adds no range to it.
TEST_F(LookupEquivalence, LikeWithAnIndexRangeSelectsWhatThePlainLikeSelects) {
  const ConnectionPtr& c = db_->connection();
  size_t compared = 0, non_empty = 0;
  for (const std::string& p : patterns("SELECT ONAME FROM ORT_DA")) {
    const std::string tail = quoted(p + "%") + " ORDER BY OName, OZusatz, ALORT";
    const Rows fast = all_rows(c->Execute("SELECT ALORT_Neu, ozusatz, Oname, ALORT FROM Ort_DA WHERE OName like " + tail));
    const Rows plain =
        all_rows(c->Execute("SELECT ALORT_Neu, ozusatz, Oname, ALORT FROM Ort_DA WHERE (OName) like " + tail));
    ASSERT_EQ(fast, plain) << "OName like '" << p << "%'";
    ++compared;
    non_empty += !fast.empty();
  }
  const Rows places = all_rows(c->Execute("SELECT ALORT, COUNT(*) FROM STR_DA GROUP BY ALORT ORDER BY 2 DESC"));
  for (size_t i = 0; i < places.size() && i < 12; ++i) {
    const std::string alort = places[i].substr(0, places[i].find('|'));
    for (const std::string& p : patterns("SELECT NAME46 FROM STR_DA WHERE ALORT = " + quoted(alort))) {
      const std::string head = "SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = " +
                               quoted(alort) + " and ";
      const std::string tail = " like " + quoted(p + "%") + " order by Name46";
      ASSERT_EQ(all_rows(c->Execute(head + "Name46" + tail)), all_rows(c->Execute(head + "(Name46)" + tail)))
          << alort << " Name46 like '" << p << "%'";
      ++compared;
    }
  }
  EXPECT_GT(compared, 500u);
  EXPECT_GT(non_empty, 100u);
}

// Ermittle_Orte as its classic statements fill the table: the place
// selection without an index range and one Ermittle_Postleitzahl per place.
VariantTable classic_places(const ConnectionPtr& c, const std::string& p) {
  VariantTable classic;
  classic.ReDim(0, 0, 0, 3);
  RecordsetPtr rs = c->Execute("SELECT ALORT_Neu, Oname, ozusatz, ALORT FROM Ort_DA WHERE (OName) like " +
                               quoted(p + "%") + " ORDER BY OName, OZusatz, ALORT");
  for (; !rs->Eof(); rs->MoveNext()) {
    if (!text::trim(rs->Field("ALORT_Neu").as_text()).empty()) continue;
    const int32_t row = classic.UpperBound(1);
    classic.Set(row, 0, text::trim(rs->Field("Oname").as_text()));
    classic.Set(row, 1, text::trim(rs->Field("ozusatz").as_text()));
    classic.Set(row, 2, rs->Field("ALORT").as_text());
    classic.Set(row, 3, Ermittle_Postleitzahl(rs->Field("ALORT").as_text()));
    classic.AppendRows(1);
  }
  return classic;
}

TEST_F(LookupEquivalence, ErmittleOrteGivesTheRowsOfItsClassicStatements) {
  for (const std::string& p : patterns("SELECT ONAME FROM ORT_DA")) {
    VariantTable fast;
    const bool found = Ermittle_Orte(p, fast);
    const VariantTable classic = classic_places(db_->connection(), p);
    ASSERT_EQ(table_rows(fast), table_rows(classic)) << "Ermittle_Orte '" << p << "'";
    EXPECT_EQ(found, classic.UpperBound(1) > 0);
  }
}

// The dialog's lists, made from the tables without the list fillers' second
// selection, hold the lines of the classic rows, one entry per row the
// fillers select.
TEST_F(LookupEquivalence, DialogListsShowTheLinesOfTheClassicRows) {
  auto tk = std::make_shared<testing::ScriptedToolkit>();
  ScopedToolkit use(tk);
  frmPlz f;
  Form form("frmReferenz", "", {0, 0, 100, 100});
  ListBox reference(form, "lst_Referenz", {0, 0, 10, 10}, 0);
  for (const std::string p : {"Z", "Ze", "B", "Bad ", "Neu", "Ä", "[", "_a"}) {
    f.txt_Ort.Text(p);
    ASSERT_EQ(f.lst_Orte.Items(), place_lines(classic_places(db_->connection(), p))) << p;
    Fill_OrtCombo(reference, p);
    ASSERT_EQ(f.lst_Orte.ListCount(), reference.ListCount()) << p;
  }
  f.txt_Ort.Text("Zeta");
  const VariantTable& orte = *session().OrtTabelle;
  ASSERT_GT(orte.UpperBound(1), 0);
  f.lst_Orte.ListIndex(0);
  const std::string alort = orte.Text(0, 2);
  VariantTable strassen;
  std::string alle, keine;
  Ermittle_Strassen(alort, strassen, alle, keine);
  EXPECT_EQ(f.lst_Strassen.Items(), street_lines(strassen));
  Fill_StrCombo(reference, alort, "", "");
  EXPECT_EQ(f.lst_Strassen.ListCount(), reference.ListCount());
  EXPECT_EQ(f.lst_Strassen.ListCount(), session().StrTabelle->UpperBound(1));
  tk->Verify();
}

// The street lines made when read are the lines made all at once, whichever
// line of a group of alike lines is read first: for the places with the
// most streets, read from the last line back and then from the first.
TEST_F(LookupEquivalence, StreetLinesMadeWhenReadAreTheLinesMadeAtOnce) {
  const Rows places =
      all_rows(db_->connection()->Execute("SELECT ALORT, COUNT(*) FROM STR_DA GROUP BY ALORT ORDER BY 2 DESC"));
  size_t settled = 0;
  for (size_t p = 0; p < places.size() && p < 4; ++p) {
    auto strassen = std::make_shared<VariantTable>();
    std::string alle, keine;
    ASSERT_TRUE(Ermittle_Strassen(places[p].substr(0, places[p].find('|')), *strassen, alle, keine));
    const std::vector<std::string> at_once = street_lines(*strassen);
    const auto lazy = street_list_lines(strassen);
    ASSERT_EQ(lazy->size(), at_once.size());
    std::vector<std::string> backwards(at_once.size());
    for (size_t i = at_once.size(); i-- > 0;) backwards[i] = lazy->line(i);
    EXPECT_EQ(backwards, at_once);
    const auto forwards = street_list_lines(strassen);
    for (size_t i = 0; i < at_once.size(); ++i) ASSERT_EQ(forwards->line(i), at_once[i]) << i;
    for (size_t i = 0; i < at_once.size(); ++i) settled += at_once[i] != street_table_line(*strassen, static_cast<int32_t>(i));
  }
  EXPECT_GT(settled, 20u);  // lines that needed their postal code or district
}

// A name typed in a place whose list of all streets the session keeps is
// narrowed from that list: the same rows in the same order as the narrowed
// statement, and where nothing matches the same question.
TEST_F(LookupEquivalence, StreetsNarrowedFromAKeptListAreTheRowsOfTheStatement) {
  auto tk = std::make_shared<testing::ScriptedToolkit>();
  ScopedToolkit use(tk);
  const ConnectionPtr& c = db_->connection();
  const Rows places = all_rows(c->Execute("SELECT ALORT, COUNT(*) FROM STR_DA GROUP BY ALORT ORDER BY 2 DESC"));
  std::vector<std::string> keys = {"99100001"};  // the hand-made streets
  for (size_t i = 0; i < places.size() && i < 5; ++i) keys.push_back(places[i].substr(0, places[i].find('|')));
  size_t compared = 0, empty = 0;
  for (const std::string& alort : keys) {
    VariantTable all;
    std::string alle, keine;
    ASSERT_TRUE(Ermittle_Strassen(alort, all, alle, keine));  // now kept
    // A wildcard or set may meet a blank the name holds after its letters; a
  // name stored with a leading blank matches no name typed without one.
    std::vector<std::string> typed = patterns("SELECT NAME46 FROM STR_DA WHERE ALORT = " + quoted(alort));
    for (const char* p : {"Arger_", "arger[ ]", "Arger %", "Str_", "[ ]", "Lee", "Leerweg"}) typed.push_back(p);
    for (const std::string& p : typed) {
      VariantTable classic;
      classic.ReDim(0, 0, 0, 5);
      for (RecordsetPtr rs = c->Execute("SELECT name46, Plz, HNRVon, HNRBis, HNR_Typ, OTL_Schl FROM Str_DA WHERE Alort = " +
                                        quoted(alort) + " and (Name46) like " +
                                        quoted(normalize_street_name(p) + "%") + " order by Name46");
           !rs->Eof(); rs->MoveNext()) {
        const int32_t row = classic.UpperBound(1);
        int32_t col = 0;
        for (const char* f : {"name46", "Plz", "HNRVon", "HNRBis", "HNR_Typ"})
          classic.Set(row, col++, text::trim(rs->Field(f).as_text()));
        classic.Set(row, 5, std::string());
        classic.AppendRows(1);
      }
      if (classic.UpperBound(1) == 0) {
        if (normalize_street_name(p).empty()) continue;  // that is the list of all streets
        tk->ExpectMsgBox(
            "Straße nicht gefunden! (Bitte prüfen Sie die Schreibweise)\nMöchten Sie aus der Liste der Straßen "
            "auswählen?",
            mb::kNo);
        ++empty;
      }
      VariantTable fast;
      std::string strasse = p;
      EXPECT_EQ(Ermittle_Strassen(alort, fast, strasse, keine), classic.UpperBound(1) > 0) << p;
      ASSERT_EQ(table_rows(fast), table_rows(classic)) << alort << " Straße '" << p << "'";
      tk->Verify();
      ++compared;
    }
  }
  EXPECT_GT(compared, 200u);
  EXPECT_GT(empty, 10u);
}

}  // namespace
}  // namespace noxplz
