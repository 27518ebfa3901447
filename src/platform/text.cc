#include "platform/text.h"

#include <algorithm>
#include <cstring>

namespace noxplz::text {
namespace {

// Length in bytes of the well-formed UTF-8 sequence at `pos`, or 0 when the
// bytes there are not one (a stray continuation byte, a cut or overlong
// sequence, a surrogate, a value beyond U+10FFFF).
size_t valid_sequence_at(std::string_view s, size_t pos) {
  const unsigned char lead = static_cast<unsigned char>(s[pos]);
  if (lead < 0x80) return 1;
  size_t n;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (pos + n > s.size()) return 0;
  for (size_t i = 1; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[pos + i]);
    if (c < (i == 1 ? lo : 0x80) || c > (i == 1 ? hi : 0xBF)) return 0;
  }
  return n;
}

// Bytes of the code point at `pos`; a byte that starts no well-formed
// sequence counts as one character of its own, so no byte is ever skipped.
size_t cp_len(std::string_view s, size_t pos) {
  size_t n = valid_sequence_at(s, pos);
  return n == 0 ? 1 : n;
}

// Byte offset of code point `index` (0-based), or s.size().
size_t offset_of(std::string_view s, size_t index) {
  size_t pos = 0;
  while (index > 0 && pos < s.size()) {
    pos += cp_len(s, pos);
    --index;
  }
  return std::min(pos, s.size());
}

// Maps the German two-byte letters between cases: Ä(C3 84) Ö(C3 96) Ü(C3 9C)
// and ä(C3 A4) ö(C3 B6) ü(C3 BC).
std::string map_case(std::string_view s, bool to_upper) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      if (to_upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
      if (!to_upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < out.size() && (static_cast<unsigned char>(out[i + 1]) & 0xC0) == 0x80) {
      unsigned char d = static_cast<unsigned char>(out[i + 1]);
      if (to_upper && (d == 0xA4 || d == 0xB6 || d == 0xBC)) out[i + 1] = static_cast<char>(d - 0x20);
      if (!to_upper && (d == 0x84 || d == 0x96 || d == 0x9C)) out[i + 1] = static_cast<char>(d + 0x20);
      ++i;
    }
  }
  return out;
}

}  // namespace

size_t unpadded_size(std::string_view s) {
  constexpr uint64_t kBlanks = 0x2020202020202020ull;
  size_t n = s.size();
  for (uint64_t word; n >= 8; n -= 8) {
    std::memcpy(&word, s.data() + n - 8, 8);
    if (word != kBlanks) break;
  }
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

std::string trim(std::string_view s) { return std::string(trim_view(s)); }

std::string normalize_street_name(std::string_view strasse) {
  std::string s = replace_all(strasse, ".", "");
  s = replace_all(s, "strasse", "str");
  s = replace_all(s, "straße", "str");
  return trim(s);
}

std::string street_key(std::string_view name) { return normalize_street_name(lower(trim(name))); }

std::string_view trim_view(std::string_view s) {
  s = s.substr(0, unpadded_size(s));
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return s.substr(b);
}

std::string trim_right(std::string_view s) { return std::string(s.substr(0, unpadded_size(s))); }

size_t length(std::string_view s) {
  size_t n = 0;
  for (size_t pos = 0; pos < s.size(); pos += cp_len(s, pos)) ++n;
  return n;
}

std::string left(std::string_view s, size_t n) { return std::string(s.substr(0, offset_of(s, n))); }

std::string mid(std::string_view s, size_t start, size_t n) {
  if (start == 0) start = 1;
  size_t b = offset_of(s, start - 1);
  if (n == std::string::npos) return std::string(s.substr(b));
  std::string_view rest = s.substr(b);
  return std::string(rest.substr(0, offset_of(rest, n)));
}

std::string right(std::string_view s, size_t n) {
  size_t len = length(s);
  if (n >= len) return std::string(s);
  return std::string(s.substr(offset_of(s, len - n)));
}

std::vector<std::string> code_points(std::string_view s) {
  std::vector<std::string> out;
  for (size_t pos = 0; pos < s.size();) {
    size_t n = cp_len(s, pos);
    out.emplace_back(s.substr(pos, n));
    pos += n;
  }
  return out;
}

std::string ascii_upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string upper(std::string_view s) { return map_case(s, true); }
std::string lower(std::string_view s) { return map_case(s, false); }
bool equals_ci(std::string_view a, std::string_view b) { return upper(a) == upper(b); }

std::string replace_all(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = s.find(from, pos)) != std::string_view::npos; pos = hit + from.size()) {
    out.append(s.substr(pos, hit - pos));
    out.append(to);
  }
  out.append(s.substr(pos));
  return out;
}

