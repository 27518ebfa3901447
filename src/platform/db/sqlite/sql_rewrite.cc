#include "platform/db/sqlite/sql_rewrite.h"

#include <cctype>

namespace noxplz::sqlite {
namespace {

bool is_ident_start(unsigned char c) {
  return std::isalpha(c) || c == '_' || c == '@' || c == '#' || c >= 0x80;
}

bool is_ident_char(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '@' || c == '#' || c == '$' || c >= 0x80;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// End of a token that starts with `open` at `i` and ends with `close`; a
// doubled `close` inside stands for itself. Unterminated: end of text.
size_t quoted_end(std::string_view s, size_t i, char close) {
  for (size_t j = i + 1; j < s.size(); ++j) {
    if (s[j] != close) continue;
    if (j + 1 < s.size() && s[j + 1] == close) {
      ++j;
      continue;
    }
    return j + 1;
  }
  return s.size();
}

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

}  // namespace

bool only_blanks_and_comments(std::string_view rest) {
  size_t i = 0;
  while (i < rest.size()) {
    if (is_blank(rest[i]) || rest[i] == ';') {
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
  out.text.clear();
  out.insert_template.clear();
  out.literal_values.clear();
  out.literals.clear();
  out.kind = StatementKind::kOther;
  out.parameterized = false;

  bool first_word_seen = false;
  bool lift = false;        // building the INSERT template
  bool liftable = true;     // nothing seen that rules the template out
  char last_significant = 0;  // last character emitted outside blanks and comments

  auto emit = [&](std::string_view piece) {
    out.text += piece;
    if (lift) out.insert_template += piece;
  };

  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    const char c = sql[i];
    const unsigned char uc = static_cast<unsigned char>(c);

    if (c == '\'') {
      size_t end = quoted_end(sql, i, '\'');
      std::string_view token = sql.substr(i, end - i);
      out.text += token;
      if (lift) {
        out.insert_template += '?';
        size_t offset = out.literal_values.size();
        // Body without the quotes, '' undoubled.
        size_t body_end = (end > i + 1 && sql[end - 1] == '\'') ? end - 1 : end;
        for (size_t j = i + 1; j < body_end; ++j) {
          out.literal_values += sql[j];
          if (sql[j] == '\'') ++j;
        }
        out.literals.emplace_back(offset, out.literal_values.size() - offset);
      }
      last_significant = '\'';
      i = end;
      continue;
    }
    if (c == '"' || c == '`' || c == '[') {
      size_t end = quoted_end(sql, i, c == '[' ? ']' : c);
      emit(sql.substr(i, end - i));
      last_significant = c;
      i = end;
      continue;
    }
    if (size_t end = comment_end(sql, i); end != i) {
      emit(sql.substr(i, end - i));
      i = end;
      continue;
    }
    if (is_ident_start(uc)) {
      size_t end = i + 1;
      while (end < n && is_ident_char(static_cast<unsigned char>(sql[end]))) ++end;
      std::string_view word = sql.substr(i, end - i);

      if (!first_word_seen) {
        first_word_seen = true;
        out.kind = kind_of(word);
        lift = out.kind == StatementKind::kInsert;
        if (lift) out.insert_template = out.text;
      }
      if (iequals(word, "SELECT") || iequals(word, "RETURNING")) liftable = false;

      const bool quote_follows = end < n && sql[end] == '\'';
      if (quote_follows && iequals(word, "N")) {
        // National string literal: SQLite's literals are Unicode already.
        i = end;
        continue;
      }
      if (quote_follows && iequals(word, "X")) liftable = false;  // blob literal

      std::string_view replacement;
      if (last_significant != '.') {
        size_t next = end;
        while (next < n && is_blank(sql[next])) ++next;
        if (next < n && sql[next] == '(') replacement = function_replacement(word);
      }
      emit(replacement.empty() ? word : replacement);
      last_significant = 'a';
      i = end;
      continue;
    }
    if (std::isdigit(uc)) {
      // A number, with any letters glued to it (1e5, 0x1F): one token.
      size_t end = i + 1;
      while (end < n && (is_ident_char(static_cast<unsigned char>(sql[end])) || sql[end] == '.')) ++end;
      emit(sql.substr(i, end - i));
      last_significant = '0';
      i = end;
      continue;
    }
    if (c == ';' && !only_blanks_and_comments(sql.substr(i + 1))) liftable = false;
    out.text += c;
    if (lift) out.insert_template += c;
    if (!is_blank(c)) last_significant = c;
    ++i;
  }

  out.parameterized = lift && liftable && !out.literals.empty();
  if (!out.parameterized) {
    out.insert_template.clear();
    out.literal_values.clear();
    out.literals.clear();
  }
}

}  // namespace noxplz::sqlite
