// Turns the component's SQL Server statements into SQLite statements.
//
// A token-aware pass over the text: string literals ('…' with '' escapes),
// quoted identifiers ("…", […], `…`) and comments (-- and /* */) are copied
// untouched. Outside them:
//   RIGHT( LEFT( LEN(  -> the functions registered by the backend
//   ISNULL(            -> ifnull(
//   N'text'            -> 'text'
// A name preceded by "." (a column or table called Left, say) stays as it is.
//
// The same pass lifts the string literals out of a single INSERT … VALUES
// statement. The resulting template ("… VALUES (?,?,…)") is the same for
// every row of one table, so its prepared statement can be reused with the
// literals bound as parameters: an import of a million rows then compiles
// nine statements instead of a million.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace noxplz::sqlite {

enum class StatementKind { kQuery, kInsert, kUpdate, kDelete, kOther };

struct RewrittenSql {
  StatementKind kind = StatementKind::kOther;  // by the first keyword

  // Set when the text is one INSERT … VALUES statement with string literals
  // and nothing else (no SELECT, no RETURNING, no blob literal). Then only the
  // template and the literals are filled, and `text` stays empty until
  // rewrite_sql_text() is asked for it.
  bool parameterized = false;
  std::string insert_template;  // the statement with every string literal replaced by ?
  std::string literal_values;   // the literals' values, one after another
  std::vector<std::pair<size_t, size_t>> literals;  // offset and length in literal_values

  std::string text;  // the statement(s) for SQLite

  std::string_view literal(size_t i) const {
    return std::string_view(literal_values).substr(literals[i].first, literals[i].second);
  }
};

// Rewrites `sql` into `out` (whose buffers are reused).
void rewrite_sql(std::string_view sql, RewrittenSql& out);

// Fills out.text (also for a parameterized statement).
void rewrite_sql_text(std::string_view sql, RewrittenSql& out);

// Whether `rest` holds nothing but blanks, semicolons and comments.
bool only_blanks_and_comments(std::string_view rest);

// True for statements that change rows (INSERT, UPDATE, DELETE).
inline bool changes_rows(StatementKind kind) {
  return kind == StatementKind::kInsert || kind == StatementKind::kUpdate ||
         kind == StatementKind::kDelete;
}

}  // namespace noxplz::sqlite
