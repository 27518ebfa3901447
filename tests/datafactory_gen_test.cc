// The generator: every line a sound record of its type, check records that
// agree with the records (counted independently here), determinism, the
// variety tests rely on, and each deliberate fault.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "datafactory_gen.h"

namespace noxplz::datafactory {
namespace {

using Counts = std::map<std::string, int64_t>;

const std::map<std::string, size_t> kLength = {{"GE", 324}, {"KG", 67}, {"OE", 272}, {"OR", 178}, {"OT", 84},
                                               {"PF", 66},  {"PL", 168}, {"ST", 234}, {"XX", 37}};
// 0-based position of the status by which the check records group a type; PL, OE and GE have the group "G".
const std::map<std::string, size_t> kStatusAt = {{"OR", 25}, {"OT", 33}, {"PF", 37}, {"ST", 52}, {"KG", 25}};

struct Parsed {
  std::vector<std::string> lines;  // without their CR LF
  Counts records, lower_case, bad_end_marks;
  std::map<std::string, std::pair<int64_t, int64_t>> counted, stated;  // per group: records and date sum
  int unknown = 0;
};

Parsed parse(const std::string& bytes) {
  Parsed p;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    EXPECT_EQ(line.back(), '\r') << "every line ends with CR LF";
    line.pop_back();
    p.lines.push_back(line);
    std::string code = line.substr(0, 2);
    if (std::islower(static_cast<unsigned char>(code[0]))) {
      for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      p.lower_case[code]++;
    }
    if (!kLength.count(code)) {
      ++p.unknown;
      continue;
    }
    EXPECT_EQ(line.size(), kLength.at(code)) << line;
    if (line.back() != '$') p.bad_end_marks[code]++;
    if (code == "XX") {
      p.stated[line.substr(9, 3)] = {std::stoll(line.substr(12, 8)), std::stoll(line.substr(20, 16))};
      continue;
    }
    p.records[code]++;
    auto& group = p.counted[code + (kStatusAt.count(code) ? line.substr(kStatusAt.at(code), 1) : "G")];
    group.first++;
    group.second += std::stoll(line.substr(9, 8));
  }
  return p;
}

std::string gen(const GenOptions& o, GenSummary* summary = nullptr) {
  std::ostringstream out;
  GenSummary s = generate(out, o);
  if (summary) *summary = s;
  return out.str();
}

TEST(DatafactoryGen, SameSeedSameBytesOtherSeedOtherBytes) {
  GenOptions a;
  a.st = 500;
  GenOptions b = a;
  b.seed = 2;
  EXPECT_EQ(gen(a), gen(a));
  EXPECT_NE(gen(a), gen(b));
}

TEST(DatafactoryGen, CheckRecordsAgreeWithTheRecordsAndEachFaultIsThere) {
  GenOptions faulty;
  faulty.wrong_end_marks = 4;
  faulty.wrong_end_mark_type = "PF";
  faulty.wrong_count_type = "OT";
  faulty.unknown_lines = 6;
  faulty.lower_case_type = "PL";
  faulty.header_line = true;
  for (const GenOptions& o : {GenOptions{}, faulty}) {
    SCOPED_TRACE(o.header_line ? "faulty" : "sound");
    GenSummary s;
    const std::string bytes = gen(o, &s);
    const Parsed p = parse(bytes);
    EXPECT_EQ(static_cast<int64_t>(p.lines.size()), s.lines);
    EXPECT_EQ(static_cast<int64_t>(bytes.size()), s.bytes);
    EXPECT_EQ(p.records, (Counts{{"GE", o.ge}, {"KG", o.kg}, {"OE", o.oe}, {"OR", o.orte}, {"OT", o.ot},
                                 {"PF", o.pf}, {"PL", o.pl}, {"ST", o.st}}));
    EXPECT_EQ(s.records, p.records);
    EXPECT_EQ(p.unknown, o.unknown_lines + (o.header_line ? 1 : 0));
    EXPECT_EQ(p.lines.front().substr(0, 2) == "ZZ", o.header_line);
    EXPECT_EQ(p.bad_end_marks, (o.wrong_end_marks ? Counts{{o.wrong_end_mark_type, o.wrong_end_marks}} : Counts{}));
    EXPECT_EQ(p.lower_case, (o.lower_case_type.empty() ? Counts{} : Counts{{o.lower_case_type, o.pl}}));
    // One check record per group with its count and date sum; a wrong count is one too many, in one group only.
    ASSERT_EQ(p.stated.size(), p.counted.size());
    int off = 0;
    for (const auto& [group, counted] : p.counted) {
      SCOPED_TRACE(group);
      ASSERT_TRUE(p.stated.count(group));
      const auto& stated = p.stated.at(group);
      EXPECT_EQ(stated.second, counted.second);
      if (stated.first == counted.first) continue;
      ++off;
      EXPECT_EQ(group.substr(0, 2), o.wrong_count_type);
      EXPECT_EQ(stated.first, counted.first + 1);
    }
    EXPECT_EQ(off, o.wrong_count_type.empty() ? 0 : 1);
    for (const char* ungrouped : {"PLG", "OEG", "GEG"}) EXPECT_TRUE(p.stated.count(ungrouped)) << ungrouped;
  }
}

TEST(DatafactoryGen, CarriesTheVarietyTheLookupsAndTheImportMeet) {
  std::set<std::string> seen;
  std::map<std::string, std::set<std::string>> plz_of_place;  // ALORT -> PLZ (PL records)
  std::map<std::string, int> sections;                         // ALORT + street key -> ST records
  for (const std::string& l : parse(gen(GenOptions{})).lines) {
    const std::string code = l.substr(0, 2);
    if (code == "ST") {
      seen.insert(std::string("house number type ") + l[170]);
      sections[l.substr(17, 14)]++;
      if (l.substr(179, 3) != "   ") seen.insert("district key");
      if (l.substr(101, 46).find_first_of("\x81\x84\x94\xE1") != std::string::npos) seen.insert("DOS umlaut");
      if (l.substr(101, 46).find('\'') != std::string::npos) seen.insert("apostrophe");
    }
    if (code == "OR" && l.substr(169, 8) != std::string(8, ' ')) seen.insert("replaced place");
    if (code == "OR" && l.substr(106, 30) != std::string(30, ' ')) seen.insert("place addition");
    if (code == "PL") plz_of_place[l.substr(22, 8)].insert(l.substr(17, 5));
  }
  for (const auto& [alort, codes] : plz_of_place)
    if (codes.size() > 1) seen.insert("place with several postal codes");
  for (const auto& [key, n] : sections)
    if (n > 1) seen.insert("street in sections");
  for (const char* wanted : {"house number type G", "house number type N", "house number type U", "district key",
                             "DOS umlaut", "apostrophe", "replaced place", "place addition",
                             "place with several postal codes", "street in sections"})
    EXPECT_TRUE(seen.count(wanted)) << wanted;
}

TEST(DatafactoryGen, DosBytes) { EXPECT_EQ(to_dos_bytes("äöüÄÖÜß a'b"), "\x84\x94\x81\x8E\x99\x9A\xE1 a'b"); }

}  // namespace
}  // namespace noxplz::datafactory
