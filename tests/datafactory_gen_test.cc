// The generator: every line a sound record of its type, check records that
// agree with the records (counted independently here), determinism, the
// variety tests rely on, and each deliberate fault.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "datafactory_gen.h"

namespace noxplz::datafactory {
namespace {

const std::map<std::string, size_t> kLength = {{"GE", 324}, {"KG", 67}, {"OE", 272}, {"OR", 178}, {"OT", 84},
                                               {"PF", 66},  {"PL", 168}, {"ST", 234}, {"XX", 37}};

std::string upper2(const std::string& line) {
  std::string c = line.substr(0, 2);
  for (char& ch : c)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
  return c;
}

// Status of a data record as the check records group it (1-based positions).
std::string status_of(const std::string& code, const std::string& line) {
  if (code == "OR") return line.substr(25, 1);
  if (code == "OT") return line.substr(33, 1);
  if (code == "PF") return line.substr(37, 1);
  if (code == "ST") return line.substr(52, 1);
  if (code == "KG") return line.substr(25, 1);
  return "G";
}

struct Parsed {
  std::vector<std::string> lines;
  std::map<std::string, std::pair<int64_t, int64_t>> groups;  // counted from the data lines
  std::map<std::string, std::pair<int64_t, std::string>> checks;  // as the XX lines state them
  std::map<std::string, int> bad_end_marks;
  int unknown = 0;
  bool crlf_everywhere = true;
};

Parsed parse(const std::string& bytes) {
  Parsed p;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t e = bytes.find("\r\n", pos);
    if (e == std::string::npos) {
      p.crlf_everywhere = false;
      e = bytes.size();
    }
    const std::string line = bytes.substr(pos, e - pos);
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) p.crlf_everywhere = false;
    p.lines.push_back(line);
    pos = e + 2;
    const std::string code = upper2(line);
    auto len = kLength.find(code);
    if (len == kLength.end()) {
      ++p.unknown;
      continue;
    }
    EXPECT_EQ(line.size(), len->second) << line;
    if (line.size() != len->second) continue;
    if (line.back() != '$') {
      p.bad_end_marks[code]++;
      EXPECT_EQ(line.back(), '#');
    }
    if (code == "XX") {
      p.checks[line.substr(9, 3)] = {std::stoll(line.substr(12, 8)), line.substr(20, 16)};
    } else {
      auto& g = p.groups[code + status_of(code, line)];
      g.first++;
      g.second += std::stoll(line.substr(9, 8));
    }
  }
  return p;
}

std::string gen(const GenOptions& o, GenSummary* summary = nullptr) {
  std::ostringstream out;
  GenSummary s = generate(out, o);
  if (summary) *summary = s;
  return out.str();
}

std::string sum16(int64_t v) {
  std::string s = std::to_string(v);
  return std::string(16 - s.size(), '0') + s;
}

TEST(DatafactoryGen, DefaultFileIsSoundAndItsCheckRecordsAgree) {
  GenSummary s;
  const std::string bytes = gen(GenOptions{}, &s);
  const Parsed p = parse(bytes);
  EXPECT_TRUE(p.crlf_everywhere);
  EXPECT_EQ(p.unknown, 0);
  EXPECT_TRUE(p.bad_end_marks.empty());
  EXPECT_EQ(static_cast<int64_t>(p.lines.size()), s.lines);
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), s.bytes);
  const GenOptions o;
  const std::map<std::string, int64_t> wanted = {{"GE", o.ge}, {"KG", o.kg}, {"OE", o.oe}, {"OR", o.orte},
                                                 {"OT", o.ot}, {"PF", o.pf}, {"PL", o.pl}, {"ST", o.st}};
  EXPECT_EQ(s.records, wanted);
  // Every group has exactly one check record stating its count and date sum.
  ASSERT_EQ(p.checks.size(), p.groups.size());
  for (const auto& [group, counted] : p.groups) {
    SCOPED_TRACE(group);
    ASSERT_TRUE(p.checks.count(group));
    EXPECT_EQ(p.checks.at(group).first, counted.first);
    EXPECT_EQ(p.checks.at(group).second, sum16(counted.second));
  }
  for (const char* ungrouped : {"PLG", "OEG", "GEG"}) EXPECT_TRUE(p.checks.count(ungrouped)) << ungrouped;
}

