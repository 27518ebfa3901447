// The text module: every operation on the component's UTF-8 texts that counts
// characters or compares them. Character counts are code points, not bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace noxplz::text {

// Removes leading and trailing blanks (spaces only, as the component trims).
std::string trim(std::string_view s);
// The same without a copy: a view into `s`.
std::string_view trim_view(std::string_view s);
std::string trim_right(std::string_view s);
// The size of `s` without its trailing blanks. The postal tables' fields are
// padded to their width, so the blanks are skipped eight at a time.
size_t unpadded_size(std::string_view s);

// Number of code points.
size_t length(std::string_view s);
// First `n` code points.
std::string left(std::string_view s, size_t n);
// Code points from 1-based `start`, at most `n` of them (all when n is npos).
std::string mid(std::string_view s, size_t start, size_t n = std::string::npos);
// Last `n` code points.
std::string right(std::string_view s, size_t n);
// Splits into code points (each as its UTF-8 bytes).
std::vector<std::string> code_points(std::string_view s);

// ASCII letters upper case; everything else unchanged.
std::string ascii_upper(std::string_view s);
// Upper case for ASCII and the German letters ä ö ü (ß stays).
std::string upper(std::string_view s);
// Lower case for ASCII and the German letters Ä Ö Ü.
std::string lower(std::string_view s);
// Case-insensitive equality (ASCII and ä ö ü).
bool equals_ci(std::string_view a, std::string_view b);

// The street-name normalisation of the street lookups: full stops removed,
// "strasse" and "straße" (lower case only) replaced by "str", trimmed.
std::string normalize_street_name(std::string_view strasse);
// The key two street names share when they name the same street: lower case,
// then normalised ("Hauptstraße", "Hauptstr." and "HAUPTSTR" share "hauptstr").
std::string street_key(std::string_view name);

// A whole number with German thousands separators: 1000000 -> "1.000.000".
std::string group_digits(long long value);

// Replaces every occurrence of `from` (case-sensitive) with `to`.
std::string replace_all(std::string_view s, std::string_view from, std::string_view to);
// Splits at every occurrence of `sep` (an empty text gives one empty field).
std::vector<std::string> split(std::string_view s, char sep);

// The value of the leading decimal digits (after leading blanks), with the
// length of the digit run; nullopt when the text does not begin with a digit.
// Values beyond 64 bits saturate; callers that compare use the digit text.
struct LeadingNumber {
  std::string digits;  // without leading zeros ("0" for zero)
  size_t end = 0;      // byte offset after the digits
};
std::optional<LeadingNumber> leading_number(std::string_view s);

// Compares two digit strings without leading zeros as numbers: <0, 0, >0.
int compare_digit_strings(std::string_view a, std::string_view b);

// --- UTF-8 at the edges ---
// Text from a host, a command line or a database may hold bytes that are no
// UTF-8. The counting functions above take each such byte as one character
// of its own, so nothing is dropped; these helpers find and replace them.

// Whether `s` is well-formed UTF-8 (no overlong forms, no surrogates).
bool is_valid_utf8(std::string_view s);
// Byte offset of the first byte that starts no well-formed sequence, or npos.
size_t first_invalid_utf8(std::string_view s);
// `s` with every such byte replaced by U+FFFD.
std::string to_valid_utf8(std::string_view s);
// `s` made safe for a terminal: control characters (C0, DEL, C1 such as CSI)
// and bytes that are no UTF-8 appear escaped as \xHH or \u00HH, a backslash
// as two; everything else stays as it is.
std::string printable(std::string_view s);

// Latin-1 / Windows-1252 byte to UTF-8.
std::string windows1252_to_utf8(std::string_view bytes);

}  // namespace noxplz::text
