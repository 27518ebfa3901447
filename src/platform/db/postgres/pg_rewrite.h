// Turns the component's SQL Server statements into PostgreSQL statements.
//
// The postal tables of schema/postgresql/postal_tables.sql keep their texts
// in CHAR(n) columns with the nondeterministic ICU collation noxplz_ci:
// `=`, GROUP BY, UNION and ORDER BY then already behave as on SQL Server
// with a case-insensitive German collation (trailing blanks ignored, ä = Ä,
// German order). What PostgreSQL spells differently is rewritten, token-aware
// (string literals, quoted names and comments are never touched inside):
//
//   [Name], "Name"      -> "name": SQL Server matches names without regard
//                          to case, PostgreSQL folds unquoted names to lower
//                          case, so a quoted name is folded the same way
//   N'text'             -> 'text'
//   ISNULL(             -> COALESCE(
//   LEN(x)              -> char_length(rtrim(x))  (trailing blanks not counted)
//   SELECT TOP n …      -> SELECT … LIMIT n  (also in a subquery)
//   a [NOT] LIKE 'p'    -> lower((a)::text COLLATE "und-x-icu") COLLATE "C"
//                          [NOT] LIKE lower('p' COLLATE "und-x-icu") COLLATE "C"
//
// PostgreSQL refuses LIKE on a nondeterministic collation; comparing lower
// case under the binary "C" collation keeps it case-insensitive for every
// letter, and the postal schema indexes exactly that expression of the
// place and street names, so a prefix pattern is an index range scan. The
// pattern is translated: a backslash is doubled (PostgreSQL's escape), an
// ESCAPE clause is resolved into the pattern, and a pattern with a
// [set] or [^set] becomes the equivalent regular expression (~ / !~).
// A pattern that is no literal (a column, an expression) is lowered the same
// way but not translated.
//
// RIGHT( and LEFT( need nothing: PostgreSQL has both.
#pragma once

#include <string>
#include <string_view>

namespace noxplz::postgres {

std::string rewrite_sql(std::string_view sql);

// A SQL Server LIKE pattern as a PostgreSQL LIKE pattern (escape '\'), or,
// when it holds a character set, as a regular expression anchored at both
// ends (`regex` set). `escape` 0 for none.
std::string translate_like_pattern(std::string_view pattern, char escape, bool& regex);

// 'text' with every quote doubled.
std::string string_literal(std::string_view text);

}  // namespace noxplz::postgres
