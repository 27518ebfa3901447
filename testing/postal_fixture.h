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

#include <memory>
#include <string>

#include "manager/session.h"
#include "noxplz/ui.h"
#include "testing/scripted_toolkit.h"
#include "testing/temp_database.h"

namespace noxplz::testing {

// Pads `s` with blanks to `width` bytes (a fixed-width field as imported).
inline std::string padded(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

inline void fill_postal_fixture(TempDatabase& db) {
  auto ort = [&](const char* alort, const char* name, const char* zusatz, const char* neu) {
    db.insert("ORT_DA", {{"ALORT", alort},
                         {"ONAME", padded(name, 40)},
                         {"OZUSATZ", padded(zusatz, 30)},
                         {"ALORT_NEU", neu},
                         {"STATUS", "0"}});
  };
  ort("11000000", "Berlin", "", "        ");
  ort("06000000", "Frankfurt", "am Main", "");
  ort("12000000", "Frankfurt", "(Oder)", "");
  ort("09000001", "Altdorf", "b Nürnberg", "09000002");
  ort("09000002", "Altdorf", "b Nürnberg", "        ");
  ort("07000000", "Kleinhausen", "", "");
  ort("07000001", "Großdorf", "", "");
  ort("08000000", "D'Orf", "", "");

  auto plz = [&](const char* code, const char* alort, const char* art, const char* name) {
    db.insert("PLZ_DA", {{"PLZ", code}, {"ALORT", alort}, {"ART_Auslieferung", art}, {"OName", padded(name, 40)}});
  };
  plz("10999", "11000000", "2", "Berlin");
  plz("10115", "11000000", "6", "Berlin");
  plz("10117", "11000000", "6", "Berlin");
  plz("60311", "06000000", "6", "Frankfurt");
  plz("15230", "12000000", "6", "Frankfurt");
  plz("90517", "09000001", "6", "Altdorf");
  plz("90518", "09000002", "6", "Altdorf");
  plz("55555", "07000000", "6", "Kleinhausen");
  plz("55555", "07000001", "6", "Großdorf");
  plz("66666", "08000000", "6", "D'Orf");

  auto str = [&](const char* alort, const char* name, const char* code, const char* von, const char* bis,
                 const char* typ, const char* otl) {
    db.insert("STR_DA", {{"ALORT", alort},
                         {"NAME46", padded(name, 46)},
                         {"PLZ", code},
                         {"HNRVON", padded(von, 8)},
                         {"HNRBIS", padded(bis, 8)},
                         {"HNR_TYP", typ},
                         {"OTL_SCHL", otl},
                         {"STATUS", "0"}});
  };
  str("11000000", "Hauptstr.", "10115", "0001", "0009", "N", "001");
  str("11000000", "Hauptstr.", "10117", "0002", "0020", "G", "002");
  str("11000000", "Hauptstr.", "10119", "0011", "0099", "U", "002");
  str("11000000", "Lindenweg", "10115", "", "", "", "001");
  str("11000000", "Bahnhofstr.", "10117", "", "", "", "");
  str("11000000", "Rue d'Arc", "10115", "", "", "", "");
  str("06000000", "Zeil", "60313", "", "", "", "");

  auto otl = [&](const char* alort, const char* schl, const char* name) {
    db.insert("OTL_DA", {{"ALORT", alort}, {"SCHL", schl}, {"NAME", padded(name, 40)}, {"STATUS", "0"}});
  };
  otl("11000000", "001", "Mitte");
  otl("11000000", "002", "Tiergarten");
}

// Test base: the fixture database as the thread's shared connection and a
// scripted toolkit; the session is cleared again afterwards.
class PostalTest : public ::testing::Test {
 protected:
  PostalTest() : toolkit_(std::make_shared<ScriptedToolkit>()), use_(toolkit_) {
    fill_postal_fixture(db_);
    session() = Session{};
    session().connection = db_.connection();
  }
  ~PostalTest() override { session() = Session{}; }

  ScriptedToolkit& tk() { return *toolkit_; }

  TempDatabase db_;
  std::shared_ptr<ScriptedToolkit> toolkit_;
  ScopedToolkit use_;
};

}  // namespace noxplz::testing
