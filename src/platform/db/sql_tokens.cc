#include "platform/db/sql_tokens.h"

namespace noxplz::sql {
namespace {

bool ident_start(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '@' || c == '#' || c >= 0x80;
}
bool ident_char(unsigned char c) { return ident_start(c) || (c >= '0' && c <= '9') || c == '$'; }
bool digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

char lower(char c) { return lower_ascii(c); }

}  // namespace

size_t quoted_end(std::string_view s, size_t i, char close) {
  size_t j = i + 1;
  for (;;) {
    j = s.find(close, j);
    if (j == std::string_view::npos) return s.size();
    if (j + 1 < s.size() && s[j + 1] == close) {
      j += 2;
      continue;
    }
    return j + 1;
  }
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
  return true;
}

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> tokens;
  tokens.reserve(s.size() / 4 + 8);  // about one token per four characters: no growth on the way
  size_t i = 0;
  const size_t n = s.size();
  auto add = [&](TokenKind kind, size_t end) {
    tokens.push_back({kind, s.substr(i, end - i)});
    i = end;
  };
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (blank(c)) {
      size_t end = i + 1;
      while (end < n && blank(static_cast<unsigned char>(s[end]))) ++end;
      add(TokenKind::kBlank, end);
    } else if (c == '\'') {
      add(TokenKind::kString, quoted_end(s, i, '\''));
    } else if ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'') {
      add(TokenKind::kString, quoted_end(s, i + 1, '\''));
    } else if (c == '"' || c == '`') {
      add(TokenKind::kQuotedName, quoted_end(s, i, static_cast<char>(c)));
    } else if (c == '[') {
      add(TokenKind::kQuotedName, quoted_end(s, i, ']'));
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      size_t nl = s.find('\n', i + 2);
      add(TokenKind::kComment, nl == std::string_view::npos ? n : nl + 1);
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      size_t end = s.find("*/", i + 2);
      add(TokenKind::kComment, end == std::string_view::npos ? n : end + 2);
    } else if (ident_start(c)) {
      size_t end = i + 1;
      while (end < n && ident_char(static_cast<unsigned char>(s[end]))) ++end;
      add(TokenKind::kWord, end);
    } else if (digit(c) || (c == '.' && i + 1 < n && digit(static_cast<unsigned char>(s[i + 1])))) {
      // A number with whatever is glued to it (1.5, 1e5, 0x1F).
      size_t end = i + 1;
      while (end < n && (ident_char(static_cast<unsigned char>(s[end])) || s[end] == '.')) ++end;
      add(TokenKind::kNumber, end);
    } else {
      add(TokenKind::kPunct, i + 1);
    }
  }
  return tokens;
}

bool is_keyword(const Token& token, std::string_view keyword) {
  if (token.kind != TokenKind::kWord || token.text.size() != keyword.size()) return false;
  for (size_t i = 0; i < keyword.size(); ++i)
    if (lower(token.text[i]) != lower(keyword[i])) return false;
  return true;
}

std::string string_value(const Token& token) {
  std::string_view t = token.text;
  if (!t.empty() && t.front() != '\'') t.remove_prefix(1);  // N
  if (!t.empty()) t.remove_prefix(1);
  if (!t.empty() && t.back() == '\'') t.remove_suffix(1);
  std::string out;
  out.reserve(t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    out += t[i];
    if (t[i] == '\'' && i + 1 < t.size() && t[i + 1] == '\'') ++i;
  }
  return out;
}

std::string quoted_name(const Token& token) {
  std::string_view t = token.text;
  if (t.empty()) return {};
  const char close = t.front() == '[' ? ']' : t.front();
  t.remove_prefix(1);
  if (!t.empty() && t.back() == close) t.remove_suffix(1);
  std::string out;
  for (size_t i = 0; i < t.size(); ++i) {
    out += t[i];
    if (t[i] == close && i + 1 < t.size() && t[i + 1] == close) ++i;
  }
  return out;
}

}  // namespace noxplz::sql
