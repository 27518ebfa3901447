#include "platform/db/sqlite/german_collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace noxplz::sqlite {
namespace {

int sign(int v) { return (v > 0) - (v < 0); }

TEST(SqliteCollation, EqualIgnoringCaseAndTrailingBlanks) {
  EXPECT_EQ(compare_ci("Hauptstr", "HAUPTSTR"), 0);
  EXPECT_EQ(compare_ci("Hauptstr      ", "hauptstr"), 0);
  EXPECT_EQ(compare_ci("ÄRGER", "ärger"), 0);
  EXPECT_EQ(compare_ci("München  ", "MÜNCHEN"), 0);
  EXPECT_EQ(compare_ci("", "   "), 0);
}

TEST(SqliteCollation, AccentsAndLeadingBlanksCount) {
  EXPECT_NE(compare_ci("Ärger", "Arger"), 0);
  EXPECT_NE(compare_ci("Straße", "Strasse"), 0);
  EXPECT_NE(compare_ci(" Hauptstr", "Hauptstr"), 0);
  EXPECT_NE(compare_ci("Hauptstr.", "Hauptstr"), 0);
}

TEST(SqliteCollation, SortsUmlautsBesideTheirBaseLetter) {
  std::vector<std::string> words = {"Zeppelin", "ärger", "Straße", "Apfel", "Öde",  "Basel",
                                    "Arm",      "Ost",   "Strasse", "arger", "Über", "Ulm"};
  std::sort(words.begin(), words.end(),
            [](const std::string& a, const std::string& b) { return compare_ci(a, b) < 0; });
  std::vector<std::string> expected = {"Apfel", "arger", "ärger", "Arm", "Basel", "Öde",
                                       "Ost",   "Strasse", "Straße", "Über", "Ulm", "Zeppelin"};
  EXPECT_EQ(words, expected);
}

// An index relies on a consistent order: antisymmetric and transitive over
// mixed ASCII, umlauts, ß, blanks and a stray byte that is no valid UTF-8.
TEST(SqliteCollation, IsATotalOrder) {
  const std::vector<std::string> words = {"a",   "A",  "ä",    "Ä ",  "ab",   "äb", "ss",   "ß",
                                          "SS",  "sz", "b",    "",    " ",    "a b", "ab ", "\xC3",
                                          "é",   "e",  "Éz",   "f",   "_x",   "zz",  "Ö",   "o"};
  for (const auto& a : words) {
    EXPECT_EQ(compare_ci(a, a), 0) << a;
    for (const auto& b : words) {
      ASSERT_EQ(sign(compare_ci(a, b)), -sign(compare_ci(b, a))) << "'" << a << "' vs '" << b << "'";
      for (const auto& c : words) {
        if (compare_ci(a, b) <= 0 && compare_ci(b, c) <= 0) {
          ASSERT_LE(compare_ci(a, c), 0) << "'" << a << "' '" << b << "' '" << c << "'";
        }
      }
    }
  }
}

TEST(SqliteLike, PercentAndCaseForUmlauts) {
  LikePattern p("mün%");
  EXPECT_TRUE(p.Matches("München"));
  EXPECT_TRUE(p.Matches("MÜNSTER"));
  EXPECT_FALSE(p.Matches("Munchen"));
  EXPECT_FALSE(p.Matches("Alt-München"));
  EXPECT_TRUE(LikePattern("%stadt%").Matches("Neustadt an der Weinstraße"));
  EXPECT_TRUE(LikePattern("%").Matches(""));
  EXPECT_FALSE(LikePattern("_").Matches(""));
}

TEST(SqliteLike, UnderscoreIsOneCharacterEvenForUmlauts) {
  EXPECT_TRUE(LikePattern("M_nchen").Matches("München"));
  EXPECT_FALSE(LikePattern("M__nchen").Matches("München"));
  EXPECT_TRUE(LikePattern("Stra_e").Matches("Straße"));
  EXPECT_TRUE(LikePattern("_____").Matches("Ärger"));
}

TEST(SqliteLike, CharacterSets) {
  EXPECT_TRUE(LikePattern("[BH]aus").Matches("Haus"));
  EXPECT_TRUE(LikePattern("[BH]aus").Matches("baus"));
  EXPECT_FALSE(LikePattern("[BH]aus").Matches("Maus"));
  EXPECT_TRUE(LikePattern("[a-c]at").Matches("Bat"));
  EXPECT_FALSE(LikePattern("[a-c]at").Matches("dat"));
  EXPECT_TRUE(LikePattern("[^H]aus").Matches("Maus"));
  EXPECT_FALSE(LikePattern("[^H]aus").Matches("haus"));
  EXPECT_TRUE(LikePattern("[ä]rger").Matches("Ärger"));
  EXPECT_FALSE(LikePattern("[a]rger").Matches("Ärger"));
  EXPECT_TRUE(LikePattern("%[0-9]").Matches("Hausnummer 7"));
  EXPECT_TRUE(LikePattern("[%]%").Matches("%ig"));
  EXPECT_FALSE(LikePattern("[%]%").Matches("xig"));
  // An unclosed bracket is an ordinary character.
  EXPECT_TRUE(LikePattern("a[b").Matches("A[B"));
}

TEST(SqliteLike, EscapeCharacter) {
  LikePattern p("100!%", U'!');
  EXPECT_TRUE(p.Matches("100%"));
  EXPECT_FALSE(p.Matches("1000"));
  EXPECT_TRUE(LikePattern("a!_c", U'!').Matches("a_c"));
  EXPECT_FALSE(LikePattern("a!_c", U'!').Matches("abc"));
}

// Values arrive padded with blanks; the pattern need not cover them, but
// blanks in the pattern must be there in the value.
TEST(SqliteLike, TrailingBlanksOfTheValue) {
  EXPECT_TRUE(LikePattern("Hauptstr").Matches("Hauptstr      "));
  EXPECT_TRUE(LikePattern("H%str").Matches("Hauptstr      "));
  EXPECT_TRUE(LikePattern("Hauptstr _").Matches("Hauptstr      "));
  EXPECT_FALSE(LikePattern("Haupt").Matches("Hauptstr      "));
  EXPECT_FALSE(LikePattern("abc ").Matches("abc"));
  EXPECT_FALSE(LikePattern("H%x").Matches("Hauptstr   "));
}

}  // namespace
}  // namespace noxplz::sqlite
