#include "platform/db/sqlite/sql_rewrite.h"

#include <gtest/gtest.h>

namespace noxplz::sqlite {
namespace {

// T-SQL functions and N'…' literals are mapped; literals, quoted
// identifiers, comments, qualified names and keywords that merely share a
// name stay as they are (expected nullptr). The kind of statement comes from
// its first keyword, after comments and parentheses. None of these is an
// INSERT whose literals may become parameters.
TEST(SqliteRewrite, MapsTsqlFunctionsAndLeavesEverythingElseAlone) {
  const StatementKind query = StatementKind::kQuery, insert = StatementKind::kInsert;
  const struct {
    const char* sql;
    const char* expected;
    StatementKind kind;
  } cases[] = {
      {"SELECT RIGHT(CAST(x AS CHAR(17)), 16) FROM t", "SELECT noxplz_right(CAST(x AS CHAR(17)), 16) FROM t", query},
      {"select right (a, 2), Left(b,1), len(c), IsNull(d, '')",
       "select noxplz_right (a, 2), noxplz_left(b,1), noxplz_len(c), ifnull(d, '')", query},
      {"SELECT * FROM t WHERE a = N'Köln' AND n = 'N'", "SELECT * FROM t WHERE a = 'Köln' AND n = 'N'", query},
      {"SELECT 'RIGHT(x, 2)' FROM t", nullptr, query},
      {"SELECT 'it''s RIGHT(' || a FROM t", nullptr, query},
      {"SELECT [RIGHT] FROM t", nullptr, query},
      {"SELECT \"Left\" FROM t", nullptr, query},
      {"SELECT a -- RIGHT(b)\nFROM t", nullptr, query},
      {"SELECT /* LEFT( */ a FROM t", nullptr, query},
      {"SELECT t.Left (1) FROM t", nullptr, query},
      {"SELECT a FROM t LEFT JOIN u ON t.k = u.k", nullptr, query},
      {"SELECT a FROM t WHERE b ISNULL", nullptr, query},
      {"SELECT RIGHTS(a), LENGTH(b) FROM t", nullptr, query},
      {"/* x */ (SELECT 1)", nullptr, query},
      {"  -- comment\n  Insert INTO t (a) Values (1)", nullptr, insert},
      {"INSERT INTO t (a) SELECT 'x' FROM u", nullptr, insert},
      {"INSERT INTO t (a) VALUES ('x') RETURNING a", nullptr, insert},
      {"INSERT INTO t (a) VALUES ('x'); DELETE FROM t", nullptr, insert},
      {"INSERT INTO t (a) VALUES (X'00')", nullptr, insert},
      {"update t set a = 'x'", nullptr, StatementKind::kUpdate},
      {"DELETE FROM STR_DA", nullptr, StatementKind::kDelete},
      {"CREATE TABLE t (a)", nullptr, StatementKind::kOther},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    RewrittenSql out;
    rewrite_sql(c.sql, out);
    EXPECT_EQ(out.text, c.expected ? c.expected : c.sql);
    EXPECT_EQ(out.kind, c.kind);
    EXPECT_FALSE(out.parameterized);
  }
}

}  // namespace
}  // namespace noxplz::sqlite