std::vector<std::string> split(std::string_view s, char sep) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (size_t hit; (hit = s.find(sep, pos)) != std::string_view::npos; pos = hit + 1)
    out.emplace_back(s.substr(pos, hit - pos));
  out.emplace_back(s.substr(pos));
  return out;
}

std::optional<LeadingNumber> leading_number(std::string_view s) {
  size_t pos = s.find_first_not_of(' ');
  if (pos == std::string_view::npos || s[pos] < '0' || s[pos] > '9') return std::nullopt;
  size_t end = pos;
  while (end < s.size() && s[end] >= '0' && s[end] <= '9') ++end;
  std::string_view digits = s.substr(pos, end - pos);
  size_t nz = digits.find_first_not_of('0');
  LeadingNumber n;
  n.digits = nz == std::string_view::npos ? "0" : std::string(digits.substr(nz));
  n.end = end;
  return n;
}

int compare_digit_strings(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string windows1252_to_utf8(std::string_view bytes) {
  // 0x80..0x9F of Windows-1252; 0 marks the five undefined positions (kept as C1).
  static const char16_t k80[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                                   0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
  std::string out;
  out.reserve(bytes.size() + 8);
  for (unsigned char c : bytes) {
    char32_t cp = c;
    if (c >= 0x80 && c <= 0x9F && k80[c - 0x80] != 0) cp = k80[c - 0x80];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string group_digits(long long value) {
  const bool negative = value < 0;
  // Through unsigned arithmetic, so the smallest value has a magnitude too.
  unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                          : static_cast<unsigned long long>(value);
  const std::string digits = std::to_string(magnitude);
  std::string out;
  if (negative) out += '-';
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
    out += digits[i];
  }
  return out;
}

bool is_valid_utf8(std::string_view s) {
  for (size_t pos = 0; pos < s.size();) {
    size_t n = valid_sequence_at(s, pos);
    if (n == 0) return false;
    pos += n;
  }
  return true;
}

size_t first_invalid_utf8(std::string_view s) {
  for (size_t pos = 0; pos < s.size();) {
    size_t n = valid_sequence_at(s, pos);
    if (n == 0) return pos;
    pos += n;
  }
  return std::string_view::npos;
}

std::string to_valid_utf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) {
    size_t n = valid_sequence_at(s, pos);
    if (n == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++pos;
    } else {
      out.append(s.substr(pos, n));
      pos += n;
    }
  }
  return out;
}

std::string printable(std::string_view s) {
  static const char* kHex = "0123456789ABCDEF";
  auto hex_byte = [](std::string& out, unsigned char b) {
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  };
  std::string out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    size_t n = valid_sequence_at(s, pos);
    if (n == 0) {  // not UTF-8: the byte's value
      hex_byte(out, c);
      ++pos;
    } else if (n == 1 && (c < 0x20 || c == 0x7F)) {  // C0 controls, ESC and DEL
      hex_byte(out, c);
      ++pos;
    } else if (n == 1 && c == '\\') {  // so an escape in the data stays tellable from a real one
      out += "\\\\";
      ++pos;
    } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(s[pos + 1]) <= 0x9F) {  // C1 controls (CSI)
      out += "\\u00";
      out += kHex[static_cast<unsigned char>(s[pos + 1]) >> 4];
      out += kHex[static_cast<unsigned char>(s[pos + 1]) & 0xF];
      pos += 2;
    } else {
      out.append(s.substr(pos, n));
      pos += n;
    }
  }
  return out;
}

}  // namespace noxplz::text
