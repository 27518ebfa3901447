#include "platform/db/sqlite/query_rewrite.h"

#include <algorithm>
#include <optional>

#include "platform/db/sql_tokens.h"
#include "platform/db/sqlite/german_collation.h"

namespace noxplz::sqlite {
namespace {

enum class Tk { kWord, kQuoted, kString, kNumber, kPunct };

struct Token {
  Tk kind;
  size_t begin, end;
};

inline bool ident_start(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '@' || c == '#' || u >= 0x80;
}
inline bool ident_char(char c) { return ident_start(c) || (c >= '0' && c <= '9') || c == '$'; }
inline bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
using sql::iequals;
using sql::quoted_end;
inline char lower(char c) { return sql::lower_ascii(c); }

// The tokens of a statement, without blanks and comments.
std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  out.reserve(s.size() / 4 + 8);  // about one token per four characters: no growth on the way
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const char c = s[i];
    if (blank(c)) {
      ++i;
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      size_t nl = s.find('\n', i + 2);
      i = nl == std::string_view::npos ? n : nl + 1;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      size_t end = s.find("*/", i + 2);
      i = end == std::string_view::npos ? n : end + 2;
    } else if (c == '\'') {
      size_t end = quoted_end(s, i, '\'');
      out.push_back({Tk::kString, i, end});
      i = end;
    } else if (c == '"' || c == '`' || c == '[') {
      size_t end = quoted_end(s, i, c == '[' ? ']' : c);
      out.push_back({Tk::kQuoted, i, end});
      i = end;
    } else if (ident_start(c)) {
      size_t end = i + 1;
      while (end < n && ident_char(s[end])) ++end;
      out.push_back({Tk::kWord, i, end});
      i = end;
    } else if (c >= '0' && c <= '9') {
      size_t end = i + 1;
      while (end < n && (ident_char(s[end]) || s[end] == '.')) ++end;
      out.push_back({Tk::kNumber, i, end});
      i = end;
    } else {
      out.push_back({Tk::kPunct, i, i + 1});
      ++i;
    }
  }
  return out;
}

class Tokens {
 public:
  explicit Tokens(std::string_view sql) : sql_(sql), t_(tokenize(sql)) {}
  size_t size() const { return t_.size(); }
  const Token& operator[](size_t i) const { return t_[i]; }
  std::string_view text(size_t i) const { return sql_.substr(t_[i].begin, t_[i].end - t_[i].begin); }
  bool word(size_t i, std::string_view w) const {
    return i < t_.size() && t_[i].kind == Tk::kWord && iequals(text(i), w);
  }
  bool punct(size_t i, char c) const { return i < t_.size() && t_[i].kind == Tk::kPunct && sql_[t_[i].begin] == c; }
  bool any_word(std::initializer_list<std::string_view> words, size_t from = 0) const {
    for (size_t i = from; i < t_.size(); ++i)
      for (std::string_view w : words)
        if (word(i, w)) return true;
    return false;
  }
  // The first FROM outside parentheses, or size().
  size_t top_level_from() const {
    int depth = 0;
    for (size_t i = 0; i < t_.size(); ++i) {
      if (punct(i, '(')) ++depth;
      else if (punct(i, ')')) --depth;
      else if (depth == 0 && word(i, "FROM")) return i;
    }
    return t_.size();
  }

 private:
  std::string_view sql_;
  std::vector<Token> t_;
};

// The value of a string literal or the name in a quoted identifier.
std::string unquote(std::string_view token) {
  if (token.empty()) return {};
  const char open = token.front();
  if (open != '\'' && open != '"' && open != '`' && open != '[') return std::string(token);
  const char close = open == '[' ? ']' : open;
  std::string out;
  size_t end = token.size() >= 2 && token.back() == close ? token.size() - 1 : token.size();
  for (size_t i = 1; i < end; ++i) {
    out += token[i];
    if (token[i] == close && i + 1 < end && token[i + 1] == close) ++i;
  }
  return out;
}

std::string quote_literal(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

struct Edit {
  size_t pos, erase;
  std::string insert;
};

void apply(std::string& sql, std::vector<Edit>& edits) {
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.pos > b.pos; });
  for (const Edit& e : edits) sql.replace(e.pos, e.erase, e.insert);
}

bool is_keyword(std::string_view w) {
  static constexpr std::string_view kWords[] = {
      "SELECT", "FROM",    "WHERE", "AND",  "OR",   "NOT",    "LIKE",   "ESCAPE", "IS",     "IN",
      "BETWEEN", "CASE",   "WHEN",  "THEN", "ELSE", "END",    "NULL",   "ORDER",  "GROUP",  "BY",
      "LIMIT",  "HAVING",  "JOIN",  "INNER", "LEFT", "RIGHT", "CROSS",  "NATURAL", "FULL", "OUTER",
      "ON",     "USING",   "UNION", "EXCEPT", "INTERSECT", "AS", "WINDOW", "COLLATE", "EXISTS"};
  for (std::string_view k : kWords)
    if (iequals(w, k)) return true;
  return false;
}

bool names_column(const Tokens& t, size_t i) {
  return i < t.size() && (t[i].kind == Tk::kQuoted || (t[i].kind == Tk::kWord && !is_keyword(t.text(i))));
}

}  // namespace

