#include "import/record_layout.h"

#include <gtest/gtest.h>

#include <map>

#include "import/record_text.h"
#include "noxplz/error.h"

namespace noxplz::import {
namespace {

// 1-based start position of `column` in the layout of `code`.
int start_of(std::string_view code, std::string_view column) {
  for (const RecordLayout& l : record_layouts()) {
    if (l.code != code) continue;
    int pos = 1;
    for (const Field& f : l.fields) {
      if (f.column == column) return pos;
      pos += f.width;
    }
  }
  return -1;
}

TEST(RecordLayout, FieldsCoverEachRecordUpToItsEndMark) {
  const std::map<std::string_view, std::pair<int, size_t>> expected = {
      {"GE", {324, 17}}, {"KG", {67, 7}},  {"OE", {272, 22}}, {"OR", {178, 13}}, {"OT", {84, 11}},
      {"PF", {66, 14}},  {"PL", {168, 24}}, {"ST", {234, 27}}, {"XX", {37, 7}}};
  ASSERT_EQ(record_layouts().size(), expected.size());
  for (const RecordLayout& l : record_layouts()) {
    SCOPED_TRACE(std::string(l.code));
    int sum = 0;
    for (const Field& f : l.fields) sum += f.width;
    EXPECT_EQ(l.record_length, expected.at(l.code).first);
    EXPECT_EQ(sum + 1, l.record_length);
    EXPECT_EQ(l.fields.size(), expected.at(l.code).second);
  }
}

TEST(RecordLayout, FieldsStartWhereTheFileHasThem) {
  struct Anchor {
    const char* code;
    const char* column;
    int start;
  };
  const Anchor anchors[] = {
      {"GE", "Name", 66},          {"GE", "Str_Name_46", 226}, {"GE", "PLZ_GE", 307},  {"GE", "ALORT_GE", 316},
      {"KG", "satzart", 26},       {"KG", "name", 27},         {"OE", "NPANST", 116},  {"OE", "STR_NAME46", 125},
      {"OE", "TELEFON", 214},      {"OE", "PLZ_LAGER_F", 267}, {"OR", "ONAME", 27},    {"OR", "ONAME24", 138},
      {"OR", "ALORT_NEU", 170},    {"OT", "PLZ", 29},          {"OT", "NAME", 36},     {"OT", "KGS", 76},
      {"PF", "STATUS", 38},        {"PF", "PLZ", 48},          {"PF", "PFNRBIS_NEU", 60}, {"PL", "OName", 35},
      {"PL", "OName24", 106},      {"PL", "KGS", 147},         {"PL", "BZ_NR", 166},   {"ST", "Status", 53},
      {"ST", "Name46", 102},       {"ST", "HNR_Typ", 171},     {"ST", "OTL_Schl", 180}, {"ST", "HNRBIS_NEU", 226},
      {"XX", "Dateikennung", 10},  {"XX", "Satzzahl", 13},     {"XX", "Datum_Summe", 21},
  };
  for (const Anchor& a : anchors) EXPECT_EQ(start_of(a.code, a.column), a.start) << a.code << " " << a.column;
}

TEST(RecordLayout, InsertHeadsAsTheStatementsAlwaysRead) {
  const auto& l = record_layouts();
  EXPECT_EQ(insert_head(l[kKG]),
            "Insert INTO KGS_DA  (versionkennung,versiondatum,versionnr,datum,schluessel,satzart,name ) ");
  EXPECT_EQ(insert_head(l[kOR]),
            "Insert INTO ORT_DA  (Version_Dateikennung,Version_Datum,Version_Nr,Datum,ALORT,STATUS,  ONAME,"
            "ONAME_POST,OZUSATZ,ART_OZUSATZ,ONAME24,KGS,ALORT_NEU ) ");
  EXPECT_EQ(insert_head(l[kOT]),
            "Insert INTO OTL_DA  (Version_Dateikennung,Version_Datum,Version_Nr,Datum,ALORT,SCHL,  PLZ,STATUS,"
            "STVERZ,NAME,KGS ) ");
  EXPECT_EQ(insert_head(l[kGE]),
            "Insert INTO GROSS_DA  (Version_Dateikennung,Version_Datum,Version_Nr,Datum,ID_NR,Name_Sort,Name,  "
            "Str_Name_46,HNR_Von,HNR_Bis,PLZ_Haus,Alort_Haus,Fikt_Pfnr,PLZ_GE,GRGE_CODE,PLZ_ART,ALORT_GE ) ");
  EXPECT_EQ(insert_head(l[kOE]),
            "Insert INTO ORG_DA  (Version_Dateikennung,Version_Datum,Version_Nr,Datum,ALOrg,Name,  NPANST,"
            "DIRNL_BRIEF,PANSTART,STR_NAME46,HNR_VON,HNR_BIS,PLZ_HAUS,PPF_NR_REAL,PLZ_PF,RESERVE,PLZ_GE,TELEFON,"
            "TELEFAX,ALORT_HAUS,PLZ_LAGER_B,PLZ_LAGER_F ) ");
  // The two blanks of the other tables follow the column the file names first after the head.
  EXPECT_NE(insert_head(l[kPF]).find("ALORT,PFNRVON,  PFNRBIS,"), std::string::npos);
  EXPECT_NE(insert_head(l[kPL]).find("PLZ,ALORT,  ART_Kardinalitaet,"), std::string::npos);
  EXPECT_NE(insert_head(l[kST]).find("Datum,ALORT,  Namen_Schluessel,"), std::string::npos);
  EXPECT_EQ(insert_head(l[kXX]),
            "Insert INTO PRUEF_DA  (Version_Dateikennung,Version_Datum,Version_Nr,Dateikennung,  Status,Satzzahl,"
            "Datum_Summe ) ");
}

TEST(RecordLayout, RecordTypeIsTheFirstTwoCharactersInUpperCase) {
  EXPECT_EQ(record_type_of("GE2612"), kGE);
  EXPECT_EQ(record_type_of("ge2612"), kGE);
  EXPECT_EQ(record_type_of("sT"), kST);
  EXPECT_EQ(record_type_of("xx"), kXX);
  EXPECT_EQ(record_type_of("ZZ2612"), -1);
  EXPECT_EQ(record_type_of("G"), -1);
  EXPECT_EQ(record_type_of(""), -1);
}

const std::string kKgLine = "KG" "2612" "001" "20240115" "09162000" "G" + std::string("M\x81nchen") +
                            std::string(33, ' ') + "$";

TEST(RecordLayout, ValuesTextQuotesEveryFieldUntrimmedAndChecksTheEndMark) {
  ASSERT_EQ(kKgLine.size(), 67u);
  std::string values;
  EXPECT_TRUE(build_values(record_layouts()[kKG], kKgLine, values));
  EXPECT_EQ(values, "Values ( 'KG','2612','001','20240115','09162000','G','München" + std::string(33, ' ') + "')");

  // One byte short: the end mark is missing, the fields are cut all the same.
  values.clear();
  EXPECT_FALSE(build_values(record_layouts()[kKG], kKgLine.substr(0, 66), values));
  EXPECT_EQ(values.substr(0, 20), "Values ( 'KG','2612'");

  // Anything but "$" at the record length fails; characters after it are ignored.
  std::string wrong = kKgLine;
  wrong[66] = '#';
  values.clear();
  EXPECT_FALSE(build_values(record_layouts()[kKG], wrong, values));
  values.clear();
  EXPECT_TRUE(build_values(record_layouts()[kKG], kKgLine + "überzählig", values));
  EXPECT_EQ(values.find("berz"), std::string::npos);
}

TEST(RecordLayout, ShortLinesGiveEmptyFieldsAtTheEnd) {
  std::string values;
  EXPECT_FALSE(build_values(record_layouts()[kKG], "KG26", values));
  EXPECT_EQ(values, "Values ( 'KG','26','','','','','')");
}

TEST(RecordLayout, CheckRecordCountIsWrittenBareWithoutLeadingZeros) {
  const std::string line = "XX2612001PF1" "00012345" "0000001234567890" "$";
  ASSERT_EQ(line.size(), 37u);
  std::string values;
  EXPECT_TRUE(build_values(record_layouts()[kXX], line, values));
  EXPECT_EQ(values, "Values ( 'XX','2612','001','PF','1',12345,'0000001234567890')");

  values.clear();
  build_values(record_layouts()[kXX], "XX2612001PF1" "00000000" "0000000000000000$", values);
  EXPECT_NE(values.find("'1',0,'"), std::string::npos);
}

TEST(RecordLayout, CheckRecordCountThatIsNoNumberRaisesTypeMismatch) {
  for (const std::string& line : {std::string("XX2612001PF1        0000000000000000$"),
                                 std::string("XX2612001PF1 12a34560000000000000000$"), std::string("XX2612001PF")}) {
    std::string values;
    try {
      build_values(record_layouts()[kXX], line, values);
      ADD_FAILURE() << "no error for " << line;
    } catch (const Error& e) {
      EXPECT_EQ(e.number, err::kTypeMismatch);
      EXPECT_EQ(e.description, "Typen unverträglich");
    }
  }
  EXPECT_EQ(to_whole_number(" 42 "), 42);
  EXPECT_EQ(to_whole_number("-0000007"), -7);
}

TEST(RecordText, ConvertsDosUmlautsApostropheAndWindows1252) {
  EXPECT_EQ(Konvertiere_Text("\x81\x84\x94\xE1\x8E\x99\x9A"), "üäößÄÖÜ");
  EXPECT_EQ(Konvertiere_Text("Auf'm Kamp"), "Auf`m Kamp");
  EXPECT_EQ(Konvertiere_Text("''"), "``");
  // Other bytes keep their Windows-1252 meaning.
  EXPECT_EQ(Konvertiere_Text("\x80 \xE9 \xFC"), "€ é ü");
  EXPECT_EQ(Konvertiere_Text("Stra\xE1" "e   "), "Straße   ");
  EXPECT_EQ(Konvertiere_Text(""), "");
}

TEST(RecordText, ValuesTextHoldsNoApostropheInsideAValue) {
  std::string line = kKgLine;
  line.replace(27, 9, "O'Neill's");
  std::string values;
  build_values(record_layouts()[kKG], line, values);
  EXPECT_NE(values.find("O`Neill`s"), std::string::npos);
  // Every apostrophe left is a literal delimiter: two per field.
  size_t quotes = 0;
  for (char c : values) quotes += c == '\'';
  EXPECT_EQ(quotes, 2u * 7u);
}

}  // namespace
}  // namespace noxplz::import
