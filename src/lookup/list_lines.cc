// Lines that tell list entries apart. A list shows one line per table row;
// where two rows would read the same (two places named Kirchahr, one street
// name in two postal-code areas), each line of that group gets what tells its
// row apart. Rows that differ in nothing the table holds stay alike: they are
// the same place or section.
#include <algorithm>
#include <functional>
#include <map>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "lookup/db_access.h"
#include "lookup/global.h"

namespace noxplz {
namespace {

using lookup::run;
using lookup::ScopedRecordset;

// One kind of detail for a row (may be empty).
using Detail = std::function<std::string(int32_t row)>;

// The line of `base` with the details of member `m` of the first `used`
// levels: "Kirchahr   – 53505, Gemeinde Ahr".
std::string with_details(std::string_view base, const std::vector<std::vector<std::string>>& by_level, size_t used,
                         size_t m) {
  size_t size = 0;
  for (size_t l = 0; l < used; ++l)
    if (!by_level[l][m].empty()) size += by_level[l][m].size() + 2;
  if (size == 0) return std::string(base);  // no detail at all
  const std::string_view head = base.substr(0, base.find_last_not_of(' ') + 1);
  std::string line;
  line.reserve(head.size() + size + 6);
  line.append(head).append("   – ");
  bool first = true;
  for (size_t l = 0; l < used; ++l) {
    const std::string& d = by_level[l][m];
    if (d.empty()) continue;
    if (!first) line += ", ";
    line += d;
    first = false;
  }
  return line;
}

// How many different lines: groups are mostly two or three lines, compared
// pairwise without a set.
size_t distinct_count(const std::vector<std::string>& lines) {
  if (lines.size() > 8) {
    std::unordered_set<std::string_view> seen(lines.begin(), lines.end());
    return seen.size();
  }
  size_t count = 0;
  for (size_t i = 0; i < lines.size(); ++i)
    if (std::find(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(i), lines[i]) ==
        lines.begin() + static_cast<std::ptrdiff_t>(i))
      ++count;
  return count;
}

// For every group of rows whose lines read the same, adds the details level
// by level until the group's lines differ, keeping the first level that
// tells most of them apart (no detail at all when none helps).
std::vector<std::string> distinguish(const std::vector<int32_t>& rows, std::vector<std::string> lines,
                                     const std::vector<Detail>& levels) {
  // Most lines are unique: only the repeated ones are grouped (a list may
  // hold tens of thousands of sections, half of them in groups). Each group
  // is settled on its own; its members in row order.
  // The first index of each line, in an open-addressing table of indexes
  // (no allocation per line).
  size_t slots = 16;
  while (slots < 2 * lines.size()) slots *= 2;
  constexpr size_t kFree = static_cast<size_t>(-1);
  std::vector<size_t> first_row(slots, kFree);
  std::unordered_map<size_t, size_t> group_of;  // first index -> group
  std::vector<std::vector<size_t>> groups;
  const std::hash<std::string_view> hash;
  for (size_t i = 0; i < lines.size(); ++i) {
    size_t slot = hash(lines[i]) & (slots - 1);
    while (first_row[slot] != kFree && lines[first_row[slot]] != lines[i]) slot = (slot + 1) & (slots - 1);
    if (first_row[slot] == kFree) {
      first_row[slot] = i;
      continue;
    }
    const auto [group, opened] = group_of.try_emplace(first_row[slot], groups.size());
    if (opened) groups.push_back({first_row[slot]});
    groups[group->second].push_back(i);
  }
  std::vector<std::vector<std::string>> by_level(levels.size());  // [level][member]
  std::vector<std::string> best, candidate;
  for (const std::vector<size_t>& members : groups) {
    const std::string line = lines[members.front()];
    size_t best_count = 1;
    best.clear();  // empty: the lines stay as they are
    for (size_t l = 0; l < levels.size(); ++l) {
      by_level[l].clear();
      for (size_t m : members) by_level[l].push_back(levels[l](rows[m]));
      candidate.clear();
      for (size_t m = 0; m < members.size(); ++m) candidate.push_back(with_details(line, by_level, l + 1, m));
      const size_t count = distinct_count(candidate);
      if (count > best_count) std::swap(best, candidate), best_count = count;
      if (best_count == members.size()) break;
    }
    if (!best.empty())
      for (size_t m = 0; m < members.size(); ++m) lines[members[m]] = std::move(best[m]);
  }
  return lines;
}

}  // namespace

std::string municipality_of_place(const std::string& alort) {
  if (text::trim(alort).empty()) return {};
  try {
    ScopedRecordset rs(run("SELECT k.name FROM Ort_DA o, KGS_DA k WHERE o.ALORT = '" + sql_quote(text::trim(alort)) +
                           "' and k.schluessel = o.KGS"));
    if (!rs->Eof()) return text::trim(rs->Field("name").as_text());
  } catch (const std::exception&) {
    // Only a help for telling lines apart: without it the line stays shorter.
  }
  return {};
}

std::vector<std::string> distinct_place_lines(const VariantTable& orte, const std::vector<int32_t>& rows,
                                              std::string (*line)(const VariantTable&, int32_t),
                                              bool line_shows_plz) {
  std::vector<std::string> lines;
  lines.reserve(rows.size());
  for (int32_t r : rows) lines.push_back(line(orte, r));
  std::vector<Detail> levels;
  if (!line_shows_plz) levels.push_back([&](int32_t r) { return text::trim(orte.Text(r, 3)); });
  levels.push_back([&](int32_t r) {
    std::string name = municipality_of_place(orte.Text(r, 2));
    return name.empty() ? name : "Gemeinde " + name;
  });
  levels.push_back([&](int32_t r) {
    std::string alort = text::trim(orte.Text(r, 2));
    return alort.empty() ? alort : "Ortsschlüssel " + alort;
  });
  return distinguish(rows, std::move(lines), levels);
}

std::vector<std::string> distinct_street_lines(const VariantTable& strassen, const std::vector<int32_t>& rows,
                                               std::string (*line)(const VariantTable&, int32_t),
                                               bool line_shows_district) {
  std::vector<std::string> lines;
  lines.reserve(rows.size());
  for (int32_t r : rows) lines.push_back(line(strassen, r));
  const std::vector<Detail> levels = {[&](int32_t r) {
    std::string a, b;
    std::string detail(text::trim_view(cell_text(strassen, r, 1, a)));
    const std::string_view district = line_shows_district ? std::string_view() : text::trim_view(cell_text(strassen, r, 5, b));
    if (!district.empty()) detail.append(detail.empty() ? "" : " ").append(district);
    return detail;
  }};
  return distinguish(rows, std::move(lines), levels);
}

std::string_view cell_text(const VariantTable& t, int32_t row, int32_t col, std::string& scratch) {
  const Variant& v = t.Get(row, col);
  if (const std::string* text = v.text_if()) return *text;
  return scratch = v.as_text();
}

std::vector<int32_t> filled_rows(const VariantTable& tabelle) {
  std::vector<int32_t> rows;
  rows.reserve(static_cast<size_t>(std::max(0, tabelle.UpperBound(1))));
  for (int32_t r = 0; r < tabelle.UpperBound(1); ++r) rows.push_back(r);
  return rows;
}

}  // namespace noxplz