bool rewrite_top(std::string& sql) {
  const Tokens t(sql);
  if (t.any_word({"UNION", "EXCEPT", "INTERSECT"})) return false;
  std::vector<Edit> edits;
  for (size_t i = 0; i + 2 < t.size(); ++i) {
    if (!t.word(i, "SELECT") || !t.word(i + 1, "TOP") || t[i + 2].kind != Tk::kNumber) continue;
    const std::string_view n = t.text(i + 2);
    if (!std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    if (t.word(i + 3, "PERCENT") || t.word(i + 3, "WITH")) continue;
    // The SELECT ends before the parenthesis that closes around it, before
    // a ";" or at the end of the text: LIMIT goes after its last token.
    int depth = 0;
    size_t last = i + 2;
    for (size_t j = i + 3; j < t.size(); ++j) {
      if (t.punct(j, '(')) ++depth;
      if (t.punct(j, ')') && depth-- == 0) break;
      if (depth == 0 && t.punct(j, ';')) break;
      last = j;
    }
    edits.push_back({t[i + 1].begin, t[i + 2].end - t[i + 1].begin, ""});
    edits.push_back({t[last].end, 0, " LIMIT " + std::string(n)});
  }
  if (edits.empty()) return false;
  apply(sql, edits);
  return true;
}

bool rewrite_like_ranges(std::string& sql, const OrderedTextColumn& ordered_text_column) {
  const Tokens t(sql);
  if (!t.word(0, "SELECT")) return false;
  const size_t from = t.top_level_from();
  if (from + 1 >= t.size() || !(t[from + 1].kind == Tk::kWord || t[from + 1].kind == Tk::kQuoted) ||
      (t[from + 1].kind == Tk::kWord && is_keyword(t.text(from + 1))))
    return false;
  const std::string table = unquote(t.text(from + 1));
  std::string alias;
  size_t where = from + 2;
  if (t.word(where, "AS")) {
    if (!names_column(t, where + 1)) return false;
    alias = unquote(t.text(where + 1));
    where += 2;
  } else if (names_column(t, where)) {
    alias = unquote(t.text(where));
    ++where;
  }
  // One table, then the condition: no join, no second table, no compound.
  if (!t.word(where, "WHERE")) return false;
  if (t.any_word({"BETWEEN", "UNION", "EXCEPT", "INTERSECT"}, where)) return false;

  std::vector<Edit> edits;
  std::vector<bool> subquery;  // per open parenthesis after WHERE
  for (size_t m = where + 1; m < t.size(); ++m) {
    if (t.punct(m, '(')) {
      subquery.push_back(t.word(m + 1, "SELECT"));
      continue;
    }
    if (t.punct(m, ')')) {
      if (subquery.empty()) return false;
      subquery.pop_back();
      continue;
    }
    if (!t.word(m, "LIKE") || std::find(subquery.begin(), subquery.end(), true) != subquery.end()) continue;

    // [qualifier .] column LIKE 'literal', a whole operand on both sides.
    if (m < 1 || !names_column(t, m - 1)) continue;
    size_t start = m - 1;
    if (start >= 2 && t.punct(start - 1, '.')) {
      if (!names_column(t, start - 2)) continue;
      const std::string qualifier = unquote(t.text(start - 2));
      if (!iequals(qualifier, table) && !(alias.size() && iequals(qualifier, alias))) continue;
      start -= 2;
    }
    const size_t prev = start - 1;  // start > where, so prev >= where
    if (!(t.word(prev, "WHERE") || t.word(prev, "AND") || t.word(prev, "OR") || t.word(prev, "NOT") ||
          t.punct(prev, '(')))
      continue;
    const size_t lit = m + 1, next = m + 2;
    if (lit >= t.size() || t[lit].kind != Tk::kString) continue;
    if (next < t.size() && !(t.punct(next, ')') || t.punct(next, ';') || t.word(next, "AND") || t.word(next, "OR") ||
                             t.word(next, "ORDER") || t.word(next, "GROUP") || t.word(next, "LIMIT")))
      continue;

    std::string prefix = LikePattern(unquote(t.text(lit))).LiteralPrefix();
    while (!prefix.empty() && prefix.back() == ' ') prefix.pop_back();
    if (prefix.empty()) continue;
    if (!ordered_text_column(table, unquote(t.text(m - 1)))) continue;

    const std::string column(sql, t[start].begin, t[m - 1].end - t[start].begin);
    std::string range = "(" + column + " >= " + quote_literal(prefix);
    if (std::optional<std::string> bound = primary_prefix_upper_bound(prefix))
      range += " AND " + column + " < " + quote_literal(*bound);
    range += " AND " + std::string(sql, t[start].begin, t[lit].end - t[start].begin) + ")";
    edits.push_back({t[start].begin, t[lit].end - t[start].begin, std::move(range)});
  }
  if (edits.empty()) return false;
  apply(sql, edits);
  return true;
}

bool lift_query_literals(std::string_view sql, LiftedQuery& out) {
  const Tokens t(sql);
  if (!t.word(0, "SELECT")) return false;
  for (size_t i = 0; i < t.size(); ++i)
    if (t.punct(i, ';') && i + 1 < t.size() && !t.punct(i + 1, ';')) return false;  // more than one statement
  out.text.clear();
  out.values.clear();
  size_t copied = 0;
  for (size_t i = t.top_level_from(); i < t.size(); ++i) {
    if (t[i].kind != Tk::kString) continue;
    // X'…' is a blob, not a text.
    if (i > 0 && t[i - 1].kind == Tk::kWord && t[i - 1].end == t[i].begin) return false;
    out.text.append(sql, copied, t[i].begin - copied);
    out.text += '?';
    out.values.push_back(unquote(t.text(i)));
    copied = t[i].end;
  }
  out.text.append(sql, copied);
  return true;
}

}  // namespace noxplz::sqlite