TEST(DatafactoryGen, SameSeedSameBytesOtherSeedOtherBytes) {
  GenOptions a;
  a.st = 500;
  GenOptions b = a;
  b.seed = 2;
  EXPECT_EQ(gen(a), gen(a));
  EXPECT_NE(gen(a), gen(b));
}

TEST(DatafactoryGen, CarriesTheVarietyTheLookupsAndTheImportMeet) {
  const Parsed p = parse(gen(GenOptions{}));
  std::set<char> hnr_types;
  std::map<std::string, std::set<std::string>> plz_of_place;  // ALORT -> PLZ (PL records)
  std::map<std::string, int> sections;                         // ALORT + street key -> ST records
  bool replaced_place = false, addition = false, dos_umlaut = false, apostrophe = false, district_key = false;
  for (const std::string& l : p.lines) {
    const std::string code = upper2(l);
    if (code == "ST") {
      hnr_types.insert(l[170]);
      sections[l.substr(17, 8) + l.substr(25, 6)]++;
      district_key = district_key || l.substr(179, 3) != "   ";
      for (unsigned char c : l.substr(101, 46)) dos_umlaut = dos_umlaut || c == 0x81 || c == 0x84 || c == 0x94 || c == 0xE1;
      apostrophe = apostrophe || l.substr(101, 46).find('\'') != std::string::npos;
    }
    if (code == "OR") {
      replaced_place = replaced_place || l.substr(169, 8) != std::string(8, ' ');
      addition = addition || l.substr(106, 30) != std::string(30, ' ');
    }
    if (code == "PL") plz_of_place[l.substr(22, 8)].insert(l.substr(17, 5));
  }
  EXPECT_TRUE(hnr_types.count('N') && hnr_types.count('G') && hnr_types.count('U'));
  EXPECT_TRUE(replaced_place);
  EXPECT_TRUE(addition);
  EXPECT_TRUE(dos_umlaut);
  EXPECT_TRUE(apostrophe);
  EXPECT_TRUE(district_key);
  int cities = 0, divided = 0;
  for (const auto& [alort, codes] : plz_of_place) cities += codes.size() > 1;
  for (const auto& [key, n] : sections) divided += n > 1;
  EXPECT_GT(cities, 0);
  EXPECT_GT(divided, 0);
}

TEST(DatafactoryGen, DeliberateFaults) {
  GenOptions o;
  o.wrong_end_marks = 4;
  o.wrong_end_mark_type = "PF";
  o.wrong_count_type = "OT";
  o.unknown_lines = 6;
  o.lower_case_type = "PL";
  o.header_line = true;
  const Parsed p = parse(gen(o));
  EXPECT_EQ(p.lines.front().substr(0, 2), "ZZ");
  EXPECT_EQ(p.unknown, 7);
  EXPECT_EQ(p.bad_end_marks, (std::map<std::string, int>{{"PF", 4}}));
  int lower = 0, upper = 0;
  for (const std::string& l : p.lines) {
    lower += l.rfind("pl", 0) == 0;
    upper += l.rfind("PL", 0) == 0;
  }
  EXPECT_EQ(lower, o.pl);
  EXPECT_EQ(upper, 0);
  // Exactly one check record is off, by one, and it is an OT one.
  int off = 0;
  for (const auto& [group, stated] : p.checks) {
    if (group.substr(0, 2) == "XX") continue;
    const auto counted = p.groups.at(group);
    if (stated.first != counted.first) {
      ++off;
      EXPECT_EQ(group.substr(0, 2), "OT");
      EXPECT_EQ(stated.first, counted.first + 1);
    }
  }
  EXPECT_EQ(off, 1);
}

TEST(DatafactoryGen, DosBytes) {
  EXPECT_EQ(to_dos_bytes("äöüÄÖÜß a'b"), "\x84\x94\x81\x8E\x99\x9A\xE1 a'b");
}

}  // namespace
}  // namespace noxplz::datafactory
