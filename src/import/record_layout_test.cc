#include "import/record_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "import/record_text.h"
#include "noxplz/error.h"

namespace noxplz::import {
namespace {

const RecordLayout& layout(int type) { return record_layouts()[type]; }

// 1-based start position of `column` in the layout of `code`.
int start_of(std::string_view code, std::string_view column) {
  for (const RecordLayout& l : record_layouts()) {
    int pos = 1;
    for (const Field& f : l.fields) {
      if (l.code == code && f.column == column) return pos;
      pos += f.width;
    }
  }
  return -1;
}

TEST(RecordLayout, FieldsLieWhereTheFileHasThemUpToTheEndMark) {
  const std::map<std::string_view, int> lengths = {{"GE", 324}, {"KG", 67}, {"OE", 272}, {"OR", 178}, {"OT", 84},
                                                   {"PF", 66},  {"PL", 168}, {"ST", 234}, {"XX", 37}};
  ASSERT_EQ(record_layouts().size(), lengths.size());
  for (const RecordLayout& l : record_layouts()) {
    int sum = 0;
    for (const Field& f : l.fields) sum += f.width;
    EXPECT_EQ(l.record_length, lengths.at(l.code)) << l.code;
    EXPECT_EQ(sum + 1, l.record_length) << l.code;
  }
  // Fields whose stored values the import scenarios do not check already.
  const struct {
    const char* code;
    const char* column;
    int start;
  } anchors[] = {
      {"GE", "Name", 66},       {"GE", "Str_Name_46", 226}, {"GE", "PLZ_GE", 307},   {"GE", "ALORT_GE", 316},
      {"KG", "satzart", 26},    {"OE", "NPANST", 116},      {"OE", "STR_NAME46", 125}, {"OE", "TELEFON", 214},
      {"OE", "PLZ_LAGER_F", 267}, {"OR", "ONAME24", 138},   {"OR", "ALORT_NEU", 170}, {"OT", "PLZ", 29},
      {"OT", "NAME", 36},       {"OT", "KGS", 76},          {"PF", "STATUS", 38},    {"PF", "PLZ", 48},
      {"PL", "OName", 35},      {"PL", "OName24", 106},     {"PL", "KGS", 147},      {"PL", "BZ_NR", 166},
      {"ST", "Status", 53},     {"XX", "Dateikennung", 10}, {"XX", "Satzzahl", 13},  {"XX", "Datum_Summe", 21},
  };
  for (const auto& a : anchors) EXPECT_EQ(start_of(a.code, a.column), a.start) << a.code << " " << a.column;
}

// The type is the first two characters in upper case.
TEST(RecordLayout, RecordTypes) {
  const std::pair<const char*, int> types[] = {{"GE2612", kGE}, {"ge2612", kGE}, {"sT", kST},
                                               {"ZZ2612", -1},  {"G", -1},       {"", -1}};
  for (const auto& [line, type] : types) EXPECT_EQ(record_type_of(line), type) << line;
}

// How a line becomes its VALUES text (untrimmed, converted, end mark, bare
// check count) is checked end to end in tests/import_scenarios_test.cc.
TEST(RecordLayout, ValuesTextOfACheckRecordHasItsCountBare) {
  std::string values;
  EXPECT_TRUE(build_values(layout(kXX), "XX2612001PF1" "00012345" "0000001234567890$", values));
  EXPECT_EQ(values, "Values ( 'XX','2612','001','PF','1',12345,'0000001234567890')");
}

TEST(RecordLayout, CheckRecordCountThatIsNoNumberRaisesTypeMismatch) {
  for (const char* line : {"XX2612001PF1        0000000000000000$", "XX2612001PF1 12a34560000000000000000$",
                           "XX2612001PF"}) {
    std::string values;
    EXPECT_THAT([&] { build_values(layout(kXX), line, values); },
                ::testing::Throws<Error>(::testing::AllOf(::testing::Field(&Error::number, err::kTypeMismatch),
                                                          ::testing::Field(&Error::description, "Typen unverträglich"))))
        << line;
  }
  EXPECT_EQ(to_whole_number(" 42 "), 42);
  EXPECT_EQ(to_whole_number("-0000007"), -7);
}

TEST(RecordText, ConvertsDosUmlautsApostropheAndWindows1252) {
  EXPECT_EQ(Konvertiere_Text("\x81\x84\x94\xE1\x8E\x99\x9A"), "üäößÄÖÜ");
  EXPECT_EQ(Konvertiere_Text("Auf'm Kamp''"), "Auf`m Kamp``");
  EXPECT_EQ(Konvertiere_Text("\x80 \xE9 \xFC Stra\xE1" "e   "), "€ é ü Straße   ");  // other bytes: Windows-1252
}

}  // namespace
}  // namespace noxplz::import
