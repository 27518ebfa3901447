#include "platform/db/sqlite/query_rewrite.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "noxplz/db.h"
#include "platform/db/sqlite/german_collation.h"
#include "testing/temp_database.h"

namespace noxplz::sqlite {
namespace {

// Only a LIKE with a literal prefix on an ordered text column of the one
// table gets a range; the LIKE itself always stays as the final filter.
TEST(SqliteQueryRewrite, LikeGetsAnIndexRangeOnlyWhereItMeansTheSame) {
  const auto ordered = [](std::string_view table, std::string_view column) {
    return (table == "Ort_DA" || table == "STR_DA") && column != "Nummer";
  };
  const struct {
    const char* sql;
    const char* expected;  // nullptr: unchanged
  } cases[] = {
      {"SELECT a FROM Ort_DA WHERE OName like 'Ber%' ORDER BY OName",
       "SELECT a FROM Ort_DA WHERE (OName >= 'ber' AND OName < 'bes' AND OName like 'Ber%') ORDER BY OName"},
      {"SELECT a FROM STR_DA WHERE Alort = '1' and Name46 like 'Stra_e%' order by Name46",
       "SELECT a FROM STR_DA WHERE Alort = '1' and (Name46 >= 'stra' AND Name46 < 'strb' AND Name46 like "
       "'Stra_e%') order by Name46"},
      // Umlauts and ß: the bound follows the primary keys (ä as a, ß as ss).
      {"SELECT a FROM Ort_DA WHERE OName like 'Mü%'",
       "SELECT a FROM Ort_DA WHERE (OName >= 'mü' AND OName < 'mv' AND OName like 'Mü%')"},
      {"SELECT a FROM Ort_DA WHERE OName like 'Groß%'",
       "SELECT a FROM Ort_DA WHERE (OName >= 'groß' AND OName < 'grost' AND OName like 'Groß%')"},
      // A quote in the prefix stays doubled; an alias may qualify the column.
      {"SELECT a FROM Ort_DA o WHERE o.OName like 'D''O%'",
       "SELECT a FROM Ort_DA o WHERE (o.OName >= 'd''o' AND o.OName < 'd''p' AND o.OName like 'D''O%')"},
      {"SELECT a FROM Ort_DA WHERE NOT [OName] like 'B%'",
       "SELECT a FROM Ort_DA WHERE NOT ([OName] >= 'b' AND [OName] < 'c' AND [OName] like 'B%')"},
      // Trailing blanks of the prefix do not narrow the range.
      {"SELECT a FROM Ort_DA WHERE OName like 'Bad %'",
       "SELECT a FROM Ort_DA WHERE (OName >= 'bad' AND OName < 'bae' AND OName like 'Bad %')"},
      {"SELECT a FROM Ort_DA WHERE OName like '%ber%'", nullptr},  // no literal prefix
      {"SELECT a FROM Ort_DA WHERE OName like '_er%'", nullptr},
      {"SELECT a FROM Ort_DA WHERE OName like '[BH]aus%'", nullptr},
      {"SELECT a FROM Ort_DA WHERE OName like '   %'", nullptr},
      {"SELECT a FROM Ort_DA WHERE OName NOT like 'B%'", nullptr},
      {"SELECT a FROM Ort_DA WHERE OName like 'B%' ESCAPE '!'", nullptr},
      {"SELECT a FROM Ort_DA WHERE OName like 'B%' || 'x'", nullptr},
      {"SELECT a FROM Ort_DA WHERE x || OName like 'B%'", nullptr},
      {"SELECT a FROM Ort_DA WHERE (OName) like 'B%'", nullptr},
      {"SELECT a FROM Ort_DA WHERE Nummer like '1%'", nullptr},  // not an ordered text column
      {"SELECT a FROM PLZ_DA WHERE OName like 'B%'", nullptr},
      {"SELECT a FROM Ort_DA WHERE u.OName like 'B%'", nullptr},
      {"SELECT a FROM Ort_DA, STR_DA WHERE OName like 'B%'", nullptr},
      {"SELECT a FROM Ort_DA JOIN STR_DA ON 1 WHERE OName like 'B%'", nullptr},
      {"SELECT a FROM Ort_DA WHERE k IN (SELECT k FROM STR_DA WHERE Name46 like 'B%')", nullptr},
      {"SELECT a FROM Ort_DA WHERE OName like 'B%' UNION SELECT a FROM STR_DA", nullptr},
      {"SELECT a FROM Ort_DA WHERE x BETWEEN 1 AND OName like 'B%'", nullptr},
      {"SELECT a FROM Ort_DA WHERE OName = 'x LIKE ''B%'''", nullptr},
      {"UPDATE Ort_DA SET a = 1 WHERE OName like 'B%'", nullptr},
  };
  for (const auto& c : cases) {
    std::string sql = c.sql;
    EXPECT_EQ(rewrite_like_ranges(sql, ordered), c.expected != nullptr) << c.sql;
    EXPECT_EQ(sql, c.expected ? c.expected : c.sql);
  }
}

// Every value that LIKE 'prefix%' matches lies in [prefix, bound) under the
// collation, for prefixes that end next to the collation's boundaries: ASCII
// punctuation around the letters, the Latin-1 letters that fold or lose their
// accent, ß, and the highest code points.
TEST(SqliteLikeRange, HoldsEveryMatchForPrefixesAtCollationBoundaries) {
  const std::vector<std::string> chars = {
      "a", "A", "z", "Z", "@", "[", "`", "{", "~", "0", "9", " ", "_", "%", "ä", "Ä", "á", "ß", "s", "S", "ÿ",
      "Ÿ", "þ", "Þ", "÷", "×", "\xC2\xBF" /* ¿ */, "À", "à", "æ", "Æ", "ı", "İ", "ł", "Ł", "\xEF\xBF\xBF",
      "\xF4\x8F\xBF\xBF" /* U+10FFFF */, "\xC3" /* stray byte */};
  std::vector<std::string> values;
  for (const auto& a : chars)
    for (const auto& b : chars) {
      values.push_back(a + b);
      for (const auto& c : {"", "x", "ss", " ", "  "}) values.push_back(a + b + c);
    }
  for (const auto& a : chars) {
    for (const auto& b : chars) {
      const std::string pattern = a + b + "%";
      LikePattern like(pattern);
      std::string prefix = like.LiteralPrefix();
      while (!prefix.empty() && prefix.back() == ' ') prefix.pop_back();
      if (prefix.empty()) continue;
      const auto bound = primary_prefix_upper_bound(prefix);
      for (const auto& v : values) {
        if (!like.Matches(v)) continue;
        ASSERT_GE(compare_ci(v, prefix), 0) << "'" << v << "' LIKE '" << pattern << "'";
        if (bound) {
          ASSERT_LT(compare_ci(v, *bound), 0) << "'" << v << "' LIKE '" << pattern << "' bound " << *bound;
        }
      }
    }
  }
  EXPECT_EQ(primary_prefix_upper_bound("\xF4\x8F\xBF\xBF"), std::nullopt);
  EXPECT_EQ(primary_prefix_upper_bound("z\xF4\x8F\xBF\xBF"), "{");
}

// SQLite walks the indexes of the postal tables for the ranges.
TEST(SqliteLikeRange, IsAnsweredFromTheIndexes) {
  testing::TempDatabase db;
  const auto plan = [&](std::string sql) {
    EXPECT_TRUE(rewrite_like_ranges(sql, [](std::string_view, std::string_view) { return true; })) << sql;
    std::string details;
    for (RecordsetPtr rs = db.connection()->Execute("EXPLAIN QUERY PLAN " + sql); !rs->Eof(); rs->MoveNext())
      details += rs->Field("detail").as_text() + "\n";
    return details;
  };
  EXPECT_THAT(plan("SELECT ALORT_Neu, Oname FROM Ort_DA WHERE OName like 'Ber%' ORDER BY OName, OZusatz, ALORT"),
              ::testing::HasSubstr("USING INDEX IX_ORT_DA_ONAME (ONAME>? AND ONAME<?)"));
  EXPECT_THAT(plan("SELECT name46, Plz FROM Str_DA WHERE Alort = '1' and Name46 like 'Haupt%' order by Name46"),
              ::testing::HasSubstr("USING INDEX IX_STR_DA_ALORT_NAME46 (ALORT=? AND Name46>? AND Name46<?)"));
}

}  // namespace
}  // namespace noxplz::sqlite
