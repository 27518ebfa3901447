#include "platform/db/sqlite/sql_rewrite.h"

#include <array>

#include "platform/db/sql_tokens.h"

namespace noxplz::sqlite {
namespace {

// Character classes, without the locale lookups of <cctype>: this runs once
// per imported record.
enum : unsigned char { kIdentStart = 1, kIdentChar = 2, kDigit = 4, kBlank = 8, kSpecial = 16 };

constexpr std::array<unsigned char, 256> make_classes() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) {
    unsigned char k = 0;
    bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    bool digit = c >= '0' && c <= '9';
    if (alpha || c == '_' || c == '@' || c == '#' || c >= 0x80) k |= kIdentStart | kIdentChar;
    if (digit || c == '$') k |= kIdentChar;
    if (digit) k |= kDigit;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') k |= kBlank;
    // Characters that may begin a token the pass must look at.
    if (c == '\'' || c == '"' || c == '`' || c == '[' || c == '-' || c == '/' || c == ';' || c == '.')
      k |= kSpecial;
    t[static_cast<size_t>(c)] = k;
  }
  return t;
}
constexpr std::array<unsigned char, 256> kClasses = make_classes();

inline bool has(char c, unsigned char k) { return kClasses[static_cast<unsigned char>(c)] & k; }

using sql::iequals;
using sql::quoted_end;
inline char lower(char c) { return sql::lower_ascii(c); }

// End of a comment starting at `i`, or `i` when there is none.
size_t comment_end(std::string_view s, size_t i) {
  if (i + 1 >= s.size()) return i;
  if (s[i] == '-' && s[i + 1] == '-') {
    size_t nl = s.find('\n', i + 2);
    return nl == std::string_view::npos ? s.size() : nl + 1;
  }
  if (s[i] == '/' && s[i + 1] == '*') {
    size_t end = s.find("*/", i + 2);
    return end == std::string_view::npos ? s.size() : end + 2;
  }
  return i;
}

// SQLite's name for a T-SQL function, or empty when it needs none.
std::string_view function_replacement(std::string_view name) {
  if (iequals(name, "RIGHT")) return "noxplz_right";
  if (iequals(name, "LEFT")) return "noxplz_left";
  if (iequals(name, "LEN")) return "noxplz_len";
  if (iequals(name, "ISNULL")) return "ifnull";
  return {};
}

StatementKind kind_of(std::string_view keyword) {
  if (iequals(keyword, "SELECT") || iequals(keyword, "WITH") || iequals(keyword, "VALUES"))
    return StatementKind::kQuery;
  if (iequals(keyword, "INSERT") || iequals(keyword, "REPLACE")) return StatementKind::kInsert;
  if (iequals(keyword, "UPDATE")) return StatementKind::kUpdate;
  if (iequals(keyword, "DELETE")) return StatementKind::kDelete;
  return StatementKind::kOther;
}

// The first keyword, past blanks, comments and opening parentheses.
StatementKind first_keyword_kind(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size()) {
    if (has(sql[i], kBlank) || sql[i] == '(') {
      ++i;
      continue;
    }
    size_t end = comment_end(sql, i);
    if (end != i) {
      i = end;
      continue;
    }
    if (!has(sql[i], kIdentStart)) break;
    end = i + 1;
    while (end < sql.size() && has(sql[end], kIdentChar)) ++end;
    return kind_of(sql.substr(i, end - i));
  }
  return StatementKind::kOther;
}

