#include "platform/db/postgres/pg_rewrite.h"

#include <vector>

#include "platform/db/sql_tokens.h"

namespace noxplz::postgres {
namespace {

using sql::is_keyword;
using sql::Token;
using sql::TokenKind;

constexpr std::string_view kLowerOpen = "lower((";
constexpr std::string_view kLowerClose = ")::text COLLATE \"und-x-icu\") COLLATE \"C\"";

bool is_punct(const Token& t, char c) { return t.kind == TokenKind::kPunct && t.text.size() == 1 && t.text[0] == c; }

// Words that may stand before "(" without being a function name.
bool is_clause_keyword(const Token& t) {
  for (std::string_view k : {"AND", "OR", "NOT", "WHERE", "ON", "WHEN", "THEN", "ELSE", "SELECT", "HAVING",
                             "IN", "EXISTS", "FROM", "JOIN", "BY", "AS", "CASE", "LIKE", "ESCAPE", "VALUES",
                             "UNION", "ALL", "DISTINCT", "SET", "INTO", "IS", "BETWEEN", "RETURN"})
    if (is_keyword(t, k)) return true;
  return false;
}

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

class Rewriter {
 public:
  explicit Rewriter(std::string_view sql) : tokens_(sql::tokenize(sql)) {
    out_.reserve(tokens_.size());
    for (const Token& t : tokens_) out_.emplace_back(t.text);
    prefix_.resize(tokens_.size());
    suffix_.resize(tokens_.size());
  }

  std::string Run() {
    int depth = 0;
    for (size_t i = 0; i < tokens_.size(); ++i) {
      const Token& t = tokens_[i];
      switch (t.kind) {
        case TokenKind::kQuotedName: {
          // A collation's name ("C", "und-x-icu") is no table or column name.
          size_t prev = Prev(i);
          if (prev == std::string::npos || !is_keyword(tokens_[prev], "COLLATE"))
            out_[i] = QuotedLower(sql::quoted_name(t));
          break;
        }
        case TokenKind::kString:
          if (t.text.front() != '\'') out_[i] = std::string(t.text.substr(1));  // N'…'
          break;
        case TokenKind::kPunct:
          if (is_punct(t, '(')) ++depth;
          if (is_punct(t, ')')) CloseTop(i, depth--);
          if (is_punct(t, ';') && depth == 0) CloseTop(i, 0);
          break;
        case TokenKind::kWord:
          i = Word(i, depth);
          break;
        default:
          break;
      }
    }
    CloseTop(tokens_.size(), 0);
    std::string result;
    for (size_t i = 0; i < tokens_.size(); ++i) result += prefix_[i] + out_[i] + suffix_[i];
    return result;
  }

 private:
  static std::string QuotedLower(const std::string& name) {
    std::string out = "\"";
    for (char c : lower_ascii(name)) {
      out += c;
      if (c == '"') out += '"';
    }
    return out + "\"";
  }

  size_t Prev(size_t i) const {  // previous significant token, or npos
    while (i > 0) {
      --i;
      if (sql::significant(tokens_[i])) return i;
    }
    return std::string::npos;
  }
  size_t Next(size_t i) const {  // next significant token, or npos
    for (++i; i < tokens_.size(); ++i)
      if (sql::significant(tokens_[i])) return i;
    return std::string::npos;
  }

  // The matching ")" of the "(" at `open`, or npos.
  size_t MatchingClose(size_t open) const {
    int depth = 0;
    for (size_t k = open; k < tokens_.size(); ++k) {
      if (is_punct(tokens_[k], '(')) ++depth;
      if (is_punct(tokens_[k], ')') && --depth == 0) return k;
    }
    return std::string::npos;
  }
  size_t MatchingOpen(size_t close) const {
    int depth = 0;
    for (size_t k = close + 1; k-- > 0;) {
      if (is_punct(tokens_[k], ')')) ++depth;
      if (is_punct(tokens_[k], '(') && --depth == 0) return k;
    }
    return std::string::npos;
  }

  bool IsName(size_t k) const {
    return k != std::string::npos &&
           (tokens_[k].kind == TokenKind::kWord || tokens_[k].kind == TokenKind::kQuotedName);
  }

