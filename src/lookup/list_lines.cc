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

// The groups of indexes 0..n-1 whose lines read the same, each in index
// order (only groups of two or more). `line_of(i, buffer)` gives line i,
// made in `buffer` where it is not held anywhere. Most lines are unique: the
// first index of each line is kept in an open-addressing table with its
// hash, and a line is only asked for again to compare it with one of the
// same hash.
template <class LineOf>
std::vector<std::vector<size_t>> equal_line_groups(size_t n, LineOf line_of) {
  size_t slots = 16;
  while (slots < 2 * n) slots *= 2;
  constexpr size_t kFree = static_cast<size_t>(-1);
  std::vector<size_t> first_row(slots, kFree);
  std::vector<size_t> hashes(n);
  std::unordered_map<size_t, size_t> group_of;  // first index -> group
  std::vector<std::vector<size_t>> groups;
  const std::hash<std::string_view> hash;
  std::string line_buffer, other_buffer;
  for (size_t i = 0; i < n; ++i) {
    const std::string_view line = line_of(i, line_buffer);
    const size_t h = hashes[i] = hash(line);
    size_t slot = h & (slots - 1);
    for (; first_row[slot] != kFree; slot = (slot + 1) & (slots - 1))
      if (hashes[first_row[slot]] == h && line_of(first_row[slot], other_buffer) == line) break;
    if (first_row[slot] == kFree) {
      first_row[slot] = i;
      continue;
    }
    const auto [group, opened] = group_of.try_emplace(first_row[slot], groups.size());
    if (opened) groups.push_back({first_row[slot]});
    groups[group->second].push_back(i);
  }
  return groups;
}

// The lines of one group of rows whose lines all read `line`: the details
// added level by level until they differ, keeping the first level that
// tells most of them apart. Empty when no level helps (the lines stay).
std::vector<std::string> settle_group(const std::string& line, const std::vector<int32_t>& rows,
                                      const std::vector<Detail>& levels) {
  std::vector<std::vector<std::string>> by_level(levels.size());  // [level][member]
  std::vector<std::string> best, candidate;
  size_t best_count = 1;
  for (size_t l = 0; l < levels.size(); ++l) {
    for (int32_t r : rows) by_level[l].push_back(levels[l](r));
    candidate.clear();
    for (size_t m = 0; m < rows.size(); ++m) candidate.push_back(with_details(line, by_level, l + 1, m));
    const size_t count = distinct_count(candidate);
    if (count > best_count) std::swap(best, candidate), best_count = count;
    if (best_count == rows.size()) break;
  }
  return best;
}

// For every group of rows whose lines read the same, the lines settle_group
// gives them.
std::vector<std::string> distinguish(const std::vector<int32_t>& rows, std::vector<std::string> lines,
                                     const std::vector<Detail>& levels) {
  const auto groups =
      equal_line_groups(lines.size(), [&](size_t i, std::string&) { return std::string_view(lines[i]); });
  std::vector<int32_t> member_rows;
  for (const std::vector<size_t>& members : groups) {
    member_rows.clear();
    for (size_t m : members) member_rows.push_back(rows[m]);
    std::vector<std::string> settled = settle_group(lines[members.front()], member_rows, levels);
    if (!settled.empty())
      for (size_t m = 0; m < members.size(); ++m) lines[members[m]] = std::move(settled[m]);
  }
  return lines;
}

// The detail that tells street lines apart: the postal code, and the
// district where the line does not show it.
Detail street_detail(const VariantTable& strassen, bool line_shows_district) {
  return [&strassen, line_shows_district](int32_t r) {
    std::string a, b;
    std::string detail(text::trim_view(cell_text(strassen, r, 1, a)));
    const std::string_view district =
        line_shows_district ? std::string_view() : text::trim_view(cell_text(strassen, r, 5, b));
    if (!district.empty()) detail.append(detail.empty() ? "" : " ").append(district);
    return detail;
  };
}

// The line of a row of a street table: name and house-number range.
void write_street_line(const VariantTable& strassen, int32_t row, std::string& out) {
  std::string scratch[3];
  street_list_line_into(out, cell_text(strassen, row, 0, scratch[0]), cell_text(strassen, row, 2, scratch[1]),
                        cell_text(strassen, row, 3, scratch[2]));
}

// The lines of distinct_street_lines() for every row of a street table,
// made when read. The groups of rows whose lines read the same are found
// at once (that takes every line, made one after another in one buffer);
// a group's lines are settled when the first of them is read.
class StreetLines final : public ListLines {
 public:
  explicit StreetLines(std::shared_ptr<const VariantTable> strassen)
      : strassen_(std::move(strassen)),
        size_(static_cast<size_t>(std::max(0, strassen_->UpperBound(1)))),
        lines_(size_),
        made_(size_, false),
        group_of_(size_, kNone) {
    groups_ = equal_line_groups(size_, [&](size_t i, std::string& buffer) {
      write_street_line(*strassen_, static_cast<int32_t>(i), buffer);
      return std::string_view(buffer);
    });
    for (size_t g = 0; g < groups_.size(); ++g)
      for (size_t m : groups_[g]) group_of_[m] = g;
  }

  size_t size() const override { return size_; }

  const std::string& line(size_t i) const override {
    if (made_[i]) return lines_[i];
    if (group_of_[i] == kNone) {
      write_street_line(*strassen_, static_cast<int32_t>(i), lines_[i]);
      made_[i] = true;
      return lines_[i];
    }
    const std::vector<size_t>& members = groups_[group_of_[i]];
    std::string line;
    write_street_line(*strassen_, static_cast<int32_t>(members.front()), line);
    std::vector<int32_t> rows;
    for (size_t m : members) rows.push_back(static_cast<int32_t>(m));
    std::vector<std::string> settled = settle_group(line, rows, {street_detail(*strassen_, false)});
    for (size_t m = 0; m < members.size(); ++m) {
      lines_[members[m]] = settled.empty() ? line : std::move(settled[m]);
      made_[members[m]] = true;
    }
    return lines_[i];
  }

 private:
  static constexpr size_t kNone = static_cast<size_t>(-1);
  std::shared_ptr<const VariantTable> strassen_;
  size_t size_;
  mutable std::vector<std::string> lines_;
  mutable std::vector<bool> made_;
  std::vector<size_t> group_of_;
  std::vector<std::vector<size_t>> groups_;
};

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
  return distinguish(rows, std::move(lines), {street_detail(strassen, line_shows_district)});
}

std::shared_ptr<const ListLines> street_list_lines(std::shared_ptr<const VariantTable> strassen) {
  return std::make_shared<const StreetLines>(std::move(strassen));
}

std::string street_table_line(const VariantTable& strassen, int32_t row) {
  std::string line;
  write_street_line(strassen, row, line);
  return line;
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
