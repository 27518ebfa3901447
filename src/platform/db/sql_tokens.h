// Splits SQL Server text into tokens, for the backends that turn the
// component's statements into their own dialect.
//
// Every byte of the input lands in exactly one token, so joining the tokens'
// texts gives the input back. Recognised: string literals ('…' with ''
// escapes, optionally N-prefixed), quoted identifiers ("…", […], `…`),
// comments (-- to the line end, /* */), words (identifiers and keywords,
// also @variables and #temp names), numbers, runs of blanks, and single
// punctuation characters. Unterminated quotes and comments run to the end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace noxplz::sql {

// The end of a quoted token (a string literal or quoted name) that opens at
// `i` and closes with `close`; a doubled `close` inside stands for itself.
// Unterminated: the end of the text.
size_t quoted_end(std::string_view s, size_t i, char close);

// ASCII letters compared without regard to case (SQL keywords, names).
bool iequals(std::string_view a, std::string_view b);
inline char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

enum class TokenKind { kWord, kQuotedName, kString, kNumber, kBlank, kComment, kPunct };

struct Token {
  TokenKind kind;
  std::string_view text;  // a view into the tokenized input
};

std::vector<Token> tokenize(std::string_view sql);

// Case-insensitive comparison of a word with an ASCII keyword.
bool is_keyword(const Token& token, std::string_view keyword);

// The body of a string literal token: without the N prefix and the quotes,
// doubled quotes undone.
std::string string_value(const Token& token);

// The name inside a quoted identifier token ("a""b" -> a"b, [x]] y] -> x] y).
std::string quoted_name(const Token& token);

// True when the token carries meaning (no blank, no comment).
inline bool significant(const Token& t) { return t.kind != TokenKind::kBlank && t.kind != TokenKind::kComment; }

}  // namespace noxplz::sql
