// Text comparison as SQL Server does it with a case-insensitive,
// accent-sensitive German collation, for the SQLite backend:
//
//  - compare_ci: the order of the NOXPLZ_CI collation. Trailing blanks are
//    ignored; letters compare without regard to case (ä = Ä); a word with an
//    umlaut sorts beside its base letter (Ärger among the A words), but ä and a
//    stay different (accent-sensitive). ß sorts as "ss" and differs from it.
//  - LikePattern: the LIKE operator with %, _, [set], [a-f], [^set] and an
//    optional escape character; case-insensitive, accent-sensitive, counted in
//    code points; trailing blanks of the value may stay unmatched.
//
// Both work on UTF-8; a byte that is not valid UTF-8 counts as the Latin-1
// character of its value.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace noxplz::sqlite {

// <0, 0 or >0. A total order: usable for indexes, ORDER BY and GROUP BY.
int compare_ci(std::string_view a, std::string_view b);

// The same order by its definition, level by level over the whole texts
// (trailing blanks stripped; base letters without case, ß as "ss"; then
// accents). compare_ci gives its sign, faster.
int compare_ci_by_levels(std::string_view a, std::string_view b);

// One code point, lower case (ASCII, Latin-1 and Latin Extended-A letters).
char32_t fold_case(char32_t c);

// Decodes the code point at s[pos] and advances pos.
char32_t next_code_point(std::string_view s, size_t& pos);

// Appends the UTF-8 bytes of one code point.
void append_utf8(std::string& out, char32_t c);

// Whether a code point is its own primary sort key (neither folded, nor an
// accented letter, nor ß).
bool is_primary_key(char32_t c);

// A text that sorts after every text whose primary sort keys begin with those
// of `prefix` (case folded, accents removed, ß as "ss"), and before none of
// them: with `prefix` itself as lower bound, the range
// [prefix, bound) holds every value that begins with `prefix` under this
// collation (and under LIKE 'prefix%'), so an index can serve the LIKE.
// Nullopt when no such text exists (nothing but the highest code points).
std::optional<std::string> primary_prefix_upper_bound(std::string_view prefix);

class LikePattern {
 public:
  // `escape` is 0 for none, else the code point that makes the next pattern
  // character literal.
  explicit LikePattern(std::string_view pattern, char32_t escape = 0);

  bool Matches(std::string_view value) const;

  // The characters (folded) before the first wildcard, set or %: every value
  // the pattern matches begins with them.
  std::string LiteralPrefix() const;

  const std::string& source() const { return source_; }
  char32_t escape() const { return escape_; }

 private:
  enum class Kind { kLiteral, kAny, kPercent, kSet };
  struct Range {
    char32_t lo, hi;  // folded; lo == hi for a single character
  };
  struct Token {
    Kind kind;
    char32_t literal = 0;  // folded
    bool negated = false;
    std::vector<Range> ranges;
  };

  bool TokenMatches(const Token& t, char32_t c) const;
  bool MatchPrefix(std::string_view value, size_t length) const;

  std::string source_;
  char32_t escape_;
  std::vector<Token> tokens_;
  bool has_percent_ = false;
  bool ends_with_percent_ = false;
};

}  // namespace noxplz::sqlite
