// A small postal database for the lookup and search tests, inserted through
// the schema of TempDatabase. Several values are padded with blanks the way
// the import stores the file's fixed-width fields.
//
//   Berlin        11000000  10115, 10117 (delivery), 10999 (other kind);
//                 Hauptstr. in three sections (N 1-9 -> 10115, G 2-20 ->
//                 10117, U 11-99 -> 10119), Lindenweg undivided (10115),
//                 Bahnhofstr. (10117), Rue d'Arc (10115); districts Mitte,
//                 Tiergarten
//   Frankfurt     06000000  "am Main", 60311, Zeil (60313)
//   Frankfurt     12000000  "(Oder)", 15230, no streets
//   Altdorf       09000001  replaced by 09000002 (ALORT_NEU), 90517
//   Altdorf       09000002  ALORT_NEU blank, 90518
//   Kleinhausen   07000000  55555, no streets
//   Großdorf      07000001  55555 as well (two places, one postal code)
//   D'Orf         08000000  66666, no streets
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "manager/session.h"
#include "noxplz/ui.h"
#include "noxplz/variant.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz::testing {

template <size_t N>
using FixtureRows = std::initializer_list<std::array<const char*, N>>;

inline void fill_postal_fixture(TempDatabase& db) {
  for (const auto& [alort, name, zusatz, neu] : FixtureRows<4>{
           {"11000000", "Berlin", "", "        "}, {"06000000", "Frankfurt", "am Main", ""},
           {"12000000", "Frankfurt", "(Oder)", ""}, {"09000001", "Altdorf", "b Nürnberg", "09000002"},
           {"09000002", "Altdorf", "b Nürnberg", "        "}, {"07000000", "Kleinhausen", "", ""},
           {"07000001", "Großdorf", "", ""}, {"08000000", "D'Orf", "", ""}})
    db.insert("ORT_DA", {{"ALORT", alort}, {"ONAME", padded(name, 40)}, {"OZUSATZ", padded(zusatz, 30)},
                         {"ALORT_NEU", neu}, {"STATUS", "0"}});
  for (const auto& [code, alort, art, name] : FixtureRows<4>{
           {"10999", "11000000", "2", "Berlin"}, {"10115", "11000000", "6", "Berlin"},
           {"10117", "11000000", "6", "Berlin"}, {"60311", "06000000", "6", "Frankfurt"},
           {"15230", "12000000", "6", "Frankfurt"}, {"90517", "09000001", "6", "Altdorf"},
           {"90518", "09000002", "6", "Altdorf"}, {"55555", "07000000", "6", "Kleinhausen"},
           {"55555", "07000001", "6", "Großdorf"}, {"66666", "08000000", "6", "D'Orf"}})
    db.insert("PLZ_DA", {{"PLZ", code}, {"ALORT", alort}, {"ART_Auslieferung", art}, {"OName", padded(name, 40)}});
  for (const auto& [alort, name, code, von, bis, typ, otl] : FixtureRows<7>{
           {"11000000", "Hauptstr.", "10115", "0001", "0009", "N", "001"},
           {"11000000", "Hauptstr.", "10117", "0002", "0020", "G", "002"},
           {"11000000", "Hauptstr.", "10119", "0011", "0099", "U", "002"},
           {"11000000", "Lindenweg", "10115", "", "", "", "001"},
           {"11000000", "Bahnhofstr.", "10117", "", "", "", ""},
           {"11000000", "Rue d'Arc", "10115", "", "", "", ""},
           {"06000000", "Zeil", "60313", "", "", "", ""}})
    db.insert("STR_DA", {{"ALORT", alort}, {"NAME46", padded(name, 46)}, {"PLZ", code}, {"HNRVON", padded(von, 8)},
                         {"HNRBIS", padded(bis, 8)}, {"HNR_TYP", typ}, {"OTL_SCHL", otl}, {"STATUS", "0"}});
  for (const auto& [alort, schl, name] : FixtureRows<3>{{"11000000", "001", "Mitte"}, {"11000000", "002", "Tiergarten"}})
    db.insert("OTL_DA", {{"ALORT", alort}, {"SCHL", schl}, {"NAME", padded(name, 40)}, {"STATUS", "0"}});
}

// The filled rows of a lookup table, every column joined by '|'; checks that
// the row after the last is empty.
inline std::vector<std::string> rows(const VariantTable& t) {
  std::vector<std::string> lines;
  for (int32_t r = 0; r < t.UpperBound(1); ++r) {
    std::string line = t.Text(r, 0);
    for (int32_t c = 1; c <= t.UpperBound(2); ++c) line += "|" + t.Text(r, c);
    lines.push_back(line);
  }
  EXPECT_TRUE(t.Get(t.UpperBound(1), 0).is_empty()) << "row " << t.UpperBound(1);
  return lines;
}
using Rows = std::vector<std::string>;

// Test base: an empty postal database and a scripted toolkit; the thread's
// session starts empty and is cleared again afterwards.
class ScriptedTest : public ::testing::Test {
 protected:
  ScriptedTest() { session() = Session{}; }
  ~ScriptedTest() override { session() = Session{}; }
  ScriptedToolkit& tk() { return *tk_; }

  TempDatabase db_;
  std::shared_ptr<ScriptedToolkit> tk_ = std::make_shared<ScriptedToolkit>();
  ScopedToolkit use_{tk_};
};

// The fixture database as the thread's shared connection.
class PostalTest : public ScriptedTest {
 protected:
  PostalTest() {
    fill_postal_fixture(db_);
    session().connection = db_.connection();
  }
};

}  // namespace noxplz::testing
