// The read side of the SQLite dialect: what the backend does to a query
// after the T-SQL rewrite (sql_rewrite.h), so that SQLite answers it with
// its indexes and without compiling it anew each time.
//
//  - rewrite_top: "SELECT TOP n …" becomes "SELECT … LIMIT n" (also in a
//    subquery).
//  - rewrite_like_ranges: "col LIKE 'Ber%'" on a column ordered by the
//    German collation becomes
//      (col >= 'ber' AND col < 'bes' AND col LIKE 'Ber%')
//    The range holds every value the pattern can match (see
//    primary_prefix_upper_bound), so an index on col narrows the rows and
//    the LIKE, kept as the final filter, decides exactly as before.
//  - lift_query_literals: the string literals after the first FROM become
//    parameters, so one prepared statement serves every value.
//
// All three work token by token (string literals, quoted identifiers and
// comments are never looked into) and leave a statement they do not fully
// understand as it is.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace noxplz::sqlite {

// Rewrites TOP n (a plain whole number, without PERCENT or WITH TIES) of
// every SELECT that is not part of a compound SELECT. Returns true when
// something changed.
bool rewrite_top(std::string& sql);

// Whether `column` of `table` (names as written, unquoted) is a text column
// compared under the German collation, so that a range on it means what
// LIKE's literal prefix means.
using OrderedTextColumn = std::function<bool(std::string_view table, std::string_view column)>;

// Adds the index range to each "column LIKE 'literal'" of a single-table
// SELECT (outside subqueries) whose pattern begins with at least one literal
// character. Returns true when something changed.
bool rewrite_like_ranges(std::string& sql, const OrderedTextColumn& ordered_text_column);

// A query with its string literals lifted out.
struct LiftedQuery {
  std::string text;                  // the statement with ? for each lifted literal
  std::vector<std::string> values;   // their values, quotes undoubled
};

// Lifts the string literals that follow the first FROM outside parentheses
// (a literal before it may name a result column). False, leaving `out`
// unspecified, for anything but one single SELECT statement.
bool lift_query_literals(std::string_view sql, LiftedQuery& out);

}  // namespace noxplz::sqlite