  // First token of the operand that ends at `end` (a dotted name, a
  // parenthesised expression or function call, a literal).
  size_t OperandStart(size_t end) const {
    if (is_punct(tokens_[end], ')')) {
      size_t open = MatchingOpen(end);
      if (open == std::string::npos) return end;
      size_t fn = Prev(open);
      if (fn != std::string::npos && tokens_[fn].kind == TokenKind::kWord && !is_clause_keyword(tokens_[fn]))
        return fn;
      return open;
    }
    size_t start = end;
    if (IsName(start)) {
      for (;;) {
        size_t dot = Prev(start);
        if (dot == std::string::npos || !is_punct(tokens_[dot], '.')) break;
        size_t name = Prev(dot);
        if (!IsName(name)) break;
        start = name;
      }
    }
    return start;
  }

  // Last token of the operand that begins at `start`.
  size_t OperandEnd(size_t start) const {
    if (is_punct(tokens_[start], '(')) {
      size_t close = MatchingClose(start);
      return close == std::string::npos ? tokens_.size() - 1 : close;
    }
    size_t end = start;
    if (IsName(end)) {
      size_t next = Next(end);
      if (next != std::string::npos && is_punct(tokens_[next], '(') && tokens_[end].kind == TokenKind::kWord) {
        size_t close = MatchingClose(next);
        return close == std::string::npos ? tokens_.size() - 1 : close;
      }
      for (;;) {
        size_t dot = Next(end);
        if (dot == std::string::npos || !is_punct(tokens_[dot], '.')) break;
        size_t name = Next(dot);
        if (!IsName(name)) break;
        end = name;
      }
    }
    return end;
  }

  // Handles the word at `i`; returns the index of the last token consumed.
  size_t Word(size_t i, int depth) {
    const Token& t = tokens_[i];
    size_t prev = Prev(i);
    if (prev != std::string::npos && is_punct(tokens_[prev], '.')) return i;  // a column called Left, say
    size_t next = Next(i);
    const bool call = next != std::string::npos && is_punct(tokens_[next], '(');
    if (call && is_keyword(t, "ISNULL")) {
      out_[i] = "COALESCE";
    } else if (call && is_keyword(t, "LEN")) {
      size_t close = MatchingClose(next);
      if (close != std::string::npos) {
        out_[i] = "char_length(rtrim";
        suffix_[close] += ")";
      }
    } else if (is_keyword(t, "TOP") && depth >= 0 && prev != std::string::npos &&
               (is_keyword(tokens_[prev], "SELECT") || is_keyword(tokens_[prev], "DISTINCT")) &&
               next != std::string::npos && tokens_[next].kind == TokenKind::kNumber &&
               (top_.size() <= static_cast<size_t>(depth) || top_[depth].empty())) {
      if (top_.size() <= static_cast<size_t>(depth)) top_.resize(static_cast<size_t>(depth) + 1);
      top_[depth] = std::string(tokens_[next].text);
      out_[i].clear();
      out_[next].clear();
      return next;
    } else if (is_keyword(t, "LIKE")) {
      return Like(i);
    }
    return i;
  }

  size_t Like(size_t i) {
    size_t lhs_end = Prev(i);
    size_t not_index = std::string::npos;
    if (lhs_end != std::string::npos && is_keyword(tokens_[lhs_end], "NOT")) {
      not_index = lhs_end;
      lhs_end = Prev(lhs_end);
    }
    size_t rhs = Next(i);
    if (lhs_end == std::string::npos || rhs == std::string::npos) return i;  // left as it is: the server reports it
    size_t lhs_start = OperandStart(lhs_end);
    prefix_[lhs_start].insert(0, kLowerOpen);
    suffix_[lhs_end] += kLowerClose;

    if (tokens_[rhs].kind != TokenKind::kString) {
      size_t rhs_end = OperandEnd(rhs);
      prefix_[rhs].insert(0, kLowerOpen);
      suffix_[rhs_end] += kLowerClose;
      return i;
    }

    char escape = 0;
    size_t last = rhs;
    size_t esc_word = Next(rhs);
    if (esc_word != std::string::npos && is_keyword(tokens_[esc_word], "ESCAPE")) {
      size_t esc_value = Next(esc_word);
      if (esc_value != std::string::npos && tokens_[esc_value].kind == TokenKind::kString) {
        std::string e = sql::string_value(tokens_[esc_value]);
        if (e.size() == 1) {
          escape = e[0];
          for (size_t k = rhs + 1; k <= esc_value; ++k) out_[k].clear();
          last = esc_value;
        }
      }
    }
    bool regex = false;
    std::string pattern = translate_like_pattern(sql::string_value(tokens_[rhs]), escape, regex);
    if (regex) {
      out_[i] = not_index != std::string::npos ? "!~" : "~";
      if (not_index != std::string::npos) out_[not_index].clear();
    }
    out_[rhs] = "lower(" + string_literal(pattern) + " COLLATE \"und-x-icu\") COLLATE \"C\"";
    return last;
  }

