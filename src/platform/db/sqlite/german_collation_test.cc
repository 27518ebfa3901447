#include "platform/db/sqlite/german_collation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace noxplz::sqlite {
namespace {

int sign(int v) { return (v > 0) - (v < 0); }

// Padding to a field width never changes the order: the comparison looks at
// the trailing blanks only where two values differ or one ends, and must
// give what the values without their padding give (random values of blanks,
// control characters, letters in both cases and umlauts).
TEST(SqliteCollation, PaddingNeverChangesTheOrder) {
  const std::vector<std::string> pieces = {"a", "A", "b", " ", " ", "\x01", "~", "z", "ä", "Ä", "ß", "s", "0"};
  std::mt19937 random(12345);
  auto word = [&] {
    std::string w;
    const int n = static_cast<int>(random() % 6);
    for (int i = 0; i < n; ++i) w += pieces[random() % pieces.size()];
    return w;
  };
  auto strip = [](std::string w) {
    while (!w.empty() && w.back() == ' ') w.pop_back();
    return w;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string a = word() + std::string(random() % 4, ' ');
    const std::string b = word() + std::string(random() % 4, ' ');
    const int expected = sign(compare_ci(strip(a), strip(b)));
    ASSERT_EQ(sign(compare_ci(a, b)), expected) << "'" << a << "' vs '" << b << "'";
    ASSERT_EQ(sign(compare_ci(b, a)), -expected) << "'" << b << "' vs '" << a << "'";
  }
  EXPECT_EQ(compare_ci("Hauptstr   ", "Hauptstr"), 0);
  EXPECT_LT(compare_ci("ab  ", "ab x"), 0);
  EXPECT_GT(compare_ci("ab\x01", "ab "), 0);  // the control character outlasts the padding
  EXPECT_GT(compare_ci("ab \x01", "ab"), 0);
}

// The fast comparison skips equal bytes and ASCII letters equal but for case;
// it must give the sign of the comparison by its definition for texts that
// share long prefixes of umlauts, ß, stray bytes and letters in both cases.
TEST(SqliteCollation, SkippingEqualBytesGivesTheOrderOfItsDefinition) {
  const std::vector<std::string> pieces = {"a", "A", "s", "S", " ", "ä", "Ä", "ß", "ss", "é", "E",
                                           "\xC3", "\xA4", "\x83", "Ã", "\xFF", "Ÿ", "ÿ", ".", "0"};
  std::mt19937 random(4711);
  auto word = [&](int max) {
    std::string w;
    const int n = static_cast<int>(random() % static_cast<unsigned>(max));
    for (int i = 0; i < n; ++i) w += pieces[random() % pieces.size()];
    return w;
  };
  for (int i = 0; i < 50000; ++i) {
    const std::string common = word(5);
    const std::string a = common + word(4), b = common + word(4);
    ASSERT_EQ(sign(compare_ci(a, b)), sign(compare_ci_by_levels(a, b))) << "'" << a << "' vs '" << b << "'";
  }
}

// Equal ignoring case and trailing blanks only (what the SQL tests do not
// show). An index relies on a consistent order: antisymmetric and transitive
// over mixed ASCII, umlauts, ß, blanks and a stray byte that is no valid UTF-8.
TEST(SqliteCollation, IsATotalOrder) {
  EXPECT_EQ(compare_ci("", "   "), 0);
  EXPECT_NE(compare_ci(" Hauptstr", "Hauptstr"), 0);
  EXPECT_NE(compare_ci("Hauptstr.", "Hauptstr"), 0);
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

// SQL Server's LIKE: % and _ count characters (umlauts included), [set],
// [^set], [a-c], case-insensitive, an escape character, and trailing blanks of
// the value ignored while blanks in the pattern must be there.
TEST(SqliteLike, MatchesAsSqlServerDoes) {
  const struct {
    const char* pattern;
    const char* value;
    bool match;
    char32_t escape = 0;
  } cases[] = {
      {"mün%", "Alt-München", false},   {"%stadt%", "Neustadt an der Weinstraße", true},
      {"%", "", true},                  {"_", "", false},
      {"M_nchen", "München", true},     {"M__nchen", "München", false},
      {"Stra_e", "Straße", true},       {"_____", "Ärger", true},
      {"[BH]aus", "baus", true},        {"[BH]aus", "Maus", false},
      {"[a-c]at", "Bat", true},         {"[a-c]at", "dat", false},
      {"[^H]aus", "haus", false},       {"[ä]rger", "Ärger", true},
      {"[a]rger", "Ärger", false},      {"%[0-9]", "Hausnummer 7", true},
      {"[%]%", "%ig", true},            {"[%]%", "xig", false},
      {"a[b", "A[B", true},  // an unclosed bracket is an ordinary character
      {"a!_c", "a_c", true, U'!'},      {"a!_c", "abc", false, U'!'},
      {"Hauptstr", "Hauptstr   ", true}, {"H%str", "Hauptstr   ", true},
      {"Hauptstr _", "Hauptstr   ", true}, {"Haupt", "Hauptstr   ", false},
      {"abc ", "abc", false},            {"H%x", "Hauptstr   ", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LikePattern(c.pattern, c.escape).Matches(c.value), c.match)
        << "'" << c.value << "' LIKE '" << c.pattern << "'";
  }
}

}  // namespace
}  // namespace noxplz::sqlite
