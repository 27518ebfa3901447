#include "fuzzy/folding.h"

#include <gtest/gtest.h>

namespace noxplz::fuzzy {
namespace {

TEST(Folding, WhatUsersWriteDifferentlyFoldsAlike) {
  struct Case {
    const char* a;
    const char* b;
  };
  const Case same[] = {
      {"Karl-Marx-Straße", "Karl Marx Str"},
      {"Karl-Marx-Straße", "karl-marx-str."},
      {"Karl-Marx-Straße", "KARL-MARX-STRASSE"},
      {"Hauptstr.", "Hauptstraße"},
      {"München", "Muenchen"},
      {"MÜNCHEN", "münchen"},
      {"Großdorf", "Grossdorf"},
      {"GROẞDORF", "Großdorf"},
      {"Café Krönchen", "Cafe Kroenchen"},
      {"St.-Mary's-Platz", "St Marys Platz"},
      {"Straße des 17. Juni", "Str. des 17 Juni"},
  };
  for (const Case& c : same) EXPECT_EQ(fold_name(c.a), fold_name(c.b)) << c.a << " / " << c.b;
  EXPECT_EQ(fold_name("Karl-Marx-Straße"), "karlmarxstr");
  EXPECT_NE(fold_name("Hauptstr. 12"), fold_name("Hauptstr. 13"));
  EXPECT_EQ(fold_letters("Äpfel-Weg"), "aepfel-weg");
}

TEST(Folding, EditDistanceWithLimit) {
  struct Case {
    const char* a;
    const char* b;
    int limit;
    int distance;
  };
  const Case cases[] = {
      {"muenchen", "muechen", 3, 1},   // a letter left out
      {"kurfuerstendamm", "kurfuerstendam", 3, 1},
      {"berlin", "berlni", 3, 1},      // two letters swapped
      {"berlin", "berlin", 0, 0},
      {"hamburg", "bremen", 2, 3},     // beyond the limit: limit + 1
      {"abc", "abcdef", 1, 2},         // lengths alone exceed the limit
      {"", "abc", 5, 3},
      {"lindenweg", "lindenwge", 1, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(edit_distance(c.a, c.b, c.limit), c.distance) << c.a << " / " << c.b;
  EXPECT_EQ(tolerance(3), 0);
  EXPECT_EQ(tolerance(4), 1);
  EXPECT_EQ(tolerance(8), 2);
  EXPECT_EQ(tolerance(14), 3);
}

}  // namespace
}  // namespace noxplz::fuzzy
