#include "platform/db/sqlite/german_collation.h"

namespace noxplz::sqlite {
namespace {

constexpr char32_t kSharpS = 0xDF;  // ß

// The base letter of a folded Latin-1 letter (ä -> a, é -> e); other
// characters stay as they are. ß is expanded by the caller.
char32_t base_letter(char32_t c) {
  if (c < 0xE0 || c > 0xFF) return c;
  static constexpr char kBase[32] = {
      'a', 'a', 'a', 'a', 'a', 'a', 0,   'c',  // E0..E7 (æ stays)
      'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',  // E8..EF
      'd', 'n', 'o', 'o', 'o', 'o', 'o', 0,    // F0..F7 (÷ stays)
      'o', 'u', 'u', 'u', 'u', 'y', 0,   'y',  // F8..FF (þ stays)
  };
  char b = kBase[c - 0xE0];
  return b ? static_cast<char32_t>(b) : c;
}

std::string_view strip_trailing_blanks(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

inline unsigned char ascii_lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Walks a text as its sequence of primary sort keys: case folded, accents
// removed, ß as "ss".
class PrimaryCursor {
 public:
  explicit PrimaryCursor(std::string_view s) : s_(s) {}
  bool Next(char32_t& out) {
    if (pending_s_) {
      pending_s_ = false;
      out = 's';
      return true;
    }
    if (pos_ >= s_.size()) return false;
    char32_t c = fold_case(next_code_point(s_, pos_));
    if (c == kSharpS) {
      pending_s_ = true;
      out = 's';
      return true;
    }
    out = base_letter(c);
    return true;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
  bool pending_s_ = false;
};

inline int sign(char32_t a, char32_t b) { return a < b ? -1 : 1; }

}  // namespace

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

char32_t next_code_point(std::string_view s, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  size_t extra = 0;
  char32_t cp = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    ++pos;
    return lead;  // stray byte: its Latin-1 meaning
  }
  if (pos + extra >= s.size()) {
    ++pos;
    return lead;
  }
  for (size_t i = 1; i <= extra; ++i) {
    unsigned char c = byte(pos + i);
    if ((c & 0xC0) != 0x80) {
      ++pos;
      return lead;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  pos += extra + 1;
  return cp;
}

char32_t fold_case(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c < 0x100) return c;
  if (c == 0x178) return 0xFF;  // Ÿ
  if ((c <= 0x137 && c % 2 == 0) || (c >= 0x14A && c <= 0x177 && c % 2 == 0) ||
      (c >= 0x139 && c <= 0x148 && c % 2 == 1) || (c >= 0x179 && c <= 0x17E && c % 2 == 1))
    return c + 1;
  return c;
}

// Whether s[from..] holds only blanks.
inline bool only_blanks_from(std::string_view s, size_t from) {
  for (size_t i = from; i < s.size(); ++i)
    if (s[i] != ' ') return false;
  return true;
}

int compare_ci(std::string_view a, std::string_view b) {
  // Almost every value in the postal tables is plain ASCII, padded with
  // blanks to its field width. Equal bytes, and ASCII letters equal but for
  // case, are equal at every level of the order, so the comparison skips
  // them; where both texts are ASCII the first difference decides, and the
  // padding is looked at only where the texts differ or one ends (an index
  // insert compares a value many times, so it must not scan the padding
  // every time).
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  size_t after_ascii = 0;  // just after the last ASCII byte of the common part
  for (; i < common; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca == cb) {
      if (!(ca & 0x80)) after_ascii = i + 1;
      continue;
    }
    if ((ca | cb) & 0x80) break;
    after_ascii = i + 1;
    ca = ascii_lower(ca);
    cb = ascii_lower(cb);
    if (ca == cb) continue;
    // Where one text has only blanks left, it ends there and the other,
    // which goes on with something else, is longer.
    if (ca == ' ' && only_blanks_from(a, i)) return -1;
    if (cb == ' ' && only_blanks_from(b, i)) return 1;
    return ca < cb ? -1 : 1;
  }
  if (i == common && after_ascii == common) {
    // One is a prefix of the other: equal when the rest is padding.
    if (a.size() == b.size()) return 0;
    if (a.size() < b.size()) return only_blanks_from(b, i) ? 0 : -1;
    return only_blanks_from(a, i) ? 0 : 1;
  }
  // The levels decide from the last ASCII byte on: both texts decode in
  // step up to there (an ASCII byte is never part of a longer sequence), and
  // what lies before it is equal.
  return compare_ci_by_levels(a.substr(after_ascii), b.substr(after_ascii));
}

int compare_ci_by_levels(std::string_view a, std::string_view b) {
  a = strip_trailing_blanks(a);
  b = strip_trailing_blanks(b);

  // Primary level: base letters without case.
  PrimaryCursor pa(a), pb(b);
  for (;;) {
    char32_t ca = 0, cb = 0;
    bool ha = pa.Next(ca), hb = pb.Next(cb);
    if (!ha || !hb) {
      if (ha != hb) return ha ? 1 : -1;
      break;
    }
    if (ca != cb) return sign(ca, cb);
  }

  // Secondary level: accents count, case does not.
  size_t ia = 0, ib = 0;
  while (ia < a.size() && ib < b.size()) {
    char32_t ca = fold_case(next_code_point(a, ia));
    char32_t cb = fold_case(next_code_point(b, ib));
    if (ca != cb) return sign(ca, cb);
  }
  if (ia < a.size()) return 1;
  if (ib < b.size()) return -1;
  return 0;
}

namespace {

// Collation order of two single folded characters (for [a-f] ranges).
int compare_chars(char32_t a, char32_t b) {
  if (a == b) return 0;
  if (a == ' ' || b == ' ') return sign(a, b);
  auto encode = [](char32_t c) {
    std::string s;
    append_utf8(s, c);
    return s;
  };
  return compare_ci(encode(a), encode(b));
}

}  // namespace

LikePattern::LikePattern(std::string_view pattern, char32_t escape)
    : source_(pattern), escape_(escape) {
  std::u32string cps;
  for (size_t pos = 0; pos < pattern.size();) cps += next_code_point(pattern, pos);

  for (size_t i = 0; i < cps.size(); ++i) {
    char32_t c = cps[i];
    if (escape_ != 0 && c == escape_) {
      // The escaped character stands for itself; a trailing escape is literal.
      char32_t lit = i + 1 < cps.size() ? cps[++i] : c;
      tokens_.push_back({Kind::kLiteral, fold_case(lit), false, {}});
      continue;
    }
    if (c == '%') {
      has_percent_ = true;
      if (tokens_.empty() || tokens_.back().kind != Kind::kPercent)
        tokens_.push_back({Kind::kPercent, 0, false, {}});
      continue;
    }
    if (c == '_') {
      tokens_.push_back({Kind::kAny, 0, false, {}});
      continue;
    }
    if (c == '[') {
      size_t close = cps.find(U']', i + 1);
      if (close != std::u32string::npos) {
        Token set{Kind::kSet, 0, false, {}};
        size_t j = i + 1;
        if (j < close && cps[j] == '^') {
          set.negated = true;
          ++j;
        }
        for (; j < close; ++j) {
          char32_t lo = cps[j];
          if (escape_ != 0 && lo == escape_ && j + 1 < close) lo = cps[++j];
          if (j + 2 < close && cps[j + 1] == '-') {
            set.ranges.push_back({fold_case(lo), fold_case(cps[j + 2])});
            j += 2;
          } else {
            set.ranges.push_back({fold_case(lo), fold_case(lo)});
          }
        }
        tokens_.push_back(std::move(set));
        i = close;
        continue;
      }
      // No closing bracket: an ordinary character.
    }
    tokens_.push_back({Kind::kLiteral, fold_case(c), false, {}});
  }
  ends_with_percent_ = !tokens_.empty() && tokens_.back().kind == Kind::kPercent;
}

bool LikePattern::TokenMatches(const Token& t, char32_t c) const {
  switch (t.kind) {
    case Kind::kLiteral:
      return t.literal == c;
    case Kind::kAny:
      return true;
    case Kind::kSet: {
      bool in = false;
      for (const Range& r : t.ranges) {
        if (r.lo == r.hi ? c == r.lo : (compare_chars(r.lo, c) <= 0 && compare_chars(c, r.hi) <= 0)) {
          in = true;
          break;
        }
      }
      return in != t.negated;
    }
    case Kind::kPercent:
      break;
  }
  return false;
}

namespace {

// The folded code point at value[pos], advancing pos; plain ASCII without the
// general decoder (almost every byte of the postal tables).
inline char32_t next_folded(std::string_view value, size_t& pos) {
  const auto b = static_cast<unsigned char>(value[pos]);
  if (b < 0x80) {
    ++pos;
    return (b >= 'A' && b <= 'Z') ? static_cast<char32_t>(b + 32) : b;
  }
  return fold_case(next_code_point(value, pos));
}

}  // namespace

// Whether the pattern matches exactly the first `length` bytes of value
// (a whole number of characters). Works on the UTF-8 text itself, one folded
// code point at a time. Every token but % stands for one character, so one
// backtracking point (the last %) is enough.
bool LikePattern::MatchPrefix(std::string_view value, size_t length) const {
  const size_t n_tokens = tokens_.size();
  size_t p = 0, i = 0;
  size_t star = SIZE_MAX, star_i = 0;
  while (i < length) {
    if (p < n_tokens && tokens_[p].kind == Kind::kPercent) {
      if (p + 1 == n_tokens) return true;  // a final % takes the rest
      star = p++;
      star_i = i;
      continue;
    }
    size_t next = i;
    const char32_t c = next_folded(value, next);
    if (p < n_tokens && TokenMatches(tokens_[p], c)) {
      ++p;
      i = next;
      continue;
    }
    if (star != SIZE_MAX) {
      p = star + 1;
      next_folded(value, star_i);  // the % takes one character more
      i = star_i;
      continue;
    }
    return false;
  }
  while (p < n_tokens && tokens_[p].kind == Kind::kPercent) ++p;
  return p == n_tokens;
}

bool LikePattern::Matches(std::string_view value) const {
  // Trailing blanks of the value need not be matched by the pattern: the
  // pattern may end anywhere among them. Each blank is one byte.
  const size_t n = value.size();
  size_t significant = n;
  while (significant > 0 && value[significant - 1] == ' ') --significant;

  if (ends_with_percent_ || significant == n) return MatchPrefix(value, n);
  if (!has_percent_) {
    // Without % the pattern covers exactly one character per token.
    size_t end = 0;
    for (size_t k = 0; k < tokens_.size(); ++k) {
      if (end >= n) return false;
      next_code_point(value, end);
    }
    return end >= significant && MatchPrefix(value, end);
  }
  for (size_t k = n + 1; k-- > significant;)
    if (MatchPrefix(value, k)) return true;
  return false;
}

std::string LikePattern::LiteralPrefix() const {
  std::string prefix;
  for (const Token& t : tokens_) {
    if (t.kind != Kind::kLiteral) break;
    append_utf8(prefix, t.literal);
  }
  return prefix;
}

bool is_primary_key(char32_t c) {
  return c != kSharpS && fold_case(c) == c && base_letter(c) == c && (c < 0xD800 || c > 0xDFFF);
}

std::optional<std::string> primary_prefix_upper_bound(std::string_view prefix) {
  std::u32string keys;
  PrimaryCursor cursor(strip_trailing_blanks(prefix));
  for (char32_t c = 0; cursor.Next(c);) keys += c;
  // The last key that can grow: the bound is the prefix's keys up to it,
  // with it replaced by the next code point that is a primary key itself.
  while (!keys.empty()) {
    char32_t c = keys.back() + 1;
    while (c <= 0x10FFFF && !is_primary_key(c)) ++c;
    if (c <= 0x10FFFF) {
      keys.back() = c;
      std::string bound;
      for (char32_t k : keys) append_utf8(bound, k);
      return bound;
    }
    keys.pop_back();
  }
  return std::nullopt;
}

}  // namespace noxplz::sqlite
