#include "fuzzy/folding.h"

#include <algorithm>
#include <vector>

namespace noxplz::fuzzy {
namespace {

// Latin-1 letters U+00C0..U+00FF folded to lower-case ASCII ("" for the
// signs that are no letters, which then stay as they are).
constexpr const char* kLatin1[64] = {
    "a", "a", "a", "a", "ae", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",   // C0..CF
    "d", "n", "o", "o", "o", "o", "oe", "",  "o", "u", "u", "u", "ue", "y", "th", "ss",  // D0..DF
    "a", "a", "a", "a", "ae", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",   // E0..EF
    "d", "n", "o", "o", "o", "o", "oe", "",  "o", "u", "u", "u", "ue", "y", "th", "y"};  // F0..FF

}  // namespace

std::string fold_letters(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 4);
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      continue;
    }
    if (c == 0xC3 && i + 1 < text.size()) {
      const auto d = static_cast<unsigned char>(text[i + 1]);
      if (d >= 0x80 && d <= 0xBF) {
        const char* folded = kLatin1[d - 0x80];
        if (*folded) {
          out += folded;
          ++i;
          continue;
        }
      }
    }
    if (c == 0xE1 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBA &&
        static_cast<unsigned char>(text[i + 2]) == 0x9E) {  // ẞ, the capital sharp s
      out += "ss";
      i += 2;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

std::string fold_name(std::string_view name) {
  std::string letters = fold_letters(name);
  std::string out;
  out.reserve(letters.size());
  for (size_t i = 0; i < letters.size(); ++i) {
    if (letters.compare(i, 7, "strasse") == 0) {
      out += "str";
      i += 6;
      continue;
    }
    const auto c = static_cast<unsigned char>(letters[i]);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c >= 0x80) out += static_cast<char>(c);
  }
  return out;
}

int edit_distance(std::string_view a, std::string_view b, int limit) {
  const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
  if (std::abs(n - m) > limit) return limit + 1;
  // Optimal string alignment distance, three rows.
  std::vector<int> before(static_cast<size_t>(m) + 1), previous(static_cast<size_t>(m) + 1),
      current(static_cast<size_t>(m) + 1);
  for (int j = 0; j <= m; ++j) previous[static_cast<size_t>(j)] = j;
  for (int i = 1; i <= n; ++i) {
    current[0] = i;
    int row_min = current[0];
    for (int j = 1; j <= m; ++j) {
      const size_t J = static_cast<size_t>(j);
      const int cost = a[static_cast<size_t>(i - 1)] == b[J - 1] ? 0 : 1;
      int v = std::min({previous[J] + 1, current[J - 1] + 1, previous[J - 1] + cost});
      if (i > 1 && j > 1 && a[static_cast<size_t>(i - 1)] == b[J - 2] && a[static_cast<size_t>(i - 2)] == b[J - 1])
        v = std::min(v, before[J - 2] + 1);
      current[J] = v;
      row_min = std::min(row_min, v);
    }
    if (row_min > limit) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return std::min(previous[static_cast<size_t>(m)], limit + 1);
}

int tolerance(size_t folded_length) {
  if (folded_length <= 3) return 0;
  if (folded_length <= 6) return 1;
  if (folded_length <= 12) return 2;
  return 3;
}

}  // namespace noxplz::fuzzy
