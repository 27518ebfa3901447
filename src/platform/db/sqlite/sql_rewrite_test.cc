#include "platform/db/sqlite/sql_rewrite.h"

#include <gtest/gtest.h>

namespace noxplz::sqlite {
namespace {

std::string rewrite(std::string_view sql) {
  RewrittenSql out;
  rewrite_sql(sql, out);
  return out.text;
}

TEST(SqliteRewrite, MapsTsqlFunctions) {
  EXPECT_EQ(rewrite("SELECT RIGHT(CAST(x AS CHAR(17)), 16) FROM t"),
            "SELECT noxplz_right(CAST(x AS CHAR(17)), 16) FROM t");
  EXPECT_EQ(rewrite("select right (a, 2), Left(b,1), len(c), IsNull(d, '')"),
            "select noxplz_right (a, 2), noxplz_left(b,1), noxplz_len(c), ifnull(d, '')");
}

TEST(SqliteRewrite, LeavesEverythingElseAlone) {
  // Literals, quoted identifiers, comments, qualified names and the keywords
  // that merely share a name.
  const char* untouched[] = {
      "SELECT 'RIGHT(x, 2)' FROM t",
      "SELECT 'it''s RIGHT(' || a FROM t",
      "SELECT [RIGHT] FROM t",
      "SELECT \"Left\" FROM t",
      "SELECT a -- RIGHT(b)\nFROM t",
      "SELECT /* LEFT( */ a FROM t",
      "SELECT t.Left (1) FROM t",
      "SELECT a FROM t LEFT JOIN u ON t.k = u.k",
      "SELECT a FROM t WHERE b ISNULL",
      "SELECT RIGHTS(a), LENGTH(b) FROM t",
  };
  for (const char* sql : untouched) EXPECT_EQ(rewrite(sql), sql);
}

TEST(SqliteRewrite, NationalLiterals) {
  EXPECT_EQ(rewrite("SELECT * FROM t WHERE a = N'Köln' AND n = 'N'"),
            "SELECT * FROM t WHERE a = 'Köln' AND n = 'N'");
}

TEST(SqliteRewrite, StatementKindFromFirstKeyword) {
  RewrittenSql out;
  rewrite_sql("  -- comment\n  Insert INTO t (a) Values ('x')", out);
  EXPECT_EQ(out.kind, StatementKind::kInsert);
  rewrite_sql("/* x */ (SELECT 1)", out);
  EXPECT_EQ(out.kind, StatementKind::kQuery);
  rewrite_sql("DELETE FROM STR_DA", out);
  EXPECT_EQ(out.kind, StatementKind::kDelete);
  rewrite_sql("update t set a = 1", out);
  EXPECT_EQ(out.kind, StatementKind::kUpdate);
  rewrite_sql("CREATE TABLE t (a)", out);
  EXPECT_EQ(out.kind, StatementKind::kOther);
}

TEST(SqliteRewrite, LiftsInsertLiterals) {
  RewrittenSql out;
  rewrite_sql("Insert INTO PRUEF_DA  (a,b,  c,d) Values ( 'XX','it''s',123,N'Köln')", out);
  ASSERT_TRUE(out.parameterized);
  EXPECT_EQ(out.insert_template, "Insert INTO PRUEF_DA  (a,b,  c,d) Values ( ?,?,123,?)");
  ASSERT_EQ(out.literals.size(), 3u);
  EXPECT_EQ(out.literal(0), "XX");
  EXPECT_EQ(out.literal(1), "it's");
  EXPECT_EQ(out.literal(2), "Köln");
  // The complete statement is there on request.
  rewrite_sql_text("Insert INTO PRUEF_DA  (a,b,  c,d) Values ( 'XX','it''s',123,N'Köln')", out);
  EXPECT_EQ(out.text, "Insert INTO PRUEF_DA  (a,b,  c,d) Values ( 'XX','it''s',123,'Köln')");

  rewrite_sql("INSERT INTO t (a) VALUES ('')", out);
  ASSERT_TRUE(out.parameterized);
  EXPECT_EQ(out.literal(0), "");
}

TEST(SqliteRewrite, NoTemplateWhereLiteralsMayNotBecomeParameters) {
  const char* cases[] = {
      "INSERT INTO t (a) SELECT 'x' FROM u",
      "INSERT INTO t (a) VALUES ('x') RETURNING a",
      "INSERT INTO t (a) VALUES ('x'); DELETE FROM t",
      "INSERT INTO t (a) VALUES (X'00')",
      "INSERT INTO t (a) VALUES (1)",
      "UPDATE t SET a = 'x'",
  };
  RewrittenSql out;
  for (const char* sql : cases) {
    rewrite_sql(sql, out);
    EXPECT_FALSE(out.parameterized) << sql;
  }
  rewrite_sql("INSERT INTO t (a) VALUES ('x'); -- done\n", out);
  EXPECT_TRUE(out.parameterized);
}

TEST(SqliteRewrite, OnlyBlanksAndComments) {
  EXPECT_TRUE(only_blanks_and_comments(""));
  EXPECT_TRUE(only_blanks_and_comments(" ;\n -- x\n /* y */ ;"));
  EXPECT_FALSE(only_blanks_and_comments(" ; SELECT 1"));
  EXPECT_FALSE(only_blanks_and_comments(" - 1"));
}

}  // namespace
}  // namespace noxplz::sqlite