// One pass over the text. With `lift`, string literals go into the literal
// list and the output is the template; otherwise the output is the text.
// Returns false (lift only) when the statement cannot become a template.
bool rewrite_pass(std::string_view sql, RewrittenSql& out, bool lift) {
  std::string& o = lift ? out.insert_template : out.text;
  o.clear();
  o.reserve(sql.size() + 16);
  bool liftable = true;
  char last_significant = 0;  // last character written outside blanks and comments

  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    // Plain characters (operators, parentheses, commas, blanks) in one go.
    size_t run = i;
    while (run < n && !has(sql[run], kIdentStart | kDigit | kSpecial)) ++run;
    if (run > i) {
      o.append(sql, i, run - i);
      for (size_t k = run; k > i; --k)
        if (!has(sql[k - 1], kBlank)) {
          last_significant = sql[k - 1];
          break;
        }
      i = run;
      continue;
    }

    const char c = sql[i];
    if (c == '\'') {
      size_t end = quoted_end(sql, i, '\'');
      if (lift) {
        o += '?';
        // The body without the quotes, '' undoubled.
        size_t body_end = (end > i + 1 && sql[end - 1] == '\'') ? end - 1 : end;
        size_t offset = out.literal_values.size();
        for (size_t j = i + 1; j < body_end;) {
          size_t q = sql.find('\'', j);
          if (q == std::string_view::npos || q >= body_end) q = body_end;
          out.literal_values.append(sql, j, q - j);
          if (q < body_end) out.literal_values += '\'';
          j = q + 2;
        }
        out.literals.emplace_back(offset, out.literal_values.size() - offset);
      } else {
        o.append(sql, i, end - i);
      }
      last_significant = '\'';
      i = end;
      continue;
    }
    if (c == '"' || c == '`' || c == '[') {
      size_t end = quoted_end(sql, i, c == '[' ? ']' : c);
      o.append(sql, i, end - i);
      last_significant = c;
      i = end;
      continue;
    }
    if (size_t end = comment_end(sql, i); end != i) {
      o.append(sql, i, end - i);
      i = end;
      continue;
    }
    if (has(c, kIdentStart)) {
      size_t end = i + 1;
      while (end < n && has(sql[end], kIdentChar)) ++end;
      std::string_view word = sql.substr(i, end - i);
      if (lift && (iequals(word, "SELECT") || iequals(word, "RETURNING"))) liftable = false;

      if (end < n && sql[end] == '\'' && word.size() == 1) {
        if (word[0] == 'N' || word[0] == 'n') {
          // National string literal: SQLite's literals are Unicode already.
          i = end;
          continue;
        }
        if (word[0] == 'X' || word[0] == 'x') liftable = false;  // blob literal
      }

      std::string_view replacement;
      if (last_significant != '.' && word.size() <= 6) {
        size_t next = end;
        while (next < n && has(sql[next], kBlank)) ++next;
        if (next < n && sql[next] == '(') replacement = function_replacement(word);
      }
      o += replacement.empty() ? word : replacement;
      last_significant = 'a';
      i = end;
      continue;
    }
    if (has(c, kDigit)) {
      // A number, with any letters glued to it (1e5, 0x1F): one token.
      size_t end = i + 1;
      while (end < n && (has(sql[end], kIdentChar) || sql[end] == '.')) ++end;
      o.append(sql, i, end - i);
      last_significant = '0';
      i = end;
      continue;
    }
    if (c == ';' && lift && !only_blanks_and_comments(sql.substr(i + 1))) liftable = false;
    o += c;
    last_significant = c;
    ++i;
  }
  return liftable;
}

}  // namespace

bool only_blanks_and_comments(std::string_view rest) {
  size_t i = 0;
  while (i < rest.size()) {
    if (has(rest[i], kBlank) || rest[i] == ';') {
      ++i;
      continue;
    }
    size_t end = comment_end(rest, i);
    if (end == i) return false;
    i = end;
  }
  return true;
}

void rewrite_sql(std::string_view sql, RewrittenSql& out) {
  out.kind = first_keyword_kind(sql);
  out.parameterized = false;
  out.text.clear();
  out.insert_template.clear();
  out.literal_values.clear();
  out.literals.clear();

  if (out.kind == StatementKind::kInsert) {
    if (rewrite_pass(sql, out, true) && !out.literals.empty()) {
      out.parameterized = true;
      return;
    }
    out.insert_template.clear();
    out.literal_values.clear();
    out.literals.clear();
  }
  rewrite_pass(sql, out, false);
}

void rewrite_sql_text(std::string_view sql, RewrittenSql& out) { rewrite_pass(sql, out, false); }

}  // namespace noxplz::sqlite