  // SELECT TOP n: the LIMIT goes at the end of its statement, or of its
  // subquery (before the parenthesis at `end` that closes `depth`).
  void CloseTop(size_t end, int depth) {
    if (depth < 0 || top_.size() <= static_cast<size_t>(depth) || top_[depth].empty()) return;
    size_t last = Prev(end);
    if (last != std::string::npos) suffix_[last] += " LIMIT " + top_[depth];
    top_[depth].clear();
  }

  std::vector<Token> tokens_;
  std::vector<std::string> out_, prefix_, suffix_;
  std::vector<std::string> top_;  // the pending TOP count per parenthesis depth
};

bool regex_special(char c) {
  switch (c) {
    case '.': case '^': case '$': case '*': case '+': case '?': case '(': case ')':
    case '[': case ']': case '{': case '}': case '|': case '\\':
      return true;
    default:
      return false;
  }
}

// End of a [set] starting at `i` (index after its "]"), or npos when the
// bracket is never closed (then it is an ordinary character).
size_t set_end(std::string_view p, size_t i) {
  size_t j = i + 1;
  if (j < p.size() && p[j] == '^') ++j;
  if (j < p.size() && p[j] == ']') ++j;  // a leading ] belongs to the set
  size_t close = p.find(']', j);
  return close == std::string_view::npos ? std::string_view::npos : close + 1;
}

}  // namespace

std::string string_literal(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string translate_like_pattern(std::string_view p, char escape, bool& regex) {
  regex = false;
  for (size_t i = 0; i < p.size(); ++i) {
    if (escape && p[i] == escape) {
      ++i;
      continue;
    }
    if (p[i] == '[' && set_end(p, i) != std::string_view::npos) {
      regex = true;
      break;
    }
  }

  std::string out;
  if (!regex) {
    for (size_t i = 0; i < p.size(); ++i) {
      char c = p[i];
      if (escape && c == escape && i + 1 < p.size()) {
        c = p[++i];
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
        continue;
      }
      if (c == '\\') out += '\\';
      out += c;
    }
    return out;
  }

  out = "^";
  for (size_t i = 0; i < p.size(); ++i) {
    char c = p[i];
    if (escape && c == escape && i + 1 < p.size()) {
      c = p[++i];
      if (regex_special(c)) out += '\\';
      out += c;
      continue;
    }
    if (c == '%') {
      out += ".*";
    } else if (c == '_') {
      out += '.';
    } else if (c == '[' && set_end(p, i) != std::string_view::npos) {
      size_t end = set_end(p, i);
      out += '[';
      size_t j = i + 1;
      if (p[j] == '^') {
        out += '^';
        ++j;
      }
      for (; j + 1 < end; ++j) {
        if (p[j] == '\\' || p[j] == '[' || (p[j] == ']' && j != i + 1)) out += '\\';
        out += p[j];
      }
      out += ']';
      i = end - 1;
    } else {
      if (regex_special(c)) out += '\\';
      out += c;
    }
  }
  out += " *$";  // trailing blanks of the value may stay unmatched
  return out;
}

std::string rewrite_sql(std::string_view sql) { return Rewriter(sql).Run(); }

}  // namespace noxplz::postgres
