// The SQL Server text the component writes, as PostgreSQL gets it.
#include "platform/db/postgres/pg_rewrite.h"

#include <gtest/gtest.h>

namespace noxplz::postgres {
namespace {

constexpr const char* kLower = "lower((";
constexpr const char* kLowerEnd = ")::text COLLATE \"und-x-icu\") COLLATE \"C\"";

std::string lowered(const std::string& operand) { return kLower + operand + kLowerEnd; }
std::string pattern(const std::string& literal) {
  return "lower(" + literal + " COLLATE \"und-x-icu\") COLLATE \"C\"";
}

TEST(PgRewrite, TranslatesWhatPostgresqlSpellsDifferently) {
  const struct {
    std::string in, out;
  } cases[] = {
      // Untouched: the statements that PostgreSQL reads as SQL Server does.
      {"SELECT Plz FROM Plz_DA WHERE Alort = '11000000' and ART_Auslieferung = '6'",
       "SELECT Plz FROM Plz_DA WHERE Alort = '11000000' and ART_Auslieferung = '6'"},
      {"SELECT RIGHT(CAST(x AS CHAR(17)), 16), LEFT(a, 2) FROM t", "SELECT RIGHT(CAST(x AS CHAR(17)), 16), LEFT(a, 2) FROM t"},
      // Names in brackets or quotes match without regard to case, as unquoted names do.
      {"SELECT 'G' AS [Status], [Name 46] FROM [STR_DA]", "SELECT 'G' AS \"status\", \"name 46\" FROM \"str_da\""},
      {"SELECT \"OName\" FROM t", "SELECT \"oname\" FROM t"},
      {"SELECT a COLLATE \"C\" FROM t", "SELECT a COLLATE \"C\" FROM t"},
      {"SELECT N'Köln', n'x' FROM t", "SELECT 'Köln', 'x' FROM t"},
      {"SELECT ISNULL(a, ''), isnull (b, 0) FROM t", "SELECT COALESCE(a, ''), COALESCE (b, 0) FROM t"},
      {"SELECT LEN(RTRIM(a)) + LEN(b) FROM t", "SELECT char_length(rtrim(RTRIM(a))) + char_length(rtrim(b)) FROM t"},
      {"SELECT TOP 5 a FROM t ORDER BY a", "SELECT   a FROM t ORDER BY a LIMIT 5"},
      {"SELECT a, (SELECT TOP 1 b FROM u WHERE u.k = LEN(t.k)) AS b FROM t; SELECT TOP 2 c FROM v",
       "SELECT a, (SELECT   b FROM u WHERE u.k = char_length(rtrim(t.k)) LIMIT 1) AS b FROM t; SELECT   c FROM v LIMIT 2"},
      // Inside literals, quoted names and comments nothing changes.
      {"SELECT 'LEN(x) [a] N''b'' LIKE' -- LIKE [x]\nFROM t", "SELECT 'LEN(x) [a] N''b'' LIKE' -- LIKE [x]\nFROM t"},
      // A column called Left or Len after a dot stays a column.
      {"SELECT t.Len FROM t", "SELECT t.Len FROM t"},
      // LIKE: lower case under the binary collation, the pattern translated.
      {"SELECT a FROM Ort_DA WHERE OName like 'mün%' ORDER BY OName",
       "SELECT a FROM Ort_DA WHERE " + lowered("OName") + " like " + pattern("'mün%'") + " ORDER BY OName"},
      {"SELECT a FROM t WHERE x.Name46 NOT LIKE 'D''O%'",
       "SELECT a FROM t WHERE " + lowered("x.Name46") + " NOT LIKE " + pattern("'D''O%'")},
      {"SELECT a FROM t WHERE RTRIM(b) LIKE N'a\\b%'",
       "SELECT a FROM t WHERE " + lowered("RTRIM(b)") + " LIKE " + pattern("'a\\\\b%'")},
      {"SELECT a FROM t WHERE b LIKE 'x!%%' ESCAPE '!'", "SELECT a FROM t WHERE " + lowered("b") + " LIKE " + pattern("'x\\%%'")},
      {"SELECT a FROM t WHERE b LIKE '[HB]a%'", "SELECT a FROM t WHERE " + lowered("b") + " ~ " + pattern("'^[HB]a.* *$'")},
      {"SELECT a FROM t WHERE b NOT LIKE '[^x]_.'", "SELECT a FROM t WHERE " + lowered("b") + "  !~ " + pattern("'^[^x].\\. *$'")},
      {"SELECT a FROM t WHERE b LIKE c + '%'", "SELECT a FROM t WHERE " + lowered("b") + " LIKE " + lowered("c") + " + '%'"},
  };
  for (const auto& c : cases) EXPECT_EQ(rewrite_sql(c.in), c.out) << c.in;
}

TEST(PgRewrite, LikePatternsOfSqlServer) {
  const struct {
    const char* in;
    char escape;
    const char* out;
    bool regex;
  } cases[] = {
      {"Haupt%", 0, "Haupt%", false},        {"a_b", 0, "a_b", false},
      {"100\\%", 0, "100\\\\%", false},      {"a[b", 0, "a[b", false},  // never closed: an ordinary character
      {"5!%", '!', "5\\%", false},           {"[a-f]%", 0, "^[a-f].* *$", true},
      {"x.y[0-9]", 0, "^x\\.y[0-9] *$", true}, {"[^ ]%", 0, "^[^ ].* *$", true},
  };
  for (const auto& c : cases) {
    bool regex = false;
    EXPECT_EQ(translate_like_pattern(c.in, c.escape, regex), c.out) << c.in;
    EXPECT_EQ(regex, c.regex) << c.in;
  }
}

}  // namespace
}  // namespace noxplz::postgres
